#include "fixtures.hpp"
#include "parameters/models.hpp"
#include "scf/scf_loop.hpp"
#include "solvation/cosmo.hpp"
#include "types/physical_constants.hpp"

#include <cmath>
#include <gtest/gtest.h>

namespace quelm {
namespace {

constexpr double probe_radius = 1.30005;

ScfResult run_scf(const fixtures::Molecule& molecule, const ParameterModel& model,
                  std::optional<double> dielectric, bool use_nddo = true) {
    const MolecularBatch batch = fixtures::make_batch(molecule, model);
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    ScfOptions options;
    options.energy_tol_ev = 1e-10;
    options.density_tol = 1e-9;
    options.use_nddo = use_nddo;
    if (dielectric)
        options.cosmo = CosmoSettings{*dielectric, probe_radius};
    const ScfResult result = run_rhf_scf_with_options(batch, model, workspace, options);
    EXPECT_TRUE(result.converged);
    return result;
}

// E(ε) − E(vacuum), eV.
double solvation_energy(const fixtures::Molecule& molecule, const ParameterModel& model,
                        double dielectric, bool use_nddo = true) {
    return run_scf(molecule, model, dielectric, use_nddo).total_energy_ev -
           run_scf(molecule, model, std::nullopt, use_nddo).total_energy_ev;
}

const ParameterModel* sp_models[] = {&mndo_model(), &am1_model(), &pm3_model(),
                                     &rm1_model(),  &pm6_model(), &pm7_model()};

// A polar solute is stabilised by its reaction field, the more the stronger the dielectric
// screens; at ε = 1 nothing screens and the energy is the vacuum one.
TEST(CosmoSolvation, StabilisesPolarMoleculesMoreAsTheDielectricGrows) {
    struct Case {
        const char* name;
        fixtures::Molecule molecule;
    };
    const Case cases[] = {{"water", fixtures::water()}, {"formaldehyde", fixtures::formaldehyde()}};
    for (const Case& c : cases) {
        for (const ParameterModel* model : sp_models) {
            SCOPED_TRACE(testing::Message() << c.name << " " << model->name());
            EXPECT_NEAR(solvation_energy(c.molecule, *model, 1.0), 0.0, 1e-9);
            double previous = 0.0;
            for (double dielectric : {2.0, 4.0, 78.4}) {
                const double energy = solvation_energy(c.molecule, *model, dielectric);
                EXPECT_LT(energy, previous - 0.01) << "ε = " << dielectric;
                previous = energy;
            }
        }
    }
}

// The electrostatic hydration of water is of the size of its measured hydration free
// energy, −6.3 kcal/mol (Ben-Naim & Marcus, J. Chem. Phys. 81, 2016 (1984)); methane, with no
// dipole, gains almost nothing.
TEST(CosmoSolvation, HasThePhysicalSizeForWaterAndAlmostNothingForMethane) {
    for (const ParameterModel* model : sp_models) {
        SCOPED_TRACE(model->name());
        const double water_kcal =
            kcal_mol_per_ev * solvation_energy(fixtures::water(), *model, 78.4);
        EXPECT_GT(water_kcal, -10.0);
        EXPECT_LT(water_kcal, -3.0);
        const double methane_kcal =
            kcal_mol_per_ev * solvation_energy(fixtures::methane(), *model, 78.4);
        EXPECT_LE(methane_kcal, 1e-9);
        EXPECT_GT(methane_kcal, -0.5);
    }
}

// The tessellation grid is fixed in space, so turning the molecule samples its surface
// differently: the solvation energy of water and formaldehyde (about −0.27 eV with PM6)
// varies by up to about 0.002 eV over orientations; the vacuum energy does not change.
TEST(CosmoSolvation, KeepsTheEnergyOfARotatedMoleculeWithinTheGridsResolution) {
    for (const fixtures::Molecule& molecule : {fixtures::water(), fixtures::formaldehyde()}) {
        const double vacuum = run_scf(molecule, pm6_model(), std::nullopt).total_energy_ev;
        const double solvated = run_scf(molecule, pm6_model(), 78.4).total_energy_ev;
        const std::array<double, 3> axes[] = {{1, 0, 0}, {0.3, 1, -0.5}, {-1, 2, 2}, {0, 0, 1}};
        for (std::size_t t = 0; t < std::size(axes); ++t) {
            SCOPED_TRACE(t);
            const fixtures::Molecule turned =
                fixtures::rotated(molecule, fixtures::rotation_about(axes[t], 0.4 + 0.7 * t));
            EXPECT_NEAR(run_scf(turned, pm6_model(), std::nullopt).total_energy_ev, vacuum, 1e-7);
            EXPECT_NEAR(run_scf(turned, pm6_model(), 78.4).total_energy_ev, solvated, 5e-3);
        }
    }
}

TEST(CosmoSolvation, KeepsTheEnergyOfATranslatedMolecule) {
    const fixtures::Molecule water = fixtures::water();
    fixtures::Molecule moved = water;
    for (Coordinate& r : moved.coordinates)
        r = {r[0] + 2.5, r[1] - 7.0, r[2] + 0.75};
    EXPECT_NEAR(run_scf(moved, pm6_model(), 78.4).total_energy_ev,
                run_scf(water, pm6_model(), 78.4).total_energy_ev, 1e-7);
}

// At self-consistency the energy is stationary in the density, so its derivative with
// respect to the screening factor is the explicit one: the dielectric energy is linear in f
// at fixed density, dE/dε = (E_diel/f)·df/dε with df/dε = 1.5/(ε + ½)².
TEST(CosmoSolvation, ChangesWithTheDielectricAsTheReactionFieldEnergyPredicts) {
    const double dielectric = 4.0;
    const double step = 0.02;
    for (const fixtures::Molecule& molecule : {fixtures::water(), fixtures::formaldehyde()}) {
        const ScfResult at = run_scf(molecule, am1_model(), dielectric);
        ASSERT_TRUE(at.cosmo_energy_ev.has_value());
        const double numeric = (run_scf(molecule, am1_model(), dielectric + step).total_energy_ev -
                                run_scf(molecule, am1_model(), dielectric - step).total_energy_ev) /
                               (2.0 * step);
        const double f = cosmo_screening_factor(dielectric);
        const double df = 1.5 / ((dielectric + 0.5) * (dielectric + 0.5));
        EXPECT_NEAR(numeric, *at.cosmo_energy_ev / f * df, 1e-6);
    }
}

// The cores' dielectric energy joins the core–core repulsion; the run reports the total
// dielectric energy of its last iteration; the solvent draws charge onto the oxygen.
TEST(CosmoSolvation, ReportsTheDielectricEnergyAndPolarisesTheSolute) {
    const fixtures::Molecule water = fixtures::water();
    const MolecularBatch batch = fixtures::make_batch(water, pm6_model());
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    ScfOptions options;
    const ScfResult vacuum = run_rhf_scf_with_options(batch, pm6_model(), workspace, options);
    const double oxygen_vacuum = workspace.density(0, 0) + workspace.density(1, 1) +
                                 workspace.density(2, 2) + workspace.density(3, 3);
    options.cosmo = CosmoSettings{78.4, probe_radius};
    const ScfResult solvated = run_rhf_scf_with_options(batch, pm6_model(), workspace, options);
    const double oxygen_solvated = workspace.density(0, 0) + workspace.density(1, 1) +
                                   workspace.density(2, 2) + workspace.density(3, 3);

    EXPECT_FALSE(vacuum.cosmo_energy_ev.has_value());
    ASSERT_TRUE(solvated.cosmo_energy_ev.has_value());
    const std::optional<CosmoState> state =
        CosmoState::initialize(batch, pm6_model(), 78.4, probe_radius);
    ASSERT_TRUE(state.has_value());
    EXPECT_NEAR(solvated.nuclear_repulsion_ev - vacuum.nuclear_repulsion_ev,
                state->nuclear_dielectric_energy_ev, 1e-9);
    // The solvated density costs energy in vacuum (the vacuum density minimises that), so the
    // total gain falls short of the dielectric energy.
    EXPECT_LT(*solvated.cosmo_energy_ev, solvated.total_energy_ev - vacuum.total_energy_ev);
    EXPECT_GT(oxygen_solvated, oxygen_vacuum + 0.01);
}

TEST(CosmoSolvation, RunsInTheRetryLadderAndTheTwoCentreModel) {
    const fixtures::Molecule water = fixtures::water();
    const MolecularBatch batch = fixtures::make_batch(water, pm6_model());
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    const ScfResult ladder = run_rhf_scf_adaptive_with_nddo_and_cosmo(
        batch, pm6_model(), workspace, 60, 1e-10, 1e-9, true, CosmoSettings{78.4, probe_radius});
    ASSERT_TRUE(ladder.converged);
    ASSERT_TRUE(ladder.cosmo_energy_ev.has_value());
    EXPECT_NEAR(ladder.total_energy_ev, run_scf(water, pm6_model(), 78.4).total_energy_ev, 1e-7);

    EXPECT_LT(solvation_energy(water, pm6_model(), 78.4, false), -0.05);
}

// A cavity whose matrix cannot be factorised (see CosmoReactionField) leaves the run in
// vacuum, without a dielectric energy and without an error.
TEST(CosmoSolvation, FallsBackToVacuumWhenNoStateCanBeBuilt) {
    fixtures::Molecule far = fixtures::water();
    for (Coordinate& r : far.coordinates)
        r = {1e16, r[0], r[1]};
    const ScfResult solvated = run_scf(far, pm6_model(), 78.4);
    const ScfResult vacuum = run_scf(far, pm6_model(), std::nullopt);
    EXPECT_FALSE(solvated.cosmo_energy_ev.has_value());
    EXPECT_EQ(solvated.total_energy_ev, vacuum.total_energy_ev);
    EXPECT_EQ(solvated.iterations, vacuum.iterations);
}

} // namespace
} // namespace quelm
