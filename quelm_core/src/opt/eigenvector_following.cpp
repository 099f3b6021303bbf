// Eigenvector following with the partitioned rational-function step (P-RFO; Baker,
// J. Comput. Chem. 7, 385 (1986)).
//
// In the eigenbasis of the Hessian (eigenvalues b_i, gradient components F_i) the step
// maximises along one mode u and minimises along all others. Along u the shift is the
// upper root of the 2x2 RFO problem, λ_p = ½(b_u + sqrt(b_u² + 4F_u²)), so the step
// F_u/(λ_p − b_u) goes uphill whatever the sign of b_u; for the others the shift λ is the root
// of λ = Σ F_i²/(λ − b_i) below the lowest of their eigenvalues, found by bracketing and
// bisection, so every step F_i/(λ − b_i) goes downhill. The step is capped at the trust radius,
// which grows when the quadratic model predicted the energy change well and shrinks when it
// did not; the Hessian follows the steps by Bofill's update. The followed mode is re-selected
// each cycle as the eigenvector of largest overlap with the previous one, so the search stays
// on one reaction coordinate when eigenvalues cross.

#include "opt/eigenvector_following.hpp"

#include "gradients/geometry_point.hpp"
#include "opt/lbfgs.hpp"
#include "properties/heat.hpp"
#include "scf/eigensolver.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"
#include "vibrations/finite_difference_hessian.hpp"
#include "vibrations/normal_modes.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

namespace quelm {

namespace {

double* coordinate_array(MolecularBatch& batch, std::size_t axis) {
    return axis == 0 ? batch.coords_x.data()
                     : (axis == 1 ? batch.coords_y.data() : batch.coords_z.data());
}

bool is_free(const std::vector<bool>& free_coordinates, std::size_t c) {
    return free_coordinates.empty() || free_coordinates[c];
}

// The SCF and gradient at the batch's coordinates; fills the kcal/(mol·Å) gradient (frozen
// components zeroed) and returns the SCF record with the norms.
struct PointEvaluation {
    ScfResult scf;
    GradientNorms norms;
};

PointEvaluation evaluate_point(MolecularBatch& batch, const ParameterModel& model,
                               ScfWorkspace& workspace, const DriverScfSettings& settings,
                               EigenvectorFollowingWorkspace& ef,
                               const std::vector<bool>& free_coordinates) {
    PointEvaluation point;
    point.scf = evaluate_energy_and_gradient(batch, model, workspace, settings, ef.gradient_ev);
    for (std::size_t c = 0; c < 3 * batch.n_atoms; ++c) {
        if (!is_free(free_coordinates, c))
            ef.gradient_ev[c / 3][c % 3] = 0.0;
    }
    point.norms = compute_effective_gradient_norms(
        ef.gradient_ev, batch.n_atoms,
        free_coordinates.empty() ? std::nullopt
                                 : std::optional<std::vector<bool>>(free_coordinates));
    for (std::size_t c = 0; c < 3 * batch.n_atoms; ++c)
        ef.gradient_kcal[c] = kcal_mol_per_ev * ef.gradient_ev[c / 3][c % 3];
    return point;
}

// f(λ) = −λ + Σ_{i≠u} F_i²/(λ − b_i), leaving out poles closer than 1e-15.
double rfo_secular(double lambda, const AlignedVec64& b, const std::vector<double>& f,
                   std::size_t u) {
    double value = -lambda;
    for (std::size_t i = 0; i < b.size(); ++i) {
        if (i == u)
            continue;
        const double gap = lambda - b[i];
        if (std::fabs(gap) > 1e-15)
            value += f[i] * f[i] / gap;
    }
    return value;
}

// The minimisation shift: the root of rfo_secular below the lowest eigenvalue other than u.
double minimisation_shift(const AlignedVec64& b, const std::vector<double>& f, std::size_t u) {
    double lowest = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < b.size(); ++i) {
        if (i != u)
            lowest = std::min(lowest, b[i]);
    }
    if (!std::isfinite(lowest))
        return 0.0;
    double upper = lowest - 1e-5;
    if (!(rfo_secular(upper, b, f, u) < 0.0))
        upper = lowest - 0.001;
    double lower = upper - 1.0;
    if (rfo_secular(lower, b, f, u) <= 0.0) {
        bool bracketed = false;
        for (int t = 1; t <= 60 && !bracketed; ++t) {
            lower -= std::ldexp(1.0, t);
            bracketed = rfo_secular(lower, b, f, u) > 0.0;
        }
        if (!bracketed)
            return lowest - 1.0;
    }
    if (std::fabs(upper - lower) > 1e-9) {
        for (int iteration = 0; iteration < 100; ++iteration) {
            const double mid = 0.5 * (upper + lower);
            const double value = rfo_secular(mid, b, f, u);
            if (std::fabs(value) < 1e-12)
                return mid;
            if (value > 0.0)
                lower = mid;
            else
                upper = mid;
            if (std::fabs(upper - lower) <= 1e-9)
                break;
        }
    }
    return 0.5 * (upper + lower);
}

// Curvature given to rigid translations and rotations in the Hessian the steps are taken
// from, kcal/(mol·Å²): far above any soft internal mode, so these directions are never the
// one followed uphill and take no step.
constexpr double rigid_motion_curvature = 1000.0;

// Diagonalises H_eff = P H P + k (I − P), P removing the rigid translations and rotations at
// the batch's geometry. The energy does not change along them, so the quasi-Newton Hessian
// learns nothing about them from the steps: at a start away from a stationary point their
// curvature is whatever the finite differences gave (often negative for rotations), and the
// search would maximise along a rotation and end on a minimum with a spurious negative
// eigenvalue. Only internal motions can be followed this way.
void diagonalise(const MolecularBatch& batch, const AlignedMatrix& hessian,
                 EigenvectorFollowingWorkspace& ef) {
    const std::vector<double> unit_masses(batch.n_atoms, 1.0);
    const std::vector<std::vector<double>> rigid = rigid_body_vectors(batch, unit_masses);
    AlignedMatrix& shifted = ef.effective_hessian;
    for (std::size_t k = 0; k < hessian.size(); ++k)
        shifted.data()[k] = hessian.data()[k];
    project_out(shifted, rigid);
    for (const std::vector<double>& v : rigid) {
        for (std::size_t i = 0; i < v.size(); ++i)
            for (std::size_t j = 0; j < v.size(); ++j)
                shifted(i, j) += rigid_motion_curvature * v[i] * v[j];
    }
    diagonalize_symmetric_with_work(shifted, ef.eigen_work, ef.eigenvalues, ef.eigenvectors);
}

// Column j of the eigenvector matrix dotted with v.
double column_dot(const AlignedMatrix& v_matrix, std::size_t j, const std::vector<double>& v) {
    double sum = 0.0;
    for (std::size_t i = 0; i < v.size(); ++i)
        sum += v_matrix(i, j) * v[i];
    return sum;
}

double heat_of_formation_kcal(const MolecularBatch& batch, const ParameterModel& model,
                              double energy_ev) {
    return quelm::heat_of_formation_kcal(sum_isolated_atom_references(batch.atomic_numbers, model),
                                         energy_ev);
}

} // namespace

EigenvectorFollowingWorkspace EigenvectorFollowingWorkspace::allocate(std::size_t n_coordinates) {
    EigenvectorFollowingWorkspace ef;
    for (std::vector<double>* v :
         {&ef.gradient_kcal, &ef.previous_gradient_kcal, &ef.step, &ef.mode_step, &ef.mode_gradient,
          &ef.followed_mode, &ef.gradient_change}) {
        v->assign(n_coordinates, 0.0);
    }
    ef.eigenvalues = AlignedVec64(n_coordinates);
    ef.eigenvectors = AlignedMatrix(n_coordinates, n_coordinates);
    ef.eigen_work = AlignedMatrix(n_coordinates, n_coordinates);
    ef.effective_hessian = AlignedMatrix(n_coordinates, n_coordinates);
    ef.gradient_ev.assign(n_coordinates / 3, {0.0, 0.0, 0.0});
    ef.update.ensure_capacity(n_coordinates);
    return ef;
}

AlignedMatrix compute_initial_cartesian_hessian(
    const MolecularBatch& batch, const ParameterModel& model, const ScfWorkspace& workspace,
    double h, bool use_nddo, const std::vector<bool>& free_coordinates, std::size_t max_threads) {
    FiniteDifferenceHessianSettings settings;
    settings.step_angstrom = h;
    settings.scf.max_iter = 50;
    settings.scf.energy_tol_ev = 1e-7;
    settings.scf.density_tol = 1e-6;
    settings.scf.use_nddo = use_nddo;
    settings.free_coordinates = free_coordinates;
    settings.max_threads = max_threads;
    // A column from an SCF that failed even the retry ladder is only a poorer start: the
    // quasi-Newton updates correct it, and convergence is judged on converged gradients.
    return compute_finite_difference_hessian(batch, model, workspace.density, settings).hessian;
}

TransitionStateResult optimize_transition_state(MolecularBatch& batch, const ParameterModel& model,
                                                ScfWorkspace& workspace,
                                                EigenvectorFollowingWorkspace& ef,
                                                const TransitionStateOptions& options) {
    const std::size_t n = 3 * batch.n_atoms;
    if (ef.step.size() != n)
        throw InternalError(size_mismatch("eigenvector-following workspace", ef.step.size(), n));
    if (options.target_mode && *options.target_mode >= n) {
        throw InternalError("target_mode " + std::to_string(*options.target_mode) +
                            " is not below 3N = " + std::to_string(n));
    }
    const std::vector<bool>& mask = options.free_coordinates;

    TransitionStateResult result;
    DriverScfSettings scf_settings;
    scf_settings.max_iter = 50;
    scf_settings.energy_tol_ev = 1e-7;
    scf_settings.density_tol = 1e-6;
    scf_settings.use_nddo = options.use_nddo;
    scf_settings.start_from_previous_density = false; // the first point starts cold
    workspace.restart();
    PointEvaluation point = evaluate_point(batch, model, workspace, scf_settings, ef, mask);
    scf_settings.start_from_previous_density = options.start_from_previous_density;
    result.initial_grad_rms = point.norms.rms;

    AlignedMatrix hessian;
    if (options.initial_hessian) {
        require_shape(*options.initial_hessian, n, "initial Hessian");
        hessian = *options.initial_hessian;
    } else {
        hessian = compute_initial_cartesian_hessian(batch, model, workspace, options.hessian_step,
                                                    options.use_nddo, mask, options.max_threads);
    }

    double energy_old = point.scf.total_energy_ev;
    double radius = options.trust_radius;
    std::size_t u = options.target_mode.value_or(0);
    if (options.max_cycles == 0 && n > 0) {
        // Nothing moves: the transition mode is read from the starting Hessian.
        diagonalise(batch, hessian, ef);
        result.ts_mode_index = u;
        result.ts_mode_eigenvalue = ef.eigenvalues[u];
    }
    for (std::size_t cycle = 1; cycle <= options.max_cycles && n > 0; ++cycle) {
        diagonalise(batch, hessian, ef);
        const AlignedVec64& b = ef.eigenvalues;
        const AlignedMatrix& v = ef.eigenvectors;
        if (cycle > 1 && options.follow_mode) {
            double best = -1.0;
            for (std::size_t j = 0; j < n; ++j) {
                const double overlap = std::fabs(column_dot(v, j, ef.followed_mode));
                if (overlap > best) {
                    best = overlap;
                    u = j;
                }
            }
        }
        for (std::size_t i = 0; i < n; ++i)
            ef.followed_mode[i] = v(i, u);
        result.ts_mode_index = u;
        result.ts_mode_eigenvalue = b[u];

        std::vector<double>& f = ef.mode_gradient;
        for (std::size_t j = 0; j < n; ++j)
            f[j] = column_dot(v, j, ef.gradient_kcal);
        std::vector<double>& mode_step = ef.mode_step;
        const double d = 0.5 * (b[u] + std::sqrt(b[u] * b[u] + 4.0 * f[u] * f[u])) - b[u];
        mode_step[u] = std::fabs(d) > 1e-12 ? f[u] / d : 0.0;
        const double lambda = minimisation_shift(b, f, u);
        for (std::size_t i = 0; i < n; ++i) {
            if (i == u)
                continue;
            const double gap = lambda - b[i];
            mode_step[i] = std::fabs(gap) > 1e-12 ? f[i] / gap : 0.0;
        }

        double length2 = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            double x = 0.0;
            for (std::size_t j = 0; j < n; ++j)
                x += v(i, j) * mode_step[j];
            ef.step[i] = is_free(mask, i) ? x : 0.0;
            length2 += ef.step[i] * ef.step[i];
        }
        const double length = std::sqrt(length2);
        const double scale = length > radius && length > 1e-14 ? radius / length : 1.0;
        double predicted = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            const double s = scale * mode_step[i];
            predicted += f[i] * s + 0.5 * b[i] * s * s;
        }

        ef.previous_gradient_kcal = ef.gradient_kcal;
        for (std::size_t c = 0; c < n; ++c) {
            ef.step[c] *= scale;
            coordinate_array(batch, c % 3)[c / 3] += ef.step[c];
        }
        point = evaluate_point(batch, model, workspace, scf_settings, ef, mask);
        const double actual = (point.scf.total_energy_ev - energy_old) * kcal_mol_per_ev;

        if (std::fabs(predicted) > 1e-5) {
            const double ratio = actual / predicted;
            if (ratio <= 0.1 || ratio >= 3.0) {
                radius = std::max(0.5 * std::min(radius, length), options.min_trust_radius);
            } else if (ratio >= 0.75 && ratio <= 1.33 && length >= 0.85 * radius) {
                radius = std::min(radius * 1.4142135623730951, options.max_trust_radius);
            }
        }

        result.cycles = cycle;
        // A stationary point is a transition state only with a converged SCF behind its
        // gradient and negative curvature along the followed mode.
        if (point.norms.rms < options.grad_rms_tol && point.norms.max < options.grad_max_tol &&
            point.scf.converged && b[u] < 0.0) {
            result.converged = true;
            break;
        }
        for (std::size_t c = 0; c < n; ++c)
            ef.gradient_change[c] = ef.gradient_kcal[c] - ef.previous_gradient_kcal[c];
        update_cartesian_hessian(hessian, ef.step, ef.gradient_change, options.hessian_update,
                                 ef.update);
        energy_old = point.scf.total_energy_ev;
    }

    result.scf = point.scf;
    result.final_energy = point.scf.total_energy_ev;
    result.heat_of_formation = heat_of_formation_kcal(batch, model, result.final_energy);
    result.final_grad_rms = point.norms.rms;
    result.final_grad_max = point.norms.max;
    result.hessian = std::move(hessian);
    return result;
}

} // namespace quelm
