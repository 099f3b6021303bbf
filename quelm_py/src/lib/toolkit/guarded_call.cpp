// ValueError from an engine message.

#include "toolkit/guarded_call.hpp"

#include "toolkit/converters.hpp"

namespace quelm {

PyObject* raise_value_error(std::string_view message) {
    PyRef text(to_python_str(message));
    if (text)
        PyErr_SetObject(PyExc_ValueError, text.get());
    return nullptr;
}

} // namespace quelm
