// runtime/errors.cpp: error report, saved exceptions, deprecation warnings, SIGINT bracket.
#include "errors.h"

#include <csignal>
#include <cstring>

#include "calllib.h"
#include "env.h"
#include "problem_lib.h"

void SavedException::restore() {
    if (!type) return;
    PyErr_Restore(type, value, traceback);
    type = value = traceback = nullptr;
    handle = nullptr;
}

void SavedException::clear() {
    Py_CLEAR(type);
    Py_CLEAR(value);
    Py_CLEAR(traceback);
    handle = nullptr;
}

PyObject *nvr_exception_text(PyObject *type, PyObject *value) {
    PyObject *src = value ? value : type;
    if (!src) return PyUnicode_FromString("(none)");
    PyObject *s = PyObject_Str(src);
    if (!s) {
        PyErr_Clear();
        return PyUnicode_FromString("(error)");
    }
    return s;
}

static void raiseWithText(PyObject *exc, const char *msg, const char *fallback) {
    PyErr_SetString(exc, (msg && *msg) ? msg : fallback);
}

void setNvraErr(problem_lib_s *p) {
    if (PyErr_Occurred()) return;
    char msg[512] = "";
    if (!p) {
        int code = 0;
        NVRA_ge_getlasterror(&code, msg, sizeof msg, nullptr);
        if (code == 0 && !*msg)
            strcpy(msg, "Unidentified error associated with the global environment");
        PyErr_SetString(nvy_interf_exc, msg);
        return;
    }
    int code = 0;
    if (p->prob) nvraapi::CallLib(NVRAgetlasterror, "NVRAgetlasterror", p, msg, (int)sizeof msg);
    if (!*msg && nvr_py_env.nonlinear_available && p->nlprob) {
        nvraapi::CallLib(NSLPgetlasterror, "NSLPgetlasterror", p, &code, msg);
        if (code && !*msg) snprintf(msg, sizeof msg, "Nonlinear solver error %d", code);
    }
    if (PyErr_Occurred()) return;
    raiseWithText(nvy_solver_exc, msg, "Unidentified error associated with optimization problem");
}

int checkProblemIsInitialized(const problem_lib_s *p) {
    if (p && p->prob) return 0;
    return nvr_model_error("Problem is not initialized");
}

static SavedException *slotOf(problem_lib_s *p) {
    if (!p) return nullptr;
    if (p->parent) p = p->parent;
    return p->saved_exc;
}

// Takes the pending exception aside and issues "fmt" as a RuntimeWarning with its text.
static void warnDropped(const char *fmt, const char *name) {
    PyObject *type, *value, *tb;
    PyErr_Fetch(&type, &value, &tb);
    PyErr_NormalizeException(&type, &value, &tb);
    PyObject *text = nvr_exception_text(type, value);
    Py_XDECREF(type);
    Py_XDECREF(value);
    Py_XDECREF(tb);
    if (!text) {
        PyErr_Clear();
        return;
    }
    const char *utf8 = PyUnicode_AsUTF8(text);
    if (!utf8 || PyErr_WarnFormat(PyExc_RuntimeWarning, 1, fmt, name, utf8) < 0) PyErr_Clear();
    Py_DECREF(text);
}

int saveException(problem_lib_s *problem, const char *name, NVRAprob handle) {
    if (!PyErr_Occurred()) return 0;
    SavedException *slot = slotOf(problem);
    if (slot && slot->empty()) {
        PyErr_Fetch(&slot->type, &slot->value, &slot->traceback);
        slot->handle = handle;
        return 1;
    }
    warnDropped(slot ? "Exception masked by another exception in %s: %s"
                     : "Unhandled exception in %s: %s",
                name);
    return 0;
}

void handleSavedException(problem_lib_s *problem, int rc) {
    SavedException *slot = slotOf(problem);
    if (!slot || slot->empty() || slot->handle != problem->prob) return;
    if (rc != 0 && problem->prob) {
        char msg[512] = "";
        NVRAgetlasterror(problem->prob, msg, sizeof msg);
        if (*msg && PyErr_WarnFormat(PyExc_RuntimeWarning, 1,
                                     "Exception masked by another exception: %s", msg) < 0)
            PyErr_Clear();
    }
    slot->restore();
}

int warnDeprec(int major, int minor, const char *text) {
    return PyErr_WarnFormat(nvy_deprec_warn, 1, "Deprecated in Nivra %d.%d: %s", major, minor,
                            text) < 0
               ? -1
               : 0;
}

static int sigint_depth = 0;
static struct sigaction sigint_saved;

void setSigIntHandler() {
    if (sigint_depth++ == 0) {
        struct sigaction dfl;
        memset(&dfl, 0, sizeof dfl);
        dfl.sa_handler = SIG_DFL;
        sigemptyset(&dfl.sa_mask);
        dfl.sa_flags = 0;
        sigaction(SIGINT, &dfl, &sigint_saved);
    }
}

void resetSigIntHandler() {
    if (sigint_depth > 0 && --sigint_depth == 0) sigaction(SIGINT, &sigint_saved, nullptr);
}
