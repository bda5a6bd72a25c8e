// problem/delobjs.h: a problem's lists of model objects compacted after library deletions.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <vector>

struct problem_s;

// After the library deleted the entries at indices (any order, no repeats) of list (a problem's
// variables, constraints or SOS): the objects there are marked deleted and removed, the others
// renumbered (linked objects through their index, unlinked ones through the problem's map).
// 0, or -1 with an exception.
int nvy_delModelObjs(problem_s *p, PyObject *list, std::vector<int> indices);

// Forgets the objects of list from position from on, marking linked ones deleted (made for
// library entries that were deleted again). Keeps a pending exception.
void nvy_dropObjectsFrom(problem_s *p, PyObject *list, Py_ssize_t from);
