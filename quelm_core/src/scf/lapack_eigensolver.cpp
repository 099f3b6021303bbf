// Symmetric eigenproblems on LAPACK.
//
// LAPACK stores matrices by column and the engine by row; a symmetric matrix is the same in
// both, so the input passes as it is. The eigenvectors come back one per LAPACK column, which
// in row-major storage is one per row: a blocked in-place transpose puts them in columns.
// Workspace arrays live per thread and grow to the largest basis seen, so repeated
// diagonalisations in an SCF allocate nothing after the first. LAPACK runs on as many threads
// as OpenBLAS is given (OPENBLAS_NUM_THREADS, all cores by default): on idle cores two threads
// diagonalise a 2000-orbital Fock matrix 1.7 times as fast as one, but with more threads than
// free cores (several jobs at once) the Householder reduction, which synchronises its threads
// once per column, slowed down eightfold in our measurements; parallel jobs want one thread each.
//
// dsyevr (MRRR; Dhillon & Parlett, Linear Algebra Appl. 387, 1 (2004)) costs O(n²) after the
// tridiagonal reduction, needs O(n) workspace and can stop at the lowest k pairs; dsyevd
// (divide and conquer; Gu & Eisenstat, SIAM J. Matrix Anal. Appl. 16, 172 (1995)) needs
// 2n² extra doubles.

#include "scf/lapack_eigensolver.hpp"

#include "scf/eigensolver.hpp"
#include "types/internal_error.hpp"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

// The LAPACK routines of scipy-openblas32 (32-bit integers, prefixed symbols). The trailing
// lengths are the hidden lengths of the Fortran character arguments.
extern "C" {
void scipy_dsyevr_(const char* jobz, const char* range, const char* uplo, const int* n, double* a,
                   const int* lda, const double* vl, const double* vu, const int* il, const int* iu,
                   const double* abstol, int* m, double* w, double* z, const int* ldz, int* isuppz,
                   double* work, const int* lwork, int* iwork, const int* liwork, int* info,
                   std::size_t jobz_length, std::size_t range_length, std::size_t uplo_length);
void scipy_dsyevd_(const char* jobz, const char* uplo, const int* n, double* a, const int* lda,
                   double* w, double* work, const int* lwork, int* iwork, const int* liwork,
                   int* info, std::size_t jobz_length, std::size_t uplo_length);
// The complex arguments (a, work) are arrays of (re, im) double pairs.
void scipy_zheevd_(const char* jobz, const char* uplo, const int* n, double* a, const int* lda,
                   double* w, double* work, const int* lwork, double* rwork, const int* lrwork,
                   int* iwork, const int* liwork, int* info, std::size_t jobz_length,
                   std::size_t uplo_length);
}

namespace quelm {

namespace {

struct LapackScratch {
    std::vector<double> work;
    std::vector<double> rwork; // real workspace of the complex drivers
    std::vector<int> iwork;
    std::vector<int> isuppz;
};

LapackScratch& thread_scratch() {
    thread_local LapackScratch scratch;
    return scratch;
}

template <typename T> T* grown(std::vector<T>& buffer, std::size_t size) {
    if (buffer.size() < size)
        buffer.resize(size);
    return buffer.data();
}

void check_shapes(const AlignedMatrix& a, const AlignedMatrix& work,
                  const AlignedVec64& eigenvalues, const AlignedMatrix& eigenvectors) {
    require_eigenproblem_shapes(a, work, eigenvalues, eigenvectors);
    const std::size_t n = a.rows();
    if (n > static_cast<std::size_t>(INT_MAX / 26))
        throw InternalError("Basis of " + std::to_string(n) + " orbitals exceeds LAPACK's range");
}

void copy_into(const AlignedMatrix& from, AlignedMatrix& to) {
    if (from.data() != to.data() && from.size() != 0)
        std::memcpy(to.data(), from.data(), from.size() * sizeof(double));
}

// Transposes the leading `columns` rows of an n x n row-major matrix into its leading
// `columns` columns, in tiles so that both sides stream through cache. A partial set goes
// through `spare` (n x n, free after LAPACK has destroyed it).
void rows_to_columns(AlignedMatrix& m, std::size_t columns, AlignedMatrix& spare) {
    constexpr std::size_t tile = 32;
    const std::size_t n = m.rows();
    if (columns == n) {
        for (std::size_t i0 = 0; i0 < n; i0 += tile) {
            const std::size_t i1 = std::min(i0 + tile, n);
            for (std::size_t j0 = i0; j0 < n; j0 += tile) {
                const std::size_t j1 = std::min(j0 + tile, n);
                for (std::size_t i = i0; i < i1; ++i) {
                    for (std::size_t j = std::max(j0, i + 1); j < j1; ++j)
                        std::swap(m(i, j), m(j, i));
                }
            }
        }
        return;
    }
    double* vectors = spare.data();
    std::memcpy(vectors, m.data(), n * columns * sizeof(double));
    for (std::size_t i0 = 0; i0 < n; i0 += tile) {
        const std::size_t i1 = std::min(i0 + tile, n);
        for (std::size_t k = 0; k < columns; ++k) {
            const double* source = vectors + k * n;
            for (std::size_t i = i0; i < i1; ++i)
                m(i, k) = source[i];
        }
    }
}

void throw_on_failure(const char* routine, int info) {
    if (info != 0)
        throw InternalError(std::string(routine) + " failed with info = " + std::to_string(info));
}

// dsyevr on `work` (destroyed) for the index range 1..count, vectors into the rows of z.
void run_dsyevr(AlignedMatrix& work, std::size_t count, AlignedVec64& eigenvalues,
                AlignedMatrix& z) {
    const int n = static_cast<int>(work.rows());
    const int lower = 1;
    const int upper = static_cast<int>(count);
    const char* range = count == work.rows() ? "A" : "I";
    const double unused_bound = 0.0;
    // 0: LAPACK's default tolerance; MRRR reaches full accuracy regardless.
    const double abstol = 0.0;
    int found = 0;
    int info = 0;
    LapackScratch& scratch = thread_scratch();
    int* isuppz = grown(scratch.isuppz, 2 * static_cast<std::size_t>(n));

    double work_size = 0.0;
    int iwork_size = 0;
    const int query = -1;
    scipy_dsyevr_("V", range, "U", &n, work.data(), &n, &unused_bound, &unused_bound, &lower,
                  &upper, &abstol, &found, eigenvalues.data(), z.data(), &n, isuppz, &work_size,
                  &query, &iwork_size, &query, &info, 1, 1, 1);
    throw_on_failure("dsyevr workspace query", info);
    const int lwork = std::max(static_cast<int>(work_size), 26 * n);
    const int liwork = std::max(iwork_size, 10 * n);
    double* work_array = grown(scratch.work, static_cast<std::size_t>(lwork));
    int* iwork_array = grown(scratch.iwork, static_cast<std::size_t>(liwork));
    scipy_dsyevr_("V", range, "U", &n, work.data(), &n, &unused_bound, &unused_bound, &lower,
                  &upper, &abstol, &found, eigenvalues.data(), z.data(), &n, isuppz, work_array,
                  &lwork, iwork_array, &liwork, &info, 1, 1, 1);
    throw_on_failure("dsyevr", info);
    if (found != upper) {
        throw InternalError("dsyevr found " + std::to_string(found) + " of " +
                            std::to_string(upper) + " eigenpairs");
    }
}

// dsyevd on `vectors` in place: the matrix in, one eigenvector per row out.
void run_dsyevd(AlignedMatrix& vectors, AlignedVec64& eigenvalues) {
    const int n = static_cast<int>(vectors.rows());
    int info = 0;
    double work_size = 0.0;
    int iwork_size = 0;
    const int query = -1;
    scipy_dsyevd_("V", "U", &n, vectors.data(), &n, eigenvalues.data(), &work_size, &query,
                  &iwork_size, &query, &info, 1, 1);
    throw_on_failure("dsyevd workspace query", info);
    LapackScratch& scratch = thread_scratch();
    const int lwork = static_cast<int>(work_size);
    double* work_array = grown(scratch.work, static_cast<std::size_t>(lwork));
    int* iwork_array = grown(scratch.iwork, static_cast<std::size_t>(iwork_size));
    scipy_dsyevd_("V", "U", &n, vectors.data(), &n, eigenvalues.data(), work_array, &lwork,
                  iwork_array, &iwork_size, &info, 1, 1);
    throw_on_failure("dsyevd", info);
}

// zheevd on `vectors` in place (n x 2n doubles, complex row-major). LAPACK reads the storage
// by column, so it sees the transpose of the Hermitian matrix, which is its complex
// conjugate: same eigenvalues, conjugated eigenvectors, one per storage row. The caller
// conjugates and transposes them back.
void run_zheevd(AlignedMatrix& vectors, AlignedVec64& eigenvalues) {
    const int n = static_cast<int>(vectors.rows());
    int info = 0;
    double work_size[2] = {0.0, 0.0};
    double rwork_size = 0.0;
    int iwork_size = 0;
    const int query = -1;
    // "L" of the transposed storage is the upper triangle of the row-major matrix.
    scipy_zheevd_("V", "L", &n, vectors.data(), &n, eigenvalues.data(), work_size, &query,
                  &rwork_size, &query, &iwork_size, &query, &info, 1, 1);
    throw_on_failure("zheevd workspace query", info);
    LapackScratch& scratch = thread_scratch();
    const int lwork = static_cast<int>(work_size[0]);
    const int lrwork = static_cast<int>(rwork_size);
    double* work_array = grown(scratch.work, 2 * static_cast<std::size_t>(lwork));
    double* rwork_array = grown(scratch.rwork, static_cast<std::size_t>(lrwork));
    int* iwork_array = grown(scratch.iwork, static_cast<std::size_t>(iwork_size));
    scipy_zheevd_("V", "L", &n, vectors.data(), &n, eigenvalues.data(), work_array, &lwork,
                  rwork_array, &lrwork, iwork_array, &iwork_size, &info, 1, 1);
    throw_on_failure("zheevd", info);
}

// Complex n x n (n x 2n doubles): M ← conj(Mᵀ), in place.
void conjugate_transpose(AlignedMatrix& m) {
    const std::size_t n = m.rows();
    for (std::size_t i = 0; i < n; ++i) {
        m(i, 2 * i + 1) = -m(i, 2 * i + 1);
        for (std::size_t j = i + 1; j < n; ++j) {
            const double re_ij = m(i, 2 * j), im_ij = m(i, 2 * j + 1);
            m(i, 2 * j) = m(j, 2 * i);
            m(i, 2 * j + 1) = -m(j, 2 * i + 1);
            m(j, 2 * i) = re_ij;
            m(j, 2 * i + 1) = -im_ij;
        }
    }
}

void require_complex_shape(const AlignedMatrix& m, std::size_t n, const char* what) {
    if (m.rows() != n || m.cols() != 2 * n)
        throw InternalError(size_mismatch(what, m.cols(), 2 * n));
}

} // namespace

void lapack_diagonalize_symmetric(const AlignedMatrix& a, AlignedMatrix& work,
                                  AlignedVec64& eigenvalues, AlignedMatrix& eigenvectors,
                                  LapackEigenDriver driver) {
    check_shapes(a, work, eigenvalues, eigenvectors);
    const std::size_t n = a.rows();
    if (n == 0)
        return;
    if (driver == LapackEigenDriver::divide_and_conquer) {
        copy_into(a, eigenvectors);
        run_dsyevd(eigenvectors, eigenvalues);
    } else {
        // Copy before touching the eigenvectors, which may be the input itself.
        copy_into(a, work);
        run_dsyevr(work, n, eigenvalues, eigenvectors);
    }
    rows_to_columns(eigenvectors, n, work);
}

void lapack_lowest_eigenpairs(const AlignedMatrix& a, AlignedMatrix& work, std::size_t count,
                              AlignedVec64& eigenvalues, AlignedMatrix& eigenvectors) {
    check_shapes(a, work, eigenvalues, eigenvectors);
    const std::size_t n = a.rows();
    if (count == 0 || count > n) {
        throw InternalError("Requested " + std::to_string(count) + " eigenpairs of a " +
                            std::to_string(n) + "-orbital matrix");
    }
    copy_into(a, work);
    run_dsyevr(work, count, eigenvalues, eigenvectors);
    rows_to_columns(eigenvectors, count, work);
}

void lapack_diagonalize_hermitian(const AlignedMatrix& a, AlignedVec64& eigenvalues,
                                  AlignedMatrix& eigenvectors) {
    const std::size_t n = a.rows();
    require_complex_shape(a, n, "Hermitian matrix columns");
    require_complex_shape(eigenvectors, n, "Complex eigenvector matrix columns");
    if (eigenvalues.size() != n)
        throw InternalError(size_mismatch("Eigenvalue vector", eigenvalues.size(), n));
    // zheevd's real workspace holds 1 + 5n + 2n² values, counted in a 32-bit integer.
    if (n > 30000)
        throw InternalError("Basis of " + std::to_string(n) + " orbitals exceeds LAPACK's range");
    if (n == 0)
        return;
    copy_into(a, eigenvectors);
    run_zheevd(eigenvectors, eigenvalues);
    conjugate_transpose(eigenvectors);
}

} // namespace quelm
