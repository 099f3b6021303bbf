// std::to_chars gives exact decimal rounding and shortest round-trip output without
// depending on the C locale (printf would print a decimal comma in some locales).

#include "toolkit/text_format.hpp"

#include <charconv>
#include <cmath>

namespace quelm {
namespace {

// Non-finite values print as Python would show them, not as "nan"/"-nan" variants.
const char* non_finite_text(double value) {
    if (std::isnan(value))
        return "nan";
    return value > 0 ? "inf" : "-inf";
}

} // namespace

std::string format_fixed(double value, int decimals) {
    if (!std::isfinite(value))
        return non_finite_text(value);
    // 309 integer digits at most for a finite double, plus sign, point and decimals.
    std::string text(320 + static_cast<std::size_t>(decimals), '\0');
    const auto end = std::to_chars(text.data(), text.data() + text.size(), value,
                                   std::chars_format::fixed, decimals);
    text.resize(static_cast<std::size_t>(end.ptr - text.data()));
    return text;
}

std::string format_scientific(double value, int decimals) {
    if (!std::isfinite(value))
        return non_finite_text(value);
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value,
                                   std::chars_format::scientific, decimals);
    std::string text(buffer, end.ptr);
    // to_chars writes e-03 / e+00; the exponent is shown as a plain integer.
    const std::size_t e = text.find('e');
    const int exponent = std::stoi(text.substr(e + 1));
    return text.substr(0, e + 1) + std::to_string(exponent);
}

const char* format_bool(bool value) {
    return value ? "true" : "false";
}

} // namespace quelm
