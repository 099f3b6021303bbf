#pragma once
// Integrals of atoms with d orbitals in the MNDO/d scheme (Thiel & Voityuk, Theor. Chim.
// Acta 81, 391 (1992); J. Phys. Chem. 100, 616 (1996)).
//
// One-centre integrals come from Slater–Condon parameters of Slater functions with
// element-specific internal exponents. Two-centre integrals replace every one-centre
// distribution by point-charge multipoles up to quadrupoles, whose separations and
// Klopman–Ohno additive terms reproduce the one-centre limits. Lengths in bohr unless the
// name says otherwise; energies in eV.

#include "integrals/diatomic_pair_integrals.hpp"
#include "integrals/multipoles.hpp"
#include "parameters/d_element_parameters.hpp"
#include "parameters/element_parameters.hpp"
#include "parameters/parameter_model.hpp"
#include "types/molecular_batch.hpp"

#include <array>
#include <cstddef>
#include <cstdint>

namespace quelm {

// ---------------------------------------------------------------------------------------
// Element data

// f[i] = (i − 1)! for i = 1–30 and f[0] = 0, so that f[n + 1] = n!.
using FactorialTable = std::array<double, 31>;
// b[i][j] = C(i − 1, j − 1) for i, j = 1–30 (Pascal triangle), 0 elsewhere.
using BinomialTable = std::array<std::array<double, 31>, 31>;
const FactorialTable& factorial_table();
const BinomialTable& binomial_table();

// Principal quantum numbers of the valence s, p shell and of the d shell used by the
// d-orbital integrals; 0 outside the tabulated elements (Z ≤ 86).
int d_scheme_sp_shell(std::uint8_t z);
int d_scheme_d_shell(std::uint8_t z);

// Radial Slater–Condon integral R^k(ab, cd) in eV of normalised Slater radial functions
// (principal numbers na…nd, exponents za…zd in bohr⁻¹); electron 1 in a, b, electron 2 in
// c, d. Requires every n ≥ 1, na + nb + nc + nd ≤ 30, k ≤ nc + nd and k + 1 ≤ na + nb.
double rsc(int k, int na, int nb, int nc, int nd, double za, double zb, double zc, double zd,
           const FactorialTable& factorials, const BinomialTable& binomials);

// The twelve Slater–Condon parameters of an s, p, d atom (eV).
struct SlaterCondonParameters {
    double f0dd = 0.0, f2dd = 0.0, f4dd = 0.0;
    double f0sd = 0.0, g2sd = 0.0;
    double f0pd = 0.0, f2pd = 0.0, g1pd = 0.0, g3pd = 0.0;
    double r1sppd = 0.0, r2sdpp = 0.0, r2sddd = 0.0;
};

// Slater–Condon parameters from the internal exponents zs, zp, zd (bohr⁻¹) of element z;
// z must lie in the principal-quantum-number tables (1–86).
void scprm(SlaterCondonParameters& out, std::uint8_t z, const FactorialTable& factorials,
           const BinomialTable& binomials, double zs, double zp, double zd);

// Moment factor of the distribution of two Slater functions (na, za) and (nb, zb) for a
// multipole of order l (bohr^l).
double aijl(int na, int nb, int l, double za, double zb, const FactorialTable& factorials);

// Moment factors a[2]–a[6] (s–p dipole, p–p quadrupole, s–d quadrupole, p–d dipole, d–d
// quadrupole) from the element's own exponents; all 0 when z < 3 or zs·zp < 0.01.
using MomentFactors = std::array<double, 7>;
void aijm(MomentFactors& out, std::uint8_t z, const FactorialTable& factorials, double zs,
          double zp, double zd);

// Charge separations (entries 2–6) and additive terms (entries 1–8) of the multipoles,
// from the moment factors and the one-centre integrals (entries 1–52, eV). Entry 9 of the
// additive terms (the core) is left to the caller.
void ddpo(std::uint8_t z, const MomentFactors& moments,
          const std::array<double, 53>& one_center_integrals,
          std::array<double, 7>& charge_separations, std::array<double, 10>& additive_terms,
          double g_ss, double h_sp, double g_pp, double g_p2);

// The derived d record of element z: zs…h_sp are the element's own parameters (bohr⁻¹,
// eV); zs_internal…zd_internal, f0sd_constant, g2sd_constant and core_constant are the
// element's d-integral constants (F⁰sd and G²sd replace the computed values when above
// 0.001 eV; the core constant is the core's additive term in bohr when above 1e-5).
// Requires 1 ≤ z ≤ 86; for z < 3 only the monopole and core terms are set. Allocates
// nothing.
DElementParameters compute_d_element_params(std::uint8_t z, double zs, double zp, double zd,
                                            double g_ss, double g_pp, double g_p2, double h_sp,
                                            double zs_internal, double zp_internal,
                                            double zd_internal, double f0sd_constant,
                                            double g2sd_constant, double core_constant);

// ---------------------------------------------------------------------------------------
// One-centre table

constexpr std::size_t d_orbital_pairs = orbital_pair_count(9);

// One-centre two-electron integrals (eV) of an s, p, d atom over its molecular orbital
// pairs (lower-triangle index), table[P * 45 + Q] = (P|Q); symmetric.
using OneCenterDTable = std::array<double, d_orbital_pairs * d_orbital_pairs>;
void fill_one_center_d_table(const ElementParameters& element, const DElementParameters& d,
                             OneCenterDTable& table);

// ---------------------------------------------------------------------------------------
// Pair integrals
//
// Local frame of a pair: ẑ from A (the later atom) to B, x̂ and ŷ completing a
// right-handed frame, shared by both atoms. Local orbitals s, pσ, pπ, pπ', dσ, dπ, dπ', dδ,
// dδ' (indices 0–8); local orbital pairs a ≤ b are numbered 0–44 row by row.

// Local pair index (0–44) of local orbitals a and b, in either order.
constexpr std::size_t local_d_pair_index(std::size_t a, std::size_t b) {
    const std::size_t i = a <= b ? a : b;
    const std::size_t j = a <= b ? b : a;
    return i * (19 - i) / 2 + (j - i);
}

// Charge separations (entries 2–6) and additive terms (entries 1–9) of one atom's
// multipoles, bohr.
struct DMultipoleTerms {
    std::array<double, 7> charge_separations{};
    std::array<double, 10> additive_terms{};
};

// Those of an atom with d data, and of an atom without it (s, p multipoles from its
// derived parameters, every d multipole with zero separation and additive term).
DMultipoleTerms d_multipole_terms(const DElementParameters& d);
DMultipoleTerms d_multipole_terms(const DerivedMultipoleParams& params);

// Interaction (bohr⁻¹) of multipole (l1, m) of A with separation d_a and multipole (l2, m)
// of B with separation d_b, B's nucleus at r_bohr·ẑ, unit charges interacting through
// 1/√(r² + rho_sum_squared). Requires l1, l2 ≤ 2 and m_abs ≤ min(l1, l2).
double charg(int l1, int l2, int m_abs, double r_bohr, double d_a, double d_b,
             double rho_sum_squared);

// Which side of a local integral is a point core instead of an orbital pair.
enum class CoreSide { none, on_a, on_b };

// Local two-centre integral (ab|cd) before the factor of one hartree in eV (bohr⁻¹), for
// local pair pair_a of A and pair_b of B (0–44). A core side is the monopole of the s–s
// pair with that atom's core additive term (entry 9).
double rijkl(const DMultipoleTerms& a, const DMultipoleTerms& b, std::size_t pair_a,
             std::size_t pair_b, double r_bohr, CoreSide core);

// Local integrals of a pair, eV, at [pair_a * 45 + pair_b] over the local pairs the atoms
// have (n_orbitals 1, 4 or 9): all-s,p entries from sp_local (the 22 integrals of the
// pair, feathered when the model feathers), the others from rijkl, feathered when asked.
using LocalDIntegrals = std::array<double, d_orbital_pairs * d_orbital_pairs>;
void compute_reppd2(const DMultipoleTerms& a, const DMultipoleTerms& b, int n_orbitals_a,
                    int n_orbitals_b, const LocalMultipoleIntegrals& sp_local, double r_angstrom,
                    bool feathering, LocalDIntegrals& out);

// Molecular orbitals of an atom in terms of the pair's local orbitals: t[μ * 9 + a]
// (s → s, p by the frame's direction cosines, d by 2·tr(M_μ·M'_a) of the quadratic forms).
struct DOrbitalRotation3D {
    std::array<double, 81> t{};
    // Frame of the separation (dx, dy, dz) = r_B − r_A of length r_angstrom > 0.
    static DOrbitalRotation3D new_rotation(double dx, double dy, double dz, double r_angstrom);
};

// Each molecular orbital pair P (lower-triangle, 0–44) expanded over the local pairs p:
// y[P * 45 + p], both orders of two different local orbitals collected in one entry.
using DPairTransform = std::array<double, d_orbital_pairs * d_orbital_pairs>;
void tx(const DOrbitalRotation3D& rotation, DPairTransform& y);

// w[P * pairs_b + Q] = Σ y[P][p]·local[p][q]·y[Q][q]: the molecular integrals of the pair;
// w holds orbital_pair_count(n_a) × orbital_pair_count(n_b) values.
void rotatd_step2(int n_orbitals_a, int n_orbitals_b, const DPairTransform& y,
                  const LocalDIntegrals& local, double* w);

// PM7's shell correction of the molecular integrals (stride orbital_pair_count(n_b)):
// every set of diagonal d-shell integrals (against the partner's p diagonals, its (s,s)
// and its d diagonals) is shifted so that its mean equals (ss|ss).
void apply_pm7_d_correction(int n_orbitals_a, int n_orbitals_b, double* w);

// The record of one pair with a nine-orbital atom (atom_a > atom_b) for the separation
// (dx, dy, dz) = r_b − r_a in Å; sp_local are the pair's 22 s, p integrals (eV), feathered
// when the model feathers. Reuses the record's buffers, sized exactly.
void compute_d_pair_integrals(const MolecularBatch& batch, const ParameterModel& model,
                              std::size_t atom_a, std::size_t atom_b,
                              const DerivedMultipoleParams& params_a,
                              const DerivedMultipoleParams& params_b, double core_charge_a,
                              double core_charge_b, double dx, double dy, double dz,
                              const LocalMultipoleIntegrals& sp_local,
                              DiatomicPairIntegrals& record);

} // namespace quelm
