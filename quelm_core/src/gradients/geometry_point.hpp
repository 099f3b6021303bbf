#pragma once
// One point of a geometry driver (optimisers, Hessian, reaction paths, dynamics): the SCF at
// the batch's current coordinates and the energy gradient there.
//
// A driver moves atoms by small steps, so the converged density of the previous point is an
// excellent start for the next SCF: it typically halves the iterations of a cold start. The
// workspace carries that density from one call to the next; converged results do not depend
// on it beyond the SCF tolerances.

#include "parameters/parameter_model.hpp"
#include "scf/scf_loop.hpp"
#include "scf/scf_workspace.hpp"
#include "types/molecular_batch.hpp"

#include <array>
#include <cstddef>
#include <vector>

namespace quelm {

// How a driver converges each of its SCFs (vacuum, retry ladder).
struct DriverScfSettings {
    std::size_t max_iter = 50;
    double energy_tol_ev = 1e-7;
    double density_tol = 1e-6;
    bool use_nddo = true;
    // Start from the density the workspace holds from the previous point.
    bool start_from_previous_density = true;
};

// Runs the SCF retry ladder at the batch's coordinates and fills `gradient` (one (gx, gy, gz)
// per atom, eV/Å) from the converged density. The workspace keeps that density for the next
// point. `gradient` is resized to n_atoms if needed (drivers pass the same buffer every time).
ScfResult evaluate_energy_and_gradient(MolecularBatch& batch, const ParameterModel& model,
                                       ScfWorkspace& workspace, const DriverScfSettings& settings,
                                       std::vector<std::array<double, 3>>& gradient);

} // namespace quelm
