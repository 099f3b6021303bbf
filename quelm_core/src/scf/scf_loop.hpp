#pragma once
// Closed-shell restricted Hartree–Fock SCF over the NDDO (or simplified two-centre)
// Hamiltonian: core Hamiltonian once per call, then Fock build, Pulay DIIS, optional
// level shift, diagonalisation and density mixing until energy and density settle.

#include "hamiltonian/external_charges.hpp"
#include "parameters/parameter_model.hpp"
#include "scf/scf_workspace.hpp"
#include "types/molecular_batch.hpp"

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

namespace quelm {

struct CosmoSettings {
    double dielectric = 78.4;
    double solvent_radius = 1.30005; // Å
};

struct ScfOptions {
    std::optional<CosmoSettings> cosmo;
    std::optional<std::array<double, 3>> electric_field; // V/Å
    std::optional<std::vector<PointCharge>> external_charges;
    std::size_t max_iter = 60;
    double energy_tol_ev = 1e-7;
    double density_tol = 1e-6;
    double level_shift_ev = 0.0;
    double damping = 0.5;
    bool use_nddo = true;
    // Start from the density the workspace holds (a converged density of this molecule at a
    // nearby geometry, as geometry drivers have) instead of the neutral-atom guess. A held
    // density whose trace is not the electron count is ignored: the run starts cold.
    bool start_from_workspace_density = false;
};

struct ScfResult {
    std::optional<double> cosmo_energy_ev;
    std::size_t iterations = 0;
    double total_energy_ev = 0.0;
    double electronic_energy_ev = 0.0;
    double nuclear_repulsion_ev = 0.0;
    double homo_energy_ev = 0.0;
    double lumo_energy_ev = 0.0;
    bool converged = false;
};

// Number of doubly occupied orbitals: half the rounded sum of the covered atoms' core
// charges (rounded down).
std::size_t count_occupied_orbitals(const MolecularBatch& batch, const ParameterModel& model);

// F from the workspace's density and core Hamiltonian (with its cached pair integrals when
// use_nddo is set), into the workspace's Fock matrix.
void build_fock_matrix(const MolecularBatch& batch, const ParameterModel& model,
                       ScfWorkspace& workspace, bool use_nddo);

// One SCF run with exactly the given options.
ScfResult run_rhf_scf_with_options(const MolecularBatch& batch, const ParameterModel& model,
                                   ScfWorkspace& workspace, const ScfOptions& options);

// Four-rung retry ladder (growing iterations, level shift and damping) for geometry drivers.
// With `start_from_workspace_density` the first rung starts from the density the workspace
// holds; the later rungs always start cold.
ScfResult run_rhf_scf_adaptive_with_nddo_and_cosmo(
    const MolecularBatch& batch, const ParameterModel& model, ScfWorkspace& workspace,
    std::size_t max_iter, double energy_tol_ev, double density_tol, bool use_nddo,
    const std::optional<CosmoSettings>& cosmo, bool start_from_workspace_density = false);

// The same ladder with a uniform electric field (V/Å).
ScfResult run_rhf_scf_adaptive_with_field(const MolecularBatch& batch, const ParameterModel& model,
                                          ScfWorkspace& workspace, std::size_t max_iter,
                                          double energy_tol_ev, double density_tol, bool use_nddo,
                                          const std::array<double, 3>& field,
                                          bool start_from_workspace_density = false);

} // namespace quelm
