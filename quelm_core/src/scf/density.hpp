#pragma once
// Closed-shell density matrix and electronic energy.

#include "types/aligned_storage.hpp"

#include <cstddef>

namespace quelm {

// P_ij = 2 Σ_{k < n_occupied} C_ik C_jk (lowest orbitals), both triangles.
void compute_density_matrix(const AlignedMatrix& eigenvectors, std::size_t n_occupied,
                            AlignedMatrix& density);

// ½ Σ_ij P_ij (H_ij + F_ij) in eV.
double compute_electronic_energy(const AlignedMatrix& density, const AlignedMatrix& hcore,
                                 const AlignedMatrix& fock);

} // namespace quelm
