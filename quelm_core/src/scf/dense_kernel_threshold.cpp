// The switch between the engine's own dense loops and LAPACK/BLAS. Per thread, so that a
// test comparing the two paths cannot change what another thread computes.

#include "scf/dense_kernel_threshold.hpp"

#include <cblas.h>

namespace quelm {

namespace {

thread_local std::size_t threshold_in_effect = default_dense_kernel_threshold;

} // namespace

std::size_t dense_kernel_threshold() {
    return threshold_in_effect;
}

bool use_dense_library(std::size_t dimension) {
    return dimension >= threshold_in_effect;
}

ScopedDenseKernelThreshold::ScopedDenseKernelThreshold(std::size_t threshold)
    : previous_(threshold_in_effect) {
    threshold_in_effect = threshold;
}

ScopedDenseKernelThreshold::~ScopedDenseKernelThreshold() {
    threshold_in_effect = previous_;
}

ScopedBlasThreadsForBasis::ScopedBlasThreadsForBasis(std::size_t n_orbitals) {
    // The library's thread count is process-wide, but this OpenBLAS serves the engine alone
    // (NumPy and SciPy bring their own), and the engine runs one call at a time under the
    // interpreter lock.
    previous_ = scipy_openblas_get_num_threads();
    if (n_orbitals < blas_threading_threshold && previous_ > 1) {
        scipy_openblas_set_num_threads(1);
        changed_ = true;
    }
}

ScopedBlasThreadsForBasis::~ScopedBlasThreadsForBasis() {
    if (changed_)
        scipy_openblas_set_num_threads(previous_);
}

} // namespace quelm
