// model/equality.cpp: structural equality of model objects and the module function is_equal.
#include "equality.h"

#include <nanobind/nanobind.h>

#include "expression.h"
#include "runtime/env.h"
#include "nonlinear/nonlinear.h"
#include "operand.h"

namespace {

[[noreturn]] void throwPythonError() {
    throw nanobind::python_error();
}

// Leaves the interpreter's recursion count balanced on every exit.
class RecursionGuard {
  public:
    RecursionGuard() {
        if (Py_EnterRecursiveCall(" while comparing Nivra objects")) throwPythonError();
    }
    ~RecursionGuard() { Py_LeaveRecursiveCall(); }
    RecursionGuard(const RecursionGuard &) = delete;
    RecursionGuard &operator=(const RecursionGuard &) = delete;
};

// The view of a number, variable, term or expression as an expression; false for any other
// object. Ints convert through Python's integer conversion.
bool polyView(PyObject *o, Poly *p) {
    const int kind = exprKindOf(o);
    if (kind < 0 || kind == kNonlinear) return false;
    if (kind == kConst) {
        *p = Poly{};
        p->constant = PyLong_Check(o) ? PyLong_AsDouble(o) : PyFloat_AsDouble(o);
        if (p->constant == -1.0 && PyErr_Occurred()) throwPythonError();
        return true;
    }
    if (poly_of(o, kind, p) != 0) throwPythonError();
    return true;
}

// The linear coefficient of x in p (0 when absent).
double linearCoef(const Poly &p, PyObject *x) {
    double c = 0.0;
    if (p.e) {
        if (p.e->linear) linmap_get(p.e->linear, x, &c);
        return c;
    }
    return p.u == x && !p.v ? p.c : 0.0;
}

// The coefficient of the product u·v (u the factor with the smaller identifier) in p.
double quadraticCoef(const Poly &p, PyObject *u, PyObject *v) {
    double c = 0.0;
    if (p.e) {
        linmap *row;
        if (p.e->quadratic && quadmap_get(p.e->quadratic, u, &row) == 0) linmap_get(row, v, &c);
        return c;
    }
    return p.v && p.u == u && p.v == v ? p.c : 0.0;
}

// Calls f(x, c) for each nonzero linear entry; stops at the first false.
template <class F> bool allLinear(const Poly &p, F f) {
    if (p.e)
        return !p.e->linear ||
               !linmap_forEachUntil(p.e->linear, [&](PyObject *x, double c) { return !f(x, c); });
    return !p.u || p.v || p.c == 0.0 || f(p.u, p.c);
}

template <class F> bool allQuadratic(const Poly &p, F f) {
    if (p.e)
        return !p.e->quadratic ||
               !quadmap_forEachUntil(
                   p.e->quadratic, [&](PyObject *u, PyObject *v, double c) { return !f(u, v, c); });
    return !p.v || p.c == 0.0 || f(p.u, p.v, p.c);
}

// Every entry of a has the same coefficient in b.
bool entriesIn(const Poly &a, const Poly &b) {
    return allLinear(a, [&](PyObject *x, double c) { return linearCoef(b, x) == c; }) &&
           allQuadratic(
               a, [&](PyObject *u, PyObject *v, double c) { return quadraticCoef(b, u, v) == c; });
}

bool samePolynomial(const Poly &a, const Poly &b) {
    return a.constant == b.constant && entriesIn(a, b) && entriesIn(b, a);
}

bool isSequence(PyObject *args) {
    return args && (PyList_Check(args) || PyTuple_Check(args));
}

} // namespace

bool nvy_is_equal(PyObject *a, PyObject *b) {
    RecursionGuard guard;
    while (nonlinear_Check(a)) {
        if (!nonlinear_Check(b) || as_nonlin(a)->op != as_nonlin(b)->op) return false;
        PyObject *x = as_nonlin(a)->args, *y = as_nonlin(b)->args;
        if (isSequence(x)) {
            if (!isSequence(y) || PySequence_Fast_GET_SIZE(x) != PySequence_Fast_GET_SIZE(y))
                return false;
            for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(x); ++i) {
                if (i >= PySequence_Fast_GET_SIZE(y)) return false;
                // The items are held across the comparison, which may run Python code.
                nanobind::object u = nanobind::borrow(PySequence_Fast_GET_ITEM(x, i));
                nanobind::object v = nanobind::borrow(PySequence_Fast_GET_ITEM(y, i));
                if (!nvy_is_equal(u.ptr(), v.ptr())) return false;
            }
            return true;
        }
        if (isSequence(y) || !x != !y) return false;
        if (!x) return true;
        a = x;
        b = y;
    }
    if (nonlinear_Check(b)) return false;
    Poly pa, pb;
    const bool va = polyView(a, &pa), vb = polyView(b, &pb);
    if (!va || !vb) return !va && !vb && a == b; // a callable, for example, equals itself only
    return samePolynomial(pa, pb);
}

ConstraintOperatorsSwitch::ConstraintOperatorsSwitch(bool enabled)
    : saved_(nvr_py_env.constraint_operators_enabled) {
    nvr_py_env.constraint_operators_enabled = enabled;
}

ConstraintOperatorsSwitch::~ConstraintOperatorsSwitch() {
    nvr_py_env.constraint_operators_enabled = saved_;
}

PyObject *nivramod_is_equal(PyObject *, PyObject *args) {
    if (PyTuple_GET_SIZE(args) != 2) {
        PyErr_SetString(nvy_interf_exc, "nivra.is_equal requires two arguments");
        return nullptr;
    }
    ConstraintOperatorsSwitch off(false);
    return PyObject_RichCompare(PyTuple_GET_ITEM(args, 0), PyTuple_GET_ITEM(args, 1), Py_EQ);
}
