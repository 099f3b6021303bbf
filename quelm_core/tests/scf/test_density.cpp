#include "fixtures.hpp"
#include "scf/density.hpp"
#include "scf/eigensolver.hpp"
#include "scf/matrix_product.hpp"
#include "types/internal_error.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace quelm {
namespace {

AlignedMatrix random_symmetric(std::size_t n, unsigned seed) {
    std::mt19937 generator(seed);
    return fixtures::random_symmetric_matrix(n, generator);
}

TEST(DensityMatrix, OfARotatedTwoOrbitalBasisMatchesTheClosedForm) {
    const double angle = 0.3;
    const double c = std::cos(angle), s = std::sin(angle);
    AlignedMatrix mo(2, 2);
    mo(0, 0) = c;
    mo(1, 0) = s;
    mo(0, 1) = -s;
    mo(1, 1) = c;
    AlignedMatrix density(2, 2);
    // One doubly occupied orbital (c, s): P = 2 (c, s)ᵀ(c, s).
    compute_density_matrix(mo, 1, density);
    EXPECT_NEAR(density(0, 0), 2.0 * c * c, 1e-15);
    EXPECT_NEAR(density(1, 1), 2.0 * s * s, 1e-15);
    EXPECT_NEAR(density(0, 1), 2.0 * c * s, 1e-15);
    EXPECT_EQ(density(1, 0), density(0, 1));
    // Both orbitals filled: P = 2 C Cᵀ = 2 I.
    compute_density_matrix(mo, 2, density);
    EXPECT_NEAR(density(0, 0), 2.0, 1e-15);
    EXPECT_NEAR(density(1, 1), 2.0, 1e-15);
    EXPECT_NEAR(density(0, 1), 0.0, 1e-15);
    // No electrons: zero everywhere, whatever the matrix held before.
    density.fill(7.0);
    compute_density_matrix(mo, 0, density);
    for (double x : {density(0, 0), density(0, 1), density(1, 0), density(1, 1)})
        EXPECT_EQ(x, 0.0);
}

TEST(DensityMatrix, FromOrthonormalOrbitalsIsSymmetricIdempotentAndCountsElectrons) {
    const std::size_t n = 10;
    const AlignedMatrix h = random_symmetric(n, 5);
    AlignedVec64 energies(n);
    AlignedMatrix mo(n, n);
    diagonalize_symmetric(h, energies, mo);
    AlignedMatrix density(n, n), square(n, n);
    for (std::size_t n_occupied : {std::size_t{1}, std::size_t{4}, n}) {
        SCOPED_TRACE(n_occupied);
        compute_density_matrix(mo, n_occupied, density);
        double trace = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            trace += density(i, i);
            for (std::size_t j = 0; j < n; ++j)
                EXPECT_EQ(density(i, j), density(j, i));
        }
        EXPECT_NEAR(trace, 2.0 * static_cast<double>(n_occupied), 1e-12);
        // A doubly occupied projector: P·P = 2P.
        multiply_matrices(density, density, square);
        for (std::size_t i = 0; i < n * n; ++i)
            EXPECT_NEAR(square.data()[i], 2.0 * density.data()[i], 1e-12);
    }
}

TEST(DensityMatrix, RejectsTooManyOccupiedOrbitalsAndMismatchedShapes) {
    AlignedMatrix mo(3, 3), density(3, 3), small(2, 2), rectangle(3, 2);
    try {
        compute_density_matrix(mo, 4, density);
        FAIL() << "expected InternalError";
    } catch (const InternalError& e) {
        EXPECT_STREQ(e.what(), "Number of occupied orbitals cannot exceed basis size");
    }
    EXPECT_THROW(compute_density_matrix(mo, 1, small), InternalError);
    EXPECT_THROW(compute_density_matrix(rectangle, 1, density), InternalError);
}

TEST(ElectronicEnergy, HalvesTheTraceOfPTimesHPlusF) {
    AlignedMatrix h(2, 2), f(2, 2), p(2, 2);
    h(0, 0) = -10.0;
    h(0, 1) = h(1, 0) = 1.0;
    h(1, 1) = -5.0;
    f(0, 0) = -8.0;
    f(0, 1) = f(1, 0) = 0.5;
    f(1, 1) = -4.0;
    // ½ [1·(−18) + 2·1·1.5 + 1·(−9)] = −12.
    p.fill(1.0);
    EXPECT_DOUBLE_EQ(compute_electronic_energy(p, h, f), -12.0);

    AlignedMatrix empty;
    EXPECT_EQ(compute_electronic_energy(empty, empty, empty), 0.0);
    EXPECT_THROW(compute_electronic_energy(p, h, empty), InternalError);
    EXPECT_THROW(compute_electronic_energy(p, empty, f), InternalError);
}

TEST(ElectronicEnergy, WithoutTwoElectronTermsIsTwiceTheOccupiedOrbitalEnergies) {
    // F = H: E = Σ P H = 2 Σ_occ ε_k.
    const std::size_t n = 8, n_occupied = 3;
    const AlignedMatrix h = random_symmetric(n, 9);
    AlignedVec64 energies(n);
    AlignedMatrix mo(n, n), density(n, n);
    diagonalize_symmetric(h, energies, mo);
    compute_density_matrix(mo, n_occupied, density);
    double expected = 0.0;
    for (std::size_t k = 0; k < n_occupied; ++k)
        expected += 2.0 * energies[k];
    EXPECT_NEAR(compute_electronic_energy(density, h, h), expected, 1e-12);
}

} // namespace
} // namespace quelm
