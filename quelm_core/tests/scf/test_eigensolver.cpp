#include "fixtures.hpp"
#include "scf/dense_kernel_threshold.hpp"
#include "scf/eigensolver.hpp"
#include "types/internal_error.hpp"

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

AlignedMatrix diagonal(const std::vector<double>& values) {
    AlignedMatrix a(values.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i)
        a(i, i) = values[i];
    return a;
}

double orthonormality_error(const AlignedMatrix& v) {
    const std::size_t n = v.rows();
    double worst = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        for (std::size_t l = 0; l < n; ++l) {
            double dot = 0.0;
            for (std::size_t i = 0; i < n; ++i)
                dot += v(i, k) * v(i, l);
            worst = std::max(worst, std::abs(dot - (k == l ? 1.0 : 0.0)));
        }
    }
    return worst;
}

TEST(Eigensolver, DiagonalInputIsSortedWithoutRotationAndVIsAPermutedIdentity) {
    struct Case {
        const char* name;
        std::vector<double> diagonal;
        std::vector<double> sorted;
        // Column k of V is the unit vector along this original index.
        std::vector<std::size_t> source;
    };
    const std::vector<Case> cases = {
        {"single element", {-4.2}, {-4.2}, {0}},
        {"distinct values", {3.0, -1.0, 2.0, 0.5}, {-1.0, 0.5, 2.0, 3.0}, {1, 3, 2, 0}},
        // Selection sort swaps the 1 to the front, which carries the second 2 ahead of the
        // first: the tie ends in reversed column order.
        {"tie [2, 2, 1]", {2.0, 2.0, 1.0}, {1.0, 2.0, 2.0}, {2, 1, 0}},
        {"zero matrix", {0.0, 0.0}, {0.0, 0.0}, {0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t n = c.diagonal.size();
        const AlignedMatrix a = diagonal(c.diagonal);
        AlignedVec64 values(n);
        AlignedMatrix vectors(n, n);
        EXPECT_EQ(diagonalize_symmetric(a, values, vectors), 1);
        for (std::size_t k = 0; k < n; ++k) {
            EXPECT_EQ(values[k], c.sorted[k]);
            for (std::size_t i = 0; i < n; ++i)
                EXPECT_EQ(vectors(i, k), i == c.source[k] ? 1.0 : 0.0)
                    << "V(" << i << ", " << k << ")";
        }
    }
}

TEST(Eigensolver, TwoByTwoGivesOneAndThreeAlongTheDiagonals) {
    AlignedMatrix a(2, 2);
    a(0, 0) = 2.0;
    a(0, 1) = 1.0;
    a(1, 0) = 1.0;
    a(1, 1) = 2.0;
    AlignedVec64 values(2);
    AlignedMatrix vectors(2, 2);
    // One rotation annihilates the coupling; the second test finds the matrix diagonal.
    EXPECT_EQ(diagonalize_symmetric(a, values, vectors), 2);
    EXPECT_NEAR(values[0], 1.0, 1e-15);
    EXPECT_NEAR(values[1], 3.0, 1e-15);
    const double half_root = 1.0 / std::sqrt(2.0);
    // λ = 1 along (1, −1)/√2 and λ = 3 along (1, 1)/√2, each up to an overall sign.
    EXPECT_NEAR(std::abs(vectors(0, 0)), half_root, 1e-15);
    EXPECT_NEAR(vectors(1, 0), -vectors(0, 0), 1e-15);
    EXPECT_NEAR(std::abs(vectors(0, 1)), half_root, 1e-15);
    EXPECT_NEAR(vectors(1, 1), vectors(0, 1), 1e-15);
    EXPECT_EQ(a(0, 1), 1.0); // the input is left alone
}

TEST(Eigensolver, RandomSymmetricMatrixSatisfiesTheEigenEquations) {
    // Below the dense kernel threshold the Jacobi kernel counts its convergence tests; from
    // it on LAPACK reports one.
    for (const std::size_t n : {default_dense_kernel_threshold - 4, std::size_t{40}}) {
        SCOPED_TRACE(n);
        const AlignedMatrix a = random_symmetric(n, 7);
        const AlignedMatrix original = a;
        AlignedVec64 values(n);
        AlignedMatrix vectors(n, n);
        const int tests = diagonalize_symmetric(a, values, vectors);
        if (use_dense_library(n)) {
            EXPECT_EQ(tests, 1);
        } else {
            EXPECT_GT(tests, 1);
            EXPECT_LT(tests, 100);
        }

        EXPECT_LT(fixtures::eigenpair_residual(a, values, vectors, n), 1e-12);
        EXPECT_LT(orthonormality_error(vectors), 1e-13);
        // Trace and Frobenius norm are invariant under the orthogonal similarity.
        double trace = 0.0, norm_squared = 0.0, sum = 0.0, sum_squares = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            trace += a(i, i);
            for (std::size_t j = 0; j < n; ++j)
                norm_squared += a(i, j) * a(i, j);
            sum += values[i];
            sum_squares += values[i] * values[i];
            if (i > 0) {
                EXPECT_LE(values[i - 1], values[i]);
            }
        }
        EXPECT_NEAR(sum, trace, 1e-12);
        EXPECT_NEAR(sum_squares, norm_squared, 1e-11);
        for (std::size_t i = 0; i < n * n; ++i)
            ASSERT_EQ(a.data()[i], original.data()[i]);
    }
}

TEST(Eigensolver, RecoversAKnownSpectrumWithDegeneracies) {
    // A = Q diag(d) Qᵀ with the Householder reflection Q = I − 2uuᵀ/(uᵀu).
    const std::vector<double> d = {1.0, -3.0, 7.0, 1.0, 10.0, -3.0, 0.5, 1.0};
    const std::vector<double> u = {1.0, -2.0, 0.5, 3.0, -1.0, 2.5, 0.25, -0.75};
    const std::size_t n = d.size();
    double uu = 0.0;
    for (double x : u)
        uu += x * x;
    AlignedMatrix q(n, n), a(n, n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j)
            q(i, j) = (i == j ? 1.0 : 0.0) - 2.0 * u[i] * u[j] / uu;
    }
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            for (std::size_t k = 0; k < n; ++k)
                a(i, j) += q(i, k) * d[k] * q(j, k);
        }
    }
    AlignedVec64 values(n);
    AlignedMatrix vectors(n, n);
    diagonalize_symmetric(a, values, vectors);
    const std::vector<double> expected = {-3.0, -3.0, 0.5, 1.0, 1.0, 1.0, 7.0, 10.0};
    for (std::size_t k = 0; k < n; ++k)
        EXPECT_NEAR(values[k], expected[k], 1e-13) << k;
    EXPECT_LT(orthonormality_error(vectors), 1e-13);
    // The non-degenerate λ = 7 belongs to column 2 of Q (up to sign).
    double overlap = 0.0;
    for (std::size_t i = 0; i < n; ++i)
        overlap += vectors(i, 6) * q(i, 2);
    EXPECT_NEAR(std::abs(overlap), 1.0, 1e-13);

    // The all-ones matrix: λ = 0 five times, λ = 6 along (1, …, 1)/√6.
    AlignedMatrix ones(6, 6);
    ones.fill(1.0);
    AlignedVec64 ones_values(6);
    AlignedMatrix ones_vectors(6, 6);
    diagonalize_symmetric(ones, ones_values, ones_vectors);
    for (std::size_t k = 0; k < 5; ++k)
        EXPECT_NEAR(ones_values[k], 0.0, 1e-14);
    EXPECT_NEAR(ones_values[5], 6.0, 1e-14);
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_NEAR(std::abs(ones_vectors(i, 5)), 1.0 / std::sqrt(6.0), 1e-14);
    EXPECT_LT(orthonormality_error(ones_vectors), 1e-14);
}

TEST(Eigensolver, WorkMatrixContentsDoNotMatterAndEigenvectorsMayOverwriteTheInput) {
    const std::size_t n = 12;
    const AlignedMatrix a = random_symmetric(n, 3);
    AlignedVec64 reference_values(n);
    AlignedMatrix reference_vectors(n, n);
    diagonalize_symmetric(a, reference_values, reference_vectors);

    AlignedMatrix work(n, n);
    work.fill(1e300);
    AlignedMatrix in_place = a;
    AlignedVec64 values(n);
    diagonalize_symmetric_with_work(in_place, work, values, in_place);
    for (std::size_t k = 0; k < n; ++k)
        EXPECT_EQ(values[k], reference_values[k]);
    for (std::size_t i = 0; i < n * n; ++i)
        EXPECT_EQ(in_place.data()[i], reference_vectors.data()[i]);
}

TEST(Eigensolver, ShapeViolationsAreInternalErrors) {
    AlignedMatrix square(3, 3), work(3, 3), vectors(3, 3), wrong(2, 2), rectangle(3, 2);
    AlignedVec64 values(3), short_values(2);
    const std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"rectangular input", [&] { diagonalize_symmetric(rectangle, values, vectors); }},
        {"rectangular input with work",
         [&] { diagonalize_symmetric_with_work(rectangle, work, values, vectors); }},
        {"work too small",
         [&] { diagonalize_symmetric_with_work(square, wrong, values, vectors); }},
        {"eigenvalues too short",
         [&] { diagonalize_symmetric_with_work(square, work, short_values, vectors); }},
        {"eigenvectors too small",
         [&] { diagonalize_symmetric_with_work(square, work, values, wrong); }},
        {"work shared with eigenvectors",
         [&] { diagonalize_symmetric_with_work(square, vectors, values, vectors); }},
    };
    for (const auto& [name, call] : cases) {
        SCOPED_TRACE(name);
        EXPECT_THROW(call(), InternalError);
    }
}

TEST(Eigensolver, EmptyMatrixIsAccepted) {
    AlignedMatrix empty;
    AlignedVec64 values;
    AlignedMatrix vectors;
    EXPECT_EQ(diagonalize_symmetric(empty, values, vectors), 1);
}

} // namespace
} // namespace quelm
