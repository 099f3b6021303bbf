#pragma once
// Cartesian gradient of one CI root's total energy E_SCF + λ_root (eV/Å).
//
// The CI sits on SCF orbitals that are not optimised for it, so the root energy is not
// stationary in the orbitals and no frozen-density formula gives its derivative (the
// mean-field energy of the root's density differs from the root energy by the active
// pair correlation). The gradient is the central difference of the root energy itself,
// each displaced SCF starting from the converged density of the previous one.

#include "ci/meci.hpp"
#include "parameters/parameter_model.hpp"
#include "scf/scf_workspace.hpp"
#include "types/molecular_batch.hpp"

#include <vector>

namespace quelm {

// Displacement of each central difference, Å.
inline constexpr double ci_gradient_step_angstrom = 1e-3;

// One (gx, gy, gz) per atom in eV/Å. `scf_workspace` holds the converged SCF of the batch's
// geometry (its density seeds the displaced runs) and is left with the last displaced run;
// the coordinates are restored. A displaced SCF that does not converge on the retry ladder
// makes the gradient empty.
std::vector<Coordinate> compute_ci_root_gradient(MolecularBatch& batch, const ParameterModel& model,
                                                 const MeciOptions& options,
                                                 ScfWorkspace& scf_workspace,
                                                 MeciWorkspace& meci_workspace);

} // namespace quelm
