// controls/names.cpp: the control and attribute name tables, built once from the library's
// lists, the normalisation of names, and the resolution of keys to table entries.
#include "names.h"

#include <climits>
#include <cstring>

#include "control.h"
#include "runtime/env.h"
#include "runtime/errors.h"
#include "runtime/ref.h"
#include "nslp.h"
#include "nvra.h"

namespace {

// At most this many characters of a library name are used.
constexpr size_t kMaxListedName = 128;

enum class Case { kLower, kUpper, kMixed };

Case caseOf(const char *s, Py_ssize_t n) {
    bool lower = true, upper = true;
    for (Py_ssize_t i = 0; i < n; ++i) {
        const char c = s[i];
        const bool common = (c >= '0' && c <= '9') || c == '_';
        lower = lower && (common || (c >= 'a' && c <= 'z'));
        upper = upper && (common || (c >= 'A' && c <= 'Z'));
    }
    return lower ? Case::kLower : upper ? Case::kUpper : Case::kMixed;
}

// str of the n bytes of s with ASCII upper-case letters lowered. New reference or null.
PyObject *asciiLower(const char *s, Py_ssize_t n) {
    char buf[kMaxCaNameLength];
    for (Py_ssize_t i = 0; i < n; ++i)
        buf[i] = (s[i] >= 'A' && s[i] <= 'Z') ? static_cast<char>(s[i] - 'A' + 'a') : s[i];
    return PyUnicode_FromStringAndSize(buf, n);
}

const char *missMessage(int control) {
    return control ? "Incorrect control name" : "Incorrect attribute name";
}

// ---- building the tables ------------------------------------------------------------------------

// The temporary problems whose lists and default values fill the tables (nl null when the
// nonlinear solver is not available).
struct TempProblems {
    NVRAprob prob = nullptr;
    NSLPprob nl = nullptr;
};

// A control's value read from a fresh problem as a Python object, or null (no exception) when
// the library cannot read it.
PyObject *readDefault(const TempProblems &t, int solver, int id, int type) {
    if (solver == kSolverOptimizer) {
        switch (type) {
        case kParamInt: {
            int64_t v = 0;
            return NVRAgetintcontrol64(t.prob, id, &v) == 0 ? PyLong_FromLongLong(v) : nullptr;
        }
        case kParamDouble: {
            double v = 0.0;
            return NVRAgetdblcontrol(t.prob, id, &v) == 0 ? PyFloat_FromDouble(v) : nullptr;
        }
        default: {
            char buf[NVRA_MAXSTRINGLENGTH] = "";
            return NVRAgetstrcontrol(t.prob, id, buf) == 0 ? PyUnicode_FromString(buf) : nullptr;
        }
        }
    }
    switch (type) {
    case kParamInt: {
        int v = 0;
        return NSLPgetintcontrol(t.nl, id, &v) == 0 ? PyLong_FromLong(v) : nullptr;
    }
    case kParamDouble: {
        double v = 0.0;
        return NSLPgetdblcontrol(t.nl, id, &v) == 0 ? PyFloat_FromDouble(v) : nullptr;
    }
    default: {
        char buf[NVRA_MAXSTRINGLENGTH] = "";
        return NSLPgetstrcontrol(t.nl, id, buf) == 0 ? PyUnicode_FromString(buf) : nullptr;
    }
    }
}

// Value type of an optimizer list entry from its flags.
int optimizerType(int flags) {
    return (flags & NVRA_CA_INT)      ? kParamInt
           : (flags & NVRA_CA_DOUBLE) ? kParamDouble
                                      : kParamString;
}

// Value type of a nonlinear list entry from the flags its name has (kParamNone: not exposed).
int nonlinearType(int flags) {
    if (flags & NSLP_CA_HIDDEN) return kParamNone;
    if (flags & NSLP_CA_INT) return kParamInt;
    if (flags & NSLP_CA_DOUBLE) return kParamDouble;
    if (flags & NSLP_CA_STRING) return kParamString;
    return kParamNone;
}

// Adds one listed entry to the tables. A name already taken by an earlier list keeps that
// list's entry: the optimizer's list is read first, so its names always reach the optimizer.
// 0, or -1 with an exception.
int addEntry(const TempProblems &t, const CaEntry &e, const char *name, bool isControl) {
    Ref lowered =
        Ref::steal(asciiLower(name, static_cast<Py_ssize_t>(strnlen(name, kMaxListedName))));
    Ref entry = Ref::steal(Py_BuildValue("(iii)", e.id, e.type, e.solver));
    if (!lowered || !entry) return -1;
    PyObject *table = isControl ? nvr_py_env.control_table : nvr_py_env.attribute_table;
    const int taken = PyDict_Contains(table, lowered.get());
    if (taken != 0) return taken < 0 ? -1 : 0;
    if (!isControl) return PyDict_SetItem(table, lowered.get(), entry.get());
    Ref value = Ref::steal(readDefault(t, e.solver, e.id, e.type));
    if (!value) return PyErr_Occurred() ? -1 : 0; // a control that cannot be read stays hidden
    PyObject *defaults = control_own_dict(nvr_py_env.module_controls);
    if (PyDict_SetItem(table, lowered.get(), entry.get()) != 0) return -1;
    return PyDict_SetItem(defaults, lowered.get(), value.get());
}

int listError() {
    PyErr_SetString(PyExc_RuntimeError, "Could not get control/attribute list from Nivra");
    return -1;
}

// Walks the optimizer's list into the tables. 0, or -1 with an exception.
int fillOptimizerList(const TempProblems &t) {
    const int *ids = nullptr, *flags = nullptr;
    const char *const *names = nullptr;
    if (NVRAgetcalist_c(t.prob, nullptr, &ids, &names, &flags) != 0 || !ids || !names || !flags)
        return listError();
    for (int i = 0; ids[i] != 0 && names[i]; ++i) {
        const CaEntry e{ids[i], optimizerType(flags[i]), kSolverOptimizer};
        if (addEntry(t, e, names[i], flags[i] & NVRA_CA_CONTROL) != 0) return -1;
    }
    return 0;
}

// Walks one of the nonlinear solver's lists (kind 1 or 2) into the tables; its first entry is
// a header. Each entry is classified by the flags the solver gives its name. 0, or -1.
int fillNonlinearList(const TempProblems &t, int kind) {
    using ListFn = int (*)(NSLPprob, int *, const int **, const char *const **, const int **);
    const ListFn list = kind == kSolverNonlinear ? NSLPgetcalist : NSLPgetIPMcalist;
    const int *ids = nullptr, *flags = nullptr;
    const char *const *names = nullptr;
    if (list(t.nl, nullptr, &ids, &names, &flags) != 0 || !ids || !names || !flags)
        return listError();
    for (int i = 1; names[i] && names[i][0]; ++i) {
        int id = 0, codeFlags = 0;
        if (NSLPcontrolcode(&id, names[i], &codeFlags) != 0) return listError();
        const CaEntry e{ids[i], nonlinearType(codeFlags), kind};
        if (e.type == kParamNone) continue;
        if (addEntry(t, e, names[i], codeFlags & NSLP_CA_CONTROL) != 0) return -1;
    }
    return 0;
}

// Starts the nonlinear solver for the table build and records whether it is available.
// true when it started (and must be released).
bool startNonlinear() {
    if (nvr_py_env.nonlinear_available == 0) return false;
    const bool started = NSLPinit(nullptr) == 0;
    if (nvr_py_env.nonlinear_available < 0) nvr_py_env.nonlinear_available = started;
    return started;
}

int fillLists(TempProblems &t, bool nonlinear) {
    if (NVRAcreateprob(&t.prob) != 0 || (nonlinear && NSLPcreateprob(&t.nl, t.prob) != 0)) {
        PyErr_SetString(PyExc_RuntimeError, "Could not create temporary problem");
        return -1;
    }
    if (fillOptimizerList(t) != 0) return -1;
    if (!nonlinear) return 0;
    if (fillNonlinearList(t, kSolverNonlinear) != 0) return -1;
    return fillNonlinearList(t, kSolverNonlinearIpm);
}

int buildTables() {
    if (NVRAinit(nullptr) != 0) {
        PyErr_SetString(PyExc_RuntimeError, "Error initializing optimization environment");
        return -1;
    }
    const bool nonlinear = startNonlinear();
    TempProblems t;
    const int rc = fillLists(t, nonlinear);
    if (t.nl) NSLPdestroyprob(t.nl);
    if (t.prob) NVRAdestroyprob(t.prob);
    if (nonlinear) NSLPfree();
    NVRAfree();
    return rc;
}

void clearTables() {
    PyDict_Clear(nvr_py_env.control_table);
    PyDict_Clear(nvr_py_env.attribute_table);
    PyDict_Clear(control_own_dict(nvr_py_env.module_controls));
}

} // namespace

PyObject *to_lowercase_all(PyObject *name) {
    Py_ssize_t n = 0;
    const char *s = PyUnicode_Check(name) ? PyUnicode_AsUTF8AndSize(name, &n) : nullptr;
    if (!s) {
        if (!PyErr_Occurred())
            PyErr_SetString(nvy_interf_exc, "Control name cannot be interpreted as string");
        return nullptr;
    }
    if (n > kMaxCaNameLength)
        return nvr_model_error("Control or attribute name is too long"), nullptr;
    switch (caseOf(s, n)) {
    case Case::kLower:
        if (PyUnicode_CheckExact(name)) return Py_NewRef(name);
        return PyUnicode_FromStringAndSize(s, n);
    case Case::kUpper:
        return asciiLower(s, n);
    case Case::kMixed:
        break;
    }
    nvr_model_error("Control or attribute is neither all-lower nor all-upper case");
    return nullptr;
}

int PyDict_GetItem_LowerCaseKey(PyObject *dict, PyObject *key, PyObject **value) {
    *value = nullptr;
    Ref norm = Ref::steal(to_lowercase_all(key));
    if (!norm) return -1;
    *value = PyDict_GetItemWithError(dict, norm.get());
    return (*value || !PyErr_Occurred()) ? 0 : -1;
}

bool ca_entry_from_tuple(PyObject *tuple, CaEntry *entry) {
    if (!tuple || !PyTuple_Check(tuple) || PyTuple_GET_SIZE(tuple) != 3) return false;
    entry->id = PyLong_AsLong(PyTuple_GET_ITEM(tuple, 0));
    entry->type = PyLong_AsLong(PyTuple_GET_ITEM(tuple, 1));
    entry->solver = PyLong_AsLong(PyTuple_GET_ITEM(tuple, 2));
    return !PyErr_Occurred();
}

int ctrl_type_from_id(int id, int *type) {
    const int *ids = nullptr, *flags = nullptr;
    const char *const *names = nullptr;
    if (NVRAgetcalist_d(nullptr, &ids, &names, &flags) != 0 || !ids || !names || !flags)
        return nvr_model_error("Internal error: failed to get control list");
    for (int i = 0; names[i]; ++i) {
        if (ids[i] != id) continue;
        switch (flags[i] & (NVRA_CA_INT | NVRA_CA_DOUBLE | NVRA_CA_STRING)) {
        case NVRA_CA_INT:
            *type = kParamInt;
            return 0;
        case NVRA_CA_DOUBLE:
            *type = kParamDouble;
            return 0;
        case NVRA_CA_STRING:
            *type = kParamString;
            return 0;
        default:
            PyErr_Format(nvy_interf_exc, "Unknown control type %d", flags[i]);
            return -1;
        }
    }
    PyErr_Format(nvy_interf_exc, "Unknown control ID %d", id);
    return -1;
}

int ctrl_attr_lookup(PyObject *table, PyObject *key, int control, CaEntry *entry,
                     PyObject **outkey) {
    *outkey = nullptr;
    if (PyLong_Check(key)) {
        int overflow = 0;
        const long id = PyLong_AsLongAndOverflow(key, &overflow);
        if (id == -1 && PyErr_Occurred()) return -1;
        if (overflow || id < INT_MIN || id > INT_MAX) {
            PyErr_Format(nvy_interf_exc, "Unknown control ID %R", key);
            return -1;
        }
        entry->id = static_cast<int>(id);
        entry->solver = kSolverOptimizer;
        if (ctrl_type_from_id(entry->id, &entry->type) != 0) return -1;
        *outkey = Py_NewRef(key);
        return 0;
    }
    if (!PyUnicode_Check(key)) {
        PyErr_SetString(nvy_interf_exc, missMessage(control));
        return -1;
    }
    Ref norm = Ref::steal(to_lowercase_all(key));
    if (!norm) return -1;
    PyObject *tuple = PyDict_GetItemWithError(table, norm.get());
    if (!ca_entry_from_tuple(tuple, entry)) {
        if (!PyErr_Occurred()) PyErr_SetString(nvy_interf_exc, missMessage(control));
        return -1;
    }
    *outkey = norm.release();
    return 0;
}

int ctrl_attr_fill_typeobj() {
    if (PyDict_GET_SIZE(nvr_py_env.attribute_table) != 0) return 0;
    if (buildTables() != 0) {
        AutoSavedException keep;
        clearTables();
        return -1;
    }
    return ctrl_module_own_defaults(nullptr);
}

int ctrl_module_own_defaults(PyObject *name) {
    // The nonlinear solver's post-solve control is on by default for every problem of this
    // module; it is recorded only where that solver exists, since a module default that the
    // control table lacks would make every problem creation fail. Forgetting the module
    // defaults brings it back, so that the module-level object and new problems agree.
    Ref postsolve = Ref::steal(PyUnicode_FromString("nslp_postsolve"));
    if (!postsolve) return -1;
    if (name && PyUnicode_Compare(name, postsolve.get()) != 0) return PyErr_Occurred() ? -1 : 0;
    const int known = PyDict_Contains(nvr_py_env.control_table, postsolve.get());
    if (known <= 0) return known;
    Ref one = Ref::steal(PyLong_FromLong(1));
    if (!one) return -1;
    PyObject *defaults = control_own_dict(nvr_py_env.module_controls);
    if (PyDict_SetItem(defaults, postsolve.get(), one.get()) != 0) return -1;
    return PyDict_SetItem(nvr_py_env.default_control_values, postsolve.get(), one.get());
}
