#pragma once
// The checks every module function makes before any engine work, cheap and before any
// matrix is allocated: a non-empty molecule, one coordinate row per atom, a known
// method, parameters for every element, and an even (closed-shell) electron count.
// Each failure is the exact ValueError message the caller sees.

#include "parameters/parameter_model.hpp"
#include "toolkit/choice_name.hpp"
#include "types/molecular_batch.hpp"
#include "types/result.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace quelm {

// The model named by method.upper_case ("MNDO", "PM7", "PM6", "AM1", "RM1", "PM3"),
// matched exactly (no trimming), or "Unsupported semi-empirical method: ...".
Result<const ParameterModel*> get_model(const ChoiceName& method);

// The per-function messages of the first two checks. count_mismatch may contain {n}
// (number of atomic numbers) and {m} (number of coordinate rows).
struct MoleculeMessages {
    const char* empty_molecule;
    const char* count_mismatch;
};

// Checks 1 and 2: non-empty, and as many coordinate rows as atoms.
Result<bool> check_molecule_shape(std::size_t n_atomic_numbers, std::size_t n_coordinates,
                                  const MoleculeMessages& messages);

// Rows converted with any length (convert_coordinate_rows) as [x, y, z] coordinates, or
// "Atom {index} coordinate must be [x, y, z], got {n} elements" for the first other row.
Result<std::vector<Coordinate>> check_xyz_rows(const std::vector<std::vector<double>>& rows);

// Checks 4 and 5: every element covered by the model (the first uncovered atom fails,
// quoting the method as the caller wrote it), and an even valence electron count, the
// rounded sum of the core charges. Returns that electron count.
Result<std::size_t> check_closed_shell(std::span<const std::uint8_t> atomic_numbers,
                                       const ParameterModel& model, const ChoiceName& method);

// Every atom has a standard atomic mass; otherwise "Atom {i} (Z={z}) has no standard atomic
// mass; {needed_by} needs one for every atom".
Result<bool> check_standard_masses(std::span<const std::uint8_t> atomic_numbers,
                                   std::string_view needed_by);

// Checks 1 to 5 in order; the model to use and the valence electron count.
struct ValidatedMolecule {
    const ParameterModel* model = nullptr;
    std::size_t n_electrons = 0;
};
// For the functions that accept coordinate rows of any length and report a wrong one
// with a message of their own: the index of the first row that is not [x, y, z], or
// nullopt after copying every row into `coordinates`.
std::optional<std::size_t> rows_to_coordinates(const std::vector<std::vector<double>>& rows,
                                               std::vector<Coordinate>& coordinates);

Result<ValidatedMolecule> validate_molecule(std::span<const std::uint8_t> atomic_numbers,
                                            std::size_t n_coordinates, const ChoiceName& method,
                                            const MoleculeMessages& messages);

} // namespace quelm
