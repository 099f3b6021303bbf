#pragma once
// Diatomic overlap integrals between valence Slater-type orbitals (s, p, d) of two
// atoms, in the molecular axes. Orbital slots per atom: 0 s, 1–3 px py pz, 4–8 d(x²−y²),
// d(xz), d(z²), d(yz), d(xy). Distances in Å, exponents in bohr⁻¹.

#include "parameters/element_parameters.hpp"

#include <array>
#include <cstdint>

namespace quelm {

// Row-major 9 x 9 block: row = orbital of A, column = orbital of B. Only the top-left
// nA x nB corner is meaningful.
using OverlapBlock = std::array<double, 81>;

// (dx, dy, dz) = position(B) − position(A) in Å, r_angstrom its length. Writes all 81
// entries: zero for coincident (< 1e-10 Å) or distant (> 20 Å) pairs.
void compute_diatomic_overlap_matrix_9x9(std::uint8_t z_a, std::uint8_t z_b, int n_orbitals_a,
                                         int n_orbitals_b, const ElementParameters& a,
                                         const ElementParameters& b, double dx, double dy,
                                         double dz, double r_angstrom, OverlapBlock& out);

// Closed-form s,p block for H and Li–F pairs; unit_ab points from A to B.
void compute_diatomic_overlap_block_analytical(std::uint8_t z_a, std::uint8_t z_b,
                                               const ElementParameters& a,
                                               const ElementParameters& b,
                                               const std::array<double, 3>& unit_ab,
                                               double r_angstrom, std::array<double, 16>& out);

// Rotation coefficients from the local diatomic frame (σ, π, δ components) to the
// molecular axes, for the shells max(nA, nB) needs; returns the length of (dx, dy, dz).
// Layout: coefficients[orbital slot 0–8][local component]; components ordered
// σ = 0, π1 = 1, π2 = 2, δ1 = 3, δ2 = 4.
using RotationCoefficients = std::array<std::array<double, 5>, 9>;
double diatomic_rotation_coe(int n_orbitals_a, int n_orbitals_b, double dx, double dy, double dz,
                             RotationCoefficients& coefficients);

// Overlap of two Slater orbitals in the local diatomic frame (prolate spheroidal
// expansion). l_a1 = l_a + 1, l_b1 = l_b + 1, m1 = m + 1; exponents in bohr⁻¹, R in Å.
double slater_overlap_ss(int n_a, int n_b, int l_a1, int l_b1, int m1, double zeta_a, double zeta_b,
                         double r_angstrom);

// Auxiliary integrals B_k(t) = ∫₋₁¹ η^k e^(−tη) dη for k = 0..12.
void bfn(double t, std::array<double, 13>& out);

} // namespace quelm
