// nonlinear/nonlinear.h: nivra.nonlinear, nodes of nonlinear expression trees, and the
// operations through which the linear and quadratic algebra hands over results that are no
// longer quadratic.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>

// Operation codes of nonlinear nodes.
enum operation_type : int32_t {
    kOpPlus = 0,
    kOpMinus = 1,
    kOpUnaryMinus = 2,
    kOpTimes = 3,
    kOpDivide = 4,
    kOpPower = 5,
    kOpExp = 6,
    kOpLog = 7,
    kOpLog10 = 8,
    kOpSin = 9,
    kOpCos = 10,
    kOpTan = 11,
    kOpAsin = 12,
    kOpAcos = 13,
    kOpAtan = 14,
    kOpMax = 15,
    kOpMin = 16,
    kOpAbs = 17,
    kOpSign = 18,
    kOpErf = 19,
    kOpErfc = 20,
    kOpSqrt = 21,
    kOpPwl = 22,
    kOpSum = 23,
    kOpProd = 24,
    kOpAnd = 25,
    kOpOr = 26,
    kOpUserNoDerivatives = 27,
    kOpUserDerivatives = 28,
    kOpUserDerivativesOnDemand = 29,
};

// The record behind nivra.nonlinear: args is the operand (unary nodes), a tuple (minus,
// division, power), or a list or tuple (the n-ary operations and user functions, whose first
// item is the callable); op is -1 in a node not yet filled.
struct nonlin_s {
    PyObject_HEAD
    PyObject *args;
    int32_t op;
};

extern PyTypeObject nonlinear_type;

inline bool nonlinear_Check(PyObject *o) { return Py_IS_TYPE(o, &nonlinear_type); }

// ---- Operations used by the linear and quadratic algebra --------------------------------------
// The nonlinear arithmetic of any two operands (numbers, variables, terms, expressions, nodes),
// with its simplifications, and the in-place forms that may extend a left node and return it.
// New reference, or null with an exception set.
PyObject *nonlin_add(PyObject *a, PyObject *b);
PyObject *nonlin_sub(PyObject *a, PyObject *b);
PyObject *nonlin_mul(PyObject *a, PyObject *b);
PyObject *nonlin_div(PyObject *a, PyObject *b);
PyObject *nonlin_pow(PyObject *a, PyObject *b, PyObject *mod);
PyObject *nonlin_and(PyObject *a, PyObject *b);
PyObject *nonlin_or(PyObject *a, PyObject *b);
PyObject *nonlin_iadd(PyObject *a, PyObject *b);
PyObject *nonlin_isub(PyObject *a, PyObject *b);
PyObject *nonlin_imul(PyObject *a, PyObject *b);
PyObject *nonlin_idiv(PyObject *a, PyObject *b);
PyObject *nonlin_ipow(PyObject *a, PyObject *b, PyObject *mod);
PyObject *nonlin_iand(PyObject *a, PyObject *b);
PyObject *nonlin_ior(PyObject *a, PyObject *b);
PyObject *nonlin_neg(PyObject *a);
PyObject *nonlin_abs(PyObject *a);
// A copy of the node x scaled by c. New reference or null.
PyObject *nonlin_copy(PyObject *x, double c);
// The arguments of a node in order: the first, then the next after *index (borrowed
// references); null at the end without an exception, or null with ModelError when x is not a
// node.
PyObject *nonlin_arg_first(PyObject *x, Py_ssize_t *index);
PyObject *nonlin_arg_next(PyObject *x, Py_ssize_t *index);
