#pragma once
// SaddlePointPy and SaddlePyResult: a two-ended transition-state search and its trajectory.

#include "functions/single_point.hpp"
#include "functions/transition_state_search.hpp"
#include "reactions/saddle.hpp"
#include "toolkit/python_ref.hpp"

#include <optional>

namespace quelm {

// Everything SaddlePyResult exposes: the search and the single point at its transition
// state, with the refinement as the transition-state search reports it.
struct SaddleRecord {
    SaddleResult search;
    SinglePointResult final_result;
    std::optional<TransitionStateRecord> ts_refinement;
};

// Create the classes at module initialisation; a new reference to the type, or null.
PyObject* create_saddle_point_class();
PyObject* create_saddle_result_class();

// A new SaddlePyResult holding the record, or null with an error set.
PyObject* wrap_saddle_result(SaddleRecord record);

} // namespace quelm
