#include "scf/matrix_product.hpp"
#include "types/internal_error.hpp"

#include <gtest/gtest.h>
#include <random>

namespace quelm {
namespace {

AlignedMatrix random_matrix(std::size_t rows, std::size_t cols, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> uniform(-2.0, 2.0);
    AlignedMatrix m(rows, cols);
    for (std::size_t i = 0; i < m.size(); ++i)
        m.data()[i] = uniform(generator);
    return m;
}

TEST(MatrixProduct, MultipliesAHandExample) {
    AlignedMatrix a(2, 3), b(3, 2), c(2, 2);
    const double a_values[] = {1, 2, 3, 4, 5, 6};
    const double b_values[] = {7, 8, 9, 10, 11, 12};
    for (std::size_t i = 0; i < 6; ++i) {
        a.data()[i] = a_values[i];
        b.data()[i] = b_values[i];
    }
    c.fill(99.0); // overwritten, not accumulated into
    multiply_matrices(a, b, c);
    EXPECT_EQ(c(0, 0), 58.0);
    EXPECT_EQ(c(0, 1), 64.0);
    EXPECT_EQ(c(1, 0), 139.0);
    EXPECT_EQ(c(1, 1), 154.0);
}

TEST(MatrixProduct, AgreesWithTheDotProductDefinitionOnRectangularMatrices) {
    const AlignedMatrix a = random_matrix(7, 5, 1);
    const AlignedMatrix b = random_matrix(5, 9, 2);
    AlignedMatrix c(7, 9);
    multiply_matrices(a, b, c);
    for (std::size_t i = 0; i < 7; ++i) {
        for (std::size_t j = 0; j < 9; ++j) {
            double dot = 0.0;
            for (std::size_t k = 0; k < 5; ++k)
                dot += a(i, k) * b(k, j);
            EXPECT_NEAR(c(i, j), dot, 1e-13);
        }
    }
}

TEST(MatrixProduct, RejectsMismatchedShapesAndAliasedOutput) {
    AlignedMatrix a(2, 3), b(3, 2), c(2, 2), square(3, 3);
    EXPECT_THROW(multiply_matrices(a, a, c), InternalError);                // 3 ≠ 2 inner
    EXPECT_THROW(multiply_matrices(a, b, square), InternalError);           // 3 x 3 result
    EXPECT_THROW(multiply_matrices(a, square, c), InternalError);           // 2 x 3 result
    EXPECT_THROW(multiply_matrices(square, square, square), InternalError); // aliasing
}

} // namespace
} // namespace quelm
