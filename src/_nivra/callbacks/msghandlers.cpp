// callbacks/msghandlers.cpp: Python message handlers of the library's global environment
// (addcbmsghandler, removecbmsghandler).
#include "msghandlers.h"

#include "generic.h"
#include "runtime/env.h"
#include "runtime/errors.h"
#include "runtime/ref.h"

namespace {

// Calls a Python handler registered with addcbmsghandler; entry is its [handler, data] list.
int wrapper_msghandler(NVRAobject obj, void *entry, void *thread, const char *msg, int msgtype,
                       int msgcode) {
    PyGILState_STATE g = PyGILState_Ensure();
    int rc = 0;
    if (!PyErr_Occurred()) {
        PyObject *e = static_cast<PyObject *>(entry);
        if (!PyList_Check(e) || PyList_GET_SIZE(e) != 2) {
            PyErr_SetString(nvy_interf_exc,
                            "Incorrect general environment message handler detected");
            rc = -1;
        } else {
            Ref handler = Ref::borrow(PyList_GET_ITEM(e, 0));
            Ref data = Ref::borrow(PyList_GET_ITEM(e, 1));
            Ref pyobj = Ref::steal(nvraobject_create(obj));
            Ref pythread = pyobj ? Ref::steal(voidstar_create(thread)) : Ref();
            if (pythread) {
                Ref r = Ref::steal(PyObject_CallFunction(handler.get(), "(OOOsll)", pyobj.get(),
                                                         data.get(), pythread.get(), msg ? msg : "",
                                                         (long)msgtype, (long)msgcode));
            }
        }
    }
    PyGILState_Release(g);
    return rc;
}

} // namespace

PyObject *nivramod_addcbmsghandler(PyObject *, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"msghandler", "data", "priority", nullptr};
    PyObject *handler, *data;
    long priority;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OOl", const_cast<char **>(kw), &handler, &data,
                                     &priority)) {
        PyErr_Clear();
        PyErr_SetString(nvy_interf_exc, "Incorrect arguments in addcbmsghandler. Must provide "
                                        "correct list of three arguments");
        return nullptr;
    }
    Ref entry = Ref::steal(PyList_New(2));
    if (!entry) return nullptr;
    PyList_SET_ITEM(entry.get(), 0, Py_NewRef(handler));
    PyList_SET_ITEM(entry.get(), 1, Py_NewRef(data));
    if (turnNVRAon(nullptr, 0) != 0) return nullptr;
    if (PyList_Append(nvr_py_env.msghandlers, entry.get()) != 0) return nullptr;
    if (NVRA_ge_addcbmsghandler(wrapper_msghandler, entry.get(), (int)priority) != 0) {
        Py_ssize_t n = PyList_GET_SIZE(nvr_py_env.msghandlers);
        PyList_SetSlice(nvr_py_env.msghandlers, n - 1, n, nullptr);
        setNvraErr(nullptr);
        return nullptr;
    }
    Py_RETURN_NONE;
}

PyObject *nivramod_removecbmsghandler(PyObject *, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"msghandler", "data", nullptr};
    PyObject *handler, *data;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OO", const_cast<char **>(kw), &handler,
                                     &data)) {
        PyErr_Clear();
        PyErr_SetString(nvy_interf_exc, "Incorrect arguments in removecbmsghandler. Must "
                                        "provide correct list of two arguments");
        return nullptr;
    }
    PyObject *list = nvr_py_env.msghandlers;
    const bool named = handler != Py_None || data != Py_None;
    if (PyList_GET_SIZE(list) == 0) {
        if (!named) Py_RETURN_NONE;
        PyErr_SetString(nvy_interf_exc, "Cannot remove callback from an empty set");
        return nullptr;
    }
    bool found = false;
    for (Py_ssize_t i = PyList_GET_SIZE(list) - 1; i >= 0; --i) {
        Ref entry = Ref::borrow(PyList_GET_ITEM(list, i));
        if (!PyList_Check(entry.get()) || PyList_GET_SIZE(entry.get()) != 2) {
            PyErr_SetString(nvy_interf_exc, "Incorrect data stored in callback");
            return nullptr;
        }
        if ((handler != Py_None && PyList_GET_ITEM(entry.get(), 0) != handler) ||
            (data != Py_None && PyList_GET_ITEM(entry.get(), 1) != data))
            continue;
        found = true;
        if (nvr_py_env.start_count > 0 &&
            NVRA_ge_removecbmsghandler(wrapper_msghandler, entry.get()) != 0) {
            setNvraErr(nullptr);
            return nullptr;
        }
        if (PyList_SetSlice(list, i, i + 1, nullptr) != 0) return nullptr;
    }
    if (!found) {
        PyErr_SetString(nvy_interf_exc, "Callback not found");
        return nullptr;
    }
    Py_RETURN_NONE;
}

PyMethodDef nvr_callbacks_methods[] = {
    {"addcbmsghandler", nvr_method(nivramod_addcbmsghandler), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("addcbmsghandler(msghandler, data, priority): add a global message handler, "
               "called as msghandler(object, data, thread, message, type, number)")},
    {"removecbmsghandler", nvr_method(nivramod_removecbmsghandler), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("removecbmsghandler(msghandler, data): remove global message handlers; None "
               "matches any")},
    {nullptr, nullptr, 0, nullptr},
};
