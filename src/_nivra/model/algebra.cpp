// model/algebra.cpp: the operator algebra. Each operator has a table indexed by the kinds of
// its two operands (number, variable, linear term, quadratic term, expression, nonlinear); the
// cell names the routine that computes the result. The number-protocol slots of the four
// modelling types and the general_* entry points only classify the operands, apply the
// array/sequence delegation and the in-place shortcuts, and look the routine up.
#include "runtime/npy.h"

#include "algebra.h"

#include <cmath>

#include "expression.h"
#include "linterm.h"
#include "runtime/env.h"
#include "runtime/ref.h"
#include "operand.h"
#include "quadterm.h"
#include "var.h"

// ---- hand-over to nonlinear objects -----------------------------------------------------------

PyObject *nvr_nonlinear_binary(operation_type op, PyObject *a, PyObject *b, bool inplace) {
    struct Entry {
        operation_type op;
        binaryfunc plain, inPlace;
    };
    static const Entry table[] = {
        {kOpPlus, nonlin_add, nonlin_iadd},  {kOpMinus, nonlin_sub, nonlin_isub},
        {kOpTimes, nonlin_mul, nonlin_imul}, {kOpDivide, nonlin_div, nonlin_idiv},
        {kOpAnd, nonlin_and, nonlin_iand},   {kOpOr, nonlin_or, nonlin_ior},
    };
    if (op == kOpPower) return (inplace ? nonlin_ipow : nonlin_pow)(a, b, Py_None);
    for (const Entry &e : table)
        if (e.op == op) return (inplace ? e.inPlace : e.plain)(a, b);
    PyErr_Format(nvy_interf_exc, "Unknown nonlinear operation %d", static_cast<int>(op));
    return nullptr;
}

namespace {

// The operands of one operation with their kinds. s is the sign of b in a sum (a + s·b);
// general is set for the general_* entry points, which never swap operands and apply the
// term rules to a variable divided by a term.
struct Operands {
    PyObject *a, *b;
    int ka, kb;
    double s;
    bool general;
};

using Routine = PyObject *(*)(const Operands &);

PyObject *modelError(const char *msg) {
    PyErr_SetString(nvy_model_exc, msg);
    return nullptr;
}

// Value of a number operand, or of an expression that holds only a constant. 1 when o is
// such a constant, 0 when not, -1 with an exception.
int numberOf(PyObject *o, int kind, double *value) {
    return isConstOfKind(o, kind, value);
}

// A single term (or number) as coefficient and factors: u null for a number, v null for a
// linear term.
struct Term {
    double c;
    PyObject *u, *v;
};

Term termOf(PyObject *o, int kind, double number) {
    switch (kind) {
    case kVar:
        return {1.0, o, nullptr};
    case kLinterm:
        return {as_linterm(o)->coef, as_linterm(o)->var, nullptr};
    case kQuadterm:
        return {as_quadterm(o)->coef, as_quadterm(o)->var1, as_quadterm(o)->var2};
    default:
        return {number, nullptr, nullptr};
    }
}

// The term c·u (·v) as an object: a linear term (or the float 0.0), or a quadratic term.
PyObject *termObject(const Term &t) {
    return t.v ? quadterm_fill(t.c, t.u, t.v) : linterm_fill(t.c, t.u);
}

Poly polyOfTerm(const Term &t) {
    Poly p;
    if (t.u) {
        p.c = t.c;
        p.u = t.u;
        p.v = t.v;
    } else {
        p.constant = t.c;
    }
    return p;
}

PyObject *swapped(const Operands &o) {
    return !o.general && o.ka == kVar ? o.b : o.a;
}
PyObject *other(const Operands &o) {
    return !o.general && o.ka == kVar ? o.a : o.b;
}

// ---- sums: a + s·b ------------------------------------------------------------------------------

PyObject *numSum(const Operands &o) {
    double x, y;
    if (numberOf(o.a, o.ka, &x) < 0 || numberOf(o.b, o.kb, &y) < 0) return nullptr;
    return PyFloat_FromDouble(x + o.s * y);
}

// Message for a failed allocation while two terms become an expression.
const char *termSumError(int ka, int kb) {
    if ((ka == kLinterm && kb == kVar) || (ka == kVar && kb == kLinterm))
        return "Error creating expression as sum of linear term and variable";
    if (ka == kLinterm && kb == kLinterm)
        return "Error creating expression as sum of two linear terms";
    return "Error creating expression";
}

// Numbers, variables, linear and quadratic terms. Terms of the same variable (or the same
// product) combine into one term; everything else becomes an expression.
PyObject *termSum(const Operands &o) {
    if (checkCompatibleKinds(o.a, o.ka, o.b, o.kb) != 0) return nullptr;
    double na = 0.0, nb = 0.0;
    if (numberOf(o.a, o.ka, &na) < 0 || numberOf(o.b, o.kb, &nb) < 0) return nullptr;
    const Term ta = termOf(o.a, o.ka, na), tb = termOf(o.b, o.kb, nb);
    const double s = o.s;
    if (o.ka == kConst) {
        if (na == 0.0 && o.kb != kVar) return termObject({s * tb.c, tb.u, tb.v});
    } else if (o.kb == kConst) {
        if (nb == 0.0) return o.ka == kVar ? Py_NewRef(o.a) : termObject(ta);
    } else if (ta.u == tb.u && ta.v == tb.v) {
        return termObject({ta.c + s * tb.c, ta.u, ta.v});
    }
    return poly_sum(polyOfTerm(ta), polyOfTerm(tb), s, termSumError(o.ka, o.kb));
}

PyObject *exprSum(const Operands &o) {
    if (o.s > 0 && swapped(o) != o.a) return expression_alg_sum(o.b, o.kb, o.a, o.ka, 1.0);
    return expression_alg_sum(o.a, o.ka, o.b, o.kb, o.s);
}

PyObject *nlSum(const Operands &o) {
    if (o.s > 0) return nvr_nonlinear_binary(kOpPlus, swapped(o), other(o), false);
    return nvr_nonlinear_binary(kOpMinus, o.a, o.b, false);
}

// a + s·b by the kinds of a (row) and b (column).
const Routine kSum[kNumKinds][kNumKinds] = {
    //  number   variable  linterm  quadterm  expression  nonlinear
    {numSum, termSum, termSum, termSum, exprSum, nlSum},  // number
    {termSum, termSum, termSum, termSum, exprSum, nlSum}, // variable
    {termSum, termSum, termSum, termSum, exprSum, nlSum}, // linterm
    {termSum, termSum, termSum, termSum, exprSum, nlSum}, // quadterm
    {exprSum, exprSum, exprSum, exprSum, exprSum, nlSum}, // expression
    {nlSum, nlSum, nlSum, nlSum, nlSum, nlSum},           // nonlinear
};

// ---- products -----------------------------------------------------------------------------------

PyObject *numMul(const Operands &o) {
    double x, y;
    if (numberOf(o.a, o.ka, &x) < 0 || numberOf(o.b, o.kb, &y) < 0) return nullptr;
    return PyFloat_FromDouble(x * y);
}

// A number times a variable or term: the scaled copy (n·x: 0.0, x itself, or a linear term).
PyObject *scaleMul(const Operands &o) {
    const bool numLeft = o.ka == kConst;
    PyObject *n = numLeft ? o.a : o.b, *t = numLeft ? o.b : o.a;
    const int kt = numLeft ? o.kb : o.ka;
    // A number holds no variable: the only check is that of t's own (not deleted).
    if (var_is_deleted(as_var(termOf(t, kt, 0.0).u)))
        return modelError("Deleted variable in expression");
    double c;
    if (numberOf(n, kConst, &c) < 0) return nullptr;
    switch (kt) {
    case kVar:
        return var_copy(t, c);
    case kLinterm:
        return linterm_copy(t, c);
    default:
        return quadterm_copy(t, c);
    }
}

// (c·x)·(d·y): the quadratic term (c·d)·x·y.
PyObject *termMul(const Operands &o) {
    const Term ta = termOf(o.a, o.ka, 0.0), tb = termOf(o.b, o.kb, 0.0);
    return quadterm_fill(ta.c * tb.c, ta.u, tb.u);
}

PyObject *exprMul(const Operands &o) {
    return expression_mul(swapped(o), other(o));
}

PyObject *nlMul(const Operands &o) {
    return nvr_nonlinear_binary(kOpTimes, swapped(o), other(o), false);
}

const Routine kProduct[kNumKinds][kNumKinds] = {
    //  number    variable  linterm   quadterm  expression nonlinear
    {numMul, scaleMul, scaleMul, scaleMul, exprMul, nlMul}, // number
    {scaleMul, termMul, termMul, nlMul, exprMul, nlMul},    // variable
    {scaleMul, termMul, termMul, nlMul, exprMul, nlMul},    // linterm
    {scaleMul, nlMul, nlMul, nlMul, exprMul, nlMul},        // quadterm
    {exprMul, exprMul, exprMul, exprMul, exprMul, nlMul},   // expression
    {nlMul, nlMul, nlMul, nlMul, nlMul, nlMul},             // nonlinear
};

// ---- quotients ----------------------------------------------------------------------------------

PyObject *nlDiv(const Operands &o) {
    return nvr_nonlinear_binary(kOpDivide, o.a, o.b, false);
}

// The divisor's value (a number or a constant expression); -1 on a conversion error.
int divisor(const Operands &o, double *d) {
    return numberOf(o.b, o.kb, d);
}

PyObject *numDiv(const Operands &o) {
    double x, y;
    if (numberOf(o.a, o.ka, &x) < 0 || divisor(o, &y) < 0) return nullptr;
    if (y == 0.0) return modelError("Division by zero");
    return PyFloat_FromDouble(x / y);
}

PyObject *varDivNumber(const Operands &o) {
    double d;
    if (checkCompatibleKinds(o.a, o.ka, o.b, o.kb) != 0 || divisor(o, &d) < 0) return nullptr;
    if (d == 0.0) return modelError("Division of variable by zero");
    return d == 1.0 ? Py_NewRef(o.a) : linterm_fill(1.0 / d, o.a);
}

PyObject *linDivNumber(const Operands &o) {
    double d;
    if (checkCompatibleKinds(o.a, o.ka, o.b, o.kb) != 0 || divisor(o, &d) < 0) return nullptr;
    if (d == 0.0) return modelError("Division by zero");
    return linterm_fill(as_linterm(o.a)->coef / d, as_linterm(o.a)->var);
}

PyObject *quadDivNumber(const Operands &o) {
    double d;
    if (checkCompatibleKinds(o.a, o.ka, o.b, o.kb) != 0 || divisor(o, &d) < 0) return nullptr;
    if (d == 0.0) return modelError("Division by zero of a bilinear term");
    const quadterm_s *q = as_quadterm(o.a);
    return quadterm_fill(q->coef / d, q->var1, q->var2);
}

// (c·x) / (d·y) for variables and linear terms: the float c/d for the same variable, else
// the nonlinear quotient.
PyObject *linDivLin(const Operands &o) {
    if (checkCompatibleKinds(o.a, o.ka, o.b, o.kb) != 0) return nullptr;
    const Term ta = termOf(o.a, o.ka, 0.0), tb = termOf(o.b, o.kb, 0.0);
    if (ta.u != tb.u) return nlDiv(o);
    if (tb.c == 0.0) return modelError("Division by zero");
    return PyFloat_FromDouble(ta.c / tb.c);
}

// (c·w) / (d·w·z): the nonlinear quotient of c/d by z; otherwise of the operands.
PyObject *linDivQuad(const Operands &o) {
    if (checkCompatibleKinds(o.a, o.ka, o.b, o.kb) != 0) return nullptr;
    const Term ta = termOf(o.a, o.ka, 0.0), tb = termOf(o.b, o.kb, 0.0);
    if (ta.u != tb.u && ta.u != tb.v) return nlDiv(o);
    if (tb.c == 0.0)
        return modelError(o.ka == kVar ? "Division by zero of a variable"
                                       : "Division by zero of a linear term");
    Ref q = Ref::steal(PyFloat_FromDouble(ta.c / tb.c));
    if (!q) return nullptr;
    return nvr_nonlinear_binary(kOpDivide, q.get(), ta.u == tb.u ? tb.v : tb.u, false);
}

// The variable's own division leaves x / (d·x) and x / (d·x·z) to the nonlinear quotient;
// the general entry point applies the term rules.
PyObject *varDivLin(const Operands &o) {
    return o.general ? linDivLin(o) : nlDiv(o);
}
PyObject *varDivQuad(const Operands &o) {
    return o.general ? linDivQuad(o) : nlDiv(o);
}

PyObject *varDivVar(const Operands &o) {
    if (o.a != o.b) return nlDiv(o);
    if (checkCompatibleKinds(o.a, o.ka, o.b, o.kb) != 0) return nullptr;
    return PyFloat_FromDouble(1.0);
}

// (c·u·v) / (d·u): the linear term (c/d)·v; likewise for the factor v.
PyObject *quadDivLin(const Operands &o) {
    if (checkCompatibleKinds(o.a, o.ka, o.b, o.kb) != 0) return nullptr;
    const quadterm_s *q = as_quadterm(o.a);
    const Term tb = termOf(o.b, o.kb, 0.0);
    if (tb.u != q->var1 && tb.u != q->var2) return nlDiv(o);
    if (tb.c == 0.0) return modelError("Division by zero of a bilinear term");
    return linterm_fill(q->coef / tb.c, tb.u == q->var1 ? q->var2 : q->var1);
}

// (c·u·v) / (d·u·v) is the float c/d; with one common factor, (c·u·v) / (d·u·w) is the
// nonlinear quotient of (c/d)·v by w.
PyObject *quadDivQuad(const Operands &o) {
    if (checkCompatibleKinds(o.a, o.ka, o.b, o.kb) != 0) return nullptr;
    const quadterm_s *p = as_quadterm(o.a), *q = as_quadterm(o.b);
    PyObject *const num[2] = {p->var1, p->var2}, *const den[2] = {q->var1, q->var2};
    const bool same = num[0] == den[0] && num[1] == den[1];
    int common = -1; // index pair (i, j) encoded as 2i + j
    for (int i = 0; i < 2 && common < 0; ++i)
        for (int j = 0; j < 2 && common < 0; ++j)
            if (num[i] == den[j]) common = 2 * i + j;
    if (!same && common < 0) return nlDiv(o);
    if (q->coef == 0.0) return modelError("Division by zero of a bilinear term");
    if (same) return PyFloat_FromDouble(p->coef / q->coef);
    Ref rest = Ref::steal(linterm_fill(p->coef / q->coef, num[1 - common / 2]));
    if (!rest) return nullptr;
    return nvr_nonlinear_binary(kOpDivide, rest.get(), den[1 - common % 2], false);
}

PyObject *exprDiv(const Operands &o) {
    return expression_div(o.a, o.b);
}

// A variable or term divided by an expression: by the number when the expression is only a
// constant, else the nonlinear quotient.
PyObject *divByExpression(const Operands &o);

const Routine kQuotient[kNumKinds][kNumKinds] = {
    //  number         variable    linterm     quadterm     expression       nonlinear
    {numDiv, nlDiv, nlDiv, nlDiv, nlDiv, nlDiv},                                  // number
    {varDivNumber, varDivVar, varDivLin, varDivQuad, divByExpression, nlDiv},     // variable
    {linDivNumber, linDivLin, linDivLin, linDivQuad, divByExpression, nlDiv},     // linterm
    {quadDivNumber, quadDivLin, quadDivLin, quadDivQuad, divByExpression, nlDiv}, // quadterm
    {exprDiv, exprDiv, exprDiv, exprDiv, exprDiv, nlDiv},                         // expression
    {nlDiv, nlDiv, nlDiv, nlDiv, nlDiv, nlDiv},                                   // nonlinear
};

PyObject *divByExpression(const Operands &o) {
    double d;
    const int rc = numberOf(o.b, o.kb, &d);
    if (rc < 0) return nullptr;
    return rc == 1 ? kQuotient[o.ka][kConst](o) : nlDiv(o);
}

// ---- powers -------------------------------------------------------------------------------------

PyObject *nlPow(const Operands &o) {
    return nvr_nonlinear_binary(kOpPower, o.a, o.b, false);
}

PyObject *numPow(const Operands &o) {
    return PyNumber_Power(o.a, o.b, Py_None);
}

// A number raised to a model object: 1 ** anything is 1.0, otherwise nonlinear.
PyObject *numberBasePow(const Operands &o) {
    double x;
    if (numberOf(o.a, o.ka, &x) < 0) return nullptr;
    return x == 1.0 ? PyFloat_FromDouble(1.0) : nlPow(o);
}

// A variable, linear or quadratic term raised to a number.
PyObject *termPow(const Operands &o) {
    double p;
    if (checkCompatibleKinds(o.a, o.ka, o.b, o.kb) != 0 || numberOf(o.b, o.kb, &p) < 0)
        return nullptr;
    if (p == 0.0) return PyFloat_FromDouble(1.0);
    if (p == 1.0) return o.ka == kQuadterm ? quadterm_copy(o.a, 1.0) : Py_NewRef(o.a);
    if (p == 2.0 && o.ka != kQuadterm) {
        const Term t = termOf(o.a, o.ka, 0.0);
        return quadterm_fill(t.c * t.c, t.u, t.u);
    }
    return nlPow(o);
}

PyObject *exprPow(const Operands &o) {
    return expression_pow(o.a, o.b);
}

const Routine kPower[kNumKinds][kNumKinds] = {
    //  number    variable  linterm  quadterm  expression  nonlinear
    {numPow, numberBasePow, numberBasePow, numberBasePow, numberBasePow, numberBasePow},
    {termPow, nlPow, nlPow, nlPow, nlPow, nlPow},           // variable
    {termPow, nlPow, nlPow, nlPow, nlPow, nlPow},           // linterm
    {termPow, nlPow, nlPow, nlPow, nlPow, nlPow},           // quadterm
    {exprPow, exprPow, exprPow, exprPow, exprPow, exprPow}, // expression
    {nlPow, nlPow, nlPow, nlPow, nlPow, nlPow},             // nonlinear
};

// ---- dispatch -----------------------------------------------------------------------------------

// The table of an arithmetic operator (the logical ones are all nonlinear).
const Routine (*tableOf(operation_type op))[kNumKinds] {
    switch (op) {
    case kOpPlus:
    case kOpMinus:
        return kSum;
    case kOpTimes:
        return kProduct;
    case kOpDivide:
        return kQuotient;
    default:
        return kPower;
    }
}

// The kinds of both operands; ModelError for an operand of no kind. 0 or -1.
int classify(Operands &o) {
    if (o.ka < 0) o.ka = getExprType(o.a);
    if (o.ka >= 0 && o.kb < 0) o.kb = getExprType(o.b);
    return o.ka < 0 || o.kb < 0 ? -1 : 0;
}

PyObject *binary(operation_type op, Operands o) {
    if (classify(o) != 0) return nullptr;
    if (op == kOpAnd || op == kOpOr) return nvr_nonlinear_binary(op, o.a, o.b, false);
    return tableOf(op)[o.ka][o.kb](o);
}

// The in-place forms. An expression on the left changes and is returned; variables and terms
// never change: a += 0, a -= 0, a *= 1, a /= 1 and a **= 1 return a, a **= 0 is 1.0, a /= 0
// fails, and everything else is the binary operation.
PyObject *inplace(operation_type op, Operands o) {
    if (classify(o) != 0) return nullptr;
    if (o.ka == kExpression) {
        switch (op) {
        case kOpPlus:
        case kOpMinus:
            return expression_incremental_alg_sum(o.a, o.ka, o.b, o.kb, o.s);
        case kOpTimes:
            return expression_imul(o.a, o.b);
        case kOpDivide:
            return expression_idiv(o.a, o.b);
        case kOpPower:
            return expression_ipow(o.a, o.b);
        default:
            return nvr_nonlinear_binary(op, o.a, o.b, true);
        }
    }
    if (o.ka == kNonlinear || o.kb == kNonlinear || op == kOpAnd || op == kOpOr)
        return nvr_nonlinear_binary(op, o.a, o.b, true);
    if (o.ka != kConst && o.kb == kConst) {
        double x;
        if (checkCompatibleKinds(o.a, o.ka, o.b, o.kb) != 0 || numberOf(o.b, o.kb, &x) < 0)
            return nullptr;
        const bool unchanged = ((op == kOpPlus || op == kOpMinus) && x == 0.0) ||
                               ((op == kOpTimes || op == kOpDivide || op == kOpPower) && x == 1.0);
        if (unchanged) return Py_NewRef(o.a);
        if (op == kOpPower && x == 0.0) return PyFloat_FromDouble(1.0);
        if (op == kOpDivide && x == 0.0) return modelError("Division by zero");
    }
    return binary(op, o);
}

double signOf(operation_type op) {
    return op == kOpMinus ? -1.0 : 1.0;
}

// Right operands that are arrays or sequences make the operation element-wise: the operator
// is applied with the operands swapped, so that the array drives it. Against a NumPy array the
// model operand goes as a 0-d array of the module's element type, so that the element loops
// apply and the result is an array of expressions also when b holds plain numbers.
PyObject *delegate(operation_type op, PyObject *a, PyObject *b) {
    Ref element;
    if (PyArray_Check(b)) {
        if (!(element = Ref::steal(nvr_zero_dim_element(a)))) return nullptr;
        a = element.get();
    }
    switch (op) {
    case kOpPlus:
        return PyNumber_Add(b, a);
    case kOpMinus: {
        Ref neg = Ref::steal(PyNumber_Negative(b));
        return neg ? PyNumber_Add(neg.get(), a) : nullptr;
    }
    case kOpTimes:
        return PyNumber_Multiply(b, a);
    case kOpDivide: {
        Ref one = Ref::steal(PyFloat_FromDouble(1.0));
        Ref inv = Ref::steal(one ? PyNumber_TrueDivide(one.get(), b) : nullptr);
        return inv ? PyNumber_Multiply(inv.get(), a) : nullptr;
    }
    case kOpAnd:
        return PyNumber_And(b, a);
    case kOpOr:
        return PyNumber_Or(b, a);
    default:
        return modelError("Cannot obtain a power with a vector as an exponent");
    }
}

// A NumPy array on the left of a model object: NumPy's operator defers to the model object's
// reflected operator (the model types set __array_ufunc__ to None); the operation is applied
// element-wise with the model operand as a 0-d array of the module's element type.
PyObject *arrayOnTheLeft(operation_type op, PyObject *a, PyObject *b) {
    Ref element = Ref::steal(nvr_zero_dim_element(b));
    if (!element) return nullptr;
    switch (op) {
    case kOpPlus:
        return PyNumber_Add(a, element.get());
    case kOpMinus:
        return PyNumber_Subtract(a, element.get());
    case kOpTimes:
        return PyNumber_Multiply(a, element.get());
    case kOpDivide:
        return PyNumber_TrueDivide(a, element.get());
    case kOpAnd:
        return PyNumber_And(a, element.get());
    case kOpOr:
        return PyNumber_Or(a, element.get());
    default:
        return PyNumber_Power(a, element.get(), Py_None);
    }
}

// A number-protocol slot: the operands as Python hands them over.
template <operation_type Op, bool InPlace> PyObject *slot(PyObject *a, PyObject *b) {
    Operands o{a, b, exprKindOf(a), exprKindOf(b), signOf(Op), false};
    if (o.kb < 0 && isArrayOrSequence(b)) return delegate(Op, a, b);
    if (o.ka < 0 && PyArray_Check(a)) return arrayOnTheLeft(Op, a, b);
    return InPlace ? inplace(Op, o) : binary(Op, o);
}

template <bool InPlace> PyObject *powerSlot(PyObject *a, PyObject *b, PyObject *mod) {
    if (mod != Py_None) Py_RETURN_NOTIMPLEMENTED;
    return slot<kOpPower, InPlace>(a, b);
}

// -x: a linear term for a variable, the scaled copy of a term or expression.
PyObject *negate(PyObject *a, int kind) {
    switch (kind) {
    case kVar:
        return var_copy(a, -1.0);
    case kLinterm:
        return linterm_copy(a, -1.0);
    case kQuadterm:
        return quadterm_copy(a, -1.0);
    case kExpression:
        return expression_copy(a, -1.0);
    case kNonlinear:
        return nonlin_neg(a);
    default:
        return PyNumber_Negative(a);
    }
}

PyObject *negativeSlot(PyObject *a) {
    return negate(a, exprKindOf(a));
}
PyObject *absoluteSlot(PyObject *a) {
    return nonlin_abs(a);
}

// ---- general entry points -------------------------------------------------------------------

struct PythonOps {
    binaryfunc plain, inPlace;
};

PythonOps pythonOps(operation_type op) {
    switch (op) {
    case kOpPlus:
        return {PyNumber_Add, PyNumber_InPlaceAdd};
    case kOpMinus:
        return {PyNumber_Subtract, PyNumber_InPlaceSubtract};
    case kOpTimes:
        return {PyNumber_Multiply, PyNumber_InPlaceMultiply};
    case kOpDivide:
        return {PyNumber_TrueDivide, PyNumber_InPlaceTrueDivide};
    case kOpAnd:
        return {PyNumber_And, PyNumber_InPlaceAnd};
    default:
        return {PyNumber_Or, PyNumber_InPlaceOr};
    }
}

PyObject *pythonOp(operation_type op, PyObject *a, PyObject *b, bool inPlace) {
    if (op == kOpPower) return (inPlace ? PyNumber_InPlacePower : PyNumber_Power)(a, b, Py_None);
    const PythonOps f = pythonOps(op);
    return (inPlace ? f.inPlace : f.plain)(a, b);
}

// The copy that stands for "None op b" with an empty accumulator: s·b as a new object that
// the caller may change in place (an expression for variables, terms and expressions).
PyObject *accumulatorCopy(PyObject *b, double s) {
    switch (exprKindOf(b)) {
    case kConst: {
        double x;
        if (numberOf(b, kConst, &x) < 0) return nullptr;
        return PyFloat_FromDouble(s * x);
    }
    case kVar:
    case kLinterm:
    case kQuadterm:
    case kExpression:
        return expression_copy(b, s);
    case kNonlinear:
        return nonlin_copy(b, s);
    default:
        if (s < 0) return PyNumber_Negative(b);
        if (PyArray_Check(b))
            return PyArray_NewCopy(reinterpret_cast<PyArrayObject *>(b), NPY_KEEPORDER);
        if (PyList_Check(b)) return PyList_GetSlice(b, 0, PyList_GET_SIZE(b));
        return Py_NewRef(b);
    }
}

// The element operations that dominate array arithmetic, decided without the tables: sums of
// linear operands (see expression_linear_sum) and a number times an expression, which is the
// expression scaled (as the product table's routine computes it). Py_NotImplemented (new
// reference) for the other operands.
PyObject *quickBinary(operation_type op, PyObject *a, int ka, PyObject *b, int kb) {
    if ((op == kOpPlus || op == kOpMinus) && ka >= kVar && ka <= kExpression && kb >= kVar &&
        kb <= kExpression && ka != kQuadterm && kb != kQuadterm)
        return expression_linear_sum(a, ka, b, kb, signOf(op));
    if (op == kOpTimes &&
        ((ka == kConst && kb == kExpression) || (ka == kExpression && kb == kConst))) {
        const bool numLeft = ka == kConst;
        double c;
        if (numberOf(numLeft ? a : b, kConst, &c) == 1) return expression_copy(numLeft ? b : a, c);
        PyErr_Clear(); // the product routine raises it in its own order of checks
    }
    Py_RETURN_NOTIMPLEMENTED;
}

PyObject *general(operation_type op, PyObject *a, PyObject *b, bool inPlace) {
    // Numbers and model objects are never arrays or sequences, so the common case of two of
    // them is decided by their kinds alone.
    const int ka = exprKindOf(a), kb = exprKindOf(b);
    if ((ka < 0 && isArrayOrSequence(a)) || (kb < 0 && isArrayOrSequence(b)))
        return pythonOp(op, a, b, inPlace);
    if (ka == kNonlinear || kb == kNonlinear) return nvr_nonlinear_binary(op, a, b, inPlace);
    if (ka <= kConst && kb <= kConst) return pythonOp(op, a, b, inPlace);
    if ((op == kOpAnd || op == kOpOr) && ka >= 0 && kb >= 0)
        return nvr_nonlinear_binary(op, a, b, inPlace);
    if (!inPlace) {
        PyObject *r = quickBinary(op, a, ka, b, kb);
        if (r != Py_NotImplemented) return r;
        Py_DECREF(r);
    }
    Operands o{a, b, ka, kb, signOf(op), true};
    return inPlace ? inplace(op, o) : binary(op, o);
}

} // namespace

PyObject *nvr_sum(PyObject *a, PyObject *b, double s) {
    Operands o{a, b, -1, -1, s, false};
    if (classify(o) != 0) return nullptr;
    return kSum[o.ka][o.kb](o);
}

// ---- general_*
// ------------------------------------------------------------------------------------

PyObject *general_add(PyObject *a, PyObject *b) {
    if (a == Py_None) return accumulatorCopy(b, 1.0);
    if (b == Py_None) return Py_NewRef(a);
    return general(kOpPlus, a, b, false);
}

PyObject *general_iadd(PyObject *a, PyObject *b) {
    if (a == Py_None) return accumulatorCopy(b, 1.0);
    if (b == Py_None) return Py_NewRef(a);
    return general(kOpPlus, a, b, true);
}

PyObject *general_sub(PyObject *a, PyObject *b) {
    if (a == Py_None) return accumulatorCopy(b, -1.0);
    if (b == Py_None) return Py_NewRef(a);
    return general(kOpMinus, a, b, false);
}

PyObject *general_mul(PyObject *a, PyObject *b) {
    if (a == Py_None) return accumulatorCopy(b, 1.0);
    if (b == Py_None) return Py_NewRef(a);
    return general(kOpTimes, a, b, false);
}

PyObject *general_imul(PyObject *a, PyObject *b) {
    if (a == Py_None) return accumulatorCopy(b, 1.0);
    if (b == Py_None) return Py_NewRef(a);
    return general(kOpTimes, a, b, true);
}

PyObject *general_div(PyObject *a, PyObject *b) {
    if (b == Py_None) return Py_NewRef(a);
    return general(kOpDivide, a, b, false);
}

PyObject *general_pow(PyObject *a, PyObject *b) {
    if (a == Py_None) return accumulatorCopy(b, 1.0);
    if (b == Py_None) return Py_NewRef(a);
    return general(kOpPower, a, b, false);
}

PyObject *general_sqr(PyObject *a) {
    Ref two = Ref::steal(PyLong_FromLong(2));
    return two ? general(kOpPower, a, two.get(), false) : nullptr;
}

PyObject *general_neg(PyObject *a) {
    return negate(a, exprKindOf(a));
}

PyObject *general_and(PyObject *a, PyObject *b) {
    if (a == Py_None) return accumulatorCopy(b, 1.0);
    return general(kOpAnd, a, b, false);
}

PyObject *general_iand(PyObject *a, PyObject *b) {
    if (a == Py_None) return accumulatorCopy(b, 1.0);
    return general(kOpAnd, a, b, true);
}

PyObject *general_or(PyObject *a, PyObject *b) {
    if (a == Py_None) return accumulatorCopy(b, 1.0);
    return general(kOpOr, a, b, false);
}

PyObject *general_ior(PyObject *a, PyObject *b) {
    if (a == Py_None) return accumulatorCopy(b, 1.0);
    return general(kOpOr, a, b, true);
}

PyObject *general_copy(PyObject *a, double c) {
    switch (getExprType(a)) {
    case kConst: {
        double x;
        if (numberOf(a, kConst, &x) < 0) return nullptr;
        return PyFloat_FromDouble(c * x);
    }
    case kVar:
        return var_copy(a, c);
    case kLinterm:
        return linterm_copy(a, c);
    case kQuadterm:
        return quadterm_copy(a, c);
    case kExpression:
        return expression_copy(a, c);
    case kNonlinear:
        return nonlin_copy(a, c);
    default:
        return nullptr;
    }
}

PyNumberMethods nvr_model_number_methods = {
    .nb_add = slot<kOpPlus, false>,
    .nb_subtract = slot<kOpMinus, false>,
    .nb_multiply = slot<kOpTimes, false>,
    .nb_power = powerSlot<false>,
    .nb_negative = negativeSlot,
    .nb_absolute = absoluteSlot,
    .nb_and = slot<kOpAnd, false>,
    .nb_or = slot<kOpOr, false>,
    .nb_inplace_add = slot<kOpPlus, true>,
    .nb_inplace_subtract = slot<kOpMinus, true>,
    .nb_inplace_multiply = slot<kOpTimes, true>,
    .nb_inplace_power = powerSlot<true>,
    .nb_inplace_and = slot<kOpAnd, true>,
    .nb_inplace_or = slot<kOpOr, true>,
    .nb_true_divide = slot<kOpDivide, false>,
    .nb_inplace_true_divide = slot<kOpDivide, true>,
};
