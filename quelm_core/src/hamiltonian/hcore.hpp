#pragma once
// The one-electron core Hamiltonian H (eV) of one geometry: one-centre energies U on
// the diagonal, electron–nuclear attraction, and resonance terms ½(βμ + βν)·Sμν
// between atoms. Built once per geometry, before the SCF iterations.

#include "integrals/diatomic_pair_integrals.hpp"
#include "parameters/parameter_model.hpp"
#include "types/aligned_storage.hpp"
#include "types/molecular_batch.hpp"

#include <array>
#include <vector>

namespace quelm {

// Simplified two-centre model: attraction through one Klopman–Ohno γ per atom pair.
void build_hcore(const MolecularBatch& batch, const ParameterModel& model, AlignedMatrix& hcore);

// Full NDDO: attraction from the pair records of the same geometry.
void build_hcore_nddo(const MolecularBatch& batch, const ParameterModel& model,
                      const DiatomicPairIntegrals* pairs, std::size_t n_pairs,
                      AlignedMatrix& hcore);

// Uniform field (V/Å) about the centre of mass; returns the nuclear field energy (eV),
// which the caller adds to the core–core energy.
double apply_electric_field_to_hcore(const MolecularBatch& batch, const ParameterModel& model,
                                     AlignedMatrix& hcore, const std::array<double, 3>& field);

} // namespace quelm
