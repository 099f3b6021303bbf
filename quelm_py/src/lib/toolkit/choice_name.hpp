#pragma once
// A name chosen by the caller from a fixed list (a method, a dispersion model): the text
// as written, for messages that quote it, and its full Unicode upper-case form, which
// is what the lists are matched against. Both are UTF-8; the upper-casing is Python's
// str.upper (so "ß" becomes "SS"), done when the argument is converted.

#include <string>

namespace quelm {

struct ChoiceName {
    std::string as_written;
    std::string upper_case;
};

} // namespace quelm
