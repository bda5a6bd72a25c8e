// runtime/errors.cpp: the exception classes, the error report (library failures as Python
// exceptions), saved exceptions, deprecation warnings, SIGINT bracket.
#include "errors.h"

#include <csignal>
#include <cstring>

#include "env.h"
#include "nslp.h"
#include "problem_lib.h"
#include "ref.h"

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

// ---- exception classes --------------------------------------------------------------------------

PyObject *nvy_model_exc;
PyObject *nvy_interf_exc;
PyObject *nvy_solver_exc;
PyObject *nvy_deprec_warn;

namespace {

// The exception class of each library return code. A row with a class name has a class of its
// own, a subclass of SolverError and of the built-in class named; the other codes raise
// SolverError. A failure of the global environment raises InterfaceError instead, unless its
// row says everywhere (out of memory is a MemoryError wherever it happens).
struct CodeClass {
    int code;
    const char *name;      // the exception's errorname
    const char *className; // nivra.<className>, or null
    PyObject **builtin;    // the built-in class it also derives from, or null
    bool everywhere;
    const char *doc;
    PyObject *cls; // made at import
};

CodeClass codeClasses[] = {
    {NVRA_RC_ERROR, "NVRA_RC_ERROR", nullptr, nullptr, false, nullptr, nullptr},
    {NVRA_RC_MISUSE, "NVRA_RC_MISUSE", nullptr, nullptr, false, nullptr, nullptr},
    {NVRA_RC_NOMEM, "NVRA_RC_NOMEM", "SolverMemoryError", &PyExc_MemoryError, true,
     "The optimizer library ran out of memory.", nullptr},
    {NVRA_RC_RANGE, "NVRA_RC_RANGE", "SolverIndexError", &PyExc_IndexError, false,
     "An index or count passed to the optimizer library is out of range.", nullptr},
    {NVRA_RC_INVALID, "NVRA_RC_INVALID", "SolverValueError", &PyExc_ValueError, false,
     "An argument passed to the optimizer library has an invalid value.", nullptr},
    {NVRA_RC_UNSUPPORTED, "NVRA_RC_UNSUPPORTED", "NotSupportedError", &PyExc_NotImplementedError,
     false, "The optimizer library does not support this problem class or feature.", nullptr},
    {NVRA_RC_FILE, "NVRA_RC_FILE", "SolverFileError", &PyExc_OSError, false,
     "The optimizer library could not read or write a file.", nullptr},
    {NVRA_RC_ENGINE, "NVRA_RC_ENGINE", nullptr, nullptr, false, nullptr, nullptr},
    {NVRA_RC_BUSY, "NVRA_RC_BUSY", "BusyError", nullptr, false,
     "The problem is being solved: it cannot be changed until the solve ends (for example "
     "from a callback).",
     nullptr},
    {NVRA_RC_NOTAVAILABLE, "NVRA_RC_NOTAVAILABLE", nullptr, nullptr, false, nullptr, nullptr},
};

const CodeClass *rowOf(int code) {
    for (const CodeClass &row : codeClasses)
        if (row.code == code) return &row;
    return nullptr;
}

PyObject *classOf(const CodeClass *row, bool global) {
    if (row && row->cls && (row->everywhere || !global)) return row->cls;
    return global ? nvy_interf_exc : nvy_solver_exc;
}

int addClass(PyObject *module, const char *name, PyObject *cls) {
    return cls ? PyModule_AddObjectRef(module, name, cls) : -1;
}

} // namespace

int nvr_create_exceptions(PyObject *module) {
    nvy_model_exc = PyErr_NewExceptionWithDoc(
        "nivra.ModelError",
        "Misuse of the modelling layer: an operand, argument or object that cannot make the "
        "model asked for.",
        PyExc_Exception, nullptr);
    nvy_interf_exc = PyErr_NewExceptionWithDoc(
        "nivra.InterfaceError",
        "Misuse of the interface, data from NumPy or SciPy that cannot be passed on, or an "
        "internal inconsistency.",
        PyExc_Exception, nullptr);
    nvy_solver_exc = PyErr_NewExceptionWithDoc(
        "nivra.SolverError",
        "A failure of the optimizer library; errorcode and errorname give the library's code.",
        PyExc_Exception, nullptr);
    nvy_deprec_warn = PyErr_NewExceptionWithDoc(
        "nivra.DeprecationWarning",
        "Warns of a deprecated function or argument; the warning names what to use instead.",
        PyExc_FutureWarning, nullptr);
    if (addClass(module, "ModelError", nvy_model_exc) != 0 ||
        addClass(module, "InterfaceError", nvy_interf_exc) != 0 ||
        addClass(module, "SolverError", nvy_solver_exc) != 0 ||
        addClass(module, "DeprecationWarning", nvy_deprec_warn) != 0)
        return -1;
    for (CodeClass &row : codeClasses) {
        if (!row.className) continue;
        Ref bases = Ref::steal(row.builtin ? PyTuple_Pack(2, nvy_solver_exc, *row.builtin)
                                           : PyTuple_Pack(1, nvy_solver_exc));
        Ref qualified = Ref::steal(PyUnicode_FromFormat("nivra.%s", row.className));
        const char *dotted = qualified ? PyUnicode_AsUTF8(qualified.get()) : nullptr;
        if (!bases || !dotted) return -1;
        row.cls = PyErr_NewExceptionWithDoc(dotted, row.doc, bases.get(), nullptr);
        if (addClass(module, row.className, row.cls) != 0) return -1;
    }
    return 0;
}

void nvr_free_exceptions() {
    for (CodeClass &row : codeClasses)
        Py_CLEAR(row.cls);
    Py_CLEAR(nvy_model_exc);
    Py_CLEAR(nvy_interf_exc);
    Py_CLEAR(nvy_solver_exc);
    Py_CLEAR(nvy_deprec_warn);
}

// ---- library failures
// -----------------------------------------------------------------------------

void nvr_lib_last_error(const problem_lib_s *p, int *code, char *msg, int size) {
    *code = 0;
    *msg = '\0';
    if (!p) {
        NVRA_ge_getlasterror(code, msg, size, nullptr);
        return;
    }
    if (p->prob) {
        NVRAgetlasterrorcode(p->prob, code);
        NVRAgetlasterror(p->prob, msg, size);
    }
    if (*msg || *code || nvr_py_env.nonlinear_available <= 0 || !p->nlprob) return;
    char nlmsg[NVRA_MAXMESSAGELENGTH] = "";
    NSLPgetlasterror(p->nlprob, code, nlmsg);
    if (*nlmsg)
        snprintf(msg, static_cast<size_t>(size), "%s", nlmsg);
    else if (*code)
        snprintf(msg, static_cast<size_t>(size), "Nonlinear solver error %d", *code);
}

int nvr_raise_lib_error(int code, const char *msg, bool global) {
    const CodeClass *row = rowOf(code);
    PyObject *cls = classOf(row, global);
    Ref text =
        Ref::steal(PyUnicode_DecodeUTF8(msg, static_cast<Py_ssize_t>(strlen(msg)), "replace"));
    Ref exc = Ref::steal(text ? PyObject_CallOneArg(cls, text.get()) : nullptr);
    Ref codeObj = Ref::steal(PyLong_FromLong(code));
    Ref name = Ref::steal(PyUnicode_FromString(row ? row->name : "NVRA_RC_UNKNOWN"));
    if (!exc || !codeObj || !name ||
        PyObject_SetAttrString(exc.get(), "errorcode", codeObj.get()) != 0 ||
        PyObject_SetAttrString(exc.get(), "errorname", name.get()) != 0)
        return -1;
    PyErr_SetObject(cls, exc.get());
    return -1;
}

int setNvraErr(problem_lib_s *p) {
    if (PyErr_Occurred()) return -1;
    int code = 0;
    char msg[NVRA_MAXMESSAGELENGTH];
    nvr_lib_last_error(p, &code, msg, sizeof msg);
    if (!*msg)
        snprintf(msg, sizeof msg, "%s",
                 p ? "Unidentified error associated with optimization problem"
                   : "Unidentified error associated with the global environment");
    return nvr_raise_lib_error(code, msg, p == nullptr);
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

bool holdsSavedException(problem_lib_s *problem) {
    const SavedException *slot = slotOf(problem);
    return slot && !slot->empty();
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
    // A problem made for a callback shares the handle of the problem being solved: an exception
    // in the slot belongs to the solve, raised by the call that started it, not to a query the
    // callback makes.
    if (problem->parent) return;
    SavedException *slot = slotOf(problem);
    if (!slot || slot->empty() || slot->handle != problem->prob) return;
    if (rc != 0) {
        int code = 0;
        char msg[NVRA_MAXMESSAGELENGTH];
        nvr_lib_last_error(problem, &code, msg, sizeof msg);
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
