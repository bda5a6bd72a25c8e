// model/evaluate.h: evaluation of model objects (and nested containers of them) at given
// variable values, and the walker that the module function evaluate and the problem's solution
// accessors use.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

struct problem_model_s;

// The source of variable values for one evaluation: by column from values (count entries,
// columns of problem), or from dict (variable objects to numbers).
struct var_map {
    problem_model_s *problem = nullptr;
    const double *values = nullptr;
    Py_ssize_t count = 0;
    PyObject *dict = nullptr;
    bool by_column = false;
};

// The value of a number, variable, term, expression or nonlinear tree. 0, or -1 with an
// exception (nothing stored).
int evaluate_value(PyObject *obj, const var_map &map, int depth, double *out);

// The walked value of obj: tuples, lists, dicts and other sequences give containers of the
// walked items, arrays of model objects float64 arrays, model objects and numbers floats. In
// index mode (for problem.getSolution), integers are column indices and strings column names,
// with map.count columns. New reference or null.
PyObject *evaluate_object(PyObject *obj, const var_map &map, bool index_mode, int depth);

// The walked values of a tuple of objects: the value of a single object, else a tuple of the
// values in order. New reference or null.
PyObject *scan_args_expressions(PyObject *objects, const var_map &map, bool index_mode);
