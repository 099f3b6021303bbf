// PyInit_quelm_py: the module object, its classes and functions in registration order,
// the internal-error type, and the embedded adapter script run in the module namespace.
//
// The classes and functions are listed in one table each; a new class or function is
// one line in its table, at its place in the registration order.

#include "functions/am1_bcc_function.hpp"
#include "functions/calculate_function.hpp"
#include "functions/drc_function.hpp"
#include "functions/esp_charges_function.hpp"
#include "functions/excited_state_functions.hpp"
#include "functions/frequencies_function.hpp"
#include "functions/irc_function.hpp"
#include "functions/karvel_function.hpp"
#include "functions/optimize_function.hpp"
#include "functions/pbc_function.hpp"
#include "functions/polarizability_function.hpp"
#include "functions/saddle_function.hpp"
#include "functions/transition_state_function.hpp"
#include "results/am1_bcc_result.hpp"
#include "results/calculation_result.hpp"
#include "results/drc_result.hpp"
#include "results/esp_result.hpp"
#include "results/excited_state_results.hpp"
#include "results/irc_result.hpp"
#include "results/karvel_result.hpp"
#include "results/optimization_result.hpp"
#include "results/pbc_result.hpp"
#include "results/polarizability_result.hpp"
#include "results/saddle_result.hpp"
#include "results/transition_state_result.hpp"
#include "results/vibrational_result.hpp"
#include "toolkit/function_table.hpp"
#include "toolkit/guarded_call.hpp"
#include "toolkit/internal_error_type.hpp"
#include "toolkit/python_ref.hpp"
#include "toolkit/result_class.hpp"

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
    {"OptimizationPyResult", create_optimization_result_class},
    {"TransitionStatePyResult", create_transition_state_result_class},
    {"NormalModePy", create_normal_mode_class},
    {"ThermodynamicsPy", create_thermodynamics_class},
    {"VibrationalResultPy", create_vibrational_result_class},
    {"IrcPointPy", create_irc_point_class},
    {"IrcPyResult", create_irc_result_class},
    {"DrcFramePy", create_drc_frame_class},
    {"DrcPyResult", create_drc_result_class},
    {"SaddlePointPy", create_saddle_point_class},
    {"SaddlePyResult", create_saddle_result_class},
    {"CiStatePy", create_ci_state_class},
    {"MeciPyResult", create_meci_result_class},
    {"UvVisSpectrumPy", create_uv_vis_spectrum_class},
    {"PbcResultPy", create_pbc_result_class},
    {"EspResultPy", create_esp_result_class},
    {"PolarizabilityPyResult", create_polarizability_result_class},
    {"KarvelLmoPy", create_karvel_lmo_class},
    {"KarvelPyResult", create_karvel_result_class},
};

// Module functions in registration order, closed by the sentinel PyModule_AddFunctions needs.
// clang-format off
PyMethodDef module_functions[] = {
    method_def<calculate_function>(),
    method_def<optimize_function>(),
    method_def<transition_state_function>(),
    method_def<frequencies_function>(),
    method_def<esp_charges_function>(),
    method_def<irc_function>(),
    method_def<drc_function>(),
    method_def<saddle_function>(),
    method_def<meci_function>(),
    method_def<uv_vis_spectrum_function>(),
    method_def<pbc_function>(),
    method_def<polarizability_function>(),
    method_def<karvel_function>(),
    method_def<am1_bcc_function>(),
    {nullptr, nullptr, 0, nullptr},
};
// clang-format on

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
    if (!add_result_reconstructor(module.get()))
        return nullptr;
    if (!run_adapter_script(module.get()))
        return nullptr;
    module_initialised = true;
    // Ctrl-C stops the engine's long loops (see toolkit/guarded_call.hpp).
    install_interruption_poll();
    return module.release();
}

} // namespace
} // namespace quelm

PyMODINIT_FUNC PyInit_quelm_py() {
    return quelm::initialise_module();
}
