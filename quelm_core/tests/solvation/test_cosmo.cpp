#include "fixtures.hpp"
#include "integrals/multipoles.hpp"
#include "parameters/models.hpp"
#include "ri/cholesky.hpp"
#include "solvation/cosmo.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace quelm {
namespace {

constexpr double probe_radius = 1.30005;

CosmoState make_state(const MolecularBatch& batch, const ParameterModel& model, double dielectric) {
    std::optional<CosmoState> state =
        CosmoState::initialize(batch, model, dielectric, probe_radius);
    if (!state)
        throw std::runtime_error("no COSMO state");
    return std::move(*state);
}

double sum(const AlignedVec64& v) {
    double total = 0.0;
    for (double x : v)
        total += x;
    return total;
}

double trace_product(const AlignedMatrix& a, const AlignedMatrix& b) {
    double total = 0.0;
    for (std::size_t k = 0; k < a.size(); ++k)
        total += a.data()[k] * b.data()[k];
    return total;
}

// The reaction-field part of H (ΔH) and of F (ΔF) for a density, and the returned energy.
struct FieldTerms {
    AlignedMatrix delta_h;
    AlignedMatrix delta_f;
    double energy_ev;
};

FieldTerms field_terms(CosmoState& state, const AlignedMatrix& density) {
    const std::size_t n = density.rows();
    FieldTerms terms{AlignedMatrix(n, n), AlignedMatrix(n, n), 0.0};
    apply_nuclear_reaction_field_to_hcore(state, terms.delta_h);
    terms.energy_ev = apply_electronic_reaction_field_to_fock(state, density, terms.delta_f);
    return terms;
}

AlignedMatrix random_density(const MolecularBatch& batch, const ParameterModel& model,
                             unsigned seed) {
    double electrons = 0.0;
    for (std::uint8_t z : batch.atomic_numbers)
        electrons += model.get_element(z)->core_charge;
    const AlignedMatrix orbitals = fixtures::random_orthonormal_orbitals(batch.n_orbitals, seed);
    return fixtures::closed_shell_density(orbitals, static_cast<std::size_t>(electrons) / 2);
}

TEST(CosmoReactionField, ScreensByTheDielectricFactor) {
    struct Case {
        double dielectric, expected;
    };
    const Case cases[] = {
        {0.5, 0.0}, {1.0, 0.0}, {2.0, 0.4}, {78.4, 77.4 / 78.9}, {1e12, 1.0 - 1.5e-12}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dielectric);
        EXPECT_NEAR(cosmo_screening_factor(c.dielectric), c.expected, 1e-12);
    }
}

TEST(CosmoReactionField, SolvesTheFactorisedSystem) {
    std::mt19937 engine(7);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    const std::size_t m = 9;
    AlignedMatrix root(m, m);
    for (std::size_t k = 0; k < root.size(); ++k)
        root.data()[k] = uniform(engine);
    AlignedMatrix a(m, m); // Mᵀ·M + I: symmetric positive definite
    for (std::size_t i = 0; i < m; ++i)
        for (std::size_t j = 0; j < m; ++j) {
            for (std::size_t k = 0; k < m; ++k)
                a(i, j) += root(k, i) * root(k, j);
            a(i, j) += i == j ? 1.0 : 0.0;
        }
    AlignedMatrix factor = a;
    ASSERT_TRUE(cholesky_decompose(factor).success);
    AlignedVec64 rhs(m), scratch(m), solution(m);
    for (double& b : rhs)
        b = uniform(engine);
    solve_cholesky_system(factor, rhs, scratch, solution);
    for (std::size_t i = 0; i < m; ++i) {
        double row = 0.0;
        for (std::size_t j = 0; j < m; ++j)
            row += a(i, j) * solution[j];
        EXPECT_NEAR(row, rhs[i], 1e-12);
    }
}

// Gauss's law and the Born model: a conductor around a lone nucleus of charge Z carries −Z
// (a dielectric −f·Z), and the energy is −½·f·e²·Z²/R for a cavity of radius R. The
// tessellation and Klamt's self-term approximate this to about a per cent.
TEST(CosmoReactionField, ScreensALoneNucleusLikeABornIon) {
    const fixtures::Molecule carbon{{6}, {{{0.2, -0.4, 1.1}}}};
    const MolecularBatch batch = fixtures::make_batch(carbon, pm6_model());
    const double charge = 4.0;
    const double radius = 2.0;
    for (double dielectric : {4.0, 78.4}) {
        SCOPED_TRACE(dielectric);
        const CosmoState state = make_state(batch, pm6_model(), dielectric);
        const double f = cosmo_screening_factor(dielectric);
        EXPECT_NEAR(sum(state.nuclear_charges), -f * charge, 0.02 * f * charge);
        const double born_ev = -0.5 * f * e_squared_ev_angstrom * charge * charge / radius;
        EXPECT_NEAR(state.nuclear_dielectric_energy_ev, born_ev, 0.02 * std::fabs(born_ev));
    }
}

TEST(CosmoReactionField, ScreensWaterCoresWithNegativeCharge) {
    const MolecularBatch batch = fixtures::make_batch(fixtures::water(), pm6_model());
    const CosmoState state = make_state(batch, pm6_model(), 78.4);
    const double f = cosmo_screening_factor(78.4);
    // Opposite in sign to the cores (6 + 1 + 1), close to −f·8 by Gauss's law.
    EXPECT_LT(sum(state.nuclear_charges), 0.0);
    EXPECT_NEAR(sum(state.nuclear_charges), -8.0 * f, 0.03 * 8.0 * f);
    EXPECT_LT(state.nuclear_dielectric_energy_ev, 0.0);
}

TEST(CosmoReactionField, LeavesEverythingUnscreenedWithoutADielectric) {
    const MolecularBatch batch = fixtures::make_batch(fixtures::water(), pm6_model());
    const AlignedMatrix density = random_density(batch, pm6_model(), 3);
    for (double dielectric : {1.0, 0.5}) {
        SCOPED_TRACE(dielectric);
        CosmoState state = make_state(batch, pm6_model(), dielectric);
        const FieldTerms terms = field_terms(state, density);
        EXPECT_EQ(state.nuclear_dielectric_energy_ev, 0.0);
        EXPECT_EQ(terms.energy_ev, 0.0);
        for (std::size_t k = 0; k < state.cavity.segments.size(); ++k) {
            EXPECT_EQ(state.nuclear_charges[k], 0.0);
            EXPECT_EQ(state.electronic_charges[k], 0.0);
        }
        for (std::size_t k = 0; k < terms.delta_h.size(); ++k) {
            EXPECT_EQ(terms.delta_h.data()[k], 0.0);
            EXPECT_EQ(terms.delta_f.data()[k], 0.0);
        }
    }
}

TEST(CosmoReactionField, IgnoresANegligibleDensity) {
    const MolecularBatch batch = fixtures::make_batch(fixtures::formaldehyde(), pm6_model());
    CosmoState state = make_state(batch, pm6_model(), 78.4);
    AlignedMatrix density(batch.n_orbitals, batch.n_orbitals);
    density.fill(1e-13);
    const FieldTerms terms = field_terms(state, density);
    for (double phi : state.electronic_potential)
        EXPECT_EQ(phi, 0.0);
    for (std::size_t k = 0; k < terms.delta_f.size(); ++k)
        EXPECT_EQ(terms.delta_f.data()[k], 0.0);
    EXPECT_NEAR(terms.energy_ev, state.nuclear_dielectric_energy_ev, 1e-12);
}

// s orbitals are spherical: each product's potential is the monopole 1/r, and products on
// different atoms have none.
TEST(CosmoReactionField, GivesHydrogenOrbitalsOnlyTheirMonopole) {
    const fixtures::Molecule chain{
        {1, 1, 1, 1}, {{{0.0, 0.0, 0.0}, {0.8, 0.1, 0.0}, {1.7, 0.0, 0.2}, {2.4, 0.3, 0.1}}}};
    const MolecularBatch batch = fixtures::make_batch(chain, pm6_model());
    const CosmoState state = make_state(batch, pm6_model(), 78.4);
    for (std::size_t k = 0; k < state.cavity.segments.size(); ++k) {
        const auto& r = state.cavity.segments[k].position;
        for (std::size_t mu = 0; mu < 4; ++mu) {
            for (std::size_t nu = 0; nu < 4; ++nu) {
                const double d =
                    std::hypot(r[0] - chain.coordinates[mu][0], r[1] - chain.coordinates[mu][1],
                               r[2] - chain.coordinates[mu][2]);
                EXPECT_NEAR(state.product_potential(mu, nu, k), mu == nu ? 1.0 / d : 0.0, 1e-14);
            }
        }
    }
}

// For an s,p atom: the three p–p diagonal products average to the monopole (the quadrupoles
// are traceless), the s–p dipole points along r_k − r_A and falls off as 1/r²; s–d, p–d
// and d–d' products carry nothing, d–d the monopole; other atoms' products nothing.
TEST(CosmoReactionField, BuildsTheMultipolesOfAnAtomsOrbitalProducts) {
    for (const fixtures::Molecule& molecule :
         {fixtures::formaldehyde(), fixtures::hydrogen_sulfide()}) {
        const MolecularBatch batch = fixtures::make_batch(molecule, pm6_model());
        const CosmoState state = make_state(batch, pm6_model(), 78.4);
        const std::size_t first = batch.orbital_offsets[0];
        const std::size_t count = batch.basis_types[0];
        ASSERT_GE(count, 4u);
        const double dipole_bohr =
            DerivedMultipoleParams::from_element(*pm6_model().get_element(batch.atomic_numbers[0]))
                .d1;
        const Coordinate centre = batch.position(0);
        for (std::size_t k = 0; k < state.cavity.segments.size(); ++k) {
            const auto& p = state.cavity.segments[k].position;
            const double d[3] = {p[0] - centre[0], p[1] - centre[1], p[2] - centre[2]};
            const double r = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
            const double monopole = state.product_potential(first, first, k);
            EXPECT_NEAR(monopole, 1.0 / r, 1e-14);
            double p_trace = 0.0;
            for (std::size_t a = 0; a < 3; ++a) {
                p_trace += state.product_potential(first + 1 + a, first + 1 + a, k);
                EXPECT_NEAR(state.product_potential(first, first + 1 + a, k),
                            dipole_bohr * angstrom_per_bohr * d[a] / (r * r * r), 1e-12);
                EXPECT_EQ(state.product_potential(first + 1 + a, first, k),
                          state.product_potential(first, first + 1 + a, k));
            }
            EXPECT_NEAR(p_trace, 3.0 * monopole, 1e-12);
            for (std::size_t i = 4; i < count; ++i) {
                EXPECT_NEAR(state.product_potential(first + i, first + i, k), 1.0 / r, 1e-14);
                for (std::size_t j = 0; j < count; ++j) {
                    if (j != i) {
                        EXPECT_EQ(state.product_potential(first + i, first + j, k), 0.0);
                    }
                }
            }
            const std::size_t other = batch.orbital_offsets[1];
            EXPECT_EQ(state.product_potential(first, other, k), 0.0);
            EXPECT_EQ(state.product_potential(first + 1, other, k), 0.0);
        }
    }
}

// Electrons shifted toward +x (a doubly occupied s+px hybrid) make the potential more
// negative on the +x side of the cavity than on the −x side; electrons in px alone (a
// charge cloud stretched along x) act more strongly along x than across it.
TEST(CosmoReactionField, FollowsTheShapeOfTheElectronCloud) {
    const fixtures::Molecule carbon{{6}, {{{0.0, 0.0, 0.0}}}};
    const MolecularBatch batch = fixtures::make_batch(carbon, pm6_model());
    CosmoState state = make_state(batch, pm6_model(), 78.4);
    std::size_t plus_x = 0, minus_x = 0, plus_y = 0;
    const auto& segments = state.cavity.segments;
    for (std::size_t k = 0; k < segments.size(); ++k) {
        if (segments[k].normal[0] > segments[plus_x].normal[0])
            plus_x = k;
        if (segments[k].normal[0] < segments[minus_x].normal[0])
            minus_x = k;
        if (segments[k].normal[1] > segments[plus_y].normal[1])
            plus_y = k;
    }
    AlignedMatrix fock(4, 4);
    AlignedMatrix hybrid(4, 4); // 2·h·hᵀ for h = (s + px)/√2
    hybrid(0, 0) = hybrid(0, 1) = hybrid(1, 0) = hybrid(1, 1) = 1.0;
    apply_electronic_reaction_field_to_fock(state, hybrid, fock);
    EXPECT_LT(state.electronic_potential[plus_x], state.electronic_potential[minus_x] - 0.05);

    AlignedMatrix p_x(4, 4);
    p_x(1, 1) = 2.0;
    apply_electronic_reaction_field_to_fock(state, p_x, fock);
    EXPECT_LT(state.electronic_potential[plus_x], state.electronic_potential[plus_y]);
    EXPECT_LT(state.electronic_potential[minus_x], state.electronic_potential[plus_y]);
}

// The SCF energy is E_N + Σ P·ΔH + ½·Σ P·ΔF with the returned total ½e²(φN+φE)(qN+qE): both
// sides agree because A is symmetric (φN·qE = φE·qN). And ΔH + ΔF is its derivative with
// respect to each density element.
TEST(CosmoReactionField, MatchesItsEnergyToTheFieldsInHAndF) {
    for (const fixtures::Molecule& molecule : {fixtures::water(), fixtures::hydrogen_sulfide()}) {
        const MolecularBatch batch = fixtures::make_batch(molecule, pm6_model());
        CosmoState state = make_state(batch, pm6_model(), 78.4);
        AlignedMatrix density = random_density(batch, pm6_model(), 11);
        const FieldTerms terms = field_terms(state, density);
        EXPECT_NEAR(terms.energy_ev,
                    state.nuclear_dielectric_energy_ev + trace_product(density, terms.delta_h) +
                        0.5 * trace_product(density, terms.delta_f),
                    1e-9);
        EXPECT_LT(terms.energy_ev, 0.0);

        const double h = 1e-3;
        const std::size_t n = batch.n_orbitals;
        for (const auto& [mu, nu] : {std::pair<std::size_t, std::size_t>{0, 0},
                                     {0, 2},
                                     {1, 3},
                                     {2, 2},
                                     {0, n - 1},
                                     {n - 1, n - 1}}) {
            SCOPED_TRACE(testing::Message() << mu << "," << nu);
            auto energy_at = [&](double step) {
                AlignedMatrix shifted = density;
                shifted(mu, nu) += step;
                if (mu != nu)
                    shifted(nu, mu) += step;
                AlignedMatrix scratch(n, n);
                return apply_electronic_reaction_field_to_fock(state, shifted, scratch);
            };
            const double derivative = (energy_at(h) - energy_at(-h)) / (2.0 * h);
            const double expected =
                (mu == nu ? 1.0 : 2.0) * (terms.delta_h(mu, nu) + terms.delta_f(mu, nu));
            EXPECT_NEAR(derivative, expected, 1e-8);
        }
    }
}

// Far from the origin the segment positions round onto a coarse lattice of doubles; nearly
// coincident segments make A indefinite, and the state is then absent rather than wrong.
TEST(CosmoReactionField, IsAbsentWhenTheCavityMatrixIsNotPositiveDefinite) {
    fixtures::Molecule far = fixtures::water();
    for (Coordinate& r : far.coordinates)
        r = {1e16, r[0], r[1]};
    const MolecularBatch batch = fixtures::make_batch(far, pm6_model());
    EXPECT_FALSE(CosmoState::initialize(batch, pm6_model(), 78.4, probe_radius).has_value());
}

TEST(CosmoReactionField, RejectsMatricesOfTheWrongSize) {
    const MolecularBatch batch = fixtures::make_batch(fixtures::water(), pm6_model());
    CosmoState state = make_state(batch, pm6_model(), 78.4);
    AlignedMatrix wrong(batch.n_orbitals + 1, batch.n_orbitals + 1);
    AlignedMatrix right(batch.n_orbitals, batch.n_orbitals);
    EXPECT_THROW(apply_nuclear_reaction_field_to_hcore(state, wrong), InternalError);
    EXPECT_THROW(apply_electronic_reaction_field_to_fock(state, wrong, right), InternalError);
    EXPECT_THROW(apply_electronic_reaction_field_to_fock(state, right, wrong), InternalError);
}

} // namespace
} // namespace quelm
