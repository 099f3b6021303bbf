// The excited-state pipeline: checks, SCF, CI, transition dipoles, root gradient, spectrum.
//
// Arguments that would make the CI or the grid allocate without bound (more than 8 active
// orbitals, a non-positive step or one so small the grid explodes) and a band width that
// would divide by zero are refused before the SCF runs.

#include "functions/excited_states.hpp"

#include "ci/root_gradient.hpp"
#include "scf/scf_loop.hpp"
#include "toolkit/molecule_validation.hpp"
#include "types/physical_constants.hpp"

#include <string>

namespace quelm {
namespace {

constexpr MoleculeMessages meci_messages = {"atomic_numbers cannot be empty",
                                            "Coordinate count mismatch"};

// The checks before any matrix is allocated; the model to use.
Result<const ParameterModel*> check_meci_arguments(std::size_t n_atomic_numbers,
                                                   std::size_t n_coordinates,
                                                   const ChoiceName& method,
                                                   std::size_t active_orbitals) {
    const Result<bool> shape = check_molecule_shape(n_atomic_numbers, n_coordinates, meci_messages);
    if (!shape)
        return Error{shape.error()};
    Result<const ParameterModel*> model = get_model(method);
    if (!model)
        return model;
    if (active_orbitals > max_active_orbitals) {
        return Error{"active_orbitals must be at most " + std::to_string(max_active_orbitals) +
                     " (the CI matrix grows as the square of the microstate count)"};
    }
    return model;
}

struct ScfAndCi {
    MolecularBatch batch;
    ScfWorkspace scf_workspace;
    MeciWorkspace meci_workspace;
    ScfResult scf;
    MeciResult meci;
};

Result<ScfAndCi> run_scf_and_ci(std::span<const std::uint8_t> atomic_numbers,
                                std::span<const Coordinate> coordinates,
                                const ParameterModel& model, const MeciOptions& options) {
    ScfAndCi run;
    run.batch = MolecularBatch::new_for_model(
        std::vector<std::uint8_t>(atomic_numbers.begin(), atomic_numbers.end()), coordinates,
        model);
    run.scf_workspace = ScfWorkspace::allocate(run.batch.n_orbitals);
    ScfOptions scf_options;
    scf_options.use_nddo = options.use_nddo;
    run.scf = run_rhf_scf_with_options(run.batch, model, run.scf_workspace, scf_options);
    if (!run.scf.converged)
        return Error{"SCF did not converge"};
    run.meci_workspace = MeciWorkspace::allocate(options.n_active_orbitals, 100);
    run.meci = run_meci(run.batch, model, run.scf_workspace.eigenvectors,
                        run.scf_workspace.eigenvalues, run.scf.electronic_energy_ev,
                        run.scf.total_energy_ev, options, run.meci_workspace);
    compute_transition_dipoles_and_oscillator_strengths(
        run.batch, model, run.scf_workspace.eigenvectors, run.meci.active_orbitals, run.meci);
    return run;
}

MeciOptions options_for(std::size_t active_orbitals, std::size_t target_root, bool use_nddo) {
    MeciOptions options;
    options.n_active_orbitals = active_orbitals;
    options.n_active_electrons = active_orbitals;
    options.target_root = target_root;
    options.use_nddo = use_nddo;
    return options;
}

} // namespace

Result<MeciRecord> run_meci_internal(std::span<const std::uint8_t> atomic_numbers,
                                     std::span<const Coordinate> coordinates,
                                     const ChoiceName& method, const MeciSettings& settings,
                                     bool with_gradient) {
    const Result<const ParameterModel*> model = check_meci_arguments(
        atomic_numbers.size(), coordinates.size(), method, settings.active_orbitals);
    if (!model)
        return Error{model.error()};
    MeciOptions options =
        options_for(settings.active_orbitals, settings.target_root, settings.use_nddo);
    Result<ScfAndCi> run = run_scf_and_ci(atomic_numbers, coordinates, *model.value(), options);
    if (!run)
        return Error{run.error()};
    ScfAndCi& r = run.value();

    MeciRecord record;
    record.num_microstates = r.meci.microstates.size();
    record.target_root = r.meci.target_root;
    record.ci_energy_correction_ev = r.meci.ci_energy_correction_ev;
    record.electronic_energy_ev = r.meci.electronic_energy_ev;
    record.total_energy_ev = r.meci.total_energy_ev;
    record.heat_of_formation_kcal = r.meci.heat_of_formation_kcal;
    record.states = std::move(r.meci.states);
    for (CiState& state : record.states)
        state.coefficients = {}; // never reaches Python
    if (with_gradient) {
        options.target_root = r.meci.target_root;
        record.gradients_kcal_mol_angstrom = compute_ci_root_gradient(
            r.batch, *model.value(), options, r.scf_workspace, r.meci_workspace);
        if (record.gradients_kcal_mol_angstrom.empty())
            return Error{"SCF did not converge"};
        for (Coordinate& g : record.gradients_kcal_mol_angstrom) {
            for (double& component : g)
                component *= kcal_mol_per_ev;
        }
    }
    return record;
}

Result<UvVisSpectrum> run_uv_vis_internal(std::span<const std::uint8_t> atomic_numbers,
                                          std::span<const Coordinate> coordinates,
                                          const ChoiceName& method, std::size_t active_orbitals,
                                          const SpectrumGrid& grid, bool use_nddo) {
    const Result<const ParameterModel*> model =
        check_meci_arguments(atomic_numbers.size(), coordinates.size(), method, active_orbitals);
    if (!model)
        return Error{model.error()};
    if (!(grid.fwhm_nm > 0.0))
        return Error{"fwhm_nm must be positive"};
    if (!(grid.step_nm > 0.0))
        return Error{"step_nm must be positive"};
    const std::size_t points =
        spectrum_point_count(grid.min_wavelength_nm, grid.max_wavelength_nm, grid.step_nm);
    if (points > max_spectrum_points) {
        return Error{"Wavelength grid would have more than " + std::to_string(max_spectrum_points) +
                     " points"};
    }
    Result<ScfAndCi> run = run_scf_and_ci(atomic_numbers, coordinates, *model.value(),
                                          options_for(active_orbitals, 1, use_nddo));
    if (!run)
        return Error{run.error()};
    return simulate_uv_vis_spectrum(run.value().meci.states, grid.min_wavelength_nm,
                                    grid.max_wavelength_nm, grid.step_nm, grid.fwhm_nm);
}

} // namespace quelm
