#include "fixtures.hpp"
#include "gradients/geometry_point.hpp"
#include "gradients/nuclear_gradients.hpp"
#include "opt/lbfgs.hpp"
#include "parameters/models.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace quelm {
namespace {

// Water with one O–H stretched to 1.15 Å and the angle opened: far from the minimum.
fixtures::Molecule distorted_water() {
    return {{8, 1, 1}, {{{0.0, 0.0, 0.0}, {1.15, 0.0, 0.0}, {-0.35, 0.93, 0.05}}}};
}

std::vector<Coordinate> positions(const MolecularBatch& batch) {
    std::vector<Coordinate> out;
    for (std::size_t a = 0; a < batch.n_atoms; ++a)
        out.push_back(batch.position(a));
    return out;
}

TEST(GradientNorms, UsePerAtomNormsWithoutAMaskAndFreeComponentsWithOne) {
    const double k = 1.0 / kcal_mol_per_ev; // 1 kcal/(mol·Å) in eV/Å
    const std::vector<Coordinate> gradient = {{3 * k, 4 * k, 0.0}, {0.0, 0.0, 0.0}};
    struct Case {
        const char* name;
        std::optional<std::vector<bool>> mask;
        double rms, max;
    };
    const Case cases[] = {
        // Atom norms 5 and 0: the max is the atom's norm, not its largest component (4).
        {"no mask", std::nullopt, std::sqrt(25.0 / 2.0), 5.0},
        {"all free", std::vector<bool>(6, true), std::sqrt(25.0 / 6.0), 4.0},
        {"only x of atom 0 free", std::vector<bool>{true, false, false, false, false, false}, 3.0,
         3.0},
        {"all frozen", std::vector<bool>(6, false), 0.0, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const GradientNorms norms = compute_effective_gradient_norms(gradient, 2, c.mask);
        EXPECT_NEAR(norms.rms, c.rms, 1e-12);
        EXPECT_NEAR(norms.max, c.max, 1e-12);
    }
    const GradientNorms empty = compute_effective_gradient_norms({}, 0, std::nullopt);
    EXPECT_EQ(empty.rms, 0.0);
    EXPECT_EQ(empty.max, 0.0);
}

// With no curvature pairs yet, the first step is −g (Å per eV/Å) scaled as a whole so that
// no atom moves more than 0.2 Å.
TEST(Lbfgs, FirstStepIsCappedSteepestDescent) {
    const ParameterModel& model = pm6_model();
    MolecularBatch reference = fixtures::make_batch(distorted_water(), model);
    ScfWorkspace reference_workspace = ScfWorkspace::allocate(reference.n_orbitals);
    std::vector<Coordinate> gradient;
    DriverScfSettings settings;
    evaluate_energy_and_gradient(reference, model, reference_workspace, settings, gradient);
    double largest = 0.0;
    for (const Coordinate& g : gradient)
        largest = std::max(largest, std::hypot(g[0], g[1], g[2]));
    ASSERT_GT(largest, 0.2); // the cap is active
    const double scale = 0.2 / largest;

    MolecularBatch batch = fixtures::make_batch(distorted_water(), model);
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    LbfgsOptions options;
    options.use_nddo = true;
    options.max_cycles = 1;
    const LbfgsResult result = optimize_geometry_lbfgs(batch, model, workspace, options);
    EXPECT_EQ(result.cycles, 1u);
    EXPECT_FALSE(result.converged);
    double moved_most = 0.0;
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        const Coordinate start = reference.position(a);
        const Coordinate now = batch.position(a);
        for (std::size_t k = 0; k < 3; ++k)
            EXPECT_NEAR(now[k] - start[k], -scale * gradient[a][k], 1e-9);
        moved_most = std::max(moved_most,
                              std::hypot(now[0] - start[0], now[1] - start[1], now[2] - start[2]));
    }
    EXPECT_NEAR(moved_most, 0.2, 1e-12);
}

// On both surfaces the run ends at a stationary point: an independent cold SCF (tight
// tolerances) at the returned geometry gives the reported energy and a gradient below the
// thresholds, although every SCF after the first started from the previous density.
TEST(Lbfgs, ConvergedGeometryIsAMinimumOfAColdSinglePoint) {
    for (const bool use_nddo : {true, false}) {
        SCOPED_TRACE(use_nddo ? "NDDO" : "two-centre model");
        const ParameterModel& model = pm6_model();
        MolecularBatch batch = fixtures::make_batch(distorted_water(), model);
        ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
        LbfgsOptions options;
        options.use_nddo = use_nddo;
        options.grad_rms_tol = 0.05;
        options.grad_max_tol = 0.1;
        const LbfgsResult result = optimize_geometry_lbfgs(batch, model, workspace, options);
        ASSERT_TRUE(result.converged);
        EXPECT_TRUE(result.scf.converged);
        EXPECT_GT(result.cycles, 2u);
        EXPECT_LT(result.final_energy, result.initial_energy - 0.1);

        ScfWorkspace cold = ScfWorkspace::allocate(batch.n_orbitals);
        ScfOptions scf;
        scf.use_nddo = use_nddo;
        scf.max_iter = 300;
        scf.energy_tol_ev = 1e-10;
        scf.density_tol = 1e-9;
        const ScfResult cold_scf = run_rhf_scf_with_options(batch, model, cold, scf);
        ASSERT_TRUE(cold_scf.converged);
        // The SCF stops on a 1e-6 density (or DIIS error) change, which leaves the energy
        // uncertain at the 1e-6 eV level whichever density it started from.
        EXPECT_NEAR(result.final_energy, cold_scf.total_energy_ev, 1e-5);
        std::vector<Coordinate> cold_gradient(batch.n_atoms);
        compute_cartesian_gradients_with_options(batch, model, cold.density, cold_gradient,
                                                 GradientOptions{use_nddo});
        const GradientNorms norms =
            compute_effective_gradient_norms(cold_gradient, batch.n_atoms, std::nullopt);
        EXPECT_NEAR(norms.rms, result.final_grad_rms, 2e-3);
        EXPECT_LT(norms.max, options.grad_max_tol);
    }
}

// With a maximum-gradient threshold no geometry can meet, only the energy test can stop the
// run: the last cycle changed the energy by less than 1e-5 eV and the RMS gradient is below
// twice its threshold. Replaying the run one cycle shorter (it is deterministic) gives the
// energy before that last cycle.
TEST(Lbfgs, EnergyTestStopsOnASettledEnergyAndALooseRmsGradient) {
    const ParameterModel& model = pm6_model();
    LbfgsOptions options;
    options.use_nddo = true;
    options.grad_rms_tol = 0.5;
    options.grad_max_tol = 0.0;
    auto run = [&](std::size_t max_cycles) {
        MolecularBatch batch = fixtures::make_batch(distorted_water(), model);
        ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
        options.max_cycles = max_cycles;
        return optimize_geometry_lbfgs(batch, model, workspace, options);
    };
    const LbfgsResult result = run(100);
    ASSERT_TRUE(result.converged);
    ASSERT_GT(result.cycles, 1u);
    EXPECT_LT(result.final_grad_rms, 2.0 * options.grad_rms_tol);
    const LbfgsResult before_last = run(result.cycles - 1);
    EXPECT_FALSE(before_last.converged);
    EXPECT_LT(std::fabs(result.final_energy - before_last.final_energy), options.energy_tol);
}

TEST(Lbfgs, FrozenCoordinatesNeverMove) {
    const ParameterModel& model = am1_model();
    MolecularBatch batch = fixtures::make_batch(distorted_water(), model);
    const std::vector<Coordinate> start = positions(batch);
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    LbfgsOptions options;
    options.use_nddo = true;
    // Oxygen fixed, the first hydrogen only along x, the second free.
    options.frozen_mask =
        std::vector<bool>{false, false, false, true, false, false, true, true, true};
    const LbfgsResult result = optimize_geometry_lbfgs(batch, model, workspace, options);
    EXPECT_TRUE(result.converged);
    const std::vector<Coordinate> end = positions(batch);
    for (std::size_t i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        if (!(*options.frozen_mask)[i]) {
            EXPECT_EQ(end[i / 3][i % 3], start[i / 3][i % 3]);
        }
    }
    EXPECT_GT(std::fabs(end[1][0] - start[1][0]), 0.05); // the stretched bond relaxed
}

// SCFs that never converge (one iteration per rung) give energies and gradients that belong
// to no surface: the run must not end as converged, whatever those gradients look like.
TEST(Lbfgs, NeverReportsConvergenceOnAnUnconvergedScf) {
    const ParameterModel& model = pm6_model();
    MolecularBatch batch = fixtures::make_batch(fixtures::water(), model);
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    LbfgsOptions options;
    options.use_nddo = true;
    options.scf_max_iter = 1;
    options.max_cycles = 8;
    options.grad_rms_tol = 1e3; // every gradient passes the threshold tests
    options.grad_max_tol = 1e3;
    const LbfgsResult result = optimize_geometry_lbfgs(batch, model, workspace, options);
    EXPECT_FALSE(result.scf.converged);
    EXPECT_FALSE(result.converged);
    EXPECT_EQ(result.cycles, 8u);
    EXPECT_TRUE(std::isfinite(result.final_energy));
}

TEST(Lbfgs, RejectsOptionsOutsideItsContract) {
    const ParameterModel& model = pm6_model();
    MolecularBatch batch = fixtures::make_batch(fixtures::water(), model);
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    LbfgsOptions no_memory;
    no_memory.memory = 0;
    LbfgsOptions no_step;
    no_step.max_step = 0.0;
    LbfgsOptions short_mask;
    short_mask.frozen_mask = std::vector<bool>(8, true);
    for (const LbfgsOptions* options : {&no_memory, &no_step, &short_mask})
        EXPECT_THROW(optimize_geometry_lbfgs(batch, model, workspace, *options), InternalError);
}

} // namespace
} // namespace quelm
