// model/modfuncs.h: the module functions of the modelling layer (is_equal).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

extern PyMethodDef nvr_model_methods[];
