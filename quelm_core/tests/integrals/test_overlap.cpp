#include "integrals/overlap.hpp"
#include "types/physical_constants.hpp"

#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <vector>

namespace quelm {
namespace {

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<Vec3, 3>;

ElementParameters exponents(double zeta_s, double zeta_p, double zeta_d = 0.0) {
    ElementParameters e;
    e.zeta_s = zeta_s;
    e.zeta_p = zeta_p;
    e.zeta_d = zeta_d;
    return e;
}

// One atom of a test pair: element, orbital count, exponents, and the principal quantum
// numbers (s, p, d) it should be given — written here from the periodic table.
struct Atom {
    std::uint8_t z;
    int n_orbitals;
    ElementParameters params;
    std::array<int, 3> n;
};

const Atom hydrogen{1, 1, exponents(1.2, 0.0), {1, 2, 3}};
const Atom lithium{3, 4, exponents(0.7, 0.65), {2, 2, 3}};
const Atom boron{5, 4, exponents(1.5, 1.4), {2, 2, 3}};
const Atom carbon{6, 4, exponents(1.8, 1.7), {2, 2, 3}};
const Atom nitrogen{7, 4, exponents(2.3, 2.0), {2, 2, 3}};
const Atom oxygen{8, 4, exponents(3.1, 2.5), {2, 2, 3}};
const Atom fluorine{9, 4, exponents(4.5, 3.9), {2, 2, 3}};
const Atom silicon{14, 9, exponents(1.6, 1.4, 1.1), {3, 3, 3}};
const Atom sulfur{16, 9, exponents(2.2, 1.9, 1.5), {3, 3, 3}};
const Atom chlorine{17, 9, exponents(2.5, 2.2, 1.4), {3, 3, 3}};
const Atom potassium{19, 4, exponents(0.9, 0.8), {4, 4, 3}};
const Atom bromine{35, 9, exponents(2.6, 2.2, 1.6), {4, 4, 4}};
const Atom iodine{53, 9, exponents(2.3, 2.0, 1.5), {5, 5, 5}};

OverlapBlock overlap(const Atom& a, const Atom& b, const Vec3& d, int n_a = 0, int n_b = 0) {
    OverlapBlock out;
    out.fill(-7.0); // every entry must be overwritten
    const double r = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    compute_diatomic_overlap_matrix_9x9(a.z, b.z, n_a > 0 ? n_a : a.n_orbitals,
                                        n_b > 0 ? n_b : b.n_orbitals, a.params, b.params, d[0],
                                        d[1], d[2], r, out);
    return out;
}

Vec3 scaled(const Vec3& v, double s) {
    return {v[0] * s, v[1] * s, v[2] * s};
}

// ---- Independent numerical integration of Slater-orbital overlaps ------------------------

struct Rule {
    std::vector<double> x;
    std::vector<double> w;
};

// Gauss–Legendre nodes and weights on [−1, 1] by Newton iteration on P_n.
Rule gauss_legendre(int n) {
    Rule rule{std::vector<double>(n), std::vector<double>(n)};
    for (int i = 0; i < n; ++i) {
        double x = std::cos(std::numbers::pi * (i + 0.75) / (n + 0.5));
        double dp = 0.0;
        for (int iter = 0; iter < 100; ++iter) {
            double p0 = 1.0;
            double p1 = x;
            for (int k = 2; k <= n; ++k) {
                const double p2 = ((2 * k - 1) * x * p1 - (k - 1) * p0) / k;
                p0 = p1;
                p1 = p2;
            }
            dp = n * (x * p1 - p0) / (x * x - 1.0);
            const double step = p1 / dp;
            x -= step;
            if (std::abs(step) < 1e-16)
                break;
        }
        rule.x[i] = x;
        rule.w[i] = 2.0 / ((1.0 - x * x) * dp * dp);
    }
    return rule;
}

const Rule& rule24() {
    static const Rule rule = gauss_legendre(24);
    return rule;
}

// Normalised real harmonic (l, |m|) of the cos(mφ) kind, without the φ factor, as a
// function of cos θ and sin θ; the positive lobe along +z, +x, or xz > 0, x² > y².
double harmonic(int l, int m, double c, double s) {
    const double pi = std::numbers::pi;
    if (l == 0)
        return std::sqrt(1.0 / (4.0 * pi));
    if (l == 1)
        return m == 0 ? std::sqrt(3.0 / (4.0 * pi)) * c : std::sqrt(3.0 / (4.0 * pi)) * s;
    if (m == 0)
        return std::sqrt(5.0 / (4.0 * pi)) * 0.5 * (3.0 * c * c - 1.0);
    if (m == 1)
        return std::sqrt(5.0 / (12.0 * pi)) * 3.0 * c * s;
    return std::sqrt(5.0 / (48.0 * pi)) * 3.0 * s * s;
}

double radial(int n, double zeta, double r) {
    double fact = 1.0;
    for (int k = 2; k <= 2 * n; ++k)
        fact *= k;
    return std::pow(2.0 * zeta, n + 0.5) / std::sqrt(fact) * std::pow(r, n - 1) *
           std::exp(-zeta * r);
}

// Overlap of (n_a, l_a, m) on A at the origin with (n_b, l_b, m) on B at (0, 0, R), both
// quantised along +z, by quadrature in prolate spheroidal coordinates; φ done exactly.
double numerical_overlap(int n_a, int l_a, double zeta_a, int n_b, int l_b, double zeta_b, int m,
                         double r_angstrom) {
    const double r = r_angstrom / angstrom_per_bohr;
    const double h = 0.5 * r;
    const double p = h * (zeta_a + zeta_b);
    const double xi_span = 60.0 / p;
    const int panels = 12;
    const Rule& g = rule24();
    double sum = 0.0;
    for (int panel = 0; panel < panels; ++panel) {
        const double lo = 1.0 + xi_span * panel / panels;
        const double half = 0.5 * xi_span / panels;
        for (std::size_t i = 0; i < g.x.size(); ++i) {
            const double xi = lo + half * (g.x[i] + 1.0);
            for (int side = 0; side < 2; ++side) {
                for (std::size_t j = 0; j < g.x.size(); ++j) {
                    const double eta = 0.5 * (g.x[j] + (side == 0 ? -1.0 : 1.0));
                    const double r_a = h * (xi + eta);
                    const double r_b = h * (xi - eta);
                    const double z = h * (1.0 + xi * eta);
                    const double rho = h * std::sqrt((xi * xi - 1.0) * (1.0 - eta * eta));
                    const double f =
                        radial(n_a, zeta_a, r_a) * harmonic(l_a, m, z / r_a, rho / r_a) *
                        radial(n_b, zeta_b, r_b) * harmonic(l_b, m, (z - r) / r_b, rho / r_b) * h *
                        h * h * (xi * xi - eta * eta);
                    sum += g.w[i] * half * g.w[j] * 0.5 * f;
                }
            }
        }
    }
    return sum * (m == 0 ? 2.0 * std::numbers::pi : std::numbers::pi);
}

// Orbital slot → (l, |m|, kind): kind 0 for cos(mφ) (x-like), 1 for sin(mφ) (y-like).
struct SlotShape {
    int l;
    int m;
    int kind;
};
constexpr std::array<SlotShape, 9> slot_shapes = {{{0, 0, 0},
                                                   {1, 1, 0},
                                                   {1, 1, 1},
                                                   {1, 0, 0},
                                                   {2, 2, 0},
                                                   {2, 1, 0},
                                                   {2, 0, 0},
                                                   {2, 1, 1},
                                                   {2, 2, 1}}};

// ---- Rotations -------------------------------------------------------------------------

Mat3 multiply(const Mat3& a, const Mat3& b) {
    Mat3 c{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                c[i][j] += a[i][k] * b[k][j];
    return c;
}

Vec3 rotate(const Mat3& m, const Vec3& v) {
    return {m[0][0] * v[0] + m[0][1] * v[1] + m[0][2] * v[2],
            m[1][0] * v[0] + m[1][1] * v[1] + m[1][2] * v[2],
            m[2][0] * v[0] + m[2][1] * v[1] + m[2][2] * v[2]};
}

// Rotation by angle about the unit axis (Rodrigues).
Mat3 axis_rotation(const Vec3& axis, double angle) {
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double t = 1.0 - c;
    const auto [x, y, z] = axis;
    return {{{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
             {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
             {t * x * z - s * y, t * y * z + s * x, t * z * z + c}}};
}

Vec3 unit(const Vec3& v) {
    const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    return scaled(v, 1.0 / n);
}

// A rotation taking unit vector `from` onto unit vector `to`, followed by a spin of
// `twist` about `to`, so that the π and δ partners are mixed as well.
Mat3 rotation_onto(const Vec3& from, const Vec3& to, double twist) {
    const Vec3 cross = {from[1] * to[2] - from[2] * to[1], from[2] * to[0] - from[0] * to[2],
                        from[0] * to[1] - from[1] * to[0]};
    const double dot = from[0] * to[0] + from[1] * to[1] + from[2] * to[2];
    const double angle =
        std::atan2(std::sqrt(cross[0] * cross[0] + cross[1] * cross[1] + cross[2] * cross[2]), dot);
    return multiply(axis_rotation(to, twist), axis_rotation(unit(cross), angle));
}

// The real d functions as quadratic forms x·M·x in slot order x²−y², xz, z², yz, xy, all
// with the same Frobenius norm (3/2), so a rotation acts on them by projection.
using Quadric = std::array<std::array<double, 3>, 3>;
std::array<Quadric, 5> d_quadrics() {
    const double k = std::sqrt(3.0) / 2.0;
    return {{{{{k, 0, 0}, {0, -k, 0}, {0, 0, 0}}},
             {{{0, 0, k}, {0, 0, 0}, {k, 0, 0}}},
             {{{-0.5, 0, 0}, {0, -0.5, 0}, {0, 0, 1}}},
             {{{0, 0, 0}, {0, 0, k}, {0, k, 0}}},
             {{{0, k, 0}, {k, 0, 0}, {0, 0, 0}}}}};
}

// Orbital transformation G = diag(1, R, D(R)): φ_μ(R w) = Σ_ν G_μν φ_ν(w).
std::array<std::array<double, 9>, 9> orbital_rotation(const Mat3& rot) {
    std::array<std::array<double, 9>, 9> g{};
    g[0][0] = 1.0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            g[1 + i][1 + j] = rot[i][j];
    const auto d = d_quadrics();
    for (int mu = 0; mu < 5; ++mu) {
        Quadric turned{}; // Rᵀ M_μ R
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                for (int k = 0; k < 3; ++k)
                    for (int l = 0; l < 3; ++l)
                        turned[i][j] += rot[k][i] * d[mu][k][l] * rot[l][j];
        for (int nu = 0; nu < 5; ++nu) {
            double dot = 0.0;
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    dot += d[nu][i][j] * turned[i][j];
            g[4 + mu][4 + nu] = dot / 1.5;
        }
    }
    return g;
}

// ---- Tests -----------------------------------------------------------------------------

TEST(Overlap, IsZeroForCoincidentDistantAndUntabulatedPairs) {
    const Atom thorium{90, 9, exponents(1.4, 1.2, 1.5), {0, 0, 0}};
    const Atom element_108{108, 9, exponents(1.4, 1.2, 1.5), {0, 0, 0}};
    struct Case {
        const char* name;
        Atom a, b;
        Vec3 d;
    };
    const Case cases[] = {
        {"C-O coincident", carbon, oxygen, {5e-11, 0.0, 0.0}},
        {"S-Cl coincident", sulfur, chlorine, {0.0, 3e-11, 5e-11}},
        {"C-O beyond 20 A", carbon, oxygen, {12.0, 12.0, 12.0}},
        {"S-Cl beyond 20 A", sulfur, chlorine, {0.0, 0.0, -20.5}},
        {"Th has no quantum numbers", thorium, carbon, {0.0, 1.0, 1.5}},
        {"C-Th has no quantum numbers", carbon, thorium, {0.0, 1.0, 1.5}},
        {"Z = 108 is beyond the table", element_108, sulfur, {1.0, 1.0, 1.0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const OverlapBlock s = overlap(c.a, c.b, c.d);
        for (double v : s)
            EXPECT_EQ(v, 0.0);
    }
    // The same pairs at a bonding distance do overlap: the zeros above are the guards.
    EXPECT_GT(std::abs(overlap(carbon, oxygen, {0.0, 0.0, 1.2})[0]), 0.1);
    EXPECT_GT(std::abs(overlap(sulfur, chlorine, {0.0, 0.0, -2.0})[0]), 0.1);
}

// Equal-exponent overlaps of Mulliken, Rieke, Orloff and Orloff, J. Chem. Phys. 17, 1248
// (1949), with both orbitals quantised along the A→B axis; p = ζR.
TEST(Overlap, MatchesTheEqualExponentClosedForms) {
    const auto s_1s1s = [](double p) { return std::exp(-p) * (1 + p + p * p / 3); };
    const auto s_2s2s = [](double p) {
        return std::exp(-p) * (1 + p + 4 * p * p / 9 + p * p * p / 9 + std::pow(p, 4) / 45);
    };
    const auto s_2p2p_sigma = [](double p) { // axes facing each other, as the table gives it
        return std::exp(-p) * (-1 - p - p * p / 5 + 2 * std::pow(p, 3) / 15 + std::pow(p, 4) / 15);
    };
    const auto s_2p2p_pi = [](double p) {
        return std::exp(-p) * (1 + p + 2 * p * p / 5 + std::pow(p, 3) / 15);
    };

    // H–H at 0.74 Å with ζ = 1.2: the only element of the block.
    const double p_h2 = 1.2 * 0.74 / angstrom_per_bohr;
    const OverlapBlock h2 = overlap(hydrogen, hydrogen, {0.0, 0.0, 0.74});
    EXPECT_NEAR(h2[0], s_1s1s(p_h2), 1e-12);
    for (int i = 1; i < 81; ++i)
        EXPECT_EQ(h2[i], 0.0) << "entry " << i;
    EXPECT_NEAR(slater_overlap_ss(1, 1, 1, 1, 1, 1.2, 1.2, 0.74), s_1s1s(p_h2), 1e-12);

    // Carbon–carbon (closed form) and the same exponents forced through the general path.
    const Atom c2 = {6, 4, exponents(1.6, 1.6), {}};
    for (double r : {0.3, 1.2, 2.5, 4.0}) {
        for (double sign : {1.0, -1.0}) {
            for (int n_orbitals : {4, 9}) {
                SCOPED_TRACE(testing::Message() << "R " << r << " along " << sign << "z, "
                                                << n_orbitals << " orbitals");
                const double p = 1.6 * r / angstrom_per_bohr;
                const OverlapBlock s =
                    overlap(c2, c2, {0.0, 0.0, sign * r}, n_orbitals, n_orbitals);
                const double tol = 1e-12; // t = 0: the B_k are exact
                EXPECT_NEAR(s[0], s_2s2s(p), tol);
                EXPECT_NEAR(s[9 * 3 + 3], -s_2p2p_sigma(p), tol); // pz–pz: B's axis turned
                EXPECT_NEAR(s[9 * 1 + 1], s_2p2p_pi(p), tol);
                EXPECT_NEAR(s[9 * 2 + 2], s_2p2p_pi(p), tol);
                EXPECT_NEAR(s[9 * 1 + 2], 0.0, 1e-15);
            }
            EXPECT_NEAR(slater_overlap_ss(2, 2, 2, 2, 1, 1.6, 1.6, r),
                        s_2p2p_sigma(1.6 * r / angstrom_per_bohr), 1e-12);
        }
    }
}

// The whole block of a pair on the +z axis against direct quadrature of the orbitals:
// quantum numbers, normalisation, angular factors and sign conventions at once.
TEST(Overlap, AlongTheZAxisMatchesNumericalIntegration) {
    struct Case {
        const char* name;
        Atom a, b;
        double r;
    };
    const Case cases[] = {
        {"C-O closed form", carbon, oxygen, 1.2},
        {"N-H closed form", nitrogen, hydrogen, 1.0},
        {"H-F closed form, |t| > 3", hydrogen, fluorine, 2.3},
        {"Li-F closed form, |t| > 3", lithium, fluorine, 1.6},
        {"H-Cl uses 3s and 3p", hydrogen, chlorine, 1.27},
        {"S-Cl with d", sulfur, chlorine, 2.0},
        {"Si-C mixed basis", silicon, carbon, 1.85},
        {"K-F, |t| > 3", potassium, fluorine, 2.2},
        {"Br-I, 4th and 5th shells", bromine, iodine, 2.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const OverlapBlock s = overlap(c.a, c.b, {0.0, 0.0, c.r});
        const auto zeta = [](const Atom& atom, int l) {
            return l == 0 ? atom.params.zeta_s : l == 1 ? atom.params.zeta_p : atom.params.zeta_d;
        };
        for (int mu = 0; mu < c.a.n_orbitals; ++mu) {
            for (int nu = 0; nu < c.b.n_orbitals; ++nu) {
                const SlotShape sa = slot_shapes[mu];
                const SlotShape sb = slot_shapes[nu];
                double expected = 0.0;
                if (sa.m == sb.m && sa.kind == sb.kind) {
                    expected = numerical_overlap(c.a.n[sa.l], sa.l, zeta(c.a, sa.l), c.b.n[sb.l],
                                                 sb.l, zeta(c.b, sb.l), sa.m, c.r);
                }
                // 2e-6: the B_k Taylor series is truncated for 0.5 < |t| <= 1.
                EXPECT_NEAR(s[9 * mu + nu], expected, 2e-6) << "orbitals " << mu << ", " << nu;
            }
        }
    }
}

// As B merges into A the overlap tends to that of two orbitals on one centre: zero
// between different l, and (2√(ζaζb)/(ζa+ζb))^(2n+1) between like orbitals (1 at equal ζ).
TEST(SlaterOverlap, TendsToTheOneCentreOverlapAsTheAtomsMerge) {
    struct Case {
        int n_a, l_a, n_b, l_b, m;
        double zeta_a, zeta_b;
    };
    const Case cases[] = {
        {1, 0, 1, 0, 0, 1.2, 1.2}, {2, 1, 2, 1, 0, 1.7, 1.7}, {2, 1, 2, 1, 1, 1.7, 2.3},
        {3, 2, 3, 2, 0, 1.4, 1.4}, {3, 2, 3, 2, 1, 1.4, 1.1}, {3, 2, 3, 2, 2, 1.4, 1.9},
        {4, 0, 4, 0, 0, 2.0, 2.5}, {5, 2, 5, 2, 2, 1.8, 1.8}, {2, 0, 2, 1, 0, 1.7, 1.7},
        {3, 0, 3, 2, 0, 2.0, 1.5}, {3, 1, 3, 2, 1, 1.9, 1.9}, {4, 1, 4, 2, 0, 2.2, 1.6},
    };
    const double r = 1e-6; // Å: the limit is approached as R (different l) or R² (like orbitals)
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "n " << c.n_a << "," << c.n_b << " l " << c.l_a << ","
                                        << c.l_b << " m " << c.m);
        const double s =
            slater_overlap_ss(c.n_a, c.n_b, c.l_a + 1, c.l_b + 1, c.m + 1, c.zeta_a, c.zeta_b, r);
        double expected = 0.0;
        if (c.l_a == c.l_b) {
            const double ratio = 2.0 * std::sqrt(c.zeta_a * c.zeta_b) / (c.zeta_a + c.zeta_b);
            expected = std::pow(ratio, 2 * c.n_a + 1) * (((c.l_b + c.m) % 2 == 0) ? 1.0 : -1.0);
        }
        EXPECT_NEAR(s, expected, 1e-5);
    }
}

TEST(SlaterOverlap, IsZeroForAMissingComponentOrACoincidentPair) {
    EXPECT_EQ(slater_overlap_ss(2, 3, 2, 3, 3, 1.5, 1.5, 1.0), 0.0); // m = 2 > l_a = 1
    EXPECT_EQ(slater_overlap_ss(3, 2, 3, 1, 2, 1.5, 1.5, 1.0), 0.0); // m = 1 > l_b = 0
    EXPECT_EQ(slater_overlap_ss(2, 2, 1, 1, 1, 1.5, 1.5, 1e-13), 0.0);
}

TEST(Bfn, MatchesQuadratureInEveryRegime) {
    // Tolerance: the first term that the t = 0 limit or the truncated Taylor series drops
    // (|t|^(J+1)/(J+1)! · 2/(J+2) for the series); the recursion beyond |t| = 3 is exact.
    struct Case {
        double t, tol;
    };
    const Case cases[] = {{0.0, 1e-13}, {4e-7, 3e-7}, {-0.3, 2e-8},  {0.5, 4e-7},
                          {0.9, 3e-6},  {-1.0, 6e-6}, {1.7, 3e-8},   {-2.6, 3e-8},
                          {3.0, 3e-7},  {3.2, 1e-13}, {-6.0, 1e-13}, {11.0, 1e-13}};
    const Rule g = gauss_legendre(48);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "t = " << c.t);
        std::array<double, 13> b{};
        bfn(c.t, b);
        for (int k = 0; k < 13; ++k) {
            double integral = 0.0;
            for (std::size_t i = 0; i < g.x.size(); ++i)
                integral += g.w[i] * std::pow(g.x[i], k) * std::exp(-c.t * g.x[i]);
            EXPECT_NEAR(b[k], integral, c.tol * std::max(1.0, std::abs(integral))) << "k " << k;
        }
    }
}

TEST(Overlap, SwappingTheAtomsTransposesTheBlock) {
    struct Case {
        const char* name;
        Atom a, b;
    };
    const Case cases[] = {{"C-O", carbon, oxygen},    {"H-N", hydrogen, nitrogen},
                          {"S-Cl", sulfur, chlorine}, {"H-S", hydrogen, sulfur},
                          {"Si-C", silicon, carbon},  {"Br-I", bromine, iodine}};
    const Vec3 d = {0.63, -1.04, 0.82};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const OverlapBlock ab = overlap(c.a, c.b, d);
        const OverlapBlock ba = overlap(c.b, c.a, scaled(d, -1.0));
        for (int mu = 0; mu < c.a.n_orbitals; ++mu)
            for (int nu = 0; nu < c.b.n_orbitals; ++nu)
                EXPECT_NEAR(ab[9 * mu + nu], ba[9 * nu + mu], 1e-13) << mu << ", " << nu;
    }
}

// Giving a light atom nine orbitals sends the pair down the general path; its s, p
// corner must equal the closed form, including exponents so close that t ≈ 1e-5.
TEST(Overlap, ClosedFormReproducesTheGeneralPath) {
    const Atom carbon_close{6, 4, exponents(2.50001, 2.4), {}};
    const Atom nitrogen_close{7, 4, exponents(2.5, 2.40002), {}};
    struct Case {
        const char* name;
        Atom a, b;
        Vec3 d;
    };
    const Case cases[] = {
        {"H-H", hydrogen, hydrogen, {0.3, 0.4, -0.5}},
        {"H-C", hydrogen, carbon, {0.6, -0.7, 0.4}},
        {"N-H", nitrogen, hydrogen, {-0.2, 0.9, 0.3}},
        {"C-O", carbon, oxygen, {0.7, 0.5, -0.8}},
        {"B-N", boron, nitrogen, {-1.1, 0.6, 0.4}},
        {"Li-F", lithium, fluorine, {0.9, -0.9, 0.9}},
        {"F-C", fluorine, carbon, {0.0, 0.0, -1.35}},
        {"O-O short", oxygen, oxygen, {0.1, 0.2, 0.15}},
        {"C-N nearly equal exponents", carbon_close, nitrogen_close, {0.001, -0.002, 0.0015}},
        {"C-N nearly equal exponents", carbon_close, nitrogen_close, {0.7, -0.6, 0.9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const OverlapBlock closed = overlap(c.a, c.b, c.d);
        const OverlapBlock general = overlap(c.a, c.b, c.d, 9, 9);
        for (int mu = 0; mu < c.a.n_orbitals; ++mu)
            for (int nu = 0; nu < c.b.n_orbitals; ++nu)
                EXPECT_NEAR(closed[9 * mu + nu], general[9 * mu + nu], 1e-12) << mu << ", " << nu;
    }
}

// Rotating the pair by R turns the block into G·S·Gᵀ, G = diag(1, R, D(R)). Targets on
// and next to ±z exercise the on-axis branch of the rotation coefficients and its limit.
TEST(Overlap, RotatingThePairRotatesTheBlock) {
    const Vec3 start = unit({0.31, -0.52, 0.79});
    const Atom pairs[][2] = {{sulfur, chlorine},
                             {carbon, oxygen},
                             {hydrogen, sulfur},
                             {silicon, carbon},
                             {bromine, iodine}};
    // tol: the snapped direction is off by 3e-11 rad, a first-order error of ~1e-11.
    struct Target {
        Vec3 direction;
        double twist, tol;
    };
    const Target targets[] = {{{0.0, 0.0, 1.0}, 0.4, 1e-12},
                              {{0.0, 0.0, -1.0}, -1.1, 1e-12},
                              {unit({-0.6, 0.2, 0.3}), 2.0, 1e-12},
                              {unit({1e-9, 0.0, -1.0}), 0.3, 1e-12}, // just off −z: α, β branch
                              {unit({0.0, 3e-11, 1.0}), 0.9, 1e-10}}; // ρ < 1e-10 Å: snapped to +z
    const double r = 1.9;
    for (const auto& pair : pairs) {
        const OverlapBlock s = overlap(pair[0], pair[1], scaled(start, r));
        for (const Target& target : targets) {
            SCOPED_TRACE(testing::Message()
                         << "Z " << int(pair[0].z) << "-" << int(pair[1].z) << " to ("
                         << target.direction[0] << ", " << target.direction[1] << ", "
                         << target.direction[2] << ")");
            const Mat3 rot = rotation_onto(start, target.direction, target.twist);
            const Vec3 moved = rotate(rot, scaled(start, r));
            const OverlapBlock turned = overlap(pair[0], pair[1], moved);
            const auto g = orbital_rotation(rot);
            for (int mu = 0; mu < pair[0].n_orbitals; ++mu) {
                for (int nu = 0; nu < pair[1].n_orbitals; ++nu) {
                    double expected = 0.0;
                    for (int i = 0; i < 9; ++i)
                        for (int j = 0; j < 9; ++j)
                            expected += g[mu][i] * s[9 * i + j] * g[nu][j];
                    EXPECT_NEAR(turned[9 * mu + nu], expected, target.tol) << mu << ", " << nu;
                }
            }
        }
    }
}

} // namespace
} // namespace quelm
