// controls/objattrib.cpp: nivra.objattrib, the per-solve attribute views of a problem, kept in
// a cache that grows with the number of solves.
#include "objattrib.h"

#include "control.h"
#include "runtime/alloc.h"
#include "runtime/env.h"
#include "runtime/ref.h"
#include "runtime/calllib.h"
#include "values.h"

namespace {

objattr_s *as_objattr(PyObject *o) {
    return reinterpret_cast<objattr_s *>(o);
}

// The number of solves of the last optimisation, or -1 with an exception.
Py_ssize_t solveCount(objattr_s *o) {
    if (!o->problem) {
        PyErr_SetString(nvy_interf_exc, "Object is not initialized");
        return -1;
    }
    if (checkProblemIsInitialized(o->problem) != 0) return -1;
    int64_t n = 0;
    if (problem_call(o->problem, NVRAgetintattrib64, "NVRAgetintattrib64", NVRA_ATTR_SOLVES, &n) !=
        0)
        return -1;
    return static_cast<Py_ssize_t>(n);
}

// Grows the cache to n slots, the new ones empty. 0 or -1.
int growCache(objattr_s *o, Py_ssize_t n) {
    if (n <= o->count) return 0;
    if (n > INT32_MAX) {
        PyErr_SetString(PyExc_OverflowError, "too many solves");
        return -1;
    }
    void *block = o->cache;
    if (nvo_MemoryAllocator_Realloc_Untyped(nvo_MemoryAllocator_DefaultHeap, &block,
                                            static_cast<size_t>(n) * sizeof(PyObject *)) != 0)
        return -1;
    o->cache = static_cast<PyObject **>(block);
    for (Py_ssize_t i = o->count; i < n; ++i)
        o->cache[i] = nullptr;
    o->count = static_cast<int32_t>(n);
    return 0;
}

Py_ssize_t objattr_length(PyObject *self) {
    return solveCount(as_objattr(self));
}

// The attribute view of solve i (negative indices are refused). New reference or null.
PyObject *objattr_item(PyObject *self, Py_ssize_t i) {
    objattr_s *o = as_objattr(self);
    const Py_ssize_t n = solveCount(o);
    if (n < 0) return nullptr;
    if (i < 0 || i >= n) {
        PyErr_SetString(PyExc_IndexError, "Invalid objective index");
        return nullptr;
    }
    if (growCache(o, n) != 0) return nullptr;
    if (!o->cache[i]) {
        o->cache[i] = attr_base(o->problem, static_cast<int32_t>(i));
        if (!o->cache[i]) return nullptr;
    }
    return Py_NewRef(o->cache[i]);
}

PyObject *objattr_subscript(PyObject *self, PyObject *key) {
    const Py_ssize_t i = PyNumber_AsSsize_t(key, PyExc_IndexError);
    if (i == -1 && PyErr_Occurred()) return nullptr;
    return objattr_item(self, i);
}

// The list of the dictionaries of all attributes of every solve.
PyObject *objattr_repr(PyObject *self) {
    objattr_s *o = as_objattr(self);
    const Py_ssize_t n = solveCount(o);
    if (n < 0) return nullptr;
    Ref none = Ref::steal(PyTuple_New(0));
    Ref list = Ref::steal(PyList_New(n));
    if (!none || !list) return nullptr;
    for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject *values = problem_getInfo(o->problem, none.get(), 0, static_cast<int>(i));
        if (!values) return nullptr;
        PyList_SET_ITEM(list.get(), i, values);
    }
    return PyObject_Repr(list.get());
}

void objattr_dealloc(PyObject *self) {
    objattr_s *o = as_objattr(self);
    for (int32_t i = 0; i < o->count; ++i)
        Py_XDECREF(o->cache[i]);
    void *block = o->cache;
    nvo_MemoryAllocator_Free_Untyped(nvo_MemoryAllocator_DefaultHeap, &block);
    Py_TYPE(self)->tp_free(self);
}

PySequenceMethods objattr_as_sequence = {
    .sq_length = objattr_length,
    .sq_item = objattr_item,
};

PyMappingMethods objattr_as_mapping = {
    .mp_length = objattr_length,
    .mp_subscript = objattr_subscript,
};

} // namespace

PyTypeObject objattrib_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.objattrib",
    .tp_basicsize = sizeof(objattr_s),
    .tp_dealloc = objattr_dealloc,
    .tp_repr = objattr_repr,
    .tp_as_sequence = &objattr_as_sequence,
    .tp_as_mapping = &objattr_as_mapping,
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("The attributes of each solve of the last optimisation: "
                        "len(p.objattribs) solves, p.objattribs[i].objval"),
};

PyObject *objattr_create(problem_lib_s *problem) {
    auto *o = PyObject_New(objattr_s, &objattrib_type);
    if (!o) return nullptr;
    o->problem = problem;
    o->count = 0;
    o->cache = nullptr;
    return reinterpret_cast<PyObject *>(o);
}

void objattr_detach(PyObject *self, const problem_lib_s *p) {
    if (!self || !Py_IS_TYPE(self, &objattrib_type) || as_objattr(self)->problem != p) return;
    objattr_s *o = as_objattr(self);
    o->problem = nullptr;
    for (int32_t i = 0; i < o->count; ++i)
        ctrl_attr_detach(o->cache[i], p);
}
