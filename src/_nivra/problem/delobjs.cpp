// problem/delobjs.cpp: a problem's lists of variables, constraints and sets kept in step with
// the library after it deleted columns, rows or sets.
#include "delobjs.h"

#include <algorithm>

#include "model/constraint.h"
#include "model/maps.h"
#include "model/sos.h"
#include "model/var.h"
#include "problem/problib.h"
#include "runtime/errors.h"
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

void nvy_dropObjectsFrom(problem_s *p, PyObject *list, Py_ssize_t from) {
    AutoSavedException keep;
    const Py_ssize_t n = PyList_GET_SIZE(list);
    for (Py_ssize_t i = from; i < n; ++i)
        if (problem_isLinkedObject(PyList_GET_ITEM(list, i), p))
            problem_markObjectDeleted(PyList_GET_ITEM(list, i));
    if (from < n && PyList_SetSlice(list, from, n, nullptr) != 0) PyErr_Clear();
}
