// model/printing.h: the printed forms of terms and expressions.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

// str() of a linear term, quadratic term or expression (their tp_str and tp_repr): the
// constant (when not 0, or when there are no terms), then the linear terms by variable, then
// the quadratic terms by pair of variables. New reference or null.
PyObject *nvr_model_str(PyObject *self);

// _repr_latex_ of variables, terms, expressions, nonlinear expressions and constraints: the
// package's LaTeX form (nivra._notebook), for notebooks. New reference or null.
PyObject *nvr_model_repr_latex(PyObject *self, PyObject *);
#define NVR_REPR_LATEX_METHOD                                                                      \
    {                                                                                              \
        "_repr_latex_", nvr_model_repr_latex, METH_NOARGS,                                         \
            PyDoc_STR("_repr_latex_() -> str: the object in LaTeX math, for notebooks")            \
    }
