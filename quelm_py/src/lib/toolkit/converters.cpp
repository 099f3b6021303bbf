// Argument converters on the limited API: sequences are read with PySequence_* so that
// lists, tuples, NumPy arrays and any other sequence type are accepted alike.

#include "toolkit/converters.hpp"

#include <cstdint>
#include <string>
#include <utility>

namespace quelm {
namespace {

// TypeError "'{type}' object cannot be converted to '{target}'".
bool fail_conversion(PyObject* object, const char* target) {
    PyRef type_name(
        PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(object)), "__name__"));
    if (!type_name)
        return false;
    PyErr_Format(PyExc_TypeError, "'%U' object cannot be converted to '%s'", type_name.get(),
                 target);
    return false;
}

// A sequence that is not a str; its length, or -1 with an error set.
Py_ssize_t sequence_length(PyObject* object) {
    if (PyUnicode_Check(object) || !PySequence_Check(object)) {
        fail_conversion(object, "Sequence");
        return -1;
    }
    return PySequence_Size(object);
}

// The UTF-8 bytes of a str; surrogatepass keeps lone surrogates instead of failing, so
// any str the caller can build is representable and can be quoted back in a message.
bool to_utf8(PyObject* text, std::string& out) {
    PyRef bytes(PyUnicode_AsEncodedString(text, "utf-8", "surrogatepass"));
    if (!bytes)
        return false;
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(bytes.get(), &data, &size) != 0)
        return false;
    out.assign(data, static_cast<std::size_t>(size));
    return true;
}

bool convert_atomic_number(PyObject* item, std::uint8_t& z) {
    PyRef index(PyNumber_Index(item));
    if (!index)
        return false;
    const long value = PyLong_AsLong(index.get());
    if (value == -1 && PyErr_Occurred())
        return false;
    if (value < 0 || value > 255) {
        PyErr_Format(PyExc_OverflowError, "atomic number %ld is out of range (0 to 255)", value);
        return false;
    }
    z = static_cast<std::uint8_t>(value);
    return true;
}

bool convert_row(PyObject* row, Coordinate& position) {
    const Py_ssize_t length = sequence_length(row);
    if (length < 0)
        return false;
    if (length != 3) {
        PyErr_Format(PyExc_ValueError, "expected a sequence of length 3 (got %zd)", length);
        return false;
    }
    for (Py_ssize_t axis = 0; axis < 3; ++axis) {
        PyRef item(PySequence_GetItem(row, axis));
        if (!item || !convert_double(item.get(), position[static_cast<std::size_t>(axis)])) {
            return false;
        }
    }
    return true;
}

} // namespace

bool convert_atomic_numbers(PyObject* object, std::vector<std::uint8_t>& atomic_numbers) {
    const Py_ssize_t length = sequence_length(object);
    if (length < 0)
        return false;
    std::vector<std::uint8_t> values(static_cast<std::size_t>(length));
    for (Py_ssize_t i = 0; i < length; ++i) {
        PyRef item(PySequence_GetItem(object, i));
        if (!item || !convert_atomic_number(item.get(), values[static_cast<std::size_t>(i)])) {
            return false;
        }
    }
    atomic_numbers = std::move(values);
    return true;
}

bool convert_coordinates(PyObject* object, std::vector<Coordinate>& coordinates) {
    const Py_ssize_t length = sequence_length(object);
    if (length < 0)
        return false;
    std::vector<Coordinate> rows(static_cast<std::size_t>(length));
    for (Py_ssize_t i = 0; i < length; ++i) {
        PyRef row(PySequence_GetItem(object, i));
        if (!row || !convert_row(row.get(), rows[static_cast<std::size_t>(i)]))
            return false;
    }
    coordinates = std::move(rows);
    return true;
}

bool convert_coordinate_rows(PyObject* object, std::vector<std::vector<double>>& rows) {
    const Py_ssize_t length = sequence_length(object);
    if (length < 0)
        return false;
    std::vector<std::vector<double>> converted(static_cast<std::size_t>(length));
    for (Py_ssize_t i = 0; i < length; ++i) {
        PyRef row(PySequence_GetItem(object, i));
        if (!row)
            return false;
        const Py_ssize_t n = sequence_length(row.get());
        if (n < 0)
            return false;
        std::vector<double>& values = converted[static_cast<std::size_t>(i)];
        values.resize(static_cast<std::size_t>(n));
        for (Py_ssize_t k = 0; k < n; ++k) {
            PyRef item(PySequence_GetItem(row.get(), k));
            if (!item || !convert_double(item.get(), values[static_cast<std::size_t>(k)]))
                return false;
        }
    }
    rows = std::move(converted);
    return true;
}

bool convert_double(PyObject* object, double& value) {
    const double converted = PyFloat_AsDouble(object);
    if (converted == -1.0 && PyErr_Occurred())
        return false;
    value = converted;
    return true;
}

bool convert_bool(PyObject* object, bool& value) {
    if (PyBool_Check(object)) {
        value = object == Py_True;
        return true;
    }
    // numpy.bool_ is not a bool subclass but is the flag type of NumPy code.
    PyRef type_name(
        PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(object)), "__name__"));
    PyRef module_name(
        PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(object)), "__module__"));
    if (!type_name || !module_name)
        return false;
    const bool numpy_bool = PyUnicode_Check(module_name.get()) &&
                            PyUnicode_CompareWithASCIIString(module_name.get(), "numpy") == 0 &&
                            (PyUnicode_CompareWithASCIIString(type_name.get(), "bool") == 0 ||
                             PyUnicode_CompareWithASCIIString(type_name.get(), "bool_") == 0);
    if (!numpy_bool)
        return fail_conversion(object, "bool");
    const int truth = PyObject_IsTrue(object);
    if (truth < 0)
        return false;
    value = truth == 1;
    return true;
}

bool convert_count(PyObject* object, std::size_t& value) {
    PyRef index(PyNumber_Index(object));
    if (!index)
        return false;
    const unsigned long long converted = PyLong_AsUnsignedLongLong(index.get());
    if (converted == static_cast<unsigned long long>(-1) && PyErr_Occurred())
        return false;
    if (converted > static_cast<unsigned long long>(SIZE_MAX)) {
        PyErr_SetString(PyExc_OverflowError, "int too large to convert to a count");
        return false;
    }
    value = static_cast<std::size_t>(converted);
    return true;
}

bool convert_choice_name(PyObject* object, ChoiceName& name) {
    if (!PyUnicode_Check(object))
        return fail_conversion(object, "str");
    // str.upper itself, so that a str subclass cannot change the case mapping.
    PyRef upper(PyObject_GetAttrString(reinterpret_cast<PyObject*>(&PyUnicode_Type), "upper"));
    if (!upper)
        return false;
    PyRef upper_case(PyObject_CallFunctionObjArgs(upper.get(), object, nullptr));
    if (!upper_case)
        return false;
    return to_utf8(object, name.as_written) && to_utf8(upper_case.get(), name.upper_case);
}

PyObject* to_python_str(std::string_view utf8) {
    return PyUnicode_DecodeUTF8(utf8.data(), static_cast<Py_ssize_t>(utf8.size()), "surrogatepass");
}

} // namespace quelm
