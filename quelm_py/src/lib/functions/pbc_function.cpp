// pbc(atomic_numbers, coordinates, translation_vectors, method="PM6", mers=None,
// k_grid=None, use_nddo=True, max_iter=100, band_points=40): argument conversion and the
// call of the periodic pipeline. Every optional argument also accepts None, which selects
// its default. The function has no docstring, only its text signature.

#include "functions/pbc_function.hpp"

#include "functions/periodic_pipeline.hpp"
#include "results/pbc_result.hpp"
#include "toolkit/converters.hpp"
#include "toolkit/guarded_call.hpp"

#include <climits>
#include <vector>

namespace quelm {
namespace {

const ParameterSpec pbc_parameters[] = {
    {"atomic_numbers", true}, {"coordinates", true}, {"translation_vectors", true},
    {"method", false},        {"mers", false},       {"k_grid", false},
    {"use_nddo", false},      {"max_iter", false},   {"band_points", false},
};

constexpr const char* pbc_doc =
    "pbc(atomic_numbers, coordinates, translation_vectors, method=\"PM6\", mers=None, "
    "k_grid=None, use_nddo=True, max_iter=100, band_points=40)\n--\n\n";

// A sequence (not str) of exactly three integers, each within a 32-bit signed integer.
// Their sign is the engine's business: counts below 1 are refused there with a message
// naming the argument.
bool convert_lattice_counts(PyObject* object, LatticeCounts& counts) {
    if (PyUnicode_Check(object) || !PySequence_Check(object)) {
        PyRef type_name(
            PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(object)), "__name__"));
        if (type_name) {
            PyErr_Format(PyExc_TypeError, "'%U' object cannot be converted to 'Sequence'",
                         type_name.get());
        }
        return false;
    }
    const Py_ssize_t length = PySequence_Size(object);
    if (length < 0)
        return false;
    if (length != 3) {
        PyErr_Format(PyExc_ValueError, "expected a sequence of length 3 (got %zd)", length);
        return false;
    }
    for (Py_ssize_t i = 0; i < 3; ++i) {
        PyRef item(PySequence_GetItem(object, i));
        if (!item)
            return false;
        PyRef index(PyNumber_Index(item.get()));
        if (!index)
            return false;
        const long long value = PyLong_AsLongLong(index.get());
        if (value == -1 && PyErr_Occurred())
            return false;
        if (value < INT_MIN || value > INT_MAX) {
            PyErr_Format(PyExc_OverflowError, "count %lld is out of range", value);
            return false;
        }
        counts[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(value);
    }
    return true;
}

PyObject* pbc_body(const BoundArguments& arguments) {
    std::vector<std::uint8_t> atomic_numbers;
    std::vector<Coordinate> coordinates;
    std::vector<Coordinate> translation_vectors;
    ChoiceName method{"PM6", "PM6"};
    PeriodicSettings settings;
    const bool converted =
        arguments.convert(0, atomic_numbers, convert_atomic_numbers) &&
        arguments.convert(1, coordinates, convert_coordinates) &&
        arguments.convert(2, translation_vectors, convert_coordinates) &&
        arguments.convert_or_default(3, method, convert_choice_name) &&
        arguments.convert_or_default(4, settings.mers, convert_lattice_counts) &&
        arguments.convert_or_default(5, settings.k_grid, convert_lattice_counts) &&
        arguments.convert_or_default(6, settings.use_nddo, convert_bool) &&
        arguments.convert_or_default(7, settings.max_iter, convert_count) &&
        arguments.convert_or_default(8, settings.band_points, convert_count);
    if (!converted)
        return nullptr;
    return result_to_python(run_periodic_calculation(atomic_numbers, coordinates,
                                                     translation_vectors, method, settings),
                            wrap_pbc_result);
}

} // namespace

const FunctionSpec pbc_function = {"pbc", pbc_doc, pbc_parameters, pbc_body};

} // namespace quelm
