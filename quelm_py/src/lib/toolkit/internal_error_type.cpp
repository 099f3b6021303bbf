// The internal-error exception type and the helper that raises it.

#include "toolkit/internal_error_type.hpp"

#include <cstring>

namespace quelm {
namespace {

// Created by module initialisation, which runs at most once per process; lives as long
// as the process.
PyObject* internal_error_type = nullptr;

} // namespace

PyObject* create_internal_error_type() {
    if (internal_error_type == nullptr) {
        internal_error_type = PyErr_NewExceptionWithDoc(
            "quelm_py.InternalError",
            "A violated internal invariant of the QUELMOR engine (a bug, not a user error).",
            PyExc_BaseException, nullptr);
        if (internal_error_type == nullptr)
            return nullptr;
    }
    Py_INCREF(internal_error_type);
    return internal_error_type;
}

PyObject* raise_internal_error(const char* message) {
    PyObject* type = internal_error_type != nullptr ? internal_error_type : PyExc_SystemError;
    PyRef text(
        PyUnicode_DecodeUTF8(message, static_cast<Py_ssize_t>(std::strlen(message)), "replace"));
    if (text)
        PyErr_SetObject(type, text.get());
    return nullptr;
}

} // namespace quelm
