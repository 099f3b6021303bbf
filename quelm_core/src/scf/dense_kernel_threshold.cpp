// The switch between the engine's own dense loops and LAPACK/BLAS. Per thread, so that a
// test comparing the two paths cannot change what another thread computes.

#include "scf/dense_kernel_threshold.hpp"

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

} // namespace quelm
