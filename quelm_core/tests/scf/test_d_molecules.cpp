// Single points of molecules whose heavy atoms carry d orbitals: PM6's Si, P, S, Cl, Br and
// I (nine orbitals, no d one-centre data) and, for the branches with d data and PM7's
// feathering, the fixtures' test double.

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

#include <cmath>
#include <gtest/gtest.h>
#include <string>

namespace quelm {
namespace {

struct Named {
    const char* name;
    fixtures::Molecule molecule;
};

fixtures::Molecule reference_geometry(const char* name) {
    const testing::ReferenceMolecule m = testing::load_reference_molecule(name);
    return {m.atomic_numbers, m.coordinates};
}

std::vector<Named> d_molecules() {
    return {{"SiH4", reference_geometry("SiH4")},    {"PH3", reference_geometry("PH3")},
            {"H2S", fixtures::hydrogen_sulfide()},   {"SO2", fixtures::sulfur_dioxide()},
            {"H2SO4", fixtures::sulfuric_acid()},    {"PCl3", fixtures::phosphorus_trichloride()},
            {"CH2Cl2", fixtures::dichloromethane()}, {"CH3Br", fixtures::bromomethane()},
            {"CH3I", fixtures::iodomethane()},       {"SF6", fixtures::sulfur_hexafluoride()}};
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

// A run that says it converged must be self-consistent and hold every valence electron;
// one that does not may stop anywhere, but it must say so rather than fail.
TEST(DMolecules, Pm6ReportsConvergenceHonestly) {
    for (const Named& m : d_molecules()) {
        SCOPED_TRACE(m.name);
        const Converged c = run(m.molecule, pm6_model(), false);
        bool has_d = false;
        for (std::uint8_t n : c.batch.basis_types)
            has_d = has_d || n == 9;
        EXPECT_TRUE(has_d);
        EXPECT_TRUE(std::isfinite(c.result.total_energy_ev));
        double electrons = 0.0, trace = 0.0;
        for (std::uint8_t z : m.molecule.atomic_numbers)
            electrons += pm6_model().get_element(z)->core_charge;
        for (std::size_t i = 0; i < c.batch.n_orbitals; ++i)
            trace += c.workspace.density(i, i);
        EXPECT_NEAR(trace, electrons, 1e-8);
        if (c.result.converged) {
            EXPECT_LT(commutator_norm(c, pm6_model()), 1e-3);
        }
    }
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
        compute_cartesian_gradients_with_options(c.batch, *model, c.workspace.density,
                                                 gradient, GradientOptions{true});
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

// Heats of formation against the reference program for the PM6 molecules with Si, P, S
// and Cl. The reference's PM6 gives these atoms one-centre d integrals, which our PM6 data
// does not carry: without them the d shells have no one-centre repulsion and the energies
// cannot be compared. The comparison applies to every molecule whose nine-orbital atoms
// all have d data; the core–core repulsion, which involves no orbitals, always applies.
TEST(DMolecules, Pm6HeatsOfSiPSClMoleculesAgainstTheReference) {
    std::size_t compared_cores = 0;
    for (const testing::ReferenceCase& c : testing::load_reference_cases()) {
        if (c.method != "PM6")
            continue;
        bool has_si_p_s_cl = false;
        for (std::uint8_t z : c.atomic_numbers)
            has_si_p_s_cl = has_si_p_s_cl || (z >= 14 && z <= 17);
        if (!has_si_p_s_cl)
            continue;
        SCOPED_TRACE(c.label());
        const ParameterModel& model = pm6_model();
        const Converged run_result = run({c.atomic_numbers, c.coordinates}, model, false);
        EXPECT_NEAR(run_result.result.nuclear_repulsion_ev, c.core_core_repulsion_ev,
                    c.tol_core_core_ev);
        ++compared_cores;

        bool comparable = run_result.result.converged;
        double isolated_ev = 0.0, atomic_heats_kcal = 0.0;
        for (std::size_t a = 0; a < c.atomic_numbers.size(); ++a) {
            const std::uint8_t z = c.atomic_numbers[a];
            if (run_result.batch.basis_types[a] == 9 && !model.get_d_element_params(z))
                comparable = false;
            const IsolatedAtomReference ref = get_isolated_atom_energy_and_heat(z, model);
            isolated_ev += ref.energy_ev;
            atomic_heats_kcal += ref.heat_of_formation_kcal;
        }
        if (!comparable)
            continue;
        const double heat_kcal =
            atomic_heats_kcal + kcal_mol_per_ev * (run_result.result.total_energy_ev - isolated_ev);
        EXPECT_NEAR(heat_kcal, c.heat_of_formation_kcal, c.tol_hof_kcal);
    }
    EXPECT_EQ(compared_cores, 6u); // Cl2, HCl, SiH4, PH3, H2S, CH3Cl
}

} // namespace
} // namespace quelm
