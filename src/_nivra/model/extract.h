// model/extract.h: extractLinear() and extractQuadratic(), the methods shared by variables,
// terms and expressions: their coefficients as lists in canonical order.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

// ([variables], [coefficients]) ordered by variable identifier. New reference or null.
PyObject *nvr_extractLinear(PyObject *self, PyObject *);
// ([first variables], [second variables], [coefficients]) ordered by (first, second)
// identifier; the first variable of each pair has the smaller identifier. New reference or null.
PyObject *nvr_extractQuadratic(PyObject *self, PyObject *);
