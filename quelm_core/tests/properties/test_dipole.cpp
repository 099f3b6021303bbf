#include "fixtures.hpp"
#include "parameters/models.hpp"
#include "properties/dipole.hpp"
#include "types/internal_error.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <string>

using namespace quelm;
using namespace quelm::fixtures;

namespace {

constexpr double debye_per_e_angstrom_ref = 4.80320425;
constexpr double angstrom_per_bohr_ref = 0.529177210903;

// A neutral closed-shell density from random orthonormal orbitals.
AlignedMatrix random_neutral_density(const MolecularBatch& batch, const ParameterModel& model,
                                     unsigned seed) {
    double electrons = 0.0;
    for (const std::uint8_t z : batch.atomic_numbers)
        electrons += model.get_element(z)->core_charge;
    const AlignedMatrix orbitals = random_orthonormal_orbitals(batch.n_orbitals, seed);
    return closed_shell_density(orbitals, static_cast<std::size_t>(std::lround(electrons)) / 2);
}

Molecule translated(const Molecule& molecule, const Coordinate& shift) {
    Molecule out = molecule;
    for (Coordinate& position : out.coordinates)
        for (int k = 0; k < 3; ++k)
            position[k] += shift[k];
    return out;
}

void expect_vector_near(const std::array<double, 3>& actual, const std::array<double, 3>& expected,
                        double tol) {
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(actual[k], expected[k], tol) << "component " << k;
}

} // namespace

TEST(Dipole, HydrogenMoleculeWithABondingPairHasNone) {
    const ParameterModel& model = am1_model();
    const MolecularBatch batch = make_batch(hydrogen_molecule(), model);
    AlignedMatrix density(2, 2);
    density.fill(1.0); // σ_g doubly occupied

    const DipoleResult result = compute_dipole(batch, model, density);

    EXPECT_NEAR(result.zdo_charges[0], 0.0, 1e-14);
    EXPECT_NEAR(result.zdo_charges[1], 0.0, 1e-14);
    EXPECT_NEAR(result.dipole_length_debye, 0.0, 1e-12);
}

TEST(Dipole, HydrogenOnlyMoleculesArePointCharges) {
    // With s orbitals only there is no hybridisation term, whatever the off-diagonal density.
    const ParameterModel& model = pm3_model();
    const Molecule h4{{1, 1, 1, 1},
                      {{{0.1, 0.2, 0.3}, {0.9, 0.1, -0.2}, {1.7, 0.8, 0.4}, {2.2, -0.5, 1.1}}}};
    const MolecularBatch batch = make_batch(h4, model);
    const AlignedMatrix density = random_neutral_density(batch, model, 29);

    const DipoleResult result = compute_dipole(batch, model, density);

    std::array<double, 3> expected{0.0, 0.0, 0.0};
    for (std::size_t a = 0; a < 4; ++a) {
        const double q = 1.0 - density(a, a);
        EXPECT_NEAR(result.zdo_charges[a], q, 1e-14);
        for (int k = 0; k < 3; ++k)
            expected[k] += debye_per_e_angstrom_ref * q * h4.coordinates[a][k];
    }
    expect_vector_near(result.dipole_debye, expected, 1e-12);
    EXPECT_GT(result.dipole_length_debye, 1e-3);
}

TEST(Dipole, SpHybridisationOfOneAtomPointsAlongItsSpDensity) {
    // An s–p density element P_sp on a neutral atom gives −2·D1·P_sp electron·bohr along the
    // p axis, D1 being the s–p charge separation: (2n+1)(4ζsζp)^(n+½)/((ζs+ζp)^(2n+2)·√3),
    // n = 2 for the first row; 0.823674 bohr for AM1 carbon.
    const ElementParameters oxygen = *am1_model().get_element(8);
    const double zeta_sum = oxygen.zeta_s + oxygen.zeta_p;
    const double d1_oxygen = 5.0 * std::pow(4.0 * oxygen.zeta_s * oxygen.zeta_p, 2.5) /
                             (std::pow(zeta_sum, 6.0) * std::sqrt(3.0));
    struct Case {
        std::uint8_t z;
        double electrons;
        double d1_bohr;
    };
    const Case cases[] = {{6, 4.0, 0.823674}, {8, 6.0, d1_oxygen}};
    const double p_sp[3] = {0.3, -0.2, 0.1};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.z));
        const Molecule atom{{c.z}, {{{0.4, -1.2, 2.0}}}};
        const MolecularBatch batch = make_batch(atom, am1_model());
        AlignedMatrix density(4, 4);
        for (std::size_t k = 0; k < 4; ++k)
            density(k, k) = c.electrons / 4.0;
        for (std::size_t k = 0; k < 3; ++k) {
            density(0, k + 1) = p_sp[k];
            density(k + 1, 0) = p_sp[k];
        }

        const DipoleResult result = compute_dipole(batch, am1_model(), density);

        EXPECT_NEAR(result.zdo_charges[0], 0.0, 1e-14);
        const double scale = -2.0 * c.d1_bohr * angstrom_per_bohr_ref * debye_per_e_angstrom_ref;
        expect_vector_near(result.dipole_debye, {scale * p_sp[0], scale * p_sp[1], scale * p_sp[2]},
                           1e-5);
        EXPECT_NEAR(result.dipole_length_debye, std::abs(scale) * std::sqrt(0.14), 1e-5);
    }
}

TEST(Dipole, CentrosymmetricDensityHasNone) {
    // Ethylene about an inversion centre away from the origin; the density is made
    // centrosymmetric by averaging it with its image under inversion (atoms swap with
    // their partners, p coefficients change sign).
    const ParameterModel& model = am1_model();
    const Coordinate centre{1.3, -0.7, 2.1};
    const Coordinate half_bonds[] = {{0.667, 0.0, 0.0}, {1.23, 0.92, 0.0}, {1.23, -0.92, 0.0}};
    Molecule ethylene{{6, 6, 1, 1, 1, 1}, {}};
    for (const Coordinate& half : half_bonds) {
        for (const double sign : {1.0, -1.0}) {
            ethylene.coordinates.push_back({centre[0] + sign * half[0], centre[1] + sign * half[1],
                                            centre[2] + sign * half[2]});
        }
    }
    const MolecularBatch batch = make_batch(ethylene, model);
    const std::size_t n = batch.n_orbitals;
    const std::size_t partner[] = {1, 0, 3, 2, 5, 4};

    // inversion(μ, ν): orbital μ of the image in terms of orbital ν.
    AlignedMatrix inversion(n, n);
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        for (std::size_t k = 0; k < batch.basis_types[a]; ++k) {
            inversion(batch.orbital_offsets[partner[a]] + k, batch.orbital_offsets[a] + k) =
                k == 0 ? 1.0 : -1.0;
        }
    }
    const AlignedMatrix density = random_neutral_density(batch, model, 31);
    AlignedMatrix symmetric(n, n);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) {
            double image = 0.0;
            for (std::size_t k = 0; k < n; ++k)
                for (std::size_t l = 0; l < n; ++l)
                    image += inversion(i, k) * density(k, l) * inversion(j, l);
            symmetric(i, j) = 0.5 * (density(i, j) + image);
        }

    EXPECT_GT(compute_dipole(batch, model, density).dipole_length_debye, 1e-2);
    EXPECT_NEAR(compute_dipole(batch, model, symmetric).dipole_length_debye, 0.0, 1e-10);
}

TEST(Dipole, NeutralMoleculeIsTranslationInvariant) {
    const ParameterModel& model = am1_model();
    const Molecule molecule = formaldehyde();
    const MolecularBatch batch = make_batch(molecule, model);
    const MolecularBatch moved = make_batch(translated(molecule, {5.0, -3.0, 7.0}), model);
    const AlignedMatrix density = random_neutral_density(batch, model, 37);

    const DipoleResult here = compute_dipole(batch, model, density);
    const DipoleResult there = compute_dipole(moved, model, density);

    double total_charge = 0.0;
    for (const double q : here.zdo_charges)
        total_charge += q;
    EXPECT_NEAR(total_charge, 0.0, 1e-12);
    EXPECT_GT(here.dipole_length_debye, 1e-2);
    expect_vector_near(there.dipole_debye, here.dipole_debye, 1e-10);
}

TEST(Dipole, RotatesAsAVectorWithTheMolecule) {
    const ParameterModel& model = am1_model();
    const Molecule molecule = formaldehyde();
    const MolecularBatch batch = make_batch(molecule, model);
    const AlignedMatrix orbitals = random_orthonormal_orbitals(batch.n_orbitals, 41);
    const Rotation r = rotation_about({-0.4, 0.8, 0.5}, 2.3);
    const MolecularBatch turned = make_batch(rotated(molecule, r), model);

    const DipoleResult before = compute_dipole(batch, model, closed_shell_density(orbitals, 6));
    const DipoleResult after = compute_dipole(
        turned, model, closed_shell_density(rotated_sp_orbitals(batch, orbitals, r), 6));

    EXPECT_GT(before.dipole_length_debye, 1e-2);
    expect_vector_near(after.dipole_debye, rotate(r, before.dipole_debye), 1e-10);
    EXPECT_NEAR(after.dipole_length_debye, before.dipole_length_debye, 1e-10);
}

TEST(Dipole, ChargedSystemIsReferredToItsCentreOfMass) {
    // Bare H and F cores (charges +1 and +7) 0.92 Å apart along z: about the centre of mass
    // (H 1.008, F 18.998403 amu) the dipole is e·(1·z_H + 7·z_F), relative coordinates.
    const ParameterModel& model = am1_model();
    const double bond = 0.92;
    const Molecule hf{{9, 1}, {{{2.0, 1.0, -1.0}, {2.0, 1.0, -1.0 + bond}}}};
    const MolecularBatch batch = make_batch(hf, model);
    const AlignedMatrix no_electrons(batch.n_orbitals, batch.n_orbitals);

    const DipoleResult result = compute_dipole(batch, model, no_electrons);

    const double m_h = 1.008, m_f = 18.998403;
    const double z_f = -bond * m_h / (m_h + m_f);
    const double z_h = bond + z_f;
    const double expected_z = debye_per_e_angstrom_ref * (1.0 * z_h + 7.0 * z_f);
    expect_vector_near(result.dipole_debye, {0.0, 0.0, expected_z}, 1e-3);

    // The same ion elsewhere, with electrons: still measured from its own centre of mass.
    const AlignedMatrix density = random_neutral_density(batch, model, 43);
    AlignedMatrix cation = density; // remove one electron pair's worth from the diagonal
    for (std::size_t mu = 0; mu < batch.n_orbitals; ++mu)
        cation(mu, mu) *= 0.75;
    const MolecularBatch moved = make_batch(translated(hf, {-4.0, 6.0, 3.0}), model);
    expect_vector_near(compute_dipole(moved, model, cation).dipole_debye,
                       compute_dipole(batch, model, cation).dipole_debye, 1e-10);
}

TEST(Dipole, AtomWithoutParametersIsAnInternalError) {
    const ParameterModel& model = am1_model();
    const std::vector<Coordinate> coordinates{{0.0, 0.0, 0.0}, {0.0, 0.0, 1.6}};
    const MolecularBatch batch = MolecularBatch::new_with_basis({26, 1}, coordinates, {9, 1});
    const AlignedMatrix density(batch.n_orbitals, batch.n_orbitals);
    try {
        compute_dipole(batch, model, density);
        FAIL() << "expected InternalError";
    } catch (const InternalError& error) {
        EXPECT_EQ(std::string(error.what()), "Parameters missing for element Z=26");
    }

    const MolecularBatch water_batch = make_batch(water(), model);
    const AlignedMatrix wrong_shape(water_batch.n_orbitals - 1, water_batch.n_orbitals - 1);
    EXPECT_THROW(compute_dipole(water_batch, model, wrong_shape), InternalError);
}
