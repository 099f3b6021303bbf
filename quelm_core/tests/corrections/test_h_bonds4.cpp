#include "corrections/h_bonds4.hpp"
#include "fixtures.hpp"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <gtest/gtest.h>
#include <numbers>
#include <string>
#include <vector>

namespace quelm {
namespace {

using fixtures::Molecule;

constexpr double degree = std::numbers::pi / 180.0;
const H4Parameters standard{{2.32, 3.1, 1.07, 2.01, 0.42, 3.61, 1.41}};

MolecularBatch batch_of(const Molecule& molecule) {
    return MolecularBatch::new_with_default_basis(molecule.atomic_numbers, molecule.coordinates);
}

double h4_of(const Molecule& molecule, const H4Parameters& parameters = standard) {
    return compute_h4_energy(batch_of(molecule), parameters);
}

Molecule combined(Molecule a, const Molecule& b) {
    a.atomic_numbers.insert(a.atomic_numbers.end(), b.atomic_numbers.begin(),
                            b.atomic_numbers.end());
    a.coordinates.insert(a.coordinates.end(), b.coordinates.begin(), b.coordinates.end());
    return a;
}

Molecule translated(Molecule molecule, const Coordinate& shift) {
    for (Coordinate& p : molecule.coordinates)
        for (int k = 0; k < 3; ++k)
            p[k] += shift[k];
    return molecule;
}

// Donor D, hydrogen H, acceptor A with D···A = 3 Å (where the radial term is exactly −1),
// D–H = r_dh and the D–H···A bridge bent by theta from linear.
Molecule bridge(std::uint8_t z_donor, std::uint8_t z_acceptor, double theta, double r_dh) {
    const double d = 3.0;
    const double r_ha = -r_dh * std::cos(theta) +
                        std::sqrt(d * d - r_dh * r_dh * std::sin(theta) * std::sin(theta));
    return {{z_donor, 1, z_acceptor},
            {{{-r_dh, 0.0, 0.0},
              {0.0, 0.0, 0.0},
              {r_ha * std::cos(theta), r_ha * std::sin(theta), 0.0}}}};
}

// Unit vectors of a tetrahedron with its first vertex along +x.
std::array<Coordinate, 4> tetrahedral_directions() {
    const double s = std::sqrt(8.0) / 3.0;
    std::array<Coordinate, 4> out{};
    out[0] = {1.0, 0.0, 0.0};
    for (int k = 0; k < 3; ++k) {
        const double phi = 2.0 * std::numbers::pi * k / 3.0;
        out[k + 1] = {-1.0 / 3.0, s * std::cos(phi), s * std::sin(phi)};
    }
    return out;
}

// Donors: the heavy atom at the origin, the bridging hydrogen along +x.
Molecule donor(std::uint8_t z, int n_hydrogens, double bond) {
    const auto directions = tetrahedral_directions();
    Molecule m{{z}, {{{0.0, 0.0, 0.0}}}};
    for (int k = 0; k < n_hydrogens; ++k) {
        m.atomic_numbers.push_back(1);
        m.coordinates.push_back(
            {bond * directions[k][0], bond * directions[k][1], bond * directions[k][2]});
    }
    return m;
}

Molecule water_donor() {
    return {{8, 1, 1},
            {{{0.0, 0.0, 0.0},
              {0.96, 0.0, 0.0},
              {0.96 * std::cos(104.5 * degree), 0.96 * std::sin(104.5 * degree), 0.0}}}};
}

// Acceptors: the acceptor oxygen at (3, 0, 0), the rest of the molecule beyond it.
Molecule water_acceptor() {
    const Molecule dimer = fixtures::water_dimer(3.0);
    return {{8, 1, 1}, {dimer.coordinates.begin() + 3, dimer.coordinates.end()}};
}

// Ammonia accepting with its lone pair towards the donor: the hydrogens point away.
Molecule ammonia_acceptor() {
    Molecule m = donor(7, 4, 1.01);
    m.atomic_numbers.erase(m.atomic_numbers.begin() + 1);
    m.coordinates.erase(m.coordinates.begin() + 1);
    for (Coordinate& p : m.coordinates)
        p = {3.0 - p[0], p[1], p[2]};
    return m;
}

Molecule formaldehyde_acceptor() {
    const double hx = 4.21 + 1.10 * std::cos(60.0 * degree);
    const double hy = 1.10 * std::sin(60.0 * degree);
    return {{8, 6, 1, 1}, {{{3.0, 0.0, 0.0}, {4.21, 0.0, 0.0}, {hx, hy, 0.0}, {hx, -hy, 0.0}}}};
}

// Formate accepting at 120° (N–H···O=C), with C–O 1.27 Å and O–C–O opened to 135° so that
// its two oxygens (2.35 Å apart) lie outside each other's coordination switch and every
// coordination count is whole: carbon 3, each oxygen 1. (In acetate the methyl carbon,
// 2.3-2.4 Å from both oxygens, adds a fraction to their counts.) With protonate = true the
// second oxygen carries a hydrogen pointing away from the donor (formic acid, whose OH
// oxygen has two neighbours).
Molecule formate_acceptor(bool protonate) {
    const Coordinate o_acceptor{3.0, 0.0, 0.0};
    const Coordinate c_star{3.0 + 1.27 * std::cos(-60.0 * degree), 1.27 * std::sin(-60.0 * degree),
                            0.0};
    // Bond directions from the carbon, measured from its bond to the accepting oxygen (120°).
    auto from_carbon = [&](double length, double turn) {
        const double angle = (120.0 + turn) * degree;
        return Coordinate{c_star[0] + length * std::cos(angle),
                          c_star[1] + length * std::sin(angle), 0.0};
    };
    const Coordinate o_prime = from_carbon(1.27, 135.0);
    Molecule m{{8, 6, 8, 1}, {o_acceptor, c_star, o_prime, from_carbon(1.10, -112.5)}};
    if (protonate) {
        m.atomic_numbers.push_back(1);
        m.coordinates.push_back({o_prime[0], o_prime[1] - 0.97, 0.0});
    }
    return m;
}

TEST(H4Energy, LinearWaterDimerIsBoundUpTo5p5AngstromAndZeroBeyond) {
    // 2.32 (O–O) × 0.42 (water donor) × g(d); g(3.0) = −1, g(2.9) = −0.9919014089765996.
    struct Case {
        double r_oo, expected_kcal;
    };
    const Case cases[] = {{2.9, -0.9665087329067986}, {3.0, -0.9744}, {5.5001, 0.0}, {7.0, 0.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.r_oo);
        const double e = h4_of(fixtures::water_dimer(c.r_oo));
        EXPECT_NEAR(e, c.expected_kcal, 1e-12);
        if (c.r_oo > 5.5) {
            EXPECT_EQ(e, 0.0);
        }
    }
    EXPECT_LT(h4_of(fixtures::water_dimer(2.9)), 0.0);
}

// One bridge D–H···A at D···A = 3 Å: the energy is −c(D, A) × angular × proton sharing, with
// angular = 1 − p(θ/90°)² and sharing = 1 − p((r_DH − 1.15)/(½(r_DH + r_HA) − 1.15)).
TEST(H4Energy, BridgeFollowsPairScaleBendAndProtonSharing) {
    struct Case {
        const char* name;
        std::uint8_t z_donor, z_acceptor;
        double theta_degree, r_dh, expected_kcal;
    };
    const Case cases[] = {
        {"O-H...O linear", 8, 8, 0.0, 0.97, -2.32},
        {"O-H...N linear", 8, 7, 0.0, 0.97, -3.1},
        {"N-H...O linear", 7, 8, 0.0, 1.01, -1.07},
        {"N-H...N linear", 7, 7, 0.0, 1.01, -2.01},
        {"bent 30", 8, 8, 30.0, 0.97, -2.32 * 0.9699682352112255},
        {"bent 45", 8, 8, 45.0, 0.97, -2.32 * 0.75},
        {"bent 60", 8, 8, 60.0, 0.97, -2.32 * 0.3165617422985608},
        {"bent 80", 7, 7, 80.0, 1.01, -2.01 * 0.008062764367858799},
        {"bent 90", 8, 8, 90.0, 0.97, 0.0},
        {"bent 120", 8, 8, 120.0, 0.97, 0.0},
        {"shared, r_DH 1.2", 8, 8, 0.0, 1.2, -2.32 * 0.9898499531900581},
        {"centred proton", 8, 8, 0.0, 1.5, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Molecule m = bridge(c.z_donor, c.z_acceptor, c.theta_degree * degree, c.r_dh);
        EXPECT_NEAR(h4_of(m), c.expected_kcal, 1e-12);
        // The hydrogen's position, not the atom order, decides which atom donates.
        const Molecule reversed{{m.atomic_numbers[2], 1, m.atomic_numbers[0]},
                                {{m.coordinates[2], m.coordinates[1], m.coordinates[0]}}};
        EXPECT_NEAR(h4_of(reversed), c.expected_kcal, 1e-12);
    }
}

// Each multiplier as the ratio of the energy with the standard constants to the energy with
// that one multiplier set to 1: water-like donor 0.42 (O with two H, acceptor O), ammonium-like
// donor 3.61 (N with four neighbours), carboxylate acceptor 1.41 (O on a three-coordinate
// carbon whose other oxygen has one neighbour).
TEST(H4Energy, EnvironmentMultipliersFollowTheDonorAndAcceptorCoordination) {
    struct Case {
        const char* name;
        Molecule complex;
        double water, ammonium, carboxylate;
    };
    const Case cases[] = {
        {"water to water", combined(water_donor(), water_acceptor()), 0.42, 1.0, 1.0},
        {"hydroxyl to water", combined(donor(8, 1, 0.97), water_acceptor()), 1.0, 1.0, 1.0},
        {"hydronium to water", combined(donor(8, 3, 0.98), water_acceptor()), 1.0, 1.0, 1.0},
        {"ammonium to water", combined(donor(7, 4, 1.03), water_acceptor()), 1.0, 3.61, 1.0},
        {"ammonia to water", combined(donor(7, 3, 1.01), water_acceptor()), 1.0, 1.0, 1.0},
        {"water to ammonia", combined(water_donor(), ammonia_acceptor()), 1.0, 1.0, 1.0},
        {"ammonium to formaldehyde", combined(donor(7, 4, 1.03), formaldehyde_acceptor()), 1.0,
         3.61, 1.0},
        {"ammonium to formate", combined(donor(7, 4, 1.03), formate_acceptor(false)), 1.0, 3.61,
         1.41},
        {"water to formate", combined(water_donor(), formate_acceptor(false)), 0.42, 1.0, 1.41},
        {"ammonium to formic acid", combined(donor(7, 4, 1.03), formate_acceptor(true)), 1.0, 3.61,
         1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const double e = h4_of(c.complex);
        ASSERT_LT(e, 0.0);
        const double expected[] = {c.water, c.ammonium, c.carboxylate};
        H4Parameters all_neutral = standard;
        for (int k = 0; k < 3; ++k) {
            H4Parameters neutral = standard;
            neutral.values[4 + k] = 1.0;
            all_neutral.values[4 + k] = 1.0;
            EXPECT_NEAR(e / h4_of(c.complex, neutral), expected[k], 1e-12) << "multiplier " << k;
        }
        EXPECT_NEAR(e / h4_of(c.complex, all_neutral), c.water * c.ammonium * c.carboxylate, 1e-12);
    }
}

// Donors with one extra neighbour X placed at 1.3·(r_centre + r_X), halfway through X's
// coordination switch (1 − p(½) = ½), donating to water. Ammonium-like nitrogen: n = 3.5 gives
// 1 + 0.5·(3.61 − 1) = 2.305. Water-like oxygen: nH = 1.5 (rising), nH = 2.5 (falling) or
// nX = 0.5 each give 1 + 0.5·(0.42 − 1) = 0.71. Elements without a tabulated radius count with
// r_X = 0; a neighbour at distance exactly 0 is ignored.
TEST(H4Energy, HalfSwitchedNeighboursGiveHalfTheMultiplierChange) {
    struct Case {
        std::uint8_t z_donor;
        int n_hydrogens;
        std::uint8_t z_extra;
        double extra_radius;
        double expected_ratio;
    };
    const Case cases[] = {
        {7, 3, 6, 0.77, 2.305},  {7, 3, 17, 0.99, 2.305}, {7, 3, 14, 1.11, 2.305},
        {7, 3, 55, 2.25, 2.305}, {7, 3, 57, 1.69, 2.305}, {7, 3, 58, 0.0, 2.305},
        {7, 3, 71, 1.6, 2.305},  {7, 3, 79, 1.44, 2.305}, {7, 3, 81, 0.0, 2.305},
        {7, 3, 82, 0.0, 2.305},  {7, 3, 83, 1.46, 2.305}, {7, 3, 86, 1.45, 2.305},
        {7, 3, 118, 0.0, 2.305}, {7, 3, 200, 0.0, 2.305}, {8, 1, 1, 0.37, 0.71},
        {8, 2, 1, 0.37, 0.71},   {8, 2, 6, 0.77, 0.71},
    };
    const auto directions = tetrahedral_directions();
    for (const Case& c : cases) {
        SCOPED_TRACE("donor Z=" + std::to_string(c.z_donor) +
                     " extra Z=" + std::to_string(c.z_extra));
        const double centre_radius = c.z_donor == 7 ? 0.75 : 0.73;
        const int multiplier = c.z_donor == 7 ? 5 : 4;
        const double d = 1.3 * (centre_radius + c.extra_radius);
        Molecule complex = combined(donor(c.z_donor, c.n_hydrogens, 1.0), water_acceptor());
        complex.atomic_numbers.push_back(c.z_extra);
        complex.coordinates.push_back(
            {d * directions[3][0], d * directions[3][1], d * directions[3][2]});
        H4Parameters neutral = standard;
        neutral.values[multiplier] = 1.0;
        EXPECT_NEAR(h4_of(complex) / h4_of(complex, neutral), c.expected_ratio, 1e-12);
    }
    // A silicon on top of an ammonia nitrogen is no fourth neighbour.
    Molecule stacked = combined(donor(7, 3, 1.0), water_acceptor());
    stacked.atomic_numbers.push_back(14);
    stacked.coordinates.push_back({0.0, 0.0, 0.0});
    H4Parameters neutral = standard;
    neutral.values[5] = 1.0;
    EXPECT_NEAR(h4_of(stacked) / h4_of(stacked, neutral), 1.0, 1e-12);
}

TEST(H4Energy, VanishesWithoutHydrogenOrNitrogenAndOxygen) {
    const Molecule cases[] = {
        {{}, {}},
        {{8}, {{{0.0, 0.0, 0.0}}}},
        {{8, 8}, {{{0.0, 0.0, 0.0}, {2.9, 0.0, 0.0}}}},
        fixtures::methane_dimer(3.5),
        {{16, 1, 8}, {{{0.0, 0.0, 0.0}, {1.34, 0.0, 0.0}, {3.2, 0.0, 0.0}}}},
    };
    for (const Molecule& m : cases) {
        SCOPED_TRACE(m.atomic_numbers.size());
        EXPECT_EQ(h4_of(m), 0.0);
    }
}

TEST(H4Energy, IsInvariantUnderRotationTranslationAndAtomOrder) {
    const Molecule complex = combined(donor(7, 4, 1.03), formate_acceptor(false));
    const double reference = h4_of(complex);
    ASSERT_LT(reference, 0.0);
    const fixtures::Rotation rotation = fixtures::rotation_about({-0.4, 0.9, 0.2}, 1.3);
    EXPECT_NEAR(h4_of(translated(fixtures::rotated(complex, rotation), {2.0, -7.0, 3.5})),
                reference, 1e-12 * std::abs(reference));
    const Molecule reversed{{complex.atomic_numbers.rbegin(), complex.atomic_numbers.rend()},
                            {complex.coordinates.rbegin(), complex.coordinates.rend()}};
    EXPECT_NEAR(h4_of(reversed), reference, 1e-12 * std::abs(reference));
}

HhRepulsion hh_of(const Molecule& molecule) {
    return compute_hh_repulsion_energy_and_gradients(batch_of(molecule));
}

Molecule hydrogen_pair(double r) {
    return {{1, 1}, {{{0.0, 0.0, 0.0}, {0.0, r, 0.0}}}};
}

TEST(HhRepulsion, FollowsPlateauBridgeAndTailJoinedSmoothly) {
    // Plateau below 1 Å; the quintic at 1.25 Å and 118.7326·exp(−1.53965·2^1.72905) at 2 Å.
    struct Case {
        double r, expected_kcal;
    };
    const Case cases[] = {{0.3, 25.46293603147693},
                          {1.0, 25.46293603147693},
                          {1.25, 1.711538150462729e+01},
                          {2.0, 7.209313552215237e-01}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.r);
        EXPECT_NEAR(hh_of(hydrogen_pair(c.r)).energy_kcal, c.expected_kcal,
                    1e-12 * c.expected_kcal);
    }
    // No force on the plateau.
    for (double r : {0.3, 1.0}) {
        const HhRepulsion plateau = hh_of(hydrogen_pair(r));
        for (const auto& g : plateau.gradient_kcal_mol_angstrom)
            EXPECT_EQ(g, (std::array<double, 3>{0.0, 0.0, 0.0}));
    }
    // Values and slopes agree across both joins.
    for (double join : {1.0, 1.5}) {
        SCOPED_TRACE(join);
        const HhRepulsion below = hh_of(hydrogen_pair(join - 1e-9));
        const HhRepulsion above = hh_of(hydrogen_pair(join + 1e-9));
        EXPECT_NEAR(below.energy_kcal, above.energy_kcal, 2e-6);
        EXPECT_NEAR(below.gradient_kcal_mol_angstrom[1][1], above.gradient_kcal_mol_angstrom[1][1],
                    1e-6);
    }
}

TEST(HhRepulsion, GradientIsTheCentralDifferenceOfTheEnergy) {
    // H···H contacts on every branch: 0.72 Å, 1.32 Å and the longer ones of the dimers.
    const Molecule clusters[] = {fixtures::methane_dimer(2.9), fixtures::methane_dimer(3.5),
                                 fixtures::water_dimer(2.9)};
    const double h = 1e-6;
    for (const Molecule& cluster : clusters) {
        SCOPED_TRACE(cluster.atomic_numbers.size());
        const HhRepulsion result = hh_of(cluster);
        const std::size_t n = cluster.atomic_numbers.size();
        ASSERT_EQ(result.gradient_kcal_mol_angstrom.size(), n);
        std::array<double, 3> net{};
        for (std::size_t a = 0; a < n; ++a) {
            for (int k = 0; k < 3; ++k) {
                Molecule plus = cluster, minus = cluster;
                plus.coordinates[a][k] += h;
                minus.coordinates[a][k] -= h;
                const double numeric =
                    (hh_of(plus).energy_kcal - hh_of(minus).energy_kcal) / (2.0 * h);
                const double analytic = result.gradient_kcal_mol_angstrom[a][k];
                EXPECT_NEAR(analytic, numeric, 1e-6 + 1e-7 * std::abs(numeric))
                    << "atom " << a << " axis " << k;
                if (cluster.atomic_numbers[a] != 1) {
                    EXPECT_EQ(analytic, 0.0);
                }
                net[k] += analytic;
            }
        }
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(net[k], 0.0, 1e-10);
    }
}

TEST(HhRepulsion, EnergyIsInvariantUnderRotationAndTranslation) {
    const Molecule cluster = fixtures::methane_dimer(3.5);
    const double reference = hh_of(cluster).energy_kcal;
    const fixtures::Rotation rotation = fixtures::rotation_about({1.0, 0.2, -0.7}, 0.8);
    EXPECT_NEAR(
        hh_of(translated(fixtures::rotated(cluster, rotation), {-4.0, 1.0, 9.0})).energy_kcal,
        reference, 1e-12 * reference);
}

TEST(HhRepulsion, NeedsTwoDistinctHydrogens) {
    const Molecule cases[] = {
        {{}, {}},
        {{8, 1}, {{{0.0, 0.0, 0.0}, {0.97, 0.0, 0.0}}}},
        {{6, 8}, {{{0.0, 0.0, 0.0}, {1.2, 0.0, 0.0}}}},
        {{1, 8, 1}, {{{0.5, 0.5, 0.5}, {0.0, 0.0, 0.0}, {0.5, 0.5, 0.5}}}},
    };
    for (const Molecule& m : cases) {
        SCOPED_TRACE(m.atomic_numbers.size());
        const HhRepulsion result = hh_of(m);
        EXPECT_EQ(result.energy_kcal, 0.0);
        ASSERT_EQ(result.gradient_kcal_mol_angstrom.size(), m.atomic_numbers.size());
        for (const auto& g : result.gradient_kcal_mol_angstrom)
            EXPECT_EQ(g, (std::array<double, 3>{0.0, 0.0, 0.0}));
    }
}

} // namespace
} // namespace quelm
