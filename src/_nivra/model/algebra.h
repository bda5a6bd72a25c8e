// model/algebra.h: the operator algebra of variables, terms and expressions. One number-protocol
// table serves the four types; the kinds of the two operands select the routine. Also the
// general_* entry points used by aggregates, NumPy loops and nonlinear code, and the one
// hand-over to nonlinear objects.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "nonlinear/nonlinear.h"

// tp_as_number of nivra.var, nivra.linterm, nivra.quadterm and nivra.expression.
extern PyNumberMethods nvr_model_number_methods;

// The nonlinear operation op (kOpPlus, kOpMinus, kOpTimes, kOpDivide, kOpPower, kOpAnd, kOpOr;
// inplace for the in-place forms) of two operands: the hand-over of every result that is no
// longer quadratic. New reference or null.
PyObject *nvr_nonlinear_binary(operation_type op, PyObject *a, PyObject *b, bool inplace);

// a + s·b for operands of any kinds (s = 1 or -1), as the + and - operators compute it.
// New reference or null.
PyObject *nvr_sum(PyObject *a, PyObject *b, double s);

// General operations on any two operands; None on the left stands for an empty accumulator,
// None on the right for nothing to combine (see each entry). New reference or null.
PyObject *general_add(PyObject *a, PyObject *b);
PyObject *general_iadd(PyObject *a, PyObject *b);
PyObject *general_sub(PyObject *a, PyObject *b);
PyObject *general_mul(PyObject *a, PyObject *b);
PyObject *general_imul(PyObject *a, PyObject *b);
PyObject *general_div(PyObject *a, PyObject *b);
PyObject *general_pow(PyObject *a, PyObject *b);
PyObject *general_sqr(PyObject *a);
PyObject *general_neg(PyObject *a);
PyObject *general_and(PyObject *a, PyObject *b);
PyObject *general_iand(PyObject *a, PyObject *b);
PyObject *general_or(PyObject *a, PyObject *b);
PyObject *general_ior(PyObject *a, PyObject *b);
// c·a: a float for numbers, the scaled copy for model objects. New reference or null.
PyObject *general_copy(PyObject *a, double c);
