// runtime/ref.cpp: translation of C++ exceptions into Python exceptions; joined method tables.
#include "ref.h"

#include <nanobind/nanobind.h>

#include "env.h"

void nvr_translate_exception() noexcept {
    try {
        throw;
    } catch (nanobind::python_error &e) {
        e.restore();
    } catch (const std::bad_alloc &) {
        PyErr_NoMemory();
    } catch (const std::exception &e) {
        PyErr_SetString(nvy_interf_exc ? nvy_interf_exc : PyExc_RuntimeError, e.what());
    } catch (...) {
        PyErr_SetString(nvy_interf_exc ? nvy_interf_exc : PyExc_RuntimeError,
                        "Unknown internal error");
    }
}

PyMethodDef *nvr_join_methods(std::vector<PyMethodDef> &out,
                              std::initializer_list<const PyMethodDef *> tables) {
    return nvr_join_methods(out, tables.begin(), tables.size());
}

PyMethodDef *nvr_join_methods(std::vector<PyMethodDef> &out, const PyMethodDef *const *tables,
                              size_t n) {
    try {
        out.clear();
        for (size_t t = 0; t < n; ++t)
            for (const PyMethodDef *m = tables[t]; m->ml_name; ++m)
                out.push_back(*m);
        out.push_back({nullptr, nullptr, 0, nullptr});
    } catch (...) {
        PyErr_NoMemory();
        return nullptr;
    }
    return out.data();
}

PyObject *nvr_call_package(const char *module, const char *function,
                           std::initializer_list<PyObject *> args) {
    Ref mod = Ref::steal(PyImport_ImportModule(module));
    if (!mod) return nullptr;
    Ref fn = Ref::steal(PyObject_GetAttrString(mod.get(), function));
    if (!fn) return nullptr;
    return PyObject_Vectorcall(fn.get(), const_cast<PyObject *const *>(args.begin()), args.size(),
                               nullptr);
}
