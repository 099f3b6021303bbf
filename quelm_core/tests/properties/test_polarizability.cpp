#include "fixtures.hpp"
#include "properties/polarizability.hpp"
#include "properties/polarizability_scaling.hpp"
#include "types/atomic_masses.hpp"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace quelm {
namespace {

// Planar D2h ethylene (centrosymmetric), C=C along z.
fixtures::Molecule ethylene() {
    return {{6, 6, 1, 1, 1, 1},
            {{{0.0, 0.0, 0.6695},
              {0.0, 0.0, -0.6695},
              {0.0, 0.9289, 1.2321},
              {0.0, -0.9289, 1.2321},
              {0.0, 0.9289, -1.2321},
              {0.0, -0.9289, -1.2321}}}};
}

PolarizabilityResult run(const fixtures::Molecule& molecule, PolarizabilityOptions options,
                         const ParameterModel& model = pm6_model()) {
    const MolecularBatch batch = fixtures::make_batch(molecule, model);
    Result<PolarizabilityResult> result = compute_polarizability(batch, model, options);
    EXPECT_TRUE(result.ok());
    EXPECT_TRUE(result.value().all_scf_converged);
    return result.value();
}

PolarizabilityOptions raw_options(double step = 0.002) {
    PolarizabilityOptions options;
    options.field_step_au = step;
    options.apply_empirical_scaling = false;
    return options;
}

double trace(const Tensor3& t) {
    return t[0][0] + t[1][1] + t[2][2];
}

// Two routes to one O(F²) derivative, each at steps F and 2F. The change between the steps
// estimates each route's truncation error (Richardson: error(F) ≈ change/3); it must be
// small, and the routes must agree within it plus a noise floor from the SCF tolerances.
void expect_routes_agree(double energy, double energy_2f, double dipole, double dipole_2f) {
    const double energy_error = std::fabs(energy_2f - energy) / 3.0;
    const double dipole_error = std::fabs(dipole_2f - dipole) / 3.0;
    const double size = std::max(std::fabs(dipole), 10.0);
    EXPECT_LT(energy_error, 0.01 * size);
    EXPECT_LT(dipole_error, 0.01 * size);
    EXPECT_NEAR(energy, dipole, 2.0 * (energy_error + dipole_error) + 0.2);
}

// The dipole stencils differentiate μ(F), the energy stencils E(F): independent routes to
// the same derivatives (the field couples through the dipole operator itself).
TEST(Polarizability, EnergyAndDipoleRoutesAgreeWithinTheFiniteDifferenceError) {
    for (const auto& molecule : {fixtures::water(), fixtures::formaldehyde(), ethylene()}) {
        const PolarizabilityResult r = run(molecule, raw_options(0.002));
        const PolarizabilityResult r2 = run(molecule, raw_options(0.004));
        for (std::size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            EXPECT_NEAR(r.alpha_energy_diagonal[i], r.alpha_raw[i][i],
                        1e-6 * std::fabs(r.alpha_raw[i][i]) + 1e-6);
            expect_routes_agree(r.gamma_diagonal_energy[i], r2.gamma_diagonal_energy[i],
                                r.gamma_diagonal[i], r2.gamma_diagonal[i]);
            expect_routes_agree(r.gamma_mixed_energy[i], r2.gamma_mixed_energy[i],
                                r.gamma_mixed_dipole[i], r2.gamma_mixed_dipole[i]);
        }
    }
}

TEST(Polarizability, IsStableWhenTheFieldStepIsHalved) {
    for (const auto& molecule : {fixtures::water(), fixtures::formaldehyde(), ethylene()}) {
        const PolarizabilityResult r = run(molecule, raw_options(0.002));
        const PolarizabilityResult half = run(molecule, raw_options(0.001));
        for (std::size_t i = 0; i < 3; ++i) {
            for (std::size_t j = 0; j < 3; ++j)
                EXPECT_NEAR(half.alpha_raw[i][j], r.alpha_raw[i][j], 1e-6 * trace(r.alpha_raw));
            EXPECT_NEAR(half.beta_vector[i], r.beta_vector[i], 1e-3 * (r.beta_total_au + 1.0));
        }
        EXPECT_NEAR(half.gamma_average_au, r.gamma_average_au,
                    5e-3 * std::fabs(r.gamma_average_au) + 0.5);
    }
}

TEST(Polarizability, OfACentrosymmetricMoleculeHasNoFirstHyperpolarizability) {
    const PolarizabilityResult r = run(ethylene(), raw_options());
    EXPECT_LT(r.beta_total_au, 1e-3);
    // ... while a polar molecule of the same size has one.
    EXPECT_GT(run(fixtures::formaldehyde(), raw_options()).beta_total_au, 10.0);
}

TEST(Polarizability, IsASymmetricTensorThatRotatesWithTheMoleculeWithoutReorientation) {
    PolarizabilityOptions options; // scaled: the scaled tensor must rotate too
    options.reorient = false;
    const fixtures::Molecule molecule = fixtures::formaldehyde();
    const fixtures::Rotation rotation = fixtures::rotation_about({0.3, -0.5, 0.8}, 0.9);
    const PolarizabilityResult r = run(molecule, options);
    const PolarizabilityResult turned = run(fixtures::rotated(molecule, rotation), options);
    const double scale = trace(r.alpha);
    for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t j = 0; j < 3; ++j) {
            EXPECT_NEAR(r.alpha[i][j], r.alpha[j][i], 1e-12 * scale);
            double expected = 0.0; // (R·α·Rᵀ)_ij
            for (std::size_t k = 0; k < 3; ++k)
                for (std::size_t l = 0; l < 3; ++l)
                    expected += rotation[i][k] * r.alpha[k][l] * rotation[j][l];
            EXPECT_NEAR(turned.alpha[i][j], expected, 1e-6 * scale);
        }
    }
}

TEST(Polarizability, TraceAndPrincipalValuesDoNotDependOnReorientation) {
    for (const bool scaled : {false, true}) {
        PolarizabilityOptions options;
        options.apply_empirical_scaling = scaled;
        options.reorient = true;
        const PolarizabilityResult aligned = run(fixtures::formaldehyde(), options);
        options.reorient = false;
        const PolarizabilityResult lab = run(fixtures::formaldehyde(), options);
        EXPECT_NEAR(aligned.alpha_isotropic_au, lab.alpha_isotropic_au, 1e-6);
        EXPECT_NEAR(aligned.alpha_raw_isotropic_au, lab.alpha_raw_isotropic_au, 1e-6);
        for (std::size_t k = 0; k < 3; ++k)
            EXPECT_NEAR(aligned.alpha_eigenvalues[k], lab.alpha_eigenvalues[k], 1e-4);
    }
}

// Each field SCF starts from the zero-field density; a cold start from the neutral-atom
// guess must reach the same fixed point within the SCF tolerances.
TEST(Polarizability, FieldScfsStartedFromTheZeroFieldDensityMatchColdStarts) {
    for (const auto& molecule : {fixtures::water(), fixtures::formaldehyde()}) {
        PolarizabilityOptions warm = raw_options();
        PolarizabilityOptions cold = raw_options();
        cold.start_from_zero_field_density = false;
        const PolarizabilityResult a = run(molecule, warm);
        const PolarizabilityResult b = run(molecule, cold);
        EXPECT_NEAR(a.unperturbed_energy_ev, b.unperturbed_energy_ev, 1e-9);
        EXPECT_LT(a.scf_iterations, b.scf_iterations);
        for (std::size_t i = 0; i < 3; ++i) {
            for (std::size_t j = 0; j < 3; ++j)
                EXPECT_NEAR(a.alpha_raw[i][j], b.alpha_raw[i][j], 1e-5);
            EXPECT_NEAR(a.alpha_energy_diagonal[i], b.alpha_energy_diagonal[i], 1e-5);
            EXPECT_NEAR(a.beta_vector[i], b.beta_vector[i], 1e-2);
            EXPECT_NEAR(a.gamma_diagonal[i], b.gamma_diagonal[i], 1.0);
        }
    }
}

TEST(Polarizability, ScalesByTheMethodTableOnlyWhereAsked) {
    const fixtures::Molecule water = fixtures::water();
    PolarizabilityOptions options; // reoriented and scaled
    const PolarizabilityResult r = run(water, options);
    // PM6: slope 0.791396, offset 0.373638 Å³, increments O 0.154301 and H 0.262114 Å³.
    const double k = 0.1481847114721628;
    for (std::size_t i = 0; i < 3; ++i) {
        const double expected =
            (0.791396 * k * r.alpha_raw[i][i] + 0.373638 + 0.154301 + 2 * 0.262114) / k;
        EXPECT_NEAR(r.alpha[i][i], expected, 1e-10);
        for (std::size_t j = 0; j < 3; ++j) {
            if (j != i) {
                EXPECT_EQ(r.alpha[i][j], r.alpha_raw[i][j]);
            }
        }
    }
    EXPECT_NEAR(r.alpha_isotropic_angstrom3, trace(r.alpha) / 3.0 * k, 1e-12);

    const PolarizabilityResult rm1 = run(water, options, rm1_model());
    EXPECT_EQ(rm1.alpha, rm1.alpha_raw);
    options.apply_empirical_scaling = false;
    const PolarizabilityResult unscaled = run(water, options);
    EXPECT_EQ(unscaled.alpha, unscaled.alpha_raw);
    const std::uint8_t none[] = {2};
    EXPECT_EQ(compute_pol_vol("RM1", none, 7.5), 7.5);
    EXPECT_NEAR(compute_pol_vol("AM1", none, 7.5), (0.54687 * k * 7.5 + 0.321973) / k, 1e-12);
}

TEST(Polarizability, AveragesGammaOverTheDiagonalAloneWithoutTheMixedFields) {
    PolarizabilityOptions options = raw_options();
    options.compute_hyperpolarizabilities = false;
    const PolarizabilityResult r = run(fixtures::formaldehyde(), options);
    const auto& g = r.gamma_diagonal;
    EXPECT_DOUBLE_EQ(r.gamma_average_au, (g[0] + g[1] + g[2]) / 5.0);
    EXPECT_DOUBLE_EQ(r.gamma_average_esu, r.gamma_average_au * 5.0367e-40);
    EXPECT_DOUBLE_EQ(r.beta_total_esu, r.beta_total_au * 8.639418e-33);
}

TEST(FieldScf, RefersTheDipoleOfAChargedMoleculeToItsCentreOfMass) {
    // H3O+: eight valence electrons on a nine-electron core set.
    const fixtures::Molecule hydronium = {
        {8, 1, 1, 1}, {{{0.1, 0.2, 0.3}, {1.06, 0.2, 0.1}, {-0.2, 1.1, 0.1}, {-0.2, -0.3, 1.15}}}};
    for (const auto& [molecule, charged] :
         {std::pair{hydronium, true}, std::pair{fixtures::water(), false}}) {
        const MolecularBatch batch = fixtures::make_batch(molecule, pm6_model());
        ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
        const FieldScfResult r = run_field_scf(batch, pm6_model(), workspace, {0.0, 0.001, 0.0},
                                               PolarizabilityOptions{});
        EXPECT_TRUE(r.converged);
        EXPECT_NEAR(r.total_charge, charged ? 1.0 : 0.0, 1e-8);
        const Coordinate expected = charged ? centre_of_mass(batch) : Coordinate{0.0, 0.0, 0.0};
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_DOUBLE_EQ(r.dipole_origin[k], expected[k]);
            EXPECT_NEAR(r.charge_dipole_debye[k] + r.hybridisation_dipole_debye[k],
                        r.total_dipole_debye[k], 1e-12);
        }
    }
}

TEST(Polarizability, RefusesInputsWithoutAnAnswer) {
    const MolecularBatch water = fixtures::make_batch(fixtures::water(), pm6_model());
    for (const double step : {0.0, -0.002, std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity()}) {
        PolarizabilityOptions options;
        options.field_step_au = step;
        const Result<PolarizabilityResult> r = compute_polarizability(water, pm6_model(), options);
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error(),
                  "field_step_au must be a positive, finite field strength in atomic units");
    }
    const MolecularBatch empty = fixtures::make_batch({{}, {}}, pm6_model());
    EXPECT_EQ(compute_polarizability(empty, pm6_model(), {}).error(),
              "Molecule must have at least one atom");
    const MolecularBatch hydrogen_atom =
        fixtures::make_batch({{1}, {{{0.0, 0.0, 0.0}}}}, pm6_model());
    EXPECT_EQ(compute_polarizability(hydrogen_atom, pm6_model(), {}).error(),
              "System must have at least one electron pair for closed-shell RHF");
}

TEST(PrincipalAxes, DiagonaliseTheInertiaTensorByAProperRotation) {
    const fixtures::Molecule molecule = fixtures::rotated(
        fixtures::bromomethane(), fixtures::rotation_about({1.0, 2.0, -0.5}, 2.1));
    const MolecularBatch batch = fixtures::make_batch(molecule, pm6_model());
    const MolecularBatch aligned = align_principal_axes(batch);
    ASSERT_EQ(aligned.basis_types, batch.basis_types);

    double inertia[3][3] = {};
    Coordinate centroid{};
    const Coordinate com = centre_of_mass(aligned);
    for (std::size_t a = 0; a < aligned.n_atoms; ++a) {
        const Coordinate p = aligned.position(a);
        const Coordinate r = {p[0] - com[0], p[1] - com[1], p[2] - com[2]};
        const double m = standard_atomic_mass(aligned.atomic_numbers[a]);
        for (std::size_t i = 0; i < 3; ++i) {
            centroid[i] += p[i];
            for (std::size_t j = 0; j < 3; ++j)
                inertia[i][j] +=
                    m * ((i == j ? r[0] * r[0] + r[1] * r[1] + r[2] * r[2] : 0.0) - r[i] * r[j]);
        }
    }
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(centroid[i], 0.0, 1e-12);
        for (std::size_t j = 0; j < 3; ++j) {
            if (i != j) {
                EXPECT_NEAR(inertia[i][j], 0.0, 1e-8);
            }
        }
    }
    EXPECT_LT(inertia[0][0], inertia[1][1]);
    EXPECT_LT(inertia[1][1], inertia[2][2]);

    // Distances and the handedness of C, Br, H, H are kept.
    const auto signed_volume = [](const MolecularBatch& b) {
        const Coordinate o = b.position(0);
        Coordinate u{}, v{}, w{};
        for (std::size_t k = 0; k < 3; ++k) {
            u[k] = b.position(1)[k] - o[k];
            v[k] = b.position(2)[k] - o[k];
            w[k] = b.position(3)[k] - o[k];
        }
        return u[0] * (v[1] * w[2] - v[2] * w[1]) - u[1] * (v[0] * w[2] - v[2] * w[0]) +
               u[2] * (v[0] * w[1] - v[1] * w[0]);
    };
    EXPECT_NEAR(signed_volume(aligned), signed_volume(batch), 1e-10);
    for (std::size_t a = 0; a < batch.n_atoms; ++a)
        for (std::size_t b = 0; b < a; ++b)
            EXPECT_NEAR(aligned.distance(a, b), batch.distance(a, b), 1e-12);
}

} // namespace
} // namespace quelm
