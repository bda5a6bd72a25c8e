// model/libaccess.h: library calls on the problem that a model object belongs to, and the
// names of its rows, columns and sets.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

#include "runtime/calllib.h"
#include "runtime/errors.h"
#include "runtime/problem_lib.h"

// Calls fn(handle, args...) on p through the library-call frame; a failure becomes the
// problem's error. 0 or -1.
template <class... P, class... A>
int nvr_problemCall(problem_lib_s *p, int (*fn)(NVRAprob, P...), const char *name, A &&...args) {
    if (checkProblemIsInitialized(p) != 0) return -1;
    if (nvraapi::CallLib(fn, name, p, std::forward<A>(args)...) == 0) return 0;
    setNvraErr(p);
    return -1;
}

// The name of entry index of a kind (NVRA_NAMES_ROWS, NVRA_NAMES_COLUMNS, NVRA_NAMES_SETS):
// the size first, then the name into a buffer of that size. New str or null.
PyObject *nvr_entityName(problem_lib_s *p, int type, int index);

// Gives entry index of a kind the name held by the str object name. 0 or -1.
int nvr_setEntityName(problem_lib_s *p, int type, int index, PyObject *name);
