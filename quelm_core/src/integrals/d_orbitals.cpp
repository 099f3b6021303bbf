// Derived one-centre data of an element with d orbitals (MNDO/d).
//
// The one-centre two-electron integrals over s, p and d functions follow from twelve
// Slater–Condon parameters (radial integrals R^k of Slater functions with the element's
// internal exponents) times the angular coupling coefficients of real harmonics. The
// two-centre multipoles of each distribution get a charge separation from its exact
// moment and an additive term chosen so that the point charges reproduce the one-centre
// integral of that distribution at zero distance (Thiel & Voityuk, Theor. Chim. Acta 81,
// 391 (1992)).

#include "integrals/d_orbitals.hpp"

#include "parameters/models.hpp"
#include "parameters/parameter_tables.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <algorithm>
#include <cmath>
#include <string>

namespace quelm {

namespace {

constexpr double ev = ev_per_hartree;
constexpr double half_ev = ev / 2.0;
constexpr double quarter_ev = ev / 4.0;
constexpr double eighth_ev = ev / 8.0;

constexpr FactorialTable make_factorials() {
    FactorialTable f{};
    f[1] = 1.0;
    for (std::size_t i = 2; i < f.size(); ++i)
        f[i] = f[i - 1] * static_cast<double>(i - 1);
    return f;
}

constexpr BinomialTable make_binomials() {
    BinomialTable b{};
    for (std::size_t i = 1; i < b.size(); ++i) {
        b[i][1] = 1.0;
        for (std::size_t j = 2; j <= i; ++j)
            b[i][j] = b[i - 1][j - 1] + b[i - 1][j];
    }
    return b;
}

constexpr FactorialTable factorials_constant = make_factorials();
constexpr BinomialTable binomials_constant = make_binomials();

// Golden-section search for the additive term ρ (bohr) that makes f(ρ) vanish on the
// bracket [0.1, 5] bohr. It minimises f², so a target out of reach ends at an edge.
template <typename F> double golden_section_root(F f) {
    double lo = 0.1;
    double hi = 5.0;
    for (int round = 0; round < 100 && hi - lo >= 1e-8; ++round) {
        const double x1 = lo + 0.382 * (hi - lo);
        const double x2 = lo + 0.618 * (hi - lo);
        const double f1 = f(x1);
        const double f2 = f(x2);
        if (f2 * f2 > f1 * f1)
            hi = x2;
        else
            lo = x1;
    }
    return 0.5 * (lo + hi);
}

// Additive term of a dipole of separation d whose one-centre self-interaction is target (eV).
double dipole_additive_term(double d, double target) {
    return golden_section_root([d, target](double rho) {
        return quarter_ev * (1.0 / rho - 1.0 / std::sqrt(rho * rho + d * d)) - target;
    });
}

// The same for a quadrupole of separation d.
double quadrupole_additive_term(double d, double target) {
    return golden_section_root([d, target](double rho) {
        return eighth_ev * (1.0 / rho + 1.0 / std::sqrt(rho * rho + d * d) -
                            2.0 / std::sqrt(rho * rho + 0.5 * d * d)) -
               target;
    });
}

// One-centre integrals 1–52 from the Slater–Condon parameters: the angular coefficients
// of the real s, p, d harmonics (R1 = R¹sppd, R2 = R²sdpp, R3 = R²sddd).
void fill_one_center_integrals(const SlaterCondonParameters& p, std::array<double, 53>& v) {
    const double s3 = std::sqrt(3.0);
    const double s5 = std::sqrt(5.0);
    const double r1 = p.r1sppd;
    const double r2 = p.r2sdpp;
    const double r3 = p.r2sddd;
    v[0] = 0.0;
    v[1] = p.f0sd;
    v[2] = 2.0 / (3.0 * s5) * r1;
    v[3] = 1.0 / std::sqrt(15.0) * r1;
    v[4] = 2.0 / (5.0 * s5) * r2;
    v[5] = p.f0pd + 4.0 / 35.0 * p.f2pd;
    v[6] = p.f0pd + 2.0 / 35.0 * p.f2pd;
    v[7] = p.f0pd - 4.0 / 35.0 * p.f2pd;
    v[8] = -1.0 / (3.0 * s5) * r1;
    v[9] = std::sqrt(3.0 / 125.0) * r2;
    v[10] = s3 / 35.0 * p.f2pd;
    v[11] = 3.0 / 35.0 * p.f2pd;
    v[12] = -1.0 / (5.0 * s5) * r2;
    v[13] = p.f0pd - 2.0 / 35.0 * p.f2pd;
    v[14] = -2.0 * s3 / 35.0 * p.f2pd;
    v[15] = -v[3];
    v[16] = -v[11];
    v[17] = -v[9];
    v[18] = -v[14];
    v[19] = p.g2sd / 5.0;
    v[20] = 2.0 / (7.0 * s5) * r3;
    v[21] = v[20] / 2.0;
    v[22] = -v[20];
    v[23] = 4.0 / 15.0 * p.g1pd + 27.0 / 245.0 * p.g3pd;
    v[24] = 2.0 * s3 / 15.0 * p.g1pd - 9.0 * s3 / 245.0 * p.g3pd;
    v[25] = 1.0 / 15.0 * p.g1pd + 18.0 / 245.0 * p.g3pd;
    v[26] = -s3 / 15.0 * p.g1pd + 12.0 * s3 / 245.0 * p.g3pd;
    v[27] = -s3 / 15.0 * p.g1pd - 3.0 * s3 / 245.0 * p.g3pd;
    v[28] = -v[27];
    v[29] = p.f0dd + 4.0 / 49.0 * p.f2dd + 4.0 / 49.0 * p.f4dd;
    v[30] = p.f0dd + 2.0 / 49.0 * p.f2dd - 8.0 / 147.0 * p.f4dd;
    v[31] = p.f0dd - 4.0 / 49.0 * p.f2dd + 2.0 / 147.0 * p.f4dd;
    v[32] = s3 / (7.0 * s5) * r3;
    v[33] = p.g1pd / 5.0 + 24.0 / 245.0 * p.g3pd;
    v[34] = p.g1pd / 5.0 - 6.0 / 245.0 * p.g3pd;
    v[35] = 3.0 / 49.0 * p.g3pd;
    v[36] = 1.0 / 49.0 * p.f2dd + 10.0 / 147.0 * p.f4dd;
    v[37] = s3 / 49.0 * p.f2dd - 5.0 * s3 / 441.0 * p.f4dd;
    v[38] = p.f0dd - 2.0 / 49.0 * p.f2dd - 4.0 / 441.0 * p.f4dd;
    v[39] = -2.0 * s3 / 49.0 * p.f2dd + 10.0 * s3 / 441.0 * p.f4dd;
    v[40] = -v[32];
    v[41] = -v[34];
    v[42] = -v[35];
    v[43] = -v[37];
    v[44] = 3.0 / 49.0 * p.f2dd + 20.0 / 441.0 * p.f4dd;
    v[45] = -v[39];
    v[46] = p.g1pd / 5.0 - 3.0 / 35.0 * p.g3pd;
    v[47] = -v[46];
    v[48] = 4.0 / 49.0 * p.f2dd + 5.0 / 147.0 * p.f4dd;
    v[49] = 3.0 / 49.0 * p.f2dd - 5.0 / 147.0 * p.f4dd;
    v[50] = -v[49];
    v[51] = p.f0dd + 4.0 / 49.0 * p.f2dd - 34.0 / 441.0 * p.f4dd;
    v[52] = 5.0 / 63.0 * p.f4dd;
}

} // namespace

const FactorialTable& factorial_table() {
    return factorials_constant;
}

const BinomialTable& binomial_table() {
    return binomials_constant;
}

int d_scheme_sp_shell(std::uint8_t z) {
    if (z >= 1 && z <= 2)
        return 1;
    if (z >= 3 && z <= 10)
        return 2;
    if (z >= 11 && z <= 18)
        return 3;
    if (z >= 19 && z <= 36)
        return 4;
    if (z >= 37 && z <= 54)
        return 5;
    if (z >= 55 && z <= 86)
        return 6;
    return 0;
}

int d_scheme_d_shell(std::uint8_t z) {
    if (z >= 1 && z <= 30)
        return 3;
    if (z >= 31 && z <= 48)
        return 4;
    if (z >= 49 && z <= 80)
        return 5;
    if (z >= 81 && z <= 86)
        return 6;
    return 0;
}

// Closed form of the double radial integral: the inner integral over r2 < r1 and r2 > r1
// of the products of powers and exponentials, summed as finite series (S1, S2) plus the
// complete-gamma remainder (S3).
double rsc(int k, int na, int nb, int nc, int nd, double za, double zb, double zc, double zd,
           const FactorialTable& f, const BinomialTable& b) {
    const int n = na + nb + nc + nd;
    const int n_ab = na + nb;
    const int n_cd = nc + nd;
    const double e = za + zb + zc + zd;
    const double e_cd = zc + zd;
    const double e_ab = za + zb;
    const int m = n_cd - k;
    const int m2 = n_cd + k + 1;
    const int n_min = std::min(std::min(na, nb), std::min(nc, nd));
    const int n_max = std::max(std::max(na, nb), std::max(nc, nd));
    if (n_min < 1 || 2 * n_max + 1 > 30 || n > 30 || m < 0 || m2 > n) {
        throw InternalError("Slater–Condon integral out of range: k=" + std::to_string(k) +
                            ", n=" + std::to_string(na) + std::to_string(nb) + std::to_string(nc) +
                            std::to_string(nd));
    }

    const double c = ev * f[n] /
                     std::sqrt(f[2 * na + 1] * f[2 * nb + 1] * f[2 * nc + 1] * f[2 * nd + 1]) *
                     std::pow(2.0, n + 2) * std::pow(za, na + 0.5) * std::pow(zb, nb + 0.5) *
                     std::pow(zc, nc + 0.5) * std::pow(zd, nd + 0.5) / std::pow(e, n);

    const double ratio = e / e_cd;
    double s_j = 1.0 / e_cd; // E^(j−1)/E_cd^j at j = 1
    double s1 = 0.0;
    for (int j = 1; j <= m; ++j) {
        s1 += s_j * (b[m][j] - b[m2][j]) / b[n][j];
        s_j *= ratio;
    }
    double s2 = 0.0;
    for (int j = m + 1; j <= m2; ++j) {
        s2 += s_j * b[m2][j] / b[n][j];
        s_j *= ratio;
    }
    const double s3 = std::pow(e, n) / (std::pow(e_cd, m2) * std::pow(e_ab, n_ab - k)) / b[n][m2];
    return c * (s1 - s2 + s3);
}

void scprm(SlaterCondonParameters& out, std::uint8_t z, const FactorialTable& f,
           const BinomialTable& b, double zs, double zp, double zd) {
    const int ns = d_scheme_sp_shell(z);
    const int nd = d_scheme_d_shell(z);
    out.f0dd = rsc(0, nd, nd, nd, nd, zd, zd, zd, zd, f, b);
    out.f2dd = rsc(2, nd, nd, nd, nd, zd, zd, zd, zd, f, b);
    out.f4dd = rsc(4, nd, nd, nd, nd, zd, zd, zd, zd, f, b);
    out.f0sd = rsc(0, ns, ns, nd, nd, zs, zs, zd, zd, f, b);
    out.g2sd = rsc(2, ns, nd, ns, nd, zs, zd, zs, zd, f, b);
    out.f0pd = rsc(0, ns, ns, nd, nd, zp, zp, zd, zd, f, b);
    out.f2pd = rsc(2, ns, ns, nd, nd, zp, zp, zd, zd, f, b);
    out.g1pd = rsc(1, ns, nd, ns, nd, zp, zd, zp, zd, f, b);
    out.g3pd = rsc(3, ns, nd, ns, nd, zp, zd, zp, zd, f, b);
    out.r1sppd = rsc(1, ns, ns, ns, nd, zs, zp, zp, zd, f, b);
    out.r2sdpp = rsc(2, ns, ns, ns, nd, zp, zp, zs, zd, f, b);
    out.r2sddd = rsc(2, ns, nd, nd, nd, zs, zd, zd, zd, f, b);
}

double aijl(int na, int nb, int l, double za, double zb, const FactorialTable& f) {
    const double s = za + zb + 1e-20; // keeps a vanishing pair of exponents finite
    return f[na + nb + l + 1] / std::sqrt(f[2 * na + 1] * f[2 * nb + 1]) *
           std::pow(2.0 * za / s, na + 0.5) * std::pow(2.0 * zb / s, nb + 0.5) *
           std::pow(2.0 / s, l);
}

void aijm(MomentFactors& out, std::uint8_t z, const FactorialTable& f, double zs, double zp,
          double zd) {
    out = {};
    if (z < 3 || zs * zp < 0.01)
        return;
    const int ns = d_scheme_sp_shell(z);
    const int nd = d_scheme_d_shell(z);
    out[2] = aijl(ns, ns, 1, zs, zp, f);
    out[3] = aijl(ns, ns, 2, zp, zp, f);
    out[4] = aijl(ns, nd, 2, zs, zd, f);
    out[5] = aijl(ns, nd, 1, zp, zd, f);
    out[6] = aijl(nd, nd, 2, zd, zd, f);
}

void ddpo(std::uint8_t z, const MomentFactors& a, const std::array<double, 53>& v,
          std::array<double, 7>& d, std::array<double, 10>& rho, double g_ss, double h_sp,
          double g_pp, double g_p2) {
    if (g_ss > 0.1)
        rho[1] = half_ev / g_ss;
    if (z < 3)
        return;

    d[2] = a[2] / std::sqrt(12.0);
    rho[2] = dipole_additive_term(d[2], h_sp);
    rho[7] = rho[1];

    d[3] = std::sqrt(a[3] / 10.0);
    rho[3] = quadrupole_additive_term(d[3], 0.5 * (g_pp - g_p2));

    d[4] = std::sqrt(a[4] / std::sqrt(60.0));
    rho[4] = quadrupole_additive_term(d[4], v[19]);

    d[5] = a[5] / std::sqrt(20.0);
    rho[5] = dipole_additive_term(d[5], v[23] - 1.8 * v[35]);

    // The d–d monopole reproduces the average d–d Coulomb integral.
    const double g_dd = (v[29] + 2.0 * v[30] + 2.0 * v[31]) / 5.0;
    rho[8] = g_dd > 1e-5 ? half_ev / g_dd : 100000.0;

    d[6] = std::sqrt(a[6] / 14.0);
    rho[6] = quadrupole_additive_term(d[6], v[44] - (4.0 / 7.0) * v[52]);
}

DElementParameters compute_d_element_params(std::uint8_t z, double zs, double zp, double zd,
                                            double g_ss, double g_pp, double g_p2, double h_sp,
                                            double zs_internal, double zp_internal,
                                            double zd_internal, double f0sd_constant,
                                            double g2sd_constant, double core_constant) {
    if (d_scheme_sp_shell(z) == 0)
        throw InternalError("No d-orbital integrals for Z=" + std::to_string(z));
    const FactorialTable& f = factorial_table();
    const BinomialTable& b = binomial_table();

    DElementParameters d;
    d.atomic_number = z;
    // H and He have no p or d functions in this scheme (their R²sdpp would need a 1p
    // function, for which the closed form divides by zero): no one-centre d integrals.
    if (z >= 3) {
        SlaterCondonParameters slater_condon;
        scprm(slater_condon, z, f, b, zs_internal, zp_internal, zd_internal);
        // Fitted F⁰sd and G²sd take precedence over the Slater-function values.
        if (f0sd_constant > 0.001)
            slater_condon.f0sd = f0sd_constant;
        if (g2sd_constant > 0.001)
            slater_condon.g2sd = g2sd_constant;
        fill_one_center_integrals(slater_condon, d.one_center_integrals);
    }

    MomentFactors moments{};
    aijm(moments, z, f, zs, zp, zd);
    ddpo(z, moments, d.one_center_integrals, d.charge_separations, d.additive_terms, g_ss, h_sp,
         g_pp, g_p2);
    d.additive_terms[9] = core_constant > 1e-5 ? core_constant : d.additive_terms[1];
    return d;
}

namespace {

// The d record of a model's element from its table of d constants: none without an element
// row, a d shell (ζd > 1e-8), Z within 13–83 or a constants entry.
std::optional<DElementParameters>
d_element_params_from_table(const ParameterModel& model, std::uint8_t z,
                            std::optional<DConstants> (*lookup_constants)(std::uint8_t)) {
    const auto element = model.get_element(z);
    if (!element)
        return std::nullopt;
    if (!(element->zeta_d > 1e-8) || z < 13 || z > 83)
        return std::nullopt;
    const auto constants = lookup_constants(z);
    if (!constants)
        return std::nullopt;
    const std::array<double, 6>& c = constants->values;
    return compute_d_element_params(z, element->zeta_s, element->zeta_p, element->zeta_d,
                                    element->g_ss, element->g_pp, element->g_p2, element->h_sp,
                                    c[0], c[1], c[2], c[3], c[4], c[5]);
}

} // namespace

std::optional<DElementParameters> Pm6Model::get_d_element_params(std::uint8_t z) const {
    return d_element_params_from_table(*this, z, lookup_pm6_d_constants);
}

std::optional<DElementParameters> Pm7Model::get_d_element_params(std::uint8_t z) const {
    return d_element_params_from_table(*this, z, lookup_pm7_d_constants);
}

} // namespace quelm
