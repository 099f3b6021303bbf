#pragma once
// The closed-shell Fock matrix F = H + G(P) of the NDDO Hamiltonian, rebuilt once per
// SCF iteration from the density P: one-centre Coulomb and exchange terms from the
// atoms' one-centre integrals, two-centre terms from the cached pair records (or one
// Klopman–Ohno γ per atom pair in the simplified model).

#include "integrals/diatomic_pair_integrals.hpp"
#include "parameters/parameter_model.hpp"
#include "types/aligned_storage.hpp"
#include "types/molecular_batch.hpp"

#include <cstddef>

namespace quelm {

void build_fock_nddo(const MolecularBatch& batch, const ParameterModel& model,
                     const DiatomicPairIntegrals* pairs, std::size_t n_pairs,
                     const AlignedMatrix& hcore, const AlignedMatrix& density, AlignedMatrix& fock);

void build_fock(const MolecularBatch& batch, const ParameterModel& model,
                const AlignedMatrix& hcore, const AlignedMatrix& density, AlignedMatrix& fock);

void add_one_center_fock_terms(const MolecularBatch& batch, const ParameterModel& model,
                               const AlignedMatrix& density, AlignedMatrix& fock);

void assemble_nddo_two_center_fock(const DiatomicPairIntegrals* pairs, std::size_t n_pairs,
                                   const AlignedMatrix& density, AlignedMatrix& fock);

} // namespace quelm
