// callbacks/register.h: Python callbacks on a problem: registering and removing them and copying
// them from another problem (the members that do this are rows of api/callbacks.def).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "problem/problem.h"

// Registers callable with data and priority as a callback of kind on p: the entry is appended to
// the kind's list and registered with the library. On failure the list is left as it was.
// 0, or -1 with an exception.
int callbackInList(problem_s *p, int kind, PyObject *callable, PyObject *data, long priority);
// Removes the entries of kind whose callable is callable and whose data is data (null or None:
// any), last first, unregistering them from the library when unregister is set.
// 0, or -1 with an exception.
int removeCallback(problem_s *p, int kind, PyObject *callable, PyObject *data, bool unregister);
// Registers every callback of src on dst, in kind order and list order. 0, or -1.
int copyCallbacks(problem_s *dst, problem_s *src);
