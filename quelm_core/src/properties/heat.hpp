#pragma once
// Heats of formation: the SCF energy relative to the isolated atoms' energies, plus
// the experimental atomic heats of formation.

#include "parameters/parameter_model.hpp"

#include <cstdint>
#include <span>

namespace quelm {

struct IsolatedAtomReference {
    double energy_ev = 0.0;              // E_isol of the free atom in the model
    double heat_of_formation_kcal = 0.0; // experimental ΔHf of the gaseous atom
};

// Both 0 when the model does not cover z.
IsolatedAtomReference get_isolated_atom_energy_and_heat(std::uint8_t z,
                                                        const ParameterModel& model);

// The references summed over a set of atoms (Σ E_isol, Σ ΔHf of the atoms), from which a
// heat of formation is Σ ΔHf + (E_total − Σ E_isol) in kcal/mol.
IsolatedAtomReference sum_isolated_atom_references(std::span<const std::uint8_t> atomic_numbers,
                                                   const ParameterModel& model);

// Heat of formation (kcal/mol) of a molecule of SCF total energy `energy_ev` whose atoms sum
// to `atoms`: Σ ΔHf + (E − Σ E_isol).
double heat_of_formation_kcal(const IsolatedAtomReference& atoms, double energy_ev);

} // namespace quelm
