// model/linterm.cpp: nivra.linterm (placeholder type until its behaviour is built).
#include "linterm.h"

#include "module/ref.h"

PyTypeObject linterm_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.linterm",
    .tp_basicsize = sizeof(PyObject),
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("Linear term: a coefficient times a variable"),
    .tp_new = PyType_GenericNew,
};
