// The CalculationResult property table, its __repr__ and to_dict.

#include "results/calculation_result.hpp"

#include "toolkit/python_values.hpp"
#include "toolkit/result_class.hpp"
#include "toolkit/text_format.hpp"

#include <string>

namespace quelm {
namespace {

using R = SinglePointResult;

const Property<R> calculation_result_properties[] = {
    {"total_energy_ev", "Total SCF energy in electron-volts (eV)",
     [](const R& r) { return float_object(r.total_energy_ev); }},
    {"electronic_energy_ev", "Electronic energy in electron-volts (eV)",
     [](const R& r) { return float_object(r.electronic_energy_ev); }},
    {"nuclear_repulsion_ev", "Core-core nuclear repulsion energy in electron-volts (eV)",
     [](const R& r) { return float_object(r.nuclear_repulsion_ev); }},
    {"binding_energy_ev",
     "Molecular binding energy relative to isolated atoms in electron-volts (eV)",
     [](const R& r) { return float_object(r.binding_energy_ev); }},
    {"heat_of_formation_kcal", "Standard heat of formation \\Delta H_f^\\circ in kcal/mol",
     [](const R& r) { return float_object(r.heat_of_formation_kcal); }},
    {"gradients_ev_angstrom",
     "Cartesian analytical energy gradients in eV / \\AA (shape: [natoms, 3])",
     [](const R& r) { return row_list(r.gradients_ev_angstrom); }},
    {"gradients_kcal_mol_angstrom",
     "Cartesian analytical energy gradients in kcal / (mol * \\AA) (shape: [natoms, 3])",
     [](const R& r) { return row_list(r.gradients_kcal_mol_angstrom); }},
    {"dipole_debye", "Electric dipole moment components and magnitude [dx, dy, dz, total] in Debye",
     [](const R& r) { return float_list(r.dipole_debye); }},
    {"atomic_charges", "Diagonal density atomic partial charges (shape: [natoms])",
     [](const R& r) { return float_list(r.atomic_charges); }},
    {"mulliken_charges", "Mulliken net partial atomic charges (shape: [natoms])",
     [](const R& r) { return float_list(r.mulliken_charges); }},
    {"converged", "Whether SCF converged", [](const R& r) { return bool_object(r.converged); }},
    {"scf_iterations", "Number of SCF iterations executed",
     [](const R& r) { return int_object(r.scf_iterations); }},
    {"homo_energy_ev", "Highest Occupied Molecular Orbital energy in eV",
     [](const R& r) { return float_object(r.homo_energy_ev); }},
    {"lumo_energy_ev", "Lowest Unoccupied Molecular Orbital energy in eV",
     [](const R& r) { return float_object(r.lumo_energy_ev); }},
    {"homo_lumo_gap_ev", "Fundamental HOMO-LUMO gap in eV",
     [](const R& r) { return float_object(r.homo_lumo_gap_ev); }},
};

std::string calculation_result_repr(const R& r) {
    return "<CalculationResult E=" + format_fixed(r.total_energy_ev, 6) +
           " eV, dHf=" + format_fixed(r.heat_of_formation_kcal, 3) +
           " kcal/mol, dipole=" + format_fixed(r.dipole_debye[3], 3) +
           " D, converged=" + format_bool(r.converged) + ">";
}

const ResultClassSpec<R> calculation_result_spec = {
    "quelm_py.CalculationResult",
    "Calculation results containing quantum chemical properties and analytical gradients.",
    calculation_result_properties,
    "Convert calculation result to a standard Python dictionary.",
    calculation_result_repr,
};

} // namespace

PyObject* create_calculation_result_class() {
    return ResultClass<R>::create(calculation_result_spec);
}

PyObject* wrap_calculation_result(SinglePointResult result) {
    return ResultClass<R>::wrap(std::move(result));
}

} // namespace quelm
