#pragma once
// Geometry minimisation of the closed-shell SCF energy over Cartesian coordinates by
// limited-memory BFGS (Nocedal's two-loop recursion, Math. Comp. 35, 773 (1980)).
//
// Every cycle costs one SCF and one gradient: there is no line search and no step rejection.
// The step is the quasi-Newton direction, scaled down as a whole when any atom would move more
// than max_step. Each SCF starts from the converged density of the previous geometry.

#include "parameters/parameter_model.hpp"
#include "scf/scf_loop.hpp"
#include "scf/scf_workspace.hpp"
#include "types/molecular_batch.hpp"

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace quelm {

struct LbfgsOptions {
    // One flag per Cartesian coordinate (x, y, z of atom 0, then atom 1, ...): true moves,
    // false is frozen. Absent: every coordinate moves.
    std::optional<std::vector<bool>> frozen_mask;
    std::size_t max_cycles = 100;
    double grad_rms_tol = 1.0; // kcal/(mol·Å)
    double grad_max_tol = 2.0; // kcal/(mol·Å)
    double energy_tol = 1e-5;  // eV, of the second convergence test
    double max_step = 0.2;     // Å, largest displacement of one atom in one cycle
    std::size_t memory = 6;    // correction pairs kept, at least 1
    bool use_nddo = false;
    // Iterations of the first rung of each SCF's retry ladder.
    std::size_t scf_max_iter = 50;
};

struct LbfgsResult {
    ScfResult scf; // the SCF at the final geometry
    std::size_t cycles = 0;
    double initial_energy = 0.0;   // eV
    double final_energy = 0.0;     // eV
    double initial_grad_rms = 0.0; // kcal/(mol·Å)
    double final_grad_rms = 0.0;   // kcal/(mol·Å)
    double final_grad_max = 0.0;   // kcal/(mol·Å)
    bool converged = false;
};

struct GradientNorms {
    double rms = 0.0; // kcal/(mol·Å)
    double max = 0.0; // kcal/(mol·Å)
};

// Convergence measures of a gradient (one (gx, gy, gz) per atom, eV/Å), in kcal/(mol·Å).
// Without a mask: the root mean square and the largest of the per-atom gradient norms. With a
// mask (one flag per coordinate, true = free): the root mean square and the largest magnitude
// of the free components. No atoms, or no free coordinate, gives zeros.
GradientNorms compute_effective_gradient_norms(std::span<const Coordinate> gradient,
                                               std::size_t atom_count,
                                               const std::optional<std::vector<bool>>& mask);

// Minimises the SCF total energy from the batch's coordinates, which are overwritten by every
// geometry the optimiser visits and hold the final one on return. The workspace must be
// allocated for the batch's basis. Never fails: non-convergence is reported in the result, and
// a geometry counts as converged only when its own SCF converged. A wrong-sized mask, a memory
// of 0 or a non-positive max_step break the caller's contract and throw InternalError.
LbfgsResult optimize_geometry_lbfgs(MolecularBatch& batch, const ParameterModel& model,
                                    ScfWorkspace& workspace, const LbfgsOptions& options);

} // namespace quelm
