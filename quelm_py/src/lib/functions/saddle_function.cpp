// saddle(atomic_numbers, reactant_coords, product_coords, method=None, ...): argument
// conversion, the molecule checks, the two-ended search and the single point at its
// transition state. Every optional argument accepts None for its default.
//
// Beyond the shape and method checks, the molecule must be one the SCF can describe (known
// elements, an even electron count) before any search runs: the final single point would
// refuse it anyway, after the whole search.

#include "functions/saddle_function.hpp"

#include "results/saddle_result.hpp"
#include "toolkit/converters.hpp"
#include "toolkit/guarded_call.hpp"
#include "toolkit/molecule_validation.hpp"

#include <string>
#include <vector>

namespace quelm {
namespace {

const ParameterSpec saddle_parameters[] = {
    {"atomic_numbers", true},        {"reactant_coords", true},
    {"product_coords", true},        {"method", false},
    {"max_cycles", false},           {"step_size", false},
    {"convergence_distance", false}, {"inner_max_steps", false},
    {"inner_grad_tol", false},       {"use_nddo", false},
    {"refine_with_ts", false},
};

constexpr const char* saddle_doc =
    "saddle(atomic_numbers, reactant_coords, product_coords, method=None, max_cycles=None, "
    "step_size=None, convergence_distance=None, inner_max_steps=None, inner_grad_tol=None, "
    "use_nddo=None, refine_with_ts=None)\n--\n\n"
    "Locate a transition state between two geometries using two-ended SADDLE reaction search.\n"
    "\n"
    "Parameters:\n"
    "- `atomic_numbers`: list of integer atomic numbers (e.g. `[7, 1, 1, 1]`)\n"
    "- `reactant_coords`: 3D coordinates in Angstroms of the reactant state\n"
    "- `product_coords`: 3D coordinates in Angstroms of the product state\n"
    "- `method`: Semi-empirical Hamiltonian (\"PM6\", \"AM1\", \"RM1\", \"PM3\", \"MNDO\"; "
    "default: \"PM6\")\n"
    "- `max_cycles`: Maximum SADDLE macro stepping cycles (default: 60)\n"
    "- `step_size`: Distance decrement step size in Angstroms (default: 0.10)\n"
    "- `convergence_distance`: Endpoint convergence distance in Angstroms (default: 0.12)\n"
    "- `inner_max_steps`: Maximum transverse relaxation steps per cycle (default: 12)\n"
    "- `inner_grad_tol`: RMS gradient tolerance for transverse relaxation in kcal/(mol*A) "
    "(default: 3.0)\n"
    "- `use_nddo`: Enable full NDDO multipole integrals (default: true)\n"
    "- `refine_with_ts`: Refine candidate TS with eigenvector-following Baker P-RFO "
    "(default: true)";

constexpr MoleculeMessages reactant_messages = {
    "atomic_numbers cannot be empty",
    "Mismatch between atomic_numbers ({n}) and reactant_coords ({m})"};
constexpr MoleculeMessages product_messages = {
    "atomic_numbers cannot be empty",
    "Mismatch between atomic_numbers ({n}) and product_coords ({m})"};

Result<SaddleRecord> run_saddle_search(const std::vector<std::uint8_t>& atomic_numbers,
                                       const std::vector<Coordinate>& reactant,
                                       const std::vector<Coordinate>& product,
                                       const ChoiceName& method, const SaddleOptions& options) {
    for (const auto& [coordinates, messages] :
         {std::pair{&reactant, &reactant_messages}, std::pair{&product, &product_messages}}) {
        if (const Result<bool> shape =
                check_molecule_shape(atomic_numbers.size(), coordinates->size(), *messages);
            !shape) {
            return Error{shape.error()};
        }
    }
    const Result<const ParameterModel*> model = get_model(method);
    if (!model)
        return Error{model.error()};
    // The separation is divided by it on the way in.
    if (!(options.convergence_distance > 0.0))
        return Error{"convergence_distance must be positive"};
    if (const Result<std::size_t> electrons =
            check_closed_shell(atomic_numbers, *model.value(), method);
        !electrons) {
        return Error{electrons.error()};
    }

    SaddleRecord record;
    record.search = run_saddle(atomic_numbers, reactant, product, *model.value(), options);
    SinglePointSettings single_point;
    single_point.use_nddo = options.use_nddo;
    Result<SinglePointResult> final_point = run_calculation_internal(
        atomic_numbers, record.search.transition_state_coordinates, method, single_point);
    if (!final_point)
        return Error{final_point.error()};
    record.final_result = std::move(final_point.value());
    if (const auto& refined = record.search.ts_refinement) {
        TransitionStateRecord ts;
        ts.converged = refined->converged;
        ts.cycles = refined->cycles;
        ts.final_energy_ev = refined->final_energy;
        ts.final_heat_of_formation_kcal = refined->heat_of_formation;
        ts.initial_grad_rms = refined->initial_grad_rms;
        ts.final_grad_rms = refined->final_grad_rms;
        ts.final_grad_max = refined->final_grad_max;
        ts.ts_mode_eigenvalue = refined->ts_mode_eigenvalue;
        ts.ts_mode_index = refined->ts_mode_index;
        ts.coordinates = record.search.transition_state_coordinates;
        ts.final_result = record.final_result;
        record.ts_refinement = std::move(ts);
    }
    return record;
}

PyObject* saddle_body(const BoundArguments& arguments) {
    std::vector<std::uint8_t> atomic_numbers;
    std::vector<Coordinate> reactant, product;
    ChoiceName method{"PM6", "PM6"};
    SaddleOptions options;
    const bool converted =
        arguments.convert(0, atomic_numbers, convert_atomic_numbers) &&
        arguments.convert(1, reactant, convert_coordinates) &&
        arguments.convert(2, product, convert_coordinates) &&
        arguments.convert_or_default(3, method, convert_choice_name) &&
        arguments.convert_or_default(4, options.max_cycles, convert_count) &&
        arguments.convert_or_default(5, options.step_size, convert_double) &&
        arguments.convert_or_default(6, options.convergence_distance, convert_double) &&
        arguments.convert_or_default(7, options.inner_max_steps, convert_count) &&
        arguments.convert_or_default(8, options.inner_grad_tol, convert_double) &&
        arguments.convert_or_default(9, options.use_nddo, convert_bool) &&
        arguments.convert_or_default(10, options.refine_with_ts, convert_bool);
    if (!converted)
        return nullptr;
    return result_to_python(run_saddle_search(atomic_numbers, reactant, product, method, options),
                            wrap_saddle_result);
}

} // namespace

const FunctionSpec saddle_function = {"saddle", saddle_doc, saddle_parameters, saddle_body};

} // namespace quelm
