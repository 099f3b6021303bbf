#pragma once
// The per-element record of a semi-empirical model: published one-centre energies,
// Slater exponents, resonance parameters, one-centre two-electron integrals and
// core-repulsion terms. Energies in eV, exponents in bohr^-1, alpha in Å^-1.

#include <array>
#include <cstdint>

namespace quelm {

// One core-repulsion Gaussian term K·exp(−L·(R − M)²): K dimensionless, L in Å⁻², M in Å.
struct GaussianTerm {
    double k = 0.0;
    double l = 0.0;
    double m = 0.0;
};

struct ElementParameters {
    std::array<GaussianTerm, 4> gaussians{};
    double core_charge = 0.0;
    double u_ss = 0.0;
    double u_pp = 0.0;
    double u_dd = 0.0;
    double zeta_s = 0.0;
    double zeta_p = 0.0;
    double zeta_d = 0.0;
    double beta_s = 0.0;
    double beta_p = 0.0;
    double beta_d = 0.0;
    double alpha = 0.0;
    double g_ss = 0.0;
    double g_sp = 0.0;
    double g_pp = 0.0;
    double g_p2 = 0.0;
    double h_sp = 0.0;
    unsigned n_gaussians = 0;
    std::uint8_t atomic_number = 0;
};

// Diatomic core-repulsion pair parameters of PM6 and PM7: exponent α_AB (Å⁻¹) and
// prefactor x_AB (dimensionless).
struct PairParameters {
    double alpha = 0.0;
    double x = 0.0;
};

} // namespace quelm
