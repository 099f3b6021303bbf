#include "karvel/hybrid.hpp"
#include "karvel/karvel_molecules.hpp"
#include "karvel/lewis.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <numeric>

namespace quelm {
namespace {

using fixtures::Molecule;

MolecularBatch default_batch(const Molecule& m) {
    return MolecularBatch::new_with_default_basis(m.atomic_numbers, m.coordinates);
}

unsigned total_lone_pairs(const LewisStructure& lewis) {
    unsigned sum = 0;
    for (const auto& entry : lewis.lone_pairs)
        sum += entry.second;
    return sum;
}

// Textbook structures: bonds, their total order and lone pairs, and the number of
// double and triple bonds. Every one must hold all valence electrons.
TEST(LewisStructure, GivesTextbookBondsAndLonePairs) {
    // PM6 gives S and P d functions (room for hypervalent π bonds); AM1 does not, and its
    // sulfone is S²⁺(–O⁻)₂ with three lone pairs on each oxygen.
    struct Case {
        const char* name;
        Molecule molecule;
        const ParameterModel& basis;
        std::size_t bonds;
        unsigned order_sum, lone_pairs, doubles, triples;
    };
    const Case cases[] = {
        {"water", fixtures::water(), pm6_model(), 2, 2, 2, 0, 0},
        {"formaldehyde", fixtures::formaldehyde(), pm6_model(), 3, 4, 2, 1, 0},
        {"carbon monoxide", fixtures::carbon_monoxide(), pm6_model(), 1, 3, 2, 0, 1},
        {"carbon dioxide", fixtures::carbon_dioxide(), pm6_model(), 2, 4, 4, 2, 0},
        {"nitromethane", fixtures::nitromethane(), pm6_model(), 6, 7, 5, 1, 0},
        {"dimethyl sulfone", fixtures::dimethyl_sulfone(), pm6_model(), 10, 12, 4, 2, 0},
        {"dimethyl sulfone, no d", fixtures::dimethyl_sulfone(), am1_model(), 10, 10, 6, 0, 0},
        {"phosphoric acid", fixtures::phosphoric_acid(), pm6_model(), 7, 8, 8, 1, 0},
        {"glycine zwitterion", fixtures::glycine_zwitterion(), pm6_model(), 9, 10, 5, 1, 0},
        {"benzene", fixtures::benzene(), pm6_model(), 12, 15, 0, 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MolecularBatch batch = fixtures::make_batch(c.molecule, c.basis);
        const LewisStructure lewis = construct_lewis_structure(batch);
        unsigned order_sum = 0, doubles = 0, triples = 0;
        for (const LewisBond& bond : lewis.bonds) {
            order_sum += bond.order;
            doubles += bond.order == 2;
            triples += bond.order == 3;
        }
        EXPECT_EQ(lewis.bonds.size(), c.bonds);
        EXPECT_EQ(order_sum, c.order_sum);
        EXPECT_EQ(total_lone_pairs(lewis), c.lone_pairs);
        EXPECT_EQ(doubles, c.doubles);
        EXPECT_EQ(triples, c.triples);
        unsigned valence = 0;
        for (const std::uint8_t z : c.molecule.atomic_numbers)
            valence += valence_electrons(z);
        EXPECT_EQ(2 * (order_sum + total_lone_pairs(lewis)), valence);
    }
}

TEST(LewisStructure, BenzeneIsKekuleAndCarbonMonoxideCarriesFormalCharges) {
    const LewisStructure ring = construct_lewis_structure(default_batch(fixtures::benzene()));
    std::vector<unsigned> ring_order(6, 0);
    for (const LewisBond& bond : ring.bonds) {
        if (bond.atom_j < 6) {
            ring_order[bond.atom_i] += bond.order;
            ring_order[bond.atom_j] += bond.order;
        }
    }
    for (const unsigned sum : ring_order)
        EXPECT_EQ(sum, 3u); // one double and one single ring bond at every carbon

    const LewisStructure co = construct_lewis_structure(default_batch(fixtures::carbon_monoxide()));
    EXPECT_EQ(co.lone_pairs[0].second, 1u);
    EXPECT_EQ(co.lone_pairs[1].second, 1u);
    EXPECT_EQ(co.unpaired[0], -1); // :C≡O: with C⁻ and O⁺
    EXPECT_EQ(co.unpaired[1], 1);
}

TEST(LewisStructure, AtomsCloserThanPointFourAngstromAreNotBonded) {
    const Molecule pair{{1, 1}, {{{0, 0, 0}, {0, 0, 0.35}}}};
    const LewisStructure lewis = construct_lewis_structure(default_batch(pair));
    EXPECT_TRUE(lewis.bonds.empty());
}

TEST(InitialLmos, WaterHasTheSpecifiedOrbitalsAndIsOrthonormal) {
    const MolecularBatch batch = default_batch(fixtures::water());
    const Result<InitialLmos> lmos =
        construct_initial_lmos(batch, construct_lewis_structure(batch));
    ASSERT_TRUE(lmos.ok());
    const auto& occ = lmos.value().occupied;
    const auto& virt = lmos.value().virtual_lmos;
    ASSERT_EQ(occ.size(), 4u);
    ASSERT_EQ(virt.size(), 2u);
    const std::size_t occ_index[] = {0, 2, 4, 5};
    for (std::size_t k = 0; k < 4; ++k)
        EXPECT_EQ(occ[k].index, occ_index[k]);
    EXPECT_EQ(occ[2].lmo_type, LmoType::lone_pair);
    EXPECT_EQ(virt[0].index, 1u);
    EXPECT_EQ(virt[1].index, 3u);

    // All six LMOs over the six AOs form an orthonormal set.
    std::vector<const Lmo*> all;
    for (const Lmo& l : occ)
        all.push_back(&l);
    for (const Lmo& l : virt)
        all.push_back(&l);
    for (const Lmo* x : all) {
        for (const Lmo* y : all) {
            double overlap = 0.0;
            for (std::size_t p = 0; p < x->ao_indices.size(); ++p) {
                for (std::size_t q = 0; q < y->ao_indices.size(); ++q) {
                    if (x->ao_indices[p] == y->ao_indices[q])
                        overlap += x->coeffs[p] * y->coeffs[q];
                }
            }
            EXPECT_NEAR(overlap, x == y ? 1.0 : 0.0, 1e-10);
        }
    }
}

TEST(InitialLmos, RefusesTheBridgingHydrogensOfDiborane) {
    const MolecularBatch batch = default_batch(fixtures::diborane());
    const Result<InitialLmos> lmos =
        construct_initial_lmos(batch, construct_lewis_structure(batch));
    ASSERT_FALSE(lmos.ok());
    EXPECT_EQ(lmos.error(), "Atom 2 (Z=1) has 2 bonds but 1 valence orbitals: a multi-centre "
                            "bond has no Lewis structure of two-centre bonds");
}

TEST(InitialLmos, FreeNeonGivesFourLonePairsOfPureAtomicOrbitals) {
    const Molecule neon{{10}, {{{0, 0, 0}}}};
    const MolecularBatch batch = default_batch(neon);
    const Result<InitialLmos> lmos =
        construct_initial_lmos(batch, construct_lewis_structure(batch));
    ASSERT_TRUE(lmos.ok());
    ASSERT_EQ(lmos.value().occupied.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(lmos.value().occupied[k].lmo_type, LmoType::lone_pair);
        EXPECT_NEAR(std::abs(lmos.value().occupied[k].coeffs[k]), 1.0, 1e-12);
    }
}

} // namespace
} // namespace quelm
