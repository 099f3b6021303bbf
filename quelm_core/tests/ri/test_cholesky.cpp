#include "ri/cholesky.hpp"
#include "types/internal_error.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <vector>

namespace quelm {
namespace {

AlignedMatrix from_rows(const std::vector<std::vector<double>>& rows) {
    AlignedMatrix m(rows.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        for (std::size_t j = 0; j < rows.size(); ++j)
            m(i, j) = rows[i][j];
    }
    return m;
}

TEST(Cholesky, FactorsTheWorkedExample) {
    AlignedMatrix a = from_rows({{4.0, 2.0}, {2.0, 3.0}});
    EXPECT_TRUE(cholesky_decompose(a).success);
    EXPECT_DOUBLE_EQ(a(0, 0), 2.0);
    EXPECT_EQ(a(0, 1), 0.0);
    EXPECT_DOUBLE_EQ(a(1, 0), 1.0);
    EXPECT_DOUBLE_EQ(a(1, 1), std::sqrt(2.0));
}

TEST(Cholesky, ReportsTheFirstNonPositivePivot) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        std::vector<std::vector<double>> matrix;
        std::size_t column;
        double pivot; // NaN: the pivot must be NaN
    };
    const std::vector<Case> cases = {
        {"indefinite", {{1.0, 2.0}, {2.0, 1.0}}, 1, -3.0},
        {"zero leading entry", {{0.0, 0.0}, {0.0, 1.0}}, 0, 0.0},
        {"singular", {{1.0, 1.0}, {1.0, 1.0}}, 1, 0.0},
        {"below threshold", {{1e-15, 0.0}, {0.0, 1.0}}, 0, 1e-15},
        {"negative third pivot", {{4.0, 2.0, 0.0}, {2.0, 2.0, 1.0}, {0.0, 1.0, 0.5}}, 2, -0.5},
        {"not a number", {{nan, 0.0}, {0.0, 1.0}}, 0, nan},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AlignedMatrix a = from_rows(c.matrix);
        const CholeskyOutcome outcome = cholesky_decompose(a);
        EXPECT_FALSE(outcome.success);
        EXPECT_EQ(outcome.failed_column, c.column);
        if (std::isnan(c.pivot)) {
            EXPECT_TRUE(std::isnan(outcome.pivot));
        } else {
            EXPECT_NEAR(outcome.pivot, c.pivot, 1e-15);
        }
    }
}

TEST(Cholesky, ReconstructsARandomPositiveDefiniteMatrix) {
    // A = M Mᵀ + n I is symmetric positive definite.
    const std::size_t n = 20;
    std::mt19937 generator(11);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    AlignedMatrix m(n, n), a(n, n);
    for (std::size_t i = 0; i < n * n; ++i)
        m.data()[i] = uniform(generator);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            for (std::size_t k = 0; k < n; ++k)
                a(i, j) += m(i, k) * m(j, k);
        }
        a(i, i) += static_cast<double>(n);
    }
    AlignedMatrix l = a;
    ASSERT_TRUE(cholesky_decompose(l).success);
    for (std::size_t i = 0; i < n; ++i) {
        EXPECT_GT(l(i, i), 0.0);
        for (std::size_t j = 0; j < n; ++j) {
            if (j > i) {
                EXPECT_EQ(l(i, j), 0.0);
            }
            double llt = 0.0;
            for (std::size_t k = 0; k < n; ++k)
                llt += l(i, k) * l(j, k);
            EXPECT_NEAR(llt, a(i, j), 1e-12 * n);
        }
    }
}

TEST(Cholesky, EmptySucceedsAndNonSquareIsAnInternalError) {
    AlignedMatrix empty;
    EXPECT_TRUE(cholesky_decompose(empty).success);
    AlignedMatrix rectangle(2, 3);
    try {
        cholesky_decompose(rectangle);
        FAIL() << "expected InternalError";
    } catch (const InternalError& e) {
        EXPECT_STREQ(e.what(), "Matrix must be square");
    }
}

} // namespace
} // namespace quelm
