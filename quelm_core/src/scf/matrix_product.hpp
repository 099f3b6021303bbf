#pragma once
// The engine's one dense matrix-product entry point, so a faster kernel (BLAS) can
// replace it in one place.

#include "types/aligned_storage.hpp"

namespace quelm {

// c = a · b for row-major matrices of matching shapes (c is overwritten).
void multiply_matrices(const AlignedMatrix& a, const AlignedMatrix& b, AlignedMatrix& c);

} // namespace quelm
