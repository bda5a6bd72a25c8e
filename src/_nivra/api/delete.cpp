// api/delete.cpp: problem.delVariable, delConstraint and delSOS: the library deletes the
// columns, rows or sets, then the problem's list of objects is compacted: the deleted objects
// are marked deleted, the others renumbered, so that expressions and solutions keep referring to
// the right columns.
#include "runtime/npy.h"

#include "api/methods.h"

#include <algorithm>

#include "api/convert.h"
#include "model/constraint.h"
#include "model/maps.h"
#include "model/sos.h"
#include "model/var.h"
#include "problem/problib.h"
#include "runtime/args.h"
#include "runtime/ref.h"

namespace {

// Where an object of the list has its index: linked objects in their record, unlinked ones in
// the problem's map under their serial.
void renumber(problem_s *p, PyObject *o, int pos) {
    if (var_Check(o)) {
        var_s *v = as_var(o);
        if (v->owner == p) {
            v->id_low = static_cast<uint32_t>(pos);
            v->id_high = 0;
        } else if (!v->owner) {
            rowcolmap_set(p->var_index_map, var_id(v), pos);
        }
    } else if (constraint_Check(o)) {
        constraint_s *c = as_constraint(o);
        if (constraint_problem(c) == p) {
            constraint_link(c, p, pos);
            c->flags = static_cast<uint16_t>((c->flags & ~kConKindMask) |
                                             (kConKindLinked << kConKindShift));
        } else if (constraint_is_unlinked(c)) {
            rowcolmap_set(p->con_index_map, constraint_serial(c), pos);
        }
    } else if (sos_Check(o)) {
        sos_s *s = as_sos(o);
        if (s->owner == p)
            s->index = pos;
        else if (!s->owner)
            rowcolmap_set(p->sos_index_map, static_cast<uint64_t>(s->index), pos);
    }
}

void forget(problem_s *p, PyObject *o) {
    if (problem_isLinkedObject(o, p)) {
        problem_markObjectDeleted(o);
    } else if (var_Check(o)) {
        rowcolmap_del(p->var_index_map, var_id(as_var(o)));
    } else if (constraint_Check(o) && constraint_is_unlinked(as_constraint(o))) {
        rowcolmap_del(p->con_index_map, constraint_serial(as_constraint(o)));
    } else if (sos_Check(o)) {
        rowcolmap_del(p->sos_index_map, static_cast<uint64_t>(as_sos(o)->index));
    }
}

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

int nvy_delModelObjs(problem_s *p, PyObject *list, std::vector<int> indices) NVR_TRY {
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    const Py_ssize_t size = PyList_GET_SIZE(list);
    if (indices.empty() || indices.front() >= size) return 0;
    // One pass from the first deleted position: deleted objects are let go, the others move
    // down to the next free position and take it as their index.
    Py_ssize_t write = indices.front();
    size_t next = 0;
    Ref gone = Ref::steal(PyList_New(0)); // released after the list is consistent again
    if (!gone) return -1;
    for (Py_ssize_t read = indices.front(); read < size; ++read) {
        PyObject *o = PyList_GET_ITEM(list, read);
        if (next < indices.size() && indices[next] == read) {
            ++next;
            forget(p, o);
            if (PyList_Append(gone.get(), o) != 0) return -1;
            continue;
        }
        renumber(p, o, static_cast<int>(write));
        if (write != read) {
            Py_INCREF(o);
            PyList_SetItem(list, write, o);
        }
        ++write;
    }
    return PyList_SetSlice(list, write, size, nullptr);
}
NVR_CATCH(-1)

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
