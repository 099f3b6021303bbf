#pragma once
// OptimizationPyResult: the Python result class of a geometry optimisation.

#include "functions/optimization.hpp"
#include "toolkit/python_ref.hpp"

namespace quelm {

// Creates the class at module initialisation; a new reference to the type, or null.
PyObject* create_optimization_result_class();

// A new OptimizationPyResult holding the record, or null with an error set.
PyObject* wrap_optimization_result(OptimizationRecord record);

} // namespace quelm
