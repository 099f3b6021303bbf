// Measures where LAPACK/BLAS overtake the engine's own dense kernels: the cyclic Jacobi
// eigensolver against dsyevr (MRRR, all pairs and the lowest half) and dsyevd (divide and
// conquer), the i-k-j matrix product against dgemm, and the dot-product density against
// dsyrk, on random symmetric matrices of growing size. The dense kernel threshold
// (scf/dense_kernel_threshold.hpp) is where dsyevd overtakes Jacobi.
//
// Usage: dense_kernel_crossover [MAX_JACOBI_N]

#include "scf/dense_kernel_threshold.hpp"
#include "scf/density.hpp"
#include "scf/eigensolver.hpp"
#include "scf/jacobi_eigensolver.hpp"
#include "scf/lapack_eigensolver.hpp"
#include "scf/matrix_product.hpp"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

using namespace quelm;
using Clock = std::chrono::steady_clock;

namespace {

AlignedMatrix random_symmetric(std::size_t n, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    AlignedMatrix a(n, n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j <= i; ++j) {
            const double value = uniform(generator);
            a(i, j) = value;
            a(j, i) = value;
        }
    }
    return a;
}

// Best of several repetitions (at least 0.05 s in all), in milliseconds.
template <typename F> double best_ms(F&& work) {
    double best = 1e300;
    double total = 0.0;
    for (int k = 0; k < 50 && (k < 3 || total < 0.05); ++k) {
        const auto start = Clock::now();
        work();
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        best = std::min(best, s);
        total += s;
    }
    return 1e3 * best;
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t max_jacobi = argc > 1 ? std::stoul(argv[1]) : 512;
    const std::size_t sizes[] = {6,  8,  10,  12,  14,  16,  20,  24,   32,  48,
                                 64, 96, 128, 192, 256, 384, 512, 1024, 2048};
    std::printf(
        "| n | Jacobi ms | dsyevr ms | dsyevr lowest n/2+1 ms | dsyevd ms | i-k-j product ms "
        "| dgemm ms | dot density ms | dsyrk density ms "
        "|\n|---|---|---|---|---|---|---|---|---|\n");
    for (const std::size_t n : sizes) {
        const AlignedMatrix a = random_symmetric(n, 11);
        const AlignedMatrix b = random_symmetric(n, 12);
        AlignedMatrix work(n, n), vectors(n, n), product(n, n), density(n, n);
        AlignedVec64 values(n);
        const std::size_t occupied = n / 2;

        std::string jacobi = "-";
        if (n <= max_jacobi) {
            jacobi = std::to_string(
                best_ms([&] { jacobi_diagonalize_symmetric(a, work, values, vectors); }));
        }
        const double mrrr =
            best_ms([&] { lapack_diagonalize_symmetric(a, work, values, vectors); });
        const double lowest =
            best_ms([&] { lapack_lowest_eigenpairs(a, work, occupied + 1, values, vectors); });
        const double divide = best_ms([&] {
            lapack_diagonalize_symmetric(a, work, values, vectors,
                                         LapackEigenDriver::divide_and_conquer);
        });
        double own_product = 0.0, blas_product = 0.0, own_density = 0.0, blas_density = 0.0;
        {
            const ScopedDenseKernelThreshold own(SIZE_MAX);
            own_product = best_ms([&] { multiply_matrices(a, b, product); });
            own_density = best_ms([&] { compute_density_matrix(vectors, occupied, density); });
        }
        {
            const ScopedDenseKernelThreshold library(0);
            blas_product = best_ms([&] { multiply_matrices(a, b, product); });
            blas_density = best_ms([&] { compute_density_matrix(vectors, occupied, density); });
        }
        std::printf("| %zu | %s | %.4f | %.4f | %.4f | %.4f | %.4f | %.4f | %.4f |\n", n,
                    jacobi.c_str(), mrrr, lowest, divide, own_product, blas_product, own_density,
                    blas_density);
        std::fflush(stdout);
    }
}
