// calculate(atomic_numbers, coordinates, method="PM6", ...): argument conversion and the
// call of the single-point pipeline. Every optional argument also accepts None, which
// selects its default.

#include "functions/calculate_function.hpp"

#include "functions/single_point.hpp"
#include "results/calculation_result.hpp"
#include "toolkit/converters.hpp"
#include "toolkit/guarded_call.hpp"

#include <vector>

namespace quelm {
namespace {

const ParameterSpec calculate_parameters[] = {
    {"atomic_numbers", true}, {"coordinates", true},     {"method", false},
    {"cosmo_eps", false},     {"dispersion", false},     {"h_bonds", false},
    {"use_nddo", false},      {"max_iter", false},       {"energy_tol_ev", false},
    {"density_tol", false},   {"level_shift_ev", false}, {"damping", false},
};

constexpr const char* calculate_doc =
    "calculate(atomic_numbers, coordinates, method=\"PM6\", cosmo_eps=None, dispersion=None, "
    "h_bonds=False, use_nddo=True, max_iter=60, energy_tol_ev=1e-7, density_tol=1e-6, "
    "level_shift_ev=0.0, damping=0.5)\n--\n\n"
    "Compute single-point semi-empirical quantum chemical properties and analytical "
    "gradients.\n"
    "\n"
    "Parameters:\n"
    "- `atomic_numbers`: list of integer atomic numbers (e.g. `[6, 1, 1, 1, 35]`)\n"
    "- `coordinates`: list of 3D coordinates in Ångströms (e.g. `[[0.0, 0.0, 0.0], ...]`)\n"
    "- `method`: Semi-empirical Hamiltonian (\"PM6\", \"AM1\", \"RM1\", \"PM3\", \"MNDO\"; "
    "default: \"PM6\")\n"
    "- `cosmo_eps`: Optional solvent dielectric constant for COSMO solvation "
    "(e.g. 78.4 for water)\n"
    "- `dispersion`: Optional empirical dispersion (\"PM6-DH+\", \"PM7\")\n"
    "- `h_bonds`: Enable H4 hydrogen bonding and H-H core repulsion corrections "
    "(default: false)\n"
    "- `use_nddo`: Enable full NDDO 22 multipoles and rotation (default: true)\n"
    "- `max_iter`: Maximum SCF iterations (default: 60)\n"
    "- `energy_tol_ev`: Energy convergence threshold in eV (default: 1e-7)\n"
    "- `density_tol`: Density matrix convergence threshold (default: 1e-6)";

PyObject* calculate_body(const BoundArguments& arguments) {
    std::vector<std::uint8_t> atomic_numbers;
    std::vector<Coordinate> coordinates;
    ChoiceName method{"PM6", "PM6"};
    SinglePointSettings settings;
    const bool converted =
        arguments.convert(0, atomic_numbers, convert_atomic_numbers) &&
        arguments.convert(1, coordinates, convert_coordinates) &&
        arguments.convert_or_default(2, method, convert_choice_name) &&
        arguments.convert_optional(3, settings.cosmo_eps, convert_double) &&
        arguments.convert_optional(4, settings.dispersion, convert_choice_name) &&
        arguments.convert_or_default(5, settings.h_bonds, convert_bool) &&
        arguments.convert_or_default(6, settings.use_nddo, convert_bool) &&
        arguments.convert_or_default(7, settings.max_iter, convert_count) &&
        arguments.convert_or_default(8, settings.energy_tol_ev, convert_double) &&
        arguments.convert_or_default(9, settings.density_tol, convert_double) &&
        arguments.convert_or_default(10, settings.level_shift_ev, convert_double) &&
        arguments.convert_or_default(11, settings.damping, convert_double);
    if (!converted)
        return nullptr;
    return result_to_python(run_calculation_internal(atomic_numbers, coordinates, method, settings),
                            wrap_calculation_result);
}

} // namespace

const FunctionSpec calculate_function = {"calculate", calculate_doc, calculate_parameters,
                                         calculate_body};

} // namespace quelm
