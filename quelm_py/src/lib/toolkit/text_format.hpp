#pragma once
// Number and flag formatting of the result classes' __repr__ texts.

#include <string>

namespace quelm {

// Fixed notation with exactly `decimals` digits after the point, correctly rounded
// (the {value:.N} placeholder).
std::string format_fixed(double value, int decimals);

// Scientific notation with `decimals` mantissa decimals and the exponent as a plain
// integer: 1.234e-3, 5.000e0 (the {value:.Ne} placeholder).
std::string format_scientific(double value, int decimals);

// "true" or "false", lower case.
const char* format_bool(bool value);

} // namespace quelm
