// Gonzalez–Schlegel IRC in mass-weighted coordinates q = √m·x.
//
// Each step of arc length h goes from the current point q along the descent direction d to
// a trial point t = q + h·d, then corrects t on the sphere of radius h/2 around the pivot
// P = q + (h/2)·d until the gradient at t points back at P: the path between successive
// points is then a circular arc tangent to the gradient at both ends. The first step
// leaves the transition state along the imaginary normal mode.

#include "reactions/irc.hpp"

#include "gradients/geometry_point.hpp"
#include "properties/heat.hpp"
#include "types/atomic_masses.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"
#include "vibrations/hessian.hpp"

#include <algorithm>
#include <cmath>

namespace quelm {
namespace {

double norm(const std::vector<double>& v) {
    double sum = 0.0;
    for (double x : v)
        sum += x * x;
    return std::sqrt(sum);
}

// The energy, heat of formation and gradient norms of one evaluated geometry.
struct PointValues {
    double energy_ev = 0.0;
    double heat_of_formation_kcal = 0.0;
    double cartesian_gradient_rms = 0.0;
    double mass_weighted_gradient_rms = 0.0;
};

// SCF and gradient at the batch's geometry; leaves the mass-weighted gradient
// p = g/√m (kcal/(mol·Å·amu^½)) in the workspace.
PointValues evaluate_point(MolecularBatch& batch, const ParameterModel& model,
                           ScfWorkspace& scf_workspace, IrcWorkspace& workspace,
                           const DriverScfSettings& settings,
                           const IsolatedAtomReference& references) {
    PointValues values;
    values.energy_ev =
        evaluate_energy_and_gradient(batch, model, scf_workspace, settings, workspace.gradient)
            .total_energy_ev;
    values.heat_of_formation_kcal = heat_of_formation_kcal(references, values.energy_ev);
    double cartesian_sum = 0.0, mass_weighted_sum = 0.0;
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        for (std::size_t k = 0; k < 3; ++k) {
            const double g = workspace.gradient[a][k] * kcal_mol_per_ev;
            const double p = g / workspace.sqrt_masses[a];
            workspace.mass_weighted_gradient[3 * a + k] = p;
            cartesian_sum += g * g;
            mass_weighted_sum += p * p;
        }
    }
    const double n_coordinates = 3.0 * static_cast<double>(batch.n_atoms);
    values.cartesian_gradient_rms = std::sqrt(cartesian_sum / n_coordinates);
    values.mass_weighted_gradient_rms = std::sqrt(mass_weighted_sum / n_coordinates);
    return values;
}

void set_geometry(MolecularBatch& batch, const IrcWorkspace& workspace,
                  const std::vector<double>& mass_weighted) {
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        batch.coords_x[a] = mass_weighted[3 * a] / workspace.sqrt_masses[a];
        batch.coords_y[a] = mass_weighted[3 * a + 1] / workspace.sqrt_masses[a];
        batch.coords_z[a] = mass_weighted[3 * a + 2] / workspace.sqrt_masses[a];
    }
}

IrcPoint make_point(const MolecularBatch& batch, double path_coordinate,
                    const PointValues& values) {
    IrcPoint point;
    point.coordinates = batch.positions();
    point.path_coordinate = path_coordinate;
    point.energy_ev = values.energy_ev;
    point.heat_of_formation_kcal = values.heat_of_formation_kcal;
    point.cartesian_gradient_rms = values.cartesian_gradient_rms;
    point.mass_weighted_gradient_rms = values.mass_weighted_gradient_rms;
    return point;
}

// The imaginary mode of the transition state's Hessian, mass-weighted and normalised. Only
// vibrations are candidates: a projected translation or rotation whose eigenvalue came out
// slightly negative by round-off is no reaction coordinate. Without an imaginary vibration
// the x axis of atom 0 is used.
void find_transition_vector(MolecularBatch& batch, const ParameterModel& model,
                            ScfWorkspace& scf_workspace, IrcWorkspace& workspace,
                            const IrcOptions& options) {
    std::vector<double>& v = workspace.transition_vector;
    std::fill(v.begin(), v.end(), 0.0);
    ScfOptions scf;
    scf.max_iter = 60;
    scf.energy_tol_ev = 1e-8;
    scf.density_tol = 1e-7;
    scf.use_nddo = options.use_nddo;
    HessianOptions hessian;
    hessian.use_nddo = options.use_nddo;
    const HessianResult result =
        compute_hessian_and_frequencies(batch, model, scf_workspace, scf, hessian);
    const auto& vibrations = result.vibrational_frequencies;
    if (!vibrations.empty() && vibrations.front() < 0.0) {
        for (const NormalMode& mode : result.normal_modes) {
            if (mode.frequency_cm1 != vibrations.front())
                continue;
            for (std::size_t a = 0; a < batch.n_atoms; ++a) {
                for (std::size_t k = 0; k < 3; ++k)
                    v[3 * a + k] = workspace.sqrt_masses[a] * mode.displacements[a][k];
            }
            const double length = std::max(norm(v), 1e-15);
            for (double& x : v)
                x /= length;
            return;
        }
    }
    v[0] = 1.0;
}

struct Branch {
    std::vector<IrcPoint> points;
    bool converged = false;
};

Branch trace_single_branch(MolecularBatch& batch, const ParameterModel& model,
                           ScfWorkspace& scf_workspace, double sign, IrcWorkspace& workspace,
                           const IrcOptions& options, const IsolatedAtomReference& references,
                           double ts_heat_kcal) {
    Branch branch;
    const std::size_t n_coordinates = 3 * batch.n_atoms;
    const double h = options.step_size;
    workspace.restore_ts_coords(batch);
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        for (std::size_t k = 0; k < 3; ++k) {
            workspace.point[3 * a + k] = workspace.sqrt_masses[a] * workspace.ts_coordinates[a][k];
            workspace.direction[3 * a + k] = sign * workspace.transition_vector[3 * a + k];
        }
    }
    if (options.max_points == 0)
        return branch;
    // The other branch ended far from here: its density is no start for this one.
    scf_workspace.restart();

    DriverScfSettings settings;
    settings.use_nddo = options.use_nddo;
    double previous_heat_kcal = ts_heat_kcal;
    double s = 0.0;
    for (std::size_t k = 1; k <= options.max_points; ++k) {
        for (std::size_t i = 0; i < n_coordinates; ++i) {
            workspace.pivot[i] = workspace.point[i] + 0.5 * h * workspace.direction[i];
            workspace.trial[i] = workspace.point[i] + h * workspace.direction[i];
        }
        PointValues values;
        for (std::size_t pass = 1; pass <= options.max_corrector_steps; ++pass) {
            set_geometry(batch, workspace, workspace.trial);
            values = evaluate_point(batch, model, scf_workspace, workspace, settings, references);
            const std::vector<double>& p = workspace.mass_weighted_gradient;
            const double p_norm = norm(p);
            if (p_norm < 1e-12)
                break;
            // a: where the sphere's descent point would be; the corrected trial point is the
            // midpoint of a and t pushed back onto the sphere around the pivot.
            double distance_squared = 0.0, radial_squared = 0.0;
            for (std::size_t i = 0; i < n_coordinates; ++i) {
                const double a = workspace.pivot[i] - 0.5 * h * p[i] / p_norm;
                distance_squared += (a - workspace.trial[i]) * (a - workspace.trial[i]);
                workspace.corrector[i] = 0.5 * (a + workspace.trial[i]) - workspace.pivot[i];
                radial_squared += workspace.corrector[i] * workspace.corrector[i];
            }
            const double radial = std::max(std::sqrt(radial_squared), 1e-15);
            for (std::size_t i = 0; i < n_coordinates; ++i)
                workspace.trial[i] = workspace.pivot[i] + 0.5 * h * workspace.corrector[i] / radial;
            if (std::sqrt(distance_squared) < options.corrector_tol)
                break;
        }
        set_geometry(batch, workspace, workspace.trial);
        s += sign * h;
        branch.points.push_back(make_point(batch, s, values));

        if (values.mass_weighted_gradient_rms < options.grad_rms_tol ||
            values.heat_of_formation_kcal > previous_heat_kcal + options.energy_rise_tol) {
            branch.converged = true;
            return branch;
        }
        const double p_norm = std::max(norm(workspace.mass_weighted_gradient), 1e-15);
        for (std::size_t i = 0; i < n_coordinates; ++i) {
            workspace.point[i] = workspace.trial[i];
            workspace.direction[i] = -workspace.mass_weighted_gradient[i] / p_norm;
        }
        previous_heat_kcal = values.heat_of_formation_kcal;
    }
    return branch;
}

} // namespace

IrcWorkspace IrcWorkspace::allocate(const MolecularBatch& batch) {
    IrcWorkspace workspace;
    const std::size_t n = batch.n_atoms;
    workspace.sqrt_masses.resize(n);
    workspace.ts_coordinates = batch.positions();
    for (std::size_t a = 0; a < n; ++a)
        workspace.sqrt_masses[a] = std::sqrt(standard_atomic_mass(batch.atomic_numbers[a]));
    for (auto* vector :
         {&workspace.transition_vector, &workspace.point, &workspace.direction, &workspace.pivot,
          &workspace.trial, &workspace.corrector, &workspace.mass_weighted_gradient}) {
        vector->assign(3 * n, 0.0);
    }
    workspace.gradient.assign(n, Coordinate{});
    return workspace;
}

void IrcWorkspace::restore_ts_coords(MolecularBatch& batch) const {
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        batch.coords_x[a] = ts_coordinates[a][0];
        batch.coords_y[a] = ts_coordinates[a][1];
        batch.coords_z[a] = ts_coordinates[a][2];
    }
}

IrcResult trace_intrinsic_reaction_coordinate(MolecularBatch& batch, const ParameterModel& model,
                                              ScfWorkspace& scf_workspace, IrcWorkspace& workspace,
                                              const IrcOptions& options) {
    const std::size_t n_coordinates = 3 * batch.n_atoms;
    if (options.transition_vector) {
        if (options.transition_vector->size() != n_coordinates)
            throw InternalError("Supplied transition vector length mismatch");
        workspace.transition_vector = *options.transition_vector;
    } else {
        find_transition_vector(batch, model, scf_workspace, workspace, options);
    }

    // The transition state itself; the Hessian left its converged density in the workspace.
    workspace.restore_ts_coords(batch);
    DriverScfSettings settings;
    settings.max_iter = 60;
    settings.use_nddo = options.use_nddo;
    const IsolatedAtomReference references =
        sum_isolated_atom_references(batch.atomic_numbers, model);
    const PointValues ts =
        evaluate_point(batch, model, scf_workspace, workspace, settings, references);

    // Forward is the side where the energy falls along the vector.
    double slope = 0.0;
    for (std::size_t i = 0; i < n_coordinates; ++i)
        slope += workspace.mass_weighted_gradient[i] * workspace.transition_vector[i];
    if (slope > 1e-4) {
        for (double& x : workspace.transition_vector)
            x = -x;
    }

    IrcResult result;
    Branch forward, reverse;
    if (options.direction != IrcDirection::reverse) {
        forward = trace_single_branch(batch, model, scf_workspace, +1.0, workspace, options,
                                      references, ts.heat_of_formation_kcal);
    }
    if (options.direction != IrcDirection::forward) {
        reverse = trace_single_branch(batch, model, scf_workspace, -1.0, workspace, options,
                                      references, ts.heat_of_formation_kcal);
    }
    workspace.restore_ts_coords(batch);
    result.points.reserve(forward.points.size() + reverse.points.size() + 1);
    result.points.insert(result.points.end(), reverse.points.rbegin(), reverse.points.rend());
    result.ts_point_index = reverse.points.size();
    result.points.push_back(make_point(batch, 0.0, ts));
    result.points.insert(result.points.end(), forward.points.begin(), forward.points.end());
    result.forward_converged = forward.converged;
    result.reverse_converged = reverse.converged;
    return result;
}

} // namespace quelm
