// controls/control.cpp: the control and attribute view types.
#include "control.h"

#include "module/env.h"
#include "module/ref.h"

static void ctrl_dealloc(PyObject *self) {
    Py_CLEAR(reinterpret_cast<ctrl_s *>(self)->dict);
    Py_TYPE(self)->tp_free(self);
}

static void attr_dealloc(PyObject *self) {
    Py_CLEAR(reinterpret_cast<attr_s *>(self)->dict);
    Py_TYPE(self)->tp_free(self);
}

PyTypeObject control_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.control",
    .tp_basicsize = sizeof(ctrl_s),
    .tp_dealloc = ctrl_dealloc,
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("Controls of a problem, or the module-level default controls"),
};

PyTypeObject attribute_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.attribute",
    .tp_basicsize = sizeof(attr_s),
    .tp_dealloc = attr_dealloc,
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("Attributes of a problem"),
};

PyObject *ctrl_base(problem_s *problem) {
    PyObject *dict = problem ? Py_NewRef(nvr_py_env.control_table) : PyDict_New();
    if (!dict) return nullptr;
    auto *c = PyObject_New(ctrl_s, &control_type);
    if (!c) {
        Py_DECREF(dict);
        return nullptr;
    }
    c->problem = problem;
    c->dict = dict;
    return reinterpret_cast<PyObject *>(c);
}

PyObject *attr_base(problem_s *problem, int32_t objidx) {
    auto *a = PyObject_New(attr_s, &attribute_type);
    if (!a) return nullptr;
    a->problem = problem;
    a->dict = Py_NewRef(nvr_py_env.attribute_table);
    a->objidx = objidx;
    return reinterpret_cast<PyObject *>(a);
}

PyObject *control_own_dict(PyObject *ctrl) {
    return PyObject_TypeCheck(ctrl, &control_type) ? reinterpret_cast<ctrl_s *>(ctrl)->dict
                                                   : nullptr;
}

int ctrl_attr_fill_typeobj(int) {
    // The library's control and attribute lists are read here once the library exposes them.
    return 0;
}

#include "module/methods.h"

PyMethodDef nvr_controls_methods[] = {
    {nullptr, nullptr, 0, nullptr},
};
