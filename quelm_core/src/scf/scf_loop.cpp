// Closed-shell restricted Hartree–Fock SCF (Roothaan–Hall) over the NDDO Hamiltonian.
//
// The core Hamiltonian and, with use_nddo, every pair integral are built once per call;
// each iteration then rebuilds only F from the current density, lets Pulay DIIS
// extrapolate it, applies a level shift when asked (or automatically after 25 slow
// iterations), diagonalises, and mixes the new density into the old one. Convergence
// needs both a settled energy and a settled density (or a vanishing DIIS commutator).

#include "scf/scf_loop.hpp"

#include "fock/fock_builder.hpp"
#include "hamiltonian/hcore.hpp"
#include "integrals/core_repulsion.hpp"
#include "integrals/multipoles.hpp"
#include "scf/density.hpp"
#include "scf/eigensolver.hpp"
#include "scf/initial_guess.hpp"
#include "solvation/cosmo.hpp"
#include "types/internal_error.hpp"
#include "types/interruption.hpp"

#include <cmath>

namespace quelm {

namespace {

// From this iteration on, a run that has not converged gets an automatic 2 eV shift and,
// with the default damping, heavier mixing of the new density.
constexpr std::size_t slow_convergence_iteration = 26;

void build_core_hamiltonian(const MolecularBatch& batch, const ParameterModel& model,
                            ScfWorkspace& workspace, bool use_nddo) {
    if (use_nddo) {
        workspace.diatomic_pairs = precompute_diatomic_pairs(batch, model);
        build_hcore_nddo(batch, model, workspace.diatomic_pairs.data(),
                         workspace.diatomic_pairs.size(), workspace.hcore);
    } else {
        build_hcore(batch, model, workspace.hcore);
    }
}

// F ← F + Q·(I − ½P): raises the virtual orbitals by Q relative to the occupied ones
// (½P projects onto the occupied space of an idempotent closed-shell density).
void apply_level_shift(AlignedMatrix& fock, const AlignedMatrix& density, double shift_ev) {
    const std::size_t n = fock.rows();
    for (std::size_t i = 0; i < n; ++i) {
        double* f_row = fock.row(i);
        const double* p_row = density.row(i);
        for (std::size_t j = 0; j < n; ++j)
            f_row[j] -= 0.5 * shift_ev * p_row[j];
        f_row[i] += shift_ev;
    }
}

double level_shift_for_iteration(double requested_ev, std::size_t iteration) {
    if (requested_ev > 0.0 && iteration > 2)
        return requested_ev;
    if (requested_ev == 0.0 && iteration >= slow_convergence_iteration)
        return 2.0;
    return 0.0;
}

double max_abs_difference(const AlignedMatrix& a, const AlignedMatrix& b) {
    double largest = 0.0;
    const double* x = a.data();
    const double* y = b.data();
    for (std::size_t k = 0; k < a.size(); ++k)
        largest = std::fmax(largest, std::fabs(x[k] - y[k]));
    return largest;
}

// P ← α·P + (1 − α)·P_new.
void mix_density(AlignedMatrix& density, const AlignedMatrix& new_density, double alpha) {
    double* p = density.data();
    const double* p_new = new_density.data();
    for (std::size_t k = 0; k < density.size(); ++k)
        p[k] = alpha * p[k] + (1.0 - alpha) * p_new[k];
}

void copy_matrix(const AlignedMatrix& from, AlignedMatrix& to) {
    const double* x = from.data();
    double* y = to.data();
    for (std::size_t k = 0; k < from.size(); ++k)
        y[k] = x[k];
}

double mixing_weight(double damping, std::size_t iteration) {
    if (iteration < slow_convergence_iteration)
        return damping;
    return std::fabs(damping - 0.5) < 1e-4 ? 0.3 : damping;
}

// A closed-shell density of this basis has trace 2·n_occupied (ZDO: no overlap metric).
bool holds_density_for(const AlignedMatrix& density, std::size_t n_occupied) {
    double trace = 0.0;
    for (std::size_t i = 0; i < density.rows(); ++i)
        trace += density(i, i);
    return std::isfinite(trace) && std::fabs(trace - 2.0 * static_cast<double>(n_occupied)) < 1e-6;
}

struct LadderRung {
    std::size_t iteration_factor;
    double level_shift_ev;
    double damping;
};

constexpr LadderRung retry_ladder[] = {{1, 0.0, 0.5}, {2, 8.0, 0.5}, {2, 4.44, 0.7}, {2, 8.0, 0.7}};

ScfResult run_retry_ladder(const MolecularBatch& batch, const ParameterModel& model,
                           ScfWorkspace& workspace, ScfOptions options) {
    const std::size_t base_iterations = options.max_iter;
    ScfResult result;
    bool first = true;
    for (const LadderRung& rung : retry_ladder) {
        if (!first) {
            workspace.restart();
            options.start_from_workspace_density = false;
        }
        first = false;
        options.max_iter = base_iterations * rung.iteration_factor;
        options.level_shift_ev = rung.level_shift_ev;
        options.damping = rung.damping;
        result = run_rhf_scf_with_options(batch, model, workspace, options);
        if (result.converged)
            break;
    }
    return result;
}

} // namespace

void build_fock_matrix(const MolecularBatch& batch, const ParameterModel& model,
                       ScfWorkspace& workspace, bool use_nddo) {
    if (use_nddo) {
        build_fock_nddo(batch, model, workspace.diatomic_pairs.data(),
                        workspace.diatomic_pairs.size(), workspace.hcore, workspace.density,
                        workspace.fock);
    } else {
        build_fock(batch, model, workspace.hcore, workspace.density, workspace.fock);
    }
}

std::size_t count_occupied_orbitals(const MolecularBatch& batch, const ParameterModel& model) {
    double electrons = 0.0;
    for (std::uint8_t z : batch.atomic_numbers) {
        if (const auto element = model.get_element(z))
            electrons += element->core_charge;
    }
    const double rounded = std::round(electrons); // halves away from zero
    return rounded > 0.0 ? static_cast<std::size_t>(rounded) / 2 : 0;
}

ScfResult run_rhf_scf_with_options(const MolecularBatch& batch, const ParameterModel& model,
                                   ScfWorkspace& workspace, const ScfOptions& options) {
    const std::size_t n = batch.n_orbitals;
    if (workspace.n_orbitals != n) {
        throw InternalError(size_mismatch("SCF workspace", workspace.n_orbitals, n));
    }
    const std::size_t n_occupied = count_occupied_orbitals(batch, model);
    if (batch.n_atoms == 0 || n_occupied == 0) {
        throw InternalError("System must have at least one electron pair for closed-shell RHF");
    }

    double nuclear_ev = compute_total_core_repulsion(batch, model);
    // A cavity whose interaction matrix cannot be factorised yields no state: the run then
    // goes on in vacuum.
    std::optional<CosmoState> cosmo;
    if (options.cosmo) {
        cosmo = CosmoState::initialize(batch, model, options.cosmo->dielectric,
                                       options.cosmo->solvent_radius);
        if (cosmo)
            nuclear_ev += cosmo->nuclear_dielectric_energy_ev;
    }
    build_core_hamiltonian(batch, model, workspace, options.use_nddo);
    if (cosmo)
        apply_nuclear_reaction_field_to_hcore(*cosmo, workspace.hcore);
    if (options.electric_field) {
        nuclear_ev +=
            apply_electric_field_to_hcore(batch, model, workspace.hcore, *options.electric_field);
    }
    if (options.external_charges && !options.external_charges->empty()) {
        const auto& charges = *options.external_charges;
        apply_external_charges_to_hcore(batch, model, charges.data(), charges.size(),
                                        workspace.hcore);
        nuclear_ev +=
            compute_external_charges_core_energy(batch, model, charges.data(), charges.size());
    }

    // A run without iterations reports the orbitals of the core Hamiltonian; otherwise the
    // first iteration's diagonalisation replaces them, so they are not computed.
    if (options.max_iter == 0) {
        diagonalize_symmetric_with_work(workspace.hcore, workspace.eigen_work,
                                        workspace.eigenvalues, workspace.eigenvectors);
    }
    // The neutral-atom density is the first density: it biases no configuration. A converged
    // density of a nearby geometry is a better one, when the caller holds it.
    if (!(options.start_from_workspace_density &&
          holds_density_for(workspace.density, n_occupied))) {
        build_neutral_atom_density(batch, model, workspace.density);
    }
    workspace.diis.reset();

    ScfResult result;
    double previous_total_ev = 0.0;
    double shift_in_effect_ev = 0.0;
    for (std::size_t k = 1; k <= options.max_iter; ++k) {
        check_for_interruption();
        result.iterations = k;
        build_fock_matrix(batch, model, workspace, options.use_nddo);
        if (cosmo) {
            result.cosmo_energy_ev =
                apply_electronic_reaction_field_to_fock(*cosmo, workspace.density, workspace.fock);
        }
        const double electronic_ev =
            compute_electronic_energy(workspace.density, workspace.hcore, workspace.fock);
        const DiisStep diis = workspace.diis.push_and_extrapolate(workspace.fock, workspace.density,
                                                                  workspace.fp_product);

        shift_in_effect_ev = level_shift_for_iteration(options.level_shift_ev, k);
        if (std::fabs(shift_in_effect_ev) < 1e-12 || n == 0) {
            shift_in_effect_ev = 0.0;
        } else {
            apply_level_shift(workspace.fock, workspace.density, shift_in_effect_ev);
        }

        diagonalize_symmetric_with_work(workspace.fock, workspace.eigen_work, workspace.eigenvalues,
                                        workspace.eigenvectors);
        compute_density_matrix(workspace.eigenvectors, n_occupied, workspace.new_density);

        const double density_change = max_abs_difference(workspace.new_density, workspace.density);
        const double total_ev = electronic_ev + nuclear_ev;
        const bool energy_settled = std::fabs(total_ev - previous_total_ev) < options.energy_tol_ev;
        const bool density_settled =
            density_change < options.density_tol || diis.max_abs_error < options.density_tol;
        if (k >= 2 && energy_settled && density_settled) {
            copy_matrix(workspace.new_density, workspace.density);
            result.converged = true;
            break;
        }
        if (diis.extrapolated) {
            copy_matrix(workspace.new_density, workspace.density);
        } else {
            mix_density(workspace.density, workspace.new_density,
                        mixing_weight(options.damping, k));
        }
        previous_total_ev = total_ev;
    }

    const AlignedVec64& energies = workspace.eigenvalues;
    result.homo_energy_ev = energies[n_occupied - 1];
    result.lumo_energy_ev = n_occupied >= n ? 0.0 : energies[n_occupied] - shift_in_effect_ev;
    result.electronic_energy_ev =
        compute_electronic_energy(workspace.density, workspace.hcore, workspace.fock);
    result.nuclear_repulsion_ev = nuclear_ev;
    result.total_energy_ev = result.electronic_energy_ev + nuclear_ev;
    return result;
}

ScfResult run_rhf_scf_adaptive_with_nddo_and_cosmo(
    const MolecularBatch& batch, const ParameterModel& model, ScfWorkspace& workspace,
    std::size_t max_iter, double energy_tol_ev, double density_tol, bool use_nddo,
    const std::optional<CosmoSettings>& cosmo, bool start_from_workspace_density) {
    ScfOptions options;
    options.start_from_workspace_density = start_from_workspace_density;
    options.cosmo = cosmo;
    options.max_iter = max_iter;
    options.energy_tol_ev = energy_tol_ev;
    options.density_tol = density_tol;
    options.use_nddo = use_nddo;
    return run_retry_ladder(batch, model, workspace, options);
}

ScfResult run_rhf_scf_adaptive_with_field(const MolecularBatch& batch, const ParameterModel& model,
                                          ScfWorkspace& workspace, std::size_t max_iter,
                                          double energy_tol_ev, double density_tol, bool use_nddo,
                                          const std::array<double, 3>& field,
                                          bool start_from_workspace_density) {
    ScfOptions options;
    options.start_from_workspace_density = start_from_workspace_density;
    options.electric_field = field;
    options.max_iter = max_iter;
    options.energy_tol_ev = energy_tol_ev;
    options.density_tol = density_tol;
    options.use_nddo = use_nddo;
    return run_retry_ladder(batch, model, workspace, options);
}

} // namespace quelm
