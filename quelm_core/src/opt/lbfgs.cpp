// L-BFGS geometry minimisation (Nocedal 1980; Liu & Nocedal, Math. Prog. 45, 503 (1989)).
//
// The inverse Hessian is never stored: the two-loop recursion applies it from the last few
// pairs (s, y) of steps and gradient changes, on top of a diagonal scale γ = s·y / y·y taken
// from the newest pair (the curvature along the last step). A pair with s·y ≤ 0 would make
// the implied Hessian indefinite, so it is dropped. Without a line search the step length
// comes only from that model and the per-atom cap, which keeps a poor early model (γ = 1 Å²/eV
// on the first step) from throwing atoms apart.
//
// A converged density of the previous geometry starts each SCF: the steps are small, so it
// is close to the new solution and the SCF needs a fraction of a cold start's iterations.

#include "opt/lbfgs.hpp"

#include "gradients/geometry_point.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

namespace quelm {
namespace {

// Below this s·y a pair carries no usable curvature (and 1/(s·y) would blow up).
constexpr double min_curvature = 1e-12;

double dot(const std::vector<double>& a, const std::vector<double>& b) {
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += a[i] * b[i];
    return sum;
}

// y ← y + factor·x
void add_scaled(std::vector<double>& y, double factor, const std::vector<double>& x) {
    for (std::size_t i = 0; i < y.size(); ++i)
        y[i] += factor * x[i];
}

// The last `capacity` correction pairs, oldest first. Slots are allocated as pairs arrive
// (never more than the run can fill) and then reused in a ring.
class CorrectionHistory {
  public:
    explicit CorrectionHistory(std::size_t capacity) : capacity_(capacity) {}

    std::size_t size() const { return count_; }
    const std::vector<double>& s(std::size_t i) const { return steps_[slot(i)]; }
    const std::vector<double>& y(std::size_t i) const { return gradient_changes_[slot(i)]; }
    double rho(std::size_t i) const { return rho_[slot(i)]; }

    // Appends (s, y) with ρ = 1/(s·y), dropping the oldest pair when full.
    void add(const std::vector<double>& s, const std::vector<double>& y, double s_dot_y) {
        std::size_t target = 0;
        if (count_ < capacity_) {
            target = count_;
            if (steps_.size() == count_) {
                steps_.emplace_back(s.size());
                gradient_changes_.emplace_back(s.size());
                rho_.push_back(0.0);
            }
            ++count_;
        } else {
            target = oldest_;
            oldest_ = (oldest_ + 1) % capacity_;
        }
        steps_[target] = s;
        gradient_changes_[target] = y;
        rho_[target] = 1.0 / s_dot_y;
    }

  private:
    std::size_t slot(std::size_t i) const { return (oldest_ + i) % capacity_; }

    std::size_t capacity_;
    std::size_t oldest_ = 0;
    std::size_t count_ = 0;
    std::vector<std::vector<double>> steps_;
    std::vector<std::vector<double>> gradient_changes_;
    std::vector<double> rho_;
};

// r = H⁻¹·g by the two-loop recursion; `alpha` is scratch.
void apply_inverse_hessian(const CorrectionHistory& history, const std::vector<double>& gradient,
                           std::vector<double>& alpha, std::vector<double>& r) {
    const std::size_t m = history.size();
    alpha.resize(m);
    r = gradient;
    for (std::size_t k = m; k-- > 0;) {
        alpha[k] = history.rho(k) * dot(history.s(k), r);
        add_scaled(r, -alpha[k], history.y(k));
    }
    double gamma = 1.0;
    if (m > 0) {
        const double y_dot_y = dot(history.y(m - 1), history.y(m - 1));
        if (std::fabs(y_dot_y) > min_curvature)
            gamma = dot(history.s(m - 1), history.y(m - 1)) / y_dot_y;
    }
    for (double& value : r)
        value *= gamma;
    for (std::size_t k = 0; k < m; ++k) {
        const double beta = history.rho(k) * dot(history.y(k), r);
        add_scaled(r, alpha[k] - beta, history.s(k));
    }
}

double largest_atom_displacement(const std::vector<double>& vector) {
    double largest = 0.0;
    for (std::size_t i = 0; i + 2 < vector.size(); i += 3) {
        largest =
            std::max(largest, std::sqrt(vector[i] * vector[i] + vector[i + 1] * vector[i + 1] +
                                        vector[i + 2] * vector[i + 2]));
    }
    return largest;
}

void apply_mask(const std::optional<std::vector<bool>>& mask, std::vector<double>& vector) {
    if (!mask)
        return;
    for (std::size_t i = 0; i < vector.size(); ++i) {
        if (!(*mask)[i])
            vector[i] = 0.0;
    }
}

void read_coordinates(const MolecularBatch& batch, std::vector<double>& x) {
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        x[3 * a] = batch.coords_x[a];
        x[3 * a + 1] = batch.coords_y[a];
        x[3 * a + 2] = batch.coords_z[a];
    }
}

void write_coordinates(const std::vector<double>& x, MolecularBatch& batch) {
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        batch.coords_x[a] = x[3 * a];
        batch.coords_y[a] = x[3 * a + 1];
        batch.coords_z[a] = x[3 * a + 2];
    }
}

void check_options(const LbfgsOptions& options, std::size_t dimension) {
    if (options.memory == 0)
        throw InternalError("L-BFGS memory must hold at least one correction pair");
    if (!(options.max_step > 0.0)) {
        throw InternalError("L-BFGS max_step must be positive, got " +
                            std::to_string(options.max_step));
    }
    if (options.frozen_mask && options.frozen_mask->size() != dimension)
        throw InternalError(
            size_mismatch("L-BFGS frozen mask", options.frozen_mask->size(), dimension));
}

// One geometry: its SCF, gradient (flattened, frozen components zeroed) and norms.
struct PointEvaluation {
    ScfResult scf;
    GradientNorms norms;
};

class PointEvaluator {
  public:
    PointEvaluator(MolecularBatch& batch, const ParameterModel& model, ScfWorkspace& workspace,
                   const LbfgsOptions& options)
        : batch_(batch), model_(model), workspace_(workspace), options_(options),
          rows_(batch.n_atoms) {
        settings_.max_iter = options.scf_max_iter;
        settings_.use_nddo = options.use_nddo;
        // The workspace holds no density of this molecule yet.
        settings_.start_from_previous_density = false;
    }

    PointEvaluation evaluate(std::vector<double>& gradient) {
        PointEvaluation point;
        point.scf = evaluate_energy_and_gradient(batch_, model_, workspace_, settings_, rows_);
        // Only a converged density is a good start; after a failure the next SCF starts cold.
        settings_.start_from_previous_density = point.scf.converged;
        point.norms = compute_effective_gradient_norms(rows_, batch_.n_atoms, options_.frozen_mask);
        for (std::size_t a = 0; a < batch_.n_atoms; ++a) {
            for (std::size_t k = 0; k < 3; ++k)
                gradient[3 * a + k] = rows_[a][k];
        }
        apply_mask(options_.frozen_mask, gradient);
        return point;
    }

  private:
    MolecularBatch& batch_;
    const ParameterModel& model_;
    ScfWorkspace& workspace_;
    const LbfgsOptions& options_;
    DriverScfSettings settings_;
    std::vector<Coordinate> rows_;
};

// A gradient that is small at a geometry whose SCF did not converge belongs to no energy
// surface, so it never ends the run as a minimum.
bool meets_gradient_test(const PointEvaluation& point, const LbfgsOptions& options) {
    return point.scf.converged && point.norms.rms < options.grad_rms_tol &&
           point.norms.max < options.grad_max_tol;
}

bool meets_energy_test(const PointEvaluation& point, double previous_energy,
                       const LbfgsOptions& options) {
    return point.scf.converged &&
           std::fabs(point.scf.total_energy_ev - previous_energy) < options.energy_tol &&
           point.norms.rms < 2.0 * options.grad_rms_tol;
}

void record_final_point(const PointEvaluation& point, LbfgsResult& result) {
    result.scf = point.scf;
    result.final_energy = point.scf.total_energy_ev;
    result.final_grad_rms = point.norms.rms;
    result.final_grad_max = point.norms.max;
}

} // namespace

GradientNorms compute_effective_gradient_norms(std::span<const Coordinate> gradient,
                                               std::size_t atom_count,
                                               const std::optional<std::vector<bool>>& mask) {
    GradientNorms norms;
    double sum_of_squares = 0.0;
    std::size_t counted = 0;
    for (std::size_t a = 0; a < atom_count; ++a) {
        if (mask) {
            for (std::size_t k = 0; k < 3; ++k) {
                if (!(*mask)[3 * a + k])
                    continue;
                const double component = gradient[a][k] * kcal_mol_per_ev;
                sum_of_squares += component * component;
                norms.max = std::max(norms.max, std::fabs(component));
                ++counted;
            }
        } else {
            const double gx = gradient[a][0] * kcal_mol_per_ev;
            const double gy = gradient[a][1] * kcal_mol_per_ev;
            const double gz = gradient[a][2] * kcal_mol_per_ev;
            const double squared = gx * gx + gy * gy + gz * gz;
            sum_of_squares += squared;
            norms.max = std::max(norms.max, std::sqrt(squared));
            ++counted;
        }
    }
    // Nothing to measure (no atoms, or every coordinate frozen): nothing left to minimise.
    if (counted > 0)
        norms.rms = std::sqrt(sum_of_squares / static_cast<double>(counted));
    return norms;
}

LbfgsResult optimize_geometry_lbfgs(MolecularBatch& batch, const ParameterModel& model,
                                    ScfWorkspace& workspace, const LbfgsOptions& options) {
    const std::size_t dimension = 3 * batch.n_atoms;
    check_options(options, dimension);

    std::vector<double> x(dimension);
    std::vector<double> gradient(dimension);
    std::vector<double> new_gradient(dimension);
    std::vector<double> step(dimension);
    std::vector<double> gradient_change(dimension);
    std::vector<double> alpha;
    read_coordinates(batch, x);

    PointEvaluator evaluator(batch, model, workspace, options);
    const PointEvaluation start = evaluator.evaluate(gradient);
    LbfgsResult result;
    result.initial_energy = start.scf.total_energy_ev;
    result.initial_grad_rms = start.norms.rms;
    record_final_point(start, result);
    if (meets_gradient_test(start, options)) {
        result.converged = true;
        return result;
    }

    CorrectionHistory history(options.memory);
    double previous_energy = start.scf.total_energy_ev;
    for (std::size_t cycle = 1; cycle <= options.max_cycles; ++cycle) {
        apply_inverse_hessian(history, gradient, alpha, step);
        // The quasi-Newton step is −H⁻¹g, shortened as a whole so no atom moves more than
        // max_step: the direction is kept, only its length is capped.
        const double largest = largest_atom_displacement(step);
        const double scale = largest > options.max_step ? options.max_step / largest : 1.0;
        for (double& value : step)
            value *= -scale;
        apply_mask(options.frozen_mask, step);
        add_scaled(x, 1.0, step);
        write_coordinates(x, batch);

        const PointEvaluation point = evaluator.evaluate(new_gradient);
        result.cycles = cycle;
        record_final_point(point, result);
        if (meets_gradient_test(point, options) ||
            meets_energy_test(point, previous_energy, options)) {
            result.converged = true;
            return result;
        }

        for (std::size_t i = 0; i < dimension; ++i)
            gradient_change[i] = new_gradient[i] - gradient[i];
        const double s_dot_y = dot(step, gradient_change);
        if (s_dot_y > min_curvature)
            history.add(step, gradient_change, s_dot_y);
        gradient.swap(new_gradient);
        previous_energy = point.scf.total_energy_ev;
    }
    return result;
}

} // namespace quelm
