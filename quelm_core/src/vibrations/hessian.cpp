// Vibrational analysis: base SCF, finite-difference Hessian, normal modes, thermochemistry.
//
// A displaced SCF that fails to converge would put an arbitrary gradient into a Hessian
// column, so every SCF must converge (after the retry ladder) or the call stops: a Hessian
// with a silently wrong column gives plausible-looking but wrong frequencies.

#include "vibrations/hessian.hpp"

#include "types/internal_error.hpp"
#include "vibrations/finite_difference_hessian.hpp"

#include <cmath>

namespace quelm {

HessianResult compute_hessian_and_frequencies(MolecularBatch& batch, const ParameterModel& model,
                                              ScfWorkspace& workspace,
                                              const ScfOptions& scf_options,
                                              const HessianOptions& options) {
    if (batch.n_atoms == 0)
        throw InternalError("MolecularBatch must contain at least 1 atom");
    Result<std::vector<double>> resolved =
        resolve_vibrational_masses(batch.atomic_numbers, options.custom_masses);
    if (!resolved)
        throw InternalError(resolved.error());
    const std::vector<double>& masses = resolved.value();

    ScfResult base = run_rhf_scf_with_options(batch, model, workspace, scf_options);
    if (!base.converged && !scf_options.electric_field && !scf_options.external_charges) {
        workspace.restart();
        base = run_rhf_scf_adaptive_with_nddo_and_cosmo(
            batch, model, workspace, scf_options.max_iter, scf_options.energy_tol_ev,
            scf_options.density_tol, scf_options.use_nddo, scf_options.cosmo, false);
    }
    if (!base.converged)
        throw InternalError("Base SCF must converge before computing Hessian");

    FiniteDifferenceHessianSettings settings;
    settings.step_angstrom = options.step_size_angstrom;
    settings.scf = scf_options;
    settings.scf.use_nddo = options.use_nddo;
    settings.relax_scf = options.relax_scf;
    settings.start_from_reference_density = options.start_from_base_density;
    settings.max_threads = options.max_threads;
    FiniteDifferenceHessian fd =
        compute_finite_difference_hessian(batch, model, workspace.density, settings);
    if (fd.unconverged_scfs != 0)
        throw InternalError("Displaced SCF must converge for the finite-difference Hessian");

    NormalModeAnalysis modes =
        analyse_normal_modes(batch, fd.hessian, masses, options.project_external);
    if (!(options.temperature_k > 0.0))
        throw InternalError("Temperature must be strictly positive");

    HessianResult result;
    result.thermodynamics = compute_thermodynamics(batch, masses, modes.vibrational_frequencies_cm1,
                                                   options.temperature_k, options.pressure_atm,
                                                   options.rotational_symmetry_number);
    result.zpve = result.thermodynamics.zpve_kcal_mol;
    result.all_frequencies = std::move(modes.all_frequencies_cm1);
    result.vibrational_frequencies = std::move(modes.vibrational_frequencies_cm1);
    result.normal_modes = std::move(modes.normal_modes);
    result.cartesian_hessian = std::move(fd.hessian);
    result.mass_weighted_hessian = std::move(modes.mass_weighted_hessian);
    return result;
}

} // namespace quelm
