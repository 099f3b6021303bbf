// Periodic calculation: validation in the order callers see it (empty cell, atom count,
// translation count, method, cell geometry), then the Bloch SCF. No element check is
// made: atoms the model lacks bring no electrons and no core repulsion.

#include "functions/periodic_pipeline.hpp"

#include "toolkit/molecule_validation.hpp"

#include <algorithm>
#include <array>
#include <vector>

namespace quelm {
namespace {

constexpr MoleculeMessages pbc_messages = {"atomic_numbers must not be empty",
                                           "atomic_numbers and coordinates must have same length"};

} // namespace

Result<PbcResult> run_periodic_calculation(std::span<const std::uint8_t> atomic_numbers,
                                           std::span<const Coordinate> coordinates,
                                           std::span<const Coordinate> translation_vectors,
                                           const ChoiceName& method,
                                           const PeriodicSettings& settings) {
    const Result<bool> shape =
        check_molecule_shape(atomic_numbers.size(), coordinates.size(), pbc_messages);
    if (!shape)
        return Error{shape.error()};
    if (translation_vectors.empty() || translation_vectors.size() > 3)
        return Error{"translation_vectors must have 1, 2, or 3 vectors"};
    const Result<const ParameterModel*> model = get_model(method);
    if (!model)
        return Error{model.error()};
    std::array<Coordinate, 3> vectors{};
    std::copy(translation_vectors.begin(), translation_vectors.end(), vectors.begin());
    Result<UnitCell> cell = UnitCell::from_translation_vectors(vectors, translation_vectors.size());
    if (!cell)
        return Error{cell.error()};

    const MolecularBatch batch = MolecularBatch::new_for_model(
        std::vector<std::uint8_t>(atomic_numbers.begin(), atomic_numbers.end()), coordinates,
        *model.value());
    PbcOptions options;
    options.cell = std::move(cell.value());
    options.mers = settings.mers;
    options.k_grid = settings.k_grid;
    options.use_nddo = settings.use_nddo;
    options.max_iter = settings.max_iter;
    options.band_points = settings.band_points;
    // Sized by the run itself, which knows how many translations and k-points the counts give.
    PbcWorkspace workspace;
    return run_pbc_scf(batch, *model.value(), options, workspace);
}

} // namespace quelm
