// nonlinear/nonlinear.cpp: nivra.nonlinear (placeholder type until its behaviour is built).
#include "nonlinear.h"

#include "module/env.h"
#include "module/ref.h"

PyTypeObject nonlinear_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.nonlinear",
    .tp_basicsize = sizeof(nonlin_s),
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("Nonlinear expression"),
};

// ---- Hand-over ----------------------------------------------------------------------------------
// Temporary bodies: every result of the algebra that is no longer quadratic arrives here and is
// refused until the nonlinear objects exist. The nonlinear work replaces this whole block.

static PyObject *unavailable() {
    PyErr_SetString(nvy_model_exc, "Nonlinear expressions are not available");
    return nullptr;
}

PyObject *nonlin_add(PyObject *, PyObject *) { return unavailable(); }
PyObject *nonlin_sub(PyObject *, PyObject *) { return unavailable(); }
PyObject *nonlin_mul(PyObject *, PyObject *) { return unavailable(); }
PyObject *nonlin_div(PyObject *, PyObject *) { return unavailable(); }
PyObject *nonlin_pow(PyObject *, PyObject *, PyObject *) { return unavailable(); }
PyObject *nonlin_and(PyObject *, PyObject *) { return unavailable(); }
PyObject *nonlin_or(PyObject *, PyObject *) { return unavailable(); }
PyObject *nonlin_iadd(PyObject *, PyObject *) { return unavailable(); }
PyObject *nonlin_isub(PyObject *, PyObject *) { return unavailable(); }
PyObject *nonlin_imul(PyObject *, PyObject *) { return unavailable(); }
PyObject *nonlin_idiv(PyObject *, PyObject *) { return unavailable(); }
PyObject *nonlin_ipow(PyObject *, PyObject *, PyObject *) { return unavailable(); }
PyObject *nonlin_iand(PyObject *, PyObject *) { return unavailable(); }
PyObject *nonlin_ior(PyObject *, PyObject *) { return unavailable(); }
PyObject *nonlin_neg(PyObject *) { return unavailable(); }
PyObject *nonlin_abs(PyObject *) { return unavailable(); }
PyObject *nonlin_copy(PyObject *, double) { return unavailable(); }
PyObject *nonlin_arg_first(PyObject *, Py_ssize_t *) { return unavailable(); }
PyObject *nonlin_arg_next(PyObject *, Py_ssize_t *) { return unavailable(); }
