// Velocity-Verlet Born–Oppenheimer dynamics.
//
// x(t+dt) = x + v·dt + ½·a·dt², then the SCF and forces at x(t+dt), then
// v(t+dt) = v + ½·(a + a′)·dt. The Berendsen thermostat rescales the velocities by
// λ = √(1 + (dt/τ)(T₀/T − 1)) after each step (Berendsen et al., J. Chem. Phys. 81, 3684
// (1984)). The temperature counts 3N − 6 degrees of freedom (one for a diatomic).

#include "reactions/drc.hpp"

#include "gradients/geometry_point.hpp"
#include "types/atomic_masses.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quelm {
namespace {

constexpr std::uint64_t default_velocity_seed = 1311768467463790320ULL;

double degrees_of_freedom(std::size_t n_atoms) {
    if (n_atoms <= 1)
        return 3.0;
    if (n_atoms == 2)
        return 1.0;
    return 3.0 * static_cast<double>(n_atoms) - 6.0;
}

double kinetic_energy_ev(std::span<const double> masses, std::span<const Coordinate> velocities) {
    double sum = 0.0;
    for (std::size_t i = 0; i < masses.size(); ++i) {
        const Coordinate& v = velocities[i];
        sum += masses[i] * (v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    }
    return 0.5 * kinetic_ev_per_amu_angstrom2_fs2 * sum;
}

double temperature_of(double kinetic_ev, double n_dof) {
    return 2.0 * kinetic_ev / (n_dof * boltzmann_ev_per_k);
}

void scale(std::vector<Coordinate>& vectors, double factor) {
    for (Coordinate& v : vectors) {
        for (double& component : v)
            component *= factor;
    }
}

// 64-bit linear congruential generator (Knuth's MMIX constants); each draw advances the
// state and maps its top 53 bits to (0, 1).
class UniformDraws {
  public:
    explicit UniformDraws(std::uint64_t seed) : state_(seed) {}
    double next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return (static_cast<double>(state_ >> 11) + 0.5) * 0x1.0p-53;
    }

  private:
    std::uint64_t state_;
};

// Box–Muller normal deviate from two uniform draws.
double normal_deviate(UniformDraws& draws) {
    const double u1 = draws.next();
    const double u2 = draws.next();
    return std::sqrt(-2.0 * std::log(std::max(u1, 1e-15))) * std::cos(2.0 * std::numbers::pi * u2);
}

void draw_maxwell_boltzmann(const MaxwellBoltzmannVelocities& kind, DrcWorkspace& workspace) {
    UniformDraws draws(kind.seed.value_or(default_velocity_seed));
    const std::size_t n = workspace.masses_amu.size();
    for (std::size_t i = 0; i < n; ++i) {
        const double sigma =
            std::sqrt(boltzmann_ev_per_k * kind.temperature_k /
                      (workspace.masses_amu[i] * kinetic_ev_per_amu_angstrom2_fs2));
        for (double& component : workspace.velocities[i])
            component = sigma * normal_deviate(draws);
    }
    // No drift of the whole molecule: its kinetic energy would not be thermal.
    Coordinate momentum{};
    double total_mass = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        for (int k = 0; k < 3; ++k)
            momentum[k] += workspace.masses_amu[i] * workspace.velocities[i][k];
        total_mass += workspace.masses_amu[i];
    }
    for (Coordinate& v : workspace.velocities) {
        for (int k = 0; k < 3; ++k)
            v[k] -= momentum[k] / total_mass;
    }
    const double target_ev = 0.5 * degrees_of_freedom(n) * boltzmann_ev_per_k * kind.temperature_k;
    const double kinetic_ev = kinetic_energy_ev(workspace.masses_amu, workspace.velocities);
    if (target_ev > 0.0 && kinetic_ev > 1e-15)
        scale(workspace.velocities, std::sqrt(target_ev / kinetic_ev));
}

void set_initial_velocities(const InitialVelocities& initial, DrcWorkspace& workspace) {
    const std::size_t n = workspace.masses_amu.size();
    std::fill(workspace.velocities.begin(), workspace.velocities.end(), Coordinate{});
    if (const auto* thermal = std::get_if<MaxwellBoltzmannVelocities>(&initial)) {
        draw_maxwell_boltzmann(*thermal, workspace);
    } else if (const auto* directed = std::get_if<ScaledDirectionVelocities>(&initial)) {
        if (directed->direction_vectors.size() != n) {
            throw InternalError(
                size_mismatch("DRC direction vectors", directed->direction_vectors.size(), n));
        }
        workspace.velocities = directed->direction_vectors;
        const double kinetic_ev = kinetic_energy_ev(workspace.masses_amu, workspace.velocities);
        const double factor =
            kinetic_ev > 1e-15
                ? std::sqrt((directed->kinetic_energy_kcal / kcal_mol_per_ev) / kinetic_ev)
                : 0.0;
        scale(workspace.velocities, factor);
    } else if (const auto* custom = std::get_if<CustomVelocities>(&initial)) {
        if (custom->velocities.size() != n)
            throw InternalError("Custom velocities count mismatch");
        workspace.velocities = custom->velocities;
    }
}

// Forces and accelerations from the gradient the last geometry point left in the workspace.
void take_forces(DrcWorkspace& workspace, std::vector<Coordinate>& accelerations) {
    for (std::size_t i = 0; i < workspace.masses_amu.size(); ++i) {
        for (int k = 0; k < 3; ++k) {
            workspace.forces[i][k] = -workspace.gradient[i][k];
            accelerations[i][k] = workspace.forces[i][k] * workspace.inverse_masses[i] *
                                  acceleration_per_ev_angstrom_amu;
        }
    }
}

void apply_berendsen_thermostat(const DrcOptions& options, double n_dof, DrcWorkspace& workspace) {
    const double temperature =
        temperature_of(kinetic_energy_ev(workspace.masses_amu, workspace.velocities), n_dof);
    if (temperature <= 1e-6)
        return;
    const double lambda_squared = 1.0 + (options.time_step_fs / options.berendsen_tau_fs) *
                                            (options.temperature_k / temperature - 1.0);
    if (lambda_squared > 0.0)
        scale(workspace.velocities, std::sqrt(lambda_squared));
}

DrcFrame record_frame(std::size_t step, const MolecularBatch& batch, const DrcWorkspace& workspace,
                      double time_fs, double potential_ev, double kinetic_ev, double temperature) {
    DrcFrame frame;
    frame.coordinates = batch.positions();
    frame.velocities = workspace.velocities;
    frame.forces = workspace.forces;
    frame.step = step;
    frame.time_fs = time_fs;
    frame.potential_energy_ev = potential_ev;
    frame.kinetic_energy_ev = kinetic_ev;
    frame.total_energy_ev = potential_ev + kinetic_ev;
    frame.temperature_k = temperature;
    return frame;
}

} // namespace

DrcWorkspace DrcWorkspace::allocate(const MolecularBatch& batch) {
    DrcWorkspace workspace;
    const std::size_t n = batch.n_atoms;
    workspace.masses_amu.resize(n);
    workspace.inverse_masses.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        workspace.masses_amu[i] = standard_atomic_mass(batch.atomic_numbers[i]);
        workspace.inverse_masses[i] = 1.0 / workspace.masses_amu[i];
    }
    for (auto* array : {&workspace.velocities, &workspace.accelerations,
                        &workspace.new_accelerations, &workspace.forces, &workspace.gradient}) {
        array->assign(n, Coordinate{});
    }
    return workspace;
}

DrcResult run_dynamic_reaction_coordinate(MolecularBatch& batch, const ParameterModel& model,
                                          ScfWorkspace& scf_workspace, DrcWorkspace& workspace,
                                          const DrcOptions& options) {
    const std::size_t n = batch.n_atoms;
    if (workspace.masses_amu.size() != n)
        throw InternalError(size_mismatch("DRC workspace", workspace.masses_amu.size(), n));
    const double n_dof = degrees_of_freedom(n);
    const double dt = options.time_step_fs;
    const std::size_t stride = std::max<std::size_t>(options.recording_interval, 1);

    set_initial_velocities(options.initial_velocities, workspace);

    DriverScfSettings scf_settings;
    scf_settings.max_iter = 60;
    scf_settings.energy_tol_ev = options.energy_tol_ev;
    scf_settings.density_tol = options.density_tol;
    scf_settings.use_nddo = options.use_nddo;
    scf_settings.start_from_previous_density = false;
    scf_workspace.restart();
    const double initial_potential_ev =
        evaluate_energy_and_gradient(batch, model, scf_workspace, scf_settings, workspace.gradient)
            .total_energy_ev;
    take_forces(workspace, workspace.accelerations);
    const double initial_kinetic_ev = kinetic_energy_ev(workspace.masses_amu, workspace.velocities);
    const double initial_temperature = temperature_of(initial_kinetic_ev, n_dof);

    DrcResult result;
    // Frames of long runs arrive over minutes; reserving for all of them up front could ask
    // for more memory than the run will ever use if it is interrupted.
    result.frames.reserve(std::min<std::size_t>(options.total_steps / stride + 1, 4096));
    result.frames.push_back(record_frame(0, batch, workspace, 0.0, initial_potential_ev,
                                         initial_kinetic_ev, initial_temperature));
    result.initial_energy_ev = initial_potential_ev + initial_kinetic_ev;
    result.final_energy_ev = result.initial_energy_ev;
    double temperature_sum = initial_temperature;

    // Later steps move the nuclei by less than 0.01 Å: the previous density is a close start.
    scf_settings.max_iter = 50;
    scf_settings.start_from_previous_density = true;
    for (std::size_t step = 1; step <= options.total_steps; ++step) {
        for (std::size_t i = 0; i < n; ++i) {
            const Coordinate& v = workspace.velocities[i];
            const Coordinate& a = workspace.accelerations[i];
            batch.coords_x[i] += v[0] * dt + a[0] * (0.5 * dt * dt);
            batch.coords_y[i] += v[1] * dt + a[1] * (0.5 * dt * dt);
            batch.coords_z[i] += v[2] * dt + a[2] * (0.5 * dt * dt);
        }
        const double potential_ev = evaluate_energy_and_gradient(batch, model, scf_workspace,
                                                                 scf_settings, workspace.gradient)
                                        .total_energy_ev;
        take_forces(workspace, workspace.new_accelerations);
        for (std::size_t i = 0; i < n; ++i) {
            for (int k = 0; k < 3; ++k) {
                workspace.velocities[i][k] +=
                    (workspace.accelerations[i][k] + workspace.new_accelerations[i][k]) *
                    (0.5 * dt);
            }
        }
        std::swap(workspace.accelerations, workspace.new_accelerations);
        if (options.use_thermostat)
            apply_berendsen_thermostat(options, n_dof, workspace);

        const double kinetic_ev = kinetic_energy_ev(workspace.masses_amu, workspace.velocities);
        const double temperature = temperature_of(kinetic_ev, n_dof);
        if (step == options.total_steps || step % stride == 0) {
            result.frames.push_back(record_frame(step, batch, workspace,
                                                 static_cast<double>(step) * dt, potential_ev,
                                                 kinetic_ev, temperature));
        }
        temperature_sum += temperature;
        result.final_energy_ev = potential_ev + kinetic_ev;
        result.max_energy_drift_ev =
            std::max(result.max_energy_drift_ev,
                     std::fabs(result.final_energy_ev - result.initial_energy_ev));
    }

    const double run_time_ps = static_cast<double>(options.total_steps) * dt / 1000.0;
    result.energy_drift_ev_per_ps =
        run_time_ps > 1e-12
            ? std::fabs(result.final_energy_ev - result.initial_energy_ev) / run_time_ps
            : 0.0;
    result.average_temperature_k = temperature_sum / static_cast<double>(options.total_steps + 1);
    return result;
}

} // namespace quelm
