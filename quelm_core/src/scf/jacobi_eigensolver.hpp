#pragma once
// Cyclic Jacobi diagonalisation of a real symmetric matrix: the engine's exact kernel for
// small bases (diagonalize_symmetric uses it below the dense kernel threshold).

#include "types/aligned_storage.hpp"

namespace quelm {

// Eigenvalues ascending into `eigenvalues` (length n), eigenvectors as columns of
// `eigenvectors` (n x n); `work` is an n x n scratch matrix that may be `a` itself but not
// the eigenvectors, which may be `a`. Returns the number of convergence tests (1 for a
// diagonal input) or 100 when the sweep limit was reached. Shapes are checked.
int jacobi_diagonalize_symmetric(const AlignedMatrix& a, AlignedMatrix& work,
                                 AlignedVec64& eigenvalues, AlignedMatrix& eigenvectors);

} // namespace quelm
