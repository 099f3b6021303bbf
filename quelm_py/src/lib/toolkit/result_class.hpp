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
//
// Every result class so declared also travels between processes and copies: it pickles
// (any protocol from 2) and copies through __reduce__, which hands the module's
// reconstructor `_rebuild_result` the class, its property values in table order and its
// repr text. The reconstructor makes a *rebuilt* instance that holds those values instead
// of a record; its properties return fresh copies of them, its __repr__ the stored text
// and its to_dict the same dict, so it cannot be told from the original. Two instances of
// one class compare equal when every property does (a NaN equals a NaN there: the value
// was carried over, not recomputed). Instances are unhashable, like lists.

#include "toolkit/guarded_call.hpp"
#include "toolkit/python_ref.hpp"

#include <span>
#include <string>
#include <string_view>
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
    // Keys of to_dict in their order; empty: every property in table order.
    std::span<const char* const> to_dict_keys = {};
};

// Shared, record-independent parts of the class machinery.
namespace result_class_detail {

// The object layout of every result class. An instance made by a module function holds a
// record; a rebuilt one (see above) holds the property values and the repr text instead.
struct Instance {
    PyObject_HEAD void* record; // Record*, or null in a rebuilt instance
    PyObject* fields;           // rebuilt: tuple of the property values in table order
    PyObject* repr_text;        // rebuilt: the __repr__ text, or null for the default repr
};

inline Instance* instance_of(PyObject* self) {
    return reinterpret_cast<Instance*>(self);
}

// A fresh copy of a stored property value: lists, dicts and tuples are copied all the way
// down, so a caller can change what a property returned without changing the instance.
PyObject* fresh_copy(PyObject* value);

// Property `index` of a rebuilt instance, as a fresh copy.
PyObject* rebuilt_field(PyObject* self, std::size_t index);

// Equality of two property values: recursive over lists and tuples, NaN equal to NaN,
// the values' own == otherwise. 1 equal, 0 not, -1 with an error set.
int values_equal(PyObject* a, PyObject* b);

// `(reconstructor, (type(self), fields, repr_text or None))`, taking both references.
PyObject* reduce_value(PyObject* self, PyObject* fields, PyObject* repr_text);

// Records a created class with its property count and whether it has a __repr__, for the
// reconstructor's checks.
bool register_class(PyObject* type, std::size_t n_properties, bool has_repr);

// The tp_new of every result class: TypeError "No constructor defined for {name}".
PyObject* refuse_construction(PyTypeObject* type, PyObject* args, PyObject* kwargs);

// Frees the object memory and a rebuilt instance's stored values, and drops the
// instance's reference to its heap type.
void free_instance(PyObject* self);

// A property value as to_dict stores it: nested result objects (alone or in a list) become
// their own to_dict; anything else is kept. A new reference, or null with an error set.
PyObject* plain_value(PyObject* value);

// PyType_FromSpec with the given slots; qualified_name must be a string literal, and the
// tables the slots point at must live as long as the type.
PyObject* create_type(const char* qualified_name, int basic_size, std::vector<PyType_Slot>& slots);

} // namespace result_class_detail

// Adds `_rebuild_result(cls, fields, repr_text)`, the reconstructor every result class
// pickles through, to the module. Called once, at module initialisation; false with an
// error set on failure.
bool add_result_reconstructor(PyObject* module);

template <typename Record> class ResultClass {
  public:
    // Creates the Python type; a new reference to it, or null with an error set. Called
    // once, at module initialisation; the type lives as long as the process.
    static PyObject* create(const ResultClassSpec<Record>& spec);

    // A new instance holding `record`, or null with an error set.
    static PyObject* wrap(Record record);

    // A new list of instances holding copies of `records`, or null with an error set.
    static PyObject* wrap_list(std::span<const Record> records) {
        PyRef list(PyList_New(static_cast<Py_ssize_t>(records.size())));
        if (!list)
            return nullptr;
        for (std::size_t i = 0; i < records.size(); ++i) {
            PyObject* item = wrap(records[i]);
            // PyList_SetItem steals the item.
            if (item == nullptr ||
                PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item) != 0)
                return nullptr;
        }
        return list.release();
    }

  private:
    using Instance = result_class_detail::Instance;

    static Record* record_of(PyObject* self) {
        return static_cast<Record*>(result_class_detail::instance_of(self)->record);
    }

    // Property `index` as a new object, from the record or, when rebuilt, the stored values.
    static PyObject* value_of(PyObject* self, std::size_t index) {
        if (const Record* record = record_of(self))
            return spec_->properties[index].get(*record);
        return result_class_detail::rebuilt_field(self, index);
    }

    static void dealloc(PyObject* self) {
        delete record_of(self);
        result_class_detail::free_instance(self);
    }

    static PyObject* get_property(PyObject* self, void* closure) {
        const auto* property = static_cast<const Property<Record>*>(closure);
        const auto index = static_cast<std::size_t>(property - spec_->properties.data());
        return guarded_call([&] { return value_of(self, index); });
    }

    static PyObject* to_dict(PyObject* self, PyObject* /*unused*/) {
        return guarded_call([&]() -> PyObject* {
            PyRef dict(PyDict_New());
            if (!dict)
                return nullptr;
            const auto add = [&](std::size_t index) {
                PyRef value(value_of(self, index));
                PyRef plain(value ? result_class_detail::plain_value(value.get()) : nullptr);
                return plain && PyDict_SetItemString(dict.get(), spec_->properties[index].name,
                                                     plain.get()) == 0;
            };
            if (spec_->to_dict_keys.empty()) {
                for (std::size_t i = 0; i < spec_->properties.size(); ++i) {
                    if (!add(i))
                        return nullptr;
                }
                return dict.release();
            }
            for (const char* key : spec_->to_dict_keys) {
                if (!add(property_index(key)))
                    return nullptr;
            }
            return dict.release();
        });
    }

    // The table position of the property a to_dict key names.
    static std::size_t property_index(std::string_view name) {
        for (std::size_t i = 0; i < spec_->properties.size(); ++i) {
            if (name == spec_->properties[i].name)
                return i;
        }
        throw InternalError("to_dict key without a property: " + std::string(name));
    }

    static PyObject* repr(PyObject* self) {
        return guarded_call([&]() -> PyObject* {
            if (const Record* record = record_of(self)) {
                const std::string text = spec_->repr(*record);
                return PyUnicode_FromStringAndSize(text.data(),
                                                   static_cast<Py_ssize_t>(text.size()));
            }
            PyObject* text = result_class_detail::instance_of(self)->repr_text;
            Py_INCREF(text);
            return text;
        });
    }

    static PyObject* reduce(PyObject* self, PyObject* /*unused*/) {
        return guarded_call([&]() -> PyObject* {
            const Instance* instance = result_class_detail::instance_of(self);
            if (instance->record == nullptr) {
                Py_INCREF(instance->fields);
                Py_XINCREF(instance->repr_text);
                return result_class_detail::reduce_value(self, instance->fields,
                                                         instance->repr_text);
            }
            PyRef fields(PyTuple_New(static_cast<Py_ssize_t>(spec_->properties.size())));
            if (!fields)
                return nullptr;
            for (std::size_t i = 0; i < spec_->properties.size(); ++i) {
                PyObject* value = value_of(self, i);
                // PyTuple_SetItem takes the reference, also when it fails.
                if (value == nullptr ||
                    PyTuple_SetItem(fields.get(), static_cast<Py_ssize_t>(i), value) != 0) {
                    return nullptr;
                }
            }
            PyRef text;
            if (spec_->repr != nullptr) {
                text = PyRef(repr(self));
                if (!text)
                    return nullptr;
            }
            return result_class_detail::reduce_value(self, fields.release(), text.release());
        });
    }

    static PyObject* richcompare(PyObject* self, PyObject* other, int op) {
        if ((op != Py_EQ && op != Py_NE) || Py_TYPE(other) != Py_TYPE(self))
            Py_RETURN_NOTIMPLEMENTED;
        return guarded_call([&]() -> PyObject* {
            bool equal = true;
            for (std::size_t i = 0; equal && i < spec_->properties.size(); ++i) {
                PyRef mine(value_of(self, i));
                PyRef theirs(mine ? value_of(other, i) : nullptr);
                if (!theirs)
                    return nullptr;
                const int same = result_class_detail::values_equal(mine.get(), theirs.get());
                if (same < 0)
                    return nullptr;
                equal = same == 1;
            }
            return PyBool_FromLong((op == Py_EQ) == equal ? 1 : 0);
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
    methods->push_back({"__reduce__", &reduce, METH_NOARGS, "Helper for pickle and copy."});
    methods->push_back({nullptr, nullptr, 0, nullptr});

    std::vector<PyType_Slot> slots = {
        {Py_tp_doc, const_cast<char*>(spec.doc)},
        {Py_tp_new, reinterpret_cast<void*>(&result_class_detail::refuse_construction)},
        {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc)},
        {Py_tp_getset, getset->data()},
        {Py_tp_methods, methods->data()},
        {Py_tp_richcompare, reinterpret_cast<void*>(&richcompare)},
    };
    if (spec.repr != nullptr)
        slots.push_back({Py_tp_repr, reinterpret_cast<void*>(&repr)});
    slots.push_back({0, nullptr});

    PyObject* type = result_class_detail::create_type(spec.qualified_name,
                                                      static_cast<int>(sizeof(Instance)), slots);
    if (type == nullptr)
        return nullptr;
    if (!result_class_detail::register_class(type, spec.properties.size(), spec.repr != nullptr)) {
        Py_DECREF(type);
        return nullptr;
    }
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
    // tp_alloc zero-fills: the rebuilt-instance fields stay null.
    result_class_detail::instance_of(self)->record = record_copy;
    return self;
}

} // namespace quelm
