#pragma once
// CiStatePy, MeciPyResult and UvVisSpectrumPy: the Python result classes of the excited
// states and the spectrum.

#include "functions/excited_states.hpp"
#include "toolkit/python_ref.hpp"

namespace quelm {

// Create the classes at module initialisation; each a new reference to the type, or null.
PyObject* create_ci_state_class();
PyObject* create_meci_result_class();
PyObject* create_uv_vis_spectrum_class();

// New instances holding the records, or null with an error set.
PyObject* wrap_meci_result(MeciRecord record);
PyObject* wrap_uv_vis_spectrum(UvVisSpectrum spectrum);

} // namespace quelm
