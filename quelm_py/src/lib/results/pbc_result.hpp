#pragma once
// PbcResultPy: the Python result class of a periodic calculation.

#include "pbc/bloch_scf.hpp"
#include "toolkit/python_ref.hpp"

namespace quelm {

// Creates the class at module initialisation; a new reference to the type, or null.
PyObject* create_pbc_result_class();

// A new PbcResultPy holding the record, or null with an error set.
PyObject* wrap_pbc_result(PbcResult result);

} // namespace quelm
