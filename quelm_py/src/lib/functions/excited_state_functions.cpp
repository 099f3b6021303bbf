// meci(...) and uv_vis_spectrum(...): argument conversion and the call of the excited-state
// pipeline. Every argument after `coordinates` also accepts None for its default.

#include "functions/excited_state_functions.hpp"

#include "functions/excited_states.hpp"
#include "results/excited_state_results.hpp"
#include "toolkit/converters.hpp"
#include "toolkit/guarded_call.hpp"

#include <vector>

namespace quelm {
namespace {

// The parameter lines both functions share, in their order.
#define QUELM_EXCITED_STATE_COMMON_PARAMETERS                                                      \
    "- `atomic_numbers`: list of integer atomic numbers\n"                                         \
    "- `coordinates`: 3D coordinates in Angstroms\n"                                               \
    "- `method`: Semi-empirical Hamiltonian (default: \"PM6\")\n"                                  \
    "- `active_orbitals`: Number of active orbitals (default: 2)\n"

// The molecule, the method and the active space: the first four arguments of both.
struct MoleculeAndActiveSpace {
    std::vector<std::uint8_t> atomic_numbers;
    std::vector<Coordinate> coordinates;
    ChoiceName method{"PM6", "PM6"};
    std::size_t active_orbitals = 2;
};

bool convert_molecule_and_active_space(const BoundArguments& arguments,
                                       MoleculeAndActiveSpace& values) {
    return arguments.convert(0, values.atomic_numbers, convert_atomic_numbers) &&
           arguments.convert(1, values.coordinates, convert_coordinates) &&
           arguments.convert_or_default(2, values.method, convert_choice_name) &&
           arguments.convert_or_default(3, values.active_orbitals, convert_count);
}

const ParameterSpec meci_parameters[] = {
    {"atomic_numbers", true},   {"coordinates", true},  {"method", false},
    {"active_orbitals", false}, {"target_root", false}, {"use_nddo", false},
};

constexpr const char* meci_doc =
    "meci(atomic_numbers, coordinates, method=\"PM6\", active_orbitals=2, target_root=1, "
    "use_nddo=True)\n--\n\n"
    "Run Multi-Electron Configuration Interaction (MECI) excited state calculation.\n"
    "\n"
    "Parameters:\n" QUELM_EXCITED_STATE_COMMON_PARAMETERS
    "- `target_root`: Target root state, 1-indexed (default: 1 = ground state)\n"
    "- `use_nddo`: Enable full NDDO integrals (default: true)";

PyObject* meci_body(const BoundArguments& arguments) {
    MoleculeAndActiveSpace m;
    MeciSettings settings;
    const bool converted = convert_molecule_and_active_space(arguments, m) &&
                           arguments.convert_or_default(4, settings.target_root, convert_count) &&
                           arguments.convert_or_default(5, settings.use_nddo, convert_bool);
    if (!converted)
        return nullptr;
    settings.active_orbitals = m.active_orbitals;
    return result_to_python(
        run_meci_internal(m.atomic_numbers, m.coordinates, m.method, settings, true),
        wrap_meci_result);
}

const ParameterSpec uv_vis_parameters[] = {
    {"atomic_numbers", true},   {"coordinates", true},        {"method", false},
    {"active_orbitals", false}, {"min_wavelength_nm", false}, {"max_wavelength_nm", false},
    {"step_nm", false},         {"fwhm_nm", false},           {"use_nddo", false},
};

constexpr const char* uv_vis_doc =
    "uv_vis_spectrum(atomic_numbers, coordinates, method=\"PM6\", active_orbitals=2, "
    "min_wavelength_nm=100.0, max_wavelength_nm=800.0, step_nm=1.0, fwhm_nm=20.0, "
    "use_nddo=True)\n--\n\n"
    "Simulate UV-Vis electronic absorption spectrum from CI states.\n"
    "\n"
    "Parameters:\n" QUELM_EXCITED_STATE_COMMON_PARAMETERS
    "- `min_wavelength_nm`: Minimum wavelength in nm (default: 100.0)\n"
    "- `max_wavelength_nm`: Maximum wavelength in nm (default: 800.0)\n"
    "- `step_nm`: Wavelength step size in nm (default: 1.0)\n"
    "- `fwhm_nm`: Gaussian broadening FWHM in nm (default: 20.0)\n"
    "- `use_nddo`: Enable full NDDO integrals (default: true)";

PyObject* uv_vis_body(const BoundArguments& arguments) {
    MoleculeAndActiveSpace m;
    SpectrumGrid grid;
    bool use_nddo = true;
    const bool converted =
        convert_molecule_and_active_space(arguments, m) &&
        arguments.convert_or_default(4, grid.min_wavelength_nm, convert_double) &&
        arguments.convert_or_default(5, grid.max_wavelength_nm, convert_double) &&
        arguments.convert_or_default(6, grid.step_nm, convert_double) &&
        arguments.convert_or_default(7, grid.fwhm_nm, convert_double) &&
        arguments.convert_or_default(8, use_nddo, convert_bool);
    if (!converted)
        return nullptr;
    return result_to_python(run_uv_vis_internal(m.atomic_numbers, m.coordinates, m.method,
                                                m.active_orbitals, grid, use_nddo),
                            wrap_uv_vis_spectrum);
}

} // namespace

const FunctionSpec meci_function = {"meci", meci_doc, meci_parameters, meci_body};
const FunctionSpec uv_vis_spectrum_function = {"uv_vis_spectrum", uv_vis_doc, uv_vis_parameters,
                                               uv_vis_body};

} // namespace quelm
