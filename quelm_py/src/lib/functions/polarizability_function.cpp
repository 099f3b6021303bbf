// polarizability(atomic_numbers, coordinates, method="PM6", field_step_au=0.002, ...):
// argument conversion, the molecule checks of this function (coordinate rows of any
// length are accepted by the conversion and checked here), and the finite-field driver.

#include "functions/polarizability_function.hpp"

#include "properties/polarizability.hpp"
#include "results/polarizability_result.hpp"
#include "toolkit/converters.hpp"
#include "toolkit/guarded_call.hpp"
#include "toolkit/molecule_validation.hpp"

#include <string>
#include <vector>

namespace quelm {
namespace {

const ParameterSpec polarizability_parameters[] = {
    {"atomic_numbers", true},
    {"coordinates", true},
    {"method", false},
    {"field_step_au", false},
    {"use_nddo", false},
    {"reorient", false},
    {"apply_empirical_scaling", false},
    {"compute_hyperpolarizabilities", false},
    {"scf_max_iter", false},
    {"energy_tol_ev", false},
    {"density_tol", false},
};

constexpr const char* polarizability_doc =
    "polarizability(atomic_numbers, coordinates, method=\"PM6\", field_step_au=0.002, "
    "use_nddo=True, reorient=True, apply_empirical_scaling=True, "
    "compute_hyperpolarizabilities=True, scf_max_iter=80, energy_tol_ev=1e-9, "
    "density_tol=1e-8)\n--\n\n"
    "Compute molecular polarizability and NLO hyperpolarizability tensors.";

Result<PolarizabilityResult> run_polarizability(std::vector<std::uint8_t> atomic_numbers,
                                                const std::vector<std::vector<double>>& rows,
                                                const ChoiceName& method,
                                                const PolarizabilityOptions& options) {
    if (atomic_numbers.size() != rows.size()) {
        return Error{"Mismatch: " + std::to_string(atomic_numbers.size()) + " atomic numbers but " +
                     std::to_string(rows.size()) + " coordinates"};
    }
    const Result<std::vector<Coordinate>> coordinates = check_xyz_rows(rows);
    if (!coordinates)
        return Error{coordinates.error()};
    const Result<const ParameterModel*> model = get_model(method);
    if (!model)
        return Error{model.error()};
    const MolecularBatch batch = MolecularBatch::new_for_model(std::move(atomic_numbers),
                                                               coordinates.value(), *model.value());
    return compute_polarizability(batch, *model.value(), options);
}

PyObject* polarizability_body(const BoundArguments& arguments) {
    std::vector<std::uint8_t> atomic_numbers;
    std::vector<std::vector<double>> rows;
    ChoiceName method{"PM6", "PM6"};
    PolarizabilityOptions options;
    const bool converted =
        arguments.convert(0, atomic_numbers, convert_atomic_numbers) &&
        arguments.convert(1, rows, convert_coordinate_rows) &&
        arguments.convert_or_default(2, method, convert_choice_name) &&
        arguments.convert_or_default(3, options.field_step_au, convert_double) &&
        arguments.convert_or_default(4, options.use_nddo, convert_bool) &&
        arguments.convert_or_default(5, options.reorient, convert_bool) &&
        arguments.convert_or_default(6, options.apply_empirical_scaling, convert_bool) &&
        arguments.convert_or_default(7, options.compute_hyperpolarizabilities, convert_bool) &&
        arguments.convert_or_default(8, options.scf_max_iter, convert_count) &&
        arguments.convert_or_default(9, options.energy_tol_ev, convert_double) &&
        arguments.convert_or_default(10, options.density_tol, convert_double);
    if (!converted)
        return nullptr;
    return result_to_python(run_polarizability(std::move(atomic_numbers), rows, method, options),
                            wrap_polarizability_result);
}

} // namespace

const FunctionSpec polarizability_function = {"polarizability", polarizability_doc,
                                              polarizability_parameters, polarizability_body};

} // namespace quelm
