// nonlinear/nonlinear.cpp: nivra.nonlinear (placeholder type until its behaviour is built).
#include "nonlinear.h"

#include "module/ref.h"

PyTypeObject nonlinear_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.nonlinear",
    .tp_basicsize = sizeof(PyObject),
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("Nonlinear expression"),
    .tp_new = PyType_GenericNew,
};
