#include "solvation/tessellation.hpp"
#include "types/internal_error.hpp"

#include <array>
#include <cmath>
#include <gtest/gtest.h>

namespace quelm {
namespace {

constexpr double four_pi = 4.0 * 3.14159265358979323846;

TEST(SphereTessellation, StartsFromTheTurnedIcosahedron) {
    // The twelve vertices, to ten digits.
    const std::array<std::array<double, 3>, 12> vertices = {{
        {-0.5403023059, 0.8414709848, 0.0},
        {-0.7182919487, 0.0702564918, 0.6921854533},
        {-0.9428736621, -0.0739457681, -0.3248403926},
        {-0.1983612108, 0.4041001794, -0.8929478569},
        {0.4863545026, 0.8437510830, -0.2270317331},
        {0.1650196348, 0.6374243371, 0.7526345292},
        {-0.4863545026, -0.8437510830, 0.2270317331},
        {-0.1650196348, -0.6374243371, -0.7526345292},
        {0.7182919487, -0.0702564918, -0.6921854533},
        {0.9428736621, 0.0739457681, 0.3248403926},
        {0.1983612108, -0.4041001794, 0.8929478569},
        {0.5403023059, -0.8414709848, 0.0},
    }};
    for (std::size_t nppa : {12u, 42u, 1082u}) {
        SCOPED_TRACE(nppa);
        const std::vector<SpherePoint> grid = generate_sphere_tessellation(nppa);
        ASSERT_EQ(grid.size(), nppa);
        for (std::size_t i = 0; i < vertices.size(); ++i) {
            EXPECT_NEAR(grid[i].x, vertices[i][0], 6e-11);
            EXPECT_NEAR(grid[i].y, vertices[i][1], 6e-11);
            EXPECT_NEAR(grid[i].z, vertices[i][2], 6e-11);
        }
    }
}

// Unit vectors whose weights cover the sphere: the weights sum to 4π, and the icosahedral
// symmetry makes the weighted first moment vanish and the second moment isotropic
// (Σ w·p_a·p_b = 4π/3·δ_ab, as for the continuous sphere).
TEST(SphereTessellation, IntegratesLowMomentsOfTheSphereExactly) {
    for (std::size_t nppa : {12u, 42u, 1082u}) {
        SCOPED_TRACE(nppa);
        const std::vector<SpherePoint> grid = generate_sphere_tessellation(nppa);
        double total = 0.0;
        std::array<double, 3> first{};
        std::array<std::array<double, 3>, 3> second{};
        for (const SpherePoint& p : grid) {
            EXPECT_NEAR(p.x * p.x + p.y * p.y + p.z * p.z, 1.0, 1e-14);
            EXPECT_GT(p.weight, 0.0);
            const double v[3] = {p.x, p.y, p.z};
            total += p.weight;
            for (int a = 0; a < 3; ++a) {
                first[a] += p.weight * v[a];
                for (int b = 0; b < 3; ++b)
                    second[a][b] += p.weight * v[a] * v[b];
            }
        }
        EXPECT_NEAR(total, four_pi, 1e-12);
        for (int a = 0; a < 3; ++a) {
            EXPECT_NEAR(first[a], 0.0, 1e-12);
            for (int b = 0; b < 3; ++b)
                EXPECT_NEAR(second[a][b], a == b ? four_pi / 3.0 : 0.0, 1e-12);
        }
    }
}

TEST(SphereTessellation, WeighsVerticesAgainstTheOtherPoints) {
    for (const SpherePoint& p : generate_sphere_tessellation(12))
        EXPECT_NEAR(p.weight, four_pi / 12.0, 1e-15);

    // 42: twelve vertices (raw weight 5) and thirty edge midpoints (raw 6·(2/|p|)²).
    const std::vector<SpherePoint> grid = generate_sphere_tessellation(42);
    for (std::size_t i = 1; i < 12; ++i)
        EXPECT_DOUBLE_EQ(grid[i].weight, grid[0].weight);
    for (std::size_t i = 13; i < 42; ++i)
        EXPECT_DOUBLE_EQ(grid[i].weight, grid[12].weight);
    // The midpoint of an icosahedron edge lies at 2·cos(θ/2) from the centre, with
    // cos θ = 1/√5 between neighbouring vertices: raw weight 6/cos²(θ/2) = 12/(1 + 1/√5).
    const double edge_raw = 12.0 / (1.0 + 1.0 / std::sqrt(5.0));
    EXPECT_NEAR(grid[12].weight / grid[0].weight, edge_raw / 5.0, 1e-12);
    EXPECT_LT(grid[0].weight, grid[12].weight);
}

// Each point of the nested grids is a distinct direction: no two coincide.
TEST(SphereTessellation, PlacesDistinctPoints) {
    for (std::size_t nppa : {42u, 1082u}) {
        SCOPED_TRACE(nppa);
        const std::vector<SpherePoint> grid = generate_sphere_tessellation(nppa);
        double closest = 2.0;
        for (std::size_t i = 0; i < grid.size(); ++i)
            for (std::size_t j = 0; j < i; ++j) {
                const double dx = grid[i].x - grid[j].x;
                const double dy = grid[i].y - grid[j].y;
                const double dz = grid[i].z - grid[j].z;
                closest = std::fmin(closest, std::sqrt(dx * dx + dy * dy + dz * dz));
            }
        // The 1082 grid spaces its points about √(4π/1082) ≈ 0.11 apart.
        EXPECT_GT(closest, nppa == 42 ? 0.5 : 0.05);
    }
}

TEST(SphereTessellation, RejectsOtherPointCounts) {
    for (std::size_t nppa : {0u, 11u, 100u, 162u, 1083u}) {
        SCOPED_TRACE(nppa);
        try {
            generate_sphere_tessellation(nppa);
            ADD_FAILURE() << "no error";
        } catch (const InternalError& error) {
            EXPECT_STREQ(error.what(), "nppa must be 12, 42, or 1082");
        }
    }
}

} // namespace
} // namespace quelm
