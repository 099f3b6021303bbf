#include "fixtures.hpp"
#include "parameters/models.hpp"
#include "scf/scf_workspace.hpp"
#include "types/atomic_masses.hpp"
#include "types/internal_error.hpp"
#include "types/molecular_batch.hpp"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quelm {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Sizes = std::vector<std::size_t>;

TEST(MolecularBatch, LaysOutTheBasisOfHydrogenAndWaterFromTheModel) {
    struct Case {
        const char* name;
        fixtures::Molecule molecule;
        Bytes basis_types;
        Sizes offsets;
        std::size_t n_orbitals;
    };
    const Case cases[] = {
        {"H2", fixtures::hydrogen_molecule(), {1, 1}, {0, 1}, 2},
        {"water", fixtures::water(), {4, 1, 1}, {0, 4, 5}, 6},
    };
    for (const ParameterModel* model : {static_cast<const ParameterModel*>(&am1_model()),
                                        static_cast<const ParameterModel*>(&pm6_model())}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " " + std::string(model->name()));
            const MolecularBatch batch = fixtures::make_batch(c.molecule, *model);
            EXPECT_EQ(batch.n_atoms, c.molecule.atomic_numbers.size());
            EXPECT_EQ(batch.atomic_numbers, c.molecule.atomic_numbers);
            EXPECT_EQ(batch.basis_types, c.basis_types);
            EXPECT_EQ(batch.orbital_offsets, c.offsets);
            EXPECT_EQ(batch.n_orbitals, c.n_orbitals);
        }
    }
}

TEST(MolecularBatch, SplitsTheCoordinateRowsIntoThreeAlignedArrays) {
    const fixtures::Molecule water = fixtures::water();
    const MolecularBatch batch = fixtures::make_batch(water, am1_model());
    for (const AlignedVec64* axis : {&batch.coords_x, &batch.coords_y, &batch.coords_z}) {
        ASSERT_EQ(axis->size(), 3u);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(axis->data()) % 64, 0u);
    }
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(batch.coords_x[i], water.coordinates[i][0]);
        EXPECT_EQ(batch.coords_y[i], water.coordinates[i][1]);
        EXPECT_EQ(batch.coords_z[i], water.coordinates[i][2]);
    }
    // Distance and position read the same arrays: the O–H bond of the fixture.
    const double dx = water.coordinates[1][0] - water.coordinates[0][0];
    const double dy = water.coordinates[1][1] - water.coordinates[0][1];
    EXPECT_DOUBLE_EQ(batch.distance(0, 1), std::sqrt(dx * dx + dy * dy));
    EXPECT_DOUBLE_EQ(batch.distance(0, 1), batch.distance(1, 0));
    EXPECT_EQ(batch.position(2), water.coordinates[2]);
}

TEST(MolecularBatch, DefaultBasisFollowsThePeriodicTable) {
    // Boundaries of every range of the rule, and the rows named for copper, zinc and mercury.
    struct Case {
        int z;
        int orbitals;
    };
    const Case cases[] = {{0, 9},  {1, 1},  {2, 4},  {20, 4}, {21, 9},  {29, 9}, {30, 4},
                          {38, 4}, {39, 9}, {47, 9}, {48, 4}, {56, 4},  {57, 9}, {79, 9},
                          {80, 4}, {86, 4}, {87, 9}, {98, 9}, {102, 9}, {255, 9}};
    for (const Case& c : cases) {
        SCOPED_TRACE("Z = " + std::to_string(c.z));
        const std::vector<Coordinate> origin = {{0.0, 0.0, 0.0}};
        const MolecularBatch batch =
            MolecularBatch::new_with_default_basis(Bytes{static_cast<std::uint8_t>(c.z)}, origin);
        ASSERT_EQ(batch.basis_types.size(), 1u);
        EXPECT_EQ(batch.basis_types[0], c.orbitals);
        EXPECT_EQ(batch.n_orbitals, static_cast<std::size_t>(c.orbitals));
    }
}

TEST(MolecularBatch, OffsetsAreTheRunningSumOfTheGivenBasis) {
    const std::vector<Coordinate> coordinates(4, Coordinate{0.0, 0.0, 0.0});
    const MolecularBatch batch =
        MolecularBatch::new_with_basis(Bytes{26, 1, 8, 6}, coordinates, Bytes{9, 1, 4, 4});
    EXPECT_EQ(batch.orbital_offsets, (Sizes{0, 9, 10, 14}));
    EXPECT_EQ(batch.n_orbitals, 18u);
}

TEST(MolecularBatch, EmptyBatchHasNoOrbitalsAndNoCoordinateStorage) {
    const MolecularBatch batch = MolecularBatch::new_with_basis({}, {}, {});
    EXPECT_EQ(batch.n_atoms, 0u);
    EXPECT_EQ(batch.n_orbitals, 0u);
    EXPECT_TRUE(batch.orbital_offsets.empty());
    for (const AlignedVec64* axis : {&batch.coords_x, &batch.coords_y, &batch.coords_z}) {
        EXPECT_EQ(axis->size(), 0u);
        EXPECT_EQ(axis->data(), nullptr);
    }
    const MolecularBatch from_model = MolecularBatch::new_for_model({}, {}, pm6_model());
    EXPECT_EQ(from_model.n_orbitals, 0u);
}

TEST(MolecularBatch, LengthMismatchesAreInternalErrorsTestedCoordinatesFirst) {
    const std::vector<Coordinate> two_rows(2, Coordinate{0.0, 0.0, 0.0});
    const std::vector<Coordinate> one_row(1, Coordinate{0.0, 0.0, 0.0});
    struct Case {
        const char* name;
        const std::vector<Coordinate>* coordinates;
        Bytes basis_types;
        const char* message;
    };
    const Case cases[] = {
        {"coordinates short", &one_row, {1, 1}, "Atomic numbers and coordinates length mismatch"},
        {"basis short", &two_rows, {1}, "Atomic numbers and basis types length mismatch"},
        // Both wrong: the coordinates are tested first.
        {"both short", &one_row, {1}, "Atomic numbers and coordinates length mismatch"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            MolecularBatch::new_with_basis(Bytes{1, 1}, *c.coordinates, c.basis_types);
            ADD_FAILURE() << "expected InternalError";
        } catch (const InternalError& error) {
            EXPECT_EQ(std::string(error.what()), c.message);
        }
    }
    EXPECT_THROW(MolecularBatch::new_for_model(Bytes{1, 1}, one_row, am1_model()), InternalError);
    EXPECT_THROW(MolecularBatch::new_with_default_basis(Bytes{1, 1}, one_row), InternalError);
}

TEST(MolecularBatch, CopyIsDeep) {
    const MolecularBatch original = fixtures::make_batch(fixtures::water(), am1_model());
    MolecularBatch copy = original;
    copy.coords_x[0] += 1.0;
    EXPECT_NE(copy.coords_x.data(), original.coords_x.data());
    EXPECT_EQ(original.coords_x[0], fixtures::water().coordinates[0][0]);
    EXPECT_EQ(copy.orbital_offsets, original.orbital_offsets);
}

TEST(ScfWorkspace, ForAnEmptyBasisAllocatesNothingAndIsValid) {
    const ScfWorkspace workspace = ScfWorkspace::allocate(0);
    EXPECT_EQ(workspace.n_orbitals, 0u);
    for (const AlignedMatrix* m :
         {&workspace.fock, &workspace.density, &workspace.hcore, &workspace.eigenvectors,
          &workspace.new_density, &workspace.fp_product}) {
        EXPECT_EQ(m->rows(), 0u);
        EXPECT_EQ(m->data(), nullptr);
    }
    EXPECT_EQ(workspace.eigenvalues.data(), nullptr);
    EXPECT_EQ(workspace.diis.capacity, 6u);
    EXPECT_EQ(workspace.diis.count, 0u);
    EXPECT_TRUE(workspace.diatomic_pairs.empty());
}

TEST(ScfWorkspace, IsZeroFilledSquareAndRestartZeroesItAgain) {
    ScfWorkspace workspace = ScfWorkspace::allocate(3);
    AlignedMatrix* matrices[] = {&workspace.fock,        &workspace.density,
                                 &workspace.hcore,       &workspace.eigenvectors,
                                 &workspace.new_density, &workspace.fp_product};
    for (AlignedMatrix* m : matrices) {
        ASSERT_EQ(m->rows(), 3u);
        ASSERT_EQ(m->cols(), 3u);
        for (std::size_t k = 0; k < m->size(); ++k)
            EXPECT_EQ(m->data()[k], 0.0);
        m->fill(2.5);
    }
    ASSERT_EQ(workspace.eigenvalues.size(), 3u);
    EXPECT_EQ(workspace.diis.capacity, 6u);
    EXPECT_EQ(workspace.diis.fock_history.size(), 6u);
    EXPECT_EQ(workspace.diis.fock_history[5].rows(), 3u);
    workspace.eigenvalues.fill(-1.0);
    workspace.diis.count = 4;
    workspace.diatomic_pairs.resize(2);

    workspace.restart();
    for (const AlignedMatrix* m : matrices)
        for (std::size_t k = 0; k < m->size(); ++k)
            EXPECT_EQ(m->data()[k], 0.0);
    for (double e : workspace.eigenvalues)
        EXPECT_EQ(e, 0.0);
    EXPECT_EQ(workspace.diis.count, 0u);
    // The pair integrals are left for the next NDDO run to replace.
    EXPECT_EQ(workspace.diatomic_pairs.size(), 2u);
}

TEST(AtomicMasses, AreTheStandardWeightsWithThePseudoAtomEntries) {
    struct Case {
        int z;
        double amu;
    };
    const Case cases[] = {
        {1, 1.0079},    {6, 12.011}, {8, 15.9994}, {17, 35.453}, {26, 55.847}, {79, 196.9665},
        {92, 238.0289}, {93, 0.0},   {97, 0.0},    {98, 5e-05},  {99, 0.0},    {101, 0.0},
        {102, 1.0079},  {103, 0.0},  {107, 0.0},   {0, 0.0},     {108, 0.0},   {255, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("Z = " + std::to_string(c.z));
        EXPECT_EQ(standard_atomic_mass(static_cast<std::uint8_t>(c.z)), c.amu);
    }
}

} // namespace
} // namespace quelm
