// callbacks/poolcut.h: nivra.poolcut, a cut of the library's cut pool. It carries the library's
// cut handle and never owns the cut: the pool does.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "nvra.h"

struct poolcut_s {
    PyObject_HEAD NVRAcut cut; // null for an object made by the constructor
};

extern PyTypeObject poolcut_type;

inline bool poolcut_Check(PyObject *o) {
    return PyObject_TypeCheck(o, &poolcut_type);
}

// A nivra.poolcut around cut. New reference or null.
PyObject *poolcut_create(NVRAcut cut);
// The cut handle of a nivra.poolcut.
inline NVRAcut poolcut_getcut(PyObject *o) {
    return reinterpret_cast<poolcut_s *>(o)->cut;
}
