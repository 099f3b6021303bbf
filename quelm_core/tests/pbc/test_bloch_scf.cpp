#include "fixtures.hpp"
#include "pbc/bloch_scf.hpp"
#include "scf/scf_loop.hpp"
#include "scf/scf_workspace.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace quelm {
namespace {

struct Chain {
    fixtures::Molecule cell;
    Coordinate translation;
};

// Hydrogen fluoride molecules in a straight line along x (F–H 0.93 Å, H···F 1.57 Å): the
// py and pz bands are exactly degenerate at every k.
Chain linear_hf_chain() {
    return {{{9, 1}, {{{0.0, 0.0, 0.0}, {0.93, 0.0, 0.0}}}}, {2.5, 0.0, 0.0}};
}

// Tilted hydrogen fluoride molecules: a chain without any symmetry but the translation.
Chain tilted_hf_chain() {
    return {{{9, 1}, {{{0.0, 0.0, 0.0}, {0.55, 0.7, 0.25}}}}, {2.6, 0.0, 0.0}};
}

PbcOptions chain_options(const Chain& chain, LatticeCounts mers, LatticeCounts k_grid) {
    PbcOptions options;
    options.cell = UnitCell::from_translation_vectors({chain.translation}, 1).value();
    options.mers = mers;
    options.k_grid = k_grid;
    // Simple damped mixing converges linearly: tight thresholds and room for it.
    options.energy_tol = 1e-8;
    options.density_tol = 1e-6;
    options.max_iter = 400;
    return options;
}

struct ChainRun {
    PbcResult result;
    PbcWorkspace workspace;
};

ChainRun run_chain(const Chain& chain, const ParameterModel& model, const PbcOptions& options) {
    const MolecularBatch batch = fixtures::make_batch(chain.cell, model);
    ChainRun run;
    Result<PbcResult> result = run_pbc_scf(batch, model, options, run.workspace);
    if (!result.ok())
        throw std::runtime_error(result.error());
    run.result = std::move(result.value());
    return run;
}

TEST(BlochScf, DegeneratePiBandsAreEachOccupiedOnce) {
    // F: s, px, py, pz; H: s. The π bands (F py, pz) are full, so each holds exactly two
    // electrons per cell, whatever basis the solver picks inside the degenerate pair.
    const Chain chain = linear_hf_chain();
    for (const LatticeCounts k_grid :
         {LatticeCounts{1, 1, 1}, LatticeCounts{8, 1, 1}, LatticeCounts{9, 1, 1}}) {
        SCOPED_TRACE(k_grid[0]);
        const ChainRun run = run_chain(chain, pm6_model(), chain_options(chain, {5, 1, 1}, k_grid));
        ASSERT_TRUE(run.result.converged);
        const AlignedMatrix& home = run.workspace.density_blocks[0];
        double electrons = 0.0;
        for (std::size_t mu = 0; mu < home.rows(); ++mu)
            electrons += home(mu, mu);
        EXPECT_NEAR(electrons, 8.0, 1e-9);
        EXPECT_NEAR(home(2, 2), 2.0, 1e-9);
        EXPECT_NEAR(home(3, 3), 2.0, 1e-9);
        // At every path point the two π bands have one energy.
        for (const std::vector<double>& bands : run.result.band_energies_ev) {
            double smallest_split = 1e9;
            for (std::size_t b = 1; b < bands.size(); ++b)
                smallest_split = std::min(smallest_split, bands[b] - bands[b - 1]);
            EXPECT_LT(smallest_split, 1e-9);
        }
    }
}

TEST(BlochScf, BandsAreEvenInKAndPeriodicInTheReciprocalLattice) {
    const Chain chain = tilted_hf_chain();
    const PbcOptions options = chain_options(chain, {5, 1, 1}, {6, 1, 1});
    ChainRun run = run_chain(chain, pm6_model(), options);
    ASSERT_TRUE(run.result.converged);
    const auto translations = UnitCell::generate_translation_indices(options.cell, options.mers);
    const Coordinate b = options.cell.reciprocal[0];
    const std::size_t n = run.workspace.n_orbitals;
    std::vector<double> at_k(n), at_minus_k(n), shifted(n);
    for (const double f : {0.0, 0.13, 0.31, 0.5}) {
        SCOPED_TRACE(f);
        const Coordinate k{f * b[0], f * b[1], f * b[2]};
        compute_bloch_bands(run.workspace, translations, k, at_k);
        compute_bloch_bands(run.workspace, translations, {-k[0], -k[1], -k[2]}, at_minus_k);
        compute_bloch_bands(run.workspace, translations, {k[0] + b[0], k[1] + b[1], k[2] + b[2]},
                            shifted);
        for (std::size_t band = 0; band < n; ++band) {
            EXPECT_NEAR(at_k[band], at_minus_k[band], 1e-10);
            EXPECT_NEAR(at_k[band], shifted[band], 1e-10);
        }
    }
    // The bands disperse: the chain is not a set of isolated molecules.
    const auto& bands = run.result.band_energies_ev;
    EXPECT_GT(std::abs(bands.front()[3] - bands.back()[3]), 0.01);
}

TEST(BlochScf, OneCellIsTheMoleculeOfTheSingleMoleculeScf) {
    // With one cell the cluster is the home cell alone: H(k) = F(0) at every k, and the run
    // is the molecular closed-shell SCF with the same energy.
    const fixtures::Molecule water = fixtures::water();
    for (const fixtures::NamedModel& named : fixtures::all_models()) {
        SCOPED_TRACE(named.name);
        const MolecularBatch batch = fixtures::make_batch(water, named.model);
        ScfWorkspace molecular = ScfWorkspace::allocate(batch.n_orbitals);
        ScfOptions scf_options;
        const ScfResult reference =
            run_rhf_scf_with_options(batch, named.model, molecular, scf_options);
        ASSERT_TRUE(reference.converged);

        const Chain chain{water, {20.0, 0.0, 0.0}};
        const ChainRun run =
            run_chain(chain, named.model, chain_options(chain, {1, 1, 1}, {3, 1, 1}));
        ASSERT_TRUE(run.result.converged);
        EXPECT_NEAR(run.result.total_energy_ev, reference.total_energy_ev, 1e-5);
        EXPECT_NEAR(run.result.nuclear_repulsion_ev, reference.nuclear_repulsion_ev, 1e-10);
        // Flat bands: the highest occupied band is the molecule's HOMO at every k.
        EXPECT_NEAR(run.result.vbm_ev, reference.homo_energy_ev, 1e-3);
        EXPECT_NEAR(run.result.cbm_ev, reference.lumo_energy_ev, 1e-3);
    }
}

TEST(BlochScf, WidelySpacedCellsNeedOnlyGamma) {
    const Chain chain{fixtures::water(), {9.0, 0.0, 0.0}};
    const ChainRun gamma =
        run_chain(chain, pm6_model(), chain_options(chain, {3, 1, 1}, {1, 1, 1}));
    const ChainRun dense =
        run_chain(chain, pm6_model(), chain_options(chain, {3, 1, 1}, {12, 1, 1}));
    ASSERT_TRUE(gamma.result.converged && dense.result.converged);
    EXPECT_NEAR(gamma.result.total_energy_ev, dense.result.total_energy_ev, 1e-6);
    // … but not a set of isolated molecules: the neighbours' fields change the energy.
    const ChainRun alone =
        run_chain(chain, pm6_model(), chain_options(chain, {1, 1, 1}, {1, 1, 1}));
    EXPECT_GT(std::abs(gamma.result.total_energy_ev - alone.result.total_energy_ev), 1e-4);
}

TEST(BlochScf, EvenClusterCountsRunAsTheOddCountBelow) {
    const Chain chain = tilted_hf_chain();
    const ChainRun odd = run_chain(chain, am1_model(), chain_options(chain, {3, 1, 1}, {4, 1, 1}));
    const ChainRun even = run_chain(chain, am1_model(), chain_options(chain, {4, 1, 1}, {4, 1, 1}));
    EXPECT_EQ(odd.result.total_energy_ev, even.result.total_energy_ev);
    EXPECT_EQ(odd.result.iterations, even.result.iterations);
}

TEST(BlochScf, RefusesEmptyCellsAndCountsBelowOne) {
    const Chain chain = linear_hf_chain();
    PbcWorkspace workspace;
    const MolecularBatch empty = MolecularBatch::new_for_model({}, {}, pm6_model());
    const Result<PbcResult> no_atoms =
        run_pbc_scf(empty, pm6_model(), chain_options(chain, {5, 1, 1}, {4, 1, 1}), workspace);
    ASSERT_FALSE(no_atoms.ok());
    EXPECT_EQ(no_atoms.error(), "Periodic calculation requires at least 1 atom in unit cell");

    const MolecularBatch batch = fixtures::make_batch(chain.cell, pm6_model());
    struct Case {
        LatticeCounts mers, k_grid;
        const char* message;
    };
    const Case cases[] = {
        {{0, 1, 1}, {4, 1, 1}, "mers counts must be positive integers, got (0, 1, 1)"},
        {{5, 1, -2}, {4, 1, 1}, "mers counts must be positive integers, got (5, 1, -2)"},
        {{5, 1, 1}, {-1, 1, 1}, "k_grid counts must be positive integers, got (-1, 1, 1)"},
        {{5, 1, 1}, {4, 0, 1}, "k_grid counts must be positive integers, got (4, 0, 1)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const Result<PbcResult> result =
            run_pbc_scf(batch, pm6_model(), chain_options(chain, c.mers, c.k_grid), workspace);
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.error(), c.message);
    }
}

} // namespace
} // namespace quelm
