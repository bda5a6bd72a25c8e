// nonlinear/nonlinear.h: nivra.nonlinear, nodes of nonlinear expression trees: the record and
// its operation codes, the constructors, the arithmetic through which the linear and quadratic
// algebra hands over results that are no longer quadratic, copies, argument access, printing
// and extraction of the linear and quadratic parts.
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
constexpr int kNumOperations = 30;

// The record behind nivra.nonlinear. args is the operand itself (unary operations), a tuple
// (minus, division, power), a list (plus, times, and, or: the list belongs to the node), or
// the list or tuple given at construction (max, min, pwl, sum, prod, and user functions, whose
// first item is the callable). op is -1 in a node not yet filled.
struct nonlin_s {
    PyObject_HEAD PyObject *args;
    int32_t op;
};

extern PyTypeObject nonlinear_type;

inline bool nonlinear_Check(PyObject *o) {
    return Py_IS_TYPE(o, &nonlinear_type);
}
inline nonlin_s *as_nonlin(PyObject *o) {
    return reinterpret_cast<nonlin_s *>(o);
}
// True when o is a node of operation op.
inline bool nonlin_is(PyObject *o, operation_type op) {
    return nonlinear_Check(o) && as_nonlin(o)->op == op;
}
inline bool nonlin_is_user(int32_t op) {
    return op >= kOpUserNoDerivatives && op <= kOpUserDerivativesOnDemand;
}

// ---- Operation table
// ------------------------------------------------------------------------------

enum class OpForm : uint8_t { Infix, Prefix, Function };

struct OperationInfo {
    const char *name; // printed name
    int arity;        // 1 unary, 2 binary, -1 any number
    OpForm form;
    int precedence; // 0 for functions
};

// The entry of op, or null for a code outside the table.
const OperationInfo *nonlin_info(int32_t op);

// ---- Construction
// --------------------------------------------------------------------------------- All return a
// new reference, or null with ModelError.

// An empty node (op -1, no arguments).
PyObject *nonlin_base();
// A node of op over args (the reference is taken over; a null args is passed on as failure).
PyObject *nonlin_make(operation_type op, PyObject *args);
// A node of a binary operation over operands already checked: plus, times, and, or hold the
// list [a, b] (a number on the left goes second); minus, division and power the tuple (a, b).
PyObject *nonlin_binary_unchecked(operation_type op, PyObject *a, PyObject *b);
// A node of a unary operation over x (a single model object or number).
PyObject *nonlin_instantiate_unary(operation_type op, PyObject *x);
// A node of a binary operation over a and b, after the operand checks, with operands that are
// nodes of op spliced into the list.
PyObject *nonlin_instantiate_binary_flatten(operation_type op, PyObject *a, PyObject *b);
// A node over the items of a list or tuple. Plus, times, and, or take a copy of the items as
// their list; the other operations keep the sequence given.
PyObject *nonlin_instantiate_nary(operation_type op, PyObject *seq);
// a op= b for plus, times, and, or: b (or its items, for a node of op) is appended to a when a
// is a node of op, and a is returned; otherwise a flattening binary node.
PyObject *nonlin_inplace_generic(operation_type op, PyObject *a, PyObject *b);

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
// The unary-minus and absolute-value nodes of a.
PyObject *nonlin_neg(PyObject *a);
PyObject *nonlin_abs(PyObject *a);

// c·x: a new node with copies of x's arguments (the callable of a user function is shared),
// scaled by c. New reference or null.
PyObject *nonlin_copy(PyObject *x, double c);
// A new node with the same operation and a new argument list holding the same items (a tuple
// or single argument is shared, since nodes never change them). New reference or null.
PyObject *nonlin_clone(PyObject *x);

// ---- Argument access
// ------------------------------------------------------------------------------ Number of
// arguments (1 for a unary node), or -1 when x is not a node.
Py_ssize_t nonlin_arg_size(PyObject *x);
// The arguments of a node in order: the first, then the next after *index (borrowed
// references); null at the end without an exception, or null with ModelError when x is not a
// node.
PyObject *nonlin_arg_first(PyObject *x, Py_ssize_t *index);
PyObject *nonlin_arg_next(PyObject *x, Py_ssize_t *index);

// ---- Printing and extraction (nonlinear/nlprint.cpp, nonlinear/nlextract.cpp) -----------------
// str() of a node: the tree with operators, function names and parentheses, levels below 64
// replaced by "[MAX RECURS LEV]". New reference or null.
PyObject *nonlin_str(PyObject *x);
// extractLinear() and extractQuadratic() of a node. New reference or null.
PyObject *nonlin_extractLinear(PyObject *x, PyObject *);
PyObject *nonlin_extractQuadratic(PyObject *x, PyObject *);

// The module functions sin, cos, ..., max, min and pwl (nonlinear/mathfuncs.cpp).
extern PyMethodDef nvr_nonlinear_methods[];
