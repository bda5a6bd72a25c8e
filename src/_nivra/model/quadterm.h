// model/quadterm.h: nivra.quadterm, a constant times a product of two variables (3*x*y, x**2).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

// The record: var1 and var2 are owned references, var1 the factor with the smaller identifier
// (the same object for a square). The coefficient may be 0.
struct quadterm_s {
    PyObject_HEAD double coef;
    PyObject *var1;
    PyObject *var2;
};

extern PyTypeObject quadterm_type;

inline quadterm_s *as_quadterm(PyObject *o) {
    return reinterpret_cast<quadterm_s *>(o);
}

// c·u·v with the factors checked for compatibility and put in identifier order (equal
// identifiers keep the argument order). New reference or null.
PyObject *quadterm_fill(double c, PyObject *u, PyObject *v);
// c times the quadratic term Q; refuses a deleted variable.
PyObject *quadterm_copy(PyObject *Q, double c);
// Orders a pair of factors by identifier, in place.
void quadterm_order(PyObject **u, PyObject **v);
