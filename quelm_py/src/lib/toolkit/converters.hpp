#pragma once
// Conversion of Python argument objects into engine values. Each converter returns true
// on success; on failure it returns false with a Python exception set: TypeError for an
// object of the wrong kind, ValueError for a wrong length, OverflowError for an integer
// outside the target range. The argument parser prefixes a TypeError with the argument
// name; the others pass through unchanged.

#include "toolkit/choice_name.hpp"
#include "toolkit/python_ref.hpp"
#include "types/molecular_batch.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quelm {

// Any sequence except str whose items are integers 0 to 255.
bool convert_atomic_numbers(PyObject* object, std::vector<std::uint8_t>& atomic_numbers);

// A sequence (not str) of rows, each a sequence (not str) of exactly three numbers, Å.
bool convert_coordinates(PyObject* object, std::vector<Coordinate>& coordinates);

// A sequence (not str) of rows of any length, each a sequence (not str) of numbers; for
// the functions that check the row lengths themselves with their own messages.
bool convert_coordinate_rows(PyObject* object, std::vector<std::vector<double>>& rows);

// A real number: float, int or anything with __float__ / __index__.
bool convert_double(PyObject* object, double& value);

// Python bool (or NumPy's bool) only: 0 and 1 are not flags.
bool convert_bool(PyObject* object, bool& value);

// A non-negative integer that counts something; negative values raise OverflowError.
bool convert_count(PyObject* object, std::size_t& value);

// A str: its text and its Unicode upper-case form (str.upper), both UTF-8.
bool convert_choice_name(PyObject* object, ChoiceName& name);

// A new Python str from UTF-8 text (lone surrogates, carried through from the caller's
// own strings, are restored), or null with an error set.
PyObject* to_python_str(std::string_view utf8);

} // namespace quelm
