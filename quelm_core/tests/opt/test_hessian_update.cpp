#include "fixtures.hpp"
#include "opt/hessian_update.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace quelm {
namespace {

// H·s for a dense matrix.
std::vector<double> times(const AlignedMatrix& h, const std::vector<double>& s) {
    std::vector<double> out(s.size(), 0.0);
    for (std::size_t i = 0; i < s.size(); ++i)
        for (std::size_t j = 0; j < s.size(); ++j)
            out[i] += h(i, j) * s[j];
    return out;
}

// Every update satisfies the secant condition H_new·s = y (the curvature seen along the last
// step), and stays symmetric; Bofill and PSB leave an indefinite matrix able to stay so.
TEST(HessianUpdate, SatisfiesTheSecantConditionAndStaysSymmetric) {
    struct Case {
        const char* name;
        HessianUpdateKind kind;
    };
    const Case cases[] = {{"PSB", HessianUpdateKind::psb},
                          {"Bofill", HessianUpdateKind::bofill},
                          {"SR1", HessianUpdateKind::sr1},
                          {"BFGS", HessianUpdateKind::bfgs}};
    const std::size_t n = 7;
    std::mt19937 generator(11);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AlignedMatrix h = fixtures::random_symmetric_matrix(n, generator);
        for (std::size_t i = 0; i < n; ++i)
            h(i, i) += 4.0; // positive definite start, so BFGS's denominators are safe
        std::vector<double> s(n), y(n);
        for (std::size_t i = 0; i < n; ++i) {
            s[i] = 0.1 * uniform(generator);
            y[i] = uniform(generator);
        }
        if (c.kind == HessianUpdateKind::bfgs) {
            // BFGS needs positive curvature along the step: y = A s for a positive definite A.
            y = times(h, s);
            for (std::size_t i = 0; i < n; ++i)
                y[i] += 0.5 * s[i];
        }
        HessianUpdateWorkspace workspace;
        update_cartesian_hessian(h, s, y, c.kind, workspace);
        const std::vector<double> hs = times(h, s);
        for (std::size_t i = 0; i < n; ++i) {
            EXPECT_NEAR(hs[i], y[i], 1e-12);
            for (std::size_t j = 0; j < n; ++j)
                EXPECT_EQ(h(i, j), h(j, i));
        }
    }
}

TEST(HessianUpdate, SkipsAVanishingStep) {
    AlignedMatrix h(3, 3);
    h(0, 0) = h(1, 1) = h(2, 2) = 2.0;
    const AlignedMatrix before = h;
    HessianUpdateWorkspace workspace;
    const std::vector<double> s = {1e-13, 0.0, 0.0};
    const std::vector<double> y = {1.0, 2.0, 3.0};
    update_cartesian_hessian(h, s, y, HessianUpdateKind::psb, workspace);
    for (std::size_t k = 0; k < h.size(); ++k)
        EXPECT_EQ(h.data()[k], before.data()[k]);
}

} // namespace
} // namespace quelm
