// Conversions of engine values into Python objects.

#include "toolkit/python_values.hpp"

#include "types/internal_error.hpp"

namespace quelm {

PyObject* float_object(double value) {
    return PyFloat_FromDouble(value);
}

PyObject* int_object(std::size_t value) {
    return PyLong_FromSize_t(value);
}

PyObject* bool_object(bool value) {
    return PyBool_FromLong(value ? 1 : 0);
}

std::string float_repr(double value) {
    PyRef number(PyFloat_FromDouble(value));
    PyRef text(number ? PyObject_Repr(number.get()) : nullptr);
    PyRef bytes(text ? PyUnicode_AsUTF8String(text.get()) : nullptr);
    const char* data = bytes ? PyBytes_AsString(bytes.get()) : nullptr;
    if (data == nullptr)
        throw InternalError("repr of a float failed");
    return data;
}

PyObject* float_list(std::span<const double> values) {
    PyRef list(PyList_New(static_cast<Py_ssize_t>(values.size())));
    if (!list)
        return nullptr;
    for (std::size_t i = 0; i < values.size(); ++i) {
        PyObject* item = PyFloat_FromDouble(values[i]);
        // PyList_SetItem steals the item; the list owns it from here.
        if (item == nullptr || PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item) != 0) {
            return nullptr;
        }
    }
    return list.release();
}

PyObject* index_list(std::span<const std::size_t> values) {
    PyRef list(PyList_New(static_cast<Py_ssize_t>(values.size())));
    if (!list)
        return nullptr;
    for (std::size_t i = 0; i < values.size(); ++i) {
        PyObject* item = PyLong_FromSize_t(values[i]);
        if (item == nullptr || PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item) != 0) {
            return nullptr;
        }
    }
    return list.release();
}

PyObject* row_list(std::span<const Coordinate> rows) {
    PyRef list(PyList_New(static_cast<Py_ssize_t>(rows.size())));
    if (!list)
        return nullptr;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        PyObject* row = float_list(rows[i]);
        if (row == nullptr || PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), row) != 0) {
            return nullptr;
        }
    }
    return list.release();
}

} // namespace quelm
