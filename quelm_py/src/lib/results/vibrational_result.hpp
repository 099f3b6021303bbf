#pragma once
// NormalModePy, ThermodynamicsPy and VibrationalResultPy: the result classes of
// `frequencies`.

#include "functions/vibrational_analysis.hpp"
#include "toolkit/python_ref.hpp"

namespace quelm {

// Create the classes at module initialisation; a new reference to the type, or null.
PyObject* create_normal_mode_class();
PyObject* create_thermodynamics_class();
PyObject* create_vibrational_result_class();

// A new VibrationalResultPy holding the record, or null with an error set.
PyObject* wrap_vibrational_result(VibrationalRecord record);

} // namespace quelm
