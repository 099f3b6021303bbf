#pragma once
// In-place Cholesky factorisation A = L·Lᵀ of a symmetric positive definite matrix.

#include "types/aligned_storage.hpp"

#include <cstddef>

namespace quelm {

struct CholeskyOutcome {
    bool success = true;
    std::size_t failed_column = 0; // on failure: the column whose pivot was ≤ 1e-14
    double pivot = 0.0;            // and the value found there
};

// On success the lower triangle holds L and the strict upper triangle is zero.
// A non-square matrix throws InternalError("Matrix must be square").
CholeskyOutcome cholesky_decompose(AlignedMatrix& a);

} // namespace quelm
