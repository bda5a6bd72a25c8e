// problem/controls.cpp: problem methods getControl, setControl, getAttrib.
#include "controls/values.h"
#include "runtime/args.h"
#include "runtime/env.h"
#include "runtime/ref.h"
#include "problem/methods.h"
#include "problem/objective.h"
#include "problem/problem.h"
#include "problem/problib.h"

namespace {

// The keyword-only index argument (objidx or solveidx): *out is null when absent or None, else
// the int given. TypeError for any other value. 1 on success, 0 with an exception.
int parseIndex(PyObject *kwargs, const char *name, PyObject **out) {
    const char *const kw[] = {name, nullptr};
    *out = Py_None;
    if (!parseKeywordArgs(kwargs, "|$O", kw, out)) return 0;
    if (*out == Py_None) {
        *out = nullptr;
        return 1;
    }
    if (PyLong_Check(*out)) return 1;
    PyErr_Format(PyExc_TypeError, "%s must be an int, not %.200s", name, Py_TYPE(*out)->tp_name);
    return 0;
}

PyObject *problem_getControl(PyObject *self, PyObject *args, PyObject *kwargs) {
    PyObject *objidx;
    if (!parseIndex(kwargs, "objidx", &objidx)) return nullptr;
    if (checkProblemIsInitialized(as_problem(self)) != 0) return nullptr;
    if (objidx) return problem_getObjControls(as_problem(self), args, objidx);
    return problem_getInfo(as_problem(self), args, 1, -1);
}

PyObject *problem_getAttrib(PyObject *self, PyObject *args, PyObject *kwargs) {
    PyObject *solveidx;
    if (!parseIndex(kwargs, "solveidx", &solveidx)) return nullptr;
    int index = -1;
    if (solveidx) {
        const long i = PyLong_AsLong(solveidx);
        if (i == -1 && PyErr_Occurred()) return nullptr;
        if (i < 0 || i > INT32_MAX) {
            PyErr_SetString(nvy_interf_exc, "Invalid solve index");
            return nullptr;
        }
        index = static_cast<int>(i);
    }
    if (checkProblemIsInitialized(as_problem(self)) != 0) return nullptr;
    return problem_getInfo(as_problem(self), args, 0, index);
}

// setControl(dict): every pair in order, stopping at the first failure. 0 or -1.
int setFromDict(problem_s *p, PyObject *dict) {
    Ref items = Ref::steal(PyDict_Items(dict));
    if (!items) return -1;
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(items.get()); ++i) {
        PyObject *pair = PyList_GET_ITEM(items.get(), i);
        if (problem_setControl_byKey(p, PyTuple_GET_ITEM(pair, 0), PyTuple_GET_ITEM(pair, 1)) != 0)
            return -1;
    }
    return 0;
}

PyObject *problem_setControl(PyObject *self, PyObject *args, PyObject *kwargs) {
    PyObject *objidx;
    if (!parseIndex(kwargs, "objidx", &objidx)) return nullptr;
    problem_s *p = as_problem(self);
    if (checkProblemIsInitialized(p) != 0) return nullptr;
    if (objidx) return problem_setObjControls(p, args, objidx);
    int rc = 0;
    switch (PyTuple_GET_SIZE(args)) {
    case 0:
        PyErr_SetString(nvy_model_exc, "setControl requires at least one argument of type "
                                       "dictionary or two elements: parameter, value");
        return nullptr;
    case 1:
        if (!PyDict_Check(PyTuple_GET_ITEM(args, 0))) {
            PyErr_SetString(nvy_model_exc, "Single argument to setControl must be a dictionary");
            return nullptr;
        }
        rc = setFromDict(p, PyTuple_GET_ITEM(args, 0));
        break;
    case 2:
        rc = problem_setControl_byKey(p, PyTuple_GET_ITEM(args, 0), PyTuple_GET_ITEM(args, 1));
        break;
    default:
        PyErr_SetString(nvy_model_exc, "setControl: arguments mismatch");
        return nullptr;
    }
    if (rc != 0) return nullptr;
    Py_RETURN_NONE;
}

} // namespace

PyMethodDef problem_controls_methods[] = {
    {"getControl", nvr_method(problem_getControl), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("getControl(*keys, objidx=None) -> value or dict\n\n"
               "Controls of the problem by name (all lower or all upper case) or id. No key: a "
               "dict of every control; one name or id: its value; a list of keys, or several "
               "keys: a dict keyed by lower-case name or id. With objidx, the objective controls "
               "(priority, weight, abstol, reltol, rhs) of that objective.")},
    {"setControl", nvr_method(problem_setControl), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("setControl(name, value, objidx=None) or setControl({name: value, ...}, "
               "objidx=None)\n\nSets controls of the problem by name or id; a dict is applied in "
               "order and stops at the first failure. With objidx, objective controls.")},
    {"getAttrib", nvr_method(problem_getAttrib), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("getAttrib(*keys, solveidx=None) -> value or dict\n\n"
               "Attributes of the problem by name or id, as getControl; with solveidx, those of "
               "that solve of the last (multi-objective) optimisation.")},
    {nullptr, nullptr, 0, nullptr},
};
