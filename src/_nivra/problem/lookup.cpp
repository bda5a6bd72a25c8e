// problem/lookup.cpp: problem methods getVariable, getConstraint, getSOS and getIndex: from
// positions to the problem's model objects and back.
#include "problem/problib.h"

#include "model/constraint.h"
#include "model/sos.h"
#include "model/var.h"
#include "runtime/args.h"
#include "runtime/ref.h"
#include "runtime/npy.h"
#include "numeric/walker.h"
#include "problem/methods.h"

namespace {

// The position a leaf of an index argument names: a Python int or NumPy integer scalar, or the
// float the walker reads from an integer NumPy array. 0, or -1 with TypeError.
int leafPosition(PyObject *leaf, Py_ssize_t *pos) {
    if (nvo_isIntegerArg(leaf) || PyArray_IsScalar(leaf, Integer)) {
        *pos = PyNumber_AsSsize_t(leaf, PyExc_IndexError);
        return *pos == -1 && PyErr_Occurred() ? -1 : 0;
    }
    if (PyFloat_Check(leaf)) {
        const double v = PyFloat_AS_DOUBLE(leaf);
        if (v == static_cast<double>(static_cast<Py_ssize_t>(v))) {
            *pos = static_cast<Py_ssize_t>(v);
            return 0;
        }
    }
    PyErr_Format(PyExc_TypeError, "Indices must be integers, not %.200s", Py_TYPE(leaf)->tp_name);
    return -1;
}

// A new reference to list[pos], or null with IndexError; negative positions are out of range.
PyObject *objectAt(PyObject *list, Py_ssize_t pos) {
    if (pos < 0 || pos >= PyList_GET_SIZE(list)) {
        PyErr_Format(PyExc_IndexError, "Index %zd out of range (the problem has %zd)", pos,
                     PyList_GET_SIZE(list));
        return nullptr;
    }
    return Py_NewRef(PyList_GET_ITEM(list, pos));
}

struct Collect {
    PyObject *from; // the problem's list of the kind
    PyObject *into; // the result
};

int collectLeaf(PyObject *leaf, void *ctx) {
    auto *c = static_cast<Collect *>(ctx);
    Py_ssize_t pos = 0;
    if (leafPosition(leaf, &pos) != 0) return -1;
    Ref obj = Ref::steal(objectAt(c->from, pos));
    return obj ? PyList_Append(c->into, obj.get()) : -1;
}

// The objects at the positions of a NumPy integer array of any shape, in memory order (the
// nested walker reads only the array types of the aggregates, which leave out int64).
PyObject *objectsAtArray(PyObject *list, PyObject *arr) {
    Ref positions = Ref::steal(PyArray_FROMANY(arr, NPY_INTP, 0, 0, NPY_ARRAY_CARRAY_RO));
    if (!positions) return nullptr;
    auto *a = reinterpret_cast<PyArrayObject *>(positions.get());
    const npy_intp n = PyArray_SIZE(a);
    const auto *pos = static_cast<const npy_intp *>(PyArray_DATA(a));
    Ref found = Ref::steal(PyList_New(n));
    if (!found) return nullptr;
    for (npy_intp k = 0; k < n; ++k) {
        PyObject *obj = objectAt(list, pos[k]);
        if (!obj) return nullptr;
        PyList_SET_ITEM(found.get(), k, obj);
    }
    return found.release();
}

// The objects first..last of list, after the checks of a range argument.
PyObject *objectRange(PyObject *list, bool withIndex, int first, int last) {
    if (first < 0 || last < 0) {
        PyErr_SetString(nvy_model_exc,
                        "Parameters 'first' and 'last' must be both nonnegative when specified");
        return nullptr;
    }
    if (withIndex) {
        PyErr_SetString(nvy_model_exc, "Parameters 'first' and 'last' cannot be specified if "
                                       "'index' is also specified");
        return nullptr;
    }
    if ((first > last ? first : last) >= PyList_GET_SIZE(list)) {
        PyErr_SetString(nvy_model_exc, "Parameters 'first' and 'last' are out of range");
        return nullptr;
    }
    return PyList_GetSlice(list, first, static_cast<Py_ssize_t>(last) + 1);
}

// getVariable, getConstraint and getSOS over the problem's list of that kind.
PyObject *lookup(PyObject *self, PyObject *args, PyObject *kwargs, PyObject *problem_s::*list) {
    static const char *const kw[] = {"index", "first", "last", nullptr};
    problem_s *p = as_problem(self);
    PyObject *index = nullptr;
    int first = -1, last = -1;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "|Oii", kw, nullptr, &index, &first, &last) ||
        checkProblemIsInitialized(p) != 0)
        return nullptr;
    PyObject *objects = p->*list;
    if (index == Py_None) index = nullptr;
    if (first != -1 || last != -1) return objectRange(objects, index != nullptr, first, last);
    if (!index) return PyList_GetSlice(objects, 0, PyList_GET_SIZE(objects));
    if (nvo_isIntegerArg(index) || PyArray_IsScalar(index, Integer)) {
        Py_ssize_t pos = 0;
        return leafPosition(index, &pos) == 0 ? objectAt(objects, pos) : nullptr;
    }
    if (PyArray_Check(index) && PyArray_ISINTEGER(reinterpret_cast<PyArrayObject *>(index)))
        return objectsAtArray(objects, index);
    Ref found = Ref::steal(PyList_New(0));
    Collect ctx{objects, found.get()};
    if (!found || for_each_nested_object(index, collectLeaf, &ctx, kNestingDepth) != 0)
        return nullptr;
    return found.release();
}

PyObject *problem_getVariable(PyObject *self, PyObject *args, PyObject *kwargs) {
    return lookup(self, args, kwargs, &problem_s::vars);
}

PyObject *problem_getConstraint(PyObject *self, PyObject *args, PyObject *kwargs) {
    return lookup(self, args, kwargs, &problem_s::cons);
}

PyObject *problem_getSOS(PyObject *self, PyObject *args, PyObject *kwargs) {
    return lookup(self, args, kwargs, &problem_s::sets);
}

PyObject *problem_getIndex(PyObject *self, PyObject *obj) {
    problem_s *p = as_problem(self);
    if (checkProblemIsInitialized(p) != 0) return nullptr;
    int index = 0;
    if (var_Check(obj)) {
        if (get_var_col_nowarn(p, obj, &index, "getIndex") != 0) return nullptr;
    } else if (constraint_Check(obj)) {
        if (get_con_row(p, as_constraint(obj), &index) != 0) return nullptr;
    } else if (sos_Check(obj)) {
        int64_t set = 0;
        if (get_sos_index(p, as_sos(obj), &set) != 0) return nullptr;
        return PyLong_FromLongLong(set);
    } else {
        PyErr_SetString(nvy_model_exc,
                        "Incorrect object(s) passed: need variable, constraint, or SOS");
        return nullptr;
    }
    return PyLong_FromLong(index);
}

} // namespace

PyMethodDef problem_lookup_methods[] = {
    {"getVariable", nvr_method(problem_getVariable), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("getVariable(index=None, first=-1, last=-1)\n\n"
               "The problem's variables: all of them, the one at an integer position, a list\n"
               "for a (nested) collection of positions, or the range first..last.")},
    {"getConstraint", nvr_method(problem_getConstraint), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("getConstraint(index=None, first=-1, last=-1)\n\n"
               "The problem's constraints, selected as in getVariable.")},
    {"getSOS", nvr_method(problem_getSOS), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("getSOS(index=None, first=-1, last=-1)\n\n"
               "The problem's special ordered sets, selected as in getVariable.")},
    {"getIndex", nvr_method(problem_getIndex), METH_O,
     PyDoc_STR("getIndex(obj)\n\n"
               "The column of a variable, the row of a constraint or the position of a set\n"
               "of this problem.")},
    {nullptr, nullptr, 0, nullptr},
};
