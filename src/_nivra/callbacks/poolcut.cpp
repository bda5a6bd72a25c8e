// callbacks/poolcut.cpp: nivra.poolcut (placeholder type until its behaviour is built).
#include "poolcut.h"

#include "runtime/ref.h"

PyTypeObject poolcut_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.poolcut",
    .tp_basicsize = sizeof(PyObject),
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("Cut of the cut pool"),
    .tp_new = PyType_GenericNew,
};
