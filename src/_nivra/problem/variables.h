// problem/variables.h: variables as columns of a problem: one at a time, in bulk over index
// sets, and (older style) existing unlinked variable objects.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

struct problem_s;

// Adds existing unlinked variables, given as the items of args (each a variable or a nested
// collection of them), as new columns of p (deprecated usage). 0, or -1 with an exception set;
// on failure p is left as it was.
int problem_addUnlinkedVars(problem_s *p, PyObject *args);

// The admission test for an unlinked variable object: ModelError for a deleted, linked or
// uninitialised one; a deprecation warning for one already added to some problem. 0 or -1.
int check_can_add_unlinked_var(PyObject *var);

// Creates n columns of p with identical settings and n variables linked to them, appended to
// p->vars; out receives n new references. 0, or -1 with an exception set; on failure the
// columns are deleted again and nothing stays in the problem's list. (The resultants and
// auxiliary variables of general constraints, problem/general.cpp.)
int create_linked_vars(problem_s *p, PyObject **out, Py_ssize_t n, int vartype, double lb,
                       double ub, double threshold);

// The bulk creation behind problem.addVariables (p given) and the module function vars (p
// null: unlinked variables). indices: the tuple of index arguments (at least one); kwargs the
// keywords name, lb, ub, threshold, vartype (may be null). A NumPy array of npvar when every
// index argument is an integer, else a dict. New reference, or null with an exception set.
PyObject *add_variables_common(PyObject *indices, PyObject *kwargs, problem_s *p);

// The variable objects for ncols columns that a library call has just appended to p (at the
// end of its columns). names (a sequence of str, or null) and types (a sequence of column type
// letters, or null) must have ncols entries when given; thresholds (a sequence of numbers, or
// null) gives the thresholds of 'S', 'R' and 'P' columns. In a problem that holds unlinked
// objects the new variables are unlinked and mapped to their columns, otherwise linked.
// 0, or -1 with ModelError.
int addColsAsVariables(problem_s *p, int ncols, PyObject *names, PyObject *types,
                       PyObject *thresholds);

// The module function vars(*indices, **keywords) (deprecated with positional arguments).
PyObject *nivramod_vars(PyObject *self, PyObject *args, PyObject *kwargs);
