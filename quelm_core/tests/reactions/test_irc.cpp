#include "fixtures.hpp"
#include "parameters/models.hpp"
#include "reactions/irc.hpp"

#include <cmath>
#include <gtest/gtest.h>

namespace quelm {
namespace {

// Planar ammonia: the saddle point of the umbrella inversion, N at the origin in the xy plane.
fixtures::Molecule planar_ammonia() {
    const double r = 1.0;
    const double c = std::cos(2.0 * std::acos(-1.0) / 3.0),
                 s = std::sin(2.0 * std::acos(-1.0) / 3.0);
    return {{7, 1, 1, 1},
            {{{0.0, 0.0, 0.0}, {r, 0.0, 0.0}, {r * c, r * s, 0.0}, {r * c, -r * s, 0.0}}}};
}

IrcResult trace(const IrcOptions& options) {
    MolecularBatch batch = fixtures::make_batch(planar_ammonia(), am1_model());
    ScfWorkspace scf = ScfWorkspace::allocate(batch.n_orbitals);
    IrcWorkspace workspace = IrcWorkspace::allocate(batch);
    IrcResult result =
        trace_intrinsic_reaction_coordinate(batch, am1_model(), scf, workspace, options);
    // The batch is back at the transition state.
    EXPECT_EQ(batch.coords_z[0], 0.0);
    return result;
}

// Both branches leave the planar saddle along the umbrella (nitrogen out of the plane, to
// opposite sides: a round-off rotation is never taken for the reaction coordinate), fall
// monotonically and end in mirror-image pyramids of equal energy.
TEST(Irc, DescendsFromPlanarAmmoniaToMirrorImagePyramids) {
    IrcOptions options;
    options.step_size = 0.15;
    options.max_points = 40;
    options.use_nddo = true;
    const IrcResult result = trace(options);
    const std::vector<IrcPoint>& points = result.points;
    const std::size_t ts = result.ts_point_index;
    ASSERT_GT(ts, 2u);
    ASSERT_GT(points.size() - ts, 3u);
    EXPECT_TRUE(result.forward_converged);
    EXPECT_TRUE(result.reverse_converged);
    EXPECT_EQ(points[ts].path_coordinate, 0.0);
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
        EXPECT_LT(points[i].path_coordinate, points[i + 1].path_coordinate);
    // Downhill on both sides, up to the point that stopped a branch by rising.
    for (std::size_t i = ts; i + 2 < points.size(); ++i)
        EXPECT_LT(points[i + 1].energy_ev, points[i].energy_ev);
    for (std::size_t i = ts; i > 1; --i)
        EXPECT_LT(points[i - 1].energy_ev, points[i].energy_ev);
    EXPECT_GT(points.back().energy_ev, points[points.size() - 2].energy_ev);

    const auto nitrogen_height = [](const IrcPoint& p) {
        const double hydrogen_plane =
            (p.coordinates[1][2] + p.coordinates[2][2] + p.coordinates[3][2]) / 3.0;
        return p.coordinates[0][2] - hydrogen_plane;
    };
    // The last point of each branch is the one that rose; the one before is its lowest.
    const IrcPoint& forward_end = points[points.size() - 2];
    const IrcPoint& reverse_end = points[1];
    EXPECT_GT(std::fabs(nitrogen_height(forward_end)), 0.2);
    EXPECT_NEAR(nitrogen_height(forward_end), -nitrogen_height(reverse_end), 5e-3);
    EXPECT_NEAR(forward_end.energy_ev, reverse_end.energy_ev, 1e-3);
    EXPECT_LT(forward_end.energy_ev, points[ts].energy_ev - 0.1);
}

TEST(Irc, TracesOnlyTheRequestedBranches) {
    IrcOptions options;
    options.max_points = 2;
    options.step_size = 0.1;
    options.direction = IrcDirection::forward;
    const IrcResult forward = trace(options);
    EXPECT_EQ(forward.ts_point_index, 0u);
    EXPECT_EQ(forward.points.size(), 3u);
    EXPECT_FALSE(forward.reverse_converged);
    EXPECT_NEAR(forward.points[2].path_coordinate, 0.2, 1e-15);

    options.direction = IrcDirection::reverse;
    const IrcResult reverse = trace(options);
    EXPECT_EQ(reverse.ts_point_index, 2u);
    EXPECT_FALSE(reverse.forward_converged);
    EXPECT_NEAR(reverse.points[0].path_coordinate, -0.2, 1e-15);

    options.direction = IrcDirection::both;
    options.max_points = 0;
    const IrcResult none = trace(options);
    ASSERT_EQ(none.points.size(), 1u);
    EXPECT_FALSE(none.forward_converged || none.reverse_converged);
}

} // namespace
} // namespace quelm
