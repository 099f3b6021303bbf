#include "fixtures.hpp"
#include "hamiltonian/hcore.hpp"
#include "integrals/multipoles.hpp"
#include "parameters/models.hpp"
#include "types/atomic_masses.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quelm {
namespace {

using fixtures::Molecule;

using fixtures::all_models;
using fixtures::NamedModel;

enum class Builder { simplified, nddo };

AlignedMatrix core_hamiltonian(const MolecularBatch& batch, const ParameterModel& model,
                               Builder builder) {
    AlignedMatrix hcore(batch.n_orbitals, batch.n_orbitals);
    if (builder == Builder::simplified) {
        build_hcore(batch, model, hcore);
    } else {
        const std::vector<DiatomicPairIntegrals> pairs = precompute_diatomic_pairs(batch, model);
        build_hcore_nddo(batch, model, pairs.data(), pairs.size(), hcore);
    }
    return hcore;
}

const char* builder_name(Builder builder) {
    return builder == Builder::simplified ? "simplified" : "NDDO";
}

ElementParameters element(const ParameterModel& model, std::uint8_t z) {
    const auto e = model.get_element(z);
    if (!e)
        throw std::runtime_error("test model lacks Z=" + std::to_string(z));
    return *e;
}

// ρ = e²/(2·gss): the Klopman–Ohno radius of the monopole, Å.
double monopole_radius(const ElementParameters& e) {
    return e_squared_ev_angstrom / (2.0 * e.g_ss);
}

// Overlap of two 1s Slater orbitals with the same exponent ζ (bohr⁻¹) at R Å:
// S = e^(−p)·(1 + p + p²/3), p = ζR (Mulliken, Rieke, Orloff & Orloff 1949).
double slater_1s_overlap(double zeta, double r_angstrom) {
    const double p = zeta * r_angstrom / angstrom_per_bohr;
    return std::exp(-p) * (1.0 + p + p * p / 3.0);
}

TEST(CoreHamiltonian, SingleAtomIsDiagonalWithItsOneCentreEnergies) {
    struct Case {
        const char* name;
        const ParameterModel& model;
        std::uint8_t z;
        std::size_t n_orbitals;
    };
    const Case cases[] = {{"AM1 H", am1_model(), 1, 1},
                          {"MNDO C", mndo_model(), 6, 4},
                          {"PM7 O", pm7_model(), 8, 4},
                          {"PM6 S (s, p, d)", pm6_model(), 16, 9}};
    for (const Case& c : cases) {
        const Molecule atom{{c.z}, {{{0.3, -0.2, 1.1}}}};
        const MolecularBatch batch = fixtures::make_batch(atom, c.model);
        ASSERT_EQ(batch.n_orbitals, c.n_orbitals);
        const ElementParameters e = element(c.model, c.z);
        for (Builder builder : {Builder::simplified, Builder::nddo}) {
            SCOPED_TRACE(std::string(c.name) + " " + builder_name(builder));
            const AlignedMatrix hcore = core_hamiltonian(batch, c.model, builder);
            for (std::size_t i = 0; i < c.n_orbitals; ++i) {
                const double u = i == 0 ? e.u_ss : i < 4 ? e.u_pp : e.u_dd;
                for (std::size_t j = 0; j < c.n_orbitals; ++j)
                    EXPECT_EQ(hcore(i, j), i == j ? u : 0.0) << i << "," << j;
            }
        }
    }
}

TEST(CoreHamiltonian, CoincidentAtomsGetNoResonanceAndNoNddoAttraction) {
    const ParameterModel& model = pm6_model();
    const Molecule fused{{6, 1}, {{{0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}}}};
    const MolecularBatch batch = fixtures::make_batch(fused, model);
    const ElementParameters carbon = element(model, 6);
    const ElementParameters hydrogen = element(model, 1);
    // γ at R = 0 stays finite: e²/(ρA + ρB).
    const double gamma0 =
        e_squared_ev_angstrom / (monopole_radius(carbon) + monopole_radius(hydrogen));
    const double u[5] = {carbon.u_ss, carbon.u_pp, carbon.u_pp, carbon.u_pp, hydrogen.u_ss};
    const double simplified_shift[5] = {-gamma0, -gamma0, -gamma0, -gamma0,
                                        -carbon.core_charge * gamma0};
    for (Builder builder : {Builder::simplified, Builder::nddo}) {
        SCOPED_TRACE(builder_name(builder));
        const AlignedMatrix hcore = core_hamiltonian(batch, model, builder);
        for (std::size_t i = 0; i < 5; ++i) {
            const double expected =
                u[i] + (builder == Builder::simplified ? simplified_shift[i] : 0.0);
            for (std::size_t j = 0; j < 5; ++j)
                EXPECT_NEAR(hcore(i, j), i == j ? expected : 0.0, 1e-12) << i << "," << j;
        }
    }
}

TEST(CoreHamiltonian, HydrogenMoleculeFollowsKlopmanOhnoAndTheSlaterOverlap) {
    for (const NamedModel& m : all_models()) {
        for (double r : {0.74, 1.6}) {
            SCOPED_TRACE(std::string(m.name) + " R=" + std::to_string(r));
            const Molecule h2{{1, 1}, {{{0.0, 0.0, 0.1}, {0.0, 0.0, 0.1 + r}}}};
            const MolecularBatch batch = fixtures::make_batch(h2, m.model);
            const ElementParameters h = element(m.model, 1);
            const double rho = 2.0 * monopole_radius(h);
            double gamma = e_squared_ev_angstrom / std::sqrt(r * r + rho * rho);
            const AlignedMatrix simplified = core_hamiltonian(batch, m.model, Builder::simplified);
            EXPECT_NEAR(simplified(0, 0), h.u_ss - gamma, 1e-10);
            EXPECT_NEAR(simplified(1, 1), h.u_ss - gamma, 1e-10);

            // NDDO: the same (ss|ss), blended towards e²/R when the model feathers.
            if (m.model.use_feathering()) {
                const double f = 1.0 - std::exp(-0.22 * (r - 7.0) * (r - 7.0));
                gamma = f * gamma + (1.0 - f) * e_squared_ev_angstrom / r;
            }
            const AlignedMatrix nddo = core_hamiltonian(batch, m.model, Builder::nddo);
            EXPECT_NEAR(nddo(0, 0), h.u_ss - gamma, 1e-10);
            EXPECT_NEAR(nddo(1, 1), h.u_ss - gamma, 1e-10);

            const double resonance = h.beta_s * slater_1s_overlap(h.zeta_s, r);
            for (const AlignedMatrix* hcore : {&simplified, &nddo}) {
                EXPECT_NEAR((*hcore)(0, 1), resonance, 1e-9);
                EXPECT_EQ((*hcore)(1, 0), (*hcore)(0, 1));
            }
        }
    }
}

TEST(CoreHamiltonian, NddoAttractionFillsBothOneCentreBlocksFromThePairRecord) {
    // C–H in a general direction, so every s–p and p–p attraction element is non-zero.
    const ParameterModel& model = pm6_model();
    const Molecule ch{{1, 6}, {{{0.4, -0.3, 0.2}, {-0.25, 0.5, 0.9}}}};
    const MolecularBatch batch = fixtures::make_batch(ch, model);
    const std::vector<DiatomicPairIntegrals> pairs = precompute_diatomic_pairs(batch, model);
    ASSERT_EQ(pairs.size(), 1u);
    const DiatomicPairIntegrals& pair = pairs[0]; // A = carbon (atom 1), B = hydrogen (atom 0)

    AlignedMatrix nddo(batch.n_orbitals, batch.n_orbitals);
    build_hcore_nddo(batch, model, pairs.data(), pairs.size(), nddo);
    const AlignedMatrix simplified = core_hamiltonian(batch, model, Builder::simplified);
    const ElementParameters carbon = element(model, 6);
    const ElementParameters hydrogen = element(model, 1);

    auto check_block = [&](std::size_t first, std::size_t n, const std::vector<double>& values,
                           const ElementParameters& e) {
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < n; ++j) {
                const double u = i != j ? 0.0 : i == 0 ? e.u_ss : e.u_pp;
                const double expected =
                    u + values[i >= j ? i * (i + 1) / 2 + j : j * (j + 1) / 2 + i];
                EXPECT_NEAR(nddo(first + i, first + j), expected, 1e-12) << i << "," << j;
            }
        }
    };
    check_block(pair.first_orbital_a, 4, pair.e1b, carbon);
    check_block(pair.first_orbital_b, 1, pair.e2a, hydrogen);
    EXPECT_NE(nddo(pair.first_orbital_a, pair.first_orbital_a + 3), 0.0);
    // Resonance is shared by both builders.
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t mu = pair.first_orbital_a + i;
        EXPECT_EQ(nddo(mu, 0), simplified(mu, 0));
        EXPECT_EQ(nddo(0, mu), simplified(0, mu));
        EXPECT_EQ(simplified(mu, 0), simplified(0, mu));
    }
}

TEST(CoreHamiltonian, ResonanceOfAPOrbitalFollowsTheSideItsNeighbourIsOn) {
    // β < 0 and the pz lobe towards the hydrogen overlaps positively with its 1s.
    for (double side : {+1.0, -1.0}) {
        SCOPED_TRACE(side);
        const Molecule ch{{6, 1}, {{{0.0, 0.0, 0.0}, {0.0, 0.0, side * 1.1}}}};
        const MolecularBatch batch = fixtures::make_batch(ch, mndo_model());
        const AlignedMatrix hcore = core_hamiltonian(batch, mndo_model(), Builder::simplified);
        EXPECT_LT(side * hcore(3, 4), -0.1);
        EXPECT_EQ(hcore(4, 3), hcore(3, 4));
        EXPECT_NEAR(hcore(1, 4), 0.0, 1e-12);
        EXPECT_NEAR(hcore(2, 4), 0.0, 1e-12);
        EXPECT_LT(hcore(0, 4), -0.1);
    }
}

TEST(CoreHamiltonian, RotatesWithTheMoleculeAndIgnoresTranslation) {
    // Turning the molecule turns each atom's p shell as a vector: H' = T·H·Tᵀ.
    const fixtures::Rotation rotation = fixtures::rotation_about({0.3, -1.0, 0.6}, 1.1);
    for (const Molecule& molecule : {fixtures::water(), fixtures::formaldehyde()}) {
        Molecule moved = fixtures::rotated(molecule, rotation);
        for (Coordinate& position : moved.coordinates) {
            position[0] += 2.5;
            position[2] -= 1.0;
        }
        for (const NamedModel& m : all_models()) {
            const MolecularBatch batch = fixtures::make_batch(molecule, m.model);
            const MolecularBatch moved_batch = fixtures::make_batch(moved, m.model);
            const std::size_t n = batch.n_orbitals;
            AlignedMatrix turn(n, n);
            for (std::size_t a = 0; a < batch.n_atoms; ++a) {
                const std::size_t s = batch.orbital_offsets[a];
                turn(s, s) = 1.0;
                if (batch.basis_types[a] == 4) {
                    for (std::size_t i = 0; i < 3; ++i)
                        for (std::size_t j = 0; j < 3; ++j)
                            turn(s + 1 + i, s + 1 + j) = rotation[i][j];
                }
            }
            for (Builder builder : {Builder::simplified, Builder::nddo}) {
                SCOPED_TRACE(std::string(m.name) + " " + builder_name(builder));
                const AlignedMatrix hcore = core_hamiltonian(batch, m.model, builder);
                const AlignedMatrix turned = core_hamiltonian(moved_batch, m.model, builder);
                for (std::size_t i = 0; i < n; ++i) {
                    for (std::size_t j = 0; j < n; ++j) {
                        double expected = 0.0;
                        for (std::size_t k = 0; k < n; ++k)
                            for (std::size_t l = 0; l < n; ++l)
                                expected += turn(i, k) * hcore(k, l) * turn(j, l);
                        EXPECT_NEAR(turned(i, j), expected, 1e-9) << i << "," << j;
                    }
                }
            }
        }
    }
}

TEST(CoreHamiltonian, AtomWithoutParametersGetsNothingAndGivesNothing) {
    // MNDO has no iron: the C–H block must be what it is without the iron atom.
    const ParameterModel& model = mndo_model();
    const Molecule with_iron{{6, 26, 1}, {{{0.0, 0.0, 0.0}, {0.0, 1.4, 0.3}, {1.08, 0.0, 0.0}}}};
    const Molecule without{{6, 1}, {{{0.0, 0.0, 0.0}, {1.08, 0.0, 0.0}}}};
    const MolecularBatch batch = fixtures::make_batch(with_iron, model);
    const MolecularBatch reference_batch = fixtures::make_batch(without, model);
    ASSERT_EQ(batch.basis_types[1], 9);
    // Orbitals of C and H in the batch with iron: 0–3 and 13.
    const std::size_t kept[5] = {0, 1, 2, 3, 13};
    for (Builder builder : {Builder::simplified, Builder::nddo}) {
        SCOPED_TRACE(builder_name(builder));
        const AlignedMatrix hcore = core_hamiltonian(batch, model, builder);
        const AlignedMatrix reference = core_hamiltonian(reference_batch, model, builder);
        for (std::size_t i = 4; i < 13; ++i) {
            for (std::size_t j = 0; j < batch.n_orbitals; ++j) {
                EXPECT_EQ(hcore(i, j), 0.0);
                EXPECT_EQ(hcore(j, i), 0.0);
            }
        }
        for (std::size_t i = 0; i < 5; ++i)
            for (std::size_t j = 0; j < 5; ++j)
                EXPECT_EQ(hcore(kept[i], kept[j]), reference(i, j)) << i << "," << j;
    }
}

TEST(CoreHamiltonian, MatricesOfTheWrongSizeAreInternalErrors) {
    const ParameterModel& model = pm6_model();
    const MolecularBatch batch = fixtures::make_batch(fixtures::water(), model);
    const std::vector<DiatomicPairIntegrals> pairs = precompute_diatomic_pairs(batch, model);
    const std::size_t n = batch.n_orbitals;
    const std::function<void(AlignedMatrix&)> calls[] = {
        [&](AlignedMatrix& h) { build_hcore(batch, model, h); },
        [&](AlignedMatrix& h) { build_hcore_nddo(batch, model, pairs.data(), pairs.size(), h); },
        [&](AlignedMatrix& h) {
            apply_electric_field_to_hcore(batch, model, h, {0.1, 0.0, 0.0});
        },
    };
    for (const auto& call : calls) {
        for (const auto& shape :
             {std::pair{n + 1, n + 1}, std::pair{n, n + 1}, std::pair{n - 1, n}}) {
            AlignedMatrix wrong(shape.first, shape.second);
            wrong.fill(3.0);
            EXPECT_THROW(call(wrong), InternalError);
            for (double x : std::vector<double>(wrong.data(), wrong.data() + wrong.size()))
                ASSERT_EQ(x, 3.0); // untouched, not resized
        }
    }
}

TEST(ElectricField, OnMethaneAtItsCentreOfMassCouplesCarbonSAndPOnly) {
    const ParameterModel& model = am1_model();
    const MolecularBatch batch = fixtures::make_batch(fixtures::methane(), model);
    const AlignedMatrix plain = core_hamiltonian(batch, model, Builder::simplified);
    AlignedMatrix fielded = plain;
    const double ex = 0.25; // V/Å
    const double energy = apply_electric_field_to_hcore(batch, model, fielded, {ex, 0.0, 0.0});

    // AM1 carbon: d1 = 0.823674 bohr (the published derived value).
    const double d1_angstrom = 0.823674 * angstrom_per_bohr;
    EXPECT_NEAR(fielded(0, 1) - plain(0, 1), ex * d1_angstrom, 1e-6);
    EXPECT_NEAR(fielded(1, 0) - plain(1, 0), ex * d1_angstrom, 1e-6);
    for (std::size_t i = 0; i < batch.n_orbitals; ++i) {
        for (std::size_t j = 0; j < batch.n_orbitals; ++j) {
            if ((i == 0 && j == 1) || (i == 1 && j == 0))
                continue;
            // Carbon sits at the centre of mass; each hydrogen's 1s shifts by Ex·x.
            const double shift = i == j && i >= 4 ? ex * batch.coords_x[i - 3] : 0.0;
            EXPECT_NEAR(fielded(i, j) - plain(i, j), shift, 1e-12) << i << "," << j;
        }
    }
    // The four protons sit symmetrically about the centre: no net nuclear field energy.
    EXPECT_NEAR(energy, 0.0, 1e-12);
}

TEST(ElectricField, IsTakenAboutTheCentreOfMassOfAllAtoms) {
    // MNDO knows C and H but not Fe; iron still weighs in the centre of mass.
    const ParameterModel& model = mndo_model();
    const std::array<double, 3> field{0.05, -0.1, 0.2};
    const Molecule molecules[] = {
        fixtures::water(), {{6, 26, 1}, {{{0.1, 0.2, -0.3}, {1.9, 0.0, 0.4}, {-0.9, 0.6, -0.5}}}}};
    for (const Molecule& molecule : molecules) {
        const MolecularBatch batch = fixtures::make_batch(molecule, model);
        double mass = 0.0;
        std::array<double, 3> centre{};
        for (std::size_t a = 0; a < batch.n_atoms; ++a) {
            const double m = standard_atomic_mass(batch.atomic_numbers[a]);
            mass += m;
            for (std::size_t k = 0; k < 3; ++k)
                centre[k] += m * molecule.coordinates[a][k];
        }
        for (double& c : centre)
            c /= mass;

        // Shifting the molecule moves the origin with it: same H, same energy.
        Molecule shifted = molecule;
        for (Coordinate& position : shifted.coordinates)
            position = {position[0] - 3.0, position[1] + 1.5, position[2] + 7.0};
        for (const Molecule* placed : {&molecule, static_cast<const Molecule*>(&shifted)}) {
            const MolecularBatch placed_batch = fixtures::make_batch(*placed, model);
            AlignedMatrix hcore = core_hamiltonian(placed_batch, model, Builder::simplified);
            const AlignedMatrix plain = hcore;
            const double energy = apply_electric_field_to_hcore(placed_batch, model, hcore, field);
            double expected_energy = 0.0;
            for (std::size_t a = 0; a < batch.n_atoms; ++a) {
                const auto e = model.get_element(batch.atomic_numbers[a]);
                double potential = 0.0;
                for (std::size_t k = 0; k < 3; ++k)
                    potential += field[k] * (molecule.coordinates[a][k] - centre[k]);
                const std::size_t first = batch.orbital_offsets[a];
                const double expected_shift = e ? potential : 0.0;
                EXPECT_NEAR(hcore(first, first) - plain(first, first), expected_shift, 1e-12);
                EXPECT_NEAR(
                    hcore(first + batch.basis_types[a] - 1, first + batch.basis_types[a] - 1) -
                        plain(first + batch.basis_types[a] - 1, first + batch.basis_types[a] - 1),
                    expected_shift, 1e-12);
                if (e)
                    expected_energy -= e->core_charge * potential;
            }
            EXPECT_NEAR(energy, expected_energy, 1e-12);
        }
    }
}

TEST(ElectricField, LeavesDOrbitalsAlone) {
    const ParameterModel& model = pm6_model();
    const Molecule sulfur{{16}, {{{0.0, 0.0, 0.0}}}};
    const MolecularBatch batch = fixtures::make_batch(sulfur, model);
    AlignedMatrix hcore = core_hamiltonian(batch, model, Builder::simplified);
    const AlignedMatrix plain = hcore;
    const std::array<double, 3> field{0.3, -0.2, 0.1};
    apply_electric_field_to_hcore(batch, model, hcore, field);
    const double d1_angstrom =
        DerivedMultipoleParams::from_element(element(model, 16)).d1 * angstrom_per_bohr;
    EXPECT_GT(d1_angstrom, 0.0);
    for (std::size_t i = 0; i < 9; ++i) {
        for (std::size_t j = 0; j < 9; ++j) {
            double expected = 0.0;
            if (i == 0 && j >= 1 && j <= 3)
                expected = field[j - 1] * d1_angstrom;
            if (j == 0 && i >= 1 && i <= 3)
                expected = field[i - 1] * d1_angstrom;
            EXPECT_NEAR(hcore(i, j) - plain(i, j), expected, 1e-14) << i << "," << j;
        }
    }
}

} // namespace
} // namespace quelm
