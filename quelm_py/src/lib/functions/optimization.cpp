// Geometry optimisation: L-BFGS on the vacuum SCF surface, then the single point that
// reports the final geometry's properties.

#include "functions/optimization.hpp"

#include "scf/scf_workspace.hpp"
#include "toolkit/molecule_validation.hpp"

#include <string>

namespace quelm {
namespace {

constexpr MoleculeMessages optimize_messages = {"atomic_numbers cannot be empty",
                                                "Coordinate count mismatch"};

} // namespace

Result<OptimizationRecord> run_geometry_optimization(std::span<const std::uint8_t> atomic_numbers,
                                                     std::span<const Coordinate> coordinates,
                                                     const ChoiceName& method,
                                                     const OptimizationSettings& settings) {
    const Result<ValidatedMolecule> validated =
        validate_molecule(atomic_numbers, coordinates.size(), method, optimize_messages);
    if (!validated)
        return Error{validated.error()};
    const ParameterModel& model = *validated.value().model;

    OptimizationRecord record;
    {
        MolecularBatch batch = MolecularBatch::new_for_model(
            std::vector<std::uint8_t>(atomic_numbers.begin(), atomic_numbers.end()), coordinates,
            model);
        ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
        LbfgsOptions options;
        options.max_cycles = settings.max_cycles;
        options.grad_rms_tol = settings.grad_rms_tol;
        options.grad_max_tol = settings.grad_max_tol;
        options.use_nddo = settings.use_nddo;
        record.optimization = optimize_geometry_lbfgs(batch, model, workspace, options);
        record.coordinates = batch.positions();
    } // the optimiser's matrices are released before the single point allocates its own

    SinglePointSettings single_point;
    single_point.use_nddo = settings.use_nddo;
    Result<SinglePointResult> final_result =
        run_calculation_internal(atomic_numbers, record.coordinates, method, single_point);
    if (!final_result)
        return Error{final_result.error()};
    record.final_result = std::move(final_result.value());
    return record;
}

} // namespace quelm
