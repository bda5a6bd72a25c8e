// model/linterm.h: nivra.linterm, a constant times a variable (2*x).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

// The record: coef is never 0 (linterm_fill returns the float 0.0 instead); var is an owned
// reference to a nivra.var.
struct linterm_s {
    PyObject_HEAD double coef;
    PyObject *var;
};

extern PyTypeObject linterm_type;

inline linterm_s *as_linterm(PyObject *o) {
    return reinterpret_cast<linterm_s *>(o);
}

// c·x as a linear term, or the float 0.0 when c is 0. New reference or null.
PyObject *linterm_fill(double c, PyObject *x);
// c times the linear term L (linterm_fill semantics); refuses a deleted variable.
PyObject *linterm_copy(PyObject *L, double c);
