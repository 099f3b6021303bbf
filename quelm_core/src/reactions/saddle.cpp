// SADDLE: superpose, then alternately pull one endpoint towards the other by a fixed step and
// relax it on the hypersphere of that separation (steepest descent of the gradient
// component perpendicular to the line joining the structures).

#include "reactions/saddle.hpp"

#include "gradients/geometry_point.hpp"
#include "properties/heat.hpp"
#include "scf/eigensolver.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <algorithm>
#include <cmath>

namespace quelm {
namespace {

// Coordinates as one 3N vector, atom after atom.
using Flat = std::vector<double>;

Flat flatten(std::span<const Coordinate> coordinates) {
    Flat flat;
    flat.reserve(3 * coordinates.size());
    for (const Coordinate& c : coordinates)
        flat.insert(flat.end(), c.begin(), c.end());
    return flat;
}

std::vector<Coordinate> unflatten(const Flat& flat) {
    std::vector<Coordinate> rows(flat.size() / 3);
    for (std::size_t a = 0; a < rows.size(); ++a)
        rows[a] = {flat[3 * a], flat[3 * a + 1], flat[3 * a + 2]};
    return rows;
}

double distance(const Flat& x, const Flat& y) {
    double sum = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i)
        sum += (x[i] - y[i]) * (x[i] - y[i]);
    return std::sqrt(sum);
}

// X ← Y + (X − Y)·separation/|X − Y|, unless the structures coincide.
void set_separation(Flat& x, const Flat& y, double separation) {
    const double current = distance(x, y);
    if (current <= 1e-8)
        return;
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = y[i] + (x[i] - y[i]) * separation / current;
}

void write_coordinates(MolecularBatch& batch, const Flat& x) {
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        batch.coords_x[a] = x[3 * a];
        batch.coords_y[a] = x[3 * a + 1];
        batch.coords_z[a] = x[3 * a + 2];
    }
}

double gradient_norm(const std::vector<Coordinate>& gradient) {
    double sum = 0.0;
    for (const Coordinate& g : gradient)
        sum += g[0] * g[0] + g[1] * g[1] + g[2] * g[2];
    return std::sqrt(sum);
}

// One endpoint of the search with its own batch, SCF workspace and last gradient.
struct Side {
    MolecularBatch batch;
    ScfWorkspace workspace;
    Flat x;
    std::vector<Coordinate> gradient; // eV/Å
    double energy_ev = 0.0;
};

// Relaxes side `moving` on the sphere of radius `separation` around `fixed`; returns the
// RMS of the last transverse gradient (0 when no step was evaluated).
double relax_transversely(Side& moving, const Flat& fixed, double separation,
                          const ParameterModel& model, const SaddleOptions& options,
                          Flat& transverse) {
    DriverScfSettings settings;
    settings.use_nddo = options.use_nddo;
    const std::size_t n = moving.x.size();
    double rms = 0.0;
    for (std::size_t step = 0; step < options.inner_max_steps; ++step) {
        write_coordinates(moving.batch, moving.x);
        moving.energy_ev = evaluate_energy_and_gradient(moving.batch, model, moving.workspace,
                                                        settings, moving.gradient)
                               .total_energy_ev;
        // Remove the component along u = (X − Y)/separation: that direction is held.
        double along = 0.0;
        for (std::size_t i = 0; i < n; ++i)
            along += moving.gradient[i / 3][i % 3] * (moving.x[i] - fixed[i]) / separation;
        double sum = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            const double u = (moving.x[i] - fixed[i]) / separation;
            transverse[i] = (moving.gradient[i / 3][i % 3] - along * u) * kcal_mol_per_ev;
            sum += transverse[i] * transverse[i];
        }
        rms = std::sqrt(sum / static_cast<double>(n));
        if (rms < options.inner_grad_tol)
            break;
        // A cautious fixed-length-ish step: at most 0.01 Å per kcal/(mol·Å) of gradient.
        const double alpha = std::min(0.02 / (rms + 1.0), 0.01);
        for (std::size_t i = 0; i < n; ++i)
            moving.x[i] -= alpha * transverse[i];
        set_separation(moving.x, fixed, separation);
    }
    return rms;
}

} // namespace

DockedStructure dock(std::span<const Coordinate> target, std::span<const Coordinate> mobile) {
    if (target.size() != mobile.size())
        throw InternalError("Target and mobile coordinate sets must have equal atom count");
    const std::size_t n = target.size();
    Coordinate target_centre{}, mobile_centre{};
    for (std::size_t i = 0; i < n; ++i) {
        for (int k = 0; k < 3; ++k) {
            target_centre[k] += target[i][k] / static_cast<double>(n);
            mobile_centre[k] += mobile[i][k] / static_cast<double>(n);
        }
    }
    // S_pq = Σ b_p a_q over the centred mobile (b) and target (a) coordinates.
    double s[3][3] = {};
    for (std::size_t i = 0; i < n; ++i) {
        for (int p = 0; p < 3; ++p) {
            for (int q = 0; q < 3; ++q) {
                s[p][q] += (mobile[i][p] - mobile_centre[p]) * (target[i][q] - target_centre[q]);
            }
        }
    }
    const double sxx = s[0][0], sxy = s[0][1], sxz = s[0][2];
    const double syx = s[1][0], syy = s[1][1], syz = s[1][2];
    const double szx = s[2][0], szy = s[2][1], szz = s[2][2];
    const double horn[4][4] = {
        {sxx + syy + szz, syz - szy, szx - sxz, sxy - syx},
        {syz - szy, sxx - syy - szz, sxy + syx, szx + sxz},
        {szx - sxz, sxy + syx, -sxx + syy - szz, syz + szy},
        {sxy - syx, szx + sxz, syz + szy, -sxx - syy + szz},
    };
    AlignedMatrix matrix(4, 4), vectors(4, 4);
    AlignedVec64 values(4);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j)
            matrix(i, j) = horn[i][j];
    }
    diagonalize_symmetric(matrix, values, vectors);
    // The quaternion of the largest eigenvalue is the best rotation.
    const double q0 = vectors(0, 3), q1 = vectors(1, 3), q2 = vectors(2, 3), q3 = vectors(3, 3);
    const double r[3][3] = {
        {q0 * q0 + q1 * q1 - q2 * q2 - q3 * q3, 2 * (q1 * q2 - q0 * q3), 2 * (q1 * q3 + q0 * q2)},
        {2 * (q1 * q2 + q0 * q3), q0 * q0 - q1 * q1 + q2 * q2 - q3 * q3, 2 * (q2 * q3 - q0 * q1)},
        {2 * (q1 * q3 - q0 * q2), 2 * (q2 * q3 + q0 * q1), q0 * q0 - q1 * q1 - q2 * q2 + q3 * q3},
    };
    DockedStructure docked;
    docked.coordinates.resize(n);
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const Coordinate b = {mobile[i][0] - mobile_centre[0], mobile[i][1] - mobile_centre[1],
                              mobile[i][2] - mobile_centre[2]};
        for (int p = 0; p < 3; ++p) {
            docked.coordinates[i][p] =
                r[p][0] * b[0] + r[p][1] * b[1] + r[p][2] * b[2] + target_centre[p];
            const double deviation = target[i][p] - docked.coordinates[i][p];
            sum += deviation * deviation;
        }
    }
    docked.distance = std::sqrt(sum);
    return docked;
}

SaddleResult run_saddle(std::span<const std::uint8_t> atomic_numbers,
                        std::span<const Coordinate> reactant, std::span<const Coordinate> product,
                        const ParameterModel& model, const SaddleOptions& options) {
    const std::size_t n_atoms = atomic_numbers.size();
    if (reactant.size() != n_atoms || product.size() != n_atoms)
        throw InternalError(size_mismatch("SADDLE endpoint coordinates", product.size(), n_atoms));
    const DockedStructure docked = dock(reactant, product);
    double d = docked.distance;
    const std::vector<std::uint8_t> numbers(atomic_numbers.begin(), atomic_numbers.end());
    const IsolatedAtomReference atoms = sum_isolated_atom_references(numbers, model);
    const auto heat_of = [&](double energy_ev) { return heat_of_formation_kcal(atoms, energy_ev); };

    // sides[0] is the reactant side (1), sides[1] the product side (2).
    std::vector<Side> sides;
    for (std::span<const Coordinate> start :
         {reactant, std::span<const Coordinate>(docked.coordinates)}) {
        MolecularBatch batch = MolecularBatch::new_for_model(numbers, start, model);
        ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
        sides.push_back({std::move(batch), std::move(workspace), flatten(start), {}, 0.0});
    }
    DriverScfSettings endpoint_settings;
    endpoint_settings.max_iter = 80;
    endpoint_settings.energy_tol_ev = 1e-9;
    endpoint_settings.density_tol = 1e-8;
    endpoint_settings.use_nddo = options.use_nddo;
    endpoint_settings.start_from_previous_density = false;
    for (Side& side : sides) {
        side.energy_ev = evaluate_energy_and_gradient(side.batch, model, side.workspace,
                                                      endpoint_settings, side.gradient)
                             .total_energy_ev;
    }
    const double reactant_heat = heat_of(sides[0].energy_ev);
    const double product_heat = heat_of(sides[1].energy_ev);

    SaddleResult result;
    result.converged = true;
    std::size_t moving = product_heat < reactant_heat ? 1 : 0; // the lower structure first
    double previous_energy = sides[moving].energy_ev;
    std::size_t consecutive = 0;
    Flat transverse(3 * n_atoms);
    if (options.max_cycles == 0) {
        result.converged = false;
    } else if (options.convergence_distance < d) {
        for (std::size_t cycle = 1;; ++cycle) {
            Side& side = sides[moving];
            const Flat& fixed = sides[1 - moving].x;
            const double target = std::max(d - options.step_size, options.convergence_distance);
            set_separation(side.x, fixed, target);
            const double rms = relax_transversely(side, fixed, target, model, options, transverse);
            d = distance(side.x, fixed);
            result.trajectory.push_back({unflatten(side.x), cycle, moving + 1, d,
                                         heat_of(side.energy_ev), side.energy_ev, rms});
            if (cycle == options.max_cycles) {
                result.converged = false;
                break;
            }
            // Alternate when this side climbed, or after three pulls in a row.
            if (side.energy_ev > previous_energy || consecutive == 2) {
                moving = 1 - moving;
                consecutive = 0;
            } else {
                ++consecutive;
            }
            previous_energy = side.energy_ev;
            if (!(options.convergence_distance < d))
                break;
        }
    }

    // Where the gradient, interpolated linearly between the two structures, vanishes.
    const double g_reactant = gradient_norm(sides[0].gradient);
    const double g_product = gradient_norm(sides[1].gradient);
    const double w = g_reactant + g_product <= 1e-6 ? 0.5 : g_product / (g_reactant + g_product);
    Flat ts(3 * n_atoms);
    for (std::size_t i = 0; i < ts.size(); ++i)
        ts[i] = w * sides[0].x[i] + (1.0 - w) * sides[1].x[i];

    MolecularBatch ts_batch = MolecularBatch::new_for_model(numbers, unflatten(ts), model);
    ScfWorkspace ts_workspace = ScfWorkspace::allocate(ts_batch.n_orbitals);
    DriverScfSettings ts_settings = endpoint_settings;
    ts_settings.max_iter = 100;
    std::vector<Coordinate> ts_gradient;
    result.transition_state_energy_ev =
        evaluate_energy_and_gradient(ts_batch, model, ts_workspace, ts_settings, ts_gradient)
            .total_energy_ev;
    result.transition_state_heat_of_formation_kcal = heat_of(result.transition_state_energy_ev);
    result.transition_state_coordinates = unflatten(ts);

    if (options.refine_with_ts) {
        TransitionStateOptions refine;
        refine.max_cycles = 60;
        refine.grad_rms_tol = 0.5;
        refine.grad_max_tol = 1.0;
        refine.trust_radius = 0.08;
        refine.min_trust_radius = 0.005;
        refine.max_trust_radius = 0.3;
        refine.hessian_step = 0.005;
        refine.use_nddo = options.use_nddo;
        EigenvectorFollowingWorkspace ef = EigenvectorFollowingWorkspace::allocate(3 * n_atoms);
        TransitionStateResult refined =
            optimize_transition_state(ts_batch, model, ts_workspace, ef, refine);
        if (refined.converged) {
            result.transition_state_coordinates = ts_batch.positions();
            result.transition_state_energy_ev = refined.final_energy;
            result.transition_state_heat_of_formation_kcal = refined.heat_of_formation;
        }
        result.ts_refinement = std::move(refined);
    }
    result.barrier_forward_kcal = result.transition_state_heat_of_formation_kcal - reactant_heat;
    result.barrier_reverse_kcal = result.transition_state_heat_of_formation_kcal - product_heat;
    result.final_distance = d;
    result.num_cycles = result.trajectory.size();
    return result;
}

} // namespace quelm
