// nonlinear/nonlinear.h: nivra.nonlinear (placeholder type until its behaviour is built).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

extern PyTypeObject nonlinear_type;
