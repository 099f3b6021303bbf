#include "fixtures.hpp"
#include "gradients/nuclear_gradients.hpp"
#include "parameters/models.hpp"
#include "scf/scf_loop.hpp"
#include "types/internal_error.hpp"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

namespace quelm {
namespace {

using Gradient = std::vector<std::array<double, 3>>;

struct Converged {
    MolecularBatch batch;
    ScfWorkspace workspace;
    ScfResult result;
};

Converged converge(const fixtures::Molecule& molecule, const ParameterModel& model, bool use_nddo) {
    Converged c{fixtures::make_batch(molecule, model), {}, {}};
    c.workspace = ScfWorkspace::allocate(c.batch.n_orbitals);
    ScfOptions options;
    options.use_nddo = use_nddo;
    options.energy_tol_ev = 1e-11;
    options.density_tol = 1e-10;
    options.max_iter = 200;
    c.result = run_rhf_scf_with_options(c.batch, model, c.workspace, options);
    return c;
}

Gradient gradient_of(Converged& c, const ParameterModel& model, bool use_nddo) {
    Gradient gradient(c.batch.n_atoms);
    compute_cartesian_gradients_with_options(c.batch, model, c.workspace.density, gradient,
                                             GradientOptions{use_nddo});
    return gradient;
}

AlignedVec64& axis_coordinates(MolecularBatch& batch, int axis) {
    return axis == 0 ? batch.coords_x : axis == 1 ? batch.coords_y : batch.coords_z;
}

// The defining finite difference: every atom and axis displaced by ±1e-4 Å, the whole
// frozen-density energy rebuilt each time, then the mean removed.
Gradient full_rebuild_gradient(MolecularBatch batch, const ParameterModel& model,
                               const AlignedMatrix& density, bool use_nddo) {
    GradientWorkspace workspace = GradientWorkspace::allocate(batch.n_orbitals);
    Gradient gradient(batch.n_atoms);
    std::array<double, 3> mean{};
    for (std::size_t i = 0; i < batch.n_atoms; ++i) {
        for (int axis = 0; axis < 3; ++axis) {
            double& x = axis_coordinates(batch, axis)[i];
            const double saved = x;
            x = saved + 1e-4;
            const double plus = evaluate_frozen_energy(batch, model, density, workspace, use_nddo);
            x = saved - 1e-4;
            const double minus = evaluate_frozen_energy(batch, model, density, workspace, use_nddo);
            x = saved;
            gradient[i][axis] = (plus - minus) * 5000.0;
            mean[axis] += gradient[i][axis] / double(batch.n_atoms);
        }
    }
    for (auto& g : gradient) {
        for (int axis = 0; axis < 3; ++axis)
            g[axis] -= mean[axis];
    }
    return gradient;
}

const ParameterModel* all_models[] = {&mndo_model(), &am1_model(), &pm3_model(),
                                      &rm1_model(),  &pm6_model(), &pm7_model()};

TEST(NuclearGradients, PairwiseDifferencesEqualTheFullRebuildDefinition) {
    for (const ParameterModel* model : all_models) {
        for (bool use_nddo : {true, false}) {
            for (const fixtures::Molecule& molecule :
                 {fixtures::formaldehyde(), fixtures::water_dimer(2.9)}) {
                SCOPED_TRACE(std::string(model->name()) + (use_nddo ? " NDDO" : " simplified"));
                Converged c = converge(molecule, *model, use_nddo);
                const Gradient fast = gradient_of(c, *model, use_nddo);
                const Gradient reference =
                    full_rebuild_gradient(c.batch, *model, c.workspace.density, use_nddo);
                for (std::size_t i = 0; i < fast.size(); ++i) {
                    for (int axis = 0; axis < 3; ++axis) {
                        EXPECT_NEAR(fast[i][axis], reference[i][axis], 1e-6);
                    }
                }
            }
        }
    }
}

// At a converged SCF the energy is stationary in the density, so the frozen-density
// gradient is the gradient of the total energy itself.
TEST(NuclearGradients, MatchFiniteDifferencesOfConvergedEnergies) {
    constexpr double kcal_tolerance = 1e-3;
    for (const ParameterModel* model : {all_models[1], all_models[4], all_models[5]}) {
        SCOPED_TRACE(std::string(model->name()));
        const fixtures::Molecule molecule = fixtures::formaldehyde();
        Converged c = converge(molecule, *model, true);
        const Gradient analytic = gradient_of(c, *model, true);
        for (std::size_t i = 0; i < molecule.atomic_numbers.size(); ++i) {
            for (int axis = 0; axis < 3; ++axis) {
                fixtures::Molecule displaced = molecule;
                displaced.coordinates[i][axis] += 1e-4;
                const double plus = converge(displaced, *model, true).result.total_energy_ev;
                displaced.coordinates[i][axis] -= 2e-4;
                const double minus = converge(displaced, *model, true).result.total_energy_ev;
                const double numeric = (plus - minus) * 5000.0;
                EXPECT_NEAR(analytic[i][axis] * 23.06054783061903, numeric * 23.06054783061903,
                            kcal_tolerance)
                    << "atom " << i << " axis " << axis;
            }
        }
    }
}

TEST(NuclearGradients, SingleAtomAndDiatomicSymmetry) {
    fixtures::Molecule single{{6}, {{{0.3, -0.2, 0.1}}}};
    MolecularBatch carbon = fixtures::make_batch(single, am1_model());
    AlignedMatrix density(4, 4);
    for (int k = 0; k < 4; ++k)
        density(k, k) = 1.0;
    Gradient g(1);
    compute_cartesian_gradients_with_options(carbon, am1_model(), density, g, {true});
    EXPECT_EQ(g[0], (std::array<double, 3>{0.0, 0.0, 0.0}));

    Converged h2 = converge({{1, 1}, {{{-0.4, 0.0, 0.0}, {0.45, 0.0, 0.0}}}}, am1_model(), true);
    const Gradient gh = gradient_of(h2, am1_model(), true);
    EXPECT_EQ(gh[0][1], 0.0);
    EXPECT_EQ(gh[0][2], 0.0);
    EXPECT_NEAR(gh[0][0], -gh[1][0], 1e-12);
    EXPECT_GT(std::fabs(gh[0][0]), 1e-3);
}

TEST(NuclearGradients, RestoreCoordinatesBitForBitAndIgnoreTranslation) {
    Converged c = converge(fixtures::formaldehyde(), pm6_model(), true);
    const MolecularBatch before = c.batch;
    const Gradient g = gradient_of(c, pm6_model(), true);
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(std::memcmp(axis_coordinates(c.batch, axis).data(),
                              axis_coordinates(const_cast<MolecularBatch&>(before), axis).data(),
                              sizeof(double) * c.batch.n_atoms),
                  0);
    }
    std::array<double, 3> sum{};
    for (const auto& gi : g) {
        for (int axis = 0; axis < 3; ++axis)
            sum[axis] += gi[axis];
    }
    for (double s : sum)
        EXPECT_NEAR(s, 0.0, 1e-12);

    fixtures::Molecule shifted = fixtures::formaldehyde();
    for (auto& r : shifted.coordinates)
        r = {r[0] + 5.0, r[1] - 3.0, r[2] + 1.5};
    Converged moved = converge(shifted, pm6_model(), true);
    const Gradient g_moved = gradient_of(moved, pm6_model(), true);
    for (std::size_t i = 0; i < g.size(); ++i) {
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_NEAR(g_moved[i][axis], g[i][axis], 1e-7);
    }
}

TEST(NuclearGradients, SimplifiedAndFullModelsDifferAndSizesAreChecked) {
    Converged nddo = converge(fixtures::water(), am1_model(), true);
    const Gradient full = gradient_of(nddo, am1_model(), true);
    const Gradient simplified = gradient_of(nddo, am1_model(), false);
    EXPECT_GT(std::fabs(full[0][1] - simplified[0][1]), 1e-3);

    Gradient too_short(2);
    EXPECT_THROW(compute_cartesian_gradients_with_options(
                     nddo.batch, am1_model(), nddo.workspace.density, too_short, {true}),
                 InternalError);
}

} // namespace
} // namespace quelm
