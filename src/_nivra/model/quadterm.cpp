// model/quadterm.cpp: nivra.quadterm records: creation with ordered factors, copies, release
// and the type object. The arithmetic is the algebra's (model/algebra.cpp).
#include "quadterm.h"

#include <utility>

#include "algebra.h"
#include "constraint.h"
#include "extract.h"
#include "live.h"
#include "runtime/env.h"
#include "runtime/ref.h"
#include "operand.h"
#include "printing.h"
#include "util/freelist.h"
#include "var.h"

namespace {

ObjectFreeList freeTerms;

} // namespace

void quadterm_order(PyObject **u, PyObject **v) {
    if (var_key_greater(as_var(*u), as_var(*v))) std::swap(*u, *v);
}

PyObject *quadterm_fill(double c, PyObject *u, PyObject *v) {
    if (checkCompatibleKinds(u, kVar, v, kVar) != 0) return nullptr;
    quadterm_order(&u, &v);
    quadterm_s *t = freeTerms.make<quadterm_s>(&quadterm_type, nvr_live_objects[kLiveQuadterm]);
    if (!t) return nullptr;
    t->coef = c;
    t->var1 = Py_NewRef(u);
    t->var2 = Py_NewRef(v);
    return reinterpret_cast<PyObject *>(t);
}

PyObject *quadterm_copy(PyObject *Q, double c) {
    const quadterm_s *t = as_quadterm(Q);
    return quadterm_fill(c * t->coef, t->var1, t->var2);
}

namespace {

void quadterm_dealloc(PyObject *self) {
    quadterm_s *t = as_quadterm(self);
    Py_DECREF(t->var1);
    Py_DECREF(t->var2);
    freeTerms.release(self, nvr_live_objects[kLiveQuadterm]);
}

PyMethodDef quadterm_methods[] = {
    NVR_REPR_LATEX_METHOD,
    {"extractLinear", nvr_extractLinear, METH_NOARGS,
     PyDoc_STR("extractLinear() -> ([], []): a quadratic term has no linear part")},
    {"extractQuadratic", nvr_extractQuadratic, METH_NOARGS,
     PyDoc_STR("extractQuadratic() -> ([var1], [var2], [coef]): the quadratic part")},
    {nullptr, nullptr, 0, nullptr},
};

} // namespace

PyTypeObject quadterm_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.quadterm",
    .tp_basicsize = sizeof(quadterm_s),
    .tp_dealloc = quadterm_dealloc,
    .tp_repr = nvr_model_str,
    .tp_as_number = &nvr_model_number_methods,
    .tp_str = nvr_model_str,
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("Quadratic term: a coefficient times a product of two variables"),
    .tp_richcompare = generic_cmp,
    .tp_methods = quadterm_methods,
};
