// Overlaps of two Slater-type orbitals in their local diatomic frame.
//
// In prolate spheroidal coordinates, ξ = (r_a + r_b)/R and η = (r_a − r_b)/R, the product
// of two Slater orbitals expands into sums of A_k(p) = ∫₁^∞ ξ^k e^(−pξ) dξ times
// B_k(t) = ∫₋₁¹ η^k e^(−tη) dη, with p = (ζa + ζb)R/2 and t = (ζa − ζb)R/2 (Mulliken,
// Rieke, Orloff and Orloff, J. Chem. Phys. 17, 1248 (1949)). The local frame of A has its
// z axis towards B, that of B towards A, so a result times (−1)^(l_b+m) is the overlap
// with both axes pointing from A to B. The same integrals for 1s, 2s and 2p orbitals are
// also written out in closed form: H and Li–F pairs dominate organic molecules.

#include "integrals/overlap.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <algorithm>
#include <cmath>
#include <string>

namespace quelm {

namespace {

// 0!–15! exact; 16!–20! to ten significant digits, as the published tables carry them.
constexpr std::array<double, 21> factorials = {1.0,
                                               1.0,
                                               2.0,
                                               6.0,
                                               24.0,
                                               120.0,
                                               720.0,
                                               5040.0,
                                               40320.0,
                                               362880.0,
                                               3628800.0,
                                               39916800.0,
                                               479001600.0,
                                               6227020800.0,
                                               87178291200.0,
                                               1307674368000.0,
                                               20922789890000.0,
                                               355687428100000.0,
                                               6402373706000000.0,
                                               1.216451004e+17,
                                               2.432902008e+18};

// An index beyond the table counts as 1 (never reached for n ≤ 10).
double factorial(int n) {
    return n >= 0 && n <= 20 ? factorials[n] : 1.0;
}

using BinomialTable = std::array<std::array<double, 13>, 13>;

constexpr BinomialTable make_binomials() {
    BinomialTable c{};
    for (int n = 0; n < 13; ++n) {
        c[n][0] = 1.0;
        for (int k = 1; k <= n; ++k)
            c[n][k] = c[n - 1][k - 1] + (k < n ? c[n - 1][k] : 0.0);
    }
    return c;
}

constexpr BinomialTable binomials = make_binomials();

// F[l][m][g]: coefficient of sin^m θ · cos^(l−m−g) θ in the real harmonic (l, m); with
// the √(2l+1) of the prefactor it completes the angular normalisation.
using AngularTable = std::array<std::array<std::array<double, 3>, 3>, 3>;

constexpr AngularTable make_angular_factors() {
    AngularTable f{};
    f[0][0][0] = 1.0;
    f[1][0][0] = 1.0;
    f[1][1][0] = 0.7071067811865476;
    f[2][0][0] = 1.5;
    f[2][0][2] = -0.5;
    f[2][1][0] = 1.224744871391589;
    f[2][2][0] = 0.6123724356957945;
    return f;
}

constexpr AngularTable angular_factors = make_angular_factors();

constexpr int max_a_index = 19;
constexpr int b_count = 13;
constexpr int max_index = 20; // n_a + n_b for the largest n accepted (10)

// Coefficients of w^j in (1 + w)^q (1 − w)^s, j = 0..q+s; returns q + s.
int mixed_binomial(int q, int s, double* c) {
    for (int j = 0; j <= q + s; ++j)
        c[j] = 0.0;
    for (int x = 0; x <= q; ++x)
        for (int y = 0; y <= s; ++y)
            c[x + y] += (y % 2 == 0) ? binomials[q][x] * binomials[s][y]
                                     : -binomials[q][x] * binomials[s][y];
    return q + s;
}

// 2/n for n = 0..28: the η-integral of an even power, without a division per term.
constexpr std::array<double, 29> make_two_over() {
    std::array<double, 29> v{};
    for (int n = 1; n < 29; ++n)
        v[n] = 2.0 / n;
    return v;
}

constexpr std::array<double, 29> two_over = make_two_over();

constexpr std::array<double, 16> make_inverse() {
    std::array<double, 16> v{};
    for (int n = 1; n < 16; ++n)
        v[n] = 1.0 / n;
    return v;
}

constexpr std::array<double, 16> inverse = make_inverse();

double integer_power(double x, int n) {
    double result = 1.0;
    for (int i = 0; i < n; ++i)
        result *= x;
    return result;
}

// A_0..A_(count−1) by upward recursion, which is stable: every term is positive.
void auxiliary_a(double p, int count, double* a) {
    const double inv_p = 1.0 / p;
    a[0] = std::exp(-p) * inv_p;
    for (int k = 1; k < count; ++k)
        a[k] = a[0] + k * inv_p * a[k - 1];
}

// B_0..B_(count−1). Upward recursion loses k!/|t|^k digits, so below |t| = 3 a
// truncated Taylor series in t is used; at t → 0 only the even powers survive.
void auxiliary_b(double t, int count, double* b) {
    const double x = std::abs(t);
    if (x <= 1e-6) {
        for (int k = 0; k < count; ++k)
            b[k] = (k % 2 == 0) ? two_over[k + 1] : 0.0;
        return;
    }
    if (x <= 3.0) {
        const int last = x <= 0.5 ? 6 : x <= 1.0 ? 7 : x <= 2.0 ? 12 : 15;
        std::array<double, 16> term{}; // (−t)^j / j!
        term[0] = 1.0;
        for (int j = 1; j <= last; ++j)
            term[j] = term[j - 1] * (-t) * inverse[j];
        for (int k = 0; k < count; ++k) {
            double sum = 0.0;
            for (int j = k % 2; j <= last; j += 2)
                sum += term[j] * two_over[j + k + 1];
            b[k] = sum;
        }
        return;
    }
    const double e_plus = std::exp(t);
    const double e_minus = std::exp(-t);
    const double inv_t = 1.0 / t;
    b[0] = (e_plus - e_minus) * inv_t;
    for (int k = 1; k < count; ++k)
        b[k] = (k * b[k - 1] + ((k % 2 == 0) ? e_plus : -e_plus) - e_minus) * inv_t;
}

// A zero exponent marks a shell the element does not have (hydrogen's p); its
// normalisation vanishes, and p → 0 would only turn that zero into 0·∞.
constexpr double vanishing_p = 1e-12;

// The η and ξ integrals of one exponent pair, up to index 4: all the closed forms need.
struct LightPairTerms {
    std::array<double, 5> a{};
    std::array<double, 5> b{};
    double zeta_product = 0.0; // ζa·ζb
    bool vanishes = true;
};

LightPairTerms light_pair_terms(double zeta_a, double zeta_b, double r_bohr, int count) {
    LightPairTerms terms;
    const double p = 0.5 * (zeta_a + zeta_b) * r_bohr;
    if (p < vanishing_p)
        return terms;
    auxiliary_a(p, count, terms.a.data());
    auxiliary_b(0.5 * (zeta_a - zeta_b) * r_bohr, count, terms.b.data());
    terms.zeta_product = zeta_a * zeta_b;
    terms.vanishes = false;
    return terms;
}

constexpr double sqrt3 = 1.7320508075688772;

// Closed forms of the expansion; a, b are A_k(p), B_k(t) with t = (ζa − ζb)R/2 and the
// results carry the raw (axes facing each other) sign convention.
double overlap_1s_1s(double za, double zb, double r) {
    const LightPairTerms q = light_pair_terms(za, zb, r, 3);
    if (q.vanishes)
        return 0.0;
    const auto& a = q.a;
    const auto& b = q.b;
    return r * r * r * q.zeta_product * std::sqrt(q.zeta_product) / 4.0 *
           (a[2] * b[0] - a[0] * b[2]);
}

// 1s on A (exponent za) and 2s on B, or 2s–1s with one_s_on_a = false.
double overlap_1s_2s(double za, double zb, double r, bool one_s_on_a) {
    const LightPairTerms q = light_pair_terms(za, zb, r, 4);
    if (q.vanishes)
        return 0.0;
    const auto& a = q.a;
    const auto& b = q.b;
    const double zeta_2s = one_s_on_a ? zb : za;
    const double scale =
        sqrt3 * r * r * r * r * q.zeta_product * std::sqrt(q.zeta_product) * zeta_2s / 24.0;
    // Swapping the centres reverses η, which flips the sign of every odd B_k.
    const double odd = one_s_on_a ? 1.0 : -1.0;
    return scale * (a[3] * b[0] - a[1] * b[2] - odd * (a[2] * b[1] - a[0] * b[3]));
}

// 1s–2pσ with the 1s on A, or 2pσ–1s with one_s_on_a = false.
double overlap_1s_2p_sigma(double za, double zb, double r, bool one_s_on_a) {
    const LightPairTerms q = light_pair_terms(za, zb, r, 4);
    if (q.vanishes)
        return 0.0;
    const auto& a = q.a;
    const auto& b = q.b;
    const double zeta_2p = one_s_on_a ? zb : za;
    const double scale = r * r * r * r * q.zeta_product * std::sqrt(q.zeta_product) * zeta_2p / 8.0;
    const double odd = one_s_on_a ? 1.0 : -1.0;
    return scale * (a[2] * b[0] - a[0] * b[2] + odd * (a[1] * b[3] - a[3] * b[1]));
}

double second_row_scale(const LightPairTerms& q, double r) {
    const double r2 = r * r;
    return r2 * r2 * r * q.zeta_product * q.zeta_product * std::sqrt(q.zeta_product);
}

double overlap_2s_2s(double za, double zb, double r) {
    const LightPairTerms q = light_pair_terms(za, zb, r, 5);
    if (q.vanishes)
        return 0.0;
    const auto& a = q.a;
    const auto& b = q.b;
    return second_row_scale(q, r) / 48.0 * (a[4] * b[0] - 2.0 * a[2] * b[2] + a[0] * b[4]);
}

// 2s on A and 2pσ on B, or 2pσ–2s with s_on_a = false.
double overlap_2s_2p_sigma(double za, double zb, double r, bool s_on_a) {
    const LightPairTerms q = light_pair_terms(za, zb, r, 5);
    if (q.vanishes)
        return 0.0;
    const auto& a = q.a;
    const auto& b = q.b;
    const double even = a[3] * (b[0] - b[2]) + a[1] * (b[4] - b[2]);
    const double odd = a[2] * (b[1] + b[3]) - a[4] * b[1] - a[0] * b[3];
    return sqrt3 * second_row_scale(q, r) / 48.0 * (even + (s_on_a ? odd : -odd));
}

double overlap_2p_2p_sigma(double za, double zb, double r) {
    const LightPairTerms q = light_pair_terms(za, zb, r, 5);
    if (q.vanishes)
        return 0.0;
    const auto& a = q.a;
    const auto& b = q.b;
    return second_row_scale(q, r) / 16.0 * (a[2] * (b[0] + b[4]) - a[0] * b[2] - a[4] * b[2]);
}

double overlap_2p_2p_pi(double za, double zb, double r) {
    const LightPairTerms q = light_pair_terms(za, zb, r, 5);
    if (q.vanishes)
        return 0.0;
    const auto& a = q.a;
    const auto& b = q.b;
    return second_row_scale(q, r) / 32.0 *
           (a[4] * (b[0] - b[2]) + a[2] * (b[4] - b[0]) + a[0] * (b[2] - b[4]));
}

bool is_closed_form_element(std::uint8_t z) {
    return z == 1 || (z >= 3 && z <= 9);
}

} // namespace

void bfn(double t, std::array<double, 13>& out) {
    auxiliary_b(t, b_count, out.data());
}

double slater_overlap_ss(int n_a, int n_b, int l_a1, int l_b1, int m1, double zeta_a, double zeta_b,
                         double r_angstrom) {
    const int l_a = l_a1 - 1;
    const int l_b = l_b1 - 1;
    const int m = m1 - 1;
    if (l_a < 0 || l_a > 2 || l_b < 0 || l_b > 2 || m < 0 || n_a <= l_a || n_b <= l_b || n_a > 10 ||
        n_b > 10) {
        throw InternalError("Slater overlap needs 0 <= l < n <= 10, l <= 2, m >= 0; got n_a=" +
                            std::to_string(n_a) + " l_a=" + std::to_string(l_a) +
                            " n_b=" + std::to_string(n_b) + " l_b=" + std::to_string(l_b) +
                            " m=" + std::to_string(m));
    }
    const double r = r_angstrom / angstrom_per_bohr;
    if (r < 1e-12 || m > l_a || m > l_b)
        return 0.0;
    const double p = 0.5 * (zeta_a + zeta_b) * r;
    if (p < vanishing_p)
        return 0.0;

    // Every A and B index of the expansion is at most n_a + n_b (≤ 20).
    const int top = n_a + n_b;
    std::array<double, max_a_index + 1> a{};
    std::array<double, b_count> b{};
    auxiliary_a(p, std::min(top, max_a_index) + 1, a.data());
    auxiliary_b(0.5 * (zeta_a - zeta_b) * r, std::min(top + 1, b_count), b.data());

    // The u and v sums of the expansion, Σ C(m,u)(−1)^u A_(j+2u) and the same with B: the
    // (ξ² − 1)^m (1 − η²)^m of the two sin^m θ factors. Indices past the tables drop out
    // term by term.
    std::array<double, max_index + 1> a_m{};
    std::array<double, max_index + 1> b_m{};
    for (int j = 0; j + 2 * m <= top; ++j) {
        for (int u = 0; u <= m; ++u) {
            const double c = (u % 2 == 0) ? binomials[m][u] : -binomials[m][u];
            if (j + 2 * u <= max_a_index)
                a_m[j] += c * a[j + 2 * u];
            if (j + 2 * u < b_count)
                b_m[j] += c * b[j + 2 * u];
        }
    }

    // Σ_g Σ_k F F T(g, k), with the x, y and i, z sums of T collapsed to the coefficients
    // of (1+w)^Q (1−w)^S' and (1+w)^h (1−w)^P.
    std::array<double, max_index + 1> outer{};
    std::array<double, max_index + 1> inner{};
    double sum = 0.0;
    for (int g = 0; g <= l_a - m; g += 2) {
        const double f_a = angular_factors[l_a][m][g];
        if (f_a == 0.0)
            continue;
        for (int k = 0; k <= l_b - m; k += 2) {
            const double f_b = angular_factors[l_b][m][k];
            if (f_b == 0.0)
                continue;
            const int q = n_a - l_a + g;
            const int s = n_b - l_b + k;
            const int outer_degree = mixed_binomial(q, s, outer.data());
            const int inner_degree = mixed_binomial(l_a - m - g, l_b - m - k, inner.data());
            double term = 0.0;
            for (int s1 = 0; s1 <= outer_degree; ++s1) {
                double row = 0.0;
                for (int s2 = 0; s2 <= inner_degree; ++s2)
                    row += inner[s2] * a_m[q + s - s1 + s2] * b_m[s1 + s2];
                term += outer[s1] * row;
            }
            sum += f_a * f_b * term;
        }
    }
    if (m % 2 == 1)
        sum = -sum;

    const double norm = std::sqrt((2 * l_a + 1) * (2 * l_b + 1) * zeta_a * zeta_b /
                                  (factorial(2 * n_a) * factorial(2 * n_b)));
    return 0.5 * integer_power(r, n_a + n_b + 1) * integer_power(zeta_a, n_a) *
           integer_power(zeta_b, n_b) * sum * norm;
}

void compute_diatomic_overlap_block_analytical(std::uint8_t z_a, std::uint8_t z_b,
                                               const ElementParameters& a,
                                               const ElementParameters& b,
                                               const std::array<double, 3>& unit_ab,
                                               double r_angstrom, std::array<double, 16>& out) {
    if (!is_closed_form_element(z_a) || !is_closed_form_element(z_b)) {
        throw InternalError("closed-form overlap covers H and Li-F only; got Z=" +
                            std::to_string(z_a) + " and Z=" + std::to_string(z_b));
    }
    out.fill(0.0);
    const double r = r_angstrom / angstrom_per_bohr;
    const bool a_is_h = z_a == 1;
    const bool b_is_h = z_b == 1;

    // Local overlaps with both axes pointing from A to B: the raw value times (−1)^(l_b+m).
    double ss = 0.0;
    double s_p = 0.0; // s on A, pσ on B
    double p_s = 0.0; // pσ on A, s on B
    double sigma = 0.0;
    double pi = 0.0;
    if (a_is_h && b_is_h) {
        ss = overlap_1s_1s(a.zeta_s, b.zeta_s, r);
    } else if (a_is_h) {
        ss = overlap_1s_2s(a.zeta_s, b.zeta_s, r, true);
        s_p = -overlap_1s_2p_sigma(a.zeta_s, b.zeta_p, r, true);
    } else if (b_is_h) {
        ss = overlap_1s_2s(a.zeta_s, b.zeta_s, r, false);
        p_s = overlap_1s_2p_sigma(a.zeta_p, b.zeta_s, r, false);
    } else {
        ss = overlap_2s_2s(a.zeta_s, b.zeta_s, r);
        s_p = -overlap_2s_2p_sigma(a.zeta_s, b.zeta_p, r, true);
        p_s = overlap_2s_2p_sigma(a.zeta_p, b.zeta_s, r, false);
        sigma = -overlap_2p_2p_sigma(a.zeta_p, b.zeta_p, r);
        pi = overlap_2p_2p_pi(a.zeta_p, b.zeta_p, r);
    }

    // σ projects on l, the two π components on the plane normal to it: Σπ C C = δ − l l.
    out[0] = ss;
    for (int i = 0; i < 3; ++i) {
        out[1 + i] = s_p * unit_ab[i];
        out[4 * (1 + i)] = p_s * unit_ab[i];
        for (int j = 0; j < 3; ++j) {
            const double ll = unit_ab[i] * unit_ab[j];
            out[4 * (1 + i) + 1 + j] = sigma * ll + pi * ((i == j ? 1.0 : 0.0) - ll);
        }
    }
}

} // namespace quelm
