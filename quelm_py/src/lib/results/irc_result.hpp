#pragma once
// IrcPointPy and IrcPyResult: a traced reaction path and its points.

#include "reactions/irc.hpp"
#include "toolkit/python_ref.hpp"

namespace quelm {

// Create the classes at module initialisation; a new reference to the type, or null.
PyObject* create_irc_point_class();
PyObject* create_irc_result_class();

// A new IrcPyResult holding the record, or null with an error set.
PyObject* wrap_irc_result(IrcResult result);

} // namespace quelm
