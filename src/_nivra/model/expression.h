// model/expression.h: nivra.expression, a constant plus linear plus quadratic terms, and the
// expression operations of the algebra (sums, products, quotients, powers, in-place forms,
// copies and the amendment routines used by the rest of the module).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "maps.h"

// The record. linear and quadratic are null when the expression has no such terms; a map may
// exist and be empty. Once made, a map lasts as long as the expression (it is changed in place,
// never replaced): a linear map may be embedded in the expression's own memory. Every quadratic
// product is stored once, under the factor with the smaller identifier.
struct expression_s {
    PyObject_HEAD double constant;
    linmap *linear;
    quadmap *quadratic;
};

extern PyTypeObject expression_type;

inline bool expression_Check(PyObject *o) {
    return Py_IS_TYPE(o, &expression_type);
}
inline expression_s *as_expression(PyObject *o) {
    return reinterpret_cast<expression_s *>(o);
}
inline bool expression_has_linear(const expression_s *e) {
    return e->linear && linmap_size(e->linear) > 0;
}
inline bool expression_has_quadratic(const expression_s *e) {
    return e->quadratic && quadmap_size(e->quadratic) > 0;
}

// Visits every linear entry as f(var, coef) and every quadratic entry as f(var1, var2, coef)
// (var1 has the smaller identifier), after merging appended entries. The order is that of
// the maps (see model/maps.h): consumers that need a canonical order sort.
template <class F> void expression_forEachLinear(const expression_s *e, F &&f) {
    if (e->linear) linmap_forEach(e->linear, f);
}
template <class F> void expression_forEachQuadratic(const expression_s *e, F &&f) {
    if (e->quadratic) quadmap_forEach(e->quadratic, f);
}
// Merges the appended entries of both maps. True when there were any (then the first keys,
// which compatibility checks read without merging, may have changed).
bool expression_settle(const expression_s *e);

// Truth value of an element of an expression array: an expression is true when its constant
// is nonzero or it has linear or quadratic terms; any other object is true.
int expression_nonzero(PyObject *o);

// A new empty expression. New reference or null.
PyObject *expression_base();
// A new expression equal to c·obj (a number, variable, term or expression); c = 0 gives the
// empty expression. New reference or null.
PyObject *expression_copy(PyObject *obj, double c);

// Amendments: each checks that x (u, v) can be combined with e and does nothing for c = 0.
// 0, or -1 with ModelError.
int expression_setLinTerm(PyObject *e, PyObject *x, double c);
int expression_addToLinTerm(PyObject *e, PyObject *x, double c);
int expression_addToQuadTerm(PyObject *e, PyObject *u, PyObject *v, double c);
// Only for expressions that do not hold the product u·v yet.
int expression_setQuadTerm(PyObject *e, PyObject *u, PyObject *v, double c);

// c·obj where c is the value of the constant operand constobj; *kind is obj's kind or -1 to
// have it determined (and stored). New reference or null.
PyObject *multiply_by_const_expr(PyObject *constobj, PyObject *obj, double c, int *kind);

// The operations with an expression operand (the other operand any kind). New reference or
// null with ModelError.
PyObject *expression_alg_sum(PyObject *a, PyObject *b, double s);             // a + s·b
PyObject *expression_incremental_alg_sum(PyObject *a, PyObject *b, double s); // a += s·b
// The same for operands whose kinds (getExprType) the caller has determined already.
PyObject *expression_alg_sum(PyObject *a, int ka, PyObject *b, int kb, double s);
PyObject *expression_incremental_alg_sum(PyObject *a, int ka, PyObject *b, int kb, double s);
PyObject *expression_mul(PyObject *a, PyObject *b);
PyObject *expression_div(PyObject *a, PyObject *b);
PyObject *expression_pow(PyObject *a, PyObject *b);
PyObject *expression_imul(PyObject *a, PyObject *b);
PyObject *expression_idiv(PyObject *a, PyObject *b);
PyObject *expression_ipow(PyObject *a, PyObject *b);

// a + s·b for the commonest operands of element-wise sums: variables, linear terms and
// expressions holding merged linear entries only, whose representatives are live variables of
// one owner, with at most kLinInline entries in all and not two terms of one variable. The
// result is the expression that the general sum builds, made without its classification and
// views. Py_NotImplemented (new reference) for operands of any other form, which the general
// sum then takes (and raises for where it must); null with ModelError when memory is exhausted.
PyObject *expression_linear_sum(PyObject *a, int ka, PyObject *b, int kb, double s);

// ---- Operands as polynomials --------------------------------------------------------------------
// A read-only view of an operand of kind 0 to 4 as constant + linear + quadratic part: an
// expression, or a single term c·u (v null) or c·u·v, or a constant alone (u null).
struct Poly {
    double constant = 0.0;
    const expression_s *e = nullptr;
    double c = 0.0;
    PyObject *u = nullptr;
    PyObject *v = nullptr;
};
// The view of obj of the given kind (0 to 4). 0, or -1 when a number cannot be converted.
int poly_of(PyObject *obj, int kind, Poly *p);
// 0 for constants, 1 for linear, 2 with quadratic terms.
int poly_degree(const Poly &p);
// A new expression a + s·b. New reference or null with ModelError msg.
PyObject *poly_sum(const Poly &a, const Poly &b, double s, const char *msg);
// A new expression a·b; the caller makes sure that the product is at most quadratic.
PyObject *poly_product(const Poly &a, const Poly &b);
