// The TransitionStatePyResult property table and its __repr__; to_dict nests the final single
// point's own dictionary.

#include "results/transition_state_result.hpp"

#include "results/calculation_result.hpp"
#include "toolkit/python_values.hpp"
#include "toolkit/result_class.hpp"
#include "toolkit/text_format.hpp"

#include <string>

namespace quelm {
namespace {

using R = TransitionStateRecord;

const Property<R> transition_state_properties[] = {
    {"converged", "Whether the transition state search converged",
     [](const R& r) { return bool_object(r.converged); }},
    {"cycles", "Number of EF optimization cycles executed",
     [](const R& r) { return int_object(r.cycles); }},
    {"final_energy_ev", "Final total energy in eV",
     [](const R& r) { return float_object(r.final_energy_ev); }},
    {"final_heat_of_formation_kcal", "Final heat of formation in kcal/mol",
     [](const R& r) { return float_object(r.final_heat_of_formation_kcal); }},
    {"initial_grad_rms", "Initial RMS gradient in kcal / (mol * \\AA)",
     [](const R& r) { return float_object(r.initial_grad_rms); }},
    {"final_grad_rms", "Final RMS gradient in kcal / (mol * \\AA)",
     [](const R& r) { return float_object(r.final_grad_rms); }},
    {"final_grad_max", "Final maximum gradient component in kcal / (mol * \\AA)",
     [](const R& r) { return float_object(r.final_grad_max); }},
    {"ts_mode_eigenvalue",
     "Eigenvalue of the transition state mode along which energy is maximized "
     "(kcal / (mol * \\AA^2))",
     [](const R& r) { return float_object(r.ts_mode_eigenvalue); }},
    {"ts_mode_index", "Transition state mode index (0-indexed)",
     [](const R& r) { return int_object(r.ts_mode_index); }},
    {"coordinates", "Transition state Cartesian coordinates in \\AA (shape: [natoms, 3])",
     [](const R& r) { return row_list(r.coordinates); }},
    {"final_result", "Final calculation result at the transition state",
     [](const R& r) { return wrap_calculation_result(r.final_result); }},
};

std::string transition_state_repr(const R& r) {
    return std::string("<TransitionStatePyResult converged=") + format_bool(r.converged) +
           " cycles=" + std::to_string(r.cycles) +
           " E_final=" + format_fixed(r.final_energy_ev, 6) +
           " eV, dHf=" + format_fixed(r.final_heat_of_formation_kcal, 3) +
           " kcal/mol, ts_mode_val=" + format_fixed(r.ts_mode_eigenvalue, 3) +
           ", grad_rms=" + format_fixed(r.final_grad_rms, 4) + ">";
}

const ResultClassSpec<R> transition_state_spec = {
    "quelm_py.TransitionStatePyResult",
    "Result of transition state search via Eigenvector Following.",
    transition_state_properties,
    "Convert transition state result to a standard Python dictionary.",
    transition_state_repr,
};

} // namespace

PyObject* create_transition_state_result_class() {
    return ResultClass<R>::create(transition_state_spec);
}

PyObject* wrap_transition_state_result(TransitionStateRecord record) {
    return ResultClass<R>::wrap(std::move(record));
}

} // namespace quelm
