#include "fixtures.hpp"
#include "scf/lapack_eigensolver.hpp"
#include "types/internal_error.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace quelm {
namespace {

AlignedMatrix random_symmetric(std::size_t n, unsigned seed) {
    std::mt19937 generator(seed);
    return fixtures::random_symmetric_matrix(n, generator);
}

// Largest |VᵀV − I| over the first `count` columns.
double orthonormality_error(const AlignedMatrix& v, std::size_t count) {
    double worst = 0.0;
    for (std::size_t k = 0; k < count; ++k) {
        for (std::size_t l = 0; l < count; ++l) {
            double dot = 0.0;
            for (std::size_t i = 0; i < v.rows(); ++i)
                dot += v(i, k) * v(i, l);
            worst = std::max(worst, std::abs(dot - (k == l ? 1.0 : 0.0)));
        }
    }
    return worst;
}

// A = Q·diag(d)·Qᵀ with the Householder reflection Q = I − 2uuᵀ/(uᵀu): a known spectrum
// with repeated values. Column k of Q is the eigenvector of d[k].
struct KnownSpectrum {
    AlignedMatrix a;
    AlignedMatrix q;
    std::vector<double> d;
};

KnownSpectrum known_spectrum(std::size_t n) {
    KnownSpectrum s{AlignedMatrix(n, n), AlignedMatrix(n, n), std::vector<double>(n)};
    std::vector<double> u(n);
    double uu = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        s.d[i] = static_cast<double>(i % 7) - 3.0 + (i == n - 1 ? 10.0 : 0.0); // 7 levels + 1
        u[i] = std::sin(1.3 * static_cast<double>(i) + 0.4);
        uu += u[i] * u[i];
    }
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j)
            s.q(i, j) = (i == j ? 1.0 : 0.0) - 2.0 * u[i] * u[j] / uu;
    }
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            for (std::size_t k = 0; k < n; ++k)
                s.a(i, j) += s.q(i, k) * s.d[k] * s.q(j, k);
        }
    }
    return s;
}

TEST(LapackEigensolver, BothDriversSatisfyTheEigenEquationsOnARandomMatrix) {
    const std::size_t n = 90;
    const AlignedMatrix a = random_symmetric(n, 21);
    for (const LapackEigenDriver driver :
         {LapackEigenDriver::mrrr, LapackEigenDriver::divide_and_conquer}) {
        SCOPED_TRACE(driver == LapackEigenDriver::mrrr ? "MRRR" : "divide and conquer");
        AlignedMatrix work(n, n), vectors(n, n);
        AlignedVec64 values(n);
        lapack_diagonalize_symmetric(a, work, values, vectors, driver);
        EXPECT_LT(fixtures::eigenpair_residual(a, values, vectors, n), 1e-12);
        // MRRR keeps orthogonality to O(n·ε), not quite as tight as a rotation method.
        EXPECT_LT(orthonormality_error(vectors, n), 1e-12);
        double trace = 0.0, sum = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            trace += a(i, i);
            sum += values[i];
            if (i > 0) {
                EXPECT_LE(values[i - 1], values[i]);
            }
        }
        EXPECT_NEAR(sum, trace, 1e-11);
    }
}

TEST(LapackEigensolver, RecoversAKnownDegenerateSpectrumAndItsLoneVector) {
    const std::size_t n = 70;
    const KnownSpectrum s = known_spectrum(n);
    std::vector<double> expected = s.d;
    std::sort(expected.begin(), expected.end());
    AlignedMatrix work(n, n), vectors(n, n);
    AlignedVec64 values(n);
    lapack_diagonalize_symmetric(s.a, work, values, vectors);
    for (std::size_t k = 0; k < n; ++k)
        EXPECT_NEAR(values[k], expected[k], 1e-12) << k;
    EXPECT_LT(orthonormality_error(vectors, n), 1e-12);
    // The largest value (d = 13 at index n − 1) is simple: its vector is column n − 1 of Q.
    double overlap = 0.0;
    for (std::size_t i = 0; i < n; ++i)
        overlap += vectors(i, n - 1) * s.q(i, n - 1);
    EXPECT_NEAR(std::abs(overlap), 1.0, 1e-12);
}

TEST(LapackEigensolver, LowestPairsAgreeWithTheFullSpectrum) {
    const std::size_t n = 80;
    const AlignedMatrix a = random_symmetric(n, 5);
    AlignedMatrix work(n, n), vectors(n, n);
    AlignedVec64 values(n);
    lapack_diagonalize_symmetric(a, work, values, vectors);
    for (const std::size_t count : {std::size_t{1}, std::size_t{41}, n}) {
        SCOPED_TRACE(count);
        AlignedMatrix lowest_vectors(n, n);
        lowest_vectors.fill(1e300);
        AlignedVec64 lowest_values(n);
        lapack_lowest_eigenpairs(a, work, count, lowest_values, lowest_vectors);
        for (std::size_t k = 0; k < count; ++k) {
            EXPECT_NEAR(lowest_values[k], values[k], 1e-12) << k;
            // The random spectrum has no degeneracy: each vector is fixed up to its sign.
            double overlap = 0.0;
            for (std::size_t i = 0; i < n; ++i)
                overlap += lowest_vectors(i, k) * vectors(i, k);
            EXPECT_NEAR(std::abs(overlap), 1.0, 1e-10) << k;
        }
        EXPECT_LT(fixtures::eigenpair_residual(a, lowest_values, lowest_vectors, count), 1e-12);
        EXPECT_LT(orthonormality_error(lowest_vectors, count), 1e-12);
    }
}

TEST(LapackEigensolver, WorkContentsDoNotMatterAndTheInputMayBeOverwritten) {
    const std::size_t n = 66;
    const AlignedMatrix a = random_symmetric(n, 9);
    const AlignedMatrix original = a;
    AlignedMatrix work(n, n), reference_vectors(n, n);
    AlignedVec64 reference_values(n);
    lapack_diagonalize_symmetric(a, work, reference_values, reference_vectors);
    for (std::size_t i = 0; i < n * n; ++i)
        ASSERT_EQ(a.data()[i], original.data()[i]); // the input is left alone

    for (const LapackEigenDriver driver :
         {LapackEigenDriver::mrrr, LapackEigenDriver::divide_and_conquer}) {
        AlignedMatrix garbage(n, n);
        garbage.fill(1e300);
        AlignedMatrix in_place = a;
        AlignedVec64 values(n);
        lapack_diagonalize_symmetric(in_place, garbage, values, in_place, driver);
        EXPECT_LT(fixtures::eigenpair_residual(a, values, in_place, n), 1e-12);
        for (std::size_t k = 0; k < n; ++k)
            EXPECT_NEAR(values[k], reference_values[k], 1e-12);
    }
    // The work matrix may be the input itself (which it then destroys).
    AlignedMatrix consumed = a;
    AlignedMatrix vectors(n, n);
    AlignedVec64 values(n);
    lapack_diagonalize_symmetric(consumed, consumed, values, vectors);
    EXPECT_LT(fixtures::eigenpair_residual(a, values, vectors, n), 1e-12);
}

// A random Hermitian n x n matrix (n x 2n doubles, (re, im) adjacent) with `copies` exactly
// degenerate copies of each level: the matrix is block diagonal in `copies` equal blocks, as
// the π bands of a linear chain are.
AlignedMatrix random_hermitian(std::size_t block, std::size_t copies, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    const std::size_t n = block * copies;
    AlignedMatrix a(n, 2 * n);
    for (std::size_t i = 0; i < block; ++i) {
        for (std::size_t j = i; j < block; ++j) {
            const double re = uniform(generator);
            const double im = i == j ? 0.0 : uniform(generator);
            for (std::size_t c = 0; c < copies; ++c) {
                const std::size_t r = c * block + i, s = c * block + j;
                a(r, 2 * s) = re;
                a(r, 2 * s + 1) = im;
                a(s, 2 * r) = re;
                a(s, 2 * r + 1) = -im;
            }
        }
    }
    return a;
}

TEST(LapackEigensolver, HermitianSolverGivesIndependentVectorsForDegenerateLevels) {
    for (const std::size_t copies : {1, 2, 3}) {
        SCOPED_TRACE(copies);
        const std::size_t block = 7;
        const std::size_t n = block * copies;
        const AlignedMatrix a = random_hermitian(block, copies, 5 + static_cast<unsigned>(copies));
        AlignedVec64 values(n);
        AlignedMatrix vectors(n, 2 * n);
        lapack_diagonalize_hermitian(a, values, vectors);

        // A·v = λ·v in complex arithmetic, and V†V = I: degenerate levels come back as
        // independent vectors, never one vector twice.
        double residual = 0.0, orthonormality = 0.0;
        for (std::size_t k = 0; k < n; ++k) {
            for (std::size_t i = 0; i < n; ++i) {
                double re = 0.0, im = 0.0;
                for (std::size_t j = 0; j < n; ++j) {
                    const double ar = a(i, 2 * j), ai = a(i, 2 * j + 1);
                    const double vr = vectors(j, 2 * k), vi = vectors(j, 2 * k + 1);
                    re += ar * vr - ai * vi;
                    im += ar * vi + ai * vr;
                }
                residual = std::max({residual, std::abs(re - values[k] * vectors(i, 2 * k)),
                                     std::abs(im - values[k] * vectors(i, 2 * k + 1))});
            }
            for (std::size_t l = 0; l < n; ++l) {
                double re = 0.0, im = 0.0;
                for (std::size_t i = 0; i < n; ++i) {
                    const double xr = vectors(i, 2 * k), xi = vectors(i, 2 * k + 1);
                    const double yr = vectors(i, 2 * l), yi = vectors(i, 2 * l + 1);
                    re += xr * yr + xi * yi;
                    im += xr * yi - xi * yr;
                }
                orthonormality =
                    std::max({orthonormality, std::abs(re - (k == l ? 1.0 : 0.0)), std::abs(im)});
            }
        }
        EXPECT_LT(residual, 1e-12);
        EXPECT_LT(orthonormality, 1e-12);

        // The spectrum is that of the real form [[R, −I], [I, R]], in which each level
        // occurs twice.
        AlignedMatrix real_form(2 * n, 2 * n), work(2 * n, 2 * n), real_vectors(2 * n, 2 * n);
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < n; ++j) {
                real_form(i, j) = real_form(n + i, n + j) = a(i, 2 * j);
                real_form(n + i, j) = a(i, 2 * j + 1);
                real_form(i, n + j) = -a(i, 2 * j + 1);
            }
        }
        AlignedVec64 real_values(2 * n);
        lapack_diagonalize_symmetric(real_form, work, real_values, real_vectors);
        for (std::size_t k = 0; k < n; ++k) {
            EXPECT_NEAR(values[k], real_values[2 * k], 1e-12);
            EXPECT_NEAR(values[k], real_values[2 * k + 1], 1e-12);
            if (copies > 1 && k % copies != 0) {
                EXPECT_NEAR(values[k], values[k - 1], 1e-12);
            }
        }
    }
}

TEST(LapackEigensolver, ShapeAndCountViolationsAreInternalErrors) {
    AlignedMatrix square(3, 3), work(3, 3), vectors(3, 3), wrong(2, 2), rectangle(3, 2);
    AlignedVec64 values(3), short_values(2);
    AlignedMatrix complex_square(3, 6), complex_vectors(3, 6);
    const std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"rectangular input",
         [&] { lapack_diagonalize_symmetric(rectangle, work, values, vectors); }},
        {"work too small", [&] { lapack_diagonalize_symmetric(square, wrong, values, vectors); }},
        {"eigenvalues too short",
         [&] { lapack_diagonalize_symmetric(square, work, short_values, vectors); }},
        {"eigenvectors too small",
         [&] { lapack_diagonalize_symmetric(square, work, values, wrong); }},
        {"work shared with eigenvectors",
         [&] { lapack_diagonalize_symmetric(square, vectors, values, vectors); }},
        {"no pairs requested", [&] { lapack_lowest_eigenpairs(square, work, 0, values, vectors); }},
        {"more pairs than orbitals",
         [&] { lapack_lowest_eigenpairs(square, work, 4, values, vectors); }},
        {"Hermitian input not n x 2n",
         [&] { lapack_diagonalize_hermitian(square, values, complex_vectors); }},
        {"complex eigenvectors not n x 2n",
         [&] { lapack_diagonalize_hermitian(complex_square, values, vectors); }},
        {"Hermitian eigenvalues too short",
         [&] { lapack_diagonalize_hermitian(complex_square, short_values, complex_vectors); }},
    };
    for (const auto& [name, call] : cases) {
        SCOPED_TRACE(name);
        EXPECT_THROW(call(), InternalError);
    }
    AlignedMatrix empty, empty_work;
    AlignedVec64 no_values;
    EXPECT_NO_THROW(lapack_diagonalize_symmetric(empty, empty_work, no_values, empty));
}

} // namespace
} // namespace quelm
