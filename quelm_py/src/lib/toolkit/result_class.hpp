#pragma once
// Result classes as declarations. A class is a table of read-only properties (name,
// docstring, getter from the C++ record), a docstring, and optionally to_dict and a
// __repr__ text. The Python type is created from a type spec at module initialisation;
// an instance owns a plain copy of its record and never refers to engine memory.
// Instances are made only by the module functions: calling the class raises TypeError
// "No constructor defined for {class name}".
//
//   const Property<MyRecord> properties[] = {{"energy_ev", "Energy in eV", get_energy}};
//   ResultClass<MyRecord>::create({"quelm_py.MyPyResult", "Doc.", properties, ...});
//   return ResultClass<MyRecord>::wrap(std::move(record));

#include "toolkit/guarded_call.hpp"
#include "toolkit/python_ref.hpp"

#include <span>
#include <string>
#include <utility>
#include <vector>

namespace quelm {

template <typename Record> struct Property {
    const char* name;
    const char* doc;
    // A new reference (a fresh object on every access), or null with an error set.
    PyObject* (*get)(const Record& record);
};

template <typename Record> struct ResultClassSpec {
    const char* qualified_name; // "quelm_py.{ClassName}"
    const char* doc;
    std::span<const Property<Record>> properties;
    const char* to_dict_doc;            // null: the class has no to_dict
    std::string (*repr)(const Record&); // null: the default object repr
};

// Shared, record-independent parts of the class machinery.
namespace result_class_detail {

// The tp_new of every result class: TypeError "No constructor defined for {name}".
PyObject* refuse_construction(PyTypeObject* type, PyObject* args, PyObject* kwargs);

// Frees the object memory and drops the instance's reference to its heap type.
void free_instance(PyObject* self);

// PyType_FromSpec with the given slots; qualified_name must be a string literal, and the
// tables the slots point at must live as long as the type.
PyObject* create_type(const char* qualified_name, int basic_size, std::vector<PyType_Slot>& slots);

// The to_dict form of a property value (a new reference): a list of result objects (the
// orbitals of a result, the points of a path) becomes the list of their to_dict(); any
// other value is returned as it is.
PyObject* dict_value(PyObject* value);

} // namespace result_class_detail

template <typename Record> class ResultClass {
  public:
    // Creates the Python type; a new reference to it, or null with an error set. Called
    // once, at module initialisation; the type lives as long as the process.
    static PyObject* create(const ResultClassSpec<Record>& spec);

    // A new instance holding `record`, or null with an error set.
    static PyObject* wrap(Record record);

  private:
    struct Instance {
        PyObject_HEAD Record* record;
    };

    static const Record& record_of(PyObject* self) {
        return *reinterpret_cast<Instance*>(self)->record;
    }

    static void dealloc(PyObject* self) {
        delete reinterpret_cast<Instance*>(self)->record;
        result_class_detail::free_instance(self);
    }

    static PyObject* get_property(PyObject* self, void* closure) {
        const auto* property = static_cast<const Property<Record>*>(closure);
        return guarded_call([&] { return property->get(record_of(self)); });
    }

    static PyObject* to_dict(PyObject* self, PyObject* /*unused*/) {
        return guarded_call([&]() -> PyObject* {
            PyRef dict(PyDict_New());
            if (!dict)
                return nullptr;
            for (const Property<Record>& property : spec_->properties) {
                PyRef raw(property.get(record_of(self)));
                if (!raw)
                    return nullptr;
                PyRef value(result_class_detail::dict_value(raw.get()));
                if (!value || PyDict_SetItemString(dict.get(), property.name, value.get()) != 0) {
                    return nullptr;
                }
            }
            return dict.release();
        });
    }

    static PyObject* repr(PyObject* self) {
        return guarded_call([&]() -> PyObject* {
            const std::string text = spec_->repr(record_of(self));
            return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
        });
    }

    static inline const ResultClassSpec<Record>* spec_ = nullptr;
    static inline PyTypeObject* type_ = nullptr;
};

template <typename Record>
PyObject* ResultClass<Record>::create(const ResultClassSpec<Record>& spec) {
    // The descriptor tables are referenced by the type for its whole life, which is the
    // life of the process: they are built once and never freed.
    auto* getset = new std::vector<PyGetSetDef>();
    for (const Property<Record>& property : spec.properties) {
        getset->push_back({property.name, &get_property, nullptr, property.doc,
                           const_cast<Property<Record>*>(&property)});
    }
    getset->push_back({nullptr, nullptr, nullptr, nullptr, nullptr});

    auto* methods = new std::vector<PyMethodDef>();
    if (spec.to_dict_doc != nullptr) {
        methods->push_back({"to_dict", &to_dict, METH_NOARGS, spec.to_dict_doc});
    }
    methods->push_back({nullptr, nullptr, 0, nullptr});

    std::vector<PyType_Slot> slots = {
        {Py_tp_doc, const_cast<char*>(spec.doc)},
        {Py_tp_new, reinterpret_cast<void*>(&result_class_detail::refuse_construction)},
        {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc)},
        {Py_tp_getset, getset->data()},
        {Py_tp_methods, methods->data()},
    };
    if (spec.repr != nullptr)
        slots.push_back({Py_tp_repr, reinterpret_cast<void*>(&repr)});
    slots.push_back({0, nullptr});

    PyObject* type = result_class_detail::create_type(spec.qualified_name,
                                                      static_cast<int>(sizeof(Instance)), slots);
    if (type == nullptr)
        return nullptr;
    spec_ = &spec;
    Py_INCREF(type);
    type_ = reinterpret_cast<PyTypeObject*>(type);
    return type;
}

template <typename Record> PyObject* ResultClass<Record>::wrap(Record record) {
    if (type_ == nullptr) {
        throw InternalError("result class used before module initialisation");
    }
    auto* record_copy = new Record(std::move(record));
    auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type_, Py_tp_alloc));
    PyObject* self = alloc(type_, 0);
    if (self == nullptr) {
        delete record_copy;
        return nullptr;
    }
    reinterpret_cast<Instance*>(self)->record = record_copy;
    return self;
}

} // namespace quelm
