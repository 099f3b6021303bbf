// PyInit_quelm_py: the module object, its classes and functions in registration order,
// the internal-error type, and the embedded adapter script run in the module namespace.
//
// The classes and functions are listed in one table each; a new class or function is
// one line in its table, at its place in the registration order.

#include "functions/am1_bcc_function.hpp"
#include "functions/calculate_function.hpp"
#include "functions/karvel_function.hpp"
#include "results/am1_bcc_result.hpp"
#include "results/calculation_result.hpp"
#include "results/karvel_result.hpp"
#include "toolkit/function_table.hpp"
#include "toolkit/internal_error_type.hpp"
#include "toolkit/python_ref.hpp"

#include <array>

namespace quelm {

// Source text of adapters.py, embedded at build time.
extern const char adapter_script_source[];

namespace {

// Class creators in registration order; each returns a new reference to the type.
struct ClassEntry {
    const char* name;
    PyObject* (*create)();
};
const ClassEntry module_classes[] = {
    {"Am1BccPyResult", create_am1_bcc_result_class},
    {"CalculationResult", create_calculation_result_class},
    {"KarvelLmoPy", create_karvel_lmo_class},
    {"KarvelPyResult", create_karvel_result_class},
};

// Module functions in registration order, closed by the sentinel PyModule_AddFunctions needs.
PyMethodDef module_functions[] = {
    method_def<calculate_function>(),
    method_def<karvel_function>(),
    method_def<am1_bcc_function>(),
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "quelm_py",
    "QUELMOR Python Module",
    -1, // no per-module state: everything a call needs is built per call
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

// The type objects are process-wide, so a second initialisation (a sub-interpreter, a
// direct second call of PyInit) would share them across interpreters: refused.
bool module_initialised = false;

// PyModule_AddObject steals the reference only on success.
bool add_object(PyObject* module, const char* name, PyObject* object) {
    if (object == nullptr)
        return false;
    if (PyModule_AddObject(module, name, object) != 0) {
        Py_DECREF(object);
        return false;
    }
    return true;
}

// Executes the adapter script with the module dict as globals and locals, builtins
// available, so its definitions become module attributes.
bool run_adapter_script(PyObject* module) {
    PyObject* namespace_dict = PyModule_GetDict(module); // borrowed
    if (namespace_dict == nullptr)
        return false;
    PyRef builtins(PyImport_ImportModule("builtins"));
    if (!builtins || PyDict_SetItemString(namespace_dict, "__builtins__", builtins.get()) != 0) {
        return false;
    }
    PyRef code(Py_CompileString(adapter_script_source, "<quelm_py adapters>", Py_file_input));
    if (!code)
        return false;
    PyRef result(PyEval_EvalCode(code.get(), namespace_dict, namespace_dict));
    return static_cast<bool>(result);
}

PyObject* initialise_module() {
    if (module_initialised) {
        PyErr_SetString(PyExc_ImportError, "quelm_py can be initialised only once per process");
        return nullptr;
    }
    PyRef module(PyModule_Create(&module_definition));
    if (!module)
        return nullptr;
    for (const ClassEntry& entry : module_classes) {
        if (!add_object(module.get(), entry.name, entry.create()))
            return nullptr;
    }
    if (PyModule_AddFunctions(module.get(), module_functions) != 0)
        return nullptr;
    if (!add_object(module.get(), "InternalError", create_internal_error_type()))
        return nullptr;
    if (!run_adapter_script(module.get()))
        return nullptr;
    module_initialised = true;
    return module.release();
}

} // namespace
} // namespace quelm

PyMODINIT_FUNC PyInit_quelm_py() {
    return quelm::initialise_module();
}
