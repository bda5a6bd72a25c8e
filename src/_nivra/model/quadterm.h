// model/quadterm.h: nivra.quadterm (placeholder type until its behaviour is built).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

extern PyTypeObject quadterm_type;
