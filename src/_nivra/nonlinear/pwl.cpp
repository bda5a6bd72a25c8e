// nonlinear/pwl.cpp: pwl(dict), a piecewise linear function of one variable given by the
// lines on its intervals, turned into the breakpoint list of a piecewise linear node.
#include "pwl.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "model/expression.h"
#include "model/linterm.h"
#include "model/operand.h"
#include "model/var.h"
#include "runtime/env.h"
#include "runtime/ref.h"
#include "nonlinear.h"

namespace {

constexpr double kInfinity = 1e20;
// An infinite end is replaced by a point this far inside the interval from the finite end.
constexpr double kInfiniteEndShift = 0.88;
// Neighbouring pieces closer than this in x and y continue each other.
constexpr double kContinuityTolerance = 1e-6;

constexpr const char *kNotLinear = "Expression %S not suitable for a piecewise linear function; "
                                   "it must be a constant or a linear function";

// The line y = s·x + t of a value, with its variable (null for a constant).
struct Line {
    double s = 0.0, t = 0.0;
    PyObject *var = nullptr;
};

// One interval: the key's ends (a0, b0) and the ends used for breakpoints with their values.
struct Piece {
    PyObject *key;
    double a0, b0;
    double a, b, ya, yb;
};

PyObject *modelError(const char *msg) {
    PyErr_SetString(nvy_model_exc, msg);
    return nullptr;
}

// The line of a value: a number, a variable, a linear term or a linear expression of at most
// one variable. 0 or -1.
int lineOf(PyObject *value, Line *l) {
    switch (exprKindOf(value)) {
    case kConst:
        return isConstOfKind(value, kConst, &l->t) < 0 ? -1 : 0;
    case kVar:
        l->s = 1.0;
        l->var = value;
        return 0;
    case kLinterm:
        l->s = as_linterm(value)->coef;
        l->var = as_linterm(value)->var;
        return 0;
    case kExpression: {
        const expression_s *e = as_expression(value);
        if (expression_has_quadratic(e)) break;
        if (e->linear && linmap_size(e->linear) > 1) {
            PyErr_Format(nvy_model_exc,
                         "Expression %S not suitable for a piecewise linear function; it must "
                         "contain one variable only",
                         value);
            return -1;
        }
        l->t = e->constant;
        expression_forEachLinear(e, [l](PyObject *x, double c) {
            l->var = x;
            l->s = c;
        });
        return 0;
    }
    default:
        break;
    }
    PyErr_Format(nvy_model_exc, kNotLinear, value);
    return -1;
}

// The interval of a key (a, b) with a < b. 0 or -1.
int intervalOf(PyObject *key, double *a, double *b) {
    if (!PyTuple_Check(key) || PyTuple_GET_SIZE(key) != 2) {
        PyErr_Format(nvy_model_exc,
                     "All keys in the dictionary argument of nivra.pwl must be two-tuples; <%S> "
                     "is not",
                     key);
        return -1;
    }
    PyObject *ka = PyTuple_GET_ITEM(key, 0), *kb = PyTuple_GET_ITEM(key, 1);
    if (exprKindOf(ka) == kConst && exprKindOf(kb) == kConst) {
        if (isConstOfKind(ka, kConst, a) < 0 || isConstOfKind(kb, kConst, b) < 0) return -1;
        if (*a < *b) return 0;
    }
    PyErr_Format(nvy_model_exc,
                 "All keys in the dictionary argument of nivra.pwl must be two-tuples with two "
                 "constant numbers: [a,b] such that a<b; <%S> is not",
                 key);
    return -1;
}

// The ends used for breakpoints: an infinite end (x or y at or beyond 1e20) moves inside the
// interval from the finite end; when both ends are infinite, the line is kept through two
// finite points.
void setEnds(Piece &p, const Line &l) {
    auto y = [&l](double x) { return std::fma(l.s, x, l.t); };
    p.a = p.a0;
    p.b = p.b0;
    const bool leftInfinite = p.a <= -kInfinity || std::fabs(y(p.a)) >= kInfinity;
    const bool rightInfinite = p.b >= kInfinity || std::fabs(y(p.b)) >= kInfinity;
    if (leftInfinite && !rightInfinite) {
        p.a = p.b - kInfiniteEndShift;
    } else if (rightInfinite && !leftInfinite) {
        p.b = p.a + kInfiniteEndShift;
    } else if (leftInfinite) {
        p.a = p.a > -kInfinity ? p.a : p.b < kInfinity ? p.b - kInfiniteEndShift : 0.0;
        p.b = p.a + kInfiniteEndShift;
    }
    p.ya = y(p.a);
    p.yb = y(p.b);
}

std::string number(double x) {
    char buf[32];
    snprintf(buf, sizeof buf, "%g", x);
    return buf;
}

// The variable of a value's line joins the function's variable. 0 or -1.
int joinVariable(PyObject **x, const Line &l, const Piece &p) {
    if (!l.var) return 0;
    if (!*x) {
        *x = l.var;
        return 0;
    }
    if (*x == l.var) return 0;
    PyErr_Format(nvy_model_exc,
                 "Expression in [%s,%s] interval contains variable %S while another variable has "
                 "been used in the same function",
                 number(p.a0).c_str(), number(p.b0).c_str(), l.var);
    return -1;
}

// Appends the float pair (x, y) to list. 0 or -1.
int appendPoint(PyObject *list, double x, double y) {
    Ref px = Ref::steal(PyFloat_FromDouble(x)), py = Ref::steal(PyFloat_FromDouble(y));
    if (!px || !py || PyList_Append(list, px.get()) != 0 || PyList_Append(list, py.get()) != 0)
        return -1;
    return 0;
}

// The breakpoint list [x, x0, y0, ...] of sorted, non-overlapping pieces: the left end of
// every piece, and its right end when it is the last or the next piece does not continue it.
PyObject *breakpoints(PyObject *x, const std::vector<Piece> &pieces) {
    Ref list = Ref::steal(PyList_New(0));
    if (!list || PyList_Append(list.get(), x) != 0) return nullptr;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const Piece &p = pieces[i];
        if (appendPoint(list.get(), p.a, p.ya) != 0) return nullptr;
        const bool continued = i + 1 < pieces.size() &&
                               pieces[i + 1].a <= p.b + kContinuityTolerance &&
                               std::fabs(pieces[i + 1].ya - p.yb) <= kContinuityTolerance;
        if (!continued && appendPoint(list.get(), p.b, p.yb) != 0) return nullptr;
    }
    return list.release();
}

// The variable given under the key None, or null; -1 when it is not a variable.
int noneKeyVariable(PyObject *dict, PyObject **x) {
    PyObject *v = PyDict_GetItemWithError(dict, Py_None);
    if (!v) return PyErr_Occurred() ? -1 : 0;
    if (!var_Check(v)) {
        PyErr_Format(nvy_model_exc,
                     "Tuple (None, Obj) must have an nivra.var() object as Obj, found <%S>", v);
        return -1;
    }
    *x = v;
    return 0;
}

PyObject *buildPwl(PyObject *dict) {
    PyObject *x = nullptr;
    if (noneKeyVariable(dict, &x) != 0) return nullptr;
    // A snapshot of the items holds them while values are examined.
    Ref items = Ref::steal(PyDict_Items(dict));
    if (!items) return nullptr;
    std::vector<Piece> pieces;
    pieces.reserve(static_cast<size_t>(PyList_GET_SIZE(items.get())));
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(items.get()); ++i) {
        PyObject *key = PyTuple_GET_ITEM(PyList_GET_ITEM(items.get(), i), 0);
        PyObject *value = PyTuple_GET_ITEM(PyList_GET_ITEM(items.get(), i), 1);
        if (key == Py_None) continue;
        Piece p{key, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
        Line l;
        if (intervalOf(key, &p.a0, &p.b0) != 0 || lineOf(value, &l) != 0 ||
            joinVariable(&x, l, p) != 0)
            return nullptr;
        setEnds(p, l);
        pieces.push_back(p);
    }
    if (!x)
        return PyErr_Format(nvy_model_exc,
                            "No variable specified for this piecewise linear function: %S; Are all "
                            "values constant? If so, add a key-value pair (None: x) to the "
                            "dictionary with the variable associated to the piecewise linear",
                            dict);
    if (pieces.empty()) return modelError("No interval given for this piecewise linear function");
    // Order and overlap are decided on the intervals as given, before infinite ends moved.
    std::sort(pieces.begin(), pieces.end(), [](const Piece &p, const Piece &q) {
        return p.a0 < q.a0 || (p.a0 == q.a0 && p.b0 < q.b0);
    });
    for (size_t i = 0; i + 1 < pieces.size(); ++i)
        if (pieces[i].b0 > pieces[i + 1].a0) {
            PyObject *k = pieces[i].key, *n = pieces[i + 1].key;
            return PyErr_Format(nvy_model_exc,
                                "Interval [%S,%S] overlaps with [%S,%S] in piecewise linear "
                                "function",
                                PyTuple_GET_ITEM(k, 0), PyTuple_GET_ITEM(k, 1),
                                PyTuple_GET_ITEM(n, 0), PyTuple_GET_ITEM(n, 1));
        }
    Ref list = Ref::steal(breakpoints(x, pieces));
    return list ? nonlin_instantiate_nary(kOpPwl, list.get()) : nullptr;
}

} // namespace

PyObject *nivramod_pwl(PyObject *, PyObject *arg) {
    if (!PyDict_Check(arg))
        return modelError("Function nivra.pwl only accepts a dictionary; a call must be for "
                          "example nivra.pwl({(1,4): 2*x+1, (4,6): 4*x+5, ...})");
    NVR_TRY {
        return buildPwl(arg);
    }
    NVR_CATCH(nullptr)
}
