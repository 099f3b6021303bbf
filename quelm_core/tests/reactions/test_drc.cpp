#include "fixtures.hpp"
#include "gradients/nuclear_gradients.hpp"
#include "parameters/models.hpp"
#include "reactions/drc.hpp"
#include "scf/scf_loop.hpp"
#include "types/atomic_masses.hpp"

#include <cmath>
#include <gtest/gtest.h>

namespace quelm {
namespace {

// Water stretched away from its minimum, so that it vibrates from rest.
fixtures::Molecule stretched_water() {
    fixtures::Molecule m = fixtures::water();
    m.coordinates[1][0] -= 0.08;
    m.coordinates[2][1] += 0.05;
    return m;
}

struct Trajectory {
    MolecularBatch batch;
    DrcResult result;
};

Trajectory run_drc(const fixtures::Molecule& molecule, const DrcOptions& options,
                   const ParameterModel& model = am1_model()) {
    MolecularBatch batch = fixtures::make_batch(molecule, model);
    ScfWorkspace scf = ScfWorkspace::allocate(batch.n_orbitals);
    DrcWorkspace workspace = DrcWorkspace::allocate(batch);
    DrcResult result = run_dynamic_reaction_coordinate(batch, model, scf, workspace, options);
    return {std::move(batch), std::move(result)};
}

// An independent velocity-Verlet integration with cold-started SCFs at every step: the
// driver (warm-started SCFs, workspace arrays) must follow the same trajectory.
TEST(Drc, FollowsAnIndependentVelocityVerletTrajectoryFromRest) {
    DrcOptions options;
    options.total_steps = 12;
    options.time_step_fs = 0.5;
    options.use_nddo = true;
    const Trajectory run = run_drc(stretched_water(), options);

    MolecularBatch batch = fixtures::make_batch(stretched_water(), am1_model());
    const std::size_t n = batch.n_atoms;
    std::vector<Coordinate> velocity(n, Coordinate{}), acceleration(n), gradient(n);
    const auto accelerations_here = [&] {
        ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
        ScfOptions scf;
        scf.energy_tol_ev = 1e-10;
        scf.density_tol = 1e-9;
        scf.max_iter = 300;
        run_rhf_scf_with_options(batch, am1_model(), workspace, scf);
        compute_cartesian_gradients_with_options(batch, am1_model(), workspace.density, gradient,
                                                 {});
        std::vector<Coordinate> a(n);
        for (std::size_t i = 0; i < n; ++i) {
            const double m = standard_atomic_mass(batch.atomic_numbers[i]);
            for (int k = 0; k < 3; ++k)
                a[i][k] = -gradient[i][k] / m * acceleration_per_ev_angstrom_amu;
        }
        return a;
    };
    const double dt = options.time_step_fs;
    acceleration = accelerations_here();
    for (std::size_t step = 1; step <= options.total_steps; ++step) {
        for (std::size_t i = 0; i < n; ++i) {
            batch.coords_x[i] += velocity[i][0] * dt + 0.5 * acceleration[i][0] * dt * dt;
            batch.coords_y[i] += velocity[i][1] * dt + 0.5 * acceleration[i][1] * dt * dt;
            batch.coords_z[i] += velocity[i][2] * dt + 0.5 * acceleration[i][2] * dt * dt;
        }
        const std::vector<Coordinate> next = accelerations_here();
        for (std::size_t i = 0; i < n; ++i) {
            for (int k = 0; k < 3; ++k)
                velocity[i][k] += 0.5 * (acceleration[i][k] + next[i][k]) * dt;
        }
        acceleration = next;
    }
    const DrcFrame& last = run.result.frames.back();
    ASSERT_EQ(last.step, options.total_steps);
    for (std::size_t i = 0; i < n; ++i) {
        const Coordinate expected = batch.position(i);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(last.coordinates[i][k], expected[k], 1e-7);
            EXPECT_NEAR(last.velocities[i][k], velocity[i][k], 1e-7);
        }
    }
    // The molecule started from rest and has picked up speed.
    EXPECT_EQ(run.result.frames.front().kinetic_energy_ev, 0.0);
    EXPECT_GT(last.kinetic_energy_ev, 1e-3);
}

// Velocity Verlet conserves the energy up to a fluctuation of order dt²: halving the step
// quarters the largest deviation, and the deviation is small beside the energy exchanged.
TEST(Drc, ConservesTheTotalEnergyToSecondOrderInTheTimeStep) {
    DrcOptions options;
    options.total_steps = 40;
    options.time_step_fs = 0.25;
    const Trajectory coarse = run_drc(stretched_water(), options);
    options.total_steps = 80;
    options.time_step_fs = 0.125;
    const Trajectory fine = run_drc(stretched_water(), options);
    const double ratio = coarse.result.max_energy_drift_ev / fine.result.max_energy_drift_ev;
    EXPECT_GT(ratio, 3.0);
    EXPECT_LT(ratio, 5.0);
    double lowest_potential = fine.result.frames.front().potential_energy_ev;
    for (const DrcFrame& frame : fine.result.frames)
        lowest_potential = std::min(lowest_potential, frame.potential_energy_ev);
    EXPECT_GT(fine.result.frames.front().potential_energy_ev - lowest_potential,
              200.0 * fine.result.max_energy_drift_ev);
}

TEST(Drc, StartsAThermalRunAtTheTargetTemperatureWithoutDrift) {
    DrcOptions options;
    options.total_steps = 3;
    options.initial_velocities = MaxwellBoltzmannVelocities{450.0, {}};
    options.use_thermostat = true;
    options.temperature_k = 450.0;
    const Trajectory first = run_drc(fixtures::formaldehyde(), options);
    const DrcFrame& start = first.result.frames.front();
    EXPECT_NEAR(start.temperature_k, 450.0, 1e-9);
    Coordinate momentum{};
    for (std::size_t i = 0; i < first.batch.n_atoms; ++i) {
        for (int k = 0; k < 3; ++k) {
            momentum[k] +=
                standard_atomic_mass(first.batch.atomic_numbers[i]) * start.velocities[i][k];
        }
    }
    for (double p : momentum)
        EXPECT_NEAR(p, 0.0, 1e-12);
    const Trajectory second = run_drc(fixtures::formaldehyde(), options);
    EXPECT_EQ(first.result.frames.back().coordinates, second.result.frames.back().coordinates);
}

// The coupling pulls a cold start up towards the bath temperature and a hot start down.
TEST(Drc, BerendsenThermostatPullsTowardsTheTarget) {
    DrcOptions options;
    options.total_steps = 4;
    options.use_thermostat = true;
    options.berendsen_tau_fs = 5.0;
    options.initial_velocities = MaxwellBoltzmannVelocities{2000.0, 7};
    options.temperature_k = 100.0;
    const Trajectory hot = run_drc(fixtures::formaldehyde(), options);
    options.use_thermostat = false;
    const Trajectory free = run_drc(fixtures::formaldehyde(), options);
    EXPECT_LT(hot.result.frames.back().temperature_k, free.result.frames.back().temperature_k);
}

TEST(Drc, RecordsTheStrideAndTheLastStep) {
    struct Case {
        std::size_t total_steps, interval;
        std::vector<std::size_t> steps;
    };
    const Case cases[] = {{10, 4, {0, 4, 8, 10}}, {3, 0, {0, 1, 2, 3}}, {0, 1, {0}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.interval);
        DrcOptions options;
        options.total_steps = c.total_steps;
        options.recording_interval = c.interval;
        options.time_step_fs = 0.2;
        const Trajectory run = run_drc(fixtures::hydrogen_molecule(), options);
        std::vector<std::size_t> steps;
        for (const DrcFrame& frame : run.result.frames)
            steps.push_back(frame.step);
        EXPECT_EQ(steps, c.steps);
        if (c.total_steps == 0) {
            EXPECT_EQ(run.result.final_energy_ev, run.result.initial_energy_ev);
            EXPECT_EQ(run.result.energy_drift_ev_per_ps, 0.0);
            EXPECT_EQ(run.result.max_energy_drift_ev, 0.0);
        }
    }
}

// A diatomic has one vibrational degree of freedom: T = 2·KE / k_B.
TEST(Drc, CountsOneDegreeOfFreedomForADiatomic) {
    DrcOptions options;
    options.total_steps = 2;
    options.initial_velocities = CustomVelocities{{{0.0, 0.0, 0.0}, {0.01, 0.0, 0.0}}};
    const Trajectory run = run_drc(fixtures::hydrogen_molecule(), options);
    const DrcFrame& start = run.result.frames.front();
    EXPECT_NEAR(start.temperature_k, 2.0 * start.kinetic_energy_ev / boltzmann_ev_per_k, 1e-9);
    EXPECT_NEAR(start.kinetic_energy_ev,
                0.5 * kinetic_ev_per_amu_angstrom2_fs2 * standard_atomic_mass(1) * 1e-4, 1e-12);
}

TEST(Drc, ScalesADirectionToTheRequestedKineticEnergy) {
    DrcOptions options;
    options.total_steps = 0;
    options.initial_velocities =
        ScaledDirectionVelocities{{{0.0, 0.0, 0.0}, {1.0, 0.0, 0.0}, {0.0, -2.0, 0.0}}, 3.0};
    const Trajectory run = run_drc(fixtures::water(), options);
    EXPECT_NEAR(run.result.frames.front().kinetic_energy_ev, 3.0 / 23.06054783061903, 1e-12);
}

} // namespace
} // namespace quelm
