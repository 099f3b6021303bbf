// frequencies: the method is resolved before the molecule is looked at, then the molecule,
// the finite-difference step and the masses are checked, all before any SCF.

#include "functions/vibrational_analysis.hpp"

#include "scf/scf_loop.hpp"
#include "scf/scf_workspace.hpp"
#include "toolkit/molecule_validation.hpp"
#include "vibrations/hessian.hpp"

#include <charconv>
#include <cmath>
#include <string>

namespace quelm {
namespace {

constexpr MoleculeMessages frequencies_messages = {
    "Molecule must have at least one atom",
    "Mismatch between atomic_numbers ({n}) and coordinates ({m})"};

} // namespace

Result<VibrationalRecord> run_frequencies(std::span<const std::uint8_t> atomic_numbers,
                                          std::span<const Coordinate> coordinates,
                                          const ChoiceName& method,
                                          const FrequencySettings& settings) {
    const Result<const ParameterModel*> model = get_model(method);
    if (!model)
        return Error{model.error()};
    const Result<bool> shape =
        check_molecule_shape(atomic_numbers.size(), coordinates.size(), frequencies_messages);
    if (!shape)
        return Error{shape.error()};
    const Result<std::size_t> electrons =
        check_closed_shell(atomic_numbers, *model.value(), method);
    if (!electrons)
        return Error{electrons.error()};
    // The central difference divides by the step: zero, negative or non-finite steps have
    // no meaning.
    if (!(settings.step_size_angstrom > 0.0) || !std::isfinite(settings.step_size_angstrom)) {
        char text[32];
        const auto written = std::to_chars(text, text + sizeof text, settings.step_size_angstrom);
        return Error{"step_size_angstrom must be positive (got " + std::string(text, written.ptr) +
                     ")"};
    }
    const Result<std::vector<double>> masses =
        resolve_vibrational_masses(atomic_numbers, settings.custom_masses);
    if (!masses)
        return Error{masses.error()};

    MolecularBatch batch = MolecularBatch::new_for_model(
        std::vector<std::uint8_t>(atomic_numbers.begin(), atomic_numbers.end()), coordinates,
        *model.value());
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    ScfOptions scf;
    scf.max_iter = 100;
    scf.energy_tol_ev = 1e-8;
    scf.density_tol = 1e-7;
    scf.level_shift_ev = 0.0;
    scf.damping = 0.5;
    scf.use_nddo = settings.use_nddo;
    HessianOptions options;
    options.custom_masses = settings.custom_masses;
    options.step_size_angstrom = settings.step_size_angstrom;
    options.temperature_k = settings.temperature_k;
    options.pressure_atm = settings.pressure_atm;
    options.rotational_symmetry_number = settings.rotational_symmetry_number;
    options.relax_scf = true;
    options.use_nddo = settings.use_nddo;
    options.project_external = settings.project_external;
    HessianResult hessian =
        compute_hessian_and_frequencies(batch, *model.value(), workspace, scf, options);

    VibrationalRecord record;
    record.is_transition_state =
        !hessian.vibrational_frequencies.empty() &&
        hessian.vibrational_frequencies.front() < transition_state_frequency_cm1;
    record.all_frequencies_cm1 = std::move(hessian.all_frequencies);
    record.vibrational_frequencies_cm1 = std::move(hessian.vibrational_frequencies);
    record.normal_modes = std::move(hessian.normal_modes);
    record.zpve_kcal_mol = hessian.zpve;
    record.thermo = hessian.thermodynamics;
    record.cartesian_hessian = std::move(hessian.cartesian_hessian);
    return record;
}

} // namespace quelm
