#pragma once
// Number and flag formatting of the result classes' __repr__ texts.

#include <string>

namespace quelm {

// Fixed notation with exactly `decimals` digits after the point, correctly rounded
// (the {value:.N} placeholder).
std::string format_fixed(double value, int decimals);

// "true" or "false", lower case.
const char* format_bool(bool value);

} // namespace quelm
