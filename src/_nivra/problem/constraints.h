// problem/constraints.h: constraints as rows of a problem, sent to the library in batches.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

struct problem_s;

// Adds the constraints in args (each a constraint or a nested collection of them) as rows of
// p. 0, or -1 with an exception set; on failure p keeps exactly the rows and the constraint
// objects it had before the call.
int problem_addConstraint(problem_s *p, PyObject *args);

// The constraint objects for nrows rows that a library call has just appended to p (at the
// end of its rows): linked constraints appended to p->cons. Nothing in a problem of unlinked
// objects, which keeps its unlinked constraints through its map. 0, or -1 with the objects of
// this call removed again.
int addRowsAsConstraints(problem_s *p, int nrows);

// The library's row form of lb <= body <= ub: *rhs enters as minus the body's constant and
// leaves as the row's right-hand side; *sense receives the row type ('L', 'G', 'E', 'R', 'N')
// and *range the range of an 'R' row (else 0).
void getRhsSense(double lb, double ub, char *sense, double *rhs, double *range);
