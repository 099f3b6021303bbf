#pragma once
// The one place where C++ exceptions become Python exceptions. Every entry point from
// Python (module functions, property getters, __repr__, to_dict) runs its body through
// guarded_call, so no C++ exception ever unwinds into the interpreter:
//   quelm::Interrupted → the exception the signal handler raised (KeyboardInterrupt for
//   Ctrl-C), already set by the interruption poll;
//   quelm::InternalError, std::bad_alloc, anything else → quelm_py.InternalError.
// Engine failures that ordinary input can cause arrive as Result<T> errors and are raised
// as ValueError with the engine's message unchanged.
//
// Interruption: the module installs, once at initialisation, an engine poll that runs
// Python's pending signal handlers (PyErr_CheckSignals) at each step of the engine's long
// loops; a handler that raises (SIGINT's raises KeyboardInterrupt) stops the loop through
// quelm::Interrupted. The poll needs the interpreter lock, which every module function
// holds for its whole call: a function that released it around engine work would have to
// uninstall the poll for that time.

#include "toolkit/internal_error_type.hpp"
#include "toolkit/python_ref.hpp"
#include "types/internal_error.hpp"
#include "types/interruption.hpp"
#include "types/result.hpp"

#include <exception>
#include <new>
#include <string_view>
#include <utility>

namespace quelm {

// Sets ValueError with exactly this UTF-8 message. Always returns null.
PyObject* raise_value_error(std::string_view message);

// Installs the interruption poll described above. Called once, at module initialisation.
void install_interruption_poll();

// After quelm::Interrupted: null, with the signal handler's exception set (KeyboardInterrupt
// when the poll found none, as when an embedder's own poll stopped the engine).
PyObject* raise_interruption();

// Runs body() (a new reference, or null with a Python error set) with C++ exceptions
// converted as described above.
template <typename Body> PyObject* guarded_call(Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (const Interrupted&) {
        return raise_interruption();
    } catch (const InternalError& error) {
        return raise_internal_error(error.what());
    } catch (const std::bad_alloc&) {
        return raise_internal_error("Memory allocation failed");
    } catch (const std::exception& error) {
        return raise_internal_error(error.what());
    } catch (...) {
        return raise_internal_error("Unknown C++ exception in the QUELMOR engine");
    }
}

// A Result's value converted by to_object, or its message raised as ValueError.
template <typename T, typename ToObject>
PyObject* result_to_python(Result<T>&& result, ToObject to_object) {
    if (!result.ok())
        return raise_value_error(result.error());
    return to_object(std::move(result.value()));
}

} // namespace quelm
