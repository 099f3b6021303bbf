// Validation of a molecule against a semi-empirical model.

#include "toolkit/molecule_validation.hpp"

#include "types/atomic_masses.hpp"

#include <cmath>
#include <string>
#include <string_view>

namespace quelm {
namespace {

// Replaces each "{key}" in text by value.
std::string substitute(std::string text, std::string_view key, const std::string& value) {
    for (std::size_t at = text.find(key); at != std::string::npos;
         at = text.find(key, at + value.size())) {
        text.replace(at, key.size(), value);
    }
    return text;
}

} // namespace

Result<const ParameterModel*> get_model(const ChoiceName& method) {
    if (const ParameterModel* model = find_model(method.upper_case))
        return model;
    return Error{"Unsupported semi-empirical method: '" + method.upper_case +
                 "'. Supported methods: PM7, PM6, AM1, RM1, PM3, MNDO"};
}

std::optional<std::size_t> rows_to_coordinates(const std::vector<std::vector<double>>& rows,
                                               std::vector<Coordinate>& coordinates) {
    coordinates.resize(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].size() != 3)
            return i;
        coordinates[i] = {rows[i][0], rows[i][1], rows[i][2]};
    }
    return std::nullopt;
}

Result<bool> check_molecule_shape(std::size_t n_atomic_numbers, std::size_t n_coordinates,
                                  const MoleculeMessages& messages) {
    if (n_atomic_numbers == 0)
        return Error{messages.empty_molecule};
    if (n_atomic_numbers != n_coordinates) {
        std::string message =
            substitute(messages.count_mismatch, "{n}", std::to_string(n_atomic_numbers));
        return Error{substitute(std::move(message), "{m}", std::to_string(n_coordinates))};
    }
    return true;
}

Result<std::vector<Coordinate>> check_xyz_rows(const std::vector<std::vector<double>>& rows) {
    std::vector<Coordinate> coordinates;
    if (const std::optional<std::size_t> bad = rows_to_coordinates(rows, coordinates)) {
        return Error{"Atom " + std::to_string(*bad) + " coordinate must be [x, y, z], got " +
                     std::to_string(rows[*bad].size()) + " elements"};
    }
    return coordinates;
}

Result<std::size_t> check_closed_shell(std::span<const std::uint8_t> atomic_numbers,
                                       const ParameterModel& model, const ChoiceName& method) {
    double core_charge_sum = 0.0;
    for (const std::uint8_t z : atomic_numbers) {
        const std::optional<ElementParameters> element = model.get_element(z);
        if (!element) {
            return Error{"Unsupported element Z=" + std::to_string(z) +
                         " for semi-empirical method '" + method.as_written + "'"};
        }
        core_charge_sum += element->core_charge;
    }
    // std::round takes halves away from zero; a negative sum means no electrons.
    const double rounded = std::round(core_charge_sum);
    const std::size_t n_electrons = rounded > 0.0 ? static_cast<std::size_t>(rounded) : 0;
    if (n_electrons % 2 != 0) {
        return Error{"Open-shell radical detected (" + std::to_string(n_electrons) +
                     " valence electrons). Closed-shell RHF requires an even number of valence "
                     "electrons (requires UHF/ROHF)."};
    }
    return n_electrons;
}

Result<bool> check_standard_masses(std::span<const std::uint8_t> atomic_numbers,
                                   std::string_view needed_by) {
    if (const std::optional<std::size_t> atom = first_massless_atom(atomic_numbers)) {
        return Error{"Atom " + std::to_string(*atom) + " (Z=" +
                     std::to_string(atomic_numbers[*atom]) + ") has no standard atomic mass; " +
                     std::string(needed_by) + " needs one for every atom"};
    }
    return true;
}

Result<ValidatedMolecule> validate_molecule(std::span<const std::uint8_t> atomic_numbers,
                                            std::size_t n_coordinates, const ChoiceName& method,
                                            const MoleculeMessages& messages) {
    const Result<bool> shape = check_molecule_shape(atomic_numbers.size(), n_coordinates, messages);
    if (!shape)
        return Error{shape.error()};
    const Result<const ParameterModel*> model = get_model(method);
    if (!model)
        return Error{model.error()};
    const Result<std::size_t> n_electrons =
        check_closed_shell(atomic_numbers, *model.value(), method);
    if (!n_electrons)
        return Error{n_electrons.error()};
    return ValidatedMolecule{model.value(), n_electrons.value()};
}

} // namespace quelm
