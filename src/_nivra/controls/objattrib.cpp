// controls/objattrib.cpp: nivra.objattrib (placeholder type until its behaviour is built).
#include "objattrib.h"

#include "module/ref.h"

PyTypeObject objattrib_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.objattrib",
    .tp_basicsize = sizeof(PyObject),
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("Attributes of the solves of a multi-objective problem"),
    .tp_new = PyType_GenericNew,
};
