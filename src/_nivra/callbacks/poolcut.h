// callbacks/poolcut.h: nivra.poolcut (placeholder type until its behaviour is built).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

extern PyTypeObject poolcut_type;
