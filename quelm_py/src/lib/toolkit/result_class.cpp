// Record-independent parts of the result classes.

#include "toolkit/result_class.hpp"

namespace quelm::result_class_detail {

PyObject* refuse_construction(PyTypeObject* type, PyObject* /*args*/, PyObject* /*kwargs*/) {
    PyRef name(PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__name__"));
    if (!name)
        return nullptr;
    PyErr_Format(PyExc_TypeError, "No constructor defined for %U", name.get());
    return nullptr;
}

namespace {

// A result object's to_dict(), or a new reference to the object itself when it has none.
PyObject* dict_or_self(PyObject* value) {
    if (PyObject_HasAttrString(value, "to_dict") == 0 || PyUnicode_Check(value)) {
        Py_INCREF(value);
        return value;
    }
    return PyObject_CallMethod(value, "to_dict", nullptr);
}

} // namespace

PyObject* plain_value(PyObject* value) {
    if (!PyList_Check(value))
        return dict_or_self(value);
    const Py_ssize_t n = PyList_Size(value);
    PyRef list(PyList_New(n));
    if (!list)
        return nullptr;
    for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject* item = dict_or_self(PyList_GetItem(value, i)); // borrowed in, new out
        if (item == nullptr || PyList_SetItem(list.get(), i, item) != 0)
            return nullptr;
    }
    return list.release();
}

void free_instance(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    auto free_memory = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
    free_memory(self);
    // Instances of heap types hold a reference to their type.
    Py_DECREF(reinterpret_cast<PyObject*>(type));
}

PyObject* create_type(const char* qualified_name, int basic_size, std::vector<PyType_Slot>& slots) {
    // The type keeps pointing at the name (a string literal); the slots are copied.
    PyType_Spec spec{qualified_name, basic_size, 0, Py_TPFLAGS_DEFAULT, slots.data()};
    return PyType_FromSpec(&spec);
}

} // namespace quelm::result_class_detail
