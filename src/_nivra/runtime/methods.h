// runtime/methods.h: the module function tables of each subsystem, joined into the module's
// method table at import. Each is terminated by an entry with a null name.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

extern PyMethodDef nvr_runtime_methods[];   // module.cpp
extern PyMethodDef nvr_model_methods[];     // model/modfuncs.cpp: vars, evaluate, is_equal
extern PyMethodDef nvr_numeric_methods[];   // numeric/aggregates.cpp: Sum, Prod, Dot, And, Or
extern PyMethodDef nvr_nonlinear_methods[]; // nonlinear/mathfuncs.cpp: sin, ..., max, min, pwl
extern PyMethodDef nvr_controls_methods[];  // controls/control.cpp: module default controls
