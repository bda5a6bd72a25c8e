// numeric/accumulate.cpp: one result of Sum or one element of a tensor product, built in one
// expression.
#include "accumulate.h"

#include <new>
#include <utility>

#include "model/algebra.h"
#include "model/expression.h"
#include "model/linterm.h"
#include "model/operand.h"
#include "model/quadterm.h"
#include "model/var.h"
#include "runtime/env.h"
#include "runtime/ref.h"

namespace {

// A new coefficient map with room for n entries (the room is a hint: without it the map grows
// as usual). Null when memory is exhausted.
linmap *newLinmap(Py_ssize_t n) {
    linmap *m = n > 0 ? linmap_new(static_cast<size_t>(n)) : linmap_new();
    if (m && n > 0) linmap_reserve(m, static_cast<size_t>(n));
    return m;
}

// The factor c·x of a variable or linear term; false for other kinds.
bool termOf(PyObject *o, int kind, double *c, PyObject **x) {
    if (kind == kVar) {
        *c = 1.0;
        *x = o;
        return true;
    }
    if (kind == kLinterm) {
        *c = as_linterm(o)->coef;
        *x = as_linterm(o)->var;
        return true;
    }
    return false;
}

} // namespace

bool ExpressionAccumulator::isExpressionOrEmpty() const {
    return !obj_ || expression_Check(obj_);
}

PyObject *ExpressionAccumulator::take() {
    PyObject *r = obj_ || target() ? std::exchange(obj_, nullptr) : nullptr;
    ownerState_ = Owner::kNone;
    owner_ = nullptr;
    return r;
}

// The result as an expression to add into, created when the result is still empty. Null
// with an exception when it cannot be created; the caller makes sure that a non-empty result
// is an expression.
expression_s *ExpressionAccumulator::target() {
    if (!obj_ && !(obj_ = expression_base())) {
        PyErr_SetString(nvy_interf_exc, "Out of memory when creating expression");
        return nullptr;
    }
    return as_expression(obj_);
}

// Checks that the variable may join the result: not deleted, and of the same problem (or
// unlinked like) as the variables the result holds. 0 or -1 with ModelError.
int ExpressionAccumulator::admit(PyObject *var) {
    const var_s *v = as_var(var);
    if (var_is_deleted(v)) return nvr_model_error("Deleted variable in expression");
    if (ownerState_ == Owner::kUnknown) {
        var_s *rep;
        if (firstVarAgreeing(obj_, exprKindOf(obj_), v, &rep) != 0) return -1;
        ownerState_ = rep ? Owner::kKnown : Owner::kNone;
        owner_ = rep ? rep->owner : nullptr;
    }
    if (ownerState_ == Owner::kNone) {
        ownerState_ = Owner::kKnown;
        owner_ = v->owner;
        return 0;
    }
    if (v->owner == owner_) return 0;
    return nvr_model_error(
        !owner_ || !v->owner
            ? "Linked variables and unlinked variables cannot be combined in expression"
            : "Variables from different problems in expression");
}

int ExpressionAccumulator::addConstant(double c) {
    expression_s *e = target();
    if (!e) return -1;
    e->constant += c;
    return 0;
}

int ExpressionAccumulator::addLinear(PyObject *x, double c) {
    if (c == 0.0) return 0;
    expression_s *e = target();
    if (!e || admit(x) != 0) return -1;
    if ((!e->linear && !(e->linear = newLinmap(terms_))) || linmap_add(e->linear, x, c) != 0)
        return nvr_model_error("Error amending linear expression");
    return 0;
}

int ExpressionAccumulator::addQuadratic(PyObject *u, PyObject *v, double c) {
    if (c == 0.0) return 0;
    expression_s *e = target();
    if (!e || admit(u) != 0 || admit(v) != 0) return -1;
    quadterm_order(&u, &v);
    if ((!e->quadratic && !(e->quadratic = quadmap_new())) ||
        quadmap_add(e->quadratic, u, v, c) != 0)
        return nvr_model_error("Cannot amend quadratic expression");
    return 0;
}

// result += c·e for an expression e (the expression sum checks that they can be combined).
int ExpressionAccumulator::addExpression(PyObject *e, double c) {
    if (c == 0.0) return 0;
    if (!target()) return -1;
    Ref r = Ref::steal(expression_incremental_alg_sum(obj_, e, c));
    if (!r) return -1;
    if (ownerState_ == Owner::kNone) ownerState_ = Owner::kUnknown;
    return 0;
}

// result += (c·x)·e for an expression e without quadratic terms: its constant gives a linear
// term, each of its linear terms a quadratic one.
int ExpressionAccumulator::addTermTimesLinear(PyObject *x, double c, PyObject *e) {
    var_s *rep;
    if (!target() || firstVarOfKind(e, kExpression, &rep) != 0) return -1;
    if (rep && admit(reinterpret_cast<PyObject *>(rep)) != 0) return -1;
    const expression_s *f = as_expression(e);
    if (addLinear(x, c * f->constant) != 0) return -1;
    int rc = 0;
    expression_forEachLinear(f, [&](PyObject *y, double d) {
        if (rc == 0) rc = addQuadratic(x, y, c * d);
    });
    return rc;
}

// result += o by the general in-place addition (an empty result takes a copy of o).
int ExpressionAccumulator::generalSum(PyObject *o) {
    Ref keep = Ref::borrow(o); // Python code may run below
    PyObject *r = general_iadd(obj_ ? obj_ : Py_None, o);
    if (!r) return -1;
    Py_XSETREF(obj_, r);
    ownerState_ = Owner::kUnknown;
    return 0;
}

// result += a·b by the general multiplication and in-place addition.
int ExpressionAccumulator::general(PyObject *a, PyObject *b) {
    Ref keepA = Ref::borrow(a), keepB = Ref::borrow(b);
    Ref p = Ref::steal(a == Py_None || b == Py_None ? PyNumber_Multiply(a, b) : general_mul(a, b));
    return p ? generalSum(p.get()) : -1;
}

int ExpressionAccumulator::add(PyObject *o, int kind) {
    // A number that starts the result stays a number, as the general addition makes it: a
    // number followed by a numeric array sums to an array of numbers.
    if (!isExpressionOrEmpty() || kind < 0 || kind == kNonlinear || (!obj_ && kind == kConst))
        return generalSum(o);
    return scaled(1.0, o, kind, true);
}

// result += c·o for o of the given kind (numberFirst: the product is c·o, else o·c).
int ExpressionAccumulator::scaled(double c, PyObject *o, int kind, bool numberFirst) {
    if (!isExpressionOrEmpty() || kind < 0 || kind == kNonlinear) {
        Ref f = Ref::steal(PyFloat_FromDouble(c));
        if (!f) return -1;
        return numberFirst ? general(f.get(), o) : general(o, f.get());
    }
    switch (kind) {
    case kVar:
        return addLinear(o, c);
    case kLinterm:
        return addLinear(as_linterm(o)->var, c * as_linterm(o)->coef);
    case kQuadterm: {
        const quadterm_s *q = as_quadterm(o);
        return addQuadratic(q->var1, q->var2, c * q->coef);
    }
    case kExpression:
        return addExpression(o, c);
    default: {
        double v;
        return isConstOfKind(o, kConst, &v) < 0 ? -1 : addConstant(c * v);
    }
    }
}

int ExpressionAccumulator::addProduct(PyObject *a, PyObject *b) {
    const int ka = exprKindOf(a), kb = exprKindOf(b);
    double v;
    if (ka == kConst) return isConstOfKind(a, kConst, &v) < 0 ? -1 : scaled(v, b, kb, true);
    if (kb == kConst) return isConstOfKind(b, kConst, &v) < 0 ? -1 : scaled(v, a, ka, false);
    if (!isExpressionOrEmpty()) return general(a, b);
    double ca, cb;
    PyObject *xa, *xb;
    const bool ta = termOf(a, ka, &ca, &xa), tb = termOf(b, kb, &cb, &xb);
    if (ta && tb) return addQuadratic(xa, xb, ca * cb);
    if (ta && kb == kExpression && !expression_has_quadratic(as_expression(b)))
        return addTermTimesLinear(xa, ca, b);
    if (tb && ka == kExpression && !expression_has_quadratic(as_expression(a)))
        return addTermTimesLinear(xb, cb, a);
    return general(a, b);
}
