#include "fixtures.hpp"
#include "opt/eigenvector_following.hpp"
#include "parameters/models.hpp"
#include "scf/eigensolver.hpp"
#include "scf/scf_loop.hpp"
#include "vibrations/hessian.hpp"
#include "vibrations/normal_modes.hpp"

#include <cmath>
#include <gtest/gtest.h>

namespace quelm {
namespace {

// H bridging C and N: a rough guess of the HCN ⇌ HNC saddle.
fixtures::Molecule hcn_bridge() {
    return {{6, 7, 1}, {{{0.0, 0.0, 0.0}, {1.18, 0.0, 0.0}, {0.5, 1.05, 0.0}}}};
}

struct Search {
    TransitionStateResult result;
    fixtures::Molecule final_geometry;
};

Search search(const fixtures::Molecule& start, TransitionStateOptions options) {
    MolecularBatch batch = fixtures::make_batch(start, pm6_model());
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    EigenvectorFollowingWorkspace ef = EigenvectorFollowingWorkspace::allocate(3 * batch.n_atoms);
    Search out{optimize_transition_state(batch, pm6_model(), workspace, ef, options), start};
    for (std::size_t a = 0; a < batch.n_atoms; ++a)
        out.final_geometry.coordinates[a] = batch.position(a);
    return out;
}

TransitionStateOptions nddo() {
    TransitionStateOptions options;
    options.use_nddo = true;
    return options;
}

// The search ends on a first-order saddle: the Hessian of the final geometry (an independent
// finite-difference one, projected) has exactly one imaginary frequency. Warm-started SCFs
// reach the same saddle as cold-started ones.
TEST(EigenvectorFollowing, FindsTheHcnIsomerisationSaddle) {
    const Search warm = search(hcn_bridge(), nddo());
    ASSERT_TRUE(warm.result.converged);
    EXPECT_LT(warm.result.ts_mode_eigenvalue, 0.0);
    EXPECT_LT(warm.result.final_grad_rms, 0.1);
    EXPECT_LT(warm.result.final_grad_max, 0.2);

    MolecularBatch batch = fixtures::make_batch(warm.final_geometry, pm6_model());
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    HessianOptions hessian_options;
    hessian_options.use_nddo = true;
    ScfOptions scf;
    scf.max_iter = 100;
    scf.energy_tol_ev = 1e-8;
    scf.density_tol = 1e-7;
    const HessianResult modes =
        compute_hessian_and_frequencies(batch, pm6_model(), workspace, scf, hessian_options);
    ASSERT_EQ(modes.vibrational_frequencies.size(), 3u);
    EXPECT_LT(modes.vibrational_frequencies[0], -500.0);
    EXPECT_GT(modes.vibrational_frequencies[1], 0.0);

    TransitionStateOptions cold_options = nddo();
    cold_options.start_from_previous_density = false;
    const Search cold = search(hcn_bridge(), cold_options);
    ASSERT_TRUE(cold.result.converged);
    EXPECT_NEAR(cold.result.final_energy, warm.result.final_energy, 1e-4);
}

// Without cycles nothing moves, and the reported transition mode is the requested eigenpair
// of the starting Hessian's internal part.
TEST(EigenvectorFollowing, ZeroCyclesReportTheStartingHessiansMode) {
    const fixtures::Molecule start = hcn_bridge();
    MolecularBatch batch = fixtures::make_batch(start, pm6_model());
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    run_rhf_scf_adaptive_with_nddo_and_cosmo(batch, pm6_model(), workspace, 50, 1e-7, 1e-6, true,
                                             std::nullopt);
    AlignedMatrix hessian =
        compute_initial_cartesian_hessian(batch, pm6_model(), workspace, 0.005, true, {});
    // Its internal part: rigid motions projected out and made stiff (1000 kcal/(mol·Å²)).
    const std::vector<std::vector<double>> rigid =
        rigid_body_vectors(batch, std::vector<double>(3, 1.0));
    ASSERT_EQ(rigid.size(), 6u);
    project_out(hessian, rigid);
    for (const std::vector<double>& v : rigid)
        for (std::size_t i = 0; i < 9; ++i)
            for (std::size_t j = 0; j < 9; ++j)
                hessian(i, j) += 1000.0 * v[i] * v[j];
    AlignedVec64 eigenvalues(9);
    AlignedMatrix eigenvectors(9, 9);
    diagonalize_symmetric(hessian, eigenvalues, eigenvectors);

    for (std::size_t target : {0u, 2u}) {
        SCOPED_TRACE(target);
        TransitionStateOptions options = nddo();
        options.max_cycles = 0;
        options.target_mode = target;
        const Search idle = search(start, options);
        EXPECT_FALSE(idle.result.converged);
        EXPECT_EQ(idle.result.cycles, 0u);
        EXPECT_EQ(idle.result.ts_mode_index, target);
        EXPECT_NEAR(idle.result.ts_mode_eigenvalue, eigenvalues[target], 1e-6);
        EXPECT_EQ(idle.final_geometry.coordinates, start.coordinates);
    }
}

} // namespace
} // namespace quelm
