// Dense matrix product c = a · b in i-k-j order: row i of c accumulates a(i, k) times row k
// of b, so the innermost loop streams two contiguous rows and vectorises.

#include "scf/matrix_product.hpp"

#include "types/internal_error.hpp"

#include <cstddef>

namespace quelm {

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

} // namespace quelm
