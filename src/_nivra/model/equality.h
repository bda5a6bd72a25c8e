// model/equality.h: structural equality of model objects (nivra.is_equal, and == and != while
// the constraint operators are switched off), and the switch itself as a scope guard.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>

// True when a and b have the same algebraic form: nonlinear nodes with the same operation and
// equal arguments; otherwise the same constant and the same variable objects with exactly equal
// linear and quadratic coefficients. Objects that are no model objects or numbers are equal
// only to themselves. A Python error raised on the way is thrown as nanobind::python_error.
bool nvy_is_equal(PyObject *a, PyObject *b);

// Sets the constraint-operators switch for the lifetime of the guard.
class ConstraintOperatorsSwitch {
    uint8_t saved_;

  public:
    explicit ConstraintOperatorsSwitch(bool enabled);
    ~ConstraintOperatorsSwitch();
    ConstraintOperatorsSwitch(const ConstraintOperatorsSwitch &) = delete;
    ConstraintOperatorsSwitch &operator=(const ConstraintOperatorsSwitch &) = delete;
};

// is_equal(a, b): Python's a == b evaluated with the constraint operators switched off.
// New reference or null.
PyObject *nivramod_is_equal(PyObject *self, PyObject *args);
