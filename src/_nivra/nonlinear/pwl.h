// nonlinear/pwl.h: the module function pwl, piecewise linear functions of one variable.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

// pwl(dict): the node [x, x0, y0, x1, y1, ...] of the function that is linear on each interval
// key (a, b) of dict, with the value's line, of the variable x (key None or the values').
// New reference, or null with ModelError.
PyObject *nivramod_pwl(PyObject *self, PyObject *arg);
