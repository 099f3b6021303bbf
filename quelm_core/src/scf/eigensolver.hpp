#pragma once
// The engine's one symmetric eigensolver entry point (cyclic Jacobi): every SCF
// diagonalisation, Mulliken S^(−½), Hessian and CI goes through here, so a faster
// kernel can replace it in one place.

#include "types/aligned_storage.hpp"

namespace quelm {

// Eigenvalues ascending into `eigenvalues` (length n), eigenvectors as columns of
// `eigenvectors` (n x n). `a` is not modified. Returns the number of convergence tests
// (1 for a diagonal input) or 100 when the sweep limit was reached.
int diagonalize_symmetric(const AlignedMatrix& a, AlignedVec64& eigenvalues,
                          AlignedMatrix& eigenvectors);

// The same with a caller-supplied n x n work matrix (overwritten); allocates nothing.
int diagonalize_symmetric_with_work(const AlignedMatrix& a, AlignedMatrix& work,
                                    AlignedVec64& eigenvalues, AlignedMatrix& eigenvectors);

} // namespace quelm
