// The interruption poll stops the SCF and gradient loops by throwing Interrupted; the
// unwinding releases everything (the sanitizer build checks for leaks at exit) and the
// next run on the same workspace gives the uninterrupted result.

#include "fixtures.hpp"
#include "gradients/nuclear_gradients.hpp"
#include "scf/scf_loop.hpp"
#include "types/interruption.hpp"

#include <gtest/gtest.h>

namespace quelm {
namespace {

// Counts the polls and asks to stop at poll number `stop_at` (0: never).
int polls_seen = 0;
int stop_at = 0;

bool counting_poll() noexcept {
    ++polls_seen;
    return polls_seen == stop_at;
}

// Installs the counting poll for one test and restores the previous poll afterwards.
class InstalledPoll {
  public:
    explicit InstalledPoll(int stop_at_poll) {
        polls_seen = 0;
        stop_at = stop_at_poll;
        previous_ = set_interruption_poll(&counting_poll);
    }
    InstalledPoll(const InstalledPoll&) = delete;
    InstalledPoll& operator=(const InstalledPoll&) = delete;
    ~InstalledPoll() { set_interruption_poll(previous_); }

  private:
    InterruptionPoll previous_ = nullptr;
};

TEST(Interruption, StopsTheScfAtTheTopOfAnIterationAndTheNextRunMatchesAColdOne) {
    const ParameterModel& model = pm6_model();
    const MolecularBatch batch = fixtures::make_batch(fixtures::water_dimer(2.9), model);
    ScfWorkspace cold_workspace = ScfWorkspace::allocate(batch.n_orbitals);
    const ScfResult reference = run_rhf_scf_with_options(batch, model, cold_workspace, {});
    ASSERT_TRUE(reference.converged);
    ASSERT_GT(reference.iterations, 3U);

    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    {
        const InstalledPoll poll(3);
        EXPECT_THROW(run_rhf_scf_with_options(batch, model, workspace, {}), Interrupted);
        // One poll per iteration: the third iteration never started.
        EXPECT_EQ(polls_seen, 3);
    }
    const ScfResult rerun = run_rhf_scf_with_options(batch, model, workspace, {});
    EXPECT_EQ(rerun.iterations, reference.iterations);
    EXPECT_NEAR(rerun.total_energy_ev, reference.total_energy_ev, 1e-9);
}

TEST(Interruption, StopsTheRetryLadderInsteadOfCountingAsNonConvergence) {
    const ParameterModel& model = am1_model();
    const MolecularBatch batch = fixtures::make_batch(fixtures::water(), model);
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    const InstalledPoll poll(2);
    EXPECT_THROW(run_rhf_scf_adaptive_with_nddo_and_cosmo(batch, model, workspace, 60, 1e-7, 1e-6,
                                                          true, std::nullopt),
                 Interrupted);
    EXPECT_EQ(polls_seen, 2);
}

TEST(Interruption, StopsTheGradientLoopAndTheNextRunGivesTheSameGradient) {
    const ParameterModel& model = pm6_model();
    MolecularBatch batch = fixtures::make_batch(fixtures::water_dimer(2.9), model);
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    ASSERT_TRUE(run_rhf_scf_with_options(batch, model, workspace, {}).converged);
    std::vector<std::array<double, 3>> reference(batch.n_atoms);
    compute_cartesian_gradients_with_options(batch, model, workspace.density, reference, {});

    std::vector<std::array<double, 3>> gradient(batch.n_atoms);
    {
        const InstalledPoll poll(5);
        EXPECT_THROW(
            compute_cartesian_gradients_with_options(batch, model, workspace.density, gradient, {}),
            Interrupted);
        EXPECT_EQ(polls_seen, 5);
    }
    compute_cartesian_gradients_with_options(batch, model, workspace.density, gradient, {});
    for (std::size_t i = 0; i < batch.n_atoms; ++i) {
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_EQ(gradient[i][axis], reference[i][axis]);
    }
}

} // namespace
} // namespace quelm
