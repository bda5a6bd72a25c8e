// model/hooks.h: internal routines of constraints, SOS, evaluation and nonlinear nodes that the
// private module function _algebra reaches for the tests.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

// Calls the routine name with the arguments args (a tuple): make_constraint(a, b, op),
// get_con_row(problem, constraint), get_sos_index(problem, sos), evaluate_indexed(problem,
// values, objects) and nonlin_args(x). New reference, or null with an exception (ValueError
// for an unknown name).
PyObject *nvr_model_hook(const char *name, PyObject *args);
