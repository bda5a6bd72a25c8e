// problem/problem.cpp: nivra.problem lifecycle: creation, the list of live problems, freeing
// of library resources.
#include "problem.h"

#include <vector>

#include "controls/control.h"
#include "module/args.h"
#include "module/calllib.h"
#include "module/env.h"
#include "module/errors.h"
#include "module/output.h"
#include "module/ref.h"
#include "problem/methods.h"

int checkProblemIsInitialized(problem_s *p) {
    if (p->prob) return 0;
    PyErr_SetString(nvy_model_exc, "Problem is not initialized");
    return -1;
}

static void clearModelData(problem_s *p) {
    Py_CLEAR(p->vars);
    Py_CLEAR(p->cons);
    Py_CLEAR(p->sets);
}

void problem_freeresources(problem_s *p) {
    if (nvr_py_env.start_count > 0 && p->prob && !p->parent) {
        if (nvraapi::CallLib(NVRAremovecbmessage, "NVRAremovecbmessage", p, nvr_py_print_prob,
                             (void *)p) != 0)
            setNvraErr(reinterpret_cast<PyObject *>(p));
        if (NVRAdestroyprob(p->prob) != 0) setNvraErr(nullptr);
    }
    p->prob = nullptr;
    p->nlprob = nullptr;
    for (PyObject *&cb : p->callbacks) Py_CLEAR(cb);
    Py_XSETREF(p->controls, Py_NewRef(Py_None));
    Py_XSETREF(p->attributes, Py_NewRef(Py_None));
    Py_XSETREF(p->objattribs, Py_NewRef(Py_None));
    clearModelData(p);
    if (p->saved_exc) {
        p->saved_exc->clear();
        delete p->saved_exc;
        p->saved_exc = nullptr;
    }
}

static PyObject *problem_new(PyTypeObject *type, PyObject *, PyObject *) {
    auto *p = reinterpret_cast<problem_s *>(type->tp_alloc(type, 0));
    if (!p) return nullptr;
    p->nl_solver = -1;
    p->output_enabled = 1;
    p->obj_state[0] = -1;
    Py_INCREF(nvr_py_env.module);
    p->next = nvr_py_env.problems;
    if (p->next) p->next->prev = p;
    nvr_py_env.problems = p;
    return reinterpret_cast<PyObject *>(p);
}

static void problem_dealloc(PyObject *self) {
    auto *p = reinterpret_cast<problem_s *>(self);
    PyObject_GC_UnTrack(self);
    {
        AutoSavedException keep;
        problem_freeresources(p);
        PyErr_Clear();
    }
    Py_CLEAR(p->controls);
    Py_CLEAR(p->attributes);
    Py_CLEAR(p->objattribs);
    Py_CLEAR(p->parent);
    if (p->prev)
        p->prev->next = p->next;
    else if (nvr_py_env.problems == p)
        nvr_py_env.problems = p->next;
    if (p->next) p->next->prev = p->prev;
    PyObject *module = nvr_py_env.module;
    Py_TYPE(self)->tp_free(self);
    Py_XDECREF(module);
}

static int problem_traverse(PyObject *self, visitproc visit, void *arg) {
    auto *p = reinterpret_cast<problem_s *>(self);
    Py_VISIT(p->vars);
    Py_VISIT(p->cons);
    Py_VISIT(p->sets);
    Py_VISIT(p->controls);
    Py_VISIT(p->attributes);
    Py_VISIT(p->objattribs);
    Py_VISIT(p->parent);
    for (PyObject *cb : p->callbacks) Py_VISIT(cb);
    return 0;
}

static int problem_clear(PyObject *self) {
    auto *p = reinterpret_cast<problem_s *>(self);
    clearModelData(p);
    for (PyObject *&cb : p->callbacks) Py_CLEAR(cb);
    return 0;
}

static int problem_init(PyObject *self, PyObject *args, PyObject *kwargs) {
    auto *p = reinterpret_cast<problem_s *>(self);
    static const char *const kw[] = {"name", "sense", nullptr};
    const char *name = nullptr;
    int sense = 1;
    if (p->prob) {
        PyErr_SetString(nvy_model_exc, "Problem is already initialized");
        return -1;
    }
    if (!parseKeywordArgs(kwargs, "|$si", kw, &name, &sense)) return -1;
    if (sense != 1 && sense != -1) {
        PyErr_SetString(nvy_model_exc, "Invalid optimization sense");
        return -1;
    }
    (void)args;
    if (turnNVRAon(nullptr, 0) != 0) return -1;
    p->saved_exc = new (std::nothrow) SavedException;
    if (!p->saved_exc) {
        PyErr_NoMemory();
        return -1;
    }
    p->vars = PyList_New(0);
    p->cons = PyList_New(0);
    p->sets = PyList_New(0);
    if (!p->vars || !p->cons || !p->sets) goto fail;
    Py_XSETREF(p->controls, ctrl_base(p));
    Py_XSETREF(p->attributes, attr_base(p, -1));
    if (!p->controls || !p->attributes) goto fail;
    if (NVRAcreateprob(&p->prob) != 0) {
        p->prob = nullptr;
        setNvraErr(nullptr);
        goto fail;
    }
    if (nvraapi::CallLib(NVRAaddcbmessage, "NVRAaddcbmessage", p, nvr_py_print_prob, (void *)p,
                         1) != 0) {
        setNvraErr(self);
        goto fail;
    }
    return 0;
fail:
    if (!PyErr_Occurred()) PyErr_SetString(nvy_model_exc, "Error declaring problem");
    {
        AutoSavedException keep;
        problem_freeresources(p);
    }
    return -1;
}

static PyObject *problem_enter(PyObject *self, PyObject *) { return Py_NewRef(self); }

static PyObject *problem_exit(PyObject *self, PyObject *) {
    problem_freeresources(reinterpret_cast<problem_s *>(self));
    if (PyErr_Occurred()) return nullptr;
    Py_RETURN_NONE;
}

static PyObject *problem_getOutputEnabled(PyObject *self, PyObject *) {
    return PyBool_FromLong(reinterpret_cast<problem_s *>(self)->output_enabled);
}

static PyObject *problem_setOutputEnabled(PyObject *self, PyObject *arg) {
    auto *p = reinterpret_cast<problem_s *>(self);
    if (checkProblemIsInitialized(p) != 0) return nullptr;
    if (!nvo_isIntegerArg(arg)) {
        PyErr_SetString(nvy_model_exc, "Incorrect argument in setOutputEnabled: should be True or False");
        return nullptr;
    }
    const int truth = PyObject_IsTrue(arg);
    if (truth < 0) return nullptr;
    p->output_enabled = truth;
    Py_RETURN_NONE;
}

PyMethodDef problem_lifecycle_methods[] = {
    {"__enter__", problem_enter, METH_NOARGS, nullptr},
    {"__exit__", problem_exit, METH_VARARGS, nullptr},
    {"getOutputEnabled", problem_getOutputEnabled, METH_NOARGS,
     PyDoc_STR("getOutputEnabled() -> bool: whether this problem's log is printed")},
    {"setOutputEnabled", problem_setOutputEnabled, METH_O,
     PyDoc_STR("setOutputEnabled(flag): print this problem's log or not")},
    {nullptr, nullptr, 0, nullptr},
};

PyTypeObject problem_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.problem",
    .tp_basicsize = sizeof(problem_s),
    .tp_dealloc = problem_dealloc,
    .tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE | Py_TPFLAGS_HAVE_GC,
    .tp_doc = PyDoc_STR("problem(*elements, name=None, sense=nivra.minimize): an optimization "
                        "problem"),
    .tp_traverse = problem_traverse,
    .tp_clear = problem_clear,
    .tp_init = problem_init,
    .tp_new = problem_new,
};

int problem_build_method_table() {
    static std::vector<PyMethodDef> table;
    try {
        table.clear();
        for (PyMethodDef *part : {problem_lifecycle_methods, problem_controls_methods,
                                  problem_variables_methods, problem_constraints_methods,
                                  problem_objective_methods, problem_solution_methods})
            for (PyMethodDef *m = part; m->ml_name; ++m) table.push_back(*m);
        table.push_back({nullptr, nullptr, 0, nullptr});
    } catch (...) {
        PyErr_NoMemory();
        return -1;
    }
    problem_type.tp_methods = table.data();
    return 0;
}
