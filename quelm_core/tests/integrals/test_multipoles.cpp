#include "fixtures.hpp"
#include "integrals/multipoles.hpp"
#include "parameters/models.hpp"
#include "types/internal_error.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quelm {
namespace {

constexpr double ev = 27.211386245988;
constexpr double bohr = 0.529177210903;
constexpr double e2 = 14.399645478456;

DerivedMultipoleParams params_of(const ParameterModel& model, std::uint8_t z) {
    return DerivedMultipoleParams::from_element(*model.get_element(z));
}

double core_charge_of(const ParameterModel& model, std::uint8_t z) {
    return model.get_element(z)->core_charge;
}

// ---------------------------------------------------------------------------------------
// Independent point-charge reference: every distribution written out as explicit charges
// in 3D, summed pair by pair with the Klopman–Ohno form.

enum class Dist { ss, s_sigma, s_pi, s_pi2, sigma_sigma, pi_pi, pi2_pi2, sigma_pi };

struct Charge {
    double q;
    std::array<double, 3> at; // bohr, relative to the own nucleus
    int kind;                 // additive term: 0 monopole, 1 dipole, 2 quadrupole
};

std::vector<Charge> charges_of(Dist d, const DerivedMultipoleParams& p) {
    const double d1 = p.d1, d2 = p.d2;
    const auto linear_quadrupole = [&](int axis) {
        std::array<double, 3> plus{}, minus{};
        plus[axis] = 2.0 * d2;
        minus[axis] = -2.0 * d2;
        return std::vector<Charge>{
            {1.0, {0, 0, 0}, 0}, {0.25, plus, 2}, {0.25, minus, 2}, {-0.5, {0, 0, 0}, 2}};
    };
    switch (d) {
    case Dist::ss:
        return {{1.0, {0, 0, 0}, 0}};
    case Dist::s_sigma:
        return {{0.5, {0, 0, d1}, 1}, {-0.5, {0, 0, -d1}, 1}};
    case Dist::s_pi:
        return {{0.5, {d1, 0, 0}, 1}, {-0.5, {-d1, 0, 0}, 1}};
    case Dist::s_pi2:
        return {{0.5, {0, d1, 0}, 1}, {-0.5, {0, -d1, 0}, 1}};
    case Dist::sigma_sigma:
        return linear_quadrupole(2);
    case Dist::pi_pi:
        return linear_quadrupole(0);
    case Dist::pi2_pi2:
        return linear_quadrupole(1);
    case Dist::sigma_pi:
        return {{0.25, {d2, 0, d2}, 2},
                {0.25, {-d2, 0, -d2}, 2},
                {-0.25, {d2, 0, -d2}, 2},
                {-0.25, {-d2, 0, d2}, 2}};
    }
    return {};
}

double point_charge_integral(Dist da, Dist db, const DerivedMultipoleParams& a,
                             const DerivedMultipoleParams& b, double r_bohr) {
    const double rho_a[3] = {0.5 / a.am, 0.5 / a.ad, 0.5 / a.aq};
    const double rho_b[3] = {0.5 / b.am, 0.5 / b.ad, 0.5 / b.aq};
    double sum = 0.0;
    for (const Charge& ca : charges_of(da, a)) {
        for (const Charge& cb : charges_of(db, b)) {
            const double dx = cb.at[0] - ca.at[0];
            const double dy = cb.at[1] - ca.at[1];
            const double dz = r_bohr + cb.at[2] - ca.at[2];
            const double rho = rho_a[ca.kind] + rho_b[cb.kind];
            sum += ca.q * cb.q / std::sqrt(dx * dx + dy * dy + dz * dz + rho * rho);
        }
    }
    return ev * sum;
}

// The numbered integrals 1–21 as (distribution on A | distribution on B).
struct Numbered {
    int number;
    Dist a, b;
};
const std::vector<Numbered>& numbered_integrals() {
    using D = Dist;
    static const std::vector<Numbered> table = {
        {1, D::ss, D::ss},
        {2, D::s_sigma, D::ss},
        {3, D::sigma_sigma, D::ss},
        {4, D::pi_pi, D::ss},
        {5, D::ss, D::s_sigma},
        {6, D::s_sigma, D::s_sigma},
        {7, D::s_pi, D::s_pi},
        {8, D::sigma_sigma, D::s_sigma},
        {9, D::pi_pi, D::s_sigma},
        {10, D::sigma_pi, D::s_pi},
        {11, D::ss, D::sigma_sigma},
        {12, D::ss, D::pi_pi},
        {13, D::s_sigma, D::sigma_sigma},
        {14, D::s_sigma, D::pi_pi},
        {15, D::s_pi, D::sigma_pi},
        {16, D::sigma_sigma, D::sigma_sigma},
        {17, D::pi_pi, D::sigma_sigma},
        {18, D::sigma_sigma, D::pi_pi},
        {19, D::pi_pi, D::pi_pi},
        {20, D::sigma_pi, D::sigma_pi},
        {21, D::pi_pi, D::pi2_pi2},
    };
    return table;
}

bool on_s_only_side(int number, bool a_s_only, bool b_s_only) {
    static const std::array<int, 4> a_ss = {1, 5, 11, 12}; // A's ss against anything
    static const std::array<int, 4> b_ss = {1, 2, 3, 4};   // anything against B's ss
    const auto in = [number](const std::array<int, 4>& list) {
        for (int k : list)
            if (k == number)
                return true;
        return false;
    };
    if (a_s_only && b_s_only)
        return number == 1;
    if (a_s_only)
        return in(a_ss);
    if (b_s_only)
        return in(b_ss);
    return true;
}

// ---------------------------------------------------------------------------------------
// Pair records through the public pipeline.

MolecularBatch batch_of(const std::vector<std::uint8_t>& z, const std::vector<Coordinate>& xyz,
                        const ParameterModel& model) {
    return MolecularBatch::new_for_model(z, xyz, model);
}

// The only record of a two-atom batch: A = atom 1 at a_pos, B = atom 0 at b_pos.
DiatomicPairIntegrals pair_record(const ParameterModel& model, std::uint8_t z_a,
                                  const Coordinate& a_pos, std::uint8_t z_b,
                                  const Coordinate& b_pos) {
    const auto pairs =
        precompute_diatomic_pairs(batch_of({z_b, z_a}, {b_pos, a_pos}, model), model);
    EXPECT_EQ(pairs.size(), 1u);
    return pairs.at(0);
}

using Tensor4 = std::array<std::array<std::array<std::array<double, 4>, 4>, 4>, 4>;

// (μν|λσ) over all orderings from the lower-triangle record of two s, p atoms.
Tensor4 full_tensor(const DiatomicPairIntegrals& rec) {
    Tensor4 t{};
    for (std::size_t m = 0; m < 4; ++m)
        for (std::size_t n = 0; n < 4; ++n)
            for (std::size_t l = 0; l < 4; ++l)
                for (std::size_t s = 0; s < 4; ++s)
                    t[m][n][l][s] = rec.w[orbital_pair_index(m, n) * 10 + orbital_pair_index(l, s)];
    return t;
}

// The s, p orbital transformation of a rotation: s fixed, p as a vector.
using Transform = std::array<std::array<double, 4>, 4>;
Transform orbital_transform(const fixtures::Rotation& q) {
    Transform t{};
    t[0][0] = 1.0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            t[i + 1][j + 1] = q[i][j];
    return t;
}

// (s,s), (px,px), (py,py), (pz,pz)
bool is_diagonal_pair(std::size_t p) {
    return p == 0 || p == 2 || p == 5 || p == 9;
}

// =======================================================================================

TEST(DerivedMultipoleParams, MatchesThePublishedAm1CarbonValues) {
    const DerivedMultipoleParams c = params_of(am1_model(), 6);
    EXPECT_NEAR(c.d1, 0.823674, 1e-6);
    EXPECT_NEAR(c.d2, 0.726802, 1e-6);
    EXPECT_NEAR(c.am, 0.449444, 1e-6);
    EXPECT_NEAR(c.ad, 0.608281, 1e-6);
    EXPECT_NEAR(c.aq, 0.642339, 1e-6);
    EXPECT_DOUBLE_EQ(c.rho0, 0.5 / c.am);
    EXPECT_DOUBLE_EQ(c.rho1, 0.5 / c.ad);
    EXPECT_DOUBLE_EQ(c.rho2, 0.5 / c.aq);
    EXPECT_EQ(c.atomic_number, 6);
}

TEST(DerivedMultipoleParams, HydrogenHasOnlyAMonopole) {
    const ElementParameters h = *am1_model().get_element(1);
    const DerivedMultipoleParams p = DerivedMultipoleParams::from_element(h);
    EXPECT_EQ(p.d1, 0.0);
    EXPECT_EQ(p.d2, 0.0);
    EXPECT_DOUBLE_EQ(p.am, h.g_ss / ev);
    EXPECT_EQ(p.ad, p.am);
    EXPECT_EQ(p.aq, p.am);
    EXPECT_DOUBLE_EQ(p.rho0, 0.5 / p.am);
    EXPECT_EQ(p.rho1, 0.0);
    EXPECT_EQ(p.rho2, 0.0);
}

// At R = 0 between two copies of one atom the point charges must give back the
// one-centre integrals they were fitted to: (ss|ss) = gss, (sσ|sσ) = (sπ|sπ) = hsp and
// (σπ|σπ) = hpp = ½(gpp − gp2) (the secant solves converge).
TEST(DerivedMultipoleParams, ReproduceTheOneCentreIntegralsAtZeroDistance) {
    struct Case {
        const char* name;
        const ParameterModel& model;
        std::uint8_t z;
    };
    const Case cases[] = {{"AM1 C", am1_model(), 6},   {"AM1 N", am1_model(), 7},
                          {"MNDO O", mndo_model(), 8}, {"PM3 Cl", pm3_model(), 17},
                          {"AM1 I", am1_model(), 53},  {"PM7 O", pm7_model(), 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ElementParameters element = *c.model.get_element(c.z);
        const DerivedMultipoleParams p = DerivedMultipoleParams::from_element(element);
        const LocalMultipoleIntegrals v = compute_22_multipoles(p, p, 0.0);
        EXPECT_NEAR(v[0], element.g_ss, 1e-9);
        EXPECT_NEAR(v[5], element.h_sp, 1e-7);
        EXPECT_NEAR(v[6], element.h_sp, 1e-7);
        EXPECT_NEAR(v[19], std::max(0.5 * (element.g_pp - element.g_p2), 0.1), 1e-7);
    }
}

TEST(DerivedMultipoleParams, AnAtomWithoutPShellStaysFinite) {
    // PM7 californium has an s shell only (one orbital).
    const DerivedMultipoleParams cf = params_of(pm7_model(), 98);
    EXPECT_EQ(cf.d1, 0.0);
    EXPECT_EQ(cf.d2, 0.0);
    for (double x : {cf.am, cf.ad, cf.aq, cf.rho0, cf.rho1, cf.rho2})
        EXPECT_TRUE(std::isfinite(x));

    const auto rec = pair_record(pm7_model(), 98, {0, 0, 0}, 6, {0.4, -1.2, 1.9});
    ASSERT_EQ(rec.w.size(), 10u);
    ASSERT_EQ(rec.e1b.size(), 1u);
    for (double x : rec.w)
        EXPECT_TRUE(std::isfinite(x));
    EXPECT_TRUE(std::isfinite(rec.e1b[0]));
    for (double x : rec.e2a)
        EXPECT_TRUE(std::isfinite(x));
}

TEST(LocalMultipoles, EqualExplicitPointChargeSums) {
    struct Case {
        const char* name;
        std::uint8_t z_a, z_b;
        double r_angstrom;
    };
    const Case cases[] = {{"C-N short", 6, 7, 1.1}, {"N-C", 7, 6, 1.4},    {"C-Cl", 6, 17, 2.5},
                          {"I-F", 53, 9, 3.7},      {"C-H", 6, 1, 1.09},   {"H-O", 1, 8, 0.97},
                          {"H-H", 1, 1, 0.74},      {"O-O far", 8, 8, 8.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DerivedMultipoleParams a = params_of(am1_model(), c.z_a);
        const DerivedMultipoleParams b = params_of(am1_model(), c.z_b);
        const LocalMultipoleIntegrals v = compute_22_multipoles(a, b, c.r_angstrom);
        const bool a_s = c.z_a < 3, b_s = c.z_b < 3;
        for (const Numbered& n : numbered_integrals()) {
            SCOPED_TRACE(n.number);
            const double got = v[n.number - 1];
            if (on_s_only_side(n.number, a_s, b_s)) {
                const double want = point_charge_integral(n.a, n.b, a, b, c.r_angstrom / bohr);
                EXPECT_NEAR(got, want, 1e-12 * std::max(1.0, std::abs(want)));
            } else {
                EXPECT_EQ(got, 0.0);
            }
        }
        EXPECT_NEAR(v[21], 0.5 * (v[18] - v[20]), 1e-12);
        EXPECT_EQ(v[22], v[0]);
    }
}

// Far apart the integrals are classical multipole interactions: charge, dipole d1 and
// quadrupole moments (2d2² along σ, −d2² across) of the point-charge distributions. Each
// row isolates one multipole pair by subtracting the lower-order integrals that share
// its monopole parts; R in bohr.
TEST(LocalMultipoles, TendToClassicalMultipoleInteractionsAtLongRange) {
    const DerivedMultipoleParams a = params_of(am1_model(), 17);
    const DerivedMultipoleParams b = params_of(am1_model(), 8);
    const double r = 250.0;
    const LocalMultipoleIntegrals v = compute_22_multipoles(a, b, r * bohr);
    const auto i = [&v](int k) { return v[k - 1]; };
    const double a1 = a.d1, a2 = a.d2 * a.d2, b1 = b.d1, b2 = b.d2 * b.d2;
    const double r2 = r * r, r3 = r2 * r, r4 = r3 * r, r5 = r4 * r;
    struct Row {
        const char* what;
        double got, classical;
    };
    const Row rows[] = {
        {"1 charge-charge", i(1), 1.0 / r},
        {"2 dipole-charge", i(2), a1 / r2},
        {"3 quadrupole-charge", i(3) - i(1), 2.0 * a2 / r3},
        {"4 quadrupole-charge", i(4) - i(1), -a2 / r3},
        {"5 charge-dipole", i(5), -b1 / r2},
        {"6 dipole-dipole", i(6), -2.0 * a1 * b1 / r3},
        {"7 dipole-dipole", i(7), a1 * b1 / r3},
        {"8 quadrupole-dipole", i(8) - i(5), -6.0 * a2 * b1 / r4},
        {"9 quadrupole-dipole", i(9) - i(5), 3.0 * a2 * b1 / r4},
        {"10 quadrupole-dipole", i(10), 3.0 * a2 * b1 / r4},
        {"11 charge-quadrupole", i(11) - i(1), 2.0 * b2 / r3},
        {"12 charge-quadrupole", i(12) - i(1), -b2 / r3},
        {"13 dipole-quadrupole", i(13) - i(2), 6.0 * a1 * b2 / r4},
        {"14 dipole-quadrupole", i(14) - i(2), -3.0 * a1 * b2 / r4},
        {"15 dipole-quadrupole", i(15), -3.0 * a1 * b2 / r4},
        {"16 quadrupole-quadrupole", i(16) - i(3) - i(11) + i(1), 24.0 * a2 * b2 / r5},
        {"17 quadrupole-quadrupole", i(17) - i(4) - i(11) + i(1), -12.0 * a2 * b2 / r5},
        {"18 quadrupole-quadrupole", i(18) - i(3) - i(12) + i(1), -12.0 * a2 * b2 / r5},
        {"19 quadrupole-quadrupole", i(19) - i(4) - i(12) + i(1), 9.0 * a2 * b2 / r5},
        {"20 quadrupole-quadrupole", i(20), -12.0 * a2 * b2 / r5},
        {"21 quadrupole-quadrupole", i(21) - i(4) - i(12) + i(1), 3.0 * a2 * b2 / r5},
        {"22 quadrupole-quadrupole", i(22), 3.0 * a2 * b2 / r5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_NEAR(row.got / (ev * row.classical), 1.0, 1e-3);
    }
    // (ss|ss) is e²/R with R in Å.
    EXPECT_NEAR(i(1) * (r * bohr) / e2, 1.0, 1e-4);
}

// =======================================================================================

TEST(DiatomicPairs, HydrogenPairHasOneIntegralAndOneAttractionEach) {
    const auto rec = pair_record(am1_model(), 1, {0, 0, 0}, 1, {0.3, 0.5, -0.4});
    const double r = std::sqrt(0.09 + 0.25 + 0.16);
    const DerivedMultipoleParams h = params_of(am1_model(), 1);
    const double i1 = compute_22_multipoles(h, h, r)[0];
    ASSERT_EQ(rec.w.size(), 1u);
    ASSERT_EQ(rec.e1b.size(), 1u);
    ASSERT_EQ(rec.e2a.size(), 1u);
    EXPECT_DOUBLE_EQ(rec.w[0], i1);
    EXPECT_DOUBLE_EQ(rec.e1b[0], -i1);
    EXPECT_DOUBLE_EQ(rec.e2a[0], -i1);
}

TEST(DiatomicPairs, HeavyAtomWithHydrogenAlongZListsTheLocalIntegrals) {
    const double r = 1.1;
    const auto rec = pair_record(am1_model(), 6, {0, 0, 0}, 1, {0, 0, r});
    const LocalMultipoleIntegrals v =
        compute_22_multipoles(params_of(am1_model(), 6), params_of(am1_model(), 1), r);
    const std::array<double, 10> column = {v[0], 0, v[3], 0, 0, v[3], v[1], 0, 0, v[2]};
    ASSERT_EQ(rec.w.size(), 10u);
    ASSERT_EQ(rec.e1b.size(), 10u);
    ASSERT_EQ(rec.e2a.size(), 1u);
    for (std::size_t p = 0; p < 10; ++p) {
        SCOPED_TRACE(p);
        EXPECT_NEAR(rec.w[p], column[p], 1e-14);
        EXPECT_NEAR(rec.e1b[p], -1.0 * column[p], 1e-14); // Z(H) = 1
    }
    EXPECT_NEAR(rec.e2a[0], -4.0 * v[0], 1e-13); // Z(C) = 4
    EXPECT_GT(v[1], 0.0);                        // the s–pσ charge towards B is the nearer one
}

// Moving B to another direction at the same distance changes w only through the direction
// cosines: w' = (T ⊗ T)·w·(T ⊗ T)ᵀ over orbital pairs, T = diag(1, Q).
TEST(DiatomicPairs, TransformLikeProductsOfPOrbitalsUnderRotation) {
    const Coordinate b_pos = {0.62, -0.91, 0.83};
    const DerivedMultipoleParams c = params_of(am1_model(), 6);
    const DerivedMultipoleParams o = params_of(am1_model(), 8);
    const double r = std::sqrt(0.62 * 0.62 + 0.91 * 0.91 + 0.83 * 0.83);
    const LocalMultipoleIntegrals v = compute_22_multipoles(c, o, r);
    const auto reference = pair_record(am1_model(), 6, {0, 0, 0}, 8, b_pos);
    const Tensor4 w0 = full_tensor(reference);

    struct Case {
        const char* name;
        fixtures::Rotation q;
    };
    const Case cases[] = {
        {"about (1,2,3)", fixtures::rotation_about({1, 2, 3}, 0.7)},
        {"about x", fixtures::rotation_about({1, 0, 0}, 2.9)},
        {"about z", fixtures::rotation_about({0, 0, 1}, -1.3)},
        {"inversion-free flip", fixtures::rotation_about({1, -1, 0.2}, 3.14159)},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const Coordinate moved = fixtures::rotate(k.q, b_pos);
        const auto rec = pair_record(am1_model(), 6, {0, 0, 0}, 8, moved);
        const Tensor4 w1 = full_tensor(rec);
        const Transform t = orbital_transform(k.q);
        double norm0 = 0.0, norm1 = 0.0;
        for (int m = 0; m < 4; ++m)
            for (int n = 0; n < 4; ++n)
                for (int l = 0; l < 4; ++l)
                    for (int s = 0; s < 4; ++s) {
                        double want = 0.0;
                        for (int m2 = 0; m2 < 4; ++m2)
                            for (int n2 = 0; n2 < 4; ++n2)
                                for (int l2 = 0; l2 < 4; ++l2)
                                    for (int s2 = 0; s2 < 4; ++s2)
                                        want += t[m][m2] * t[n][n2] * t[l][l2] * t[s][s2] *
                                                w0[m2][n2][l2][s2];
                        EXPECT_NEAR(w1[m][n][l][s], want, 1e-11);
                        if (m > 0 && n > 0 && l > 0 && s > 0) {
                            norm0 += w0[m][n][l][s] * w0[m][n][l][s];
                            norm1 += w1[m][n][l][s] * w1[m][n][l][s];
                        }
                    }
        EXPECT_NEAR(norm1, norm0, 1e-10 * norm0);
        for (int m = 0; m < 4; ++m)
            for (int n = 0; n < 4; ++n) {
                double want = 0.0;
                for (int m2 = 0; m2 < 4; ++m2)
                    for (int n2 = 0; n2 < 4; ++n2)
                        want += t[m][m2] * t[n][n2] * reference.e1b[orbital_pair_index(m2, n2)];
                EXPECT_NEAR(rec.e1b[orbital_pair_index(m, n)], want, 1e-11);
            }
        // Σ_m (p_m p_m|ss) is the σσ value plus both ππ values.
        EXPECT_NEAR(rec.w[20] + rec.w[50] + rec.w[90], v[2] + 2.0 * v[3], 1e-12);
    }
}

// On the molecular z axis the frame is fixed by the sign of z alone; it must agree with the
// frame of a direction slightly off the axis and with the +z frame turned by π about x.
TEST(DiatomicPairs, AreContinuousThroughTheZAxis) {
    const double r = 1.3;
    const auto up = pair_record(am1_model(), 7, {0, 0, 0}, 8, {0, 0, r});
    const auto down = pair_record(am1_model(), 7, {0, 0, 0}, 8, {0, 0, -r});
    const Transform flip = orbital_transform(fixtures::rotation_about({1, 0, 0}, std::acos(-1.0)));
    const Tensor4 w_up = full_tensor(up);
    const Tensor4 w_down = full_tensor(down);
    for (int m = 0; m < 4; ++m)
        for (int n = 0; n < 4; ++n)
            for (int l = 0; l < 4; ++l)
                for (int s = 0; s < 4; ++s)
                    EXPECT_NEAR(w_down[m][n][l][s],
                                flip[m][m] * flip[n][n] * flip[l][l] * flip[s][s] *
                                    w_up[m][n][l][s],
                                1e-12);

    for (double tilt : {1e-9, 1e-6}) {
        SCOPED_TRACE(tilt);
        const double z = -r * std::sqrt(1.0 - tilt * tilt);
        const auto near =
            pair_record(am1_model(), 7, {0, 0, 0}, 8, {0.6 * tilt * r, 0.8 * tilt * r, z});
        for (std::size_t k = 0; k < 100; ++k)
            EXPECT_NEAR(near.w[k], down.w[k], 20.0 * tilt);
        for (std::size_t k = 0; k < 10; ++k)
            EXPECT_NEAR(near.e1b[k], down.e1b[k], 100.0 * tilt);
    }
}

// Listing the two atoms the other way round (same positions) swaps A and B and reverses
// the pair axis: w is transposed and the two attraction vectors trade places.
TEST(DiatomicPairs, SwappingTheAtomsTransposesW) {
    struct Case {
        const char* name;
        std::uint8_t z0, z1;
        Coordinate p0, p1;
    };
    const Case cases[] = {
        {"C, O general", 6, 8, {0.1, 0.2, -0.3}, {1.0, -0.4, 0.5}},
        {"N, Cl on the z axis", 7, 17, {0.0, 0.0, 0.4}, {0.0, 0.0, 2.3}},
        {"H, O", 1, 8, {-0.2, 0.9, 0.0}, {0.3, 0.1, 0.2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto first = precompute_diatomic_pairs(
            batch_of({c.z0, c.z1}, {c.p0, c.p1}, am1_model()), am1_model());
        const auto second = precompute_diatomic_pairs(
            batch_of({c.z1, c.z0}, {c.p1, c.p0}, am1_model()), am1_model());
        ASSERT_EQ(first.size(), 1u);
        ASSERT_EQ(second.size(), 1u);
        const auto& f = first[0];
        const auto& s = second[0];
        const std::size_t pairs_a = f.e1b.size(), pairs_b = f.e2a.size();
        ASSERT_EQ(s.e1b.size(), pairs_b);
        ASSERT_EQ(s.e2a.size(), pairs_a);
        for (std::size_t p = 0; p < pairs_a; ++p)
            for (std::size_t q = 0; q < pairs_b; ++q)
                EXPECT_NEAR(s.w[q * pairs_a + p], f.w[p * pairs_b + q], 1e-12);
        for (std::size_t p = 0; p < pairs_a; ++p)
            EXPECT_NEAR(s.e2a[p], f.e1b[p], 1e-12);
        for (std::size_t q = 0; q < pairs_b; ++q)
            EXPECT_NEAR(s.e1b[q], f.e2a[q], 1e-12);
    }
}

// e1b is −Z_B times the first column of w, e2a −Z_A times its first row, with or without
// feathering; the stand-alone attraction routine gives the same values.
TEST(DiatomicPairs, AttractionsAreCoreChargesTimesTheSsColumnAndRow) {
    struct Case {
        const char* name;
        const ParameterModel& model;
        std::uint8_t z_a, z_b;
        Coordinate b_pos;
    };
    const Case cases[] = {{"AM1 C-O", am1_model(), 6, 8, {0.7, -0.8, 0.6}},
                          {"PM7 O-C", pm7_model(), 8, 6, {-1.9, 1.1, 2.4}},
                          {"PM7 C-H", pm7_model(), 6, 1, {0.3, 0.9, -0.5}},
                          {"MNDO H-F", mndo_model(), 1, 9, {0.0, -0.9, 0.1}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto rec = pair_record(c.model, c.z_a, {0, 0, 0}, c.z_b, c.b_pos);
        const double z_a = core_charge_of(c.model, c.z_a), z_b = core_charge_of(c.model, c.z_b);
        const std::size_t pairs_a = rec.e1b.size(), pairs_b = rec.e2a.size();
        for (std::size_t p = 0; p < pairs_a; ++p)
            EXPECT_NEAR(rec.e1b[p], -z_b * rec.w[p * pairs_b], 1e-12);
        for (std::size_t q = 0; q < pairs_b; ++q)
            EXPECT_NEAR(rec.e2a[q], -z_a * rec.w[q], 1e-12);

        const double r =
            std::sqrt(c.b_pos[0] * c.b_pos[0] + c.b_pos[1] * c.b_pos[1] + c.b_pos[2] * c.b_pos[2]);
        const auto rotation =
            DiatomicRotation3D::new_rotation(c.b_pos[0], c.b_pos[1], c.b_pos[2], r);
        std::array<double, 10> e1b{}, e2a{};
        compute_electron_nuclear_attraction(
            static_cast<int>(rec.n_orbitals_a), static_cast<int>(rec.n_orbitals_b),
            params_of(c.model, c.z_a), params_of(c.model, c.z_b), rotation, e1b.data(), z_a, z_b, r,
            e1b.size(), e2a.data(), e2a.size(), c.model.use_feathering());
        for (std::size_t p = 0; p < pairs_a; ++p)
            EXPECT_NEAR(e1b[p], rec.e1b[p], 1e-12);
        for (std::size_t q = 0; q < pairs_b; ++q)
            EXPECT_NEAR(e2a[q], rec.e2a[q], 1e-12);
    }
}

// From 7 Å on, PM7 pairs are point charges: (μμ|λλ) = e²/R, every other integral 0, and
// each core attracts the diagonal distributions by −Z·e²/R.
TEST(Feathering, MakesPm7PairsPointChargesFromSevenAngstrom) {
    const double z_c = core_charge_of(pm7_model(), 6), z_o = core_charge_of(pm7_model(), 8);
    for (double r : {7.0, 9.5, 30.0}) {
        SCOPED_TRACE(r);
        const double l = e2 / r;
        const auto on_axis = pair_record(pm7_model(), 6, {0, 0, 0}, 8, {0, 0, r});
        const auto general = pair_record(pm7_model(), 6, {0, 0, 0}, 8, {0.6 * r, 0.0, -0.8 * r});
        for (std::size_t p = 0; p < 10; ++p) {
            for (std::size_t q = 0; q < 10; ++q) {
                const double want = is_diagonal_pair(p) && is_diagonal_pair(q) ? l : 0.0;
                EXPECT_EQ(on_axis.w[p * 10 + q], want);
                EXPECT_NEAR(general.w[p * 10 + q], want, 1e-14);
            }
            EXPECT_EQ(on_axis.e1b[p], is_diagonal_pair(p) ? -z_o * l : 0.0);
            EXPECT_EQ(on_axis.e2a[p], is_diagonal_pair(p) ? -z_c * l : 0.0);
            EXPECT_NEAR(general.e1b[p], is_diagonal_pair(p) ? -z_o * l : 0.0, 1e-13);
        }
    }
}

TEST(Feathering, BlendsShortRangePm7IntegralsTowardsPointCharges) {
    const double r = 2.6;
    const auto rec = pair_record(pm7_model(), 8, {0, 0, 0}, 6, {0, 0, r});
    const LocalMultipoleIntegrals v =
        compute_22_multipoles(params_of(pm7_model(), 8), params_of(pm7_model(), 6), r);
    const double f = 1.0 - std::exp(-0.22 * (r - 7.0) * (r - 7.0));
    const double l = e2 / r;
    struct Entry {
        const char* what;
        std::size_t p, q;
        double want;
    };
    const Entry entries[] = {
        {"(ss|ss)", 0, 0, f * v[0] + (1 - f) * l},
        {"(pz s|ss) dipole", 6, 0, f * v[1]},
        {"(pz pz|ss)", 9, 0, f * v[2] + (1 - f) * l},
        {"(px px|pz pz)", 2, 9, f * v[16] + (1 - f) * l},
        {"(pz s|pz s) dipole-dipole", 6, 6, f * v[5]},
        {"(px pz|px pz)", 7, 7, f * v[19]},
        {"(py px|py px)", 4, 4, f * v[21]},
        {"(px px|py py)", 2, 5, f * v[20] + (1 - f) * l},
    };
    for (const Entry& e : entries) {
        SCOPED_TRACE(e.what);
        EXPECT_NEAR(rec.w[e.p * 10 + e.q], e.want, 1e-12);
    }
    // AM1 does not feather: the same geometry gives the bare integrals.
    const auto bare = pair_record(am1_model(), 8, {0, 0, 0}, 6, {0, 0, r});
    const LocalMultipoleIntegrals am1 =
        compute_22_multipoles(params_of(am1_model(), 8), params_of(am1_model(), 6), r);
    EXPECT_NEAR(bare.w[0], am1[0], 1e-13);
    EXPECT_NEAR(bare.w[6 * 10 + 0], am1[1], 1e-13);
}

// A hydrogen given p functions by the basis still has only its ss distribution: feathering
// must not create (p p|…) integrals or attractions for it.
TEST(Feathering, LeavesTheMissingDistributionsOfSOnlyAtomsEmpty) {
    const MolecularBatch batch = MolecularBatch::new_with_basis(
        {6, 1}, std::vector<Coordinate>{{0, 0, 0}, {0.5, 0.4, 3.1}}, {4, 4});
    const auto pairs = precompute_diatomic_pairs(batch, pm7_model());
    ASSERT_EQ(pairs.size(), 1u);
    const auto& rec = pairs[0]; // A = H, B = C
    const double z_h = core_charge_of(pm7_model(), 1);
    for (std::size_t q = 0; q < 10; ++q)
        EXPECT_NEAR(rec.e2a[q], -z_h * rec.w[q], 1e-12);
    for (std::size_t p = 1; p < 10; ++p) {
        SCOPED_TRACE(p);
        EXPECT_EQ(rec.e1b[p], 0.0);
        for (std::size_t q = 0; q < 10; ++q)
            EXPECT_EQ(rec.w[p * 10 + q], 0.0);
    }
    EXPECT_LT(rec.e1b[0], 0.0);
}

// =======================================================================================

TEST(PrecomputeDiatomicPairs, ListsLaterAtomFirstAndSkipsCoincidentAndUnknownAtoms) {
    // Lithium (Z = 3) has no AM1 parameters; atoms 4 and 1 sit on the same point.
    const std::vector<std::uint8_t> z = {6, 1, 3, 8, 1};
    const std::vector<Coordinate> xyz = {
        {0, 0, 0}, {1.0, 0.2, 0}, {-1.5, 0, 0}, {0, 1.2, 0}, {1.0, 0.2, 0}};
    const MolecularBatch batch = MolecularBatch::new_with_default_basis(z, xyz);
    const auto pairs = precompute_diatomic_pairs(batch, am1_model());
    const std::vector<std::array<std::size_t, 2>> expected = {
        {1, 0}, {3, 0}, {3, 1}, {4, 0}, {4, 3}};
    ASSERT_EQ(pairs.size(), expected.size());
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        SCOPED_TRACE(k);
        const auto& rec = pairs[k];
        EXPECT_EQ(rec.atom_a, expected[k][0]);
        EXPECT_EQ(rec.atom_b, expected[k][1]);
        EXPECT_EQ(rec.n_orbitals_a, batch.basis_types[rec.atom_a]);
        EXPECT_EQ(rec.n_orbitals_b, batch.basis_types[rec.atom_b]);
        EXPECT_EQ(rec.first_orbital_a, batch.orbital_offsets[rec.atom_a]);
        EXPECT_EQ(rec.first_orbital_b, batch.orbital_offsets[rec.atom_b]);
        const std::size_t pa = orbital_pair_count(rec.n_orbitals_a);
        const std::size_t pb = orbital_pair_count(rec.n_orbitals_b);
        EXPECT_EQ(rec.w.size(), pa * pb);
        EXPECT_EQ(rec.e1b.size(), pa);
        EXPECT_EQ(rec.e2a.size(), pb);
    }
    EXPECT_TRUE(
        precompute_diatomic_pairs(MolecularBatch::new_with_default_basis({}, {}), am1_model())
            .empty());
}

TEST(PrecomputeDiatomicPairs, BuildsPairsWithDOrbitalsAtTheirFullSize) {
    // PM6 sulfur carries d orbitals: 45 orbital pairs against hydrogen's one.
    const MolecularBatch batch = fixtures::make_batch(fixtures::hydrogen_sulfide(), pm6_model());
    ASSERT_EQ(batch.basis_types[0], 9);
    const std::vector<DiatomicPairIntegrals> pairs = precompute_diatomic_pairs(batch, pm6_model());
    ASSERT_EQ(pairs.size(), 3u);
    for (std::size_t k : {0, 1}) {
        EXPECT_EQ(pairs[k].atom_b, 0u);
        EXPECT_EQ(pairs[k].w.size(), 45u);
        EXPECT_EQ(pairs[k].e1b.size(), 1u);
        EXPECT_EQ(pairs[k].e2a.size(), 45u);
    }
}

TEST(PrecomputeDiatomicPairs, RotationRejectsBuffersAndShellsItCannotFill) {
    const LocalMultipoleIntegrals v{};
    const auto rotation = DiatomicRotation3D::new_rotation(0, 0, 1, 1);
    std::array<double, 100> w{};
    EXPECT_THROW(rotate_multipoles_to_w(4, 4, v, rotation, w.data(), 99), InternalError);
    EXPECT_THROW(rotate_multipoles_to_w(9, 1, v, rotation, w.data(), 100), InternalError);
    EXPECT_NO_THROW(rotate_multipoles_to_w(4, 1, v, rotation, w.data(), 10));
}

// Each atom's one-centre block collects the attractions by every other core, in both
// triangles; nothing outside the one-centre blocks changes.
TEST(ApplyElectronNuclearAttractions, AddsEveryPairIntoBothOneCentreBlocks) {
    const MolecularBatch batch = fixtures::make_batch(fixtures::formaldehyde(), am1_model());
    const auto pairs = precompute_diatomic_pairs(batch, am1_model());
    ASSERT_EQ(pairs.size(), 6u);
    AlignedMatrix hcore(batch.n_orbitals, batch.n_orbitals);
    hcore.fill(0.25);
    apply_electron_nuclear_attractions(pairs.data(), pairs.size(), hcore);

    AlignedMatrix expected(batch.n_orbitals, batch.n_orbitals);
    expected.fill(0.25);
    const auto add = [&](std::size_t first, std::size_t n, const std::vector<double>& e) {
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j)
                expected(first + i, first + j) += e[orbital_pair_index(i, j)];
    };
    for (const auto& rec : pairs) {
        add(rec.first_orbital_a, rec.n_orbitals_a, rec.e1b);
        add(rec.first_orbital_b, rec.n_orbitals_b, rec.e2a);
    }
    for (std::size_t i = 0; i < batch.n_orbitals; ++i)
        for (std::size_t j = 0; j < batch.n_orbitals; ++j)
            EXPECT_NEAR(hcore(i, j), expected(i, j), 1e-12);

    // A hydrogen's s orbital feels the sum of the other cores, each through (ss|ss).
    const std::size_t h = batch.orbital_offsets[2];
    double attraction = 0.0;
    for (std::size_t other : {0, 1, 3}) {
        const auto p = params_of(am1_model(), batch.atomic_numbers[other]);
        attraction -=
            core_charge_of(am1_model(), batch.atomic_numbers[other]) *
            compute_22_multipoles(params_of(am1_model(), 1), p, batch.distance(2, other))[0];
    }
    EXPECT_NEAR(hcore(h, h) - 0.25, attraction, 1e-12);

    AlignedMatrix too_small(batch.n_orbitals - 1, batch.n_orbitals - 1);
    EXPECT_THROW(apply_electron_nuclear_attractions(pairs.data(), pairs.size(), too_small), InternalError);
    AlignedMatrix not_square(batch.n_orbitals, batch.n_orbitals + 1);
    EXPECT_THROW(apply_electron_nuclear_attractions(pairs.data(), pairs.size(), not_square), InternalError);
}

} // namespace
} // namespace quelm
