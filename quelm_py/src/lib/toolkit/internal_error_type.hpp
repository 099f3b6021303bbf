#pragma once
// quelm_py.InternalError: the Python face of a broken engine invariant. It derives from
// BaseException, not Exception, so that an ordinary `except Exception` in user code does
// not swallow what is a bug in the engine, yet the interpreter keeps running.

#include "toolkit/python_ref.hpp"

namespace quelm {

// Creates the exception type once per process; a new reference, or null with an error set.
PyObject* create_internal_error_type();

// Sets quelm_py.InternalError with the given UTF-8 message. Always returns null.
PyObject* raise_internal_error(const char* message);

} // namespace quelm
