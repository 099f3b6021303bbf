// The SaddlePointPy and SaddlePyResult property tables and their __repr__ texts.

#include "results/saddle_result.hpp"

#include "results/calculation_result.hpp"
#include "results/transition_state_result.hpp"
#include "toolkit/python_values.hpp"
#include "toolkit/result_class.hpp"
#include "toolkit/text_format.hpp"

#include <string>

namespace quelm {
namespace {

using P = SaddlePoint;

const Property<P> saddle_point_properties[] = {
    {"cycle", "Macro cycle iteration index", [](const P& p) { return int_object(p.cycle); }},
    {"moving_structure", "Which structure was relaxed (1 = reactant side, 2 = product side)",
     [](const P& p) { return int_object(p.moving_structure); }},
    {"distance", "Inter-structure distance in Angstroms",
     [](const P& p) { return float_object(p.distance); }},
    {"heat_of_formation_kcal", "Standard heat of formation in kcal/mol",
     [](const P& p) { return float_object(p.heat_of_formation_kcal); }},
    {"total_energy_ev", "Electronic total energy in eV",
     [](const P& p) { return float_object(p.total_energy_ev); }},
    {"grad_rms", "RMS gradient norm in kcal/(mol * A)",
     [](const P& p) { return float_object(p.grad_rms); }},
    {"coordinates", "Cartesian coordinates", [](const P& p) { return row_list(p.coordinates); }},
};

std::string saddle_point_repr(const P& p) {
    return "<SaddlePointPy cycle=" + std::to_string(p.cycle) +
           " moving_structure=" + std::to_string(p.moving_structure) +
           " dist=" + format_fixed(p.distance, 3) +
           " A, dHf=" + format_fixed(p.heat_of_formation_kcal, 3) +
           " kcal/mol, grad_rms=" + format_fixed(p.grad_rms, 4) + ">";
}

const ResultClassSpec<P> saddle_point_spec = {
    "quelm_py.SaddlePointPy",
    "A discrete point along the two-ended reaction barrier ascent in SADDLE.",
    saddle_point_properties,
    "Convert SADDLE point to a standard Python dictionary.",
    saddle_point_repr,
};

using R = SaddleRecord;

const Property<R> saddle_result_properties[] = {
    {"converged", "Whether the two endpoints converged within the distance threshold",
     [](const R& r) { return bool_object(r.search.converged); }},
    {"num_cycles", "Number of completed SADDLE macro cycles",
     [](const R& r) { return int_object(r.search.num_cycles); }},
    {"final_distance", "Final distance between endpoint structures in Angstroms",
     [](const R& r) { return float_object(r.search.final_distance); }},
    {"transition_state_coordinates", "Transition state Cartesian coordinates in Angstroms",
     [](const R& r) { return row_list(r.search.transition_state_coordinates); }},
    {"transition_state_energy_ev", "Transition state total energy in eV",
     [](const R& r) { return float_object(r.search.transition_state_energy_ev); }},
    {"transition_state_heat_of_formation_kcal",
     "Standard heat of formation at transition state in kcal/mol",
     [](const R& r) { return float_object(r.search.transition_state_heat_of_formation_kcal); }},
    {"barrier_forward_kcal", "Forward reaction barrier height in kcal/mol (TS - Reactant)",
     [](const R& r) { return float_object(r.search.barrier_forward_kcal); }},
    {"barrier_reverse_kcal", "Reverse reaction barrier height in kcal/mol (TS - Product)",
     [](const R& r) { return float_object(r.search.barrier_reverse_kcal); }},
    {"trajectory", "Trajectory of SADDLE relaxation points",
     [](const R& r) { return ResultClass<P>::wrap_list(r.search.trajectory); }},
    {"final_result", "Final single-point calculation result at the transition state",
     [](const R& r) { return wrap_calculation_result(r.final_result); }},
    {"ts_refinement", "Optional eigenvector-following refinement result",
     [](const R& r) -> PyObject* {
         if (!r.ts_refinement)
             Py_RETURN_NONE;
         return wrap_transition_state_result(*r.ts_refinement);
     }},
};

std::string saddle_result_repr(const R& r) {
    return std::string("<SaddlePyResult converged=") + format_bool(r.search.converged) +
           " cycles=" + std::to_string(r.search.num_cycles) +
           " final_dist=" + format_fixed(r.search.final_distance, 4) +
           " A, TS dHf=" + format_fixed(r.search.transition_state_heat_of_formation_kcal, 3) +
           " kcal/mol, barrier_fwd=" + format_fixed(r.search.barrier_forward_kcal, 3) +
           " kcal/mol>";
}

const ResultClassSpec<R> saddle_result_spec = {
    "quelm_py.SaddlePyResult", "Outcome of two-ended SADDLE transition state search.",
    saddle_result_properties,  "Convert SADDLE result to a standard Python dictionary.",
    saddle_result_repr,
};

} // namespace

PyObject* create_saddle_point_class() {
    return ResultClass<P>::create(saddle_point_spec);
}

PyObject* create_saddle_result_class() {
    return ResultClass<R>::create(saddle_result_spec);
}

PyObject* wrap_saddle_result(SaddleRecord record) {
    return ResultClass<R>::wrap(std::move(record));
}

} // namespace quelm
