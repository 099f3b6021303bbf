#pragma once
// Where the dense kernels switch from the engine's own loops to LAPACK/BLAS. Below the
// threshold the eigensolver (cyclic Jacobi), the matrix products and the density run
// exactly as they always have, so small molecules give the same numbers bit for bit;
// from the threshold on, LAPACK's divide-and-conquer eigensolver and BLAS take over.

#include <cstddef>

namespace quelm {

// Basis size (orbitals) from which LAPACK/BLAS are used: where dsyevd overtakes the Jacobi
// kernel on two cores (8 to 16 orbitals, bench/dense_kernel_crossover). A Jacobi sweep costs
// several n³ and a dozen are needed, so the gap grows fast: at 32 orbitals Jacobi takes 3.5
// times as long.
inline constexpr std::size_t default_dense_kernel_threshold = 16;

// The threshold in effect on the calling thread.
std::size_t dense_kernel_threshold();

// Whether a problem whose largest dimension is `dimension` runs on LAPACK/BLAS.
bool use_dense_library(std::size_t dimension);

// Replaces the calling thread's threshold while it lives (tests and benchmarks compare
// the two paths with it: 0 forces LAPACK/BLAS, SIZE_MAX the engine's own loops) and
// restores the previous one when destroyed.
class ScopedDenseKernelThreshold {
  public:
    explicit ScopedDenseKernelThreshold(std::size_t threshold);
    ~ScopedDenseKernelThreshold();
    ScopedDenseKernelThreshold(const ScopedDenseKernelThreshold&) = delete;
    ScopedDenseKernelThreshold& operator=(const ScopedDenseKernelThreshold&) = delete;

  private:
    std::size_t previous_;
};

} // namespace quelm
