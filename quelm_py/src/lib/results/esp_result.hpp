#pragma once
// EspResultPy: the Python result class of an ESP charge fit.

#include "properties/esp.hpp"
#include "toolkit/python_ref.hpp"

namespace quelm {

// Creates the class at module initialisation; a new reference to the type, or null.
PyObject* create_esp_result_class();

// A new EspResultPy holding the record, or null with an error set.
PyObject* wrap_esp_result(EspResult result);

} // namespace quelm
