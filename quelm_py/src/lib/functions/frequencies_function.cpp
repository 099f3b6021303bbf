// frequencies(atomic_numbers, coordinates, method="PM6", ...): argument conversion and the
// vibrational-analysis pipeline. An explicit None selects the default of the signature,
// except for step_size_angstrom, where None selects the fine step of 0.001 Å.

#include "functions/frequencies_function.hpp"

#include "functions/vibrational_analysis.hpp"
#include "results/vibrational_result.hpp"
#include "toolkit/converters.hpp"
#include "toolkit/guarded_call.hpp"

#include <vector>

namespace quelm {
namespace {

const ParameterSpec frequencies_parameters[] = {
    {"atomic_numbers", true},
    {"coordinates", true},
    {"method", false},
    {"temperature_k", false},
    {"pressure_atm", false},
    {"rotational_symmetry_number", false},
    {"step_size_angstrom", false},
    {"project_external", false},
    {"use_nddo", false},
    {"custom_masses", false},
};

// The step that step_size_angstrom=None selects, Å.
constexpr double step_for_none_angstrom = 0.001;

constexpr const char* frequencies_doc =
    "frequencies(atomic_numbers, coordinates, method=\"PM6\", temperature_k=298.15, "
    "pressure_atm=1.0, rotational_symmetry_number=1.0, step_size_angstrom=0.005, "
    "project_external=True, use_nddo=False, custom_masses=None)\n--\n\n"
    "Compute Cartesian Hessian, harmonic vibrational frequencies, normal modes, and "
    "thermodynamics.\n"
    "\n"
    "Parameters:\n"
    "- `atomic_numbers`: list of integer atomic numbers\n"
    "- `coordinates`: list of 3D coordinates in Ångströms\n"
    "- `method`: Semi-empirical Hamiltonian (default: \"PM6\")\n"
    "- `temperature_k`: Temperature in Kelvin (default: 298.15)\n"
    "- `pressure_atm`: Pressure in atmospheres (default: 1.0)\n"
    "- `rotational_symmetry_number`: Rotational symmetry number sigma (e.g. 2 for C2v water; "
    "default: 1.0)\n"
    "- `step_size_angstrom`: Finite difference displacement step in Ångströms "
    "(default: 0.005)\n"
    "- `project_external`: Project out 6 translational/rotational external motions via "
    "Eckart frame (default: true)\n"
    "- `use_nddo`: Enable full NDDO 22 multipoles and rotation (default: false)\n"
    "- `custom_masses`: Optional list of atomic masses in amu, one per atom (default: "
    "standard atomic weights)";

PyObject* frequencies_body(const BoundArguments& arguments) {
    std::vector<std::uint8_t> atomic_numbers;
    std::vector<Coordinate> coordinates;
    ChoiceName method{"PM6", "PM6"};
    FrequencySettings settings;
    if (arguments.get(6) == Py_None)
        settings.step_size_angstrom = step_for_none_angstrom;
    const bool converted =
        arguments.convert(0, atomic_numbers, convert_atomic_numbers) &&
        arguments.convert(1, coordinates, convert_coordinates) &&
        arguments.convert_or_default(2, method, convert_choice_name) &&
        arguments.convert_or_default(3, settings.temperature_k, convert_double) &&
        arguments.convert_or_default(4, settings.pressure_atm, convert_double) &&
        arguments.convert_or_default(5, settings.rotational_symmetry_number, convert_double) &&
        arguments.convert_or_default(6, settings.step_size_angstrom, convert_double) &&
        arguments.convert_or_default(7, settings.project_external, convert_bool) &&
        arguments.convert_or_default(8, settings.use_nddo, convert_bool) &&
        arguments.convert_optional(9, settings.custom_masses, convert_double_list);
    if (!converted)
        return nullptr;
    return result_to_python(run_frequencies(atomic_numbers, coordinates, method, settings),
                            wrap_vibrational_result);
}

} // namespace

const FunctionSpec frequencies_function = {"frequencies", frequencies_doc, frequencies_parameters,
                                           frequencies_body};

} // namespace quelm
