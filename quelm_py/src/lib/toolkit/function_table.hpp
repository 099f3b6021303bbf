#pragma once
// Module functions as declarations: a name, a docstring carrying the text signature, a
// table of parameters and a body. One generic entry binds the positional and keyword
// arguments to the table with Python's own rules and messages, then calls the body,
// which converts each argument through BoundArguments (so a TypeError names the
// argument) and runs the engine through the guarded call.

#include "toolkit/python_ref.hpp"

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <utility>

namespace quelm {

struct ParameterSpec {
    const char* name;
    bool required;
};

// At most this many parameters per function.
inline constexpr std::size_t max_parameters = 16;

class BoundArguments {
  public:
    BoundArguments(std::span<const ParameterSpec> parameters,
                   const std::array<PyObject*, max_parameters>& values)
        : parameters_(parameters), values_(values) {}

    // The object passed for parameter i (borrowed), or null when it was left out.
    PyObject* get(std::size_t i) const { return values_[i]; }

    // Converts a required parameter.
    template <typename T, typename Convert>
    bool convert(std::size_t i, T& value, Convert convert_object) const {
        return named(i, convert_object(values_[i], value));
    }

    // Converts an optional parameter; left out or None keeps `value` (the default).
    template <typename T, typename Convert>
    bool convert_or_default(std::size_t i, T& value, Convert convert_object) const {
        if (values_[i] == nullptr || values_[i] == Py_None)
            return true;
        return named(i, convert_object(values_[i], value));
    }

    // Converts an optional parameter that may be absent; left out or None gives nullopt.
    template <typename T, typename Convert>
    bool convert_optional(std::size_t i, std::optional<T>& value, Convert convert_object) const {
        if (values_[i] == nullptr || values_[i] == Py_None) {
            value.reset();
            return true;
        }
        T converted{};
        if (!named(i, convert_object(values_[i], converted)))
            return false;
        value = std::move(converted);
        return true;
    }

  private:
    // A failed conversion's TypeError, and its ValueError for a number that is not finite,
    // become "argument '{name}': {message}".
    bool named(std::size_t i, bool converted) const;

    std::span<const ParameterSpec> parameters_;
    const std::array<PyObject*, max_parameters>& values_;
};

struct FunctionSpec {
    const char* name;
    // "name(text signature)\n--\n\n" followed by the docstring.
    const char* doc;
    std::span<const ParameterSpec> parameters;
    // A new reference, or null with an exception set.
    PyObject* (*body)(const BoundArguments& arguments);
};

// Binds args/kwargs to spec.parameters (TypeError for too many, missing, duplicated or
// unexpected arguments) and runs the body with C++ exceptions converted.
PyObject* call_function(const FunctionSpec& spec, PyObject* args, PyObject* kwargs);

template <const FunctionSpec& spec>
PyObject* function_entry(PyObject* /*module*/, PyObject* args, PyObject* kwargs) {
    return call_function(spec, args, kwargs);
}

// The method-table entry of a module function.
template <const FunctionSpec& spec> PyMethodDef method_def() {
    return {spec.name,
            reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&function_entry<spec>)),
            METH_VARARGS | METH_KEYWORDS, spec.doc};
}

} // namespace quelm
