// esp_charges(atomic_numbers, coordinates, method="PM6", net_charge=0.0, points_per_shell=64):
// one SCF of the simplified two-centre model, then the charge fit to its potential.

#include "functions/esp_charges_function.hpp"

#include "properties/esp.hpp"
#include "results/esp_result.hpp"
#include "scf/scf_loop.hpp"
#include "scf/scf_workspace.hpp"
#include "toolkit/converters.hpp"
#include "toolkit/guarded_call.hpp"
#include "toolkit/molecule_validation.hpp"

#include <vector>

namespace quelm {
namespace {

const ParameterSpec esp_charges_parameters[] = {
    {"atomic_numbers", true}, {"coordinates", true},       {"method", false},
    {"net_charge", false},    {"points_per_shell", false},
};

constexpr const char* esp_charges_doc =
    "esp_charges(atomic_numbers, coordinates, method=\"PM6\", net_charge=0.0, "
    "points_per_shell=64)\n--\n\n"
    "Compute Merz-Singh-Kollman atom-centered Electrostatic Potential (ESP) partial charges.\n"
    "\n"
    "Parameters:\n"
    "- `atomic_numbers`: list of integer atomic numbers (e.g. `[6, 1, 1, 1, 35]`)\n"
    "- `coordinates`: list of 3D coordinates in Ångströms (e.g. `[[0.0, 0.0, 0.0], ...]`)\n"
    "- `method`: Semi-empirical Hamiltonian (\"PM6\", \"AM1\", \"RM1\", \"PM3\", \"MNDO\"; "
    "default: \"PM6\")\n"
    "- `net_charge`: Total molecular charge in e that the fitted charges sum to "
    "(default: 0.0)\n"
    "- `points_per_shell`: Fibonacci sampling points per atom per radial shell (default: 64)";

constexpr MoleculeMessages esp_messages = {
    "Molecule must have at least one atom",
    "Mismatch between atomic_numbers ({n}) and coordinates ({m})"};

// Multiples of the van der Waals radius of the four Merz–Kollman shells.
constexpr double shell_scales[] = {1.4, 1.6, 1.8, 2.0};

Result<EspResult> run_esp_charges(std::vector<std::uint8_t> atomic_numbers,
                                  std::span<const Coordinate> coordinates, const ChoiceName& method,
                                  double net_charge, std::size_t points_per_shell) {
    const Result<const ParameterModel*> model = get_model(method);
    if (!model)
        return Error{model.error()};
    const Result<bool> shape =
        check_molecule_shape(atomic_numbers.size(), coordinates.size(), esp_messages);
    if (!shape)
        return Error{shape.error()};
    const MolecularBatch batch =
        MolecularBatch::new_for_model(std::move(atomic_numbers), coordinates, *model.value());
    // Without a single electron pair there is no closed-shell density to fit.
    if (count_occupied_orbitals(batch, *model.value()) == 0)
        return Error{"System must have at least one electron pair for closed-shell RHF"};

    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    ScfOptions scf_options;
    scf_options.max_iter = 60;
    scf_options.energy_tol_ev = 1e-7;
    scf_options.density_tol = 1e-6;
    scf_options.level_shift_ev = 0.0;
    scf_options.damping = 0.5;
    scf_options.use_nddo = false;
    const ScfResult scf = run_rhf_scf_with_options(batch, *model.value(), workspace, scf_options);
    if (!scf.converged)
        return Error{"Base SCF failed to converge for ESP calculation"};

    EspOptions options;
    options.shell_scales.assign(std::begin(shell_scales), std::end(shell_scales));
    options.points_per_shell = points_per_shell;
    options.net_charge = net_charge;
    return compute_esp_charges(batch, *model.value(), workspace.density, options);
}

PyObject* esp_charges_body(const BoundArguments& arguments) {
    std::vector<std::uint8_t> atomic_numbers;
    std::vector<Coordinate> coordinates;
    ChoiceName method{"PM6", "PM6"};
    double net_charge = 0.0;
    std::size_t points_per_shell = 64;
    const bool converted = arguments.convert(0, atomic_numbers, convert_atomic_numbers) &&
                           arguments.convert(1, coordinates, convert_coordinates) &&
                           arguments.convert_or_default(2, method, convert_choice_name) &&
                           arguments.convert_or_default(3, net_charge, convert_double) &&
                           arguments.convert_or_default(4, points_per_shell, convert_count);
    if (!converted)
        return nullptr;
    return result_to_python(run_esp_charges(std::move(atomic_numbers), coordinates, method,
                                            net_charge, points_per_shell),
                            wrap_esp_result);
}

} // namespace

const FunctionSpec esp_charges_function = {"esp_charges", esp_charges_doc, esp_charges_parameters,
                                           esp_charges_body};

} // namespace quelm
