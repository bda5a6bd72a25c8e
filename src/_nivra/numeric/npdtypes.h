// numeric/npdtypes.h: the NumPy element types npvar, npexpr and npconstraint.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

// Imports NumPy's C interface, registers the three element types, their casts and the
// element loops. 0, or -1 with an exception set.
int setAltNumOps();

// Registers the element loops of the arithmetic, logical and comparison functions for the
// variable and expression element types (numeric/loops.cpp). 0 or -1.
int nvr_register_loops();

// NumPy's runtime feature level, read at set-up.
extern unsigned int nvr_numpy_feature_level;

// A 0-d array of the variable element type (for a variable) or the expression element type
// (anything else) holding o. Combined with an array by an operator or a comparison, it makes
// NumPy apply the module's element loops, so that the result is an array of the module's
// element type also against arrays of plain numbers. New reference or null.
PyObject *nvr_zero_dim_element(PyObject *o);
