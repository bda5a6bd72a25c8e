// callbacks/entry.cpp: the record of one registered Python callback (an internal type: entries
// only live in a problem's callback lists). Its problem is a plain pointer, so that a problem
// and the entries of its own callbacks form no reference cycle; the callable and the data are
// traversed, so that a callable closing over its problem is collected with it.
#include "entry.h"

#include "runtime/ref.h"

namespace {

int cbentry_traverse(PyObject *self, visitproc visit, void *arg) {
    cbentry_s *e = as_cbentry(self);
    Py_VISIT(e->callable);
    Py_VISIT(e->data);
    return 0;
}

int cbentry_clear(PyObject *self) {
    cbentry_s *e = as_cbentry(self);
    e->problem = nullptr;
    Py_CLEAR(e->callable);
    Py_CLEAR(e->data);
    return 0;
}

void cbentry_dealloc(PyObject *self) {
    PyObject_GC_UnTrack(self);
    cbentry_clear(self);
    Py_TYPE(self)->tp_free(self);
}

} // namespace

PyTypeObject cbentry_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra._callbackentry",
    .tp_basicsize = sizeof(cbentry_s),
    .tp_dealloc = cbentry_dealloc,
    .tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC,
    .tp_doc = PyDoc_STR("A registered callback (internal)"),
    .tp_traverse = cbentry_traverse,
    .tp_clear = cbentry_clear,
};

PyObject *cbentry_new(problem_s *problem, int kind, PyObject *callable, PyObject *data,
                      long priority) {
    cbentry_s *e = PyObject_GC_New(cbentry_s, &cbentry_type);
    if (!e) return nullptr;
    e->problem = problem;
    e->callable = Py_NewRef(callable);
    e->data = Py_NewRef(data);
    e->priority = priority;
    e->kind = kind;
    PyObject_GC_Track(e);
    return reinterpret_cast<PyObject *>(e);
}
