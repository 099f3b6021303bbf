#pragma once
// CalculationResult: the Python result class of a single point.

#include "functions/single_point.hpp"
#include "toolkit/python_ref.hpp"

namespace quelm {

// Creates the class at module initialisation; a new reference to the type, or null.
PyObject* create_calculation_result_class();

// A new CalculationResult holding the record, or null with an error set.
PyObject* wrap_calculation_result(SinglePointResult result);

} // namespace quelm
