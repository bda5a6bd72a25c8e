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

// The value of control id of a fresh problem as a Python object, or null (no exception) when
// the library cannot read it.
PyObject *readDefault(NVRAprob prob, int id, int type) {
    switch (type) {
    case kParamInt: {
        int64_t v = 0;
        return NVRAgetintcontrol64(prob, id, &v) == 0 ? PyLong_FromLongLong(v) : nullptr;
    }
    case kParamDouble: {
        double v = 0.0;
        return NVRAgetdblcontrol(prob, id, &v) == 0 ? PyFloat_FromDouble(v) : nullptr;
    }
    default: {
        char buf[NVRA_MAXSTRINGLENGTH] = "";
        return NVRAgetstrcontrol(prob, id, buf) == 0 ? PyUnicode_FromString(buf) : nullptr;
    }
    }
}

// Adds one listed entry to the tables. 0, or -1 with an exception.
int addEntry(NVRAprob prob, int id, const char *name, int flags) {
    const bool isControl = flags & NVRA_CA_CONTROL;
    const int type = (flags & NVRA_CA_INT)      ? kParamInt
                     : (flags & NVRA_CA_DOUBLE) ? kParamDouble
                                                : kParamString;
    Ref lowered =
        Ref::steal(asciiLower(name, static_cast<Py_ssize_t>(strnlen(name, kMaxListedName))));
    Ref entry = Ref::steal(Py_BuildValue("(iii)", id, type, int{kSolverOptimizer}));
    if (!lowered || !entry) return -1;
    if (!isControl) return PyDict_SetItem(nvr_py_env.attribute_table, lowered.get(), entry.get());
    Ref value = Ref::steal(readDefault(prob, id, type));
    if (!value) return PyErr_Occurred() ? -1 : 0; // a control that cannot be read stays hidden
    PyObject *defaults = control_own_dict(nvr_py_env.module_controls);
    if (PyDict_SetItem(nvr_py_env.control_table, lowered.get(), entry.get()) != 0) return -1;
    return PyDict_SetItem(defaults, lowered.get(), value.get());
}

// Walks the optimizer's list into the tables. 0, or -1 with an exception.
int fillOptimizerList(NVRAprob prob) {
    const int *ids = nullptr, *flags = nullptr;
    const char *const *names = nullptr;
    if (NVRAgetcalist_c(prob, nullptr, &ids, &names, &flags) != 0 || !ids || !names || !flags) {
        PyErr_SetString(PyExc_RuntimeError, "Could not get control/attribute list from Nivra");
        return -1;
    }
    for (int i = 0; ids[i] != 0 && names[i]; ++i)
        if (addEntry(prob, ids[i], names[i], flags[i]) != 0) return -1;
    return 0;
}

// Records whether the nonlinear solver can start. Its lists (solver kinds 1 and 2) join the
// tables when its interface offers them; this release's nonlinear component reports itself
// absent.
void probeNonlinear() {
    if (nvr_py_env.nonlinear_available >= 0) return;
    const int rc = NSLPinit(nullptr);
    nvr_py_env.nonlinear_available = rc == 0;
    if (rc == 0) NSLPfree();
}

int buildTables() {
    if (NVRAinit(nullptr) != 0) {
        PyErr_SetString(PyExc_RuntimeError, "Error initializing optimization environment");
        return -1;
    }
    probeNonlinear();
    NVRAprob prob = nullptr;
    int rc = -1;
    if (NVRAcreateprob(&prob) != 0)
        PyErr_SetString(PyExc_RuntimeError, "Could not create temporary problem");
    else
        rc = fillOptimizerList(prob);
    if (prob) NVRAdestroyprob(prob);
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
    // The nonlinear solver's post-solve control is on by default for every problem of this
    // module; it is recorded only where that solver exists, since a module default that the
    // control table lacks would make every problem creation fail.
    PyObject *postsolve = PyUnicode_FromString("nslp_postsolve");
    if (!postsolve) return -1;
    Ref name = Ref::steal(postsolve);
    const int known = PyDict_Contains(nvr_py_env.control_table, postsolve);
    if (known <= 0) return known;
    Ref one = Ref::steal(PyLong_FromLong(1));
    if (!one) return -1;
    PyObject *defaults = control_own_dict(nvr_py_env.module_controls);
    if (PyDict_SetItem(defaults, postsolve, one.get()) != 0) return -1;
    return PyDict_SetItem(nvr_py_env.default_control_values, postsolve, one.get());
}
