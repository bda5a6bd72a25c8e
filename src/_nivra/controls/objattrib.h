// controls/objattrib.h: nivra.objattrib, the attributes of each solve of the last optimisation
// of a (multi-objective) problem: p.objattribs[i] is the attribute view of solve i.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>

struct problem_lib_s;

struct objattr_s {
    PyObject_HEAD problem_lib_s
        *problem;     // not reference-counted; null once the problem let the object go
    int32_t count;    // slots of cache
    PyObject **cache; // attribute view per solve index, or null (module allocator)
};

extern PyTypeObject objattrib_type;

// A new object with an empty cache. New reference or null.
PyObject *objattr_create(problem_lib_s *problem);
// Cuts the object (or None) and the views it handed out off problem p, when it belongs to p.
void objattr_detach(PyObject *o, const problem_lib_s *p);
