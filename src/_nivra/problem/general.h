// problem/general.h: max, min, abs, And, Or and pwl in constraint bodies and objectives, sent to
// the library as general and piecewise-linear constraints: each such node becomes a new variable
// (its resultant) that the library's constraint defines.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

struct problem_s;

// Where the auxiliary constraints made by a rewrite go (t == operand, for operands that are
// not single variables): added to p by the caller's means. 0 or -1.
using AuxConstraintSink = int (*)(PyObject *constraint, void *ctx);

// What p held before a rewrite, so that a failed call can take back what rewrites added.
struct GeneralMark {
    bool taken = false;
    int rows = 0, cols = 0, pwls = 0, gencons = 0;
    Py_ssize_t vars = 0, cons = 0;
};

// obj with every max, min, abs, And, Or and pwl node replaced by a new variable of p defined by
// a general or piecewise-linear constraint; the sum, difference, negation, product and quotient
// nodes above them are recombined by the model algebra. Objects without such nodes come back
// as they are. The first change records mark. New reference, or null with an exception.
PyObject *problem_rewriteGeneral(problem_s *p, PyObject *obj, GeneralMark &mark,
                                 AuxConstraintSink sink, void *ctx);

// Removes what rewrites added since mark was taken (general and piecewise-linear constraints,
// auxiliary rows and their constraints, variables and their columns), keeping a pending
// exception.
void problem_undoGeneral(problem_s *p, const GeneralMark &mark);
