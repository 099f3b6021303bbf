#include "fixtures.hpp"
#include "parameters/models.hpp"
#include "scf/initial_guess.hpp"

#include <gtest/gtest.h>

namespace quelm {
namespace {

// Neutral spherical atoms: each atom's valence electrons spread evenly over its s and p
// orbitals, the empty d shell of a main-group atom left out, nothing between atoms.
TEST(InitialGuess, SpreadsEachAtomsElectronsOverItsSAndPShells) {
    const fixtures::Molecule molecule = fixtures::dichloromethane(); // Cl, C, Cl, H, H
    const MolecularBatch batch = fixtures::make_batch(molecule, pm6_model());
    AlignedMatrix density(batch.n_orbitals, batch.n_orbitals);
    density.fill(3.0); // overwritten everywhere
    build_neutral_atom_density(batch, pm6_model(), density);
    ASSERT_EQ(batch.n_orbitals, 9u + 4u + 9u + 1u + 1u);
    double trace = 0.0;
    for (std::size_t atom = 0; atom < batch.n_atoms; ++atom) {
        const std::size_t first = batch.orbital_offsets[atom];
        const double electrons = pm6_model().get_element(batch.atomic_numbers[atom])->core_charge;
        const std::size_t sp = std::min<std::size_t>(batch.basis_types[atom], 4);
        for (std::size_t k = 0; k < batch.basis_types[atom]; ++k) {
            EXPECT_DOUBLE_EQ(density(first + k, first + k), k < sp ? electrons / sp : 0.0)
                << "atom " << atom << " orbital " << k;
        }
    }
    for (std::size_t i = 0; i < batch.n_orbitals; ++i) {
        trace += density(i, i);
        for (std::size_t j = 0; j < batch.n_orbitals; ++j) {
            if (i != j) {
                ASSERT_EQ(density(i, j), 0.0);
            }
        }
    }
    EXPECT_DOUBLE_EQ(trace, 7.0 + 4.0 + 7.0 + 1.0 + 1.0);
}

} // namespace
} // namespace quelm
