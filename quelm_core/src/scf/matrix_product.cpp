// Dense matrix product c = a · b.
//
// Below the dense kernel threshold: the engine's own loop in i-k-j order, where row i of c
// accumulates a(i, k) times row k of b, so the innermost loop streams two contiguous rows
// and vectorises. From the threshold on: BLAS dgemm, whose cache blocking and threads win as
// soon as the matrices outgrow the first-level cache.

#include "scf/matrix_product.hpp"

#include "scf/dense_kernel_threshold.hpp"
#include "types/internal_error.hpp"

#include <algorithm>
#include <cblas.h>
#include <climits>
#include <cstddef>

namespace quelm {

namespace {

void multiply_by_rows(const AlignedMatrix& a, const AlignedMatrix& b, AlignedMatrix& c) {
    const std::size_t inner = a.cols();
    const std::size_t cols = b.cols();
    for (std::size_t i = 0; i < a.rows(); ++i) {
        const double* a_row = a.row(i);
        double* c_row = c.row(i);
        for (std::size_t j = 0; j < cols; ++j)
            c_row[j] = 0.0;
        for (std::size_t k = 0; k < inner; ++k) {
            const double a_ik = a_row[k];
            const double* b_row = b.row(k);
            for (std::size_t j = 0; j < cols; ++j)
                c_row[j] += a_ik * b_row[j];
        }
    }
}

void multiply_with_blas(const AlignedMatrix& a, const AlignedMatrix& b, AlignedMatrix& c) {
    if (std::max({a.rows(), a.cols(), b.cols()}) > static_cast<std::size_t>(INT_MAX))
        throw InternalError("Matrix product dimensions exceed BLAS's 32-bit range");
    const int rows = static_cast<int>(a.rows());
    const int inner = static_cast<int>(a.cols());
    const int cols = static_cast<int>(b.cols());
    if (rows == 0 || cols == 0)
        return;
    if (inner == 0) {
        c.fill(0.0);
        return;
    }
    scipy_cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, rows, cols, inner, 1.0, a.data(),
                      inner, b.data(), cols, 0.0, c.data(), cols);
}

} // namespace

void multiply_matrices(const AlignedMatrix& a, const AlignedMatrix& b, AlignedMatrix& c) {
    if (b.rows() != a.cols())
        throw InternalError(size_mismatch("Matrix product inner dimension", b.rows(), a.cols()));
    if (c.rows() != a.rows())
        throw InternalError(size_mismatch("Matrix product result rows", c.rows(), a.rows()));
    if (c.cols() != b.cols())
        throw InternalError(size_mismatch("Matrix product result columns", c.cols(), b.cols()));
    // Row i of c is overwritten while row i of a (or rows of b) are still needed.
    if (c.size() != 0 && (c.data() == a.data() || c.data() == b.data()))
        throw InternalError("Matrix product result must not share storage with an operand");

    if (use_dense_library(std::max({a.rows(), a.cols(), b.cols()})))
        multiply_with_blas(a, b, c);
    else
        multiply_by_rows(a, b, c);
}

} // namespace quelm
