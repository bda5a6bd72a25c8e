// problem/solution.h: solving, and reading solutions, duals, slacks and reduced costs.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

struct problem_s;

// Selects values of a vector over rows (rows true) or columns of p: with no argument a list of
// all length values, with one argument that is no collection the value at its index, else a
// flat list in the order of a nested walk of args. Objects resolve to indices as constraints
// (rows), variables (columns), names or integers. New reference, or null with ModelError.
PyObject *problem_pickValues(problem_s *p, PyObject *args, int length, const double *values,
                             bool rows);
