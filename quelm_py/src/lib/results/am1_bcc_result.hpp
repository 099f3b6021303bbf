#pragma once
// Am1BccPyResult: the Python result class of the AM1-BCC charges.

#include "properties/am1_bcc.hpp"
#include "toolkit/python_ref.hpp"

namespace quelm {

PyObject* create_am1_bcc_result_class();

// A new Am1BccPyResult holding the record, or null with an error set.
PyObject* wrap_am1_bcc_result(Am1BccResult result);

} // namespace quelm
