// callbacks/generic.h: nivra.generic and nivra.nvraobject, one-pointer wrappers of library
// pointers handed to Python callbacks.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

extern PyTypeObject generic_type;
extern PyTypeObject nvraobject_type;

// New nivra.generic holding p; null with an exception on failure.
PyObject *voidstar_create(void *p);
// The pointer held by a nivra.generic, or null (with TypeError) for other objects. For the API
// methods and callbacks that take such objects back as arguments, as nvraobject_getobj.
void *voidstar_getobj(PyObject *o);
// New nivra.nvraobject holding p.
PyObject *nvraobject_create(void *p);
void *nvraobject_getobj(PyObject *o);
