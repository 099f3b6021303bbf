#include "fixtures.hpp"
#include "gradients/nuclear_gradients.hpp"
#include "properties/dipole.hpp"
#include "properties/mulliken.hpp"
#include "scf/dense_kernel_threshold.hpp"
#include "scf/density.hpp"
#include "scf/diis.hpp"
#include "scf/eigensolver.hpp"
#include "scf/jacobi_eigensolver.hpp"
#include "scf/lapack_eigensolver.hpp"
#include "scf/matrix_product.hpp"
#include "scf/scf_loop.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace quelm {
namespace {

AlignedMatrix random_symmetric(std::size_t n, unsigned seed) {
    std::mt19937 generator(seed);
    return fixtures::random_symmetric_matrix(n, generator);
}

bool identical(const AlignedMatrix& x, const AlignedMatrix& y) {
    return x.size() == y.size() && std::memcmp(x.data(), y.data(), x.size() * sizeof(double)) == 0;
}

double max_difference(const AlignedMatrix& x, const AlignedMatrix& y) {
    double largest = 0.0;
    for (std::size_t k = 0; k < x.size(); ++k)
        largest = std::max(largest, std::abs(x.data()[k] - y.data()[k]));
    return largest;
}

// LAPACK's dsyevd overtakes the Jacobi kernel at about 8 to 16 orbitals on two cores
// (bench/dense_kernel_crossover); smaller bases keep the exact Jacobi path.
TEST(DenseKernelThreshold, IsTheMeasuredCrossoverAndScopesRestoreIt) {
    EXPECT_EQ(default_dense_kernel_threshold, 16u);
    EXPECT_EQ(dense_kernel_threshold(), default_dense_kernel_threshold);
    EXPECT_FALSE(use_dense_library(default_dense_kernel_threshold - 1));
    EXPECT_TRUE(use_dense_library(default_dense_kernel_threshold));
    {
        const ScopedDenseKernelThreshold outer(0);
        EXPECT_TRUE(use_dense_library(1));
        {
            const ScopedDenseKernelThreshold inner(SIZE_MAX);
            EXPECT_FALSE(use_dense_library(100000));
        }
        EXPECT_EQ(dense_kernel_threshold(), 0u);
    }
    EXPECT_EQ(dense_kernel_threshold(), default_dense_kernel_threshold);
}

// Just below the threshold the entry point is the Jacobi kernel bit for bit; at the
// threshold it is LAPACK's.
TEST(DenseKernelThreshold, SelectsTheEigensolverByBasisSize) {
    const std::size_t below = default_dense_kernel_threshold - 1;
    const std::size_t at = default_dense_kernel_threshold;
    struct Case {
        std::size_t n;
        bool lapack;
    };
    for (const Case c : {Case{below, false}, Case{at, true}}) {
        SCOPED_TRACE(c.n);
        const AlignedMatrix a = random_symmetric(c.n, 4);
        AlignedMatrix work(c.n, c.n), vectors(c.n, c.n), kernel_vectors(c.n, c.n);
        AlignedVec64 values(c.n), kernel_values(c.n);
        diagonalize_symmetric_with_work(a, work, values, vectors);
        if (c.lapack)
            lapack_diagonalize_symmetric(a, work, kernel_values, kernel_vectors);
        else
            jacobi_diagonalize_symmetric(a, work, kernel_values, kernel_vectors);
        EXPECT_TRUE(identical(vectors, kernel_vectors));
        EXPECT_EQ(std::memcmp(values.data(), kernel_values.data(), c.n * sizeof(double)), 0);
    }
}

// Below the threshold the default is exactly the engine's own loops (forced with SIZE_MAX);
// at the threshold BLAS computes the same products and densities to rounding.
TEST(DenseKernelThreshold, ProductsAndDensitiesAgreeOnBothPaths) {
    for (const std::size_t n :
         {default_dense_kernel_threshold - 1, default_dense_kernel_threshold + 6}) {
        SCOPED_TRACE(n);
        const AlignedMatrix a = random_symmetric(n, 1);
        const AlignedMatrix b = random_symmetric(n, 2);
        const AlignedMatrix orbitals = fixtures::random_orthonormal_orbitals(n, 3);
        const std::size_t occupied = n / 3;
        AlignedMatrix product(n, n), own_product(n, n), blas_product(n, n);
        AlignedMatrix density(n, n), own_density(n, n), blas_density(n, n);
        multiply_matrices(a, b, product);
        compute_density_matrix(orbitals, occupied, density);
        {
            const ScopedDenseKernelThreshold own(SIZE_MAX);
            multiply_matrices(a, b, own_product);
            compute_density_matrix(orbitals, occupied, own_density);
        }
        {
            const ScopedDenseKernelThreshold library(0);
            multiply_matrices(a, b, blas_product);
            blas_density.fill(5.0); // overwritten, both triangles
            compute_density_matrix(orbitals, occupied, blas_density);
        }
        const bool below = n < default_dense_kernel_threshold;
        EXPECT_TRUE(identical(product, below ? own_product : blas_product));
        EXPECT_TRUE(identical(density, below ? own_density : blas_density));
        EXPECT_LT(max_difference(own_product, blas_product), 1e-12);
        EXPECT_LT(max_difference(own_density, blas_density), 1e-13);
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < i; ++j)
                ASSERT_EQ(blas_density(i, j), blas_density(j, i));
        }
        // Matches the definition P = 2·C_occ·C_occᵀ.
        EXPECT_LT(max_difference(blas_density, fixtures::closed_shell_density(orbitals, occupied)),
                  1e-13);
    }
}

// The DIIS error FP − PF of a large basis is formed tile by tile after a BLAS product: the
// same antisymmetric matrix and the same largest element as the engine's own loops, to
// rounding.
TEST(DenseKernelThreshold, DiisErrorAgreesOnBothPaths) {
    const std::size_t n = default_dense_kernel_threshold + 5;
    const AlignedMatrix fock = random_symmetric(n, 31);
    const AlignedMatrix density =
        fixtures::closed_shell_density(fixtures::random_orthonormal_orbitals(n, 32), n / 2);
    DiisWorkspace own_diis = DiisWorkspace::allocate(n, 6);
    DiisWorkspace library_diis = DiisWorkspace::allocate(n, 6);
    AlignedMatrix scratch(n, n), own_fock = fock, library_fock = fock;
    DiisStep own_step, library_step;
    {
        const ScopedDenseKernelThreshold own(SIZE_MAX);
        own_step = own_diis.push_and_extrapolate(own_fock, density, scratch);
    }
    library_step = library_diis.push_and_extrapolate(library_fock, density, scratch);
    const AlignedMatrix& own_error = own_diis.error_history[own_diis.slot_order[0]];
    const AlignedMatrix& library_error = library_diis.error_history[library_diis.slot_order[0]];
    EXPECT_LT(max_difference(own_error, library_error), 1e-12);
    EXPECT_NEAR(library_step.max_abs_error, own_step.max_abs_error, 1e-12);
    EXPECT_NEAR(library_step.rms_error, own_step.rms_error, 1e-12);
    EXPECT_GT(own_step.max_abs_error, 0.1); // a random F does not commute with P
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j <= i; ++j)
            ASSERT_EQ(library_error(i, j), -library_error(j, i));
    }
}

struct SinglePoint {
    ScfResult scf;
    std::vector<std::array<double, 3>> gradient;
    DipoleResult dipole;
    std::vector<double> mulliken_charges;
};

SinglePoint run_single_point(const fixtures::Molecule& molecule, const ParameterModel& model) {
    MolecularBatch batch = fixtures::make_batch(molecule, model);
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    SinglePoint out;
    out.scf = run_rhf_scf_with_options(batch, model, workspace, {});
    out.gradient.assign(batch.n_atoms, {});
    compute_cartesian_gradients_with_options(batch, model, workspace.density,
                                             out.gradient, {});
    out.dipole = compute_dipole(batch, model, workspace.density);
    out.mulliken_charges = compute_mulliken_population(batch, model, workspace.eigenvectors,
                                                       count_occupied_orbitals(batch, model))
                               .charges;
    return out;
}

// A molecule just above the threshold gives the Jacobi path's single point on LAPACK/BLAS:
// the same SCF iterations, energies to 1e-8 eV, gradients to 1e-6 eV/Å, charges to 1e-8 e.
TEST(DenseKernelThreshold, SinglePointJustAboveTheThresholdMatchesTheJacobiPath) {
    const fixtures::Molecule molecule = fixtures::acetic_acid();
    for (const auto& [name, model] :
         {fixtures::NamedModel{"PM6", pm6_model()}, fixtures::NamedModel{"PM7", pm7_model()}}) {
        SCOPED_TRACE(name);
        const MolecularBatch batch = fixtures::make_batch(molecule, model);
        ASSERT_GE(batch.n_orbitals, default_dense_kernel_threshold);
        ASSERT_LT(batch.n_orbitals, default_dense_kernel_threshold + 8);

        const SinglePoint library = run_single_point(molecule, model);
        SinglePoint own;
        {
            const ScopedDenseKernelThreshold jacobi(SIZE_MAX);
            own = run_single_point(molecule, model);
        }
        ASSERT_TRUE(own.scf.converged);
        ASSERT_TRUE(library.scf.converged);
        EXPECT_EQ(library.scf.iterations, own.scf.iterations);
        EXPECT_NEAR(library.scf.total_energy_ev, own.scf.total_energy_ev, 1e-8);
        EXPECT_NEAR(library.scf.electronic_energy_ev, own.scf.electronic_energy_ev, 1e-8);
        EXPECT_NEAR(library.scf.homo_energy_ev, own.scf.homo_energy_ev, 1e-8);
        EXPECT_NEAR(library.scf.lumo_energy_ev, own.scf.lumo_energy_ev, 1e-8);
        for (std::size_t atom = 0; atom < batch.n_atoms; ++atom) {
            for (int axis = 0; axis < 3; ++axis)
                EXPECT_NEAR(library.gradient[atom][axis], own.gradient[atom][axis], 1e-6);
            EXPECT_NEAR(library.dipole.zdo_charges[atom], own.dipole.zdo_charges[atom], 1e-8);
            EXPECT_NEAR(library.mulliken_charges[atom], own.mulliken_charges[atom], 1e-8);
        }
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_NEAR(library.dipole.dipole_debye[axis], own.dipole.dipole_debye[axis], 1e-7);
        // A polar molecule, so the comparison above is not between two zeros.
        EXPECT_GT(own.dipole.dipole_length_debye, 0.5);
    }
}

} // namespace
} // namespace quelm
