// Cartesian gradients of the frozen-density energy by central differences.
//
// With the density P held fixed, E(R) = E_core + ½ Σ P (H + F) splits into one-centre
// terms, which do not depend on the geometry, and a sum of atom-pair terms E_AB, each a
// function of the vector r_B − r_A alone: the core repulsion, the resonance
// 2 Σ P_μν·½(β_μ + β_ν)·S_μν, the electron–nuclear attractions and the two-centre
// Coulomb and exchange energies of the pair's integrals. Displacing atom i therefore
// changes only the pairs (i, j), and dE/dx_i = Σ_j ∂E_ij/∂x_i with ∂E_ij/∂x_j = −∂E_ij/∂x_i.
// Each pair is differentiated once (six evaluations of that pair alone, step 1e-4 Å),
// so a gradient costs about six pair-integral builds instead of 6N full energy builds.

#include "gradients/nuclear_gradients.hpp"

#include "fock/fock_builder.hpp"
#include "gradients/pair_energy.hpp"
#include "hamiltonian/hcore.hpp"
#include "integrals/core_repulsion.hpp"
#include "integrals/multipoles.hpp"
#include "scf/density.hpp"
#include "types/internal_error.hpp"
#include "types/interruption.hpp"

#include <cmath>
#include <optional>

namespace quelm {

namespace {

constexpr double step_angstrom = 1e-4;
constexpr double inverse_two_steps = 5000.0; // 1 / (2h)

// Subtracts the mean so the components sum to zero on every axis: a uniform translation
// cannot change the energy.
void remove_translation(std::vector<std::array<double, 3>>& gradient) {
    std::array<double, 3> mean{};
    for (const auto& g : gradient) {
        for (int axis = 0; axis < 3; ++axis)
            mean[axis] += g[axis];
    }
    for (int axis = 0; axis < 3; ++axis)
        mean[axis] /= double(gradient.size());
    for (auto& g : gradient) {
        for (int axis = 0; axis < 3; ++axis)
            g[axis] -= mean[axis];
    }
}

} // namespace

GradientWorkspace GradientWorkspace::allocate(std::size_t n) {
    return GradientWorkspace{AlignedMatrix(n, n), AlignedMatrix(n, n)};
}

double evaluate_frozen_energy(const MolecularBatch& batch, const ParameterModel& model,
                              const AlignedMatrix& density, GradientWorkspace& workspace,
                              bool use_nddo) {
    if (use_nddo) {
        const std::vector<DiatomicPairIntegrals> pairs = precompute_diatomic_pairs(batch, model);
        build_hcore_nddo(batch, model, pairs.data(), pairs.size(), workspace.hcore);
        build_fock_nddo(batch, model, pairs.data(), pairs.size(), workspace.hcore, density,
                        workspace.fock);
    } else {
        build_hcore(batch, model, workspace.hcore);
        build_fock(batch, model, workspace.hcore, density, workspace.fock);
    }
    return compute_total_core_repulsion(batch, model) +
           compute_electronic_energy(density, workspace.hcore, workspace.fock);
}

void compute_cartesian_gradients_with_options(MolecularBatch& batch, const ParameterModel& model,
                                              const AlignedMatrix& density,
                                              std::vector<std::array<double, 3>>& gradient,
                                              const GradientOptions& options) {
    if (gradient.size() != batch.n_atoms) {
        throw InternalError(size_mismatch("Gradient", gradient.size(), batch.n_atoms));
    }
    require_shape(density, batch.n_orbitals, "Density");
    if (batch.n_atoms == 0)
        return;
    for (auto& g : gradient)
        g = {0.0, 0.0, 0.0};

    const PairEnergyEvaluator evaluator(batch, model, density, options.use_nddo);
    for (std::size_t i = 0; i < batch.n_atoms; ++i) {
        check_for_interruption();
        if (!evaluator.covers(i))
            continue;
        for (std::size_t j = 0; j < i; ++j) {
            if (!evaluator.covers(j))
                continue;
            // Pair terms depend on r_j − r_i; moving atom i by +h moves it by −h.
            const Coordinate separation = {batch.coords_x[j] - batch.coords_x[i],
                                           batch.coords_y[j] - batch.coords_y[i],
                                           batch.coords_z[j] - batch.coords_z[i]};
            for (int axis = 0; axis < 3; ++axis) {
                Coordinate plus = separation;
                Coordinate minus = separation;
                plus[axis] -= step_angstrom;
                minus[axis] += step_angstrom;
                const double d_energy_d_xi =
                    (evaluator.pair_energy(i, j, plus) - evaluator.pair_energy(i, j, minus)) *
                    inverse_two_steps;
                gradient[i][axis] += d_energy_d_xi;
                gradient[j][axis] -= d_energy_d_xi;
            }
        }
    }
    remove_translation(gradient);
}

} // namespace quelm
