// api/callbacks.cpp: the callback members of nivra.problem (the rows of api/callbacks.def):
// adding and removing Python callbacks of each kind, copying them from another problem, and the
// presolved values a callback may read.
#include "api/methods.h"

#include <climits>

#include "api/member.h"
#include "callbacks/register.h"

using namespace nvapi;

#define NVR_API_TABLE "api/callbacks.def"
#define NVR_API_STAGE 1
#include "api/expand.inc"

namespace {

// addcb<kind> and setcb<kind>: (callback, data=None, priority=0).
template <class M, int Kind> PyObject *addMember(problem_s *p, PyObject *args, PyObject *kwargs) {
    PyObject *callable = nullptr, *data = Py_None;
    long priority = 0;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw(), &callable, &data,
                                   &priority) ||
        !PyCallable_Check(callable) || priority < INT_MIN || priority > INT_MAX) {
        PyErr_Clear();
        PyErr_SetString(nvy_interf_exc, "Cannot add callback");
        return nullptr;
    }
    if (callbackInList(p, Kind, callable, data, priority) != 0) return nullptr;
    Py_RETURN_NONE;
}

// removecb<kind>: (callback=None, data=None).
template <class M, int Kind>
PyObject *removeMember(problem_s *p, PyObject *args, PyObject *kwargs) {
    PyObject *callable = Py_None, *data = Py_None;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw(), &callable, &data))
        return nullptr;
    if (callable != Py_None && !PyCallable_Check(callable)) {
        PyErr_SetString(nvy_interf_exc, "Cannot remove callback");
        return nullptr;
    }
    if (removeCallback(p, Kind, callable, data, true) != 0) return nullptr;
    Py_RETURN_NONE;
}

// An end of a range: None keeps *index. 0, or -1 with an exception.
int readIndex(PyObject *o, int *index) {
    if (o == Py_None) return 0;
    const long v = PyLong_AsLong(o);
    if (v == -1 && PyErr_Occurred()) return -1;
    if (v < INT_MIN || v > INT_MAX) return nvr_raise(nvy_interf_exc, "Index out of range");
    *index = static_cast<int>(v);
    return 0;
}

// getCallbackPresolve<what>(first=None, last=None): a list over first..last (default: every row
// or column), or None when the library has no such values.
template <class M, auto Get, bool Rows>
PyObject *presolveMember(problem_s *p, PyObject *args, PyObject *kwargs, const char *lib) {
    PyObject *firstObj = Py_None, *lastObj = Py_None;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw(), &firstObj,
                                   &lastObj))
        return nullptr;
    int count = 0;
    if (problem_intAttrib(p, Rows ? NVRA_ATTR_ROWS : NVRA_ATTR_COLS, &count) != 0) return nullptr;
    int first = 0, last = count - 1;
    if (readIndex(firstObj, &first) != 0 || readIndex(lastObj, &last) != 0) return nullptr;
    if (last < first) return PyList_New(0);
    LibArray<double> values(static_cast<size_t>(last - first + 1));
    int available = 0;
    if (!values || problem_call(p, Get, lib, &available, values.get(), first, last) != 0)
        return nullptr;
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

#define NVRA_CALLBACK_NVRA(number, kind)                                                           \
    PyObject *NVRA_PY_addcb##kind(problem_s *p, PyObject *args, PyObject *kwargs) {                \
        return addMember<api_addcb##kind, number>(p, args, kwargs);                                \
    }                                                                                              \
    PyObject *NVRA_PY_removecb##kind(problem_s *p, PyObject *args, PyObject *kwargs) {             \
        return removeMember<api_removecb##kind, number>(p, args, kwargs);                          \
    }
#define NVRA_CALLBACK_NSLP(number, kind)                                                           \
    PyObject *NVRA_PY_setcb##kind(problem_s *p, PyObject *args, PyObject *kwargs) {                \
        return addMember<api_setcb##kind, number>(p, args, kwargs);                                \
    }
#define NVRA_CALLBACK(number, kind, KIND, interface, honoured, doc)                                \
    NVRA_CALLBACK_##interface(number, kind)
#include "nvra_callbacks.def"
#undef NVRA_CALLBACK_NVRA
#undef NVRA_CALLBACK_NSLP

PyObject *NVRA_PY_copycallbacks(problem_s *p, PyObject *args, PyObject *kwargs) {
    using M = api_copycallbacks;
    PyObject *src = nullptr;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw(), &src) ||
        !problem_Check(src) || !as_problem(src)->prob) {
        PyErr_Clear();
        PyErr_SetString(nvy_interf_exc,
                        "copycallbacks() must be called with the source problem as argument");
        return nullptr;
    }
    if (copyCallbacks(p, as_problem(src)) != 0) return nullptr;
    Py_RETURN_NONE;
}

PyObject *NVRA_PY_getCallbackPresolveSolution(problem_s *p, PyObject *args, PyObject *kwargs) {
    return presolveMember<api_getCallbackPresolveSolution, NVRAgetcallbackpresolvesolution, false>(
        p, args, kwargs, "NVRAgetcallbackpresolvesolution");
}
PyObject *NVRA_PY_getCallbackPresolveSlacks(problem_s *p, PyObject *args, PyObject *kwargs) {
    return presolveMember<api_getCallbackPresolveSlacks, NVRAgetcallbackpresolveslacks, true>(
        p, args, kwargs, "NVRAgetcallbackpresolveslacks");
}
PyObject *NVRA_PY_getCallbackPresolveDuals(problem_s *p, PyObject *args, PyObject *kwargs) {
    return presolveMember<api_getCallbackPresolveDuals, NVRAgetcallbackpresolveduals, true>(
        p, args, kwargs, "NVRAgetcallbackpresolveduals");
}
PyObject *NVRA_PY_getCallbackPresolveRedCosts(problem_s *p, PyObject *args, PyObject *kwargs) {
    return presolveMember<api_getCallbackPresolveRedCosts, NVRAgetcallbackpresolveredcosts, false>(
        p, args, kwargs, "NVRAgetcallbackpresolveredcosts");
}

PyMethodDef nvr_api_callback_methods[] = {
#define NVR_API_STAGE 2
#include "api/expand.inc"
    {nullptr, nullptr, 0, nullptr},
};

const ApiMemberInfo nvr_api_callback_info[] = {
#define NVR_API_STAGE 3
#include "api/expand.inc"
    {nullptr, nullptr, nullptr, nullptr},
};
