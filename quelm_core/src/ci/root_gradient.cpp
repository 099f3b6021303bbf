// Central differences of a CI root's total energy over the Cartesian coordinates.
//
// Each displaced SCF is converged tightly (1e-10 eV, density 1e-9) because the root energy
// depends to first order on the orbitals: an SCF error δ gives an error δ/(2h) in the
// gradient, and h = 1e-3 Å keeps the O(h²) truncation below 1e-5 eV/Å for molecular
// force constants.

#include "ci/root_gradient.hpp"

#include "scf/scf_loop.hpp"

namespace quelm {
namespace {

constexpr std::size_t displaced_max_iter = 200;
constexpr double displaced_energy_tol_ev = 1e-10;
constexpr double displaced_density_tol = 1e-9;

// The root's total energy at the batch's current coordinates, or false when the SCF fails.
bool root_energy(const MolecularBatch& batch, const ParameterModel& model,
                 const MeciOptions& options, ScfWorkspace& scf_workspace,
                 MeciWorkspace& meci_workspace, double& energy_ev) {
    const ScfResult scf = run_rhf_scf_adaptive_with_nddo_and_cosmo(
        batch, model, scf_workspace, displaced_max_iter, displaced_energy_tol_ev,
        displaced_density_tol, options.use_nddo, std::nullopt, true);
    if (!scf.converged)
        return false;
    energy_ev = scf.total_energy_ev +
                compute_ci_root_energy(batch, model, scf_workspace.eigenvectors,
                                       scf_workspace.eigenvalues, options, meci_workspace);
    return true;
}

} // namespace

std::vector<Coordinate> compute_ci_root_gradient(MolecularBatch& batch, const ParameterModel& model,
                                                 const MeciOptions& options,
                                                 ScfWorkspace& scf_workspace,
                                                 MeciWorkspace& meci_workspace) {
    std::vector<Coordinate> gradient(batch.n_atoms);
    AlignedVec64* axes[3] = {&batch.coords_x, &batch.coords_y, &batch.coords_z};
    for (std::size_t atom = 0; atom < batch.n_atoms; ++atom) {
        for (std::size_t axis = 0; axis < 3; ++axis) {
            double& x = (*axes[axis])[atom];
            const double original = x;
            double plus = 0.0;
            double minus = 0.0;
            x = original + ci_gradient_step_angstrom;
            const bool plus_ok =
                root_energy(batch, model, options, scf_workspace, meci_workspace, plus);
            x = original - ci_gradient_step_angstrom;
            const bool minus_ok =
                plus_ok && root_energy(batch, model, options, scf_workspace, meci_workspace, minus);
            x = original;
            if (!minus_ok)
                return {};
            gradient[atom][axis] = (plus - minus) / (2.0 * ci_gradient_step_angstrom);
        }
    }
    return gradient;
}

} // namespace quelm
