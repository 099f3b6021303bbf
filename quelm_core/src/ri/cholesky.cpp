// In-place Cholesky factorisation A = L·Lᵀ (Cholesky–Banachiewicz, column by column).
//
// Only the lower triangle of A is read. Column i of L needs the already finished columns
// j < i, which sit in rows i and k of the lower triangle, so every inner product runs over
// two contiguous row prefixes. A pivot at or below 1e-14 means the matrix is not (numerically)
// positive definite; the caller decides how to recover, so the failure is returned with the
// column and the pivot value instead of being thrown.

#include "ri/cholesky.hpp"

#include "types/internal_error.hpp"

#include <cmath>

namespace quelm {

namespace {

// Smallest pivot accepted as positive.
constexpr double min_pivot = 1e-14;

double dot_prefix(const double* x, const double* y, std::size_t length) {
    double sum = 0.0;
    for (std::size_t j = 0; j < length; ++j)
        sum += x[j] * y[j];
    return sum;
}

} // namespace

CholeskyOutcome cholesky_decompose(AlignedMatrix& a) {
    if (!a.is_square())
        throw InternalError("Matrix must be square");
    const std::size_t n = a.rows();
    for (std::size_t i = 0; i < n; ++i) {
        double* row_i = a.row(i);
        const double pivot = row_i[i] - dot_prefix(row_i, row_i, i);
        // Written as "not above" so that a NaN pivot fails too instead of spreading NaN.
        if (!(pivot > min_pivot))
            return CholeskyOutcome{false, i, pivot};
        const double diagonal = std::sqrt(pivot);
        row_i[i] = diagonal;
        for (std::size_t k = i + 1; k < n; ++k) {
            double* row_k = a.row(k);
            row_k[i] = (row_k[i] - dot_prefix(row_k, row_i, i)) / diagonal;
        }
        for (std::size_t j = 0; j < i; ++j)
            a(j, i) = 0.0;
    }
    return CholeskyOutcome{};
}

} // namespace quelm
