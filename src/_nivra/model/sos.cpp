// model/sos.cpp: nivra.sos (placeholder type until its behaviour is built).
#include "sos.h"

#include "module/ref.h"

PyTypeObject sos_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.sos",
    .tp_basicsize = sizeof(PyObject),
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("Special ordered set"),
    .tp_new = PyType_GenericNew,
};
