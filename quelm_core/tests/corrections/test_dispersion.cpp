#include "corrections/dispersion.hpp"
#include "fixtures.hpp"
#include "types/internal_error.hpp"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

namespace quelm {
namespace {

using fixtures::Molecule;

struct ModelCase {
    const char* name;
    DispersionModel model;
    double s6;
};

constexpr ModelCase models[] = {{"PM6-DH+", DispersionModel::pm6_dh_plus, 0.89},
                                {"PM7", DispersionModel::pm7, 2.286419},
                                {"D3-BJ", DispersionModel::d3_bj, 1.0}};

MolecularBatch batch_of(const Molecule& molecule) {
    return MolecularBatch::new_with_default_basis(molecule.atomic_numbers, molecule.coordinates);
}

double energy_of(const Molecule& molecule, DispersionModel model) {
    return compute_dispersion_energy(batch_of(molecule), model);
}

Molecule translated(Molecule molecule, const Coordinate& shift) {
    for (Coordinate& p : molecule.coordinates)
        for (int k = 0; k < 3; ++k)
            p[k] += shift[k];
    return molecule;
}

Molecule combined(Molecule a, const Molecule& b) {
    a.atomic_numbers.insert(a.atomic_numbers.end(), b.atomic_numbers.begin(),
                            b.atomic_numbers.end());
    a.coordinates.insert(a.coordinates.end(), b.coordinates.begin(), b.coordinates.end());
    return a;
}

// −s6·C6/(4184·r⁶) in kcal/mol, r in Å (converted to nm): the undamped long-range limit.
double london_limit(double s6, double c6, double r_angstrom) {
    return -s6 * c6 / (4184.0 * std::pow(0.1 * r_angstrom, 6));
}

TEST(Dispersion, VanishesForAnEmptyBatchAndASingleAtom) {
    const Molecule empty{{}, {}};
    const Molecule argon{{18}, {{{0.3, -1.2, 2.0}}}};
    for (const ModelCase& m : models) {
        SCOPED_TRACE(m.name);
        EXPECT_EQ(energy_of(empty, m.model), 0.0);
        EXPECT_EQ(compute_dispersion_energy_and_gradients(batch_of(empty), m.model, nullptr, 0),
                  0.0);
        std::array<double, 3> gradient{1.0, 2.0, 3.0};
        EXPECT_EQ(compute_dispersion_energy_and_gradients(batch_of(argon), m.model, &gradient, 1),
                  0.0);
        EXPECT_EQ(gradient, (std::array<double, 3>{1.0, 2.0, 3.0}));
    }
}

// Single pairs of bare atoms (no carbon neighbours), evaluated by hand from the combination
// rule and the three damping forms: C6(H–H) 0.16, R0 0.312 nm; C6(C–O) 1.049228, R0 0.324006 nm.
TEST(Dispersion, AtomPairsMatchHandEvaluatedValues) {
    struct Case {
        int model;
        std::uint8_t z_a, z_b;
        double r_angstrom, expected_kcal;
    };
    const Case cases[] = {
        {0, 1, 1, 2.5, -1.400121536800667e-03}, {1, 1, 1, 2.5, -1.680347370595792e-03},
        {2, 1, 1, 2.5, -2.522891395397578e-02}, {0, 6, 8, 3.5, -8.308140256178403e-02},
        {1, 6, 8, 3.5, -4.261366190618558e-02}, {2, 6, 8, 3.5, -1.202374182441008e-01},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(models[c.model].name) + " Z=" + std::to_string(c.z_a) + "," +
                     std::to_string(c.z_b));
        const Molecule pair{{c.z_a, c.z_b}, {{{0.0, 0.0, 0.0}, {0.0, c.r_angstrom, 0.0}}}};
        EXPECT_NEAR(energy_of(pair, models[c.model].model), c.expected_kcal,
                    1e-12 * std::abs(c.expected_kcal));
    }
}

TEST(Dispersion, DistantLikeAtomsAttractAsMinusS6C6OverRToTheSixth) {
    struct Element {
        std::uint8_t z;
        double c6;
    };
    const Element elements[] = {{1, 0.16}, {2, 0.084}, {18, 3.71}, {27, 0.04}, {53, 25.8}};
    const double r = 300.0;
    for (const ModelCase& m : models) {
        // The D3-BJ C8 term still adds ~ 3·1.009·R0²/r² ≈ 5e-4 of the C6 term at 300 Å.
        const double tolerance = m.model == DispersionModel::d3_bj ? 1e-3 : 1e-12;
        for (const Element& e : elements) {
            SCOPED_TRACE(std::string(m.name) + " Z=" + std::to_string(e.z));
            const Molecule pair{{e.z, e.z}, {{{0.0, 0.0, 0.0}, {r, 0.0, 0.0}}}};
            const double expected = london_limit(m.s6, e.c6, r);
            EXPECT_NEAR(energy_of(pair, m.model), expected, tolerance * std::abs(expected));
        }
    }
}

TEST(Dispersion, SeparatedMoleculesAttractAsInverseSixthPowerAndVanish) {
    const Molecule monomers[] = {fixtures::methane(), fixtures::water()};
    for (const ModelCase& m : models) {
        for (const Molecule& monomer : monomers) {
            SCOPED_TRACE(std::string(m.name) +
                         " n_atoms=" + std::to_string(monomer.atomic_numbers.size()));
            const double e_monomer = energy_of(monomer, m.model);
            auto interaction = [&](double r) {
                const Molecule dimer = combined(monomer, translated(monomer, {r, 0.0, 0.0}));
                return energy_of(dimer, m.model) - 2.0 * e_monomer;
            };
            const double near = interaction(60.0);
            const double far = interaction(120.0);
            EXPECT_LT(near, 0.0);
            EXPECT_LT(far, 0.0);
            EXPECT_LT(std::abs(near), 1e-6);
            EXPECT_NEAR(near / far, 64.0, 0.02 * 64.0);
        }
    }
}

// Carbons surrounded by silicon (which has no dispersion of its own but counts as a
// neighbour), 300 Å apart: the only pair is C–C, whose C6 reveals each carbon's C6.
TEST(Dispersion, CarbonWithExactlyFourNeighboursWithin1p85AngstromUsesTheSmallerC6) {
    const double inv_sqrt3 = 1.0 / std::sqrt(3.0);
    const std::array<Coordinate, 5> directions{{{inv_sqrt3, inv_sqrt3, inv_sqrt3},
                                                {inv_sqrt3, -inv_sqrt3, -inv_sqrt3},
                                                {-inv_sqrt3, inv_sqrt3, -inv_sqrt3},
                                                {-inv_sqrt3, -inv_sqrt3, inv_sqrt3},
                                                {1.0, 0.0, 0.0}}};
    auto silicon_carbon = [&](std::vector<double> neighbour_distances, double x) {
        Molecule m{{6}, {{{x, 0.0, 0.0}}}};
        for (std::size_t k = 0; k < neighbour_distances.size(); ++k) {
            const double d = neighbour_distances[k];
            m.atomic_numbers.push_back(14);
            m.coordinates.push_back(
                {x + d * directions[k][0], d * directions[k][1], d * directions[k][2]});
        }
        return m;
    };
    const double mixed_c6 = 1.2467172596734248; // 2·(0.95·1.65)^⅔ / (0.95^⅓ + 1.65^⅓)
    struct Case {
        const char* name;
        std::vector<double> a, b;
        double c6;
    };
    const std::vector<Case> cases = {
        {"bare carbons", {}, {}, 1.65},
        {"four and four", {1.8, 1.8, 1.8, 1.8}, {1.84, 1.5, 1.6, 1.7}, 0.95},
        {"three and three", {1.8, 1.8, 1.8}, {1.8, 1.8, 1.8, 1.86}, 1.65},
        {"five and five", {1.8, 1.8, 1.8, 1.8, 1.8}, {1.8, 1.8, 1.8, 1.8, 1.8}, 1.65},
        {"four and none", {1.8, 1.8, 1.8, 1.8}, {}, mixed_c6},
    };
    const double r = 300.0;
    for (const ModelCase& m : models) {
        const double tolerance = m.model == DispersionModel::d3_bj ? 1e-3 : 1e-12;
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(m.name) + " " + c.name);
            const Molecule pair = combined(silicon_carbon(c.a, 0.0), silicon_carbon(c.b, r));
            const double expected = london_limit(m.s6, c.c6, r);
            EXPECT_NEAR(energy_of(pair, m.model), expected, tolerance * std::abs(expected));
        }
    }
}

TEST(Dispersion, ElementsWithoutTableEntriesTakePartInNoPair) {
    Molecule silane = fixtures::methane();
    silane.atomic_numbers[0] = 14;
    Molecule bare_hydrogens = silane;
    bare_hydrogens.atomic_numbers.erase(bare_hydrogens.atomic_numbers.begin());
    bare_hydrogens.coordinates.erase(bare_hydrogens.coordinates.begin());
    const std::uint8_t no_entry[] = {0, 3, 11, 26, 37, 55, 87, 118};
    for (const ModelCase& m : models) {
        SCOPED_TRACE(m.name);
        const double e_hydrogens = energy_of(bare_hydrogens, m.model);
        EXPECT_LT(e_hydrogens, 0.0);
        EXPECT_DOUBLE_EQ(energy_of(silane, m.model), e_hydrogens);
        const double e_water = energy_of(fixtures::water(), m.model);
        for (std::uint8_t z : no_entry) {
            SCOPED_TRACE("Z=" + std::to_string(z));
            const Molecule extra{{z}, {{{0.0, 0.0, 2.5}}}};
            EXPECT_DOUBLE_EQ(energy_of(combined(fixtures::water(), extra), m.model), e_water);
        }
    }
}

TEST(Dispersion, CoincidentAtomsContributeNothing) {
    const Molecule stacked{{1, 1, 2}, {{{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}, {0.0, 3.0, 0.0}}}};
    const Molecule single{{1, 2}, {{{0.0, 0.0, 0.0}, {0.0, 3.0, 0.0}}}};
    for (const ModelCase& m : models) {
        SCOPED_TRACE(m.name);
        const MolecularBatch batch = batch_of(stacked);
        std::vector<std::array<double, 3>> gradient(3, {0.0, 0.0, 0.0});
        const double e = compute_dispersion_energy_and_gradients(batch, m.model, gradient.data(),
                                                                 gradient.size());
        EXPECT_DOUBLE_EQ(e, 2.0 * energy_of(single, m.model));
        EXPECT_EQ(gradient[0], gradient[1]);
        for (const auto& g : gradient)
            for (double component : g)
                EXPECT_TRUE(std::isfinite(component));
    }
}

// The analytical gradient against central differences of the energy (carbon coordination
// unchanged by the small steps); it is added on top of what the array already holds.
TEST(Dispersion, GradientIsTheCentralDifferenceOfTheEnergyAndAddsIn) {
    const Molecule clusters[] = {fixtures::water_dimer(2.9), fixtures::methane_dimer(3.6)};
    const double h = 1e-5;
    const double preset = 0.5;
    for (const ModelCase& m : models) {
        for (const Molecule& cluster : clusters) {
            SCOPED_TRACE(std::string(m.name) +
                         " n_atoms=" + std::to_string(cluster.atomic_numbers.size()));
            const std::size_t n = cluster.atomic_numbers.size();
            std::vector<std::array<double, 3>> gradient(n, {preset, preset, preset});
            const double e = compute_dispersion_energy_and_gradients(
                batch_of(cluster), m.model, gradient.data(), gradient.size());
            EXPECT_DOUBLE_EQ(e, energy_of(cluster, m.model));
            std::array<double, 3> net{};
            for (std::size_t a = 0; a < n; ++a) {
                for (int k = 0; k < 3; ++k) {
                    Molecule plus = cluster, minus = cluster;
                    plus.coordinates[a][k] += h;
                    minus.coordinates[a][k] -= h;
                    const double numeric =
                        (energy_of(plus, m.model) - energy_of(minus, m.model)) / (2.0 * h);
                    const double analytic = gradient[a][k] - preset;
                    EXPECT_NEAR(analytic, numeric, 1e-8 + 1e-6 * std::abs(numeric))
                        << "atom " << a << " axis " << k;
                    net[k] += analytic;
                }
            }
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(net[k], 0.0, 1e-12);
        }
    }
}

TEST(Dispersion, EnergyIsInvariantUnderRotationAndTranslation) {
    const fixtures::Rotation rotation = fixtures::rotation_about({0.3, -1.0, 0.6}, 2.1);
    const Molecule clusters[] = {fixtures::water_dimer(2.9), fixtures::methane_dimer(3.6)};
    for (const ModelCase& m : models) {
        for (const Molecule& cluster : clusters) {
            SCOPED_TRACE(m.name);
            const double reference = energy_of(cluster, m.model);
            const Molecule moved = translated(fixtures::rotated(cluster, rotation), {5.0, -3, 7});
            EXPECT_NEAR(energy_of(moved, m.model), reference, 1e-12 * std::abs(reference));
        }
    }
}

TEST(Dispersion, BrokenInvariantsAreInternalErrors) {
    const MolecularBatch water = batch_of(fixtures::water());
    std::vector<std::array<double, 3>> gradient(4);
    EXPECT_THROW(
        compute_dispersion_energy_and_gradients(water, DispersionModel::pm7, gradient.data(), 4),
        InternalError);
    EXPECT_THROW(compute_dispersion_energy_and_gradients(water, DispersionModel::pm7, nullptr, 3),
                 InternalError);
    EXPECT_THROW(compute_dispersion_energy(water, static_cast<DispersionModel>(3)), InternalError);
    try {
        compute_dispersion_energy_and_gradients(water, DispersionModel::d3_bj, gradient.data(), 2);
        FAIL() << "expected InternalError";
    } catch (const InternalError& e) {
        EXPECT_EQ(std::string(e.what()), "Dispersion gradient size mismatch: 2 != 3");
    }
}

} // namespace
} // namespace quelm
