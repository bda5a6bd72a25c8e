// numeric/aggregates.h: the module functions Sum, Prod, Dot, And and Or.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

extern PyMethodDef nvr_numeric_methods[];
