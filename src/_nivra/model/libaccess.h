// model/libaccess.h: the names of a problem's rows, columns and sets, as model objects read and
// write them through the library.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "runtime/calllib.h"
#include "runtime/problem_lib.h"

// The name of entry index of a kind (NVRA_NAMES_ROWS, NVRA_NAMES_COLUMNS, NVRA_NAMES_SETS):
// the size first, then the name into a buffer of that size. New str or null.
PyObject *nvr_entityName(problem_lib_s *p, int type, int index);

// Gives entry index of a kind the name held by the str object name. 0 or -1.
int nvr_setEntityName(problem_lib_s *p, int type, int index, PyObject *name);
