#pragma once
// Engine values as new Python objects for property getters: floats, ints, bools and
// (nested) lists of floats. Each returns a new reference, or null with an error set;
// lists are built fresh on every call.

#include "toolkit/python_ref.hpp"
#include "types/molecular_batch.hpp"

#include <cstddef>
#include <span>
#include <string>

namespace quelm {

PyObject* float_object(double value);
PyObject* int_object(std::size_t value);
PyObject* bool_object(bool value);

// Python's repr of a float (shortest round trip, "0.5", "1e-05"). Throws InternalError if
// Python cannot build it (out of memory).
std::string float_repr(double value);

// [v0, v1, ...]
PyObject* float_list(std::span<const double> values);

// [i0, i1, ...] of indices or counts.
PyObject* index_list(std::span<const std::size_t> values);
// [[x, y, z], ...], one row per atom.
PyObject* row_list(std::span<const Coordinate> rows);

} // namespace quelm
