// transition_state: the search runs on the closed-shell vacuum surface with only use_nddo
// passed on; the reported heat of formation comes from a full single point at the end.

#include "functions/transition_state_search.hpp"

#include "opt/eigenvector_following.hpp"
#include "scf/scf_workspace.hpp"
#include "toolkit/molecule_validation.hpp"

#include <string>

namespace quelm {
namespace {

constexpr MoleculeMessages transition_state_messages = {"atomic_numbers cannot be empty",
                                                        "Coordinate count mismatch"};

} // namespace

Result<TransitionStateRecord> run_transition_state(std::span<const std::uint8_t> atomic_numbers,
                                                   std::span<const Coordinate> coordinates,
                                                   const ChoiceName& method,
                                                   const TransitionStateSettings& settings) {
    const Result<ValidatedMolecule> validated =
        validate_molecule(atomic_numbers, coordinates.size(), method, transition_state_messages);
    if (!validated)
        return Error{validated.error()};
    const std::size_t n_coordinates = 3 * atomic_numbers.size();
    if (settings.target_mode && *settings.target_mode >= n_coordinates) {
        return Error{"target_mode " + std::to_string(*settings.target_mode) +
                     " is out of range: the molecule has " + std::to_string(n_coordinates) +
                     " Cartesian modes (0 to " + std::to_string(n_coordinates - 1) + ")"};
    }
    const ParameterModel& model = *validated.value().model;

    MolecularBatch batch = MolecularBatch::new_for_model(
        std::vector<std::uint8_t>(atomic_numbers.begin(), atomic_numbers.end()), coordinates,
        model);
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    EigenvectorFollowingWorkspace ef = EigenvectorFollowingWorkspace::allocate(n_coordinates);
    TransitionStateOptions options;
    options.target_mode = settings.target_mode;
    options.max_cycles = settings.max_cycles;
    options.grad_rms_tol = settings.grad_rms_tol;
    options.grad_max_tol = settings.grad_max_tol;
    options.trust_radius = settings.trust_radius;
    options.use_nddo = settings.use_nddo;
    const TransitionStateResult search =
        optimize_transition_state(batch, model, workspace, ef, options);

    TransitionStateRecord record;
    record.coordinates = batch.positions();
    SinglePointSettings single_point;
    single_point.use_nddo = settings.use_nddo;
    Result<SinglePointResult> final_point =
        run_calculation_internal(atomic_numbers, record.coordinates, method, single_point);
    if (!final_point)
        return Error{final_point.error()};

    record.converged = search.converged;
    record.cycles = search.cycles;
    record.final_energy_ev = search.final_energy;
    record.final_heat_of_formation_kcal = final_point.value().heat_of_formation_kcal;
    record.initial_grad_rms = search.initial_grad_rms;
    record.final_grad_rms = search.final_grad_rms;
    record.final_grad_max = search.final_grad_max;
    record.ts_mode_eigenvalue = search.ts_mode_eigenvalue;
    record.ts_mode_index = search.ts_mode_index;
    record.final_result = std::move(final_point.value());
    return record;
}

} // namespace quelm
