// problem/userfuncs.h: user functions of nonlinear formulas (nivra.user): their registration
// with the problem's nonlinear solver and the entry points through which the solver calls them.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

struct problem_lib_s;
struct problem_model_s;

// Registers the callable of a user-function node with p's nonlinear solver, once per callable
// and number of arguments (the first registration fixes the derivative mode): args is the
// node's argument tuple (callable first), op its operation code. *id receives the solver's
// identifier. 0, or -1 with an exception set. (A UserFunctionRegistrar of
// nonlinear/formula.h.)
int createUserFunction(problem_model_s *p, PyObject *args, int op, int *id);

// The callable (borrowed) and operation code of p's user function with identifier id, or null
// without an exception when p has none of that identifier (the formula reader's hook).
PyObject *userFunctionOf(problem_lib_s *p, int id, int *op);
