#pragma once
// The localized-orbital (Karvel) SCF: a closed-shell NDDO SCF carried on localized
// molecular orbitals. It starts from the Lewis-structure LMOs, removes the Fock coupling
// between occupied and virtual LMOs by Jacobi rotations instead of diagonalising, keeps
// the occupied LMOs orthonormal by a symmetric orthogonalisation and mixes the density.
//
// Everything is stored sparsely: H, F and P as atom-pair blocks within the cutoff, each
// LMO as its own list of AO coefficients. Pairs of atoms beyond the cutoff interact
// through the monopole (ss|ss) integral of their net charges only, which is what is
// left of the NDDO two-centre terms at that range.

#include "karvel/block_matrix.hpp"
#include "karvel/types.hpp"
#include "parameters/parameter_model.hpp"
#include "types/molecular_batch.hpp"
#include "types/result.hpp"

#include <cstddef>
#include <vector>

namespace quelm {

// P = Σ_i 2·c_i·c_iᵀ over the occupied LMOs, on the blocks of the density's pattern
// (products of AOs on atoms beyond the cutoff are dropped).
void construct_density_from_lmos(const MolecularBatch& batch,
                                 const std::vector<std::size_t>& ao_atom,
                                 const std::vector<Lmo>& occupied, BlockMatrix& density);

// Symmetric (Löwdin) orthonormalisation Φ·S^−½ of the occupied LMOs, by Newton–Schulz
// steps Φ ← Φ·(3 − S)/2 over the sparse overlap (quadratic convergence: the LMOs stay
// nearly orthonormal between calls) until max|S − 1| ≤ coefficient_floor/100; then the
// coefficients of magnitude up to `coefficient_floor` are dropped, which keeps the LMOs
// local (the tails they cut are far below the SCF tolerances).
void orthogonalize_occupied_lmos(std::size_t n_orbitals, std::vector<Lmo>& occupied,
                                 double coefficient_floor);

// The whole SCF. Errors (as messages): an empty molecule, a non-positive or non-finite
// cutoff, elements without parameters in the model, a Lewis structure without two-centre
// bonds, or initial LMOs that do not hold exactly the valence electrons.
Result<KarvelResult> run_karvel_scf(const MolecularBatch& batch, const ParameterModel& model,
                                    KarvelDispersion dispersion, const KarvelOptions& options);

} // namespace quelm
