#include "fixtures.hpp"
#include "scf/density.hpp"
#include "scf/diis.hpp"
#include "scf/eigensolver.hpp"
#include "types/internal_error.hpp"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <vector>

namespace quelm {
namespace {

using BMatrix = std::array<std::array<double, MAX_DIIS_CAPACITY>, MAX_DIIS_CAPACITY>;

// FP − PF by the definition, with plain dot products.
AlignedMatrix commutator(const AlignedMatrix& f, const AlignedMatrix& p) {
    const std::size_t n = f.rows();
    AlignedMatrix e(n, n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            for (std::size_t k = 0; k < n; ++k)
                e(i, j) += f(i, k) * p(k, j) - p(i, k) * f(k, j);
        }
    }
    return e;
}

double frobenius(const AlignedMatrix& x, const AlignedMatrix& y) {
    double sum = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i)
        sum += x.data()[i] * y.data()[i];
    return sum;
}

// Closed-shell density of the lowest n_occupied eigenvectors of f.
AlignedMatrix aufbau_density(const AlignedMatrix& f, std::size_t n_occupied) {
    const std::size_t n = f.rows();
    AlignedVec64 energies(n);
    AlignedMatrix mo(n, n), density(n, n);
    diagonalize_symmetric(f, energies, mo);
    compute_density_matrix(mo, n_occupied, density);
    return density;
}

bool is_permutation_of_slots(const DiisWorkspace& diis) {
    std::vector<std::size_t> slots(diis.slot_order.begin(),
                                   diis.slot_order.begin() + static_cast<long>(diis.capacity));
    std::sort(slots.begin(), slots.end());
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (slots[i] != i)
            return false;
    }
    return true;
}

TEST(Diis, CapacityIsClampedToTwoThroughEight) {
    const std::pair<std::size_t, std::size_t> cases[] = {{0, 2}, {1, 2}, {2, 2}, {3, 3},
                                                         {6, 6}, {8, 8}, {9, 8}, {20, 8}};
    for (const auto& [requested, expected] : cases) {
        SCOPED_TRACE(requested);
        const DiisWorkspace diis = DiisWorkspace::allocate(3, requested);
        EXPECT_EQ(diis.capacity, expected);
        EXPECT_EQ(diis.fock_history.size(), expected);
        EXPECT_EQ(diis.error_history.size(), expected);
        EXPECT_EQ(diis.count, 0u);
    }
}

TEST(Diis, FirstPushStoresTheCommutatorWithoutExtrapolating) {
    DiisWorkspace diis = DiisWorkspace::allocate(2, 6);
    AlignedMatrix f(2, 2), p(2, 2), scratch(2, 2);
    f(0, 0) = 1.0;
    f(0, 1) = f(1, 0) = 0.5;
    f(1, 1) = -1.0;
    p(0, 0) = 2.0;
    // FP − PF = [[0, −1], [1, 0]]: largest |e| 1, rms √(2/4).
    const DiisStep step = diis.push_and_extrapolate(f, p, scratch);
    EXPECT_EQ(step.history_len, 1u);
    EXPECT_FALSE(step.extrapolated);
    EXPECT_DOUBLE_EQ(step.max_abs_error, 1.0);
    EXPECT_DOUBLE_EQ(step.rms_error, std::sqrt(0.5));
    EXPECT_EQ(f(0, 1), 0.5);
    const AlignedMatrix& error = diis.error_history[diis.slot_order[0]];
    EXPECT_EQ(error(0, 1), -1.0);
    EXPECT_EQ(error(1, 0), 1.0);
    EXPECT_DOUBLE_EQ(diis.b_matrix[0][0], 2.0);
}

// With mutually orthogonal errors the optimal coefficients are c_k ∝ 1/|e_k|². P = diag(2, 2,
// 2, 0, 0, 0) and Fock matrices that differ only in one occupied–virtual coupling x_k each
// give errors ±2x_k on distinct elements.
TEST(Diis, OrthogonalErrorsWeighByInverseNormAndTheSeventhPushRecyclesTheFirstSlot) {
    const std::size_t n = 6;
    const std::pair<std::size_t, std::size_t> couplings[] = {{0, 3}, {0, 4}, {1, 3}, {1, 5},
                                                             {2, 4}, {2, 5}, {0, 5}};
    DiisWorkspace diis = DiisWorkspace::allocate(n, 6);
    AlignedMatrix p(n, n), scratch(n, n);
    for (std::size_t i = 0; i < 3; ++i)
        p(i, i) = 2.0;
    auto coupling = [](std::size_t k) { return 0.1 * static_cast<double>(k + 1); };

    for (std::size_t push = 0; push < 7; ++push) {
        SCOPED_TRACE(push);
        AlignedMatrix f(n, n);
        for (std::size_t i = 0; i < n; ++i)
            f(i, i) = i < 3 ? -5.0 : 1.0;
        const auto [row, col] = couplings[push];
        f(row, col) = f(col, row) = coupling(push);
        const DiisStep step = diis.push_and_extrapolate(f, p, scratch);

        EXPECT_DOUBLE_EQ(step.max_abs_error, 2.0 * coupling(push));
        EXPECT_NEAR(step.rms_error, std::sqrt(8.0) * coupling(push) / 6.0, 1e-15);
        const std::size_t first = push < 6 ? 0 : 1; // the seventh push forgot the first
        EXPECT_EQ(step.history_len, push + 1 - first);
        EXPECT_EQ(step.extrapolated, push > 0);
        if (push == 0)
            continue;
        double weight_sum = 0.0;
        for (std::size_t k = first; k <= push; ++k)
            weight_sum += 1.0 / (coupling(k) * coupling(k));
        for (std::size_t k = 0; k < 7; ++k) {
            const auto [i, j] = couplings[k];
            const bool stored = k >= first && k <= push;
            const double c = stored ? 1.0 / (coupling(k) * coupling(k)) / weight_sum : 0.0;
            EXPECT_NEAR(f(i, j), c * coupling(k), 1e-14) << "coupling " << k;
        }
        EXPECT_NEAR(f(0, 0), -5.0, 1e-14); // Σ c = 1 keeps the common diagonal
        EXPECT_NEAR(f(5, 5), 1.0, 1e-14);
    }

    // The first entry's slot 0 now holds the seventh Fock matrix, as the newest entry.
    const std::array<std::size_t, 6> expected_order = {1, 2, 3, 4, 5, 0};
    for (std::size_t k = 0; k < 6; ++k)
        EXPECT_EQ(diis.slot_order[k], expected_order[k]);
    EXPECT_DOUBLE_EQ(diis.fock_history[0](0, 5), coupling(6));
    for (std::size_t i = 0; i < 6; ++i) {
        for (std::size_t j = 0; j < 6; ++j) {
            const double expected = i == j ? 8.0 * coupling(i + 1) * coupling(i + 1) : 0.0;
            EXPECT_NEAR(diis.b_matrix[i][j], expected, 1e-15) << i << ", " << j;
        }
    }
}

TEST(Diis, HistoryStaysConsistentAndExtrapolationMinimisesTheError) {
    // Random Fock matrices against one density: every stored error must be the commutator,
    // B must hold their inner products by position, and an extrapolated F must have the DIIS
    // optimality property ⟨e(F), e_k⟩ = |e(F)|² for every stored e_k (e is linear in F).
    const std::size_t n = 5;
    std::mt19937 generator(21);
    const AlignedMatrix p = aufbau_density(fixtures::random_symmetric_matrix(n, generator), 2);
    DiisWorkspace diis = DiisWorkspace::allocate(n, 3);
    AlignedMatrix scratch(n, n);
    std::size_t extrapolations = 0;
    for (int push = 0; push < 7; ++push) {
        SCOPED_TRACE(push);
        AlignedMatrix f = fixtures::random_symmetric_matrix(n, generator);
        const AlignedMatrix pushed = f;
        const DiisStep step = diis.push_and_extrapolate(f, p, scratch);
        ASSERT_EQ(step.history_len, diis.count);
        ASSERT_TRUE(is_permutation_of_slots(diis));

        const std::size_t newest = diis.slot_order[diis.count - 1];
        const AlignedMatrix expected_error = commutator(pushed, p);
        for (std::size_t i = 0; i < n * n; ++i) {
            EXPECT_EQ(diis.fock_history[newest].data()[i], pushed.data()[i]);
            EXPECT_NEAR(diis.error_history[newest].data()[i], expected_error.data()[i], 1e-14);
        }
        for (std::size_t i = 0; i < diis.count; ++i) {
            for (std::size_t j = 0; j < diis.count; ++j) {
                const double expected = frobenius(diis.error_history[diis.slot_order[i]],
                                                  diis.error_history[diis.slot_order[j]]);
                EXPECT_NEAR(diis.b_matrix[i][j], expected, 1e-13);
            }
        }
        if (!step.extrapolated)
            continue;
        ++extrapolations;
        const AlignedMatrix combined_error = commutator(f, p);
        const double norm_squared = frobenius(combined_error, combined_error);
        for (std::size_t k = 0; k < diis.count; ++k) {
            EXPECT_NEAR(frobenius(combined_error, diis.error_history[diis.slot_order[k]]),
                        norm_squared, 1e-12);
        }
    }
    EXPECT_GE(extrapolations, 4u);
}

TEST(Diis, RecoversAnExactlyRepresentableSelfConsistentFock) {
    // F* commutes with its own aufbau density. Pushing F* + D1, F* + D2 and F* − D1 − D2 makes
    // the errors cancel exactly for c = (⅓, ⅓, ⅓), whose combination is F* itself.
    const std::size_t n = 5;
    std::mt19937 generator(4);
    const AlignedMatrix target = fixtures::random_symmetric_matrix(n, generator);
    const AlignedMatrix p = aufbau_density(target, 2);
    const AlignedMatrix d1 = fixtures::random_symmetric_matrix(n, generator);
    const AlignedMatrix d2 = fixtures::random_symmetric_matrix(n, generator);
    DiisWorkspace diis = DiisWorkspace::allocate(n, 6);
    AlignedMatrix scratch(n, n), f(n, n);
    DiisStep step;
    for (int k = 0; k < 3; ++k) {
        for (std::size_t i = 0; i < n * n; ++i) {
            const double a = d1.data()[i], b = d2.data()[i];
            f.data()[i] = target.data()[i] + (k == 0 ? a : k == 1 ? b : -a - b);
        }
        step = diis.push_and_extrapolate(f, p, scratch);
    }
    EXPECT_EQ(step.history_len, 3u);
    EXPECT_TRUE(step.extrapolated);
    for (std::size_t i = 0; i < n * n; ++i)
        EXPECT_NEAR(f.data()[i], target.data()[i], 1e-12);
}

TEST(Diis, UnusableSystemsShrinkTheHistoryToTheNewestEntry) {
    struct Case {
        const char* name;
        std::size_t n;
        AlignedMatrix first, second, density;
    };
    std::mt19937 generator(8);
    const AlignedMatrix random_f = fixtures::random_symmetric_matrix(4, generator);
    const AlignedMatrix random_p = aufbau_density(fixtures::random_symmetric_matrix(4, generator), 2);
    AlignedMatrix one_a(1, 1), one_b(1, 1), one_p(1, 1);
    one_a(0, 0) = -5.0;
    one_b(0, 0) = -4.0;
    one_p(0, 0) = 2.0;
    std::vector<Case> cases;
    // Identical errors: B is singular after scaling.
    cases.push_back({"identical errors", 4, random_f, random_f, random_p});
    // One orbital: every commutator vanishes and B has no scale.
    cases.push_back({"zero errors", 1, one_a, one_b, one_p});
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        DiisWorkspace diis = DiisWorkspace::allocate(c.n, 6);
        AlignedMatrix scratch(c.n, c.n);
        diis.push_and_extrapolate(c.first, c.density, scratch);
        AlignedMatrix f = c.second;
        const DiisStep step = diis.push_and_extrapolate(f, c.density, scratch);
        EXPECT_EQ(step.history_len, 1u);
        EXPECT_FALSE(step.extrapolated);
        for (std::size_t i = 0; i < f.size(); ++i)
            EXPECT_EQ(f.data()[i], c.second.data()[i]);
        // Only the newest entry (slot 1) remains, with its own inner product.
        EXPECT_EQ(diis.count, 1u);
        EXPECT_EQ(diis.slot_order[0], 1u);
        EXPECT_TRUE(is_permutation_of_slots(diis));
        const AlignedMatrix& error = diis.error_history[1];
        EXPECT_DOUBLE_EQ(diis.b_matrix[0][0], frobenius(error, error));
    }
}

TEST(Diis, ADependentErrorDropsOnlyAsManyOldEntriesAsNeeded) {
    // P = diag(2, 2, 0, 0). F₁ couples orbitals 0–2 by 0.3, F₂ couples 1–3 by 0.2, F₃ both by
    // −0.3 and 0.4: e₃ = 2e₂ − e₁. The null vector (1, −2, 1) of B sums to zero, so the
    // bordered system is singular; a dependence whose coefficients do not sum to zero would
    // instead be an exact zero-error combination. Without e₁, minimising
    // |c₂e₂ + c₃(2e₂ − e₁)|² = (1 + c₃)²|e₂|² + c₃²|e₁|² gives c₃ = −|e₂|²/(|e₁|² + |e₂|²)
    // = −4/13, so the couplings become −0.3·c₃ = 1.2/13 and 0.2·(1 + c₃) = 1.8/13.
    const std::size_t n = 4;
    AlignedMatrix p(n, n), scratch(n, n);
    p(0, 0) = p(1, 1) = 2.0;
    auto fock = [&](double x, double y) {
        AlignedMatrix f(n, n);
        for (std::size_t i = 0; i < n; ++i)
            f(i, i) = i < 2 ? -3.0 : 2.0;
        f(0, 2) = f(2, 0) = x;
        f(1, 3) = f(3, 1) = y;
        return f;
    };
    DiisWorkspace diis = DiisWorkspace::allocate(n, 6);
    AlignedMatrix f1 = fock(0.3, 0.0), f2 = fock(0.0, 0.2), f3 = fock(-0.3, 0.4);
    diis.push_and_extrapolate(f1, p, scratch);
    ASSERT_TRUE(diis.push_and_extrapolate(f2, p, scratch).extrapolated);
    const DiisStep step = diis.push_and_extrapolate(f3, p, scratch);
    EXPECT_EQ(step.history_len, 2u);
    EXPECT_TRUE(step.extrapolated);
    EXPECT_EQ(diis.slot_order[0], 1u);
    EXPECT_EQ(diis.slot_order[1], 2u);
    const AlignedMatrix expected = fock(1.2 / 13.0, 1.8 / 13.0);
    for (std::size_t i = 0; i < n * n; ++i)
        EXPECT_NEAR(f3.data()[i], expected.data()[i], 1e-12);
}

TEST(Diis, DropOldestShiftsTheHistoryAndResetsWhenNearlyEmpty) {
    DiisWorkspace diis = DiisWorkspace::allocate(1, 4);
    diis.count = 3;
    diis.slot_order = {2, 0, 3, 1, 4, 5, 6, 7};
    for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t j = 0; j < 3; ++j)
            diis.b_matrix[i][j] = static_cast<double>(10 * i + j);
    }
    diis.drop_oldest();
    EXPECT_EQ(diis.count, 2u);
    const std::array<std::size_t, 4> order = {0, 3, 2, 1};
    for (std::size_t k = 0; k < 4; ++k)
        EXPECT_EQ(diis.slot_order[k], order[k]);
    EXPECT_EQ(diis.b_matrix[0][0], 11.0);
    EXPECT_EQ(diis.b_matrix[0][1], 12.0);
    EXPECT_EQ(diis.b_matrix[1][0], 21.0);
    EXPECT_EQ(diis.b_matrix[1][1], 22.0);

    diis.drop_oldest();
    EXPECT_EQ(diis.count, 1u);
    diis.drop_oldest(); // fewer than two entries: a full reset
    EXPECT_EQ(diis.count, 0u);
    for (std::size_t k = 0; k < 4; ++k)
        EXPECT_EQ(diis.slot_order[k], k);
    EXPECT_EQ(diis.b_matrix[0][0], 0.0);
}

TEST(Diis, PulaySolverMatchesClosedFormsAndRejectsUnusableSystems) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        std::vector<std::vector<double>> b;
        bool solvable;
        std::vector<double> coefficients;
    };
    // Two entries: c₀ = (b₁₁ − b₀₁)/(b₀₀ + b₁₁ − 2b₀₁). Orthogonal entries: c_k ∝ 1/b_kk.
    const std::vector<Case> cases = {
        {"orthogonal pair", {{1.0, 0.0}, {0.0, 4.0}}, true, {0.8, 0.2}},
        {"tiny but scalable", {{1e-10, 0.0}, {0.0, 4e-10}}, true, {0.8, 0.2}},
        {"correlated pair", {{4.0, 1.0}, {1.0, 2.0}}, true, {0.25, 0.75}},
        {"orthogonal triple",
         {{1.0, 0.0, 0.0}, {0.0, 2.0, 0.0}, {0.0, 0.0, 4.0}},
         true,
         {4.0 / 7.0, 2.0 / 7.0, 1.0 / 7.0}},
        {"identical errors", {{1.0, 1.0}, {1.0, 1.0}}, false, {}},
        // e₁ = 0.99 e₀ needs c = (−99, 100): beyond the coefficient bound.
        {"nearly parallel errors", {{1.0, 0.99}, {0.99, 0.9801}}, false, {}},
        {"no scale", {{1e-17, 0.0}, {0.0, 1e-17}}, false, {}},
        {"not a number", {{nan, 0.0}, {0.0, 1.0}}, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BMatrix b{};
        for (std::size_t i = 0; i < c.b.size(); ++i) {
            for (std::size_t j = 0; j < c.b.size(); ++j)
                b[i][j] = c.b[i][j];
        }
        std::array<double, MAX_DIIS_CAPACITY> coefficients{};
        EXPECT_EQ(solve_pulay_system(b, c.b.size(), coefficients), c.solvable);
        for (std::size_t k = 0; k < c.coefficients.size(); ++k)
            EXPECT_NEAR(coefficients[k], c.coefficients[k], 1e-14);
    }
    BMatrix b{};
    std::array<double, MAX_DIIS_CAPACITY> coefficients{};
    for (std::size_t m : {0, 1, 9})
        EXPECT_THROW(solve_pulay_system(b, m, coefficients), InternalError) << m;
}

// Mean-field Hubbard ring: F(P) = H + U·diag(P)/2, three doubly occupied orbitals on six
// sites. Plain fixed-point iteration converges only linearly here; DIIS should reach the same
// self-consistent density in far fewer iterations.
struct RingScf {
    static constexpr std::size_t n = 6;
    static constexpr std::size_t n_occupied = 3;
    static constexpr double hopping = -1.0;
    static constexpr double alternation = 0.3;
    static constexpr double hubbard_u = 2.0;
    AlignedMatrix hcore{n, n};

    RingScf() {
        for (std::size_t i = 0; i < n; ++i) {
            hcore(i, (i + 1) % n) = hcore((i + 1) % n, i) = hopping;
            hcore(i, i) = (i % 2 == 0 ? alternation : -alternation) + 0.1 * static_cast<double>(i);
        }
    }

    void build_fock(const AlignedMatrix& density, AlignedMatrix& fock) const {
        fock = hcore;
        for (std::size_t i = 0; i < n; ++i)
            fock(i, i) += 0.5 * hubbard_u * density(i, i);
    }

    // Iterations to max |ΔP| < 1e-10 (0 if not within the limit); the density ends in `density`.
    std::size_t solve(bool use_diis, AlignedMatrix& density) const {
        DiisWorkspace diis = DiisWorkspace::allocate(n, 6);
        AlignedMatrix fock(n, n), scratch(n, n), work(n, n), mo(n, n), next(n, n);
        AlignedVec64 energies(n);
        density = aufbau_density(hcore, n_occupied);
        for (std::size_t iteration = 1; iteration <= 300; ++iteration) {
            build_fock(density, fock);
            if (use_diis)
                diis.push_and_extrapolate(fock, density, scratch);
            diagonalize_symmetric_with_work(fock, work, energies, mo);
            compute_density_matrix(mo, n_occupied, next);
            double change = 0.0;
            for (std::size_t i = 0; i < n * n; ++i)
                change = std::max(change, std::abs(next.data()[i] - density.data()[i]));
            density = next;
            if (change < 1e-10)
                return iteration;
        }
        return 0;
    }
};

TEST(Diis, AcceleratesAModelScfToTheSameSelfConsistentDensity) {
    const RingScf ring;
    AlignedMatrix plain_density, diis_density;
    const std::size_t plain_iterations = ring.solve(false, plain_density);
    const std::size_t diis_iterations = ring.solve(true, diis_density);
    ASSERT_GT(plain_iterations, 0u);
    ASSERT_GT(diis_iterations, 0u);
    EXPECT_LT(4 * diis_iterations, plain_iterations);
    for (std::size_t i = 0; i < plain_density.size(); ++i)
        EXPECT_NEAR(diis_density.data()[i], plain_density.data()[i], 1e-8);
    // Self-consistency: F(P) commutes with P.
    AlignedMatrix fock(RingScf::n, RingScf::n);
    ring.build_fock(diis_density, fock);
    const AlignedMatrix error = commutator(fock, diis_density);
    for (std::size_t i = 0; i < error.size(); ++i)
        EXPECT_NEAR(error.data()[i], 0.0, 1e-9);
}

} // namespace
} // namespace quelm
