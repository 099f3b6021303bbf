#pragma once
// A broken invariant of the engine: a condition that validated input cannot reach
// (mismatched matrix sizes, missing parameters after validation, a failed allocation).
// It reaches Python as the module's internal-error type, never as a crash.

#include <cstddef>
#include <stdexcept>
#include <string>

namespace quelm {

class InternalError : public std::runtime_error {
  public:
    explicit InternalError(const std::string& message) : std::runtime_error(message) {}
};

// "{what} size mismatch: {actual} != {expected}", built only on the failing path.
std::string size_mismatch(const char* what, std::size_t actual, std::size_t expected);

} // namespace quelm
