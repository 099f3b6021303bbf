#pragma once
// COSMO reaction field: the screening charges that a conductor-like solvent puts on the
// cavity surface in answer to the solute's cores and electrons, scaled by f(ε) for a
// dielectric, and their potential acting back on the electrons through H and F.

#include "parameters/parameter_model.hpp"
#include "solvation/cavity.hpp"
#include "types/aligned_storage.hpp"
#include "types/molecular_batch.hpp"

#include <cstddef>
#include <optional>
#include <vector>

namespace quelm {

// One atomic-orbital product χμχν (μ ≤ ν, both on the same atom) whose potential at the
// segments can be nonzero.
struct CosmoProduct {
    std::size_t mu = 0;
    std::size_t nu = 0;
};

// The solvation state of one geometry, built once per SCF run.
struct CosmoState {
    CosmoCavity cavity;                // m segments
    AlignedVec64 nuclear_potential;    // φN: potential of the cores at each segment, e/Å
    AlignedVec64 nuclear_charges;      // qN: screening charges of the cores, e
    AlignedVec64 electronic_potential; // φE of the last Fock update, e/Å
    AlignedVec64 solved_potential;     // A⁻¹·φE of the last Fock update, e
    AlignedVec64 electronic_charges;   // qE: screening charges of the electrons, e
    AlignedVec64 scratch;              // m values for the triangular solves
    double dielectric = 1.0;
    double solvent_radius = 0.0;               // Å
    AlignedMatrix cholesky_factor;             // L (m x m, lower) with A = L·Lᵀ, A in Å⁻¹
    std::size_t n_orbitals = 0;                // basis size n of the batch
    std::vector<CosmoProduct> products;        // the products that can have nonzero potential
    AlignedMatrix product_potentials;          // B: row r = potential of products[r] at each
                                               // segment per unit density, Å⁻¹ (rows x m)
    double nuclear_dielectric_energy_ev = 0.0; // ½e²·Σ qN·φN

    // Cavity, segment interaction matrix A and its Cholesky factor, the product
    // potentials B and the screening charges of the cores, for a dielectric constant and a
    // solvent probe radius in Å. Absent when A is not positive definite (the caller then
    // runs without solvation). A cavity without segments throws InternalError.
    static std::optional<CosmoState> initialize(const MolecularBatch& batch,
                                                const ParameterModel& model, double dielectric,
                                                double solvent_radius);

    // B[μν][k]: potential at segment k of the product χμχν per unit density, Å⁻¹ (0 for
    // products on different atoms and the other products the multipole model leaves out).
    // Requires μ, ν < n_orbitals and k < the segment count.
    double product_potential(std::size_t mu, std::size_t nu, std::size_t k) const;
};

// Screening factor f(ε) = (ε − 1)/(ε + ½) for ε > 1, else 0 (no screening).
double cosmo_screening_factor(double dielectric);

// Solves L·Lᵀ·x = b for a lower-triangular factor L (m x m): forward substitution into
// scratch, back substitution into solution. All vectors have m values.
void solve_cholesky_system(const AlignedMatrix& factor, const AlignedVec64& rhs,
                           AlignedVec64& scratch, AlignedVec64& solution);

// H_μν += −e²·Σ_k B[μν][k]·qN[k] (eV): the cores' screening charges acting on the
// electrons. Requires an n x n hcore.
void apply_nuclear_reaction_field_to_hcore(const CosmoState& state, AlignedMatrix& hcore);

// From the total density P (n x n, electrons): φE, qE, then F_μν += −e²·Σ_k B[μν][k]·qE[k].
// Returns the dielectric energy of cores and electrons together, ½e²·(φN+φE)·(qN+qE), in
// eV. Overwrites the state's electronic vectors.
double apply_electronic_reaction_field_to_fock(CosmoState& state, const AlignedMatrix& density,
                                               AlignedMatrix& fock);

} // namespace quelm
