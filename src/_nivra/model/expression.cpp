// model/expression.cpp: nivra.expression: records, copies and amendments, the polynomial view
// of operands, and the expression operations of the algebra (sum, product, quotient, power and
// their in-place forms).
#include "expression.h"

#include "algebra.h"
#include "constraint.h"
#include "extract.h"
#include "linterm.h"
#include "live.h"
#include "runtime/env.h"
#include "runtime/ref.h"
#include "operand.h"
#include "printing.h"
#include "quadterm.h"
#include "util/freelist.h"
#include "var.h"

namespace {

ObjectFreeList freeExpressions;

expression_s *newExpression() {
    return freeExpressions.make<expression_s>(&expression_type, nvr_live_objects[kLiveExpression]);
}

// A new expression whose linear map, empty with inline room for `room` entries, is embedded
// after its fields: one block instead of an object and a map record, which halves the cost of
// the element-wise results of arrays. The block comes from the C heap, as map records do (see
// model/maps.cpp): the object allocator, which returns emptied arenas to the system, made the
// millions of temporaries of an array expression fault their pages in again for every operator
// (operators on 10^6 elements: 15% to 50% more time than with two allocations). Such blocks
// go back to the C heap, not to the free list, when the expression is freed. New reference or
// null.
expression_s *newExpressionWithMap(size_t room) {
    void *memory = PyMem_RawMalloc(sizeof(expression_s) + linmap_record_size(room));
    if (!memory) return reinterpret_cast<expression_s *>(PyErr_NoMemory());
    PyObject *o = PyObject_Init(static_cast<PyObject *>(memory), &expression_type);
    expression_s *e = as_expression(o);
    e->constant = 0.0;
    e->quadratic = nullptr;
    e->linear = linmap_embed(e + 1, room);
    ++nvr_live_objects[kLiveExpression];
    return e;
}

PyObject *asObject(expression_s *e) {
    return reinterpret_cast<PyObject *>(e);
}

// Unchecked amendments (the caller checked compatibility). 0, or -1 when memory is exhausted
// (no exception set).
int addLin(expression_s *e, PyObject *x, double c) {
    if (c == 0.0) return 0;
    if (!e->linear && !(e->linear = linmap_new())) return -1;
    return linmap_add(e->linear, x, c);
}
int addQuad(expression_s *e, PyObject *u, PyObject *v, double c) {
    if (c == 0.0) return 0;
    if (!e->quadratic && !(e->quadratic = quadmap_new())) return -1;
    quadterm_order(&u, &v);
    return quadmap_add(e->quadratic, u, v, c);
}

int modelError(const char *msg) {
    if (!PyErr_Occurred()) PyErr_SetString(nvy_model_exc, msg);
    return -1;
}
PyObject *modelErrorObj(const char *msg) {
    return modelError(msg), nullptr;
}

// Visits the linear (f(x, c)) or quadratic (f(u, v, c)) entries of a view until f fails.
template <class F> int eachLin(const Poly &p, F f) {
    if (p.e) return p.e->linear && linmap_forEachUntil(p.e->linear, f) != 0 ? -1 : 0;
    return p.u && !p.v ? f(p.u, p.c) : 0;
}
template <class F> int eachQuad(const Poly &p, F f) {
    if (p.e) return p.e->quadratic && quadmap_forEachUntil(p.e->quadratic, f) != 0 ? -1 : 0;
    return p.v ? f(p.u, p.v, p.c) : 0;
}

// e += s·p (constant, linear and quadratic parts); p must not view e itself. 0 or -1 (no
// exception set) when memory is exhausted, possibly after some entries were added.
int addPoly(expression_s *e, const Poly &p, double s) {
    e->constant += s * p.constant;
    if (p.e) {
        const expression_s *src = p.e;
        if (src->linear) {
            if (!e->linear) {
                if (linmap_copy_apply(&e->linear, src->linear, [s](double c) { return s * c; }) !=
                    0)
                    return -1;
            } else if (linmap_merge(e->linear, src->linear, s) != 0) {
                return -1;
            }
        }
        if (src->quadratic) {
            if (!e->quadratic) {
                if (quadmap_copy_apply(&e->quadratic, src->quadratic,
                                       [s](double c) { return s * c; }) != 0)
                    return -1;
            } else if (quadmap_merge(e->quadratic, src->quadratic, s) != 0) {
                return -1;
            }
        }
        return 0;
    }
    if (p.v) return addQuad(e, p.u, p.v, s * p.c);
    return p.u ? addLin(e, p.u, s * p.c) : 0;
}

// The number of linear entries that a view adds to a sum (at most).
size_t linearCount(const Poly &p) {
    if (p.e) return p.e->linear ? static_cast<size_t>(linmap_size(p.e->linear)) : 0;
    return p.u && !p.v && p.c != 0.0 ? 1 : 0;
}

// A new expression with room for n linear entries (a map when n > 0), so that a sum of views
// allocates once instead of copying the first one and growing it for the second. A short sum
// gets inline room for all of them; a long one the array of the long form, unless its terms
// may still overlap enough to fit inline. New reference, or null (with an exception only when
// the expression itself could not be made).
expression_s *newSumExpression(size_t n) {
    if (n == 0) return newExpression();
    expression_s *e = newExpressionWithMap(n);
    if (e && n > 2 * kLinInline && linmap_reserve(e->linear, n) != 0) {
        Py_DECREF(asObject(e));
        return nullptr;
    }
    return e;
}

// Applies f to the constant and every coefficient of e.
template <class F> void transform(expression_s *e, F f) {
    e->constant = f(e->constant);
    if (e->linear) linmap_apply(e->linear, f);
    if (e->quadratic) quadmap_apply(e->quadratic, f);
}

// A new expression f(src): the constant and every coefficient transformed. New reference, or
// null with ModelError msg.
template <class F> PyObject *transformedCopy(const expression_s *src, F f, const char *msg) {
    const linmap *lin = src->linear;
    Ref r = Ref::steal(asObject(lin ? newExpressionWithMap(linmap_size(lin)) : newExpression()));
    if (!r) return nullptr;
    expression_s *e = as_expression(r.get());
    e->constant = f(src->constant);
    if (lin) {
        if (linmap_copy_to(e->linear, lin) != 0) return modelErrorObj(msg);
        linmap_apply(e->linear, f);
    }
    if (src->quadratic && quadmap_copy_apply(&e->quadratic, src->quadratic, f) != 0)
        return modelErrorObj(msg);
    return r.release();
}

// The kinds of two operands, with ModelError for other objects. 0 or -1.
int kindsOf(PyObject *a, PyObject *b, int *ka, int *kb) {
    return (*ka = getExprType(a)) < 0 || (*kb = getExprType(b)) < 0 ? -1 : 0;
}

// Number value of a constant operand (kind 0, or an expression without maps).
bool constValue(PyObject *o, int kind, double *value, int *rc) {
    *rc = isConstOfKind(o, kind, value);
    return *rc == 1;
}

} // namespace

// ---- polynomial view
// ------------------------------------------------------------------------------

int poly_of(PyObject *obj, int kind, Poly *p) {
    *p = Poly{};
    switch (kind) {
    case kConst:
        return isConstOfKind(obj, kConst, &p->constant) < 0 ? -1 : 0;
    case kVar:
        p->c = 1.0;
        p->u = obj;
        return 0;
    case kLinterm:
        p->c = as_linterm(obj)->coef;
        p->u = as_linterm(obj)->var;
        return 0;
    case kQuadterm:
        p->c = as_quadterm(obj)->coef;
        p->u = as_quadterm(obj)->var1;
        p->v = as_quadterm(obj)->var2;
        return 0;
    case kExpression:
        p->e = as_expression(obj);
        p->constant = p->e->constant;
        return 0;
    default:
        PyErr_SetString(nvy_interf_exc, "Operand has no polynomial form");
        return -1;
    }
}

int poly_degree(const Poly &p) {
    if (p.e) return expression_has_quadratic(p.e) ? 2 : expression_has_linear(p.e) ? 1 : 0;
    return p.v ? 2 : p.u ? 1 : 0;
}

PyObject *poly_sum(const Poly &a, const Poly &b, double s, const char *msg) {
    Ref r = Ref::steal(asObject(newSumExpression(linearCount(a) + linearCount(b))));
    if (!r) return PyErr_Occurred() ? nullptr : modelErrorObj(msg);
    expression_s *e = as_expression(r.get());
    if (addPoly(e, a, 1.0) != 0 || addPoly(e, b, s) != 0) return modelErrorObj(msg);
    return r.release();
}

PyObject *poly_product(const Poly &a, const Poly &b) {
    Ref r = Ref::steal(asObject(newExpression()));
    if (!r) return nullptr;
    expression_s *e = as_expression(r.get());
    const double ka = a.constant, kb = b.constant;
    e->constant = ka * kb;
    auto lin = [e](double k) {
        return [e, k](PyObject *x, double c) { return addLin(e, x, k * c); };
    };
    auto quad = [e](double k) {
        return [e, k](PyObject *u, PyObject *v, double c) { return addQuad(e, u, v, k * c); };
    };
    if (eachLin(a, lin(kb)) != 0 || eachLin(b, lin(ka)) != 0)
        return modelErrorObj("Cannot create linear term in expression");
    const int cross = eachLin(a, [&](PyObject *x, double c) {
        return eachLin(b, [&](PyObject *y, double d) { return addQuad(e, x, y, c * d); });
    });
    if (cross != 0 || eachQuad(a, quad(kb)) != 0 || eachQuad(b, quad(ka)) != 0)
        return modelErrorObj("Cannot create quadratic term in expression");
    return r.release();
}

// ---- records ------------------------------------------------------------------------------------

PyObject *expression_base() {
    return asObject(newExpression());
}

PyObject *expression_copy(PyObject *obj, double c) {
    const int kind = getExprType(obj);
    if (kind < 0) return nullptr;
    if (kind == kNonlinear)
        return PyErr_Format(nvy_model_exc, "Invalid object in operation: <%S>", obj);
    var_s *first;
    Poly p;
    if (firstVarOfKind(obj, kind, &first) != 0 || poly_of(obj, kind, &p) != 0) return nullptr;
    if (c == 0.0) return expression_base();
    if (p.e)
        return transformedCopy(
            p.e, [c](double x) { return c * x; }, "Cannot copy expression");
    Ref r = Ref::steal(expression_base());
    if (!r) return nullptr;
    expression_s *e = as_expression(r.get());
    e->constant = c * p.constant;
    if (p.v ? addQuad(e, p.u, p.v, c * p.c) != 0 : p.u && addLin(e, p.u, c * p.c) != 0)
        return modelErrorObj(p.v ? "Cannot copy quadratic term into expression"
                                 : "Cannot copy linear term into expression");
    return r.release();
}

bool expression_settle(const expression_s *e) {
    const bool pending =
        (e->linear && linmap_pending(e->linear)) || (e->quadratic && quadmap_pending(e->quadratic));
    if (e->linear) linmap_settle(e->linear);
    if (e->quadratic) quadmap_settle(e->quadratic);
    return pending;
}

int expression_nonzero(PyObject *o) {
    if (!expression_Check(o)) return 1;
    const expression_s *e = as_expression(o);
    return e->constant != 0.0 || expression_has_linear(e) || expression_has_quadratic(e);
}

// ---- amendments
// -----------------------------------------------------------------------------------

namespace {

// Checks that the variables can join the expression. 0 or -1.
int checkAmend(PyObject *e, PyObject *u, PyObject *v = nullptr) {
    if (!expression_Check(e) || !var_Check(u) || (v && !var_Check(v))) {
        PyErr_SetString(nvy_model_exc, "Invalid operand in expression");
        return -1;
    }
    return checkCompatibleKinds(e, kExpression, u, kVar) != 0 ||
                   (v && checkCompatibleKinds(u, kVar, v, kVar) != 0)
               ? -1
               : 0;
}

} // namespace

int expression_setLinTerm(PyObject *e, PyObject *x, double c) {
    if (c == 0.0 && !(expression_Check(e) && as_expression(e)->linear)) return 0;
    if (checkAmend(e, x) != 0) return -1;
    expression_s *ex = as_expression(e);
    if (!ex->linear && !(ex->linear = linmap_new())) return modelError("Error amending expression");
    return linmap_set(ex->linear, x, c) != 0 ? modelError("Error amending expression") : 0;
}

int expression_addToLinTerm(PyObject *e, PyObject *x, double c) {
    if (c == 0.0) return 0;
    if (checkAmend(e, x) != 0) return -1;
    return addLin(as_expression(e), x, c) != 0 ? modelError("Error amending linear expression") : 0;
}

int expression_addToQuadTerm(PyObject *e, PyObject *u, PyObject *v, double c) {
    if (c == 0.0) return 0;
    if (checkAmend(e, u, v) != 0) return -1;
    return addQuad(as_expression(e), u, v, c) != 0 ? modelError("Cannot amend quadratic expression")
                                                   : 0;
}

int expression_setQuadTerm(PyObject *e, PyObject *u, PyObject *v, double c) {
    if (c == 0.0) return 0;
    if (checkAmend(e, u, v) != 0) return -1;
    return addQuad(as_expression(e), u, v, c) != 0
               ? modelError("Error setting quadratic expression")
               : 0;
}

PyObject *multiply_by_const_expr(PyObject *constobj, PyObject *obj, double c, int *kind) {
    (void)constobj;
    if (*kind < 0 && (*kind = getExprType(obj)) < 0) return nullptr;
    switch (*kind) {
    case kVar:
        return var_copy(obj, c == 0.0 ? 0.0 : c);
    case kLinterm:
        return linterm_copy(obj, c);
    case kQuadterm:
        return quadterm_copy(obj, c);
    case kExpression:
        return expression_copy(obj, c);
    case kNonlinear:
        return nonlin_copy(obj, c);
    default:
        return modelErrorObj("Error multiplying expressions");
    }
}

// ---- operations
// -------------------------------------------------------------------------------------

PyObject *expression_alg_sum(PyObject *a, PyObject *b, double s) {
    int ka, kb;
    if (kindsOf(a, b, &ka, &kb) != 0) return nullptr;
    return expression_alg_sum(a, ka, b, kb, s);
}

PyObject *expression_alg_sum(PyObject *a, int ka, PyObject *b, int kb, double s) {
    if (ka == kNonlinear || kb == kNonlinear)
        return nvr_nonlinear_binary(s < 0 ? kOpMinus : kOpPlus, a, b, false);
    if (checkCompatibleKinds(a, ka, b, kb) != 0) return nullptr;
    Poly pa, pb;
    if (poly_of(a, ka, &pa) != 0 || poly_of(b, kb, &pb) != 0) return nullptr;
    return poly_sum(pa, pb, s, "Error adding expressions");
}

namespace {

// A linear operand of expression_linear_sum: a variable or linear term (var, coef), or an
// expression (e) with merged linear entries only; rep is its representative variable.
struct LinearOperand {
    const expression_s *e = nullptr;
    PyObject *var = nullptr;
    double coef = 0.0;
    size_t count = 0;
    PyObject *rep = nullptr;
};

bool linearOperand(PyObject *o, int kind, LinearOperand *op) {
    switch (kind) {
    case kVar:
        *op = {nullptr, o, 1.0, 1, o};
        return true;
    case kLinterm:
        *op = {nullptr, as_linterm(o)->var, as_linterm(o)->coef, 1, as_linterm(o)->var};
        return true;
    case kExpression: {
        const expression_s *e = as_expression(o);
        if (e->quadratic || !e->linear || linmap_pending(e->linear)) return false;
        *op = {e, nullptr, 0.0, static_cast<size_t>(e->linear->len), linmap_any_key(e->linear)};
        return op->count > 0;
    }
    default:
        return false;
    }
}

// m += s·op, as the general sum adds a view of op.
int addLinear(linmap *m, const LinearOperand &op, double s) {
    return op.e ? linmap_merge(m, op.e->linear, s) : linmap_add(m, op.var, s * op.coef);
}

} // namespace

PyObject *expression_linear_sum(PyObject *a, int ka, PyObject *b, int kb, double s) {
    LinearOperand x, y;
    if (!linearOperand(a, ka, &x) || !linearOperand(b, kb, &y) || x.count + y.count > kLinInline ||
        (!x.e && !y.e && x.var == y.var))
        Py_RETURN_NOTIMPLEMENTED;
    const var_s *rx = as_var(x.rep), *ry = as_var(y.rep);
    if (var_is_deleted(rx) || rx->owner != ry->owner) Py_RETURN_NOTIMPLEMENTED;
    Ref r = Ref::steal(asObject(newExpressionWithMap(x.count + y.count)));
    if (!r) return nullptr;
    expression_s *e = as_expression(r.get());
    if (x.e) e->constant += x.e->constant;
    if (y.e) e->constant += s * y.e->constant;
    if (addLinear(e->linear, x, 1.0) != 0 || addLinear(e->linear, y, s) != 0)
        return modelErrorObj("Error adding expressions");
    return r.release();
}

PyObject *expression_incremental_alg_sum(PyObject *a, PyObject *b, double s) {
    int ka, kb;
    if (kindsOf(a, b, &ka, &kb) != 0) return nullptr;
    return expression_incremental_alg_sum(a, ka, b, kb, s);
}

namespace {

// True when a term whose representative is x may join e without the full compatibility check:
// x is not deleted and e is empty or its representative (read without merging, as the full
// check reads it) belongs to x's owner; then the full check could only agree. A representative
// of another owner, which entries not merged yet may cancel, takes the full check.
bool joinsOwner(const expression_s *e, PyObject *x) {
    const var_s *v = as_var(x);
    if (var_is_deleted(v)) return false;
    PyObject *r = e->linear ? linmap_any_key(e->linear) : nullptr;
    if (!r && e->quadratic) r = quadmap_any_key(e->quadratic);
    return !r || as_var(r)->owner == v->owner;
}

// e += s·t for a variable, linear or quadratic term t that may join e: one map update. 0 or -1.
int addTerm(expression_s *e, PyObject *t, int kind, double s) {
    switch (kind) {
    case kVar:
        return addLin(e, t, s);
    case kLinterm:
        return addLin(e, as_linterm(t)->var, s * as_linterm(t)->coef);
    default:
        return addQuad(e, as_quadterm(t)->var1, as_quadterm(t)->var2, s * as_quadterm(t)->coef);
    }
}

// The representative variable of a variable, linear or quadratic term.
PyObject *termVar(PyObject *t, int kind) {
    return kind == kVar ? t : kind == kLinterm ? as_linterm(t)->var : as_quadterm(t)->var1;
}

} // namespace

PyObject *expression_incremental_alg_sum(PyObject *a, int ka, PyObject *b, int kb, double s) {
    // The common step of a growing sum, e += c·x or e += c·x·y: one coefficient-map update.
    if (ka == kExpression && kb >= kVar && kb <= kQuadterm &&
        joinsOwner(as_expression(a), termVar(b, kb))) {
        if (addTerm(as_expression(a), b, kb, s) != 0)
            return modelErrorObj("Error adding expressions");
        return Py_NewRef(a);
    }
    if (ka != kExpression || kb == kNonlinear) {
        if (ka == kConst && kb == kConst) {
            double x, y;
            if (isConstOfKind(a, ka, &x) < 0 || isConstOfKind(b, kb, &y) < 0) return nullptr;
            return PyFloat_FromDouble(x + s * y);
        }
        return ka == kExpression || kb == kExpression ? expression_alg_sum(a, ka, b, kb, s)
                                                      : nvr_sum(a, b, s);
    }
    if (checkCompatibleKinds(a, ka, b, kb) != 0) return nullptr;
    expression_s *e = as_expression(a);
    if (a == b) {
        transform(e, [s](double c) { return c + s * c; });
        return Py_NewRef(a);
    }
    Poly pb;
    if (poly_of(b, kb, &pb) != 0) return nullptr;
    if (addPoly(e, pb, s) != 0) return modelErrorObj("Error adding expressions");
    return Py_NewRef(a);
}

PyObject *expression_mul(PyObject *a, PyObject *b) {
    int ka, kb;
    if (kindsOf(a, b, &ka, &kb) != 0) return nullptr;
    if (ka == kNonlinear || kb == kNonlinear) return nvr_nonlinear_binary(kOpTimes, a, b, false);
    if (checkCompatibleKinds(a, ka, b, kb) != 0) return nullptr;
    double c;
    int rc;
    // An expression times a number is the expression scaled, also when it is constant itself
    // (then both operands are constant, and the number is the one to scale by).
    if (ka == kExpression && kb == kConst && constValue(b, kb, &c, &rc))
        return expression_copy(a, c);
    if (constValue(a, ka, &c, &rc))
        return kb == kExpression && ka == kConst ? expression_copy(b, c)
                                                 : multiply_by_const_expr(a, b, c, &kb);
    if (rc < 0) return nullptr;
    if (constValue(b, kb, &c, &rc)) return multiply_by_const_expr(b, a, c, &ka);
    if (rc < 0) return nullptr;
    Poly pa, pb;
    if (poly_of(a, ka, &pa) != 0 || poly_of(b, kb, &pb) != 0) return nullptr;
    if (poly_degree(pa) + poly_degree(pb) > 2) return nvr_nonlinear_binary(kOpTimes, a, b, false);
    return poly_product(pa, pb);
}

PyObject *expression_div(PyObject *a, PyObject *b) {
    int ka, kb;
    if (kindsOf(a, b, &ka, &kb) != 0) return nullptr;
    if (ka == kExpression && kb != kNonlinear) {
        if (checkCompatibleKinds(a, ka, b, kb) != 0) return nullptr;
        double d;
        const int rc = isConstOfKind(b, kb, &d);
        if (rc < 0) return nullptr;
        if (rc == 1) {
            if (d == 0.0) return modelErrorObj("Division by zero");
            return transformedCopy(
                as_expression(a), [d](double x) { return x / d; }, "Cannot copy expression");
        }
    }
    return nvr_nonlinear_binary(kOpDivide, a, b, false);
}

PyObject *expression_pow(PyObject *a, PyObject *b) {
    int ka, kb;
    if (kindsOf(a, b, &ka, &kb) != 0) return nullptr;
    double x;
    if (kb == kConst && ka == kExpression) {
        if (isConstOfKind(b, kb, &x) < 0) return nullptr;
        if (x == 0.0) return PyFloat_FromDouble(1.0);
        if (x == 1.0) return expression_copy(a, 1.0);
        if (x == 2.0) return expression_mul(a, a);
    } else if (ka != kNonlinear && kb != kConst) {
        const int rc = isConstOfKind(a, ka, &x);
        if (rc < 0) return nullptr;
        if (rc == 1 && x == 1.0) return PyFloat_FromDouble(1.0);
    }
    return nvr_nonlinear_binary(kOpPower, a, b, false);
}

PyObject *expression_imul(PyObject *a, PyObject *b) {
    int ka, kb;
    if (kindsOf(a, b, &ka, &kb) != 0) return nullptr;
    if (ka != kExpression || kb == kNonlinear) return expression_mul(a, b);
    if (checkCompatibleKinds(a, ka, b, kb) != 0) return nullptr;
    double c;
    const int rc = isConstOfKind(b, kb, &c);
    if (rc < 0) return nullptr;
    if (rc == 0) return expression_mul(a, b);
    if (c == 0.0) return PyFloat_FromDouble(0.0);
    if (c != 1.0) transform(as_expression(a), [c](double x) { return c * x; });
    return Py_NewRef(a);
}

PyObject *expression_idiv(PyObject *a, PyObject *b) {
    int ka, kb;
    if (kindsOf(a, b, &ka, &kb) != 0) return nullptr;
    if (ka != kExpression || kb == kNonlinear) return expression_div(a, b);
    if (checkCompatibleKinds(a, ka, b, kb) != 0) return nullptr;
    double d;
    const int rc = isConstOfKind(b, kb, &d);
    if (rc < 0) return nullptr;
    if (rc == 0) return nvr_nonlinear_binary(kOpDivide, a, b, false);
    if (d == 0.0) return modelErrorObj("Division by zero");
    if (d != 1.0) transform(as_expression(a), [d](double x) { return x / d; });
    return Py_NewRef(a);
}

PyObject *expression_ipow(PyObject *a, PyObject *b) {
    int ka, kb;
    if (kindsOf(a, b, &ka, &kb) != 0) return nullptr;
    if (ka == kExpression && kb == kConst) {
        double p;
        if (isConstOfKind(b, kb, &p) < 0) return nullptr;
        if (p == 1.0) return Py_NewRef(a);
    }
    return expression_pow(a, b);
}

// ---- type
// ---------------------------------------------------------------------------------------------

namespace {

PyObject *expression_new(PyTypeObject *, PyObject *args, PyObject *kwargs) {
    // Arguments are refused rather than ignored: an expression always starts empty.
    if (PyTuple_GET_SIZE(args) != 0 || (kwargs && PyDict_GET_SIZE(kwargs) != 0)) {
        PyErr_SetString(PyExc_TypeError, "nivra.expression() takes no arguments");
        return nullptr;
    }
    return expression_base();
}

void expression_dealloc(PyObject *self) {
    expression_s *e = as_expression(self);
    // The map of an expression made with its map stays embedded for the expression's life.
    const bool withMap = e->linear && e->linear->embedded;
    linmap_free(&e->linear);
    quadmap_free(&e->quadratic);
    if (!withMap) {
        freeExpressions.release(self, nvr_live_objects[kLiveExpression]);
        return;
    }
    --nvr_live_objects[kLiveExpression];
    PyMem_RawFree(self);
}

PyMethodDef expression_methods[] = {
    NVR_REPR_LATEX_METHOD,
    {"extractLinear", nvr_extractLinear, METH_NOARGS,
     PyDoc_STR("extractLinear() -> ([var], [coef]): the linear part, ordered by variable")},
    {"extractQuadratic", nvr_extractQuadratic, METH_NOARGS,
     PyDoc_STR("extractQuadratic() -> ([var1], [var2], [coef]): the quadratic part, ordered by "
               "pair of variables")},
    {nullptr, nullptr, 0, nullptr},
};

} // namespace

PyTypeObject expression_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.expression",
    .tp_basicsize = sizeof(expression_s),
    .tp_dealloc = expression_dealloc,
    .tp_repr = nvr_model_str,
    .tp_as_number = &nvr_model_number_methods,
    .tp_str = nvr_model_str,
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("expression(): an empty linear or quadratic expression, to be built up "
                        "with the arithmetic operators"),
    .tp_richcompare = generic_cmp,
    .tp_methods = expression_methods,
    .tp_new = expression_new,
};
