// model/hooks.cpp: internal routines of constraints, SOS, evaluation and nonlinear nodes,
// reached by the tests through _algebra.
#include "hooks.h"

#include <cstring>
#include <vector>

#include "constraint.h"
#include "evaluate.h"
#include "runtime/ref.h"
#include "nonlinear/nonlinear.h"
#include "problem/problem.h"
#include "sos.h"

namespace {

// make_constraint(a, b, op)
PyObject *makeConstraint(PyObject *args) {
    PyObject *a, *b;
    int op;
    return PyArg_ParseTuple(args, "OOi", &a, &b, &op) ? make_constraint(a, b, op) : nullptr;
}

// get_con_row(problem, constraint) -> row
PyObject *constraintRow(PyObject *args) {
    PyObject *p, *c;
    int row;
    if (!PyArg_ParseTuple(args, "O!O!", &problem_type, &p, &constraint_type, &c) ||
        get_con_row(reinterpret_cast<problem_s *>(p), as_constraint(c), &row) != 0)
        return nullptr;
    return PyLong_FromLong(row);
}

// get_sos_index(problem, sos) -> index
PyObject *sosIndex(PyObject *args) {
    PyObject *p, *s;
    int64_t index;
    if (!PyArg_ParseTuple(args, "O!O!", &problem_type, &p, &sos_type, &s) ||
        get_sos_index(reinterpret_cast<problem_s *>(p), as_sos(s), &index) != 0)
        return nullptr;
    return PyLong_FromLongLong(index);
}

// evaluate_indexed(problem, [column values], (objects...)): the index mode of the walker.
PyObject *evaluateIndexed(PyObject *args) {
    PyObject *p, *list, *objects;
    if (!PyArg_ParseTuple(args, "O!O!O!", &problem_type, &p, &PyList_Type, &list, &PyTuple_Type,
                          &objects))
        return nullptr;
    std::vector<double> values(static_cast<size_t>(PyList_GET_SIZE(list)));
    for (size_t i = 0; i < values.size(); ++i)
        if ((values[i] = PyFloat_AsDouble(PyList_GET_ITEM(list, i))) == -1.0 && PyErr_Occurred())
            return nullptr;
    var_map map;
    map.problem = reinterpret_cast<problem_s *>(p);
    map.values = values.data();
    map.count = static_cast<Py_ssize_t>(values.size());
    map.by_column = true;
    return scan_args_expressions(objects, map, true);
}

// nonlin_args(x) -> (size, [arguments]) through the argument accessors.
PyObject *nonlinearArguments(PyObject *args) {
    PyObject *x;
    if (!PyArg_ParseTuple(args, "O", &x)) return nullptr;
    Ref list = Ref::steal(PyList_New(0));
    if (!list) return nullptr;
    Py_ssize_t index = 0;
    for (PyObject *arg = nonlin_arg_first(x, &index); arg; arg = nonlin_arg_next(x, &index))
        if (PyList_Append(list.get(), arg) != 0) return nullptr;
    if (PyErr_Occurred()) return nullptr;
    return Py_BuildValue("(nO)", nonlin_arg_size(x), list.get());
}

const struct {
    const char *name;
    PyObject *(*f)(PyObject *);
} kHooks[] = {
    {"make_constraint", makeConstraint}, {"get_con_row", constraintRow},
    {"get_sos_index", sosIndex},         {"evaluate_indexed", evaluateIndexed},
    {"nonlin_args", nonlinearArguments},
};

} // namespace

PyObject *nvr_model_hook(const char *name, PyObject *args) {
    for (const auto &h : kHooks)
        if (!strcmp(name, h.name)) {
            try {
                return h.f(args);
            } catch (...) {
                nvr_translate_exception();
                return nullptr;
            }
        }
    return PyErr_Format(PyExc_ValueError, "unknown routine %s", name);
}
