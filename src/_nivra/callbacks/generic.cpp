// callbacks/generic.cpp: the one-pointer wrapper types nivra.generic and nivra.nvraobject.
#include "generic.h"

#include "runtime/ref.h"

namespace {

struct pointer_s {
    PyObject_HEAD void *ptr;
};

PyObject *pointer_repr(PyObject *self) {
    return PyUnicode_FromFormat("<%s %p>", Py_TYPE(self)->tp_name,
                                reinterpret_cast<pointer_s *>(self)->ptr);
}

PyObject *pointer_create(PyTypeObject *type, void *p) {
    auto *o = PyObject_New(pointer_s, type);
    if (o) o->ptr = p;
    return reinterpret_cast<PyObject *>(o);
}

void *pointer_get(PyTypeObject *type, PyObject *o) {
    if (!PyObject_TypeCheck(o, type)) {
        PyErr_Format(PyExc_TypeError, "expected %s", type->tp_name);
        return nullptr;
    }
    return reinterpret_cast<pointer_s *>(o)->ptr;
}

} // namespace

PyTypeObject generic_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.generic",
    .tp_basicsize = sizeof(pointer_s),
    .tp_repr = pointer_repr,
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("Opaque pointer handed out by the optimizer library"),
};

PyTypeObject nvraobject_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.nvraobject",
    .tp_basicsize = sizeof(pointer_s),
    .tp_repr = pointer_repr,
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("Object of the optimizer library (problem or branching object)"),
    .tp_new = [](PyTypeObject *t, PyObject *, PyObject *) { return pointer_create(t, nullptr); },
};

PyObject *voidstar_create(void *p) {
    return pointer_create(&generic_type, p);
}
void *voidstar_getobj(PyObject *o) {
    return pointer_get(&generic_type, o);
}
PyObject *nvraobject_create(void *p) {
    return pointer_create(&nvraobject_type, p);
}
void *nvraobject_getobj(PyObject *o) {
    return pointer_get(&nvraobject_type, o);
}
