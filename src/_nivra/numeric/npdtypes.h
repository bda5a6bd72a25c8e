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
