// model/printing.h: the printed forms of terms and expressions.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

struct Poly;

// The canonical text of a polynomial view: the constant (when not 0, or when there are no
// terms), then the linear terms by variable, then the quadratic terms by pair of variables.
// New reference or null.
PyObject *poly_str(const Poly &p);
// str() of a linear term, quadratic term or expression (tp_str and tp_repr).
PyObject *nvr_model_str(PyObject *self);
