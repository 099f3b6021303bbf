// transition_state(atomic_numbers, coordinates, method="PM6", ...): argument conversion and
// the search pipeline. Every optional argument also accepts None, which selects its default.

#include "functions/transition_state_function.hpp"

#include "functions/transition_state_search.hpp"
#include "results/transition_state_result.hpp"
#include "toolkit/converters.hpp"
#include "toolkit/guarded_call.hpp"

#include <vector>

namespace quelm {
namespace {

const ParameterSpec transition_state_parameters[] = {
    {"atomic_numbers", true}, {"coordinates", true},   {"method", false},
    {"max_cycles", false},    {"grad_rms_tol", false}, {"grad_max_tol", false},
    {"trust_radius", false},  {"target_mode", false},  {"use_nddo", false},
};

constexpr const char* transition_state_doc =
    "transition_state(atomic_numbers, coordinates, method=\"PM6\", max_cycles=100, "
    "grad_rms_tol=0.1, grad_max_tol=0.2, trust_radius=0.1, target_mode=None, "
    "use_nddo=False)\n--\n\n"
    "Locate a transition state (first-order saddle point) using Eigenvector Following "
    "(P-RFO Baker).\n"
    "\n"
    "Parameters:\n"
    "- `atomic_numbers`: list of integer atomic numbers\n"
    "- `coordinates`: list of 3D coordinates in Ångströms\n"
    "- `method`: Semi-empirical Hamiltonian (default: \"PM6\")\n"
    "- `max_cycles`: Maximum number of EF cycles (default: 100)\n"
    "- `grad_rms_tol`: RMS gradient threshold in kcal / (mol * Å) (default: 0.1)\n"
    "- `grad_max_tol`: Maximum gradient threshold in kcal / (mol * Å) (default: 0.2)\n"
    "- `trust_radius`: Initial trust radius in Ångströms (default: 0.1)\n"
    "- `target_mode`: Index of normal mode to follow (0-indexed, default: None -> lowest "
    "eigenvalue)\n"
    "- `use_nddo`: Enable full NDDO 22 multipoles and rotation (default: false)";

PyObject* transition_state_body(const BoundArguments& arguments) {
    std::vector<std::uint8_t> atomic_numbers;
    std::vector<Coordinate> coordinates;
    ChoiceName method{"PM6", "PM6"};
    TransitionStateSettings settings;
    const bool converted = arguments.convert(0, atomic_numbers, convert_atomic_numbers) &&
                           arguments.convert(1, coordinates, convert_coordinates) &&
                           arguments.convert_or_default(2, method, convert_choice_name) &&
                           arguments.convert_or_default(3, settings.max_cycles, convert_count) &&
                           arguments.convert_or_default(4, settings.grad_rms_tol, convert_double) &&
                           arguments.convert_or_default(5, settings.grad_max_tol, convert_double) &&
                           arguments.convert_or_default(6, settings.trust_radius, convert_double) &&
                           arguments.convert_optional(7, settings.target_mode, convert_count) &&
                           arguments.convert_or_default(8, settings.use_nddo, convert_bool);
    if (!converted)
        return nullptr;
    return result_to_python(run_transition_state(atomic_numbers, coordinates, method, settings),
                            wrap_transition_state_result);
}

} // namespace

const FunctionSpec transition_state_function = {"transition_state", transition_state_doc,
                                                transition_state_parameters, transition_state_body};

} // namespace quelm
