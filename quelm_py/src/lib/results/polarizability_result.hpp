#pragma once
// PolarizabilityPyResult: the Python result class of a finite-field polarizability.

#include "properties/polarizability.hpp"
#include "toolkit/python_ref.hpp"

namespace quelm {

// Creates the class at module initialisation; a new reference to the type, or null.
PyObject* create_polarizability_result_class();

// A new PolarizabilityPyResult holding the record, or null with an error set.
PyObject* wrap_polarizability_result(PolarizabilityResult result);

} // namespace quelm
