// model/printing.h: the printed forms of terms and expressions.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

// str() of a linear term, quadratic term or expression (their tp_str and tp_repr): the
// constant (when not 0, or when there are no terms), then the linear terms by variable, then
// the quadratic terms by pair of variables. New reference or null.
PyObject *nvr_model_str(PyObject *self);
