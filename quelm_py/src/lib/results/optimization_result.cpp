// The OptimizationPyResult property table and its __repr__ (the class has no to_dict).

#include "results/optimization_result.hpp"

#include "results/calculation_result.hpp"
#include "toolkit/python_values.hpp"
#include "toolkit/result_class.hpp"
#include "toolkit/text_format.hpp"

#include <string>

namespace quelm {
namespace {

using R = OptimizationRecord;

const Property<R> optimization_result_properties[] = {
    {"converged", "Whether geometry optimization converged",
     [](const R& r) { return bool_object(r.optimization.converged); }},
    {"cycles", "Number of quasi-Newton L-BFGS cycles executed",
     [](const R& r) { return int_object(r.optimization.cycles); }},
    {"initial_energy_ev", "Initial total energy in eV",
     [](const R& r) { return float_object(r.optimization.initial_energy); }},
    {"final_energy_ev", "Final total energy in eV",
     [](const R& r) { return float_object(r.optimization.final_energy); }},
    {"final_heat_of_formation_kcal", "Final heat of formation in kcal/mol",
     [](const R& r) { return float_object(r.final_result.heat_of_formation_kcal); }},
    {"final_grad_rms", "Final RMS gradient in kcal / (mol * \\AA)",
     [](const R& r) { return float_object(r.optimization.final_grad_rms); }},
    {"final_grad_max", "Final maximum gradient component in kcal / (mol * \\AA)",
     [](const R& r) { return float_object(r.optimization.final_grad_max); }},
    {"coordinates", "Optimized Cartesian coordinates in \\AA (shape: [natoms, 3])",
     [](const R& r) { return row_list(r.coordinates); }},
    {"final_result", "Final calculation result at optimized geometry",
     [](const R& r) { return wrap_calculation_result(r.final_result); }},
};

std::string optimization_result_repr(const R& r) {
    return std::string("<OptimizationPyResult converged=") + format_bool(r.optimization.converged) +
           " cycles=" + std::to_string(r.optimization.cycles) +
           " E_final=" + format_fixed(r.optimization.final_energy, 6) +
           " eV, dHf=" + format_fixed(r.final_result.heat_of_formation_kcal, 3) +
           " kcal/mol, grad_rms=" + format_fixed(r.optimization.final_grad_rms, 4) + ">";
}

const ResultClassSpec<R> optimization_result_spec = {
    "quelm_py.OptimizationPyResult", "Result of molecular geometry optimization.",
    optimization_result_properties,  nullptr,
    optimization_result_repr,
};

} // namespace

PyObject* create_optimization_result_class() {
    return ResultClass<R>::create(optimization_result_spec);
}

PyObject* wrap_optimization_result(OptimizationRecord record) {
    return ResultClass<R>::wrap(std::move(record));
}

} // namespace quelm
