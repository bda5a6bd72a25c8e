// runtime/ref.h: an owned Python reference for C++ locals, the barrier that keeps C++
// exceptions from crossing a CPython slot or a library callback, and helpers for type and
// method tables.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <initializer_list>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

// Owned reference; move-only; never throws.
class Ref {
    PyObject *p_ = nullptr;

  public:
    static Ref steal(PyObject *p) noexcept {
        Ref r;
        r.p_ = p;
        return r;
    }
    static Ref borrow(PyObject *p) noexcept {
        Py_XINCREF(p);
        return steal(p);
    }
    Ref() = default;
    Ref(const Ref &) = delete;
    Ref &operator=(const Ref &) = delete;
    Ref(Ref &&o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    Ref &operator=(Ref &&o) noexcept {
        Py_XSETREF(p_, std::exchange(o.p_, nullptr));
        return *this;
    }
    ~Ref() { Py_XDECREF(p_); }
    PyObject *get() const noexcept { return p_; }
    // Hands the reference to the caller (to return a new reference).
    PyObject *release() noexcept { return std::exchange(p_, nullptr); }
    void reset(PyObject *p = nullptr) noexcept { Py_XSETREF(p_, p); }
    explicit operator bool() const noexcept { return p_ != nullptr; }
};

// Translates the C++ exception in flight into a pending Python exception.
void nvr_translate_exception() noexcept;

// Wrap the body of any function that uses nanobind or the STL:
//   NVR_TRY { ... } NVR_CATCH(nullptr)
#define NVR_TRY try
#define NVR_CATCH(failvalue)                                                                       \
    catch (...) {                                                                                  \
        nvr_translate_exception();                                                                 \
        return failvalue;                                                                          \
    }

// A method-table entry (PyMethodDef.ml_meth) for a function of any of CPython's method
// signatures (METH_VARARGS | METH_KEYWORDS functions take three arguments).
template <class F> PyCFunction nvr_method(F f) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(f));
}

// Joins method tables (each ended by an entry with a null name) into out, ended the same way.
// out.data(), or null with MemoryError.
PyMethodDef *nvr_join_methods(std::vector<PyMethodDef> &out,
                              std::initializer_list<const PyMethodDef *> tables);
// The same for n tables.
PyMethodDef *nvr_join_methods(std::vector<PyMethodDef> &out, const PyMethodDef *const *tables,
                              size_t n);

// First member of a static PyTypeObject written with designated initialisers:
//   PyTypeObject var_type = {NVR_TYPE_HEAD, .tp_name = "nivra.var", ...};
#define NVR_TYPE_HEAD .ob_base = {PyObject_HEAD_INIT(nullptr) 0}

// Calls function(args...) of a module of the Python package (e.g. "nivra._notebook"), imported
// at the first call: for the parts written in Python (pickling, notebook forms). New reference
// or null.
PyObject *nvr_call_package(const char *module, const char *function,
                           std::initializer_list<PyObject *> args);
