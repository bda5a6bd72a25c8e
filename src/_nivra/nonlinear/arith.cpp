// nonlinear/arith.cpp: the arithmetic of nonlinear nodes: sums, differences, products,
// quotients, powers and the logical operators, with their simplifications and in-place forms.
//
// Nodes never change an argument object they share with someone else. The in-place forms
// extend the list of the left node itself; a nested node or merged item is replaced by a new
// object, except that the trailing linear item of a plus node is merged in place when the
// node's list holds the only reference to it.
#include "nonlinear.h"

#include <cmath>
#include <utility>

#include "model/algebra.h"
#include "model/expression.h"
#include "model/operand.h"
#include "runtime/env.h"
#include "runtime/ref.h"

namespace {

PyObject *modelError(const char *msg) {
    PyErr_SetString(nvy_model_exc, msg);
    return nullptr;
}

// Known kinds and variables that can be combined. 0 or -1.
int prepare(PyObject *a, PyObject *b) {
    if (getExprType(a) < 0 || getExprType(b) < 0) return -1;
    return check_expressions_compatible(a, b, nullptr);
}

// The value of a constant operand (a number, or an expression holding only a constant).
struct Constant {
    bool is = false;
    double value = 0.0;
    bool equals(double x) const { return is && value == x; }
};

// 0, or -1 when the number conversion fails.
int constantOf(PyObject *o, Constant *c) {
    const int rc = isObjectConst(o, nullptr, &c->value);
    c->is = rc == 1;
    return rc < 0 ? -1 : 0;
}

bool isNumber(PyObject *o) {
    return exprKindOf(o) == kConst;
}

// A new object equal to o that the caller may extend.
PyObject *copyOf(PyObject *o) {
    return nonlinear_Check(o) ? nonlin_clone(o) : general_copy(o, 1.0);
}

PyObject *unaryMinus(PyObject *o) {
    return nonlin_make(kOpUnaryMinus, Py_NewRef(o));
}

// The list of a node of op, or null when o is not such a node.
PyObject *listOf(PyObject *o, operation_type op) {
    return nonlin_is(o, op) && PyList_Check(as_nonlin(o)->args) ? as_nonlin(o)->args : nullptr;
}

// The items that o contributes to a node of op: its own arguments when it is a node of op
// (a snapshot, since o may be the node being extended), else o alone. New tuple or null.
PyObject *itemsFor(PyObject *o, operation_type op) {
    if (nonlin_is(o, op)) {
        PyObject *args = as_nonlin(o)->args;
        if (args && (PyList_Check(args) || PyTuple_Check(args))) return PySequence_Tuple(args);
    }
    return PyTuple_Pack(1, o);
}

// The result of an operation on a node's list: the node (when it is the in-place target), a
// copy of the single remaining item (which other nodes may share), or a new node. empty is
// the value of an empty list.
PyObject *finish(operation_type op, PyObject *target, Ref list, double empty) {
    const Py_ssize_t n = PyList_GET_SIZE(list.get());
    if (n == 0) return PyFloat_FromDouble(empty);
    if (n == 1) return copyOf(PyList_GET_ITEM(list.get(), 0));
    if (target) return Py_NewRef(target);
    return nonlin_make(op, list.release());
}

// ---- sums
// -----------------------------------------------------------------------------------------

// Index of the item holding the summands that are not nonlinear, searched among the last three
// items of a plus node's list; -1 when there is none.
Py_ssize_t linearItem(PyObject *list) {
    const Py_ssize_t n = PyList_GET_SIZE(list);
    for (Py_ssize_t i = n - 1; i >= 0 && i >= n - 3; --i)
        if (!nonlinear_Check(PyList_GET_ITEM(list, i))) return i;
    return -1;
}

// 1 when o is the number 0 or an expression without terms and with constant 0; 0 otherwise;
// -1 on a conversion error.
int isZero(PyObject *o) {
    switch (exprKindOf(o)) {
    case kConst: {
        double v;
        return isConstOfKind(o, kConst, &v) < 0 ? -1 : v == 0.0;
    }
    case kExpression:
        return !expression_nonzero(o);
    default:
        return 0;
    }
}

// Inserts item at index t, one of the last items of list: appended, then rotated into place,
// so that long lists are not moved. 0 or -1.
int insertNearEnd(PyObject *list, Py_ssize_t t, PyObject *item) {
    if (PyList_Append(list, item) != 0) return -1;
    PyObject **items = reinterpret_cast<PyListObject *>(list)->ob_item;
    for (Py_ssize_t i = PyList_GET_SIZE(list) - 1; i > t; --i)
        std::swap(items[i], items[i - 1]);
    return 0;
}

// existing + c·item: in place when existing is an expression that only the list holds.
PyObject *merged(PyObject *existing, PyObject *item, double c) {
    if (expression_Check(existing) && Py_REFCNT(existing) == 1)
        return expression_incremental_alg_sum(existing, item, c);
    return nvr_sum(existing, item, c);
}

// Adds c·item to the list of a plus node: a nonlinear summand goes before the linear item,
// anything else is merged into it (a merged item that becomes 0 is dropped). 0 or -1.
int addSummand(PyObject *list, PyObject *item, double c) {
    const Py_ssize_t t = linearItem(list);
    if (nonlinear_Check(item)) {
        Ref scaled = Ref::steal(c == 1.0 ? Py_NewRef(item) : nonlin_copy(item, c));
        if (!scaled) return -1;
        return t >= 0 ? insertNearEnd(list, t, scaled.get()) : PyList_Append(list, scaled.get());
    }
    Ref sum = Ref::steal(t >= 0     ? merged(PyList_GET_ITEM(list, t), item, c)
                         : c == 1.0 ? Py_NewRef(item)
                                    : general_copy(item, c));
    if (!sum) return -1;
    const int zero = isZero(sum.get());
    if (zero < 0) return -1;
    if (zero) return t >= 0 ? PySequence_DelItem(list, t) : 0;
    if (t >= 0) return PyList_SetItem(list, t, sum.release());
    return PyList_Append(list, sum.get());
}

// a + c·b for checked operands, reusing a's list when inplace.
PyObject *sumScaled(PyObject *a, PyObject *b, double c, bool inplace) {
    if (c == 0.0) return Py_NewRef(a);
    if (!nonlinear_Check(a) && !nonlinear_Check(b)) return nvr_sum(a, b, c);
    Constant ca, cb;
    if (constantOf(a, &ca) != 0 || constantOf(b, &cb) != 0) return nullptr;
    if (ca.equals(0.0)) return c == 1.0 ? copyOf(b) : general_copy(b, c);
    if (cb.equals(0.0)) return inplace ? Py_NewRef(a) : copyOf(a);
    PyObject *own = listOf(a, kOpPlus);
    Ref list;
    if (own) {
        list = Ref::steal(inplace ? Py_NewRef(own) : PyList_GetSlice(own, 0, PyList_GET_SIZE(own)));
        if (!list) return nullptr;
    } else {
        list = Ref::steal(PyList_New(0));
        if (!list || addSummand(list.get(), a, 1.0) != 0) return nullptr;
    }
    Ref items = Ref::steal(itemsFor(b, kOpPlus));
    if (!items) return nullptr;
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(items.get()); ++i)
        if (addSummand(list.get(), PyTuple_GET_ITEM(items.get(), i), c) != 0) return nullptr;
    return finish(kOpPlus, own && inplace ? a : nullptr, std::move(list), 0.0);
}

// a - b for checked operands: a plus node on the left absorbs -b; otherwise a minus node.
PyObject *difference(PyObject *a, PyObject *b, bool inplace) {
    if (!nonlinear_Check(a) && !nonlinear_Check(b)) return nvr_sum(a, b, -1.0);
    if (listOf(a, kOpPlus)) return sumScaled(a, b, -1.0, inplace);
    Constant ca, cb;
    if (constantOf(a, &ca) != 0 || constantOf(b, &cb) != 0) return nullptr;
    if (cb.equals(0.0)) return inplace ? Py_NewRef(a) : copyOf(a);
    if (ca.equals(0.0)) return general_neg(b);
    return nonlin_binary_unchecked(kOpMinus, a, b);
}

// ---- products
// -------------------------------------------------------------------------------------

// Multiplies the list of a times node by the items of b: numbers multiply the numeric factor
// kept as the last item (a factor 1 is dropped), other factors go before it. Sets *zero when
// the factor becomes 0. 0 or -1.
int timesExtend(PyObject *list, PyObject *b, bool *zero) {
    Ref items = Ref::steal(itemsFor(b, kOpTimes));
    if (!items) return -1;
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(items.get()); ++i) {
        PyObject *item = PyTuple_GET_ITEM(items.get(), i);
        const Py_ssize_t n = PyList_GET_SIZE(list);
        const bool hasFactor = n > 0 && isNumber(PyList_GET_ITEM(list, n - 1));
        if (!isNumber(item)) {
            if ((hasFactor ? insertNearEnd(list, n - 1, item) : PyList_Append(list, item)) != 0)
                return -1;
            continue;
        }
        double v;
        if (isConstOfKind(item, kConst, &v) < 0) return -1;
        double f = v;
        if (hasFactor) {
            double old;
            if (isConstOfKind(PyList_GET_ITEM(list, n - 1), kConst, &old) < 0) return -1;
            f = old * v;
        }
        if (f == 0.0) {
            *zero = true;
            return 0;
        }
        if (f == 1.0) {
            if (hasFactor && PySequence_DelItem(list, n - 1) != 0) return -1;
            continue;
        }
        PyObject *factor = hasFactor ? PyFloat_FromDouble(f) : Py_NewRef(item);
        if (!factor) return -1;
        if (hasFactor) {
            PyList_SetItem(list, n - 1, factor); // cannot fail: the index exists
        } else {
            const int rc = PyList_Append(list, factor);
            Py_DECREF(factor);
            if (rc != 0) return -1;
        }
    }
    return 0;
}

// The simplifications of a·b shared by both forms; null result (no exception) when none applies.
PyObject *simplifiedProduct(PyObject *a, PyObject *b, const Constant &ca, const Constant &cb) {
    if (ca.is && cb.is) return PyFloat_FromDouble(ca.value * cb.value);
    if (ca.equals(0.0) || cb.equals(0.0)) return PyFloat_FromDouble(0.0);
    if (ca.equals(1.0)) return copyOf(b);
    if (cb.equals(1.0)) return copyOf(a);
    if (ca.equals(-1.0)) return unaryMinus(b);
    if (cb.equals(-1.0)) return unaryMinus(a);
    return nullptr;
}

PyObject *product(PyObject *a, PyObject *b) {
    Constant ca, cb;
    if (constantOf(a, &ca) != 0 || constantOf(b, &cb) != 0) return nullptr;
    if (PyObject *r = simplifiedProduct(a, b, ca, cb); r || PyErr_Occurred()) return r;
    return nonlin_binary_unchecked(kOpTimes, a, b);
}

// a *= b: a times node on the left is extended; otherwise a flattening times node.
PyObject *productInPlace(PyObject *a, PyObject *b) {
    Constant ca, cb;
    if (constantOf(a, &ca) != 0 || constantOf(b, &cb) != 0) return nullptr;
    PyObject *own = listOf(a, kOpTimes);
    if (!own) {
        if (PyObject *r = simplifiedProduct(a, b, ca, cb); r || PyErr_Occurred()) return r;
    } else if (cb.equals(1.0)) {
        return Py_NewRef(a);
    }
    Ref list = Ref::steal(own ? Py_NewRef(own) : PyList_New(0));
    bool zero = false;
    if (!list || (!own && timesExtend(list.get(), a, &zero) != 0) ||
        (!zero && timesExtend(list.get(), b, &zero) != 0))
        return nullptr;
    if (zero) return PyFloat_FromDouble(0.0);
    return finish(kOpTimes, own ? a : nullptr, std::move(list), 1.0);
}

// ---- quotients
// ------------------------------------------------------------------------------------

// The simplifications of a / b shared by both forms; null result (no exception) when none
// applies.
PyObject *simplifiedQuotient(PyObject *a, const Constant &ca, const Constant &cb, bool inplace) {
    if (ca.equals(0.0)) return PyFloat_FromDouble(0.0);
    if (cb.equals(0.0)) return modelError("Division by zero");
    if (ca.is && cb.is) return PyFloat_FromDouble(ca.value / cb.value);
    if (cb.equals(1.0)) return inplace ? Py_NewRef(a) : copyOf(a);
    return nullptr;
}

PyObject *quotient(PyObject *a, PyObject *b) {
    Constant ca, cb;
    if (constantOf(a, &ca) != 0 || constantOf(b, &cb) != 0) return nullptr;
    if (PyObject *r = simplifiedQuotient(a, ca, cb, false); r || PyErr_Occurred()) return r;
    return nonlin_binary_unchecked(kOpDivide, a, b);
}

// d·b as a new denominator: a copy of a times node d extended by b, else the general product.
PyObject *denominatorTimes(PyObject *d, PyObject *b) {
    if (!listOf(d, kOpTimes)) return general_mul(d, b);
    Ref copy = Ref::steal(nonlin_clone(d));
    bool zero = false;
    if (!copy || timesExtend(as_nonlin(copy.get())->args, b, &zero) != 0) return nullptr;
    if (zero) return modelError("Division by zero");
    return finish(kOpTimes, copy.get(), Ref::borrow(as_nonlin(copy.get())->args), 1.0);
}

// Replaces the second item of a node's pair (n, d) by f(d). Returns the node or null.
template <class F> PyObject *replaceSecond(PyObject *node, F f) {
    nonlin_s *x = as_nonlin(node);
    Ref second = Ref::steal(f(PyTuple_GET_ITEM(x->args, 1)));
    if (!second) return nullptr;
    PyObject *pair = PyTuple_Pack(2, PyTuple_GET_ITEM(x->args, 0), second.get());
    if (!pair) return nullptr;
    Py_SETREF(x->args, pair);
    return Py_NewRef(node);
}

bool isPairNode(PyObject *o, operation_type op) {
    return nonlin_is(o, op) && PyTuple_Check(as_nonlin(o)->args) &&
           PyTuple_GET_SIZE(as_nonlin(o)->args) == 2;
}

// a /= b: a number divisor multiplies by its reciprocal; a division node multiplies its
// denominator by b.
PyObject *quotientInPlace(PyObject *a, PyObject *b) {
    Constant ca, cb;
    if (constantOf(a, &ca) != 0 || constantOf(b, &cb) != 0) return nullptr;
    if (PyObject *r = simplifiedQuotient(a, ca, cb, true); r || PyErr_Occurred()) return r;
    if (cb.is) {
        Ref inverse = Ref::steal(PyFloat_FromDouble(1.0 / cb.value));
        return inverse ? productInPlace(a, inverse.get()) : nullptr;
    }
    if (isPairNode(a, kOpDivide))
        return replaceSecond(a, [b](PyObject *d) { return denominatorTimes(d, b); });
    return nonlin_binary_unchecked(kOpDivide, a, b);
}

// ---- powers
// ---------------------------------------------------------------------------------------

PyObject *simplifiedPower(PyObject *a, const Constant &ca, const Constant &cb, bool inplace) {
    if (ca.equals(1.0) || cb.equals(0.0)) return PyFloat_FromDouble(1.0);
    if (cb.equals(1.0)) return inplace ? Py_NewRef(a) : copyOf(a);
    if (ca.is && cb.is) return PyFloat_FromDouble(std::pow(ca.value, cb.value));
    return nullptr;
}

// Checks and constant values of the operands of a power. 0 or -1.
int preparePower(PyObject *a, PyObject *b, PyObject *mod, Constant *ca, Constant *cb) {
    if (mod != Py_None) {
        PyErr_SetString(PyExc_TypeError, "pow() with a modulus is not supported by Nivra objects");
        return -1;
    }
    if (exprKindOf(b) < 0 && isArrayOrSequence(b)) {
        modelError("Cannot obtain a power with a vector as an exponent");
        return -1;
    }
    if (prepare(a, b) != 0) return -1;
    return constantOf(a, ca) != 0 || constantOf(b, cb) != 0 ? -1 : 0;
}

} // namespace

// ---- entry points -------------------------------------------------------------------------------

PyObject *nonlin_add(PyObject *a, PyObject *b) {
    return prepare(a, b) != 0 ? nullptr : sumScaled(a, b, 1.0, false);
}

PyObject *nonlin_iadd(PyObject *a, PyObject *b) {
    return prepare(a, b) != 0 ? nullptr : sumScaled(a, b, 1.0, true);
}

PyObject *nonlin_sub(PyObject *a, PyObject *b) {
    return prepare(a, b) != 0 ? nullptr : difference(a, b, false);
}

PyObject *nonlin_isub(PyObject *a, PyObject *b) {
    return prepare(a, b) != 0 ? nullptr : difference(a, b, true);
}

PyObject *nonlin_mul(PyObject *a, PyObject *b) {
    return prepare(a, b) != 0 ? nullptr : product(a, b);
}

PyObject *nonlin_imul(PyObject *a, PyObject *b) {
    return prepare(a, b) != 0 ? nullptr : productInPlace(a, b);
}

PyObject *nonlin_div(PyObject *a, PyObject *b) {
    return prepare(a, b) != 0 ? nullptr : quotient(a, b);
}

PyObject *nonlin_idiv(PyObject *a, PyObject *b) {
    return prepare(a, b) != 0 ? nullptr : quotientInPlace(a, b);
}

PyObject *nonlin_pow(PyObject *a, PyObject *b, PyObject *mod) {
    Constant ca, cb;
    if (preparePower(a, b, mod, &ca, &cb) != 0) return nullptr;
    if (PyObject *r = simplifiedPower(a, ca, cb, false); r || PyErr_Occurred()) return r;
    return nonlin_binary_unchecked(kOpPower, a, b);
}

PyObject *nonlin_ipow(PyObject *a, PyObject *b, PyObject *mod) {
    Constant ca, cb;
    if (preparePower(a, b, mod, &ca, &cb) != 0) return nullptr;
    if (PyObject *r = simplifiedPower(a, ca, cb, true); r || PyErr_Occurred()) return r;
    if (isPairNode(a, kOpPower))
        return replaceSecond(a, [b](PyObject *p) { return general_mul(p, b); });
    return nonlin_binary_unchecked(kOpPower, a, b);
}

PyObject *nonlin_and(PyObject *a, PyObject *b) {
    return nonlin_instantiate_binary_flatten(kOpAnd, a, b);
}
PyObject *nonlin_or(PyObject *a, PyObject *b) {
    return nonlin_instantiate_binary_flatten(kOpOr, a, b);
}
PyObject *nonlin_iand(PyObject *a, PyObject *b) {
    return nonlin_inplace_generic(kOpAnd, a, b);
}
PyObject *nonlin_ior(PyObject *a, PyObject *b) {
    return nonlin_inplace_generic(kOpOr, a, b);
}
