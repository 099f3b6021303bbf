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

} // namespace quelm::result_class_detail
