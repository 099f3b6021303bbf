#include "pbc/unit_cell.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quelm {
namespace {

constexpr double two_pi = 6.283185307179586;

UnitCell make_cell(std::array<Coordinate, 3> vectors, std::size_t count) {
    Result<UnitCell> cell = UnitCell::from_translation_vectors(vectors, count);
    if (!cell.ok())
        throw std::runtime_error(cell.error());
    return cell.value();
}

TEST(UnitCell, RefusesDegenerateCellsWithTheirMessages) {
    struct Case {
        const char* name;
        std::array<Coordinate, 3> vectors;
        std::size_t count;
        const char* message;
    };
    const Case cases[] = {
        {"zero vector", {{{0, 0, 0}}}, 1, "1D translation vector length is virtually zero"},
        {"collinear",
         {{{1, 0, 0}, {2, 0, 0}}},
         2,
         "2D translation vectors are collinear (area = 0)"},
        {"coplanar",
         {{{1, 0, 0}, {0, 1, 0}, {1, 1, 0}}},
         3,
         "3D translation vectors are coplanar (volume = 0)"},
        {"four vectors",
         {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
         4,
         "Unit cell requires 1, 2, or 3 translation vectors, got 4"},
        {"none", {{{1, 0, 0}}}, 0, "Unit cell requires 1, 2, or 3 translation vectors, got 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result<UnitCell> cell = UnitCell::from_translation_vectors(c.vectors, c.count);
        ASSERT_FALSE(cell.ok());
        EXPECT_EQ(cell.error(), c.message);
    }
}

TEST(UnitCell, ReciprocalVectorsAreDualToTheTranslations) {
    const UnitCell chain = make_cell({{{3, 0, 0}}}, 1);
    EXPECT_NEAR(chain.reciprocal[0][0], two_pi / 3.0, 1e-14);
    EXPECT_EQ(chain.reciprocal[0][1], 0.0);
    EXPECT_DOUBLE_EQ(chain.measure, 3.0);

    // b_i · t_j = 2π δ_ij within the periodic directions, for a skew 2D cell, a skew 3D cell
    // and a left-handed 3D cell (negative triple product).
    const struct {
        const char* name;
        UnitCell cell;
        double measure;
    } cases[] = {
        {"2D skew", make_cell({{{2.5, 0, 0}, {1.25, 2.165, 0.3}}}, 2),
         std::sqrt(2.5 * 2.5 * (2.165 * 2.165 + 0.3 * 0.3))},
        {"3D skew", make_cell({{{4, 0, 0}, {1, 3, 0}, {0.5, 0.7, 5}}}, 3), 60.0},
        {"3D left-handed", make_cell({{{4, 0, 0}, {0, 0, 5}, {1, 3, 0}}}, 3), 60.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(c.cell.measure, c.measure, 1e-12);
        for (std::size_t i = 0; i < c.cell.dimension; ++i) {
            for (std::size_t j = 0; j < c.cell.dimension; ++j) {
                const Coordinate& b = c.cell.reciprocal[i];
                const Coordinate& t = c.cell.translations[j];
                EXPECT_NEAR(b[0] * t[0] + b[1] * t[1] + b[2] * t[2], i == j ? two_pi : 0.0, 1e-12);
            }
        }
    }
}

std::vector<std::array<std::int32_t, 3>> multiples_of(const std::vector<TranslationIndex>& list) {
    std::vector<std::array<std::int32_t, 3>> multiples;
    for (const TranslationIndex& t : list)
        multiples.push_back(t.multiples);
    return multiples;
}

TEST(UnitCell, TranslationsStartAtTheOriginAndKeepEnumerationOrderForEqualLengths) {
    const UnitCell cubic = make_cell({{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, 3);
    const std::vector<TranslationIndex> list =
        UnitCell::generate_translation_indices(cubic, {3, 1, 3});
    const std::vector<std::array<std::int32_t, 3>> expected = {{0, 0, 0},  {-1, 0, 0}, {0, 0, -1},
                                                               {0, 0, 1},  {1, 0, 0},  {-1, 0, -1},
                                                               {-1, 0, 1}, {1, 0, -1}, {1, 0, 1}};
    EXPECT_EQ(multiples_of(list), expected);
    EXPECT_NEAR(list.back().length, std::sqrt(2.0), 1e-15);
    EXPECT_EQ(list.back().vector, (Coordinate{1, 0, 1}));
}

TEST(UnitCell, EvenSmallAndOutOfDimensionCountsActAsTheOddCountBelow) {
    const UnitCell chain = make_cell({{{2.5, 0, 0}}}, 1);
    const UnitCell sheet = make_cell({{{2.5, 0, 0}, {0, 4, 0}}}, 2);
    struct Case {
        const char* name;
        const UnitCell& cell;
        LatticeCounts mers;
        std::size_t expected;
    };
    const Case cases[] = {
        {"1D 5", chain, {5, 1, 1}, 5},
        {"1D 6 as 5", chain, {6, 1, 1}, 5},
        {"1D 0 as 1", chain, {0, 1, 1}, 1},
        {"1D -3 as 1", chain, {-3, 1, 1}, 1},
        {"1D ignores 2, 3", chain, {3, 7, 9}, 3},
        {"2D 3x4 as 3x3", sheet, {3, 4, 5}, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto list = UnitCell::generate_translation_indices(c.cell, c.mers);
        ASSERT_EQ(list.size(), c.expected);
        EXPECT_EQ(list.front().multiples, (std::array<std::int32_t, 3>{0, 0, 0}));
    }
}

TEST(UnitCell, MonkhorstPackGridIsSymmetricWithEqualWeights) {
    const UnitCell cubic = make_cell({{{3, 0, 0}, {0, 4, 0}, {0, 0, 5}}}, 3);
    const std::vector<KPoint> grid = UnitCell::generate_monkhorst_pack_grid(cubic, {2, 3, 1});
    ASSERT_EQ(grid.size(), 6u);
    const double expected_f1[] = {-0.25, -0.25, -0.25, 0.25, 0.25, 0.25};
    const double expected_f2[] = {-1.0 / 3, 0.0, 1.0 / 3, -1.0 / 3, 0.0, 1.0 / 3};
    for (std::size_t p = 0; p < grid.size(); ++p) {
        SCOPED_TRACE(p);
        EXPECT_NEAR(grid[p].fractional[0], expected_f1[p], 1e-15);
        EXPECT_NEAR(grid[p].fractional[1], expected_f2[p], 1e-15);
        EXPECT_EQ(grid[p].fractional[2], 0.0);
        EXPECT_DOUBLE_EQ(grid[p].weight, 1.0 / 6.0);
        EXPECT_TRUE(grid[p].label.empty());
        EXPECT_NEAR(grid[p].cartesian[0], expected_f1[p] * two_pi / 3.0, 1e-14);
        EXPECT_NEAR(grid[p].cartesian[1], expected_f2[p] * two_pi / 4.0, 1e-14);
    }
    const std::vector<KPoint> gamma = UnitCell::generate_monkhorst_pack_grid(cubic, {1, 1, 1});
    ASSERT_EQ(gamma.size(), 1u);
    EXPECT_EQ(gamma[0].label, "Gamma");
    EXPECT_EQ(gamma[0].weight, 1.0);

    // Odd counts hold Γ, even ones do not; k and −k are both in the grid.
    const UnitCell chain = make_cell({{{2.5, 0, 0}}}, 1);
    for (const std::int32_t count : {5, 8}) {
        SCOPED_TRACE(count);
        const auto points = UnitCell::generate_monkhorst_pack_grid(chain, {count, 4, 4});
        ASSERT_EQ(points.size(), static_cast<std::size_t>(count));
        std::size_t labelled = 0;
        for (std::size_t p = 0; p < points.size(); ++p) {
            labelled += points[p].label == "Gamma" ? 1 : 0;
            EXPECT_NEAR(points[p].fractional[0], -points[points.size() - 1 - p].fractional[0],
                        1e-15);
        }
        EXPECT_EQ(labelled, count % 2 == 1 ? 1u : 0u);
    }
}

TEST(UnitCell, BandPathVisitsTheCornersWithAtLeastTenStepsPerLeg) {
    const UnitCell chain = make_cell({{{2.5, 0, 0}}}, 1);
    const UnitCell sheet = make_cell({{{2.5, 0, 0}, {0, 4, 0}}}, 2);
    const UnitCell cubic = make_cell({{{3, 0, 0}, {0, 4, 0}, {0, 0, 5}}}, 3);
    struct Case {
        const char* name;
        const UnitCell& cell;
        std::size_t points_per_leg;
        std::vector<std::string> corners;
    };
    const Case cases[] = {
        {"1D", chain, 4, {"Gamma", "X"}},
        {"2D", sheet, 4, {"Gamma", "X", "M", "Gamma"}},
        {"3D", cubic, 4, {"Gamma", "X", "M", "Gamma", "Z"}},
        {"1D 40 points", chain, 40, {"Gamma", "X"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t steps = std::max<std::size_t>(c.points_per_leg, 10);
        const std::vector<KPoint> path = UnitCell::generate_band_path(c.cell, c.points_per_leg);
        ASSERT_EQ(path.size(), (c.corners.size() - 1) * steps + 1);
        for (std::size_t p = 0; p < path.size(); ++p) {
            const bool corner = p % steps == 0;
            EXPECT_EQ(path[p].label, corner ? c.corners[p / steps] : "");
            EXPECT_EQ(path[p].weight, 0.0);
        }
    }
    const std::vector<KPoint> path = UnitCell::generate_band_path(cubic, 10);
    EXPECT_NEAR(path[5].fractional[0], 0.25, 1e-15);  // half way along Γ→X
    EXPECT_NEAR(path[15].fractional[1], 0.25, 1e-15); // half way along X→M
    EXPECT_NEAR(path.back().cartesian[2], 0.5 * two_pi / 5.0, 1e-15);
}

} // namespace
} // namespace quelm
