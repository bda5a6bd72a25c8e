// callbacks/branchobj.cpp: nivra.branchobj (placeholder type until its behaviour is built).
#include "branchobj.h"

#include "runtime/ref.h"

PyTypeObject branchobj_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.branchobj",
    .tp_basicsize = sizeof(PyObject),
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("Branching object"),
    .tp_new = PyType_GenericNew,
};
