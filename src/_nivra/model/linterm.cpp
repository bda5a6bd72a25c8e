// model/linterm.cpp: nivra.linterm records: creation, copies, release and the type object. The
// arithmetic is the algebra's (model/algebra.cpp), the text the printer's.
#include "linterm.h"

#include "algebra.h"
#include "constraint.h"
#include "extract.h"
#include "live.h"
#include "runtime/env.h"
#include "runtime/ref.h"
#include "printing.h"
#include "util/freelist.h"
#include "var.h"

namespace {

ObjectFreeList freeTerms;

} // namespace

PyObject *linterm_fill(double c, PyObject *x) {
    if (c == 0.0) return PyFloat_FromDouble(0.0);
    linterm_s *t = freeTerms.make<linterm_s>(&linterm_type, nvr_live_objects[kLiveLinterm]);
    if (!t) return nullptr;
    t->coef = c;
    t->var = Py_NewRef(x);
    return reinterpret_cast<PyObject *>(t);
}

PyObject *linterm_copy(PyObject *L, double c) {
    const linterm_s *t = as_linterm(L);
    if (var_is_deleted(as_var(t->var))) {
        PyErr_SetString(nvy_model_exc, "Deleted variable in expression");
        return nullptr;
    }
    return linterm_fill(c * t->coef, t->var);
}

namespace {

void linterm_dealloc(PyObject *self) {
    Py_DECREF(as_linterm(self)->var);
    freeTerms.release(self, nvr_live_objects[kLiveLinterm]);
}

PyMethodDef linterm_methods[] = {
    NVR_REPR_LATEX_METHOD,
    {"extractLinear", nvr_extractLinear, METH_NOARGS,
     PyDoc_STR("extractLinear() -> ([var], [coef]): the linear part")},
    {"extractQuadratic", nvr_extractQuadratic, METH_NOARGS,
     PyDoc_STR("extractQuadratic() -> ([], [], []): a linear term has no quadratic part")},
    {nullptr, nullptr, 0, nullptr},
};

} // namespace

PyTypeObject linterm_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.linterm",
    .tp_basicsize = sizeof(linterm_s),
    .tp_dealloc = linterm_dealloc,
    .tp_repr = nvr_model_str,
    .tp_as_number = &nvr_model_number_methods,
    .tp_str = nvr_model_str,
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("Linear term: a coefficient times a variable"),
    .tp_richcompare = generic_cmp,
    .tp_methods = linterm_methods,
};
