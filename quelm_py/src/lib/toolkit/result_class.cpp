// Record-independent parts of the result classes: construction refused, deallocation, and
// what pickling, copying and equality need beyond the property getters.

#include "toolkit/result_class.hpp"

#include <cmath>
#include <new>
#include <vector>

namespace quelm {
namespace result_class_detail {
namespace {

struct RegisteredClass {
    PyObject* type;
    std::size_t n_properties;
    bool has_repr;
};

// Every result class created, for the reconstructor's checks; process lifetime, like the
// types themselves.
std::vector<RegisteredClass> registered_classes;

// quelm_py._rebuild_result, which __reduce__ names; set once at module initialisation.
PyObject* reconstructor = nullptr;

const RegisteredClass* find_registered(PyObject* type) {
    for (const RegisteredClass& entry : registered_classes) {
        if (entry.type == type)
            return &entry;
    }
    return nullptr;
}

// Items of a list or tuple as new references in a vector; false with an error set.
bool sequence_items(PyObject* sequence, bool is_list, std::vector<PyRef>& items) {
    const Py_ssize_t size = is_list ? PyList_Size(sequence) : PyTuple_Size(sequence);
    if (size < 0)
        return false;
    items.clear();
    items.reserve(static_cast<std::size_t>(size));
    for (Py_ssize_t i = 0; i < size; ++i) {
        PyObject* item = is_list ? PyList_GetItem(sequence, i) : PyTuple_GetItem(sequence, i);
        if (item == nullptr)
            return false;
        Py_INCREF(item);
        items.emplace_back(item);
    }
    return true;
}

PyObject* copy_sequence(PyObject* sequence, bool is_list) {
    std::vector<PyRef> items;
    if (!sequence_items(sequence, is_list, items))
        return nullptr;
    const auto size = static_cast<Py_ssize_t>(items.size());
    PyRef copy(is_list ? PyList_New(size) : PyTuple_New(size));
    if (!copy)
        return nullptr;
    for (Py_ssize_t i = 0; i < size; ++i) {
        PyObject* item = fresh_copy(items[static_cast<std::size_t>(i)].get());
        // Both setters take the reference, also when they fail.
        if (item == nullptr)
            return nullptr;
        const int failed =
            is_list ? PyList_SetItem(copy.get(), i, item) : PyTuple_SetItem(copy.get(), i, item);
        if (failed != 0)
            return nullptr;
    }
    return copy.release();
}

PyObject* copy_dict(PyObject* dict) {
    PyRef copy(PyDict_New());
    if (!copy)
        return nullptr;
    PyObject* key = nullptr;
    PyObject* value = nullptr;
    Py_ssize_t position = 0;
    while (PyDict_Next(dict, &position, &key, &value)) {
        PyRef value_copy(fresh_copy(value));
        if (!value_copy || PyDict_SetItem(copy.get(), key, value_copy.get()) != 0)
            return nullptr;
    }
    return copy.release();
}

PyObject* rebuild_result(PyObject* /*module*/, PyObject* args) {
    PyObject* type = nullptr;
    PyObject* fields = nullptr;
    PyObject* repr_text = nullptr;
    if (!PyArg_ParseTuple(args, "OO!O:_rebuild_result", &type, &PyTuple_Type, &fields,
                          &repr_text)) {
        return nullptr;
    }
    const RegisteredClass* entry = find_registered(type);
    if (entry == nullptr) {
        PyErr_SetString(PyExc_TypeError, "_rebuild_result() needs a quelm_py result class");
        return nullptr;
    }
    if (PyTuple_Size(fields) != static_cast<Py_ssize_t>(entry->n_properties)) {
        PyErr_Format(PyExc_ValueError, "_rebuild_result() needs %zu property values, got %zd",
                     entry->n_properties, PyTuple_Size(fields));
        return nullptr;
    }
    if (entry->has_repr ? !PyUnicode_Check(repr_text) : repr_text != Py_None) {
        PyErr_SetString(PyExc_TypeError, entry->has_repr
                                             ? "_rebuild_result() needs the repr text as str"
                                             : "_rebuild_result() needs None as the repr text");
        return nullptr;
    }
    auto* type_object = reinterpret_cast<PyTypeObject*>(type);
    auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type_object, Py_tp_alloc));
    PyObject* self = alloc(type_object, 0);
    if (self == nullptr)
        return nullptr;
    Instance* instance = instance_of(self);
    Py_INCREF(fields);
    instance->fields = fields;
    if (entry->has_repr) {
        Py_INCREF(repr_text);
        instance->repr_text = repr_text;
    }
    return self;
}

PyMethodDef reconstructor_definition[] = {
    {"_rebuild_result", &rebuild_result, METH_VARARGS,
     "_rebuild_result(cls, fields, repr_text)\n--\n\n"
     "Rebuild a pickled or copied result from its property values (used by pickle and copy)."},
    {nullptr, nullptr, 0, nullptr},
};

} // namespace

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
    Instance* instance = instance_of(self);
    Py_XDECREF(instance->fields);
    Py_XDECREF(instance->repr_text);
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

PyObject* fresh_copy(PyObject* value) {
    if (PyList_Check(value))
        return copy_sequence(value, true);
    if (PyTuple_Check(value))
        return copy_sequence(value, false);
    if (PyDict_Check(value))
        return copy_dict(value);
    // Numbers, strings, None and result instances are immutable: shared.
    Py_INCREF(value);
    return value;
}

PyObject* rebuilt_field(PyObject* self, std::size_t index) {
    PyObject* value = PyTuple_GetItem(instance_of(self)->fields, static_cast<Py_ssize_t>(index));
    return value == nullptr ? nullptr : fresh_copy(value);
}

int values_equal(PyObject* a, PyObject* b) {
    if (PyFloat_Check(a) && PyFloat_Check(b)) {
        const double x = PyFloat_AsDouble(a);
        const double y = PyFloat_AsDouble(b);
        return (x == y || (std::isnan(x) && std::isnan(y))) ? 1 : 0;
    }
    const bool lists = PyList_Check(a) && PyList_Check(b);
    if (lists || (PyTuple_Check(a) && PyTuple_Check(b))) {
        std::vector<PyRef> items_a;
        std::vector<PyRef> items_b;
        if (!sequence_items(a, lists, items_a) || !sequence_items(b, lists, items_b))
            return -1;
        if (items_a.size() != items_b.size())
            return 0;
        for (std::size_t i = 0; i < items_a.size(); ++i) {
            const int same = values_equal(items_a[i].get(), items_b[i].get());
            if (same != 1)
                return same;
        }
        return 1;
    }
    return PyObject_RichCompareBool(a, b, Py_EQ);
}

PyObject* reduce_value(PyObject* self, PyObject* fields, PyObject* repr_text) {
    PyRef owned_fields(fields);
    PyRef owned_text(repr_text);
    if (reconstructor == nullptr)
        throw InternalError("result pickled before module initialisation");
    return Py_BuildValue("O(OOO)", reconstructor, reinterpret_cast<PyObject*>(Py_TYPE(self)),
                         fields, repr_text != nullptr ? repr_text : Py_None);
}

bool register_class(PyObject* type, std::size_t n_properties, bool has_repr) {
    try {
        registered_classes.push_back({type, n_properties, has_repr});
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
        return false;
    }
    return true;
}

} // namespace result_class_detail

bool add_result_reconstructor(PyObject* module) {
    if (PyModule_AddFunctions(module, result_class_detail::reconstructor_definition) != 0)
        return false;
    result_class_detail::reconstructor = PyObject_GetAttrString(module, "_rebuild_result");
    return result_class_detail::reconstructor != nullptr;
}

} // namespace quelm
