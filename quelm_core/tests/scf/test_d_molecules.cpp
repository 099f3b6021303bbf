// Single points of molecules whose heavy atoms carry d orbitals: PM6's Si, P, S, Cl, Br and I
// and, for the branches with PM7's feathering, the fixtures' test double.

#include "fixtures.hpp"
#include "fock/fock_builder.hpp"
#include "gradients/nuclear_gradients.hpp"
#include "hamiltonian/hcore.hpp"
#include "integrals/multipoles.hpp"
#include "parameters/models.hpp"
#include "properties/heat.hpp"
#include "reference_data.hpp"
#include "scf/scf_loop.hpp"
#include "types/physical_constants.hpp"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <string>

namespace quelm {
namespace {

struct Named {
    const char* name;
    fixtures::Molecule molecule;
};

// The fixture geometries the peer energies of sparrow_pm6_d_molecules.csv refer to.
std::vector<Named> fixture_d_molecules() {
    return {{"sulfur_dioxide", fixtures::sulfur_dioxide()},
            {"sulfur_hexafluoride", fixtures::sulfur_hexafluoride()},
            {"phosphorus_trichloride", fixtures::phosphorus_trichloride()},
            {"sulfuric_acid", fixtures::sulfuric_acid()},
            {"dimethyl_sulfoxide", fixtures::dimethyl_sulfoxide()},
            {"dibromomethane", fixtures::dibromomethane()},
            {"iodomethane", fixtures::iodomethane()},
            {"thiophene", fixtures::thiophene()},
            {"hydrogen_sulfide", fixtures::hydrogen_sulfide()},
            {"dichloromethane", fixtures::dichloromethane()},
            {"bromomethane", fixtures::bromomethane()}};
}

struct Converged {
    MolecularBatch batch;
    ScfWorkspace workspace;
    ScfResult result;
};

Converged run(const fixtures::Molecule& molecule, const ParameterModel& model, bool tight) {
    Converged c{fixtures::make_batch(molecule, model), {}, {}};
    c.workspace = ScfWorkspace::allocate(c.batch.n_orbitals);
    ScfOptions options;
    if (tight) {
        options.energy_tol_ev = 1e-11;
        options.density_tol = 1e-10;
        options.max_iter = 200;
    }
    c.result = run_rhf_scf_with_options(c.batch, model, c.workspace, options);
    return c;
}

// Largest element of F·P − P·F for the Fock matrix rebuilt from the final density: zero
// at self-consistency (the NDDO basis is orthonormal).
double commutator_norm(const Converged& c, const ParameterModel& model) {
    const std::size_t n = c.batch.n_orbitals;
    const std::vector<DiatomicPairIntegrals> pairs = precompute_diatomic_pairs(c.batch, model);
    AlignedMatrix hcore(n, n), fock(n, n);
    build_hcore_nddo(c.batch, model, pairs.data(), pairs.size(), hcore);
    build_fock_nddo(c.batch, model, pairs.data(), pairs.size(), hcore, c.workspace.density, fock);
    double largest = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            double fp = 0.0, pf = 0.0;
            for (std::size_t k = 0; k < n; ++k) {
                fp += fock(i, k) * c.workspace.density(k, j);
                pf += c.workspace.density(i, k) * fock(k, j);
            }
            largest = std::max(largest, std::abs(fp - pf));
        }
    }
    return largest;
}

// With default settings every molecule converges, self-consistently and with every valence
// electron, to the ground state that an independent program finds: a run that settles on
// another configuration (as one started with half the electrons in the empty d shells does)
// is off by eV.
TEST(DMolecules, Pm6ConvergesToThePeerEnergiesWithDefaultSettings) {
    const std::vector<Named> molecules = fixture_d_molecules();
    std::size_t compared = 0;
    for (const auto& row : testing::detail::read_csv("sparrow_pm6_d_molecules.csv")) {
        const std::string& fixture = testing::detail::column(row, "fixture");
        SCOPED_TRACE(testing::detail::column(row, "molecule"));
        const auto named = std::find_if(molecules.begin(), molecules.end(),
                                        [&](const Named& m) { return m.name == fixture; });
        ASSERT_NE(named, molecules.end());
        const Converged c = run(named->molecule, pm6_model(), false);
        EXPECT_NE(std::find(c.batch.basis_types.begin(), c.batch.basis_types.end(), 9),
                  c.batch.basis_types.end());
        ASSERT_TRUE(c.result.converged);
        EXPECT_LT(commutator_norm(c, pm6_model()), 1e-3);
        double electrons = 0.0, trace = 0.0;
        for (std::uint8_t z : named->molecule.atomic_numbers)
            electrons += pm6_model().get_element(z)->core_charge;
        for (std::size_t i = 0; i < c.batch.n_orbitals; ++i)
            trace += c.workspace.density(i, i);
        EXPECT_NEAR(trace, electrons, 1e-8);
        EXPECT_NEAR(c.result.total_energy_ev, testing::detail::number(row, "total_energy_ev"),
                    testing::detail::number(row, "tol_energy_ev"));
        ++compared;
    }
    EXPECT_EQ(compared, molecules.size());
}

// The d shells turn with the molecule through the overlaps, the 45 × 45 pair blocks and the
// one-centre table; any inconsistency among them shows up as an orientation-dependent
// energy.
TEST(DMolecules, EnergyIsInvariantUnderRotationAndTranslation) {
    const fixtures::Pm6WithDerivedDData feathered(true);
    const std::array<fixtures::Rotation, 3> rotations = {
        fixtures::rotation_about({1.0, 2.0, 3.0}, 0.7),
        fixtures::rotation_about({0.0, 0.0, 1.0}, 2.4),
        fixtures::rotation_about({-0.3, 1.0, 0.1}, 4.0)};
    const Coordinate shift = {3.1, -2.0, 0.4};
    for (const ParameterModel* model : {static_cast<const ParameterModel*>(&pm6_model()),
                                        static_cast<const ParameterModel*>(&feathered)}) {
        for (const Named& m : {Named{"SO2", fixtures::sulfur_dioxide()},
                               Named{"CH2Cl2", fixtures::dichloromethane()}}) {
            SCOPED_TRACE(std::string(m.name) + (model == &feathered ? " with d data" : " PM6"));
            const Converged reference = run(m.molecule, *model, true);
            ASSERT_TRUE(reference.result.converged);
            for (const fixtures::Rotation& rotation : rotations) {
                fixtures::Molecule moved = fixtures::rotated(m.molecule, rotation);
                for (Coordinate& position : moved.coordinates)
                    for (int k = 0; k < 3; ++k)
                        position[k] += shift[k];
                const Converged turned = run(moved, *model, true);
                EXPECT_TRUE(turned.result.converged);
                EXPECT_NEAR(turned.result.total_energy_ev, reference.result.total_energy_ev, 1e-8);
            }
        }
    }
}

// At a converged SCF the energy is stationary in the density, so the frozen-density
// gradient is the derivative of the total energy itself.
TEST(DMolecules, GradientsMatchFiniteDifferencesOfConvergedEnergies) {
    const fixtures::Pm6WithDerivedDData feathered(true);
    const fixtures::Molecule molecule = fixtures::sulfur_dioxide();
    for (const ParameterModel* model : {static_cast<const ParameterModel*>(&pm6_model()),
                                        static_cast<const ParameterModel*>(&feathered)}) {
        SCOPED_TRACE(model == &feathered ? "with d data" : "PM6");
        Converged c = run(molecule, *model, true);
        ASSERT_TRUE(c.result.converged);
        std::vector<std::array<double, 3>> gradient(c.batch.n_atoms);
        compute_cartesian_gradients_with_options(c.batch, *model, c.workspace.density, gradient,
                                                 GradientOptions{true});
        for (std::size_t i = 0; i < molecule.atomic_numbers.size(); ++i) {
            for (int axis = 0; axis < 3; ++axis) {
                fixtures::Molecule displaced = molecule;
                displaced.coordinates[i][axis] += 1e-4;
                const double plus = run(displaced, *model, true).result.total_energy_ev;
                displaced.coordinates[i][axis] -= 2e-4;
                const double minus = run(displaced, *model, true).result.total_energy_ev;
                EXPECT_NEAR(gradient[i][axis], (plus - minus) * 5000.0, 1e-3 / kcal_mol_per_ev)
                    << "atom " << i << " axis " << axis;
            }
        }
    }
}

// Heats of formation and core–core repulsions against the reference program for every PM6
// molecule with Si, P, S or Cl.
TEST(DMolecules, Pm6HeatsOfSiPSClMoleculesAgainstTheReference) {
    std::size_t compared = 0;
    for (const testing::ReferenceCase& c : testing::load_reference_cases()) {
        if (c.method != "PM6")
            continue;
        bool has_d_atom = false;
        for (std::uint8_t z : c.atomic_numbers)
            has_d_atom = has_d_atom || pm6_model().get_d_element_params(z).has_value();
        if (!has_d_atom)
            continue;
        SCOPED_TRACE(c.label());
        const ParameterModel& model = pm6_model();
        const Converged run_result = run({c.atomic_numbers, c.coordinates}, model, false);
        EXPECT_NEAR(run_result.result.nuclear_repulsion_ev, c.core_core_repulsion_ev,
                    c.tol_core_core_ev);
        EXPECT_TRUE(run_result.result.converged);
        double isolated_ev = 0.0, atomic_heats_kcal = 0.0;
        for (const std::uint8_t z : c.atomic_numbers) {
            const IsolatedAtomReference ref = get_isolated_atom_energy_and_heat(z, model);
            isolated_ev += ref.energy_ev;
            atomic_heats_kcal += ref.heat_of_formation_kcal;
        }
        const double heat_kcal =
            atomic_heats_kcal + kcal_mol_per_ev * (run_result.result.total_energy_ev - isolated_ev);
        EXPECT_NEAR(heat_kcal, c.heat_of_formation_kcal, c.tol_hof_kcal);
        EXPECT_NEAR(run_result.result.total_energy_ev, c.total_energy_ev, c.tol_energy_ev);
        ++compared;
    }
    EXPECT_EQ(compared, 6u); // Cl2, HCl, SiH4, PH3, H2S, CH3Cl
}

} // namespace
} // namespace quelm
