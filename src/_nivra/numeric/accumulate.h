// numeric/accumulate.h: one element of a tensor product, built product by product.
//
// The element starts empty and becomes an expression that the products are added into in
// place: a number times a variable or linear term is one coefficient-map update; a product of
// two variables or linear terms, or of one with a linear expression, goes straight into the
// quadratic map. Any other product (nonlinear factors, quadratic terms times non-constants,
// objects of no model kind) is formed with the general multiplication and added with the
// general in-place addition, after which the element may be of any kind.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

struct problem_s;
struct expression_s;

class ProductSum {
public:
    ProductSum() = default;
    ProductSum(const ProductSum &) = delete;
    ProductSum &operator=(const ProductSum &) = delete;
    ~ProductSum() { Py_XDECREF(obj_); }

    // Starts a new element; terms is the expected number of linear terms (a size hint).
    void begin(Py_ssize_t terms) { terms_ = terms; }

    // element += a·b, operands in this order. Factors given as double are numbers of numeric
    // arrays; object factors are borrowed (None stands for an empty array slot). 0 or -1.
    int add(double a, PyObject *b) { return scaled(a, b, true); }
    int add(PyObject *a, double b) { return scaled(b, a, false); }
    int add(PyObject *a, PyObject *b);

    // The finished element (an empty expression when nothing was added), new reference or
    // null; the accumulator is empty again afterwards.
    PyObject *take();

private:
    // Whose variables the element holds: none yet, some problem (or unlinked), or not known
    // after a general operation (then read from the element when needed).
    enum class Owner { kNone, kKnown, kUnknown };

    PyObject *obj_ = nullptr;
    Owner ownerState_ = Owner::kNone;
    problem_s *owner_ = nullptr;
    Py_ssize_t terms_ = 0;

    int scaled(double c, PyObject *o, bool numberFirst);
    int general(PyObject *a, PyObject *b);
    expression_s *target();
    int admit(PyObject *var);
    int addConstant(double c);
    int addLinear(PyObject *x, double c);
    int addQuadratic(PyObject *u, PyObject *v, double c);
    int addExpression(PyObject *e, double c);
    int addTermTimesLinear(PyObject *x, double c, PyObject *e);
};
