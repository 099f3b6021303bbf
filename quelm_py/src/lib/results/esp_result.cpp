// The EspResultPy property table, its __repr__ and to_dict.

#include "results/esp_result.hpp"

#include "toolkit/python_values.hpp"
#include "toolkit/result_class.hpp"
#include "toolkit/text_format.hpp"

#include <string>

namespace quelm {
namespace {

using R = EspResult;

const Property<R> esp_result_properties[] = {
    {"charges", "Fitted atom-centered partial charges in atomic units (e)",
     [](const R& r) { return float_list(r.charges); }},
    {"dipole_debye",
     "Cartesian electric dipole moment computed from fitted ESP charges in Debye [x, y, z]",
     [](const R& r) { return float_list(r.dipole); }},
    {"dipole_magnitude_debye", "Total dipole moment magnitude in Debye",
     [](const R& r) { return float_object(r.dipole_magnitude); }},
    {"rms_error_ev", "Root-mean-square fitting error of the electrostatic potential in eV",
     [](const R& r) { return float_object(r.rms_error); }},
    {"num_grid_points", "Total number of grid points retained on the solvent-accessible envelope",
     [](const R& r) { return int_object(r.num_grid_points); }},
};

std::string esp_result_repr(const R& r) {
    std::string charges = "[";
    for (std::size_t a = 0; a < r.charges.size(); ++a) {
        if (a > 0)
            charges += ", ";
        charges += float_repr(r.charges[a]);
    }
    charges += "]";
    return "<EspResult charges=" + charges + ", dipole=" + format_fixed(r.dipole_magnitude, 3) +
           " D, rms_err=" + format_fixed(r.rms_error, 4) +
           " eV, grid_pts=" + std::to_string(r.num_grid_points) + ">";
}

const ResultClassSpec<R> esp_result_spec = {
    "quelm_py.EspResultPy", "Merz-Singh-Kollman Electrostatic Potential (ESP) fitting result.",
    esp_result_properties,  "Convert ESP result to Python dictionary.",
    esp_result_repr,
};

} // namespace

PyObject* create_esp_result_class() {
    return ResultClass<R>::create(esp_result_spec);
}

PyObject* wrap_esp_result(EspResult result) {
    return ResultClass<R>::wrap(std::move(result));
}

} // namespace quelm
