// model/live.h: allocation of the modelling objects, with a count of live objects per type
// that the private module function _live_counts() reports to the tests.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstring>

enum LiveKind : int {
    kLiveVar,
    kLiveLinterm,
    kLiveQuadterm,
    kLiveExpression,
    kLiveNonlinear,
    kLiveConstraint,
    kLiveSos,
    kLiveKinds
};

extern Py_ssize_t nvr_live_objects[kLiveKinds];
extern const char *const nvr_live_names[kLiveKinds];

// A new object of type `type` whose fields after the header are zero. New reference or null.
template <class T> T *newModelObject(PyTypeObject *type, LiveKind kind) {
    T *o = PyObject_New(T, type);
    if (!o) return nullptr;
    memset(reinterpret_cast<char *>(o) + sizeof(PyObject), 0, sizeof(T) - sizeof(PyObject));
    ++nvr_live_objects[kind];
    return o;
}

// The same for a type with Py_TPFLAGS_HAVE_GC; the object is not yet tracked.
template <class T> T *newGcModelObject(PyTypeObject *type, LiveKind kind) {
    T *o = PyObject_GC_New(T, type);
    if (!o) return nullptr;
    memset(reinterpret_cast<char *>(o) + sizeof(PyObject), 0, sizeof(T) - sizeof(PyObject));
    ++nvr_live_objects[kind];
    return o;
}

// Frees an object made by newModelObject or newGcModelObject (its fields already released).
inline void freeModelObject(PyObject *o, LiveKind kind) {
    --nvr_live_objects[kind];
    Py_TYPE(o)->tp_free(o);
}
