#pragma once
// Transition-state (first-order saddle point) search by eigenvector following with Baker's
// partitioned rational-function step (P-RFO), in Cartesian coordinates, with a quasi-Newton
// Hessian (Bofill update by default), a trust radius and mode tracking by overlap. The energy
// is the vacuum closed-shell SCF energy; the Hessian is the plain Cartesian one (no mass
// weighting), kcal/(mol·Å²). Steps and the followed mode come from its internal part: the
// rigid translations and rotations are projected out and given a stiff curvature.

#include "opt/hessian_update.hpp"
#include "parameters/parameter_model.hpp"
#include "scf/scf_loop.hpp"
#include "scf/scf_workspace.hpp"
#include "types/aligned_storage.hpp"
#include "types/molecular_batch.hpp"

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

namespace quelm {

struct TransitionStateOptions {
    // Eigenvector (ascending eigenvalue order) to maximise along in the first cycle; absent:
    // the lowest. Must be below 3N.
    std::optional<std::size_t> target_mode;
    // Starting Hessian (3N x 3N, kcal/(mol·Å²)); absent: central differences of gradients.
    std::optional<AlignedMatrix> initial_hessian;
    // One entry per Cartesian coordinate; false freezes it. Empty: all free.
    std::vector<bool> free_coordinates;
    std::size_t max_cycles = 100;
    double grad_rms_tol = 0.1; // kcal/(mol·Å)
    double grad_max_tol = 0.2; // kcal/(mol·Å)
    double trust_radius = 0.1; // Å, initial
    double min_trust_radius = 0.005;
    double max_trust_radius = 0.3;
    double hessian_step = 0.005; // Å, finite-difference step of the initial Hessian
    bool follow_mode = true;
    bool use_nddo = false;
    HessianUpdateKind hessian_update = HessianUpdateKind::bofill;
    // Start every SCF after the first from the previous geometry's converged density.
    bool start_from_previous_density = true;
    // Threads of the initial finite-difference Hessian; 0 uses every core.
    std::size_t max_threads = 0;
};

struct TransitionStateResult {
    ScfResult scf; // the last SCF
    std::size_t cycles = 0;
    double final_energy = 0.0;      // eV, the last SCF total energy
    double heat_of_formation = 0.0; // kcal/mol, from final_energy and the isolated atoms
    double initial_grad_rms = 0.0;  // kcal/(mol·Å)
    double final_grad_rms = 0.0;
    double final_grad_max = 0.0;
    // kcal/(mol·Å²): the followed mode of the last diagonalisation (of the Hessian with the
    // rigid motions projected out).
    double ts_mode_eigenvalue = 0.0;
    std::size_t ts_mode_index = 0; // its position in ascending order
    AlignedMatrix hessian;         // final quasi-Newton Hessian
    bool converged = false;
};

// Scratch of the search for 3N coordinates.
struct EigenvectorFollowingWorkspace {
    std::vector<double> gradient_kcal;
    std::vector<double> previous_gradient_kcal;
    std::vector<double> step;      // Cartesian, Å
    std::vector<double> mode_step; // in the eigenvector basis
    std::vector<double> mode_gradient;
    std::vector<double> followed_mode;
    std::vector<double> gradient_change;
    AlignedVec64 eigenvalues;
    AlignedMatrix eigenvectors;
    AlignedMatrix eigen_work;
    AlignedMatrix effective_hessian;                // rigid motions projected out and stiffened
    std::vector<std::array<double, 3>> gradient_ev; // per atom, eV/Å
    HessianUpdateWorkspace update;
    static EigenvectorFollowingWorkspace allocate(std::size_t n_coordinates);
};

// Searches from the batch's coordinates; the batch holds the last geometry on return.
// Convergence needs both gradient thresholds met at a converged SCF with the followed mode
// of negative curvature; otherwise `converged` is false after max_cycles. target_mode must be
// below 3N (InternalError otherwise; callers validate it).
TransitionStateResult optimize_transition_state(MolecularBatch& batch, const ParameterModel& model,
                                                ScfWorkspace& workspace,
                                                EigenvectorFollowingWorkspace& ef_workspace,
                                                const TransitionStateOptions& options);

// The starting Hessian: central differences (step h, Å) of gradients at SCFs converged from
// the workspace's density, which must be the converged density at the batch's geometry and is
// left in place. Frozen coordinates get 500 on the diagonal and are not displaced.
AlignedMatrix compute_initial_cartesian_hessian(const MolecularBatch& batch,
                                                const ParameterModel& model,
                                                const ScfWorkspace& workspace, double h,
                                                bool use_nddo,
                                                const std::vector<bool>& free_coordinates,
                                                std::size_t max_threads = 0);

} // namespace quelm
