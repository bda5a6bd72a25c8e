// controls/control.cpp: the control and attribute view types, and the module functions of the
// module-level default controls.
#include "control.h"

#include "runtime/env.h"
#include "runtime/ref.h"
#include "names.h"
#include "runtime/calllib.h"
#include "values.h"

namespace {

// 0 when the view's problem can be asked, else -1 with "Problem is not initialized".
int checkViewProblem(problem_lib_s *p) {
    if (p != kDeletedProblem) return checkProblemIsInitialized(p);
    PyErr_SetString(nvy_model_exc, "Problem is not initialized");
    return -1;
}

bool isDunder(PyObject *name) {
    Py_ssize_t n = 0;
    const char *s = PyUnicode_AsUTF8AndSize(name, &n);
    return s && n > 4 && s[0] == '_' && s[1] == '_' && s[n - 1] == '_' && s[n - 2] == '_';
}

PyObject *incorrectName(int control) {
    PyErr_SetString(nvy_interf_exc,
                    control ? "Incorrect control name" : "Incorrect attribute name");
    return nullptr;
}

// The value of a module-level control: the module default if one is set, else the library's.
PyObject *moduleControlValue(PyObject *own, PyObject *name) {
    Ref norm = Ref::steal(to_lowercase_all(name));
    if (!norm) return nullptr;
    PyObject *v = PyDict_GetItemWithError(nvr_py_env.default_control_values, norm.get());
    if (!v && !PyErr_Occurred()) v = PyDict_GetItemWithError(own, norm.get());
    if (v) return Py_NewRef(v);
    return PyErr_Occurred() ? nullptr : incorrectName(1);
}

// Attribute access shared by both view types: "__dict__" gives the view's dictionary, other
// special names behave as on any object, every other name is a control or attribute.
PyObject *ctrl_attr_get(PyObject *self, PyObject *name, PyObject *dict, problem_lib_s *p,
                        int control, int objidx) {
    if (PyUnicode_Check(name) && PyUnicode_CompareWithASCIIString(name, "__dict__") == 0)
        return Py_NewRef(dict);
    if (PyUnicode_Check(name) && isDunder(name)) return PyObject_GenericGetAttr(self, name);
    if (!p) return moduleControlValue(dict, name);
    PyObject *tuple = nullptr;
    if (PyDict_GetItem_LowerCaseKey(dict, name, &tuple) != 0) return nullptr;
    CaEntry entry;
    if (!ca_entry_from_tuple(tuple, &entry))
        return PyErr_Occurred() ? nullptr : incorrectName(control);
    if (objidx >= 0 && entry.solver != 0) {
        PyErr_SetString(nvy_interf_exc, "Only NVRA attributes are supported");
        return nullptr;
    }
    if (checkViewProblem(p) != 0) return nullptr;
    return problem_getInfo_single(p, entry, control, objidx);
}

// str() of the values of a view: every control or attribute (for objidx >= 0, of that solve).
PyObject *viewText(problem_lib_s *p, int control, int objidx) {
    if (checkViewProblem(p) != 0) return nullptr;
    Ref none = Ref::steal(PyTuple_New(0));
    if (!none) return nullptr;
    Ref values = Ref::steal(problem_getInfo(p, none.get(), control, objidx));
    return values ? PyObject_Str(values.get()) : nullptr;
}

// ---- nivra.control ------------------------------------------------------------------------------

ctrl_s *as_ctrl(PyObject *o) {
    return reinterpret_cast<ctrl_s *>(o);
}

void ctrl_dealloc(PyObject *self) {
    Py_CLEAR(as_ctrl(self)->dict);
    Py_TYPE(self)->tp_free(self);
}

PyObject *ctrl_getattro(PyObject *self, PyObject *name) {
    ctrl_s *c = as_ctrl(self);
    return ctrl_attr_get(self, name, c->dict, c->problem, 1, -1);
}

// Assignment sets the problem's control, or (module-level object) the module default value
// applied to problems created afterwards.
int ctrl_set(PyObject *self, PyObject *name, PyObject *value) {
    if (!value) {
        PyErr_SetString(nvy_model_exc, "Controls cannot be deleted: assign a value instead");
        return -1;
    }
    Ref norm = Ref::steal(to_lowercase_all(name));
    if (!norm) return -1;
    CaEntry entry;
    if (!ca_entry_from_tuple(PyDict_GetItemWithError(nvr_py_env.control_table, norm.get()), &entry))
        return PyErr_Occurred() ? -1 : (incorrectName(1), -1);
    problem_lib_s *p = as_ctrl(self)->problem;
    if (p) return checkViewProblem(p) != 0 ? -1 : problem_setControl_single(p, entry, value);
    if (check_setCtrl(entry.type, value) != 0) return -1;
    return PyDict_SetItem(nvr_py_env.default_control_values, norm.get(), value);
}

// The module-level object shows the values new problems start with: the library defaults
// overlaid by the module defaults.
PyObject *ctrl_repr(PyObject *self) {
    ctrl_s *c = as_ctrl(self);
    if (c->problem) return viewText(c->problem, 1, -1);
    Ref values = Ref::steal(PyDict_Copy(c->dict));
    if (!values || PyDict_Update(values.get(), nvr_py_env.default_control_values) != 0)
        return nullptr;
    return PyObject_Str(values.get());
}

// ---- nivra.attribute ----------------------------------------------------------------------------

attr_s *as_attr(PyObject *o) {
    return reinterpret_cast<attr_s *>(o);
}

void attr_dealloc(PyObject *self) {
    Py_CLEAR(as_attr(self)->dict);
    Py_TYPE(self)->tp_free(self);
}

PyObject *attr_getattro(PyObject *self, PyObject *name) {
    attr_s *a = as_attr(self);
    return ctrl_attr_get(self, name, a->dict, a->problem, 0, a->objidx);
}

int attr_setattro(PyObject *, PyObject *, PyObject *) {
    PyErr_SetString(nvy_model_exc, "A problem's attribute cannot be set");
    return -1;
}

PyObject *attr_repr(PyObject *self) {
    return viewText(as_attr(self)->problem, 0, as_attr(self)->objidx);
}

// ---- module functions ---------------------------------------------------------------------------

PyObject *nivramod_getcontrols(PyObject *, PyObject *) {
    if (ctrl_attr_fill_typeobj() != 0) return nullptr;
    return Py_NewRef(nvr_py_env.module_controls);
}

PyObject *nivramod_setdefaultcontrol(PyObject *, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"ipar", nullptr};
    PyObject *name;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "U", const_cast<char **>(kw), &name))
        return nullptr;
    if (ctrl_attr_fill_typeobj() != 0) return nullptr;
    Ref norm = Ref::steal(to_lowercase_all(name));
    if (!norm) return nullptr;
    const int known = PyDict_Contains(nvr_py_env.control_table, norm.get());
    if (known <= 0) return known < 0 ? nullptr : incorrectName(1);
    const int set = PyDict_Contains(nvr_py_env.default_control_values, norm.get());
    if (set < 0 || (set && PyDict_DelItem(nvr_py_env.default_control_values, norm.get()) != 0) ||
        ctrl_module_own_defaults(norm.get()) != 0)
        return nullptr;
    Py_RETURN_NONE;
}

PyObject *nivramod_setdefaults(PyObject *, PyObject *) {
    PyDict_Clear(nvr_py_env.default_control_values);
    if (ctrl_module_own_defaults(nullptr) != 0) return nullptr;
    Py_RETURN_NONE;
}

} // namespace

PyTypeObject control_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.control",
    .tp_basicsize = sizeof(ctrl_s),
    .tp_dealloc = ctrl_dealloc,
    .tp_repr = ctrl_repr,
    .tp_getattro = ctrl_getattro,
    .tp_setattro = ctrl_set,
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("The controls of a problem (problem.controls), or the module-level "
                        "default controls (nivra.controls), as attributes: "
                        "p.controls.feastol = 1e-8. Names are all lower or all upper case."),
};

PyTypeObject attribute_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.attribute",
    .tp_basicsize = sizeof(attr_s),
    .tp_dealloc = attr_dealloc,
    .tp_repr = attr_repr,
    .tp_getattro = attr_getattro,
    .tp_setattro = attr_setattro,
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("The attributes of a problem (problem.attributes) as read-only "
                        "attributes: p.attributes.cols."),
};

PyObject *ctrl_base(problem_lib_s *problem) {
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

PyObject *attr_base(problem_lib_s *problem, int32_t objidx) {
    auto *a = PyObject_New(attr_s, &attribute_type);
    if (!a) return nullptr;
    a->problem = problem;
    a->dict = Py_NewRef(nvr_py_env.attribute_table);
    a->objidx = objidx;
    return reinterpret_cast<PyObject *>(a);
}

PyObject *control_own_dict(PyObject *ctrl) {
    return PyObject_TypeCheck(ctrl, &control_type) ? as_ctrl(ctrl)->dict : nullptr;
}

void ctrl_attr_detach(PyObject *view, const problem_lib_s *p) {
    if (!view) return;
    if (Py_IS_TYPE(view, &control_type) && as_ctrl(view)->problem == p)
        as_ctrl(view)->problem = kDeletedProblem;
    if (Py_IS_TYPE(view, &attribute_type) && as_attr(view)->problem == p)
        as_attr(view)->problem = kDeletedProblem;
}

PyMethodDef nvr_controls_methods[] = {
    {"_getcontrols", nivramod_getcontrols, METH_NOARGS,
     PyDoc_STR("_getcontrols() -> control: the module-level controls object (nivra.controls), "
               "whose assigned values every problem created afterwards starts with")},
    {"setdefaultcontrol", nvr_method(nivramod_setdefaultcontrol), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("setdefaultcontrol(ipar): forget the module default value of the control named "
               "ipar; problems created afterwards start with the library's default")},
    {"setdefaults", nivramod_setdefaults, METH_NOARGS,
     PyDoc_STR("setdefaults(): forget every module default value set on nivra.controls; "
               "the module's own defaults (nslp_postsolve = 1) stay")},
    {nullptr, nullptr, 0, nullptr},
};
