// nonlinear/nlextract.cpp: extractLinear() and extractQuadratic() of nonlinear trees: the
// linear and quadratic parts that the tree holds outside its nonlinear functions, collected
// into one expression and listed in canonical order.
#include "model/expression.h"
#include "model/extract.h"
#include "model/operand.h"
#include "runtime/ref.h"
#include "nonlinear.h"

namespace {

constexpr int kExtractDepth = 64;

// Adds scale times the linear and quadratic entries of a variable, term or expression to acc.
// 0 or -1.
int addPolynomial(PyObject *o, int kind, double scale, PyObject *acc) {
    Poly p;
    if (poly_of(o, kind, &p) != 0) return -1;
    if (!p.e) {
        if (p.v) return expression_addToQuadTerm(acc, p.u, p.v, scale * p.c);
        return p.u ? expression_addToLinTerm(acc, p.u, scale * p.c) : 0;
    }
    int rc = 0;
    expression_forEachLinear(p.e, [&](PyObject *x, double c) {
        if (rc == 0) rc = expression_addToLinTerm(acc, x, scale * c);
    });
    expression_forEachQuadratic(p.e, [&](PyObject *u, PyObject *v, double c) {
        if (rc == 0) rc = expression_addToQuadTerm(acc, u, v, scale * c);
    });
    return rc;
}

// The constant value of o, if it is one. 1, 0, or -1 on a conversion error.
int constant(PyObject *o, double *value) {
    return isObjectConst(o, nullptr, value);
}

int collect(PyObject *o, double scale, int depth, PyObject *acc);

// The contribution of a node: sums and differences by their signs, products with exactly one
// factor that is not constant, quotients by a nonzero constant, powers with exponent 1.
int collectNode(const nonlin_s *x, double scale, int depth, PyObject *acc) {
    PyObject *args = x->args;
    if (!args) return 0;
    const bool sequence = PyList_Check(args) || PyTuple_Check(args);
    const Py_ssize_t n = sequence ? PySequence_Fast_GET_SIZE(args) : 1;
    auto item = [&](Py_ssize_t i) { return sequence ? PySequence_Fast_GET_ITEM(args, i) : args; };
    switch (x->op) {
    case kOpPlus:
    case kOpSum:
        for (Py_ssize_t i = 0; i < n; ++i)
            if (collect(item(i), scale, depth, acc) != 0) return -1;
        return 0;
    case kOpMinus:
        if (n != 2) return 0;
        return collect(item(0), scale, depth, acc) != 0 ? -1 : collect(item(1), -scale, depth, acc);
    case kOpUnaryMinus:
        return sequence ? 0 : collect(args, -scale, depth, acc);
    case kOpTimes: {
        PyObject *factor = nullptr;
        double product = 1.0;
        for (Py_ssize_t i = 0; i < n; ++i) {
            double v;
            const int rc = constant(item(i), &v);
            if (rc < 0) return -1;
            if (rc == 1) {
                product *= v;
            } else if (factor) {
                return 0;
            } else {
                factor = item(i);
            }
        }
        return factor ? collect(factor, scale * product, depth, acc) : 0;
    }
    case kOpDivide: {
        double d;
        if (n != 2) return 0;
        const int rc = constant(item(1), &d);
        if (rc <= 0 || d == 0.0) return rc < 0 ? -1 : 0;
        return collect(item(0), scale / d, depth, acc);
    }
    case kOpPower: {
        double p;
        if (n != 2) return 0;
        const int rc = constant(item(1), &p);
        if (rc <= 0 || p != 1.0) return rc < 0 ? -1 : 0;
        return collect(item(0), scale, depth, acc);
    }
    default:
        return 0;
    }
}

// Adds scale times the linear and quadratic part of o to acc; levels below the depth limit are
// ignored. 0 or -1.
int collect(PyObject *o, double scale, int depth, PyObject *acc) {
    if (depth < 0) return 0;
    const int kind = exprKindOf(o);
    switch (kind) {
    case kVar:
    case kLinterm:
    case kQuadterm:
    case kExpression:
        return addPolynomial(o, kind, scale, acc);
    case kNonlinear:
        return collectNode(as_nonlin(o), scale, depth - 1, acc);
    default:
        return 0;
    }
}

// The linear and quadratic part of x as one expression. New reference or null.
PyObject *polynomialPart(PyObject *x) {
    Ref acc = Ref::steal(expression_base());
    if (!acc || collect(x, 1.0, kExtractDepth, acc.get()) != 0) return nullptr;
    return acc.release();
}

} // namespace

PyObject *nonlin_extractLinear(PyObject *x, PyObject *) {
    Ref part = Ref::steal(polynomialPart(x));
    return part ? nvr_extractLinear(part.get(), nullptr) : nullptr;
}

PyObject *nonlin_extractQuadratic(PyObject *x, PyObject *) {
    Ref part = Ref::steal(polynomialPart(x));
    return part ? nvr_extractQuadratic(part.get(), nullptr) : nullptr;
}
