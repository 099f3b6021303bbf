#include "karvel/karvel_molecules.hpp"
#include "properties/am1_bcc.hpp"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace quelm {
namespace {

using fixtures::Molecule;

Am1BccResult corrections_of(const Molecule& m) {
    const MolecularBatch batch =
        MolecularBatch::new_with_default_basis(m.atomic_numbers, m.coordinates);
    const std::vector<double> zeros(batch.n_atoms, 0.0);
    return compute_am1_bcc_charges(batch, zeros).value();
}

// Worked values: every C–H moves 0.0487 e (sp³) or 0.0407 e (aromatic) onto the
// hydrogen, every O–H 0.062 e; C–C bonds of one class move nothing.
TEST(Am1Bcc, CorrectionsOfMethaneWaterAndBenzene) {
    const Am1BccResult methane = corrections_of(fixtures::methane());
    EXPECT_NEAR(methane.bond_charge_corrections[0], -4 * 0.0487, 1e-12);
    for (std::size_t h = 1; h < 5; ++h)
        EXPECT_NEAR(methane.bond_charge_corrections[h], 0.0487, 1e-12);

    const Am1BccResult water = corrections_of(fixtures::water());
    EXPECT_NEAR(water.bond_charge_corrections[0], -0.124, 1e-12);
    EXPECT_NEAR(water.bond_charge_corrections[1], 0.062, 1e-12);

    const Am1BccResult benzene = corrections_of(fixtures::benzene());
    for (std::size_t c = 0; c < 6; ++c) {
        EXPECT_NEAR(benzene.bond_charge_corrections[c], -0.0407, 1e-12);
        EXPECT_NEAR(benzene.bond_charge_corrections[c + 6], 0.0407, 1e-12);
    }
}

// The table's orientation holds: an sp³–sp² C–C bond adds −0.012 to the sp³ carbon.
TEST(Am1Bcc, LookupIsAntisymmetricAndFollowsTheTableSign) {
    EXPECT_EQ(lookup_bcc_delta(6, Hybridization::sp3, 6, Hybridization::sp2, 1), -0.012);
    EXPECT_EQ(lookup_bcc_delta(6, Hybridization::sp2, 6, Hybridization::sp3, 1), 0.012);
    EXPECT_EQ(lookup_bcc_delta(8, Hybridization::terminal, 6, Hybridization::sp2, 2), -0.134);
    EXPECT_EQ(lookup_bcc_delta(8, Hybridization::sp3, 1, Hybridization::terminal, 1), -0.062);
    EXPECT_EQ(lookup_bcc_delta(7, Hybridization::sp3, 7, Hybridization::sp3, 1), 0.0);
}

TEST(Am1Bcc, ResonanceEquivalentOxygensGetEqualCorrectionsAndChargeIsConserved) {
    const Am1BccResult glycine = corrections_of(fixtures::glycine_zwitterion());
    EXPECT_NEAR(glycine.bond_charge_corrections[3], glycine.bond_charge_corrections[4], 1e-12);
    const Am1BccResult nitro = corrections_of(fixtures::nitromethane());
    EXPECT_NEAR(nitro.bond_charge_corrections[2], nitro.bond_charge_corrections[3], 1e-12);
    for (const Am1BccResult& r : {glycine, nitro}) {
        const double sum = std::accumulate(r.bond_charge_corrections.begin(),
                                           r.bond_charge_corrections.end(), 0.0);
        EXPECT_NEAR(sum, 0.0, 1e-14);
    }
}

TEST(Am1Bcc, UnbondedAtomsKeepTheirChargesAndMismatchIsReported) {
    const Molecule apart{{8, 8}, {{{0, 0, 0}, {0, 0, 5.0}}}};
    const MolecularBatch batch =
        MolecularBatch::new_with_default_basis(apart.atomic_numbers, apart.coordinates);
    const std::vector<double> charges{0.25, -0.25};
    const Am1BccResult r = compute_am1_bcc_charges(batch, charges).value();
    EXPECT_EQ(r.bcc_charges, charges);
    EXPECT_EQ(r.total_charge, 0.0);
    const std::vector<double> one{0.0};
    EXPECT_EQ(compute_am1_bcc_charges(batch, one).error(),
              "Mismatch between initial charges length (1) and number of atoms (2)");
}

} // namespace
} // namespace quelm
