#pragma once
// The starting density of every SCF: neutral atoms, each atom's valence electrons spread
// evenly over its valence orbitals, no bonds.

#include "parameters/parameter_model.hpp"
#include "types/aligned_storage.hpp"
#include "types/molecular_batch.hpp"

namespace quelm {

// Diagonal density with core_charge / basis_types electrons on each orbital of every atom
// the model covers (atoms it lacks get none); `density` must be n_orbitals x n_orbitals.
void build_neutral_atom_density(const MolecularBatch& batch, const ParameterModel& model,
                                AlignedMatrix& density);

} // namespace quelm
