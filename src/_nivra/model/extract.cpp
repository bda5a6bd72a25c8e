// model/extract.cpp: extractLinear() and extractQuadratic() of variables, terms and
// expressions: new lists, put into canonical order by sorting their item arrays in place.
#include "extract.h"

#include "expression.h"
#include "runtime/ref.h"
#include "operand.h"
#include "varsort.h"
#include "var.h"

namespace {

const var_s **varItems(PyObject *list) {
    return const_cast<const var_s **>(reinterpret_cast<var_s **>(PySequence_Fast_ITEMS(list)));
}
const void **objItems(PyObject *list) {
    return const_cast<const void **>(reinterpret_cast<void **>(PySequence_Fast_ITEMS(list)));
}

// Sets item i of list to a new reference to o, or to a new float (false on failure).
void put(PyObject *list, Py_ssize_t i, PyObject *o) {
    PyList_SET_ITEM(list, i, Py_NewRef(o));
}
bool putFloat(PyObject *list, Py_ssize_t i, double c) {
    PyObject *f = PyFloat_FromDouble(c);
    if (!f) return false;
    PyList_SET_ITEM(list, i, f);
    return true;
}

// Lists of n slots each (slots are filled before the lists escape). 0 or -1.
int newLists(Py_ssize_t n, Ref *lists, int count) {
    for (int k = 0; k < count; ++k)
        if (!(lists[k] = Ref::steal(PyList_New(n)))) return -1;
    return 0;
}

// The polynomial view of self, refusing views that reach a deleted variable. 0 or -1.
int viewOf(PyObject *self, Poly *p) {
    const int kind = exprKindOf(self);
    var_s *first;
    return firstVarOfKind(self, kind, &first) != 0 || poly_of(self, kind, p) != 0 ? -1 : 0;
}

} // namespace

PyObject *nvr_extractLinear(PyObject *self, PyObject *) {
    Poly p;
    if (viewOf(self, &p) != 0) return nullptr;
    const Py_ssize_t n = p.e ? (p.e->linear ? linmap_size(p.e->linear) : 0) : (p.u && !p.v);
    Ref lists[2];
    if (newLists(n, lists, 2) != 0) return nullptr;
    Py_ssize_t i = 0;
    auto add = [&](PyObject *x, double c) {
        put(lists[0].get(), i, x);
        return putFloat(lists[1].get(), i++, c);
    };
    if (p.e) {
        if (p.e->linear &&
            linmap_forEachUntil(p.e->linear, [&](PyObject *x, double c) { return !add(x, c); }))
            return nullptr;
    } else if (n == 1 && !add(p.u, p.c)) {
        return nullptr;
    }
    nvy_Sort_Var_Ptr(varItems(lists[0].get()), objItems(lists[1].get()), static_cast<size_t>(n));
    return PyTuple_Pack(2, lists[0].get(), lists[1].get());
}

PyObject *nvr_extractQuadratic(PyObject *self, PyObject *) {
    Poly p;
    if (viewOf(self, &p) != 0) return nullptr;
    const Py_ssize_t n = p.e ? (p.e->quadratic ? quadmap_size(p.e->quadratic) : 0) : (p.v ? 1 : 0);
    Ref lists[3];
    if (newLists(n, lists, 3) != 0) return nullptr;
    Py_ssize_t i = 0;
    auto add = [&](PyObject *u, PyObject *v, double c) {
        put(lists[0].get(), i, u);
        put(lists[1].get(), i, v);
        return putFloat(lists[2].get(), i++, c);
    };
    if (p.e) {
        if (p.e->quadratic &&
            quadmap_forEachUntil(p.e->quadratic,
                                 [&](PyObject *u, PyObject *v, double c) { return !add(u, v, c); }))
            return nullptr;
    } else if (n == 1 && !add(p.u, p.v, p.c)) {
        return nullptr;
    }
    nvy_LexSort_VarVar_Ptr(varItems(lists[0].get()), varItems(lists[1].get()),
                           objItems(lists[2].get()), static_cast<size_t>(n));
    return PyTuple_Pack(3, lists[0].get(), lists[1].get(), lists[2].get());
}
