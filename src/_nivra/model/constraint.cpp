// model/constraint.cpp: nivra.constraint (placeholder type until its behaviour is built).
#include "constraint.h"

#include "module/ref.h"

PyTypeObject constraint_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.constraint",
    .tp_basicsize = sizeof(PyObject),
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("Constraint"),
    .tp_new = PyType_GenericNew,
};

// Until comparisons build constraints, model objects compare as Python's default does.
PyObject *generic_cmp(PyObject *, PyObject *, int) { Py_RETURN_NOTIMPLEMENTED; }
