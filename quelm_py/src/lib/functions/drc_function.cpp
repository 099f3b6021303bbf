// drc(atomic_numbers, coordinates, method=None, ...): argument conversion, the molecule
// checks and the trajectory. Every optional argument accepts None for its default.
//
// Beyond the shape and method checks, the molecule must be one the SCF can describe
// (known elements, an even electron count) and every atom needs a mass: without these the
// trajectory would stop on an internal error or run with infinite accelerations.

#include "functions/drc_function.hpp"

#include "reactions/drc.hpp"
#include "results/drc_result.hpp"
#include "toolkit/converters.hpp"
#include "toolkit/guarded_call.hpp"
#include "toolkit/molecule_validation.hpp"

#include <string>
#include <vector>

namespace quelm {
namespace {

const ParameterSpec drc_parameters[] = {
    {"atomic_numbers", true}, {"coordinates", true},       {"method", false},
    {"time_step_fs", false},  {"total_steps", false},      {"ensemble", false},
    {"temperature_k", false}, {"berendsen_tau_fs", false}, {"recording_interval", false},
    {"use_nddo", false},
};

constexpr const char* drc_doc =
    "drc(atomic_numbers, coordinates, method=None, time_step_fs=None, total_steps=None, "
    "ensemble=None, temperature_k=None, berendsen_tau_fs=None, recording_interval=None, "
    "use_nddo=None)\n--\n\n"
    "Run Dynamic Reaction Coordinate (DRC) / Born-Oppenheimer Molecular Dynamics.\n"
    "\n"
    "Parameters:\n"
    "- `atomic_numbers`: list of integer atomic numbers (e.g. `[7, 7]`)\n"
    "- `coordinates`: 3D coordinates in Ångströms\n"
    "- `method`: Semi-empirical Hamiltonian (\"PM6\", \"AM1\", \"RM1\", \"PM3\", \"MNDO\"; "
    "default: \"PM6\")\n"
    "- `time_step_fs`: Integrator time step in femtoseconds (default: 0.5 fs)\n"
    "- `total_steps`: Number of MD integration steps (default: 500)\n"
    "- `ensemble`: Thermodynamic ensemble: \"nve\" or \"nvt\" (default: \"nve\")\n"
    "- `temperature_k`: Target temperature in Kelvin for NVT ensemble (default: 298.15 K)\n"
    "- `berendsen_tau_fs`: Berendsen thermostat coupling constant in femtoseconds "
    "(default: 100.0 fs)\n"
    "- `recording_interval`: Stride interval for saving trajectory frames (default: 1)\n"
    "- `use_nddo`: Enable full NDDO potential energy surface (default: false)";

constexpr MoleculeMessages drc_messages = {
    "atomic_numbers cannot be empty",
    "Mismatch between atomic_numbers ({n}) and coordinates ({m})"};

Result<DrcResult> run_drc(const std::vector<std::uint8_t>& atomic_numbers,
                          const std::vector<Coordinate>& coordinates, const ChoiceName& method,
                          const std::string& ensemble, DrcOptions options) {
    if (const Result<bool> shape =
            check_molecule_shape(atomic_numbers.size(), coordinates.size(), drc_messages);
        !shape) {
        return Error{shape.error()};
    }
    const Result<const ParameterModel*> model = get_model(method);
    if (!model)
        return Error{model.error()};
    if (ensemble == "nvt") {
        options.initial_velocities = MaxwellBoltzmannVelocities{options.temperature_k, {}};
        options.use_thermostat = true;
        // The coupling divides by τ: zero or negative values give no thermostat at all.
        if (!(options.berendsen_tau_fs > 0.0))
            return Error{"berendsen_tau_fs must be positive for the 'nvt' ensemble"};
    } else if (ensemble != "nve") {
        return Error{"Unknown DRC ensemble '" + ensemble + "'. Supported: 'nve', 'nvt'"};
    }
    if (const Result<std::size_t> electrons =
            check_closed_shell(atomic_numbers, *model.value(), method);
        !electrons) {
        return Error{electrons.error()};
    }
    if (const Result<bool> masses = check_standard_masses(atomic_numbers, "molecular dynamics");
        !masses) {
        return Error{masses.error()};
    }
    MolecularBatch batch =
        MolecularBatch::new_for_model(atomic_numbers, coordinates, *model.value());
    ScfWorkspace scf_workspace = ScfWorkspace::allocate(batch.n_orbitals);
    DrcWorkspace workspace = DrcWorkspace::allocate(batch);
    return run_dynamic_reaction_coordinate(batch, *model.value(), scf_workspace, workspace,
                                           options);
}

PyObject* drc_body(const BoundArguments& arguments) {
    std::vector<std::uint8_t> atomic_numbers;
    std::vector<Coordinate> coordinates;
    ChoiceName method{"PM6", "PM6"};
    std::string ensemble = "nve";
    DrcOptions options;
    const bool converted =
        arguments.convert(0, atomic_numbers, convert_atomic_numbers) &&
        arguments.convert(1, coordinates, convert_coordinates) &&
        arguments.convert_or_default(2, method, convert_choice_name) &&
        arguments.convert_or_default(3, options.time_step_fs, convert_double) &&
        arguments.convert_or_default(4, options.total_steps, convert_count) &&
        arguments.convert_or_default(5, ensemble, convert_lower_case_name) &&
        arguments.convert_or_default(6, options.temperature_k, convert_double) &&
        arguments.convert_or_default(7, options.berendsen_tau_fs, convert_double) &&
        arguments.convert_or_default(8, options.recording_interval, convert_count) &&
        arguments.convert_or_default(9, options.use_nddo, convert_bool);
    if (!converted)
        return nullptr;
    return result_to_python(run_drc(atomic_numbers, coordinates, method, ensemble, options),
                            wrap_drc_result);
}

} // namespace

const FunctionSpec drc_function = {"drc", drc_doc, drc_parameters, drc_body};

} // namespace quelm
