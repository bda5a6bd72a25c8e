// callbacks/register.cpp: registering and removing Python callbacks, one list of entries per
// kind on the problem.
#include "register.h"

#include "entry.h"
#include "trampolines.h"
#include "runtime/env.h"
#include "runtime/errors.h"
#include "runtime/ref.h"

int callbackInList(problem_s *p, int kind, PyObject *callable, PyObject *data, long priority) {
    if (kind < 0 || kind >= kNumCallbackKinds)
        return nvr_raise(nvy_interf_exc, "Incorrect callback function");
    if (checkProblemIsInitialized(p) != 0) return -1;
    const CallbackKind &k = kCallbackKinds[kind];
    // The nonlinear solver takes registrations during a solve, but an entry made here would
    // name the problem object of this one call, gone when the call ends.
    if (k.nonlinear && p->parent)
        return nvr_raise_lib_error(NVRA_RC_BUSY,
                                   "The problem is being solved: its callbacks cannot be "
                                   "changed until the solve ends",
                                   false);
    if (k.nonlinear && !p->nlprob)
        return nvr_raise(nvy_interf_exc,
                         "Nonlinear callbacks are not available: the problem has no nonlinear "
                         "problem (the nonlinear solver could not be started)");
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
