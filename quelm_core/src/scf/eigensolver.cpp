// The engine's one symmetric eigensolver entry point.
//
// Small bases keep the exact cyclic Jacobi kernel, so their results do not change at all;
// from the dense kernel threshold on, LAPACK's divide-and-conquer solver (dsyevd) takes over:
// Jacobi costs several n³ per sweep and needs a dozen sweeps, the Householder reduction and
// the divide-and-conquer merges a few n³ in all, in blocked BLAS. Both give orthonormal
// eigenvectors to working precision; they may differ in the sign of an eigenvector and in the
// basis they choose inside a degenerate eigenspace. The LAPACK path reports a single
// convergence test.

#include "scf/eigensolver.hpp"

#include "scf/dense_kernel_threshold.hpp"
#include "scf/jacobi_eigensolver.hpp"
#include "scf/lapack_eigensolver.hpp"
#include "types/internal_error.hpp"

namespace quelm {

int diagonalize_symmetric(const AlignedMatrix& a, AlignedVec64& eigenvalues,
                          AlignedMatrix& eigenvectors) {
    require_shape(a, a.rows(), "Symmetric matrix");
    AlignedMatrix work(a.rows(), a.rows());
    return diagonalize_symmetric_with_work(a, work, eigenvalues, eigenvectors);
}

int diagonalize_symmetric_with_work(const AlignedMatrix& a, AlignedMatrix& work,
                                    AlignedVec64& eigenvalues, AlignedMatrix& eigenvectors) {
    if (!use_dense_library(a.rows()))
        return jacobi_diagonalize_symmetric(a, work, eigenvalues, eigenvectors);
    lapack_diagonalize_symmetric(a, work, eigenvalues, eigenvectors);
    return 1;
}

void require_eigenproblem_shapes(const AlignedMatrix& a, const AlignedMatrix& work,
                                 const AlignedVec64& eigenvalues,
                                 const AlignedMatrix& eigenvectors) {
    const std::size_t n = a.rows();
    require_shape(a, n, "Symmetric matrix");
    require_shape(work, n, "Eigensolver work matrix");
    if (eigenvalues.size() != n)
        throw InternalError(size_mismatch("Eigenvalue vector", eigenvalues.size(), n));
    require_shape(eigenvectors, n, "Eigenvector matrix");
    if (n != 0 && work.data() == eigenvectors.data())
        throw InternalError("Eigensolver work matrix must not share storage with the eigenvectors");
}

} // namespace quelm
