#pragma once
// Symmetric eigensolvers of LAPACK (OpenBLAS): the engine's kernel for bases at or above the
// dense kernel threshold, where the cyclic Jacobi kernel costs many times as much.

#include "types/aligned_storage.hpp"

#include <cstddef>

namespace quelm {

// The LAPACK drivers for a full spectrum, both after a Householder tridiagonalisation:
// dsyevd (divide and conquer; the faster on SCF Fock matrices, whose clustered spectra
// deflate well) or dsyevr (multiple relatively robust representations, O(n) workspace).
enum class LapackEigenDriver { divide_and_conquer, mrrr };

// Eigenvalues ascending into `eigenvalues` (length n), eigenvectors as columns of
// `eigenvectors` (n x n). `work` (n x n) is overwritten and may be `a` itself but not the
// eigenvectors, which may be `a`. Only the upper triangle of `a` is read (a must be
// symmetric). Shapes are checked; a LAPACK failure throws InternalError.
void lapack_diagonalize_symmetric(const AlignedMatrix& a, AlignedMatrix& work,
                                  AlignedVec64& eigenvalues, AlignedMatrix& eigenvectors,
                                  LapackEigenDriver driver = LapackEigenDriver::divide_and_conquer);

// The `count` lowest eigenpairs only (MRRR on the index range 1..count, 1 ≤ count ≤ n):
// eigenvalues[0..count) ascending and eigenvectors in columns 0..count−1; the remaining
// eigenvalues and columns are unspecified. Same storage rules as above. For callers that
// need only the occupied orbitals (and the lowest virtual one).
void lapack_lowest_eigenpairs(const AlignedMatrix& a, AlignedMatrix& work, std::size_t count,
                              AlignedVec64& eigenvalues, AlignedMatrix& eigenvectors);

// The Hermitian eigenproblem of a complex n x n matrix (zheevd, divide and conquer), for
// Bloch Hamiltonians. Complex matrices are stored row-major as n x 2n doubles with the real
// and imaginary part of each element adjacent (the layout of std::complex<double>).
// Eigenvalues ascending into `eigenvalues` (length n); eigenvector j as column j of the
// complex matrix `eigenvectors` (n x 2n), orthonormal in the complex inner product; a
// degenerate eigenspace comes back as that many independent vectors. Only the upper
// triangle of `a` is read (a must be Hermitian); `eigenvectors` may be `a` itself. Shapes
// are checked; a LAPACK failure throws InternalError.
void lapack_diagonalize_hermitian(const AlignedMatrix& a, AlignedVec64& eigenvalues,
                                  AlignedMatrix& eigenvectors);

} // namespace quelm
