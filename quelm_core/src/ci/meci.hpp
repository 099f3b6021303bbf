#pragma once
// Multi-electron configuration interaction (MECI) in a small active space of SCF
// molecular orbitals around the HOMO–LUMO gap: every distribution of the active electrons
// over the active orbitals (the microstates, Slater determinants of fixed M_S), the CI
// Hamiltonian over them by the Slater–Condon rules, its full diagonalisation, ⟨S²⟩ of each
// root and the AO density of one chosen root. Energies in eV, lengths in Å.
//
// Determinant phases follow one ordering of the spin orbitals, α and β of each active
// orbital side by side (α₀ β₀ α₁ β₁ …); the Hamiltonian, S² and every density and
// transition element use the same ordering, so their relative signs agree.

#include "integrals/diatomic_pair_integrals.hpp"
#include "parameters/parameter_model.hpp"
#include "types/aligned_storage.hpp"
#include "types/molecular_batch.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quelm {

// Largest active space `meci` accepts: 8 orbitals give 4900 microstates (dense CI matrix of
// 190 MB); 9 would give 15876 (2 GB) and 10 give 63504 (32 GB).
inline constexpr std::size_t max_active_orbitals = 8;

struct MeciOptions {
    std::size_t n_active_orbitals = 2;
    std::size_t n_active_electrons = 2;
    std::size_t target_root = 1; // 1-based; clamped to the roots there are, 0 acts as 1
    bool use_nddo = true;
};

// One Slater determinant over the active orbitals.
struct Microstate {
    std::vector<std::uint8_t> alpha; // 0 or 1 per active orbital
    std::vector<std::uint8_t> beta;
    double diagonal_energy = 0.0; // eV, absolute scale of the active-space model
};

struct CiState {
    std::vector<double> coefficients; // over the microstates, in microstate order
    const char* spin_label = "SINGLET";
    double s_squared = 0.0;
    double spin = 0.0;
    std::size_t multiplicity = 1;
    std::size_t root = 1;
    double energy_ev = 0.0; // CI eigenvalue; the reference microstate has energy 0
    double excitation_energy_ev = 0.0;
    double excitation_energy_cm1 = 0.0;
    double wavelength_nm = 0.0;
    // Transition from root 1; zero for root 1 and until the transition step has run.
    std::array<double, 3> transition_dipole_debye{}; // |μx|, |μy|, |μz|
    double dipole_strength_debye = 0.0;
    std::array<double, 3> polarization_angstrom2{}; // μd² in e²·Å²
    double oscillator_strength = 0.0;
};

struct MeciResult {
    std::vector<CiState> states; // ascending energy
    std::vector<Microstate> microstates;
    std::vector<std::size_t> active_orbitals; // MO indices of the active space, ascending
    std::size_t target_root = 1;
    double ci_energy_correction_ev = 0.0;
    double electronic_energy_ev = 0.0;
    double total_energy_ev = 0.0;
    double heat_of_formation_kcal = 0.0;
    AlignedMatrix state_density; // AO density of the target root, electrons
};

// Scratch of one CI, reused while the active space keeps its size.
struct MeciWorkspace {
    std::size_t n_orbitals = 0;
    std::size_t n_microstates = 0;
    std::vector<double> integrals;             // (ij|kl) at ((i·n + j)·n + k)·n + l, eV
    std::vector<double> one_electron;          // h_i, eV
    std::vector<double> reference_occupations; // per spin: 1 below n_α, else 0
    std::vector<double> relative_diagonal;     // determinant energies minus the reference's
    AlignedMatrix ci_matrix; // also the eigensolver's work matrix (destroyed by it)
    AlignedVec64 eigenvalues;
    AlignedMatrix eigenvectors; // one root per column

    // Sizes every buffer for n active orbitals and at least one microstate.
    static MeciWorkspace allocate(std::size_t n_orbitals, std::size_t n_microstates);
};

// Bit mask of a determinant: α of active orbital p at bit 2p, β at bit 2p + 1.
std::uint32_t determinant_mask(const Microstate& state);
std::vector<std::uint32_t> determinant_masks(const std::vector<Microstate>& microstates);

// Sign (±1) of a†_to a_from |J⟩ for spin orbital `from` occupied in J and `to` empty: the
// parity of the occupied spin orbitals strictly between them.
double single_move_sign(std::uint32_t j_mask, unsigned from, unsigned to);

// Every 0/1 list of length n with k ones, by depth-first backtracking: the first list has
// its first k positions set (n = 3, k = 2: 110, 101, 011).
std::vector<std::vector<std::uint8_t>> generate_combinations(std::size_t n, std::size_t k);

// n_α = (n_e + parity)/2 and n_β = n_e − n_α; every α string (outer) with every β string
// (inner). Microstate 0 has the lowest orbitals occupied. Empty when they do not fit.
std::vector<Microstate> generate_microstates(std::size_t n, int n_electrons, int parity);

// Fills the n⁴ tensor (ij|kl) over the active MOs from the one-centre s,p integrals and the
// NDDO pair blocks (`pairs`, may be null) or, for pairs without a block, the Klopman–Ohno
// monopole γ_AB.
void compute_active_mo_two_electron_integrals(const MolecularBatch& batch,
                                              const ParameterModel& model,
                                              const AlignedMatrix& eigenvectors,
                                              const std::vector<std::size_t>& active_orbitals,
                                              const std::vector<DiatomicPairIntegrals>* pairs,
                                              std::vector<double>& integrals);

// Determinant energy Σ h + Coulomb − same-spin exchange over the occupied active orbitals.
double diagi(const std::vector<std::uint8_t>& alpha, const std::vector<std::uint8_t>& beta,
             const std::vector<double>& one_electron, const std::vector<double>& integrals,
             std::size_t n);

// H_IJ over the microstates (Slater–Condon rules; single moves feel the mean field of the
// active electrons relative to the reference). `matrix` must be square of the microstate
// count (InternalError otherwise).
void build_ci_hamiltonian(const std::vector<Microstate>& microstates,
                          const std::vector<double>& relative_diagonal, std::size_t n,
                          const std::vector<double>& reference_occupations,
                          const std::vector<double>& integrals, AlignedMatrix& matrix);

// S² = S₋S₊ + M_S(M_S + 1) over the microstates: its diagonal (from the open shells) and
// its spin-flip elements, each ordered pair once.
struct SpinSquaredOperator {
    struct Flip {
        std::size_t i, j;
        double sign;
    };
    std::vector<double> diagonal;
    std::vector<Flip> flips;
    // v_aᵀ S² v_b for columns a and b of `vectors`.
    double expectation(const AlignedMatrix& vectors, std::size_t a, std::size_t b) const;
};
SpinSquaredOperator build_s2_operator(const std::vector<Microstate>& microstates, std::size_t n);

// Inside every degenerate level of the CI (eigenvalues ascending, vectors as columns), rotates
// the eigenvectors so that they diagonalise S²: an exact tie between, say, a singlet and a
// triplet otherwise leaves the solver free to return mixtures of no definite spin.
void separate_degenerate_spins(const SpinSquaredOperator& s2, const AlignedVec64& eigenvalues,
                               AlignedMatrix& eigenvectors);

// AO density P = base + C_A D C_Aᵀ of one root, D its active one-particle density minus
// the reference occupations (2·occ_p on the diagonal).
AlignedMatrix compute_ci_state_density(std::size_t n_ao, const AlignedMatrix& eigenvectors,
                                       const std::vector<std::size_t>& active_orbitals,
                                       const std::vector<Microstate>& microstates,
                                       const std::vector<double>& coefficients,
                                       const std::vector<double>& reference_occupations,
                                       const AlignedMatrix& base_density);

// The label of a multiplicity: "SINGLET" … "SEXTET" for 1–6, else "MULTIPLET".
const char* spin_label_for(std::size_t multiplicity);

// The CI on top of one converged closed-shell SCF (eigenvectors as columns, orbital
// energies ascending, SCF electronic and total energies). Active-space violations (no
// orbital, too many electrons, too few occupied or virtual MOs) throw InternalError.
MeciResult run_meci(const MolecularBatch& batch, const ParameterModel& model,
                    const AlignedMatrix& eigenvectors, const AlignedVec64& orbital_energies,
                    double scf_electronic_energy_ev, double scf_total_energy_ev,
                    const MeciOptions& options, MeciWorkspace& workspace);

// The CI eigenvalue of the (clamped) target root alone, for energy differences along a
// geometry: no states, spins or densities. Same checks as run_meci.
double compute_ci_root_energy(const MolecularBatch& batch, const ParameterModel& model,
                              const AlignedMatrix& eigenvectors,
                              const AlignedVec64& orbital_energies, const MeciOptions& options,
                              MeciWorkspace& workspace);

} // namespace quelm
