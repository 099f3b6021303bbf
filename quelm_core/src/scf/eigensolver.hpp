#pragma once
// The engine's one symmetric eigensolver entry point: every SCF diagonalisation,
// Mulliken S^(−½), Hessian and CI goes through here. Small matrices use the exact cyclic
// Jacobi kernel; from the dense-kernel threshold on, LAPACK's divide and conquer.

#include "types/aligned_storage.hpp"

namespace quelm {

// Eigenvalues ascending into `eigenvalues` (length n), eigenvectors as columns of
// `eigenvectors` (n x n). `a` is not modified. Returns Jacobi's number of convergence
// tests (1 for a diagonal input, 100 when the sweep limit was reached), or 1 from LAPACK.
int diagonalize_symmetric(const AlignedMatrix& a, AlignedVec64& eigenvalues,
                          AlignedMatrix& eigenvectors);

// The same with a caller-supplied n x n work matrix (overwritten); allocates nothing.
int diagonalize_symmetric_with_work(const AlignedMatrix& a, AlignedMatrix& work,
                                    AlignedVec64& eigenvalues, AlignedMatrix& eigenvectors);

// Throws InternalError unless `a`, `work` and `eigenvectors` are n x n, `eigenvalues` has n
// entries, and the work matrix does not share storage with the eigenvectors.
void require_eigenproblem_shapes(const AlignedMatrix& a, const AlignedMatrix& work,
                                 const AlignedVec64& eigenvalues,
                                 const AlignedMatrix& eigenvectors);

} // namespace quelm
