// Argument binding with the wording of Python functions written in Python, so that a
// caller sees the messages they already know ("missing 1 required positional argument").

#include "toolkit/function_table.hpp"

#include "toolkit/converters.hpp"
#include "toolkit/guarded_call.hpp"

#include <string>
#include <vector>

namespace quelm {
namespace {

// "'a'", "'a' and 'b'", "'a', 'b' and 'c'", as Python lists missing arguments.
std::string quoted_list(const std::vector<const char*>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            text += (i + 1 == names.size()) ? " and " : ", ";
        text += "'";
        text += names[i];
        text += "'";
    }
    return text;
}

bool bind_positional(const FunctionSpec& spec, PyObject* args,
                     std::array<PyObject*, max_parameters>& values) {
    const Py_ssize_t given = PyTuple_Size(args);
    if (given < 0)
        return false;
    const auto allowed = static_cast<Py_ssize_t>(spec.parameters.size());
    if (given > allowed) {
        Py_ssize_t required = 0;
        for (const ParameterSpec& parameter : spec.parameters)
            required += parameter.required;
        if (required == allowed) {
            PyErr_Format(PyExc_TypeError, "%s() takes %zd positional argument%s but %zd %s given",
                         spec.name, allowed, allowed == 1 ? "" : "s", given,
                         given == 1 ? "was" : "were");
        } else {
            PyErr_Format(PyExc_TypeError,
                         "%s() takes from %zd to %zd positional arguments but %zd %s given",
                         spec.name, required, allowed, given, given == 1 ? "was" : "were");
        }
        return false;
    }
    for (Py_ssize_t i = 0; i < given; ++i) {
        values[static_cast<std::size_t>(i)] = PyTuple_GetItem(args, i);
    }
    return true;
}

bool bind_keywords(const FunctionSpec& spec, PyObject* kwargs,
                   std::array<PyObject*, max_parameters>& values) {
    if (kwargs == nullptr)
        return true;
    PyObject* key = nullptr;
    PyObject* value = nullptr;
    Py_ssize_t position = 0;
    while (PyDict_Next(kwargs, &position, &key, &value)) {
        if (!PyUnicode_Check(key)) {
            PyErr_Format(PyExc_TypeError, "%s() keywords must be strings", spec.name);
            return false;
        }
        std::size_t slot = spec.parameters.size();
        for (std::size_t i = 0; i < spec.parameters.size(); ++i) {
            if (PyUnicode_CompareWithASCIIString(key, spec.parameters[i].name) == 0) {
                slot = i;
                break;
            }
        }
        if (slot == spec.parameters.size()) {
            PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", spec.name,
                         key);
            return false;
        }
        if (values[slot] != nullptr) {
            PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'", spec.name,
                         spec.parameters[slot].name);
            return false;
        }
        values[slot] = value;
    }
    return true;
}

bool check_required(const FunctionSpec& spec, const std::array<PyObject*, max_parameters>& values) {
    std::vector<const char*> missing;
    for (std::size_t i = 0; i < spec.parameters.size(); ++i) {
        if (spec.parameters[i].required && values[i] == nullptr) {
            missing.push_back(spec.parameters[i].name);
        }
    }
    if (missing.empty())
        return true;
    PyErr_Format(PyExc_TypeError, "%s() missing %zu required positional argument%s: %s", spec.name,
                 missing.size(), missing.size() == 1 ? "" : "s", quoted_list(missing).c_str());
    return false;
}

} // namespace

bool BoundArguments::named(std::size_t i, bool converted) const {
    if (converted)
        return true;
    PyObject* const named_type = PyErr_ExceptionMatches(PyExc_TypeError) ? PyExc_TypeError
                                 : error_needs_argument_name()           ? PyExc_ValueError
                                                                         : nullptr;
    if (named_type == nullptr)
        return false;
    PyObject* type = nullptr;
    PyObject* value = nullptr;
    PyObject* traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    PyRef owned_type(type);
    PyRef owned_value(value);
    PyRef owned_traceback(traceback);
    PyRef message(value != nullptr ? PyObject_Str(value) : PyUnicode_FromString(""));
    if (!message)
        return false;
    PyErr_Format(named_type, "argument '%s': %U", parameters_[i].name, message.get());
    return false;
}

PyObject* call_function(const FunctionSpec& spec, PyObject* args, PyObject* kwargs) {
    return guarded_call([&]() -> PyObject* {
        if (spec.parameters.size() > max_parameters) {
            throw InternalError(std::string(spec.name) + "() declares more than " +
                                std::to_string(max_parameters) + " parameters");
        }
        std::array<PyObject*, max_parameters> values{};
        if (!bind_positional(spec, args, values) || !bind_keywords(spec, kwargs, values) ||
            !check_required(spec, values)) {
            return nullptr;
        }
        return spec.body(BoundArguments(spec.parameters, values));
    });
}

} // namespace quelm
