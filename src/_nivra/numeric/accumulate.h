// numeric/accumulate.h: one result of Sum or one element of a tensor product, built operand by
// operand (or product by product) in one expression.
//
// The result starts empty and becomes an expression that operands are added into in place: a
// number, variable, linear or quadratic term is one coefficient-map update (the variable's
// problem is checked against the one the expression already holds, without a map lookup); an
// expression is merged; a product of two variables or linear terms, or of one with a linear
// expression, goes straight into the quadratic map. Anything else (nonlinear objects, arrays,
// products that are no longer quadratic, objects of no model kind) is combined with the
// general operations of the algebra, after which the result may be of any kind.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "model/operand.h"
#include "model/var.h"

struct problem_model_s;
struct expression_s;

class ExpressionAccumulator {
  public:
    ExpressionAccumulator() = default;
    ExpressionAccumulator(const ExpressionAccumulator &) = delete;
    ExpressionAccumulator &operator=(const ExpressionAccumulator &) = delete;
    ~ExpressionAccumulator() { Py_XDECREF(obj_); }

    // Starts a new result; terms is the expected number of linear terms (a size hint for the
    // coefficient map, which otherwise grows as usual).
    void begin(Py_ssize_t terms) { terms_ = terms; }

    // result += o, for an operand of the given kind (the kinds of model/operand.h, -1 for
    // other objects). An empty result takes a copy of o. 0 or -1.
    int add(PyObject *o, int kind);

    // result += a·b, operands in this order. Factors given as double are numbers of numeric
    // arrays; object factors are borrowed (None stands for an empty array slot). 0 or -1.
    int addProduct(double a, PyObject *b) { return scaled(a, b, kindOf(b), true); }
    int addProduct(PyObject *a, double b) { return scaled(b, a, kindOf(a), false); }
    int addProduct(PyObject *a, PyObject *b);

    // The result (an empty expression when nothing was added), new reference or null; the
    // accumulator is empty again afterwards.
    PyObject *take();

  private:
    // Whose variables the result holds: none yet, some problem (or unlinked), or not known
    // after a general operation (then read from the result when needed).
    enum class Owner { kNone, kKnown, kUnknown };

    PyObject *obj_ = nullptr;
    Owner ownerState_ = Owner::kNone;
    problem_model_s *owner_ = nullptr;
    Py_ssize_t terms_ = 0;

    bool isExpressionOrEmpty() const;
    // Variables first: they are what numeric arrays are mostly multiplied with.
    static int kindOf(PyObject *o) { return var_Check(o) ? kVar : exprKindOf(o); }
    int scaled(double c, PyObject *o, int kind, bool numberFirst);
    int general(PyObject *a, PyObject *b);
    int generalSum(PyObject *o);
    expression_s *target();
    int admit(PyObject *var);
    int addConstant(double c);
    int addLinear(PyObject *x, double c);
    int addQuadratic(PyObject *u, PyObject *v, double c);
    int addExpression(PyObject *e, double c);
    int addTermTimesLinear(PyObject *x, double c, PyObject *e);
};
