#include "fixtures.hpp"
#include "parameters/models.hpp"
#include "properties/mulliken.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <numeric>
#include <string>

using namespace quelm;
using namespace quelm::fixtures;

namespace {

double core_charge_sum(const MolecularBatch& batch, const ParameterModel& model) {
    double sum = 0.0;
    for (const std::uint8_t z : batch.atomic_numbers)
        sum += model.get_element(z)->core_charge;
    return sum;
}

std::size_t occupied_count(const MolecularBatch& batch, const ParameterModel& model) {
    return static_cast<std::size_t>(std::lround(core_charge_sum(batch, model))) / 2;
}

// ZDO charges: core charge minus the diagonal of P = 2·C_occ·C_occᵀ.
std::vector<double> zdo_charges(const MolecularBatch& batch, const ParameterModel& model,
                                const AlignedMatrix& density) {
    std::vector<double> charges(batch.n_atoms);
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        charges[a] = model.get_element(batch.atomic_numbers[a])->core_charge;
        for (std::size_t k = 0; k < batch.basis_types[a]; ++k)
            charges[a] -= density(batch.orbital_offsets[a] + k, batch.orbital_offsets[a] + k);
    }
    return charges;
}

double sum(const std::vector<double>& values) {
    return std::accumulate(values.begin(), values.end(), 0.0);
}

} // namespace

TEST(MullikenPopulation, HydrogenMoleculeSharesItsBondingPairEqually) {
    // σ_g = (χ1 + χ2)/√2 in the orthogonalised basis is (χ1 + χ2)/√(2(1 + S)) in the Slater
    // basis, with the 1s–1s overlap S = e^(−ρ)(1 + ρ + ρ²/3), ρ = ζR (R in bohr).
    const ParameterModel& model = am1_model();
    const Molecule h2 = hydrogen_molecule();
    const MolecularBatch batch = make_batch(h2, model);
    AlignedMatrix orbitals(2, 2);
    const double h = 1.0 / std::sqrt(2.0);
    orbitals(0, 0) = h;
    orbitals(1, 0) = h;
    orbitals(0, 1) = h;
    orbitals(1, 1) = -h;

    const MullikenResult result = compute_mulliken_population(batch, model, orbitals, 1);

    const double rho = model.get_element(1)->zeta_s * batch.distance(0, 1) / angstrom_per_bohr;
    const double s = std::exp(-rho) * (1.0 + rho + rho * rho / 3.0);
    EXPECT_NEAR(result.overlap(0, 1), s, 1e-8);
    EXPECT_NEAR(result.overlap(1, 0), s, 1e-8);
    for (std::size_t mu = 0; mu < 2; ++mu)
        for (std::size_t nu = 0; nu < 2; ++nu)
            EXPECT_NEAR(result.density_ao(mu, nu), 1.0 / (1.0 + s), 1e-8);
    EXPECT_NEAR(result.overlap_population(0, 1), s / (1.0 + s), 1e-8);
    for (std::size_t a = 0; a < 2; ++a) {
        EXPECT_NEAR(result.gross_orbital_populations[a], 1.0, 1e-10);
        EXPECT_NEAR(result.atomic_populations[a], 1.0, 1e-10);
        EXPECT_NEAR(result.charges[a], 0.0, 1e-10);
    }
}

TEST(MullikenPopulation, ChargesSumToZeroForAnyOrthonormalOccupiedSet) {
    // Tr(P′S) = 2·Tr(C_occᵀ·X·S·X·C_occ) = 2·n_occ whenever X·S·X = I.
    struct Case {
        const char* name;
        Molecule molecule;
        const ParameterModel* model;
    };
    const Case cases[] = {
        {"water AM1", water(), &am1_model()},
        {"formaldehyde PM3", formaldehyde(), &pm3_model()},
        {"formaldehyde PM7", formaldehyde(), &pm7_model()},
        {"hydrogen sulfide PM6 (d shell)", hydrogen_sulfide(), &pm6_model()},
    };
    unsigned seed = 11;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MolecularBatch batch = make_batch(c.molecule, *c.model);
        const std::size_t n = batch.n_orbitals;
        const std::size_t n_occupied = occupied_count(batch, *c.model);
        const AlignedMatrix orbitals = random_orthonormal_orbitals(n, seed++);

        const MullikenResult result =
            compute_mulliken_population(batch, *c.model, orbitals, n_occupied);

        EXPECT_NEAR(sum(result.charges), 0.0, 1e-10);
        EXPECT_NEAR(sum(result.atomic_populations), 2.0 * n_occupied, 1e-10);
        EXPECT_NEAR(sum(result.gross_orbital_populations), 2.0 * n_occupied, 1e-10);
        for (std::size_t a = 0; a < batch.n_atoms; ++a) {
            const double core = c.model->get_element(batch.atomic_numbers[a])->core_charge;
            EXPECT_NEAR(result.charges[a], core - result.atomic_populations[a], 1e-12);
        }
        // X·S·X = I and X symmetric.
        const AlignedMatrix& s = result.overlap;
        const AlignedMatrix& x = result.overlap_inverse_sqrt;
        double worst = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < n; ++j) {
                double xsx = 0.0;
                for (std::size_t k = 0; k < n; ++k)
                    for (std::size_t l = 0; l < n; ++l)
                        xsx += x(i, k) * s(k, l) * x(l, j);
                worst = std::max(worst, std::abs(xsx - (i == j ? 1.0 : 0.0)));
                worst = std::max(worst, std::abs(x(i, j) - x(j, i)));
                worst = std::max(worst, std::abs(s(i, j) - s(j, i)));
            }
        }
        EXPECT_LT(worst, 1e-10);
    }
}

TEST(MullikenPopulation, DiffersFromZdoChargesForAPolarMolecule) {
    const ParameterModel& model = am1_model();
    const MolecularBatch batch = make_batch(water(), model);
    const AlignedMatrix orbitals = random_orthonormal_orbitals(batch.n_orbitals, 3);
    const std::size_t n_occupied = occupied_count(batch, model);

    const MullikenResult result = compute_mulliken_population(batch, model, orbitals, n_occupied);
    const std::vector<double> zdo =
        zdo_charges(batch, model, closed_shell_density(orbitals, n_occupied));

    EXPECT_NEAR(sum(zdo), 0.0, 1e-10);
    EXPECT_NEAR(sum(result.charges), 0.0, 1e-10);
    double largest_difference = 0.0;
    for (std::size_t a = 0; a < batch.n_atoms; ++a)
        largest_difference = std::max(largest_difference, std::abs(result.charges[a] - zdo[a]));
    EXPECT_GT(largest_difference, 1e-2);
}

TEST(MullikenPopulation, FarApartAtomsGetTheirZdoCharges) {
    // Without overlap S = X = I, and Mulliken's partition is the ZDO one.
    const ParameterModel& model = am1_model();
    const Molecule separated{{8, 1, 1}, {{{0.0, 0.0, 0.0}, {30.0, 0.0, 0.0}, {0.0, -25.0, 12.0}}}};
    const MolecularBatch batch = make_batch(separated, model);
    const AlignedMatrix orbitals = random_orthonormal_orbitals(batch.n_orbitals, 5);

    const MullikenResult result = compute_mulliken_population(batch, model, orbitals, 4);
    const std::vector<double> zdo = zdo_charges(batch, model, closed_shell_density(orbitals, 4));

    for (std::size_t i = 0; i < batch.n_orbitals; ++i)
        for (std::size_t j = 0; j < batch.n_orbitals; ++j)
            EXPECT_NEAR(result.overlap_inverse_sqrt(i, j), i == j ? 1.0 : 0.0, 1e-12);
    for (std::size_t a = 0; a < batch.n_atoms; ++a)
        EXPECT_NEAR(result.charges[a], zdo[a], 1e-10);
}

TEST(MullikenPopulation, ChargesAreInvariantWhenTheMoleculeIsRotatedWithItsOrbitals) {
    const ParameterModel& model = am1_model();
    const Molecule molecule = formaldehyde();
    const MolecularBatch batch = make_batch(molecule, model);
    const AlignedMatrix orbitals = random_orthonormal_orbitals(batch.n_orbitals, 7);
    const Rotation r = rotation_about({0.3, -1.0, 0.6}, 1.1);
    const MolecularBatch turned = make_batch(rotated(molecule, r), model);
    const AlignedMatrix turned_orbitals = rotated_sp_orbitals(batch, orbitals, r);

    const MullikenResult before = compute_mulliken_population(batch, model, orbitals, 6);
    const MullikenResult after = compute_mulliken_population(turned, model, turned_orbitals, 6);

    for (std::size_t a = 0; a < batch.n_atoms; ++a)
        EXPECT_NEAR(after.charges[a], before.charges[a], 1e-9);
}

TEST(MullikenPopulation, ChargesFollowTheAtomsWhenTheirOrderChanges) {
    // Reordering atoms (and the orbital rows with them) must permute the charges; this
    // fixes which atom of a pair is the bra of the overlap block.
    const ParameterModel& model = am1_model();
    const Molecule molecule = formaldehyde();
    const MolecularBatch batch = make_batch(molecule, model);
    const AlignedMatrix orbitals = random_orthonormal_orbitals(batch.n_orbitals, 9);
    const std::size_t order[] = {3, 1, 2, 0}; // new atom i is old atom order[i]

    Molecule permuted;
    for (const std::size_t old : order) {
        permuted.atomic_numbers.push_back(molecule.atomic_numbers[old]);
        permuted.coordinates.push_back(molecule.coordinates[old]);
    }
    const MolecularBatch permuted_batch = make_batch(permuted, model);
    AlignedMatrix permuted_orbitals(batch.n_orbitals, batch.n_orbitals);
    for (std::size_t a = 0; a < 4; ++a) {
        for (std::size_t k = 0; k < batch.basis_types[order[a]]; ++k) {
            const std::size_t from = batch.orbital_offsets[order[a]] + k;
            const std::size_t to = permuted_batch.orbital_offsets[a] + k;
            for (std::size_t t = 0; t < batch.n_orbitals; ++t)
                permuted_orbitals(to, t) = orbitals(from, t);
        }
    }

    const MullikenResult original = compute_mulliken_population(batch, model, orbitals, 6);
    const MullikenResult reordered =
        compute_mulliken_population(permuted_batch, model, permuted_orbitals, 6);

    for (std::size_t a = 0; a < 4; ++a)
        EXPECT_NEAR(reordered.charges[a], original.charges[order[a]], 1e-10);
}

TEST(MullikenPopulation, SpOverlapPointsAlongTheBond) {
    // p orbitals are odd: the lobe of B's p facing A is negative, so ⟨s_A|p_B⟩ = −a·u and
    // ⟨p_A|s_B⟩ = +b·u with a, b > 0 and u the unit vector from A to B. Covers the
    // orientation of the copied blocks for both atom orders.
    const ParameterModel& model = am1_model();
    const Coordinate u{1.0 / 3.0, 2.0 / 3.0, -2.0 / 3.0};
    const double r = 1.2;
    struct Case {
        std::uint8_t z_a, z_b;
    };
    const Case cases[] = {{6, 8}, {8, 6}, {1, 6}, {6, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.z_a) + "-" + std::to_string(c.z_b));
        const Molecule pair{{c.z_a, c.z_b}, {{{0.0, 0.0, 0.0}, {r * u[0], r * u[1], r * u[2]}}}};
        const MolecularBatch batch = make_batch(pair, model);
        AlignedMatrix orbitals(batch.n_orbitals, batch.n_orbitals);
        for (std::size_t mu = 0; mu < batch.n_orbitals; ++mu)
            orbitals(mu, mu) = 1.0;

        const AlignedMatrix& s = compute_mulliken_population(batch, model, orbitals, 1).overlap;

        const std::size_t a_s = 0, b_s = batch.orbital_offsets[1];
        if (batch.basis_types[1] == 4) {
            const double a = -s(a_s, b_s + 1) / u[0];
            EXPECT_GT(a, 0.05);
            for (std::size_t k = 0; k < 3; ++k) {
                EXPECT_NEAR(s(a_s, b_s + 1 + k), -a * u[k], 1e-10);
                EXPECT_EQ(s(b_s + 1 + k, a_s), s(a_s, b_s + 1 + k));
            }
        }
        if (batch.basis_types[0] == 4) {
            const double b = s(a_s + 1, b_s) / u[0];
            EXPECT_GT(b, 0.05);
            for (std::size_t k = 0; k < 3; ++k)
                EXPECT_NEAR(s(a_s + 1 + k, b_s), b * u[k], 1e-10);
        }
        EXPECT_GT(s(a_s, b_s), 0.05);
    }
}

TEST(MullikenPopulation, CoincidentAtomsGetNoOverlapBlock) {
    const ParameterModel& model = am1_model();
    const Molecule molecule{{8, 1, 1}, {{{0.0, 0.0, 0.0}, {0.0, 0.0, 0.96}, {0.0, 0.0, 0.96}}}};
    const MolecularBatch batch = make_batch(molecule, model);
    const AlignedMatrix orbitals = random_orthonormal_orbitals(batch.n_orbitals, 13);

    const MullikenResult result = compute_mulliken_population(batch, model, orbitals, 4);

    EXPECT_EQ(result.overlap(4, 5), 0.0);
    EXPECT_EQ(result.overlap(5, 4), 0.0);
    EXPECT_GT(std::abs(result.overlap(0, 4)), 0.1); // each H still overlaps the oxygen
    EXPECT_EQ(result.overlap(0, 4), result.overlap(0, 5));
    EXPECT_NEAR(sum(result.charges), 0.0, 1e-10);
}

TEST(MullikenPopulation, DOrbitalsKeepTheirOwnOccupation) {
    // PM6 sulfur carries d orbitals that overlap nothing: their rows of S and S^(−½) are
    // unit vectors, so each gross population is just 2·Σ_occ C(d, t)².
    const ParameterModel& model = pm6_model();
    const MolecularBatch batch = make_batch(hydrogen_sulfide(), model);
    ASSERT_EQ(batch.basis_types[0], 9);
    const std::size_t n = batch.n_orbitals;
    const std::size_t n_occupied = occupied_count(batch, model);
    const AlignedMatrix orbitals = random_orthonormal_orbitals(n, 17);

    const MullikenResult result = compute_mulliken_population(batch, model, orbitals, n_occupied);

    for (std::size_t d = 4; d < 9; ++d) {
        SCOPED_TRACE(d);
        double occupation = 0.0;
        for (std::size_t t = 0; t < n_occupied; ++t)
            occupation += 2.0 * orbitals(d, t) * orbitals(d, t);
        EXPECT_GT(occupation, 1e-3);
        EXPECT_NEAR(result.gross_orbital_populations[d], occupation, 1e-10);
        for (std::size_t nu = 0; nu < n; ++nu) {
            EXPECT_EQ(result.overlap(d, nu), d == nu ? 1.0 : 0.0);
            EXPECT_NEAR(result.overlap_inverse_sqrt(d, nu), d == nu ? 1.0 : 0.0, 1e-12);
        }
    }
}

TEST(MullikenPopulation, NoOccupiedOrbitalsLeaveBareCores) {
    const ParameterModel& model = am1_model();
    const MolecularBatch batch = make_batch(water(), model);
    const AlignedMatrix orbitals = random_orthonormal_orbitals(batch.n_orbitals, 19);

    const MullikenResult result = compute_mulliken_population(batch, model, orbitals, 0);

    const double expected[] = {6.0, 1.0, 1.0};
    for (std::size_t a = 0; a < 3; ++a) {
        EXPECT_EQ(result.charges[a], expected[a]);
        EXPECT_EQ(result.atomic_populations[a], 0.0);
    }
}

TEST(MullikenPopulation, RejectsOrbitalMatricesThatDoNotFitTheBasis) {
    const ParameterModel& model = am1_model();
    const MolecularBatch batch = make_batch(water(), model);
    const AlignedMatrix wrong_shape(batch.n_orbitals, batch.n_orbitals - 1);
    EXPECT_THROW(compute_mulliken_population(batch, model, wrong_shape, 1), InternalError);
    const AlignedMatrix orbitals = random_orthonormal_orbitals(batch.n_orbitals, 23);
    EXPECT_THROW(compute_mulliken_population(batch, model, orbitals, batch.n_orbitals + 1),
                 InternalError);
}
