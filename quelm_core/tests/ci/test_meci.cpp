// MECI against a hand-diagonalised two-orbital CI, spin-adapted state counts, the state
// density and the H₂ transition dipole.

#include "ci/meci.hpp"
#include "ci/spectrum.hpp"
#include "fixtures.hpp"
#include "scf/scf_loop.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <map>

namespace quelm {
namespace {

struct Converged {
    MolecularBatch batch;
    ScfWorkspace workspace;
    ScfResult scf;
};

Converged converge(const fixtures::Molecule& molecule, const ParameterModel& model) {
    Converged c{fixtures::make_batch(molecule, model), {}, {}};
    c.workspace = ScfWorkspace::allocate(c.batch.n_orbitals);
    c.scf = run_rhf_scf_with_options(c.batch, model, c.workspace, ScfOptions{});
    return c;
}

MeciResult run(Converged& c, const ParameterModel& model, std::size_t n) {
    MeciOptions options;
    options.n_active_orbitals = n;
    options.n_active_electrons = n;
    MeciWorkspace workspace = MeciWorkspace::allocate(n, 100);
    MeciResult result =
        run_meci(c.batch, model, c.workspace.eigenvectors, c.workspace.eigenvalues,
                 c.scf.electronic_energy_ev, c.scf.total_energy_ev, options, workspace);
    compute_transition_dipoles_and_oscillator_strengths(c.batch, model, c.workspace.eigenvectors,
                                                        result.active_orbitals, result);
    return result;
}

fixtures::Molecule stretched_h2(double r) {
    return {{1, 1}, {{{0.0, 0.0, -0.5 * r}, {0.0, 0.0, 0.5 * r}}}};
}

// Two orbitals g, u of H₂ with two electrons. By inversion symmetry the singly excited
// determinants do not mix with |gḡ| and |uū|; with the Fock orbital energies ε and the MO
// integrals J_pq = (pp|qq), K = (gu|gu):
//   { |gḡ|, |uū| }: [[0, K], [K, 2(ε_u − ε_g) + J_gg + J_uu − 4J_gu + 2K]]
//   open-shell singlet ε_u − ε_g − J_gu + 2K, triplet ε_u − ε_g − J_gu.
TEST(Meci, TwoOrbitalHydrogenMatchesTheHandDiagonalisedCi) {
    for (double r : {0.6, 0.74, 1.2, 2.0}) {
        for (const auto& [name, model] :
             {fixtures::NamedModel{"PM6", pm6_model()}, fixtures::NamedModel{"AM1", am1_model()}}) {
            SCOPED_TRACE(std::string(name) + " r = " + std::to_string(r));
            Converged c = converge(stretched_h2(r), model);
            ASSERT_TRUE(c.scf.converged);
            const MeciResult result = run(c, model, 2);

            std::vector<double> g(16);
            compute_active_mo_two_electron_integrals(c.batch, model, c.workspace.eigenvectors,
                                                     {0, 1}, nullptr, g);
            std::vector<double> g_nddo(16);
            const auto pairs = precompute_diatomic_pairs(c.batch, model);
            compute_active_mo_two_electron_integrals(c.batch, model, c.workspace.eigenvectors,
                                                     {0, 1}, &pairs, g_nddo);
            // H₂ has only s orbitals: the NDDO (ss|ss) block is the monopole γ of this model
            // up to its own ρ, so both integral routes must be close but are built apart.
            auto at = [&](int i, int j, int k, int l) {
                return g_nddo[((i * 2 + j) * 2 + k) * 2 + l];
            };
            const double j_gg = at(0, 0, 0, 0);
            const double j_uu = at(1, 1, 1, 1);
            const double j_gu = at(0, 0, 1, 1);
            const double k = at(0, 1, 0, 1);
            EXPECT_NEAR(at(1, 0, 0, 1), k, 1e-12); // eight-fold symmetry
            EXPECT_NEAR(at(1, 1, 0, 0), j_gu, 1e-12);
            const double gap = c.workspace.eigenvalues[1] - c.workspace.eigenvalues[0];
            const double doubly = 2.0 * gap + j_gg + j_uu - 4.0 * j_gu + 2.0 * k;
            const double mean = 0.5 * doubly;
            const double half_split = std::sqrt(0.25 * doubly * doubly + k * k);
            std::vector<double> expected = {mean - half_split, mean + half_split,
                                            gap - j_gu + 2.0 * k, gap - j_gu};
            std::sort(expected.begin(), expected.end());
            ASSERT_EQ(result.states.size(), 4u);
            for (std::size_t i = 0; i < 4; ++i)
                EXPECT_NEAR(result.states[i].energy_ev, expected[i], 1e-8);

            // Labels: the triplet is the open-shell pair's lower member.
            std::map<double, const CiState*> by_energy;
            for (const CiState& s : result.states)
                by_energy[s.energy_ev] = &s;
            const CiState* triplet = nullptr;
            for (const CiState& s : result.states) {
                if (std::abs(s.energy_ev - (gap - j_gu)) < 1e-8)
                    triplet = &s;
            }
            ASSERT_NE(triplet, nullptr);
            EXPECT_STREQ(triplet->spin_label, "TRIPLET");
            EXPECT_NEAR(triplet->s_squared, 2.0, 1e-9);

            // Transition dipole ⟨Ψ₀|μ|S⟩ = √2 μ_gu (a + b), with Ψ₀ = a|gḡ| + b|uū| and b of
            // opposite sign to a (K > 0): correlation lowers the intensity.
            const double b_over_a = -k / (doubly - expected[0]);
            const double a = 1.0 / std::sqrt(1.0 + b_over_a * b_over_a);
            const AlignedMatrix& cmo = c.workspace.eigenvectors;
            const double mu_gu = -0.5 * r * cmo(0, 0) * cmo(0, 1) + 0.5 * r * cmo(1, 0) * cmo(1, 1);
            const double mu_debye =
                std::sqrt(2.0) * std::abs(mu_gu * a * (1.0 + b_over_a)) * debye_per_e_angstrom;
            const double singlet = gap - j_gu + 2.0 * k;
            for (const CiState& s : result.states) {
                if (std::abs(s.energy_ev - singlet) > 1e-8)
                    continue;
                EXPECT_STREQ(s.spin_label, "SINGLET");
                EXPECT_NEAR(s.transition_dipole_debye[2], mu_debye, 1e-8);
                EXPECT_NEAR(s.oscillator_strength,
                            (singlet - expected[0]) * 0.0037922207906861114 * mu_debye * mu_debye,
                            1e-9);
            }
            EXPECT_LT(triplet->oscillator_strength, 1e-15); // spin-forbidden
            for (std::size_t i = 0; i < 16; ++i)
                EXPECT_NEAR(g[i], g_nddo[i], 0.05 * std::abs(g_nddo[i]) + 1e-9);
        }
    }
}

// Number of spin-S states of N electrons in n orbitals (Weyl–Paldus).
std::size_t weyl_count(int n, int electrons, double s) {
    auto binomial = [](int a, int b) {
        if (b < 0 || b > a)
            return 0.0;
        double c = 1.0;
        for (int i = 1; i <= b; ++i)
            c = c * (a - b + i) / i;
        return c;
    };
    const int lo = static_cast<int>(std::lround(electrons / 2.0 - s));
    const int hi = static_cast<int>(std::lround(electrons / 2.0 + s + 1.0));
    return static_cast<std::size_t>(
        std::lround((2.0 * s + 1.0) / (n + 1) * binomial(n + 1, lo) * binomial(n + 1, hi)));
}

TEST(Meci, SpinMultipletsMatchTheSpinAdaptedCounts) {
    const ParameterModel& model = pm6_model();
    Converged c = converge(fixtures::formaldehyde(), model);
    ASSERT_TRUE(c.scf.converged);
    for (int n = 1; n <= 6; ++n) {
        SCOPED_TRACE("active orbitals " + std::to_string(n));
        const MeciResult result = run(c, model, static_cast<std::size_t>(n));
        std::map<std::size_t, std::size_t> counts;
        for (const CiState& s : result.states) {
            const double exact = 0.25 * (s.multiplicity * s.multiplicity - 1.0);
            EXPECT_NEAR(s.s_squared, exact, 1e-6); // pure spin states
            ++counts[s.multiplicity];
            EXPECT_STREQ(s.spin_label, spin_label_for(s.multiplicity));
        }
        std::size_t total = 0;
        for (double s = 0.5 * (n % 2); s <= 0.5 * n; s += 1.0) {
            const std::size_t expected = weyl_count(n, n, s);
            EXPECT_EQ(counts[static_cast<std::size_t>(std::lround(2 * s + 1))], expected);
            total += expected;
        }
        EXPECT_EQ(total, result.states.size());
    }
}

TEST(Meci, StateDensityHoldsTheActiveElectrons) {
    const ParameterModel& model = pm6_model();
    Converged c = converge(fixtures::formaldehyde(), model);
    ASSERT_TRUE(c.scf.converged);
    // n = 2 keeps the SCF's 12 electrons; n = 3 puts 3 electrons where the SCF has 4.
    for (const auto& [n, electrons] : {std::pair<std::size_t, double>{2, 12.0}, {3, 11.0}}) {
        const MeciResult result = run(c, model, n);
        double trace = 0.0;
        for (std::size_t i = 0; i < c.batch.n_orbitals; ++i)
            trace += result.state_density(i, i);
        EXPECT_NEAR(trace, electrons, 1e-10);
    }
    // The ground root of n = 2 is almost the SCF determinant: its density is close to the
    // SCF density (off by the small |uū| admixture only).
    const MeciResult result = run(c, model, 2);
    double largest = 0.0;
    for (std::size_t i = 0; i < c.workspace.density.size(); ++i) {
        largest = std::max(
            largest, std::abs(result.state_density.data()[i] - c.workspace.density.data()[i]));
    }
    EXPECT_LT(largest, 0.05);
}

TEST(Meci, ActiveSpaceViolationsAreInternalErrors) {
    const ParameterModel& model = pm6_model();
    Converged c = converge(fixtures::hydrogen_molecule(), model);
    auto message = [&](std::size_t n, std::size_t electrons) {
        MeciOptions options;
        options.n_active_orbitals = n;
        options.n_active_electrons = electrons;
        MeciWorkspace workspace;
        try {
            run_meci(c.batch, model, c.workspace.eigenvectors, c.workspace.eigenvalues, 0.0, 0.0,
                     options, workspace);
        } catch (const InternalError& error) {
            return std::string(error.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message(0, 0), "Active space must have at least 1 orbital");
    EXPECT_EQ(message(2, 5), "Active electrons (5) cannot exceed 2 * active orbitals (2)");
    EXPECT_EQ(message(4, 4), "Not enough occupied MOs (1) for active electrons (4)");
    EXPECT_EQ(message(3, 2), "Active space exceeds total molecular orbitals");
}

TEST(Meci, MicrostatesComeInBacktrackingOrder) {
    const auto combos = generate_combinations(3, 2);
    ASSERT_EQ(combos.size(), 3u);
    EXPECT_EQ(combos[0], (std::vector<std::uint8_t>{1, 1, 0}));
    EXPECT_EQ(combos[1], (std::vector<std::uint8_t>{1, 0, 1}));
    EXPECT_EQ(combos[2], (std::vector<std::uint8_t>{0, 1, 1}));
    const auto states = generate_microstates(2, 2, 0);
    ASSERT_EQ(states.size(), 4u);
    EXPECT_EQ(states[1].alpha, (std::vector<std::uint8_t>{1, 0}));
    EXPECT_EQ(states[1].beta, (std::vector<std::uint8_t>{0, 1}));
    EXPECT_EQ(generate_microstates(4, 6, 0).size(), 16u);
    EXPECT_EQ(generate_microstates(8, 8, 0).size(), 4900u);
}

} // namespace
} // namespace quelm
