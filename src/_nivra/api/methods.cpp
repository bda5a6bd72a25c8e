// api/methods.cpp: the module function through which the tests walk every optimizer API member.
#include "api/methods.h"

#include "api/convert.h"

#include <vector>

#include "model/constraint.h"
#include "model/sos.h"
#include "model/var.h"
#include "problem/problem.h"
#include "runtime/calllib.h"
#include "runtime/ref.h"

namespace {

// A tuple of the names of a null-terminated list; None for a null list. New reference or null.
PyObject *nameTuple(const char *const *names) {
    if (!names) Py_RETURN_NONE;
    Py_ssize_t n = 0;
    while (names[n])
        ++n;
    Ref t = Ref::steal(PyTuple_New(n));
    for (Py_ssize_t i = 0; t && i < n; ++i) {
        PyObject *s = PyUnicode_FromString(names[i]);
        if (!s) return nullptr;
        PyTuple_SET_ITEM(t.get(), i, s);
    }
    return t.release();
}

// _api_members() -> list of (name, format, keywords, old keywords or None).
PyObject *nivramod_api_members(PyObject *, PyObject *) {
    Ref out = Ref::steal(PyList_New(0));
    if (!out) return nullptr;
    for (const ApiMemberInfo *table :
         {nvr_api_build_info, nvr_api_read_info, nvr_api_callback_info, nvr_api_analysis_info,
          nvr_api_solving_info, nvr_api_cutpool_info, nvr_api_nonlinear_info})
        for (const ApiMemberInfo *m = table; m->name; ++m) {
            Ref kw = Ref::steal(nameTuple(m->kw)), old = Ref::steal(nameTuple(m->oldkw));
            Ref row = Ref::steal(
                kw && old ? Py_BuildValue("(ssOO)", m->name, m->format, kw.get(), old.get())
                          : nullptr);
            if (!row || PyList_Append(out.get(), row.get()) != 0) return nullptr;
        }
    return out.release();
}

// _conv_full(problem, values, rows) -> list of float: values converted as an argument the
// library reads by the problem's row (rows true) or column count.
PyObject *nivramod_conv_full(PyObject *, PyObject *args) {
    PyObject *p, *values;
    int rows = 0;
    if (!PyArg_ParseTuple(args, "O!Op", &problem_type, &p, &values, &rows)) return nullptr;
    problem_s *prob = as_problem(p);
    int n = 0;
    if (problem_call(prob, NVRAgetintattrib, "NVRAgetintattrib",
                     rows ? NVRA_ATTR_ROWS : NVRA_ATTR_COLS, &n) != 0)
        return nullptr;
    ConvArray<kElemDouble> arr;
    if (conv_obj2arr_full(prob, values, arr, n, "values", rows ? "rows" : "columns") != 0)
        return nullptr;
    Ref out = Ref::steal(PyList_New(0));
    if (!out || conv_arr2obj<kElemDouble>(prob, arr.get() ? n : 0, arr.get(), out.get()) != 0)
        return nullptr;
    return out.release();
}

// _index_vector(problem, kind, values) -> list of int: nvy_PyObject_to_vector for variables
// (kind 1), constraints (0) or sets (2), and whether an item was a model object.
PyObject *nivramod_index_vector(PyObject *, PyObject *args) {
    PyObject *p, *values;
    int kind = 0;
    if (!PyArg_ParseTuple(args, "O!iO", &problem_type, &p, &kind, &values)) return nullptr;
    std::vector<int> out;
    bool objects = false;
    problem_s *prob = as_problem(p);
    const int rc = kind == kElemCol
                       ? nvy_PyObject_to_vector<var_s>(prob, "values", out, values, &objects)
                   : kind == kElemRow
                       ? nvy_PyObject_to_vector<constraint_s>(prob, "values", out, values, &objects)
                       : nvy_PyObject_to_vector<sos_s>(prob, "values", out, values, &objects);
    if (rc != 0) return nullptr;
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(out.size())));
    for (size_t i = 0; list && i < out.size(); ++i)
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), PyLong_FromLong(out[i]));
    return list ? Py_BuildValue("(OO)", list.get(), objects ? Py_True : Py_False) : nullptr;
}

} // namespace

PyMethodDef nvr_api_module_methods[] = {
    {"_index_vector", nivramod_index_vector, METH_VARARGS,
     PyDoc_STR("_index_vector(problem, kind, values) -> (indices, had objects) (for tests)")},
    {"_conv_full", nivramod_conv_full, METH_VARARGS,
     PyDoc_STR("_conv_full(problem, values, rows) -> list: values converted as a full-length "
               "argument over the rows or columns (for tests)")},
    {"_api_members", nivramod_api_members, METH_NOARGS,
     PyDoc_STR("_api_members() -> [(name, format, keywords, old keywords or None)]: the "
               "optimizer API members of nivra.problem (for tests)")},
    {nullptr, nullptr, 0, nullptr},
};
