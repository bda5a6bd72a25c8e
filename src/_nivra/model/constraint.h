// model/constraint.h: nivra.constraint (placeholder type until its behaviour is built), and the
// comparison slot shared by the modelling types.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

extern PyTypeObject constraint_type;

// tp_richcompare of var, linterm, quadterm, expression and nonlinear: comparisons of model
// objects. New reference (possibly Py_NotImplemented) or null.
PyObject *generic_cmp(PyObject *a, PyObject *b, int op);
