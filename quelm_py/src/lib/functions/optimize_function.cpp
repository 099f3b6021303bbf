// optimize(atomic_numbers, coordinates, method="PM6", ...): argument conversion and the call
// of the optimisation pipeline. Every optional argument also accepts None, which selects its
// default.

#include "functions/optimize_function.hpp"

#include "functions/optimization.hpp"
#include "results/optimization_result.hpp"
#include "toolkit/converters.hpp"
#include "toolkit/guarded_call.hpp"

#include <vector>

namespace quelm {
namespace {

const ParameterSpec optimize_parameters[] = {
    {"atomic_numbers", true}, {"coordinates", true},   {"method", false},   {"max_cycles", false},
    {"grad_rms_tol", false},  {"grad_max_tol", false}, {"use_nddo", false},
};

constexpr const char* optimize_doc =
    "optimize(atomic_numbers, coordinates, method=\"PM6\", max_cycles=100, grad_rms_tol=1.0, "
    "grad_max_tol=2.0, use_nddo=False)\n--\n\n"
    "Optimize molecular geometry using quasi-Newton L-BFGS optimizer.\n"
    "\n"
    "Parameters:\n"
    "- `atomic_numbers`: list of integer atomic numbers (e.g. `[8, 1, 1]`)\n"
    "- `coordinates`: list of initial 3D coordinates in Ångströms (e.g. `[[0.0, 0.0, 0.0], "
    "...]`)\n"
    "- `method`: Semi-empirical Hamiltonian (\"PM6\", \"AM1\", \"RM1\", \"PM3\", \"MNDO\"; "
    "default: \"PM6\")\n"
    "- `max_cycles`: Maximum number of L-BFGS cycles (default: 100)\n"
    "- `grad_rms_tol`: RMS gradient convergence threshold in kcal / (mol · Å) "
    "(default: 1.0)\n"
    "- `grad_max_tol`: Maximum gradient convergence threshold in kcal / (mol · Å) "
    "(default: 2.0)\n"
    "- `use_nddo`: Enable full NDDO 22 multipoles and rotation (default: false)";

PyObject* optimize_body(const BoundArguments& arguments) {
    std::vector<std::uint8_t> atomic_numbers;
    std::vector<Coordinate> coordinates;
    ChoiceName method{"PM6", "PM6"};
    OptimizationSettings settings;
    const bool converted = arguments.convert(0, atomic_numbers, convert_atomic_numbers) &&
                           arguments.convert(1, coordinates, convert_coordinates) &&
                           arguments.convert_or_default(2, method, convert_choice_name) &&
                           arguments.convert_or_default(3, settings.max_cycles, convert_count) &&
                           arguments.convert_or_default(4, settings.grad_rms_tol, convert_double) &&
                           arguments.convert_or_default(5, settings.grad_max_tol, convert_double) &&
                           arguments.convert_or_default(6, settings.use_nddo, convert_bool);
    if (!converted)
        return nullptr;
    return result_to_python(
        run_geometry_optimization(atomic_numbers, coordinates, method, settings),
        wrap_optimization_result);
}

} // namespace

const FunctionSpec optimize_function = {"optimize", optimize_doc, optimize_parameters,
                                        optimize_body};

} // namespace quelm
