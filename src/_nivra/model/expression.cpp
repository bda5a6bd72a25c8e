// model/expression.cpp: nivra.expression (placeholder type until its behaviour is built).
#include "expression.h"

#include "module/ref.h"

PyTypeObject expression_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.expression",
    .tp_basicsize = sizeof(PyObject),
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("Linear or quadratic expression"),
    .tp_new = PyType_GenericNew,
};

int expression_nonzero(PyObject *) { return 1; }
