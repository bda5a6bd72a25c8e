// model/var.cpp: nivra.var (placeholder type until its behaviour is built).
#include "var.h"

#include "module/ref.h"

PyTypeObject var_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.var",
    .tp_basicsize = sizeof(PyObject),
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("Decision variable"),
    .tp_new = PyType_GenericNew,
};
