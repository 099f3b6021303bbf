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

// Basis size from which BLAS and LAPACK may use more than the calling thread. Below it a
// product or a diagonalisation takes tens of microseconds, about what handing work to a
// second thread and waiting for it costs; on a busy machine the wait for a descheduled
// helper thread costs milliseconds (a 33-atom single point ran ten times slower on two
// threads than on one).
inline constexpr std::size_t blas_threading_threshold = 256;

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

// Runs BLAS and LAPACK single-threaded while it lives, for a problem of `n_orbitals` below
// blas_threading_threshold (otherwise it changes nothing); restores the library's previous
// thread count when destroyed. Not for concurrent use from several threads.
class ScopedBlasThreadsForBasis {
  public:
    explicit ScopedBlasThreadsForBasis(std::size_t n_orbitals);
    ~ScopedBlasThreadsForBasis();
    ScopedBlasThreadsForBasis(const ScopedBlasThreadsForBasis&) = delete;
    ScopedBlasThreadsForBasis& operator=(const ScopedBlasThreadsForBasis&) = delete;

  private:
    int previous_ = 0;
    bool changed_ = false;
};

} // namespace quelm
