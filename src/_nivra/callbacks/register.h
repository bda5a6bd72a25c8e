// callbacks/register.h: Python callbacks on a problem: registering and removing them (the
// addcb<kind>, setcb<kind> and removecb<kind> members, copycallbacks), copying them with the
// problem, and the members that read a callback's presolved values.
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

// The callback members of nivra.problem.
extern PyMethodDef problem_callback_methods[];
