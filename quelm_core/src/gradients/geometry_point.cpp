#include "gradients/geometry_point.hpp"

#include "gradients/nuclear_gradients.hpp"

#include <optional>

namespace quelm {

ScfResult evaluate_energy_and_gradient(MolecularBatch& batch, const ParameterModel& model,
                                       ScfWorkspace& workspace, const DriverScfSettings& settings,
                                       std::vector<std::array<double, 3>>& gradient) {
    const ScfResult scf = run_rhf_scf_adaptive_with_nddo_and_cosmo(
        batch, model, workspace, settings.max_iter, settings.energy_tol_ev, settings.density_tol,
        settings.use_nddo, std::nullopt, settings.start_from_previous_density);
    gradient.resize(batch.n_atoms);
    GradientOptions options;
    options.use_nddo = settings.use_nddo;
    compute_cartesian_gradients_with_options(batch, model, workspace.density, gradient, options);
    return scf;
}

} // namespace quelm
