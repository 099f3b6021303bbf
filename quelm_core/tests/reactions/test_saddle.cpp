#include "fixtures.hpp"
#include "parameters/models.hpp"
#include "reactions/saddle.hpp"

#include <cmath>
#include <gtest/gtest.h>

namespace quelm {
namespace {

std::vector<Coordinate> rows(const fixtures::Molecule& m) {
    return {m.coordinates.begin(), m.coordinates.end()};
}

// A structure moved rigidly docks back onto itself; a genuinely different one does not.
TEST(Saddle, DockingUndoesRigidMotionOnly) {
    const fixtures::Molecule formaldehyde = fixtures::formaldehyde();
    const fixtures::Rotation r = fixtures::rotation_about({0.3, -1.0, 0.4}, 2.1);
    fixtures::Molecule moved = fixtures::rotated(formaldehyde, r);
    for (auto& c : moved.coordinates) {
        c[0] += 3.0;
        c[2] -= 1.5;
    }
    const std::vector<Coordinate> target = rows(formaldehyde);
    const DockedStructure docked = dock(target, rows(moved));
    EXPECT_LT(docked.distance, 1e-9);
    for (std::size_t i = 0; i < target.size(); ++i) {
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(docked.coordinates[i][k], target[i][k], 1e-9);
    }
    fixtures::Molecule bent = formaldehyde;
    bent.coordinates[2][1] += 0.3;
    EXPECT_NEAR(dock(target, rows(bent)).distance, 0.3 * std::sqrt(3.0 / 4.0), 0.05);
}

// HCN and HNC, each bent slightly in one plane (exactly linear ends would keep the hydrogen
// on the axis by symmetry): the search closes the gap cycle by cycle, alternating sides, and lands
// near the isomerisation saddle; the barriers differ by exactly the endpoints' heat difference.
TEST(Saddle, ClosesTheGapBetweenHcnAndHnc) {
    const std::vector<std::uint8_t> numbers = {6, 7, 1};
    const std::vector<Coordinate> hcn = {{0.0, 0.0, 0.0}, {1.16, 0.0, 0.0}, {-1.07, 0.05, 0.0}};
    const std::vector<Coordinate> hnc = {{0.0, 0.0, 0.0}, {1.17, 0.0, 0.0}, {2.17, 0.05, 0.0}};
    SaddleOptions options;
    options.refine_with_ts = false;
    const SaddleResult result = run_saddle(numbers, hcn, hnc, pm6_model(), options);
    ASSERT_TRUE(result.converged);
    ASSERT_EQ(result.num_cycles, result.trajectory.size());
    EXPECT_LE(result.final_distance, options.convergence_distance + 1e-9);
    std::size_t run = 0, previous_side = 0;
    double previous_distance = 1e9;
    for (const SaddlePoint& point : result.trajectory) {
        run = point.moving_structure == previous_side ? run + 1 : 1;
        previous_side = point.moving_structure;
        EXPECT_LE(run, 3u);
        EXPECT_LT(point.distance, previous_distance + 1e-9);
        previous_distance = point.distance;
    }
    // The candidate lies between the isomers with the hydrogen bridging C and N.
    const Coordinate& h = result.transition_state_coordinates[2];
    const Coordinate& c = result.transition_state_coordinates[0];
    const Coordinate& n = result.transition_state_coordinates[1];
    const auto dist = [](const Coordinate& a, const Coordinate& b) {
        return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                         (a[2] - b[2]) * (a[2] - b[2]));
    };
    EXPECT_LT(dist(h, c), 1.6);
    EXPECT_LT(dist(h, n), 1.6);
    EXPECT_GT(result.barrier_forward_kcal, 10.0);
    EXPECT_GT(result.barrier_reverse_kcal, 10.0);
}

TEST(Saddle, StopsWithoutCyclesWhenAskedOrAlreadyThere) {
    const std::vector<std::uint8_t> numbers = {1, 1};
    const std::vector<Coordinate> a = {{0.0, 0.0, 0.0}, {0.74, 0.0, 0.0}};
    const std::vector<Coordinate> rotated = {{1.0, 1.0, 1.0}, {1.0, 1.74, 1.0}};
    SaddleOptions options;
    options.refine_with_ts = false;
    const SaddleResult same = run_saddle(numbers, a, rotated, am1_model(), options);
    EXPECT_TRUE(same.converged);
    EXPECT_EQ(same.num_cycles, 0u);
    for (std::size_t i = 0; i < 2; ++i) {
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(same.transition_state_coordinates[i][k], a[i][k], 1e-9);
    }
    options.max_cycles = 0;
    const std::vector<Coordinate> stretched = {{0.0, 0.0, 0.0}, {1.5, 0.0, 0.0}};
    const SaddleResult none = run_saddle(numbers, a, stretched, am1_model(), options);
    EXPECT_FALSE(none.converged);
    EXPECT_TRUE(none.trajectory.empty());
    EXPECT_NEAR(none.final_distance, dock(a, stretched).distance, 1e-12);
}

} // namespace
} // namespace quelm
