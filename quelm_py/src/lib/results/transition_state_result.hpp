#pragma once
// TransitionStatePyResult: the Python result class of `transition_state`.

#include "functions/transition_state_search.hpp"
#include "toolkit/python_ref.hpp"

namespace quelm {

// Creates the class at module initialisation; a new reference to the type, or null.
PyObject* create_transition_state_result_class();

// A new TransitionStatePyResult holding the record, or null with an error set.
PyObject* wrap_transition_state_result(TransitionStateRecord record);

} // namespace quelm
