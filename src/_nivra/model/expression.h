// model/expression.h: nivra.expression (placeholder type until its behaviour is built).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

extern PyTypeObject expression_type;

// Truth value of an element of an expression array: an expression is true when its constant
// is nonzero or it has linear or quadratic terms; any other object is true.
int expression_nonzero(PyObject *o);
