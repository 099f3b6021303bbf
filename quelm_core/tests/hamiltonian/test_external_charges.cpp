#include "fixtures.hpp"
#include "hamiltonian/external_charges.hpp"
#include "hamiltonian/hcore.hpp"
#include "parameters/models.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quelm {
namespace {

using fixtures::Molecule;

// A model whose hydrogen has no one-centre integral (gss = 0): the damping falls back
// to a fixed 0.25 Å².
class HydrogenWithoutGss final : public ParameterModel {
  public:
    std::optional<ElementParameters> get_element(std::uint8_t z) const override {
        auto e = pm6_model().get_element(z);
        if (e && z == 1)
            e->g_ss = 0.0;
        return e;
    }
    std::string_view name() const override { return "PM6"; }
};

double monopole_radius(const ElementParameters& e) {
    return e_squared_ev_angstrom / (2.0 * e.g_ss);
}

AlignedMatrix simplified_core_hamiltonian(const MolecularBatch& batch,
                                          const ParameterModel& model) {
    AlignedMatrix hcore(batch.n_orbitals, batch.n_orbitals);
    build_hcore(batch, model, hcore);
    return hcore;
}

TEST(ExternalCharges, ShiftEveryOrbitalOfAnAtomByTheDampedPotential) {
    const ParameterModel& model = pm6_model();
    const Molecule water = fixtures::water();
    const MolecularBatch batch = fixtures::make_batch(water, model);
    const std::vector<PointCharge> charges = {{2.0, 1.0, -0.5, 0.8}, {-1.5, 0.3, 2.2, -0.4}};
    AlignedMatrix hcore = simplified_core_hamiltonian(batch, model);
    const AlignedMatrix plain = hcore;
    apply_external_charges_to_hcore(batch, model, charges.data(), charges.size(), hcore);
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        const double rho = monopole_radius(*model.get_element(batch.atomic_numbers[a]));
        double expected = 0.0;
        for (const PointCharge& c : charges) {
            const double dx = water.coordinates[a][0] - c.x;
            const double dy = water.coordinates[a][1] - c.y;
            const double dz = water.coordinates[a][2] - c.z;
            expected -=
                c.q * e_squared_ev_angstrom / std::sqrt(dx * dx + dy * dy + dz * dz + rho * rho);
        }
        for (std::size_t i = 0; i < batch.basis_types[a]; ++i) {
            const std::size_t mu = batch.orbital_offsets[a] + i;
            for (std::size_t nu = 0; nu < batch.n_orbitals; ++nu)
                EXPECT_NEAR(hcore(mu, nu) - plain(mu, nu), mu == nu ? expected : 0.0, 1e-12);
        }
    }
}

TEST(ExternalCharges, CoreEnergyIsBareCoulombWithoutChargesOnANucleus) {
    const ParameterModel& model = pm6_model();
    const Molecule oxygen{{8}, {{{0.2, -0.1, 0.4}}}};
    const MolecularBatch batch = fixtures::make_batch(oxygen, model);
    const ElementParameters e = *model.get_element(8);
    struct Case {
        const char* name;
        PointCharge charge;
        double expected_core_ev;
        double expected_shift_ev;
    };
    const double rho = monopole_radius(e);
    const Case cases[] = {
        {"on the nucleus (5e-9 Å)",
         {0.2 + 5e-9, -0.1, 0.4, 0.5},
         0.0,
         -0.5 * e_squared_ev_angstrom / rho},
        {"3 Å away",
         {0.2, 2.9, 0.4, -0.7},
         e.core_charge * -0.7 * e_squared_ev_angstrom / 3.0,
         0.7 * e_squared_ev_angstrom / std::sqrt(9.0 + rho * rho)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(compute_external_charges_core_energy(batch, model, &c.charge, 1),
                    c.expected_core_ev, 1e-12);
        AlignedMatrix hcore(4, 4);
        apply_external_charges_to_hcore(batch, model, &c.charge, 1, hcore);
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_NEAR(hcore(i, i), c.expected_shift_ev, 1e-10);
    }
}

TEST(ExternalCharges, ANeutralAtomFeelsNoDistantCharge) {
    // Six valence electrons on the diagonal against a core of +6: the two Coulomb terms
    // cancel as the charge moves away (the damping fades as ρ²/d²).
    const ParameterModel& model = pm6_model();
    const Molecule oxygen{{8}, {{{0.0, 0.0, 0.0}}}};
    const MolecularBatch batch = fixtures::make_batch(oxygen, model);
    for (double d : {50.0, 400.0}) {
        const PointCharge charge{d, 0.0, 0.0, 1.0};
        AlignedMatrix hcore(4, 4);
        apply_external_charges_to_hcore(batch, model, &charge, 1, hcore);
        const double electrons = 6.0 * hcore(0, 0);
        const double core = compute_external_charges_core_energy(batch, model, &charge, 1);
        EXPECT_NEAR(core, 6.0 * e_squared_ev_angstrom / d, 1e-12);
        EXPECT_LT(std::abs(electrons + core), 0.3 * core / (d * d));
    }
}

TEST(ExternalCharges, FallBackToAFixedDampingWithoutAnSsIntegral) {
    const HydrogenWithoutGss model;
    const Molecule hydrogen{{1}, {{{0.0, 0.0, 0.0}}}};
    const MolecularBatch batch = fixtures::make_batch(hydrogen, model);
    const PointCharge charge{0.0, 0.0, 0.0, 2.0};
    AlignedMatrix hcore(1, 1);
    apply_external_charges_to_hcore(batch, model, &charge, 1, hcore);
    EXPECT_NEAR(hcore(0, 0), -2.0 * e_squared_ev_angstrom / 0.5, 1e-12);
}

TEST(ExternalCharges, DoNothingWithoutChargesAtomsOrParameters) {
    const ParameterModel& model = mndo_model();
    // MNDO has no iron: it neither feels the charge nor contributes core energy.
    const Molecule iron{{26}, {{{0.0, 0.0, 0.0}}}};
    const MolecularBatch iron_batch = fixtures::make_batch(iron, model);
    const MolecularBatch empty = MolecularBatch::new_with_default_basis({}, {});
    const MolecularBatch water = fixtures::make_batch(fixtures::water(), model);
    const PointCharge charge{1.0, 1.0, 1.0, 1.0};

    AlignedMatrix iron_h(9, 9);
    apply_external_charges_to_hcore(iron_batch, model, &charge, 1, iron_h);
    for (std::size_t i = 0; i < iron_h.size(); ++i)
        EXPECT_EQ(iron_h.data()[i], 0.0);
    EXPECT_EQ(compute_external_charges_core_energy(iron_batch, model, &charge, 1), 0.0);

    AlignedMatrix empty_h;
    apply_external_charges_to_hcore(empty, model, &charge, 1, empty_h);
    EXPECT_EQ(compute_external_charges_core_energy(empty, model, &charge, 1), 0.0);

    AlignedMatrix water_h = simplified_core_hamiltonian(water, model);
    const AlignedMatrix plain = water_h;
    apply_external_charges_to_hcore(water, model, nullptr, 0, water_h);
    for (std::size_t i = 0; i < water_h.size(); ++i)
        EXPECT_EQ(water_h.data()[i], plain.data()[i]);
    EXPECT_EQ(compute_external_charges_core_energy(water, model, nullptr, 0), 0.0);
}

TEST(ExternalCharges, MatrixOfTheWrongSizeIsAnInternalError) {
    const ParameterModel& model = pm6_model();
    const MolecularBatch batch = fixtures::make_batch(fixtures::water(), model);
    const PointCharge charge{1.0, 0.0, 0.0, 1.0};
    AlignedMatrix wrong(batch.n_orbitals + 1, batch.n_orbitals + 1);
    EXPECT_THROW(apply_external_charges_to_hcore(batch, model, &charge, 1, wrong), InternalError);
    for (std::size_t i = 0; i < wrong.size(); ++i)
        ASSERT_EQ(wrong.data()[i], 0.0);
}

} // namespace
} // namespace quelm
