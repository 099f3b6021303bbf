#include "fixtures.hpp"
#include "fock/fock_builder.hpp"
#include "integrals/d_orbitals.hpp"
#include "parameters/models.hpp"

#include <array>
#include <cmath>
#include <gtest/gtest.h>

namespace quelm {
namespace {

// One atom of a model with d data, its 9 × 9 density from random occupied orbitals.
struct DAtom {
    fixtures::Pm6WithDerivedDData model{false};
    MolecularBatch batch;
    AlignedMatrix density;

    DAtom(std::uint8_t z, unsigned seed)
        : batch(
              MolecularBatch::new_for_model({z}, std::vector<Coordinate>{{0.2, -0.1, 0.4}}, model)),
          density(
              fixtures::closed_shell_density(fixtures::random_orthonormal_orbitals(9, seed), 4)) {}

    AlignedMatrix one_centre_fock(const AlignedMatrix& p) const {
        AlignedMatrix fock(9, 9);
        add_one_center_fock_terms(batch, model, p, fock);
        return fock;
    }
};

TEST(DOneCenterFock, FollowsTheClosedShellRuleOverTheOneCentreTable) {
    for (std::uint8_t z : {16, 17, 35}) {
        SCOPED_TRACE(int(z));
        const DAtom atom(z, z);
        ASSERT_EQ(atom.batch.n_orbitals, 9u);
        OneCenterDTable table;
        fill_one_center_d_table(*atom.model.get_element(z), *atom.model.get_d_element_params(z),
                                table);
        const auto integral = [&](std::size_t i, std::size_t j, std::size_t k, std::size_t l) {
            return table[orbital_pair_index(i, j) * d_orbital_pairs + orbital_pair_index(k, l)];
        };
        const AlignedMatrix fock = atom.one_centre_fock(atom.density);
        for (std::size_t mu = 0; mu < 9; ++mu) {
            for (std::size_t nu = 0; nu < 9; ++nu) {
                double expected = 0.0;
                for (std::size_t la = 0; la < 9; ++la)
                    for (std::size_t si = 0; si < 9; ++si)
                        expected += atom.density(la, si) *
                                    (integral(mu, nu, la, si) - 0.5 * integral(mu, la, nu, si));
                EXPECT_NEAR(fock(mu, nu), expected, 1e-12) << mu << "," << nu;
            }
        }
    }
}

// The one-centre Fock block of a free atom turns with its density: F(D·P·Dᵀ) = D·F(P)·Dᵀ.
TEST(DOneCenterFock, TurnsWithTheDensity) {
    const DAtom atom(16, 3);
    const fixtures::OrbitalRotation d =
        fixtures::spd_orbital_rotation(fixtures::rotation_about({0.4, 1.0, -0.7}, 1.1));
    AlignedMatrix turned(9, 9);
    for (std::size_t i = 0; i < 9; ++i)
        for (std::size_t j = 0; j < 9; ++j)
            for (std::size_t k = 0; k < 9; ++k)
                for (std::size_t l = 0; l < 9; ++l)
                    turned(i, j) += d[i][k] * atom.density(k, l) * d[j][l];
    const AlignedMatrix fock = atom.one_centre_fock(atom.density);
    const AlignedMatrix fock_turned = atom.one_centre_fock(turned);
    for (std::size_t i = 0; i < 9; ++i) {
        for (std::size_t j = 0; j < 9; ++j) {
            double expected = 0.0;
            for (std::size_t k = 0; k < 9; ++k)
                for (std::size_t l = 0; l < 9; ++l)
                    expected += d[i][k] * fock(k, l) * d[j][l];
            EXPECT_NEAR(fock_turned(i, j), expected, 1e-11) << i << "," << j;
        }
    }
}

// With no d electrons the s, p block sees only the s, p integrals, so the general rule over
// the table must reproduce the closed forms of an s, p atom.
TEST(DOneCenterFock, EmptyDShellGivesTheSpClosedForms) {
    DAtom atom(17, 5);
    for (std::size_t i = 0; i < 9; ++i)
        for (std::size_t j = 0; j < 9; ++j)
            if (i >= 4 || j >= 4)
                atom.density(i, j) = 0.0;
    const AlignedMatrix with_d = atom.one_centre_fock(atom.density);
    AlignedMatrix sp_only(9, 9);
    add_one_center_fock_terms(atom.batch, fixtures::Pm6WithoutDData{}, atom.density, sp_only);
    for (std::size_t i = 0; i < 4; ++i)
        for (std::size_t j = 0; j < 4; ++j)
            EXPECT_NEAR(with_d(i, j), sp_only(i, j), 1e-12) << i << "," << j;
    // The d shell itself feels the s, p electrons through (ss|dd), (pp|dd) and exchange;
    // without d data it feels nothing.
    EXPECT_GT(std::abs(with_d(6, 6)), 1.0);
    EXPECT_EQ(sp_only(6, 6), 0.0);
}

} // namespace
} // namespace quelm
