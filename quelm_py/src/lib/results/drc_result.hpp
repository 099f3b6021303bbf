#pragma once
// DrcFramePy and DrcPyResult: a molecular-dynamics trajectory and its summary.

#include "reactions/drc.hpp"
#include "toolkit/python_ref.hpp"

namespace quelm {

// Create the classes at module initialisation; a new reference to the type, or null.
PyObject* create_drc_frame_class();
PyObject* create_drc_result_class();

// A new DrcPyResult holding the record, or null with an error set.
PyObject* wrap_drc_result(DrcResult result);

} // namespace quelm
