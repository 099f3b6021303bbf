#pragma once
// The CPython limited API (stable ABI, CPython 3.9 and later) and an owning reference.
// Every file of the binding includes Python through here so that the limited-API
// configuration comes from one place (the build defines Py_LIMITED_API).

#include <Python.h>

namespace quelm {

// Owns one strong reference; releases it on destruction. Null means "no object", which
// after a C API call means a Python exception is set.
class PyRef {
  public:
    PyRef() = default;
    explicit PyRef(PyObject* owned) : object_(owned) {}
    PyRef(const PyRef&) = delete;
    PyRef& operator=(const PyRef&) = delete;
    PyRef(PyRef&& other) noexcept : object_(other.release()) {}
    PyRef& operator=(PyRef&& other) noexcept {
        if (this != &other) {
            Py_XDECREF(object_);
            object_ = other.release();
        }
        return *this;
    }
    ~PyRef() { Py_XDECREF(object_); }

    PyObject* get() const { return object_; }
    // Hands the reference to the caller.
    PyObject* release() {
        PyObject* object = object_;
        object_ = nullptr;
        return object;
    }
    explicit operator bool() const { return object_ != nullptr; }

  private:
    PyObject* object_ = nullptr;
};

} // namespace quelm
