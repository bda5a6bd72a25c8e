// model/quadterm.cpp: nivra.quadterm (placeholder type until its behaviour is built).
#include "quadterm.h"

#include "module/ref.h"

PyTypeObject quadterm_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.quadterm",
    .tp_basicsize = sizeof(PyObject),
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("Quadratic term: a coefficient times two variables"),
    .tp_new = PyType_GenericNew,
};
