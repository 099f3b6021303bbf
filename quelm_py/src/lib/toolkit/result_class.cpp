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

PyObject* dict_value(PyObject* value) {
    if (!PyList_Check(value)) {
        Py_INCREF(value);
        return value;
    }
    const Py_ssize_t n = PyList_Size(value);
    PyRef converted(PyList_New(n));
    if (!converted)
        return nullptr;
    for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject* item = PyList_GetItem(value, i); // borrowed
        if (item == nullptr)
            return nullptr;
        PyObject* entry = nullptr;
        if (!PyFloat_Check(item) && !PyLong_Check(item) && !PyList_Check(item) &&
            PyObject_HasAttrString(item, "to_dict")) {
            entry = PyObject_CallMethod(item, "to_dict", nullptr);
        } else {
            Py_INCREF(item);
            entry = item;
        }
        // PyList_SetItem steals the entry.
        if (entry == nullptr || PyList_SetItem(converted.get(), i, entry) != 0)
            return nullptr;
    }
    return converted.release();
}

} // namespace quelm::result_class_detail
