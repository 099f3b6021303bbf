#include "fixtures.hpp"
#include "integrals/multipoles.hpp"
#include "properties/esp.hpp"
#include "scf/scf_loop.hpp"
#include "scf/scf_workspace.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <numeric>

namespace quelm {
namespace {

constexpr double bohr_per_angstrom = 1.0 / 0.529177210903;
constexpr double ev_per_hartree = 27.211386245988;

// Converged PM6 density of a molecule (simplified two-centre model, as esp_charges runs).
struct Converged {
    MolecularBatch batch;
    ScfWorkspace workspace;
};
Converged converge(const fixtures::Molecule& molecule) {
    Converged c{fixtures::make_batch(molecule, pm6_model()), {}};
    c.workspace = ScfWorkspace::allocate(c.batch.n_orbitals);
    ScfOptions options;
    options.use_nddo = false;
    EXPECT_TRUE(run_rhf_scf_with_options(c.batch, pm6_model(), c.workspace, options).converged);
    return c;
}

// Residual (hartree/e) of charges q at point p against the reference potential, written
// out from the density here: ZDO point charges plus s–p point dipoles 2·D1·P(s, p).
double residual_at(const MolecularBatch& batch, const AlignedMatrix& density,
                   const std::vector<double>& q, const Coordinate& p) {
    double reference = 0.0;
    double fitted = 0.0;
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        const auto element = *pm6_model().get_element(batch.atomic_numbers[a]);
        const std::size_t s = batch.orbital_offsets[a];
        double charge = element.core_charge;
        for (std::size_t k = 0; k < batch.basis_types[a]; ++k)
            charge -= density(s + k, s + k);
        const Coordinate d = {(p[0] - batch.coords_x[a]) * bohr_per_angstrom,
                              (p[1] - batch.coords_y[a]) * bohr_per_angstrom,
                              (p[2] - batch.coords_z[a]) * bohr_per_angstrom};
        const double r = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        reference += charge / r;
        fitted += q[a] / r;
        if (batch.basis_types[a] >= 4) {
            const double d1 = DerivedMultipoleParams::from_element(element).d1;
            for (std::size_t k = 0; k < 3; ++k)
                reference -= 2.0 * d1 * density(s, s + 1 + k) * d[k] / (r * r * r);
        }
    }
    return reference - fitted;
}

double rms_ev(const Converged& c, const std::vector<double>& q,
              const std::vector<Coordinate>& grid) {
    double sum = 0.0;
    for (const Coordinate& p : grid) {
        const double e = residual_at(c.batch, c.workspace.density, q, p) * ev_per_hartree;
        sum += e * e;
    }
    return std::sqrt(sum / static_cast<double>(grid.size()));
}

const std::vector<double> mk_scales = {1.4, 1.6, 1.8, 2.0};

TEST(EspCharges, SumToTheRequestedNetCharge) {
    const Converged water = converge(fixtures::water());
    for (const double net : {0.0, 1.0, -1.0, 0.37}) {
        SCOPED_TRACE(net);
        const EspResult r = compute_esp_charges(water.batch, pm6_model(), water.workspace.density,
                                                EspOptions{mk_scales, 64, net})
                                .value();
        EXPECT_NEAR(std::accumulate(r.charges.begin(), r.charges.end(), 0.0), net, 1e-10);
    }
}

TEST(EspCharges, ReportTheRmsOfTheResidualRecomputedOverTheSamePoints) {
    for (const auto& molecule : {fixtures::water(), fixtures::formaldehyde()}) {
        const Converged c = converge(molecule);
        const EspResult r = compute_esp_charges(c.batch, pm6_model(), c.workspace.density,
                                                EspOptions{mk_scales, 64, 0.0})
                                .value();
        const std::vector<Coordinate> grid = build_esp_grid(c.batch, mk_scales, 64);
        EXPECT_EQ(r.num_grid_points, grid.size());
        EXPECT_NEAR(r.rms_error, rms_ev(c, r.charges, grid), 1e-12 * r.rms_error);
        EXPECT_GT(r.rms_error, 1e-4); // the point dipoles are not point charges

        // Optimal under the constraint: moving charge between two atoms only raises it.
        for (std::size_t a = 0; a < c.batch.n_atoms; ++a) {
            for (std::size_t b = a + 1; b < c.batch.n_atoms; ++b) {
                for (const double step : {1e-3, -1e-3}) {
                    std::vector<double> moved = r.charges;
                    moved[a] += step;
                    moved[b] -= step;
                    EXPECT_GT(rms_ev(c, moved, grid), r.rms_error);
                }
            }
        }
        // The dipole of the fitted charges about the coordinate origin, in Debye.
        double mu_z = 0.0;
        for (std::size_t a = 0; a < c.batch.n_atoms; ++a)
            mu_z += 4.80320425 * r.charges[a] * c.batch.coords_z[a];
        EXPECT_NEAR(r.dipole[2], mu_z, 1e-12);
    }
}

TEST(EspCharges, OfASingleAtomIsTheNetCharge) {
    const MolecularBatch oxygen = fixtures::make_batch({{8}, {{{0.3, -0.2, 0.1}}}}, pm6_model());
    const EspResult r = compute_esp_charges(oxygen, pm6_model(), AlignedMatrix(4, 4),
                                            EspOptions{mk_scales, 1, -0.5})
                            .value();
    ASSERT_EQ(r.charges.size(), 1u);
    EXPECT_NEAR(r.charges[0], -0.5, 1e-14);
    EXPECT_EQ(r.num_grid_points, 4u);
}

TEST(EspGrid, SpiralsRoundEachAtomAndDropsPointsInsideOtherAtoms) {
    // Far apart, every point stays, on its shell; one point per shell is the top (+y) one.
    const fixtures::Molecule far = {{8, 1}, {{{0.0, 0.0, 0.0}, {50.0, 0.0, 0.0}}}};
    const MolecularBatch far_batch = fixtures::make_batch(far, pm6_model());
    const std::vector<Coordinate> grid = build_esp_grid(far_batch, mk_scales, 10);
    ASSERT_EQ(grid.size(), 2u * 4u * 10u);
    for (std::size_t k = 0; k < grid.size(); ++k) {
        const std::size_t atom = k / 40;
        const double expected = mk_scales[(k / 10) % 4] * (atom == 0 ? 1.52 : 1.2);
        const double r = std::hypot(grid[k][0] - 50.0 * atom, grid[k][1], grid[k][2]);
        EXPECT_NEAR(r, expected, 1e-12);
    }
    const std::vector<Coordinate> tops = build_esp_grid(far_batch, mk_scales, 1);
    ASSERT_EQ(tops.size(), 8u);
    EXPECT_NEAR(tops[0][1], 1.4 * 1.52, 1e-14);
    EXPECT_NEAR(tops[0][0], 0.0, 1e-14);
    EXPECT_NEAR(tops[0][2], 0.0, 1e-14);

    // Close: no point inside another atom's van der Waals sphere, but points inside its
    // scaled shells do remain.
    const fixtures::Molecule close = {{8, 1}, {{{0.0, 0.0, 0.0}, {0.97, 0.0, 0.0}}}};
    const MolecularBatch batch = fixtures::make_batch(close, pm6_model());
    const std::vector<Coordinate> kept = build_esp_grid(batch, mk_scales, 64);
    EXPECT_LT(kept.size(), 2u * 4u * 64u);
    const auto on_shell = [](double distance, double radius) {
        for (const double scale : mk_scales) {
            if (std::fabs(distance - scale * radius) < 1e-9)
                return true;
        }
        return false;
    };
    bool inside_a_shell_of_the_other_atom = false;
    for (const Coordinate& p : kept) {
        const double to_o = std::hypot(p[0], p[1], p[2]);
        const double to_h = std::hypot(p[0] - 0.97, p[1], p[2]);
        const bool on_oxygen = on_shell(to_o, 1.52);
        ASSERT_TRUE(on_oxygen || on_shell(to_h, 1.2));
        EXPECT_GE(on_oxygen ? to_h : to_o, on_oxygen ? 1.2 : 1.52);
        inside_a_shell_of_the_other_atom |= on_oxygen && to_h < 1.4 * 1.2;
    }
    EXPECT_TRUE(inside_a_shell_of_the_other_atom);
}

TEST(EspCharges, ReportEachFailureWithItsMessage) {
    const Converged water = converge(fixtures::water());
    const auto message = [](const Result<EspResult>& r) { return r.ok() ? "" : r.error(); };
    EXPECT_EQ(message(compute_esp_charges(water.batch, pm6_model(), water.workspace.density,
                                          EspOptions{mk_scales, 0, 0.0})),
              "Insufficient grid points (0) for 3 atoms in ESP fitting");
    EXPECT_EQ(message(compute_esp_charges(water.batch, pm6_model(), water.workspace.density,
                                          EspOptions{{}, 64, 0.0})),
              "Insufficient grid points (0) for 3 atoms in ESP fitting");

    const MolecularBatch empty = fixtures::make_batch({{}, {}}, pm6_model());
    EXPECT_EQ(message(compute_esp_charges(empty, pm6_model(), AlignedMatrix(),
                                          EspOptions{mk_scales, 64, 0.0})),
              "Cannot compute ESP charges for empty molecular batch");

    // Iron has no AM1 parameters; the density need not be converged to reach the check.
    const MolecularBatch iron_oxide =
        fixtures::make_batch({{26, 8}, {{{0.0, 0.0, 0.0}, {0.0, 0.0, 1.6}}}}, am1_model());
    EXPECT_EQ(
        message(compute_esp_charges(iron_oxide, am1_model(),
                                    AlignedMatrix(iron_oxide.n_orbitals, iron_oxide.n_orbitals),
                                    EspOptions{mk_scales, 64, 0.0})),
        "Unsupported element Z=26 in ESP parameter model");

    // Two atoms on one site have the same potential column: their split is undetermined.
    // (The fit needs a density, not a converged one.)
    const MolecularBatch doubled = fixtures::make_batch(
        {{8, 1, 1, 1},
         {{{0.0, 0.0, 0.0}, {0.0, 0.0, 0.96}, {0.93, 0.0, -0.24}, {0.93, 0.0, -0.24}}}},
        pm6_model());
    EXPECT_EQ(message(compute_esp_charges(doubled, pm6_model(),
                                          AlignedMatrix(doubled.n_orbitals, doubled.n_orbitals),
                                          EspOptions{mk_scales, 64, 0.0})),
              "Singular or ill-conditioned matrix in ESP charge regression");
}

} // namespace
} // namespace quelm
