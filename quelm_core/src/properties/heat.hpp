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

// The references of all atoms summed: the energy and heat the molecule's are measured from.
IsolatedAtomReference sum_isolated_atom_references(std::span<const std::uint8_t> atomic_numbers,
                                                   const ParameterModel& model);

} // namespace quelm
