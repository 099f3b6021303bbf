#include "fixtures.hpp"
#include "parameters/models.hpp"
#include "scf/dense_kernel_threshold.hpp"
#include "scf/scf_loop.hpp"
#include "types/internal_error.hpp"
#include "vibrations/hessian.hpp"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace quelm {
namespace {

// PM6 (NDDO) minima, optimised with ASE's BFGS on this engine's gradients to 1e-4 eV/Å.
// clang-format off
fixtures::Molecule water_minimum() { return {{8, 1, 1}, {{{0.0, 0.0, 0.100007}, {0.0, 0.765551, -0.460554}, {0.0, -0.765551, -0.460554}}}}; }
fixtures::Molecule formaldehyde_minimum() { return {{6, 8, 1, 1}, {{{0.0, 0.0, -0.004178}, {0.0, 0.0, 1.206617}, {0.0, 0.930292, -0.58622}, {0.0, -0.930292, -0.58622}}}}; }
// clang-format on

ScfOptions tight_scf(bool use_nddo) {
    ScfOptions options;
    options.max_iter = 100;
    options.energy_tol_ev = 1e-8;
    options.density_tol = 1e-7;
    options.use_nddo = use_nddo;
    return options;
}

HessianResult analyse(const fixtures::Molecule& molecule, const ParameterModel& model,
                      HessianOptions options) {
    MolecularBatch batch = fixtures::make_batch(molecule, model);
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    return compute_hessian_and_frequencies(batch, model, workspace, tight_scf(options.use_nddo),
                                           options);
}

HessianOptions nddo_options() {
    HessianOptions options;
    options.use_nddo = true;
    return options;
}

double scf_energy(const fixtures::Molecule& molecule, const ParameterModel& model) {
    MolecularBatch batch = fixtures::make_batch(molecule, model);
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    return run_rhf_scf_with_options(batch, model, workspace, tight_scf(true)).total_energy_ev;
}

// At a minimum the rigid motions cost no energy: without the projection the six (water,
// formaldehyde) eigenvalues of smallest magnitude are near zero, and the projection leaves
// the vibrations as they were.
TEST(Hessian, RigidMotionsAreNearZeroWithoutProjection) {
    for (const fixtures::Molecule& molecule : {water_minimum(), formaldehyde_minimum()}) {
        HessianOptions raw = nddo_options();
        raw.project_external = false;
        const HessianResult unprojected = analyse(molecule, pm6_model(), raw);
        const HessianResult projected = analyse(molecule, pm6_model(), nddo_options());
        std::vector<double> magnitudes;
        for (double nu : unprojected.all_frequencies)
            magnitudes.push_back(std::fabs(nu));
        std::sort(magnitudes.begin(), magnitudes.end());
        EXPECT_LT(magnitudes[5], 20.0);
        EXPECT_GT(magnitudes[6], 500.0);
        ASSERT_EQ(projected.vibrational_frequencies.size(), 3 * molecule.atomic_numbers.size() - 6);
        for (std::size_t k = 0; k < projected.vibrational_frequencies.size(); ++k) {
            EXPECT_NEAR(unprojected.vibrational_frequencies[k],
                        projected.vibrational_frequencies[k], 0.5);
        }
    }
}

// The diagonal of the gradient-difference Hessian against second differences of the SCF
// energy itself, an independent route to the same curvature.
TEST(Hessian, DiagonalMatchesSecondDifferencesOfTheEnergy) {
    const fixtures::Molecule molecule = water_minimum();
    const HessianResult result = analyse(molecule, pm6_model(), nddo_options());
    const double h = 0.005;
    const double e0 = scf_energy(molecule, pm6_model());
    for (std::size_t c = 0; c < 9; ++c) {
        fixtures::Molecule plus = molecule, minus = molecule;
        plus.coordinates[c / 3][c % 3] += h;
        minus.coordinates[c / 3][c % 3] -= h;
        const double curvature =
            (scf_energy(plus, pm6_model()) - 2.0 * e0 + scf_energy(minus, pm6_model())) / (h * h) *
            23.06054783061903;
        SCOPED_TRACE(c);
        EXPECT_NEAR(result.cartesian_hessian(c, c), curvature, 0.01 * std::fabs(curvature) + 0.5);
    }
}

// A diatomic is linear: five rigid modes, one vibration, ν = (1/2πc)·sqrt(k/μ) with k the
// curvature of the energy along the bond and μ the reduced mass.
TEST(Hessian, DiatomicFrequencyFollowsTheBondCurvature) {
    const double r = 0.6775, h = 0.005;
    const auto h2 = [](double length) {
        return fixtures::Molecule{{1, 1}, {{{0.0, 0.0, 0.0}, {0.0, 0.0, length}}}};
    };
    const HessianResult result = analyse(h2(r), am1_model(), nddo_options());
    ASSERT_EQ(result.vibrational_frequencies.size(), 1u);
    const double k = (scf_energy(h2(r + h), am1_model()) - 2.0 * scf_energy(h2(r), am1_model()) +
                      scf_energy(h2(r - h), am1_model())) /
                     (h * h) * 23.06054783061903;
    const double mu = 1.0079 / 2.0;
    EXPECT_NEAR(result.vibrational_frequencies[0], 108.59135859237747 * std::sqrt(k / mu), 2.0);
    // The reduced mass of a mode normalised in Cartesian displacements: both atoms move by
    // 1/√2, so μ = 1/Σ(e/√m)² is the atomic mass itself.
    EXPECT_NEAR(result.normal_modes.back().reduced_mass_amu, 1.0079, 1e-6);
}

// Turning the molecule and relabelling its atoms changes no frequency.
TEST(Hessian, FrequenciesAreInvariantToRotationAndAtomOrder) {
    const fixtures::Molecule molecule = formaldehyde_minimum();
    const fixtures::Molecule turned =
        fixtures::rotated(molecule, fixtures::rotation_about({0.3, -0.5, 0.8}, 1.1));
    fixtures::Molecule reordered;
    for (std::size_t a : {3, 1, 2, 0}) {
        reordered.atomic_numbers.push_back(turned.atomic_numbers[a]);
        reordered.coordinates.push_back(turned.coordinates[a]);
    }
    const HessianResult reference = analyse(molecule, pm6_model(), nddo_options());
    const HessianResult moved = analyse(reordered, pm6_model(), nddo_options());
    ASSERT_EQ(moved.vibrational_frequencies.size(), reference.vibrational_frequencies.size());
    for (std::size_t k = 0; k < reference.vibrational_frequencies.size(); ++k) {
        EXPECT_NEAR(moved.vibrational_frequencies[k], reference.vibrational_frequencies[k], 0.5);
    }
    EXPECT_NEAR(moved.thermodynamics.entropy_total_cal_k_mol,
                reference.thermodynamics.entropy_total_cal_k_mol, 1e-3);
}

// The displaced SCFs give the same Hessian, bit for bit, on one thread or several (with the
// LAPACK eigensolver, as large molecules use it); started from the base density they agree
// with cold starts within the SCF tolerances.
TEST(Hessian, ThreadCountAndWarmStartsDoNotChangeTheResult) {
    const ScopedDenseKernelThreshold lapack_everywhere(0);
    const fixtures::Molecule molecule = formaldehyde_minimum();
    HessianOptions serial = nddo_options();
    serial.max_threads = 1;
    HessianOptions parallel = nddo_options();
    parallel.max_threads = 3;
    HessianOptions cold = parallel;
    cold.start_from_base_density = false;
    const HessianResult one = analyse(molecule, pm6_model(), serial);
    const HessianResult many = analyse(molecule, pm6_model(), parallel);
    const HessianResult cold_started = analyse(molecule, pm6_model(), cold);
    const std::size_t n = one.cartesian_hessian.size();
    for (std::size_t k = 0; k < n; ++k) {
        ASSERT_EQ(one.cartesian_hessian.data()[k], many.cartesian_hessian.data()[k]);
        EXPECT_NEAR(cold_started.cartesian_hessian.data()[k], one.cartesian_hessian.data()[k],
                    0.05);
    }
    for (std::size_t k = 0; k < one.vibrational_frequencies.size(); ++k) {
        EXPECT_NEAR(cold_started.vibrational_frequencies[k], one.vibrational_frequencies[k], 0.05);
    }
}

// HCN bent by 1e-5 Å, as optimisers leave linear molecules: linear for the rigid-mode count,
// and its two bends survive the projection instead of one being taken for a rotation.
TEST(Hessian, NearlyLinearMoleculeKeepsBothBends) {
    const fixtures::Molecule hcn = {{1, 6, 7},
                                    {{{-1.07, 0.0, 0.0}, {0.0, 1e-5, 0.0}, {1.16, 0.0, 0.0}}}};
    const HessianResult result = analyse(hcn, pm6_model(), nddo_options());
    ASSERT_EQ(result.vibrational_frequencies.size(), 4u);
    EXPECT_GT(std::fabs(result.vibrational_frequencies[0]), 100.0);
    EXPECT_NEAR(result.vibrational_frequencies[0], result.vibrational_frequencies[1], 1.0);
}

TEST(Hessian, SingleAtomHasOnlyRigidModes) {
    const HessianResult result = analyse({{6}, {{{0.0, 0.0, 0.0}}}}, pm6_model(), nddo_options());
    EXPECT_EQ(result.all_frequencies.size(), 3u);
    EXPECT_EQ(result.normal_modes.size(), 3u);
    EXPECT_TRUE(result.vibrational_frequencies.empty());
    EXPECT_EQ(result.zpve, 0.0);
    EXPECT_EQ(result.thermodynamics.entropy_rot_cal_k_mol, 0.0);
}

TEST(Hessian, RefusesAbsentMassesUnconvergedScfsAndNonPositiveTemperature) {
    const std::vector<std::uint8_t> curium = {6, 96};
    const Result<std::vector<double>> masses = resolve_vibrational_masses(curium, std::nullopt);
    ASSERT_FALSE(masses.ok());
    EXPECT_EQ(
        masses.error(),
        "No standard atomic mass for element Z=96: pass custom_masses with one mass per atom");
    EXPECT_TRUE(resolve_vibrational_masses(curium, std::vector<double>{12.0, 247.0}).ok());

    // An SCF that cannot converge (one iteration per attempt, even on the retry ladder)
    // stops the call instead of leaving a wrong column in the Hessian.
    MolecularBatch batch = fixtures::make_batch(water_minimum(), pm6_model());
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    ScfOptions one_iteration = tight_scf(true);
    one_iteration.max_iter = 1;
    try {
        compute_hessian_and_frequencies(batch, pm6_model(), workspace, one_iteration,
                                        nddo_options());
        FAIL() << "no error";
    } catch (const InternalError& error) {
        EXPECT_STREQ(error.what(), "Base SCF must converge before computing Hessian");
    }

    HessianOptions frozen = nddo_options();
    frozen.temperature_k = 0.0;
    try {
        analyse(water_minimum(), pm6_model(), frozen);
        FAIL() << "no error";
    } catch (const InternalError& error) {
        EXPECT_STREQ(error.what(), "Temperature must be strictly positive");
    }
}

} // namespace
} // namespace quelm
