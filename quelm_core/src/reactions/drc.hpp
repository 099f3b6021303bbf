#pragma once
// Dynamic reaction coordinate: classical Born–Oppenheimer molecular dynamics on the SCF
// surface. Velocity Verlet moves the nuclei; every step converges the SCF at the new
// geometry and takes the forces from its gradient. NVE starts from the given velocities and
// conserves the total energy; NVT couples to a Berendsen thermostat.
//
// Units: Å, amu, fs, Å/fs, Å/fs², eV, eV/Å, K.

#include "parameters/parameter_model.hpp"
#include "scf/scf_workspace.hpp"
#include "types/molecular_batch.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace quelm {

inline constexpr double boltzmann_ev_per_k = 8.617333262145e-5;
// ½·this·m·v² is the kinetic energy in eV for m in amu and v in Å/fs.
inline constexpr double kinetic_ev_per_amu_angstrom2_fs2 = 103.64269656261541;
// a = F/m × this gives Å/fs² for F in eV/Å and m in amu.
inline constexpr double acceleration_per_ev_angstrom_amu = 0.009648533212331003;

struct ZeroVelocities {};
// Maxwell–Boltzmann velocities at temperature_k, centre-of-mass motion removed, rescaled to
// the exact kinetic energy of that temperature. An absent seed takes the fixed default.
struct MaxwellBoltzmannVelocities {
    double temperature_k = 298.15;
    std::optional<std::uint64_t> seed;
};
// The given vectors scaled by one factor to the given kinetic energy.
struct ScaledDirectionVelocities {
    std::vector<Coordinate> direction_vectors;
    double kinetic_energy_kcal = 0.0;
};
struct CustomVelocities {
    std::vector<Coordinate> velocities; // Å/fs
};
using InitialVelocities = std::variant<ZeroVelocities, MaxwellBoltzmannVelocities,
                                       ScaledDirectionVelocities, CustomVelocities>;

struct DrcOptions {
    InitialVelocities initial_velocities = ZeroVelocities{};
    double time_step_fs = 0.5;
    std::size_t total_steps = 500;
    double temperature_k = 298.15;
    double berendsen_tau_fs = 100.0;
    std::size_t recording_interval = 1; // 0 acts as 1
    double energy_tol_ev = 1e-8;
    double density_tol = 1e-7;
    bool use_thermostat = false;
    bool use_nddo = false;
};

// Per-atom arrays of one run, allocated once.
struct DrcWorkspace {
    std::vector<double> masses_amu;
    std::vector<double> inverse_masses;
    std::vector<Coordinate> velocities;
    std::vector<Coordinate> accelerations;
    std::vector<Coordinate> new_accelerations;
    std::vector<Coordinate> forces;
    std::vector<Coordinate> gradient;

    // Masses from the standard table; every atom must have one (a massless atom would get
    // infinite accelerations): the caller checks with first_massless_atom (types/atomic_masses).
    static DrcWorkspace allocate(const MolecularBatch& batch);
};

struct DrcFrame {
    std::vector<Coordinate> coordinates;
    std::vector<Coordinate> velocities;
    std::vector<Coordinate> forces;
    std::size_t step = 0;
    double time_fs = 0.0;
    double potential_energy_ev = 0.0;
    double kinetic_energy_ev = 0.0;
    double total_energy_ev = 0.0;
    double temperature_k = 0.0;
};

struct DrcResult {
    std::vector<DrcFrame> frames;
    double initial_energy_ev = 0.0;
    double final_energy_ev = 0.0;
    double energy_drift_ev_per_ps = 0.0; // |E_end − E_start| / run time
    double max_energy_drift_ev = 0.0;    // largest |E_k − E_start|
    double average_temperature_k = 0.0;  // over the start and every step
};

// Runs the trajectory; the batch ends at the last geometry. Each SCF starts from the
// converged density of the previous step.
DrcResult run_dynamic_reaction_coordinate(MolecularBatch& batch, const ParameterModel& model,
                                          ScfWorkspace& scf_workspace, DrcWorkspace& workspace,
                                          const DrcOptions& options);

} // namespace quelm
