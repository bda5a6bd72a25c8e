// callbacks/register.cpp: registering and removing Python callbacks, one list of entries per
// kind on the problem, and the callback members of nivra.problem, made for every kind from the
// rows of nvra_callbacks.def.
#include "register.h"

#include <climits>

#include "entry.h"
#include "trampolines.h"
#include "runtime/alloc.h"
#include "runtime/env.h"
#include "runtime/errors.h"
#include "runtime/ref.h"
#include "problem/problib.h"

int callbackInList(problem_s *p, int kind, PyObject *callable, PyObject *data, long priority) {
    if (kind < 0 || kind >= kNumCallbackKinds)
        return nvr_raise(nvy_interf_exc, "Incorrect callback function");
    if (checkProblemIsInitialized(p) != 0) return -1;
    const CallbackKind &k = kCallbackKinds[kind];
    if (k.nonlinear && (!p->nlprob || !k.add))
        return nvr_raise(nvy_interf_exc,
                         "Nonlinear callbacks are not available: this build has no nonlinear "
                         "solver");
    Ref entry = Ref::steal(cbentry_new(p, kind, callable, data, priority));
    if (!entry) return -1;
    PyObject *&list = p->callbacks[kind];
    const bool created = !list;
    if (created && !(list = PyList_New(0))) return -1;
    const Py_ssize_t n = PyList_GET_SIZE(list);
    if (PyList_Append(list, entry.get()) != 0 ||
        k.add(p, entry.get(), static_cast<int>(priority)) != 0) {
        AutoSavedException keep; // the failure is what the caller sees
        PyList_SetSlice(list, n, PyList_GET_SIZE(list), nullptr);
        if (created) Py_CLEAR(list);
        as_cbentry(entry.get())->problem = nullptr;
        return -1;
    }
    return 0;
}

int removeCallback(problem_s *p, int kind, PyObject *callable, PyObject *data, bool unregister) {
    if (kind < 0 || kind >= kNumCallbackKinds)
        return nvr_raise(nvy_interf_exc, "Incorrect callback function");
    if (callable == Py_None) callable = nullptr;
    if (data == Py_None) data = nullptr;
    PyObject *&list = p->callbacks[kind];
    if (!list)
        return callable ? nvr_raise(nvy_interf_exc, "Cannot remove callback from an empty set") : 0;
    const CallbackKind &k = kCallbackKinds[kind];
    Ref held = Ref::borrow(list); // removal may empty the slot
    bool found = false;
    for (Py_ssize_t i = PyList_GET_SIZE(list) - 1; i >= 0; --i) {
        PyObject *item = PyList_GET_ITEM(list, i);
        if (!PyObject_TypeCheck(item, &cbentry_type))
            return nvr_raise(nvy_interf_exc, "Incorrect data stored in callback");
        cbentry_s *e = as_cbentry(item);
        if ((callable && e->callable != callable) || (data && e->data != data)) continue;
        found = true;
        if (unregister && k.remove && k.remove(p, item) != 0) return -1;
        e->problem = nullptr;
        if (PyList_SetSlice(list, i, i + 1, nullptr) != 0) return -1;
    }
    if ((!callable && !data) || PyList_GET_SIZE(list) == 0) Py_CLEAR(list);
    if (!found) return nvr_raise(nvy_interf_exc, "Callback not found");
    return 0;
}

int copyCallbacks(problem_s *dst, problem_s *src) {
    for (int kind = 0; kind < kNumCallbackKinds; ++kind) {
        if (!src->callbacks[kind]) continue;
        Ref list = Ref::borrow(src->callbacks[kind]); // registering may call back into Python
        for (Py_ssize_t i = 0; i < PyList_GET_SIZE(list.get()); ++i) {
            cbentry_s *e = as_cbentry(PyList_GET_ITEM(list.get(), i));
            if (callbackInList(dst, kind, e->callable, e->data, e->priority) != 0) return -1;
        }
    }
    return 0;
}

namespace {

// ---- members ------------------------------------------------------------------------------------

template <int Kind> PyObject *addMember(PyObject *self, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"callback", "data", "priority", nullptr};
    PyObject *callable = nullptr, *data = Py_None;
    long priority = 0;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|Ol", const_cast<char **>(kw), &callable,
                                     &data, &priority) ||
        !PyCallable_Check(callable) || priority < INT_MIN || priority > INT_MAX) {
        PyErr_Clear();
        PyErr_SetString(nvy_interf_exc, "Cannot add callback");
        return nullptr;
    }
    if (callbackInList(as_problem(self), Kind, callable, data, priority) != 0) return nullptr;
    Py_RETURN_NONE;
}

template <int Kind> PyObject *removeMember(PyObject *self, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"callback", "data", nullptr};
    PyObject *callable = Py_None, *data = Py_None;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "|OO", const_cast<char **>(kw), &callable,
                                     &data))
        return nullptr;
    if (callable != Py_None && !PyCallable_Check(callable)) {
        PyErr_SetString(nvy_interf_exc, "Cannot remove callback");
        return nullptr;
    }
    problem_s *p = as_problem(self);
    if (checkProblemIsInitialized(p) != 0) return nullptr;
    if (removeCallback(p, Kind, callable, data, true) != 0) return nullptr;
    Py_RETURN_NONE;
}

PyObject *problem_copycallbacks(PyObject *self, PyObject *src) {
    problem_s *dst = as_problem(self);
    if (!problem_Check(src) || !as_problem(src)->prob || !dst->prob) {
        PyErr_SetString(nvy_interf_exc,
                        "copycallbacks() must be called with the source problem as argument");
        return nullptr;
    }
    if (copyCallbacks(dst, as_problem(src)) != 0) return nullptr;
    Py_RETURN_NONE;
}

// The presolved problem's values for the running callback (getCallbackPresolveSolution and its
// siblings): a list over first..last (default: every row or column), or None when the library
// has none.
struct PresolveQuery {
    int (*get)(NVRAprob, int *, double[], int, int);
    const char *name;
    bool rows;
};
constexpr PresolveQuery kPresolveSolution{NVRAgetcallbackpresolvesolution,
                                          "NVRAgetcallbackpresolvesolution", false};
constexpr PresolveQuery kPresolveSlacks{NVRAgetcallbackpresolveslacks,
                                        "NVRAgetcallbackpresolveslacks", true};
constexpr PresolveQuery kPresolveDuals{NVRAgetcallbackpresolveduals, "NVRAgetcallbackpresolveduals",
                                       true};
constexpr PresolveQuery kPresolveRedCosts{NVRAgetcallbackpresolveredcosts,
                                          "NVRAgetcallbackpresolveredcosts", false};

// An end of a range: None keeps *index. 0, or -1 with an exception.
int readIndex(PyObject *o, int *index) {
    if (o == Py_None) return 0;
    const long v = PyLong_AsLong(o);
    if (v == -1 && PyErr_Occurred()) return -1;
    if (v < INT_MIN || v > INT_MAX) return nvr_raise(nvy_interf_exc, "Index out of range");
    *index = static_cast<int>(v);
    return 0;
}

template <const PresolveQuery &Q>
PyObject *presolveMember(PyObject *self, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"first", "last", nullptr};
    PyObject *firstObj = Py_None, *lastObj = Py_None;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "|OO", const_cast<char **>(kw), &firstObj,
                                     &lastObj))
        return nullptr;
    problem_s *p = as_problem(self);
    int count = 0;
    if (checkProblemIsInitialized(p) != 0 ||
        problem_intAttrib(p, Q.rows ? NVRA_ATTR_ROWS : NVRA_ATTR_COLS, &count) != 0)
        return nullptr;
    int first = 0, last = count - 1;
    if (readIndex(firstObj, &first) != 0 || readIndex(lastObj, &last) != 0) return nullptr;
    if (last < first) return PyList_New(0);
    LibArray<double> values;
    if (values.alloc(static_cast<size_t>(last - first + 1)) != 0) return nullptr;
    int available = 0;
    if (problem_call(p, Q.get, Q.name, &available, values.get(), first, last) != 0) return nullptr;
    if (!available) Py_RETURN_NONE;
    Ref list = Ref::steal(PyList_New(last - first + 1));
    for (int i = 0; list && i <= last - first; ++i) {
        PyObject *v = PyFloat_FromDouble(values[i]);
        if (!v) return nullptr;
        PyList_SET_ITEM(list.get(), i, v);
    }
    return list.release();
}

} // namespace

PyMethodDef problem_callback_methods[] = {
#define NVRA_CALLBACK_NVRA(number, kind, doc)                                                      \
    {"addcb" #kind, nvr_method(addMember<number>), METH_VARARGS | METH_KEYWORDS,                   \
     PyDoc_STR("addcb" #kind "(callback, data=None, priority=0)\n\nAdds a " #kind                  \
               " callback, called as callback(problem, data, ...): " doc)},                        \
        {"removecb" #kind, nvr_method(removeMember<number>), METH_VARARGS | METH_KEYWORDS,         \
         PyDoc_STR("removecb" #kind "(callback=None, data=None)\n\nRemoves the " #kind             \
                   " callbacks with this callable and data (None matches any)")},
#define NVRA_CALLBACK_NSLP(number, kind, doc)                                                      \
    {"setcb" #kind, nvr_method(addMember<number>), METH_VARARGS | METH_KEYWORDS,                   \
     PyDoc_STR("setcb" #kind                                                                       \
               "(callback, data=None, priority=0)\n\nSets the nonlinear solver's " #kind           \
               " callback")},
#define NVRA_CALLBACK(number, kind, KIND, interface, honoured, doc)                                \
    NVRA_CALLBACK_##interface(number, kind, doc)
#include "nvra_callbacks.def"
#undef NVRA_CALLBACK_NVRA
#undef NVRA_CALLBACK_NSLP
    {"copycallbacks", problem_copycallbacks, METH_O,
     PyDoc_STR("copycallbacks(src): register every callback of problem src on this problem")},
    {"getCallbackPresolveSolution", nvr_method(presolveMember<kPresolveSolution>),
     METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("getCallbackPresolveSolution(first=None, last=None): values of the presolved "
               "problem in a callback, or None when there are none")},
    {"getCallbackPresolveSlacks", nvr_method(presolveMember<kPresolveSlacks>),
     METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("getCallbackPresolveSlacks(first=None, last=None): as "
               "getCallbackPresolveSolution, for the slacks")},
    {"getCallbackPresolveDuals", nvr_method(presolveMember<kPresolveDuals>),
     METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("getCallbackPresolveDuals(first=None, last=None): as "
               "getCallbackPresolveSolution, for the duals")},
    {"getCallbackPresolveRedCosts", nvr_method(presolveMember<kPresolveRedCosts>),
     METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("getCallbackPresolveRedCosts(first=None, last=None): as "
               "getCallbackPresolveSolution, for the reduced costs")},
    {nullptr, nullptr, 0, nullptr},
};
