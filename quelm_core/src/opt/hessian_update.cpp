// Quasi-Newton Hessian updates (Bofill, J. Comput. Chem. 15, 1 (1994)).
//
// With r = y − H s:
//   PSB:  ΔH = (r sᵀ + s rᵀ)/(sᵀs) − (sᵀr) s sᵀ/(sᵀs)²
//   SR1:  ΔH = r rᵀ/(sᵀr), only when |sᵀr| is not tiny against |s||r|
//   Bofill: (1 − φ) PSB + φ SR1 with φ = (sᵀr)²/((sᵀs)(rᵀr)); PSB alone when SR1 is unsafe
//   BFGS: ΔH = y yᵀ/(yᵀs) − (Hs)(Hs)ᵀ/(sᵀHs)

#include "opt/hessian_update.hpp"

#include "types/internal_error.hpp"

#include <algorithm>
#include <cmath>

namespace quelm {

namespace {

double dot(const double* a, const double* b, std::size_t n) {
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i)
        sum += a[i] * b[i];
    return sum;
}

// H += a·(u vᵀ + v uᵀ) + b·(w wᵀ) + c·(z zᵀ), element by element, symmetric by construction.
struct RankTerms {
    const double* u = nullptr;
    const double* v = nullptr;
    double a = 0.0;
    const double* w = nullptr;
    double b = 0.0;
    const double* z = nullptr;
    double c = 0.0;
};

void apply(AlignedMatrix& hessian, const RankTerms& t) {
    const std::size_t n = hessian.rows();
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i; j < n; ++j) {
            double delta = 0.0;
            if (t.u != nullptr)
                delta += t.a * (t.u[i] * t.v[j] + t.v[i] * t.u[j]);
            if (t.w != nullptr)
                delta += t.b * t.w[i] * t.w[j];
            if (t.z != nullptr)
                delta += t.c * t.z[i] * t.z[j];
            // One value for both triangles: a symmetric matrix stays exactly symmetric.
            hessian(i, j) += delta;
            if (j != i)
                hessian(j, i) += delta;
        }
    }
}

} // namespace

void HessianUpdateWorkspace::ensure_capacity(std::size_t n) {
    if (hessian_step.size() < n) {
        hessian_step.resize(n);
        residual.resize(n);
    }
}

void update_cartesian_hessian(AlignedMatrix& hessian, std::span<const double> step,
                              std::span<const double> gradient_change, HessianUpdateKind kind,
                              HessianUpdateWorkspace& workspace) {
    const std::size_t n = step.size();
    require_shape(hessian, n, "Hessian");
    if (gradient_change.size() != n)
        throw InternalError(size_mismatch("gradient change", gradient_change.size(), n));
    workspace.ensure_capacity(n);
    const double* s = step.data();
    const double* y = gradient_change.data();
    const double ss = dot(s, s, n);
    if (ss < 1e-24)
        return;
    double* hs = workspace.hessian_step.data();
    double* r = workspace.residual.data();
    for (std::size_t i = 0; i < n; ++i) {
        hs[i] = dot(hessian.row(i), s, n);
        r[i] = y[i] - hs[i];
    }
    const double sr = dot(s, r, n);
    const double rr = dot(r, r, n);
    const bool sr1_safe = std::fabs(sr) > 1e-14 * std::sqrt(rr) * std::sqrt(ss);

    // PSB as rank terms: (r sᵀ + s rᵀ)/ss − (sr/ss²) s sᵀ.
    const RankTerms psb{r, s, 1.0 / ss, s, -sr / (ss * ss), nullptr, 0.0};
    switch (kind) {
    case HessianUpdateKind::bofill: {
        if (rr < 1e-24)
            return;
        if (!sr1_safe) {
            apply(hessian, psb);
            return;
        }
        const double phi = std::clamp(sr * sr / (ss * rr), 0.0, 1.0);
        RankTerms mixed{r, s, (1.0 - phi) / ss, s, -(1.0 - phi) * sr / (ss * ss), r, phi / sr};
        apply(hessian, mixed);
        return;
    }
    case HessianUpdateKind::sr1:
        if (sr1_safe)
            apply(hessian, RankTerms{nullptr, nullptr, 0.0, r, 1.0 / sr, nullptr, 0.0});
        return;
    case HessianUpdateKind::bfgs: {
        const double ys = dot(y, s, n);
        const double shs = dot(s, hs, n);
        if (std::fabs(ys) > 1e-20 && std::fabs(shs) > 1e-20)
            apply(hessian, RankTerms{nullptr, nullptr, 0.0, y, 1.0 / ys, hs, -1.0 / shs});
        return;
    }
    case HessianUpdateKind::psb:
    default:
        apply(hessian, psb);
        return;
    }
}

} // namespace quelm
