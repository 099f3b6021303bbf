#include "types/internal_error.hpp"

namespace quelm {

std::string size_mismatch(const char* what, std::size_t actual, std::size_t expected) {
    return std::string(what) + " size mismatch: " + std::to_string(actual) +
           " != " + std::to_string(expected);
}

} // namespace quelm
