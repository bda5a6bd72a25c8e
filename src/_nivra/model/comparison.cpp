// model/comparison.cpp: comparisons of model objects: with the constraint operators switched on
// they build constraints (the body a - b, its constant moved into the bounds); switched off,
// == and != test structural equality.
#include "runtime/npy.h"

#include <cmath>

#include "algebra.h"
#include "constraint.h"
#include "equality.h"
#include "expression.h"
#include "linterm.h"
#include "runtime/env.h"
#include "runtime/ref.h"
#include "nonlinear/nonlinear.h"
#include "operand.h"
#include "var.h"

namespace {

PyObject *modelError(const char *msg) {
    PyErr_SetString(nvy_model_exc, msg);
    return nullptr;
}

// The comparison that NumPy applies element by element when the array is the left operand.
int reflected(int op) {
    switch (op) {
    case Py_LE:
        return Py_GE;
    case Py_GE:
        return Py_LE;
    case Py_LT:
        return Py_GT;
    case Py_GT:
        return Py_LT;
    default:
        return op;
    }
}

// The constraint type of a comparison code; ModelError for the others.
long typeOfComparison(int op) {
    switch (op) {
    case Py_LE:
        return kConLeq;
    case Py_GE:
        return kConGeq;
    case Py_EQ:
        return kConEq;
    case Py_LT:
    case Py_GT:
    case Py_NE:
        modelError("Invalid constraint: cannot enforce f(x) != 0, f(x) > 0, or f(x) < 0");
        return -1;
    default:
        modelError("Invalid constraint: unrecognized comparison operator");
        return -1;
    }
}

// A body with its right-hand side taken out: body (op) 0 became body' (op') rhs.
struct Split {
    Ref body;
    double rhs = 0.0;
    bool reversed = false; // <= and >= exchange roles
};

// The value of a constant operand. 1, 0, or -1 with an exception.
int constantOf(PyObject *o, double *value) {
    return isObjectConst(o, nullptr, value);
}

// The trailing item of a plus node's list when it is an expression with a constant: the
// constant becomes the right-hand side and the item is replaced by one without it (dropped
// when nothing else remains). 0 or -1.
int takeTrailingConstant(PyObject *list, Split *s) {
    const Py_ssize_t last = PyList_GET_SIZE(list) - 1;
    PyObject *item = PyList_GET_ITEM(list, last);
    double c;
    const int rc = constantOf(item, &c);
    if (rc < 0) return -1;
    if (rc == 0 && !(expression_Check(item) && as_expression(item)->constant != 0.0)) return 0;
    if (rc == 1) {
        s->rhs = -c;
        return PySequence_DelItem(list, last);
    }
    s->rhs = -as_expression(item)->constant;
    PyObject *rest = Py_REFCNT(item) == 1 ? Py_NewRef(item) : expression_copy(item, 1.0);
    if (!rest) return -1;
    as_expression(rest)->constant = 0.0;
    if (!expression_nonzero(rest)) {
        Py_DECREF(rest);
        return PySequence_DelItem(list, last);
    }
    return PyList_SetItem(list, last, rest);
}

// Takes the right-hand side out of a nonlinear body (a new node, which may be changed).
int splitNonlinear(Split *s) {
    PyObject *node = s->body.get();
    PyObject *args = as_nonlin(node)->args;
    if (nonlin_is(node, kOpMinus) && PyTuple_Check(args) && PyTuple_GET_SIZE(args) == 2) {
        double c;
        int rc = constantOf(PyTuple_GET_ITEM(args, 0), &c);
        if (rc < 0) return -1;
        if (rc == 1) {
            s->rhs = c;
            s->reversed = true;
            s->body = Ref::borrow(PyTuple_GET_ITEM(args, 1));
            return 0;
        }
        if ((rc = constantOf(PyTuple_GET_ITEM(args, 1), &c)) < 0) return -1;
        if (rc == 1) {
            s->rhs = c;
            s->body = Ref::borrow(PyTuple_GET_ITEM(args, 0));
        }
        return 0;
    }
    if (nonlin_is(node, kOpPlus) && PyList_Check(args) && PyList_GET_SIZE(args) >= 2)
        return takeTrailingConstant(args, s);
    // Any other nonlinear body keeps its form, with right-hand side 0.
    return 0;
}

// body = a - b split into body' and the right-hand side. 0 or -1.
int splitBody(Split *s) {
    PyObject *body = s->body.get();
    switch (exprKindOf(body)) {
    case kExpression:
        s->rhs = -as_expression(body)->constant;
        as_expression(body)->constant = 0.0;
        return 0;
    case kNonlinear:
        return splitNonlinear(s);
    case kConst:
    case kVar:
    case kLinterm:
    case kQuadterm:
        return 0;
    default:
        modelError("Invalid constraint body");
        return -1;
    }
}

// The constraint body (op) rhs, reversed when the split turned the comparison around; a compact
// body is the variable or linear term itself. New reference or null.
PyObject *newConstraint(PyObject *body, double rhs, int op, bool reversed, bool compact) {
    // A NaN constant on either side would make the row free (or void) without a word.
    if (std::isnan(rhs)) return modelError("Invalid constraint: the right-hand side is NaN");
    long type = typeOfComparison(op);
    if (type < 0) return nullptr;
    if (reversed && type != kConEq) type = type == kConLeq ? kConGeq : kConLeq;
    double lb, ub;
    calc_constraint_bounds(type, rhs, 0.0, &lb, &ub);
    Ref c = Ref::steal(!compact && exprKindOf(body) == kNonlinear ? constraint_base()
                                                                  : constraint_base_acyclic());
    constraint_s *con = c ? as_constraint(c.get()) : nullptr;
    if (!c || (compact ? constraint_init_compact(con, lb, ub, body)
                       : constraint_init_internal(con, lb, ub, body, nullptr)) != 0)
        return nullptr;
    return c.release();
}

// A variable, a linear term or an expression: the operands of expression_linear_sum.
bool isLinearKind(int kind) {
    return kind == kVar || kind == kLinterm || kind == kExpression;
}

// A variable, or a linear term with a non-zero coefficient, compared with a number: the body is
// the term itself and the number the right-hand side, with no expression made for a - b.
bool isCompactComparison(PyObject *a, int ka, int kb) {
    return kb == kConst && (ka == kVar || (ka == kLinterm && as_linterm(a)->coef != 0.0));
}

// a - b: for two short linear operands (the rows of element-wise comparisons of arrays) the
// one-block sum, without the general sum's classification and views; otherwise, or when that
// sum declines (deleted variables, other problems), the general sum, which raises where it
// must. New reference or null.
PyObject *linearDifference(PyObject *a, int ka, PyObject *b, int kb) {
    if (isLinearKind(ka) && isLinearKind(kb)) {
        PyObject *r = expression_linear_sum(a, ka, b, kb, -1.0);
        if (r != Py_NotImplemented) return r;
        Py_DECREF(r);
    }
    return nvr_sum(a, b, -1.0);
}

} // namespace

PyObject *make_constraint(PyObject *a, PyObject *b, int op) {
    int ka = exprKindOf(a);
    const int kb = exprKindOf(b);
    // (A number operand is no array: the compact form comes before the arrays' turn.)
    if (isCompactComparison(a, ka, kb)) {
        double rhs;
        if (isConstOfKind(b, kConst, &rhs) < 0) return nullptr;
        return newConstraint(a, rhs, op, false, true);
    }
    Ref left = Ref::borrow(a);
    if (ka == kConst) {
        double c;
        if (isConstOfKind(a, kConst, &c) < 0 || !(left = Ref::steal(expression_base())))
            return nullptr;
        as_expression(left.get())->constant = c;
        ka = kExpression;
    }
    // (Model objects are no arrays: only a number or an object of no kind is looked at.)
    if (kb <= kConst && PyArray_Check(b)) {
        if (PyArray_Check(a)) {
            PyErr_SetString(nvy_interf_exc, "Ill-defined constraint array");
            return nullptr;
        }
        Ref element = Ref::steal(nvr_zero_dim_element(left.get()));
        return element ? PyObject_RichCompare(b, element.get(), reflected(op)) : nullptr;
    }
    // The subtraction of numbers, variables, terms and expressions checks its two operands
    // first, with this same check; only nonlinear operands and objects of no kind are checked
    // here. (Once per element of an element-wise comparison, the second check was a tenth of
    // the work.)
    if ((ka < 0 || kb < 0 || ka == kNonlinear || kb == kNonlinear) &&
        check_expressions_compatible(left.get(), b, nullptr) != 0)
        return nullptr;
    Split s;
    if (!(s.body = Ref::steal(linearDifference(left.get(), ka, b, kb))) || splitBody(&s) != 0)
        return nullptr;
    return newConstraint(s.body.get(), s.rhs, op, s.reversed, false);
}

PyObject *generic_cmp(PyObject *a, PyObject *b, int op) {
    if (nvr_py_env.constraint_operators_enabled) return make_constraint(a, b, op);
    if (op == Py_EQ || op == Py_NE) {
        NVR_TRY {
            return PyBool_FromLong(nvy_is_equal(a, b) != (op == Py_NE));
        }
        NVR_CATCH(nullptr)
    }
    static const char *const kOperators[] = {"<", "<=", "==", "!=", ">", ">="};
    PyErr_Format(
        PyExc_TypeError, "TypeError: '%s' not supported between instances of '%s' and '%s'",
        op >= 0 && op <= Py_GE ? kOperators[op] : "?", Py_TYPE(a)->tp_name, Py_TYPE(b)->tp_name);
    return nullptr;
}
