#include "fixtures.hpp"
#include "gradients/geometry_point.hpp"
#include "gradients/nuclear_gradients.hpp"
#include "parameters/models.hpp"

#include <gtest/gtest.h>

namespace quelm {
namespace {

// Walking a driver's points with one workspace gives, at every point, the energy and
// gradient of an independent cold single point there.
TEST(GeometryPoint, WarmStartedPointsEqualColdSinglePoints) {
    MolecularBatch batch = fixtures::make_batch(fixtures::formaldehyde(), am1_model());
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    DriverScfSettings settings;
    std::vector<std::array<double, 3>> gradient;
    for (int step = 0; step < 3; ++step) {
        SCOPED_TRACE(step);
        batch.coords_y[2] += 0.02;
        const ScfResult warm =
            evaluate_energy_and_gradient(batch, am1_model(), workspace, settings, gradient);

        ScfWorkspace cold_workspace = ScfWorkspace::allocate(batch.n_orbitals);
        ScfOptions options;
        options.max_iter = 200;
        options.energy_tol_ev = 1e-10;
        options.density_tol = 1e-9;
        const ScfResult cold =
            run_rhf_scf_with_options(batch, am1_model(), cold_workspace, options);
        std::vector<std::array<double, 3>> cold_gradient(batch.n_atoms);
        compute_cartesian_gradients_with_options(batch, am1_model(), cold_workspace.density,
                                                 cold_gradient, {});
        ASSERT_TRUE(warm.converged);
        EXPECT_NEAR(warm.total_energy_ev, cold.total_energy_ev, 1e-6);
        ASSERT_EQ(gradient.size(), batch.n_atoms);
        for (std::size_t a = 0; a < batch.n_atoms; ++a) {
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(gradient[a][k], cold_gradient[a][k], 1e-3);
        }
    }
}

} // namespace
} // namespace quelm
