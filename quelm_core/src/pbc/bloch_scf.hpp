#pragma once
// Closed-shell SCF of a system periodic in one, two or three directions, with the
// molecular NDDO (or simplified) Hamiltonian and basis.
//
// The lattice is represented by a finite cluster of cells (the supercell) centred on the
// home cell. The molecular builders give the core Hamiltonian and Fock matrix of the
// cluster, of which only the blocks coupling the home cell to each cell T enter: H(T),
// F(T). Bloch sums over a Monkhorst–Pack grid give the k-dependent Hamiltonians
// H(k) = Σ_T e^{ik·T} F(T), whose occupied bands give back the density blocks
// P(T) = Σ_k w_k Re[D(k) e^{−ik·T}]. After the SCF the Fock blocks give the bands along
// the high-symmetry path, their edges and gaps, and a broadened density of states.
// Energies are per cell, in eV.

#include "parameters/parameter_model.hpp"
#include "pbc/unit_cell.hpp"
#include "types/aligned_storage.hpp"
#include "types/molecular_batch.hpp"
#include "types/result.hpp"

#include <cstddef>
#include <span>
#include <vector>

namespace quelm {

// The settings of one periodic run.
struct PbcOptions {
    UnitCell cell;
    LatticeCounts mers{5, 1, 1};    // cluster extent per lattice direction (each ≥ 1)
    LatticeCounts k_grid{16, 1, 1}; // Monkhorst–Pack counts (each ≥ 1)
    std::size_t max_iter = 100;
    double energy_tol = 1e-5;     // eV
    double density_tol = 1e-4;    // largest change of a density element
    double mixing = 0.5;          // weight of the old density in iterations 1 to 5
    std::size_t band_points = 40; // points per band-path leg (at least 10 are used)
    double dos_sigma = 0.1;       // Gaussian width of the density of states, eV
    bool use_nddo = true;
};

// The blocks between the home cell (rows) and the cell displaced by translation t
// (columns), one per entry of the translation list (entry 0: the home cell itself), and
// the k-point scratch of the Bloch problem. Complex n x n matrices are stored as n x 2n
// doubles, (re, im) adjacent.
struct PbcWorkspace {
    std::vector<AlignedMatrix> density_blocks; // P(T), n x n
    std::vector<AlignedMatrix> fock_blocks;    // F(T), n x n
    std::vector<AlignedMatrix> hcore_blocks;   // H(T), n x n
    std::size_t n_orbitals = 0;
    std::size_t n_translations = 0;
    std::size_t n_kpoints = 0;
    AlignedMatrix bloch_matrix;                     // H(k), complex n x n
    AlignedVec64 bloch_eigenvalues;                 // n band energies, ascending
    AlignedMatrix bloch_eigenvectors;               // complex n x n, one band per column
    AlignedMatrix bloch_density;                    // D(k) = 2 Σ_occ c c†, complex n x n
    std::vector<AlignedMatrix> next_density_blocks; // P′(T) of the iteration, n x n
    AlignedMatrix bloch_phases; // row k: (cos k·T_t, sin k·T_t) for every t, N_k x 2N_T
    AlignedVec64 image_weights; // share of the k-grid density each translation takes, N_T

    // Every matrix zero-filled.
    static PbcWorkspace allocate(std::size_t n_orbitals, std::size_t n_translations,
                                 std::size_t n_kpoints);
};

struct PbcResult {
    std::vector<KPoint> band_kpoints;                  // the band path
    std::vector<std::vector<double>> band_energies_ev; // per path point, n values ascending
    std::vector<double> dos_energies_ev;               // 300 grid points
    std::vector<double> dos_values;                    // states per eV per cell (one per band)
    std::size_t iterations = 0;
    double total_energy_ev = 0.0;
    double electronic_energy_ev = 0.0;
    double nuclear_repulsion_ev = 0.0;
    double heat_of_formation_kcal = 0.0;
    double vbm_ev = 0.0;          // −∞ when no band is occupied or every band is
    double cbm_ev = 0.0;          // +∞ likewise
    double direct_gap_ev = 0.0;   // smallest gap at one path point
    double indirect_gap_ev = 0.0; // max(CBM − VBM, 0)
    bool converged = false;
};

// The periodic SCF of the home cell `cell_batch` (coordinates in Å) with its bands and
// density of states. Fails with a message for an empty cell and for counts below 1 in
// `mers` or `k_grid`. The workspace is resized when it does not fit the run; on return it
// holds the final density, Fock and core blocks. Non-convergence is reported through
// `converged`.
Result<PbcResult> run_pbc_scf(const MolecularBatch& cell_batch, const ParameterModel& model,
                              const PbcOptions& options, PbcWorkspace& workspace);

// The n band energies (ascending) at the Cartesian wave vector k (Å⁻¹) from the workspace's
// Fock blocks, whose translations are `translations` (the list the run used). Uses the
// workspace's Bloch scratch; allocates nothing.
void compute_bloch_bands(PbcWorkspace& workspace, std::span<const TranslationIndex> translations,
                         const Coordinate& k, std::span<double> energies);

} // namespace quelm
