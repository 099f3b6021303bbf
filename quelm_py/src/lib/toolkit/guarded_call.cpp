// ValueError from an engine message; the interruption poll and its exception.

#include "toolkit/guarded_call.hpp"

#include "toolkit/converters.hpp"

namespace quelm {
namespace {

// Runs the pending Python signal handlers; true when one raised (the exception stays set).
// On any thread but the main one this only returns false: Python runs handlers there only.
bool python_signal_poll() noexcept {
    return PyErr_CheckSignals() != 0;
}

} // namespace

void install_interruption_poll() {
    set_interruption_poll(&python_signal_poll);
}

PyObject* raise_interruption() {
    if (PyErr_Occurred() == nullptr)
        PyErr_SetNone(PyExc_KeyboardInterrupt);
    return nullptr;
}

PyObject* raise_value_error(std::string_view message) {
    PyRef text(to_python_str(message));
    if (text)
        PyErr_SetObject(PyExc_ValueError, text.get());
    return nullptr;
}

} // namespace quelm
