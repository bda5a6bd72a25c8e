// controls/objattrib.h: nivra.objattrib (placeholder type until its behaviour is built).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

extern PyTypeObject objattrib_type;
