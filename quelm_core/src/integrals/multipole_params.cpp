// Charge separations and Klopman–Ohno parameters of an atom's point-charge multipoles.
//
// The s–p dipole and p–p quadrupole are each replaced by point charges a distance d1 or
// 2·d2 apart; d1 and d2 come from the Slater exponents. The additive terms are then
// chosen so that the point-charge model reproduces the one-centre exchange integrals
// hsp and hpp at R = 0 (Dewar & Thiel, Theor. Chim. Acta 46, 89 (1977)); these two
// equations are solved by a short secant iteration.

#include "integrals/multipoles.hpp"
#include "types/physical_constants.hpp"

#include <algorithm>
#include <cmath>

namespace quelm {

namespace {

constexpr double ev = ev_per_hartree;
constexpr double sqrt_3 = 1.7320508075688772;
constexpr int max_secant_steps = 10;
constexpr double flat_secant = 1e-25;

// Valence principal quantum number of the s, p shell by row of the periodic table.
int valence_shell(std::uint8_t z) {
    if (z == 2)
        return 1;
    if (z >= 3 && z <= 10)
        return 2;
    if (z >= 11 && z <= 18)
        return 3;
    if (z >= 19 && z <= 36)
        return 4;
    if (z >= 37 && z <= 54)
        return 5;
    return 6;
}

// One-centre (sp|sp) of the dipole charges (hartree) as a function of the parameter x.
double dipole_exchange(double x, double d1) {
    return 0.5 * x - 0.5 / std::sqrt(4.0 * d1 * d1 + 1.0 / (x * x));
}

// One-centre (pp'|pp') of the quadrupole charges (hartree) as a function of x.
double quadrupole_exchange(double x, double d2) {
    const double inv_x2 = 1.0 / (x * x);
    return 0.25 * x - 0.5 / std::sqrt(4.0 * d2 * d2 + inv_x2) +
           0.25 / std::sqrt(8.0 * d2 * d2 + inv_x2);
}

// Secant iteration for f(x) = target from x0 and x0 + 0.04; stops early when the
// secant becomes flat. Returns the last iterate.
template <typename F> double solve_by_secant(F f, double target, double x0) {
    double x1 = x0 + 0.04;
    double f0 = f(x0);
    double f1 = f(x1);
    for (int step = 0; step < max_secant_steps; ++step) {
        if (std::abs(f1 - f0) < flat_secant)
            break;
        const double x2 = x0 + (target - f0) * (x1 - x0) / (f1 - f0);
        x0 = x1;
        f0 = f1;
        x1 = x2;
        f1 = f(x1);
    }
    return x1;
}

} // namespace

DerivedMultipoleParams DerivedMultipoleParams::from_element(const ElementParameters& element) {
    DerivedMultipoleParams params;
    params.atomic_number = element.atomic_number;
    params.am = element.g_ss / ev;
    params.rho0 = 0.5 / params.am;

    // Hydrogen, and any atom without a p shell, has no s–p dipole or p–p quadrupole:
    // the charge separations vanish and the additive terms follow the monopole. (The
    // closed forms below would divide by a zero p exponent.)
    if (element.atomic_number == 1 || !(element.zeta_p > 0.0)) {
        params.ad = params.am;
        params.aq = params.am;
        return params;
    }

    const int n = valence_shell(element.atomic_number);
    const double zs = element.zeta_s;
    const double zp = element.zeta_p;
    params.d1 =
        (2 * n + 1) * std::pow(4.0 * zs * zp, n + 0.5) / std::pow(zs + zp, 2 * n + 2) / sqrt_3;
    params.d2 = std::sqrt((4.0 * n * n + 6.0 * n + 2.0) / 20.0) / zp;

    const double d1 = params.d1;
    const double d2 = params.d2;
    const double hsp = std::max(element.h_sp, 1e-7);
    params.ad = solve_by_secant([d1](double x) { return dipole_exchange(x, d1); }, hsp / ev,
                                std::cbrt(hsp / (ev * d1 * d1)));

    const double hpp = std::max(0.5 * (element.g_pp - element.g_p2), 0.1);
    const double d2_4 = d2 * d2 * d2 * d2;
    params.aq = solve_by_secant([d2](double x) { return quadrupole_exchange(x, d2); }, hpp / ev,
                                std::pow(4.0 * hpp / (48.0 * ev * d2_4), 0.2));

    params.rho1 = params.ad > 1e-5 ? 0.5 / params.ad : 0.0;
    params.rho2 = params.aq > 1e-5 ? 0.5 / params.aq : 0.0;
    return params;
}

} // namespace quelm
