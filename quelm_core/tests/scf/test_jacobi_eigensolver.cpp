#include "fixtures.hpp"
#include "scf/jacobi_eigensolver.hpp"
#include "scf/lapack_eigensolver.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace quelm {
namespace {

// The Jacobi kernel stays correct past the size where the engine hands over to LAPACK: the
// two independent algorithms agree on the spectrum and on every (simple) eigenvector.
TEST(JacobiEigensolver, AgreesWithLapackAboveTheDenseKernelThreshold) {
    const std::size_t n = 72;
    std::mt19937 generator(17);
    const AlignedMatrix a = fixtures::random_symmetric_matrix(n, generator);
    AlignedMatrix work(n, n), jacobi_vectors(n, n), lapack_vectors(n, n);
    AlignedVec64 jacobi_values(n), lapack_values(n);
    const int tests = jacobi_diagonalize_symmetric(a, work, jacobi_values, jacobi_vectors);
    EXPECT_GT(tests, 1);
    EXPECT_LT(tests, 100);
    lapack_diagonalize_symmetric(a, work, lapack_values, lapack_vectors);
    for (std::size_t k = 0; k < n; ++k) {
        EXPECT_NEAR(jacobi_values[k], lapack_values[k], 1e-12) << k;
        double overlap = 0.0;
        for (std::size_t i = 0; i < n; ++i)
            overlap += jacobi_vectors(i, k) * lapack_vectors(i, k);
        EXPECT_NEAR(std::abs(overlap), 1.0, 1e-10) << k;
    }
}

} // namespace
} // namespace quelm
