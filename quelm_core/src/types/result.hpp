#pragma once
// Result<T>: a value or the one message string the caller will see. A failure that
// ordinary input can cause travels this way; nothing adds a prefix on the way up.

#include <string>
#include <utility>
#include <variant>

namespace quelm {

struct Error {
    std::string message;
};

template <typename T> class Result {
  public:
    Result(T value) : state_(std::move(value)) {}
    Result(Error error) : state_(std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() { return std::get<0>(state_); }
    const T& value() const { return std::get<0>(state_); }
    const std::string& error() const { return std::get<1>(state_).message; }

  private:
    std::variant<T, Error> state_;
};

} // namespace quelm
