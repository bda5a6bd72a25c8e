// api/delete.cpp: problem.delVariable, delConstraint and delSOS: the library deletes the
// columns, rows or sets, then the problem's list of objects is compacted: the deleted objects
// are marked deleted, the others renumbered, so that expressions and solutions keep referring to
// the right columns.
#include "runtime/npy.h"

#include "api/methods.h"

#include <algorithm>

#include "api/convert.h"
#include "model/constraint.h"
#include "model/sos.h"
#include "model/var.h"
#include "problem/delobjs.h"
#include "problem/problib.h"
#include "runtime/args.h"
#include "runtime/ref.h"

namespace {

struct DeleteKind {
    int elem;                               // element kind of the index argument
    PyObject *problem_s::*list;             // the problem's objects of that kind
    bool (*isObject)(PyObject *);           // an object of the kind
    int (*lib)(NVRAprob, int, const int *); // the library's deletion
    const char *libName;
};

bool isVar(PyObject *o) {
    return var_Check(o);
}
bool isConstraint(PyObject *o) {
    return constraint_Check(o);
}
bool isSos(PyObject *o) {
    return sos_Check(o);
}

const DeleteKind kVariables{kElemCol, &problem_s::vars, isVar, NVRAdelcols, "NVRAdelcols"};
const DeleteKind kConstraints{kElemRow, &problem_s::cons, isConstraint, NVRAdelrows, "NVRAdelrows"};
const DeleteKind kSets{kElemSet, &problem_s::sets, isSos, NVRAdelsets, "NVRAdelsets"};

// The indices first..last after the checks of a range argument. 0 or -1.
int rangeIndices(Py_ssize_t size, int first, int last, std::vector<int> &out) {
    if (first < 0 || last < 0)
        return nvr_model_error(
            "Parameters 'first' and 'last' must be both nonnegative when specified");
    if (first >= size || last >= size)
        return nvr_model_error("Parameters 'first' or 'last' are out of range");
    if (first > last)
        return nvr_model_error("Parameter 'first' must be less than, or equal to, 'last'");
    for (int i = first; i <= last; ++i)
        out.push_back(i);
    return 0;
}

// The indices an index argument names: one index for an int, a NumPy integer, a name or an
// object of the kind; else a collection of them. 0 or -1.
template <int K>
int argumentIndices(problem_s *p, const DeleteKind &d, PyObject *index, std::vector<int> &out) {
    if (nvo_isIntegerArg(index) || PyArray_IsScalar(index, Integer) || d.isObject(index) ||
        PyUnicode_Check(index) || PyBytes_Check(index)) {
        int i = 0;
        if (ObjInt2int(index, p, &i, K) != 0) return -1;
        out.push_back(i);
        return 0;
    }
    int64_t n = -1;
    ConvArray<K> arr;
    if (conv_obj2arr<K>(p, &n, index, arr, "index") != 0) return -1;
    out.assign(arr.get(), arr.get() + std::max<int64_t>(n, 0));
    return 0;
}

PyObject *deleteObjects(PyObject *self, PyObject *args, PyObject *kwargs,
                        const DeleteKind &d) NVR_TRY {
    static const char *const kw[] = {"index", "first", "last", nullptr};
    problem_s *p = as_problem(self);
    PyObject *index = nullptr;
    int first = -1, last = -1;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "|Oii", kw, nullptr, &index, &first, &last) ||
        checkProblemIsInitialized(p) != 0)
        return nullptr;
    if (index == Py_None) index = nullptr;
    const bool range = first != -1 || last != -1;
    if (!index && !range)
        return nvr_model_error("At least one parameter must be specified"), nullptr;
    if (index && range) {
        nvr_model_error("Parameters 'first' and 'last' cannot be specified if 'index' is also "
                        "specified");
        return nullptr;
    }
    PyObject *list = p->*d.list;
    std::vector<int> idx;
    const int rc = range                ? rangeIndices(PyList_GET_SIZE(list), first, last, idx)
                   : d.elem == kElemCol ? argumentIndices<kElemCol>(p, d, index, idx)
                   : d.elem == kElemRow ? argumentIndices<kElemRow>(p, d, index, idx)
                                        : argumentIndices<kElemSet>(p, d, index, idx);
    if (rc != 0 ||
        problem_call(p, d.lib, d.libName, static_cast<int>(idx.size()), idx.data()) != 0 ||
        nvy_delModelObjs(p, list, std::move(idx)) != 0)
        return nullptr;
    Py_RETURN_NONE;
}
NVR_CATCH(nullptr)

PyObject *problem_delVariable(PyObject *self, PyObject *args, PyObject *kwargs) {
    return deleteObjects(self, args, kwargs, kVariables);
}
PyObject *problem_delConstraint(PyObject *self, PyObject *args, PyObject *kwargs) {
    return deleteObjects(self, args, kwargs, kConstraints);
}
PyObject *problem_delSOS(PyObject *self, PyObject *args, PyObject *kwargs) {
    return deleteObjects(self, args, kwargs, kSets);
}

} // namespace

PyMethodDef nvr_api_delete_methods[] = {
    {"delVariable", nvr_method(problem_delVariable), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("delVariable(index=None, first=-1, last=-1)\n\n"
               "Deletes variables (a variable, index or name, or a collection of them) or the\n"
               "range first..last; the variables that follow move down.")},
    {"delConstraint", nvr_method(problem_delConstraint), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("delConstraint(index=None, first=-1, last=-1)\n\n"
               "Deletes constraints, given as in delVariable.")},
    {"delSOS", nvr_method(problem_delSOS), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("delSOS(index=None, first=-1, last=-1)\n\nDeletes sets, given as in delVariable.")},
    {nullptr, nullptr, 0, nullptr},
};
