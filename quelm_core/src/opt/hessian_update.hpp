#pragma once
// Quasi-Newton updates of a Cartesian Hessian from one step s and the gradient change y it
// caused: Powell symmetric Broyden (PSB), Bofill's mix of PSB and SR1, symmetric rank one
// (SR1) and BFGS. PSB, SR1 and Bofill keep indefinite Hessians indefinite, as a saddle-point
// search needs; BFGS drives towards a positive definite matrix.

#include "types/aligned_storage.hpp"

#include <cstddef>
#include <span>
#include <vector>

namespace quelm {

enum class HessianUpdateKind { psb = 0, bofill = 1, sr1 = 2, bfgs = 3 };

// Scratch of the update: H·s and the residual r = y − H·s.
struct HessianUpdateWorkspace {
    std::vector<double> hessian_step;
    std::vector<double> residual;
    void ensure_capacity(std::size_t n);
};

// Updates the n x n `hessian` in place (both triangles), s in Å, y in kcal/(mol·Å). Nothing
// happens for a step shorter than 1e-12 Å, and each formula skips the update when its
// denominator vanishes. The matrix must be n x n with s and y of length n.
void update_cartesian_hessian(AlignedMatrix& hessian, std::span<const double> step,
                              std::span<const double> gradient_change, HessianUpdateKind kind,
                              HessianUpdateWorkspace& workspace);

} // namespace quelm
