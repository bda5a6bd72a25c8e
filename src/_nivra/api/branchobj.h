// api/branchobj.h: nivra.branchobj, a user branching decision (see branchobj.cpp).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>

#include "nvra.h"

struct branchobj_s {
    PyObject_HEAD NVRAbranchobject bo; // null once stored or destroyed
    PyObject *problem;                 // owned while bo is held
    int32_t isoriginal; // 1: column indices of the problem as built; 0: of the node problem
};

extern PyTypeObject branchobj_type;
