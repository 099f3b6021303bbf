#include "karvel/karvel_molecules.hpp"
#include "karvel/solver.hpp"
#include "scf/scf_loop.hpp"
#include "types/physical_constants.hpp"

#include <cmath>
#include <gtest/gtest.h>

namespace quelm {
namespace {

using fixtures::Molecule;

double dense_energy(const MolecularBatch& batch, const ParameterModel& model) {
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    ScfOptions options;
    options.max_iter = 200;
    options.energy_tol_ev = 1e-9;
    options.density_tol = 1e-8;
    const ScfResult scf = run_rhf_scf_with_options(batch, model, workspace, options);
    EXPECT_TRUE(scf.converged);
    return scf.total_energy_ev;
}

KarvelOptions tight_options(double cutoff) {
    KarvelOptions options;
    options.energy_tol = 1e-8;
    options.jacobi_tol = 1e-5;
    options.cutoff_distance = cutoff;
    return options;
}

// At convergence the occupied LMOs span the occupied canonical space, so the energy is
// the dense SCF energy (0.01 kcal/mol per atom is the requirement; it does much better).
TEST(KarvelScf, MatchesTheDenseScfEnergy) {
    struct Case {
        const char* name;
        Molecule molecule;
        const ParameterModel& model;
    };
    const Case cases[] = {
        {"water PM6", fixtures::water(), pm6_model()},
        {"formaldehyde AM1", fixtures::formaldehyde(), am1_model()},
        {"nitromethane PM6", fixtures::nitromethane(), pm6_model()},
        {"carbon monoxide PM3", fixtures::carbon_monoxide(), pm3_model()},
        {"glycine zwitterion PM6", fixtures::glycine_zwitterion(), pm6_model()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MolecularBatch batch = fixtures::make_batch(c.molecule, c.model);
        const Result<KarvelResult> karvel =
            run_karvel_scf(batch, c.model, KarvelDispersion::none, tight_options(50.0));
        ASSERT_TRUE(karvel.ok()) << karvel.error();
        EXPECT_TRUE(karvel.value().converged);
        const double per_atom_kcal =
            std::abs(karvel.value().total_energy_ev - dense_energy(batch, c.model)) *
            kcal_mol_per_ev / static_cast<double>(batch.n_atoms);
        EXPECT_LT(per_atom_kcal, 1e-3);
        double charge = 0.0;
        for (const double q : karvel.value().atomic_charges)
            charge += q;
        EXPECT_NEAR(charge, 0.0, 1e-8);
    }
}

// Beyond the cutoff only net charges interact; the error vanishes once the cutoff
// covers the molecule.
TEST(KarvelScf, CutoffErrorShrinksAsTheCutoffGrows) {
    const MolecularBatch batch = fixtures::make_batch(fixtures::water_dimer(2.9), pm6_model());
    const double reference = dense_energy(batch, pm6_model());
    double previous = 1e9;
    for (const double cutoff : {2.0, 3.2, 10.0}) {
        SCOPED_TRACE(cutoff);
        const Result<KarvelResult> karvel =
            run_karvel_scf(batch, pm6_model(), KarvelDispersion::none, tight_options(cutoff));
        ASSERT_TRUE(karvel.ok());
        const double error = std::abs(karvel.value().total_energy_ev - reference);
        EXPECT_LT(error, previous);
        previous = error;
    }
    EXPECT_LT(previous, 1e-5);
}

TEST(KarvelScf, EdgeCasesOfTheIterationCount) {
    const MolecularBatch batch = fixtures::make_batch(fixtures::water(), pm6_model());
    KarvelOptions none;
    none.max_iter = 0;
    const KarvelResult idle =
        run_karvel_scf(batch, pm6_model(), KarvelDispersion::none, none).value();
    EXPECT_EQ(idle.iterations, 0u);
    EXPECT_FALSE(idle.converged);
    EXPECT_EQ(idle.total_energy_ev, 0.0);
    EXPECT_GT(idle.nuclear_repulsion_ev, 0.0);

    KarvelOptions frozen;
    frozen.max_jacobi_sweeps = 0; // no rotation: the density never changes
    const KarvelResult still =
        run_karvel_scf(batch, pm6_model(), KarvelDispersion::none, frozen).value();
    EXPECT_TRUE(still.converged);
    EXPECT_EQ(still.iterations, 2u);
    for (const Lmo& lmo : still.lmos) {
        if (lmo.lmo_type == LmoType::bonding_sigma) {
            EXPECT_EQ(lmo.energy, -12.0);
        }
    }
}

TEST(KarvelScf, RefusesWhatItCannotRepresent) {
    const MolecularBatch water = fixtures::make_batch(fixtures::water(), pm6_model());
    KarvelOptions bad_cutoff;
    bad_cutoff.cutoff_distance = 0.0;
    EXPECT_EQ(run_karvel_scf(water, pm6_model(), KarvelDispersion::none, bad_cutoff).error(),
              "cutoff_distance must be a positive number of angstrom (got 0.000000)");

    const MolecularBatch diborane = fixtures::make_batch(fixtures::diborane(), pm6_model());
    EXPECT_FALSE(run_karvel_scf(diborane, pm6_model(), KarvelDispersion::none, {}).ok());

    // Lithium hydride as Li–H: Li has one valence electron, the Lewis bond holds both.
    const Molecule hydrogen_atoms{{1, 1}, {{{0, 0, 0}, {0, 0, 3.0}}}};
    const MolecularBatch apart = fixtures::make_batch(hydrogen_atoms, pm6_model());
    EXPECT_EQ(run_karvel_scf(apart, pm6_model(), KarvelDispersion::none, {}).error(),
              "Lewis structure holds 0 valence electrons but the molecule has 2: no "
              "localized-orbital start for this bonding pattern");
}

} // namespace
} // namespace quelm
