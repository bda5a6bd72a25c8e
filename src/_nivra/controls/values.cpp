// controls/values.cpp: reading and setting the controls and attributes of a problem, value
// checks, module default values, and the enumeration members of integer values.
#include "runtime/npy.h"

#include "values.h"

#include <cstdint>
#include <cstring>

#include "runtime/alloc.h"
#include "runtime/env.h"
#include "runtime/ref.h"
#include "runtime/calllib.h"

namespace {

// ---- reading ------------------------------------------------------------------------------------

int nonlinearUnavailable() {
    PyErr_SetString(nvy_interf_exc, "The nonlinear solver is not available");
    return -1;
}

PyObject *unknownId(int control) {
    nvr_model_error(control ? "getControl() called with unknown ID"
                            : "getAttrib() called with unknown ID");
    return nullptr;
}

// A string value read by fn(prob, id, buffer, size, &needed), reading again into a larger
// buffer when the first one was too short. New reference or null.
PyObject *readString(problem_lib_s *p, int (*fn)(NVRAprob, int, char *, int, int *),
                     const char *name, int id) {
    char buf[NVRA_MAXSTRINGLENGTH] = "";
    int needed = 0;
    if (problem_call(p, fn, name, id, buf, int{sizeof buf}, &needed) != 0) return nullptr;
    if (needed <= int{sizeof buf}) return PyUnicode_FromString(buf);
    LibArray<char> big;
    if (big.alloc(static_cast<size_t>(needed)) != 0) return nullptr;
    if (problem_call(p, fn, name, id, big.get(), needed, &needed) != 0) return nullptr;
    return PyUnicode_FromString(big.get());
}

// The library's getters of one numeric type: control, attribute, attribute of a solve.
template <class T> struct NumberGetters {
    int (*control)(NVRAprob, int, T *);
    const char *controlName;
    int (*attrib)(NVRAprob, int, T *);
    const char *attribName;
    int (*solveAttrib)(NVRAprob, int, int, T *);
    const char *solveAttribName;
};

constexpr NumberGetters<int64_t> kIntGetters{NVRAgetintcontrol64,   "NVRAgetintcontrol64",
                                             NVRAgetintattrib64,    "NVRAgetintattrib64",
                                             NVRAgetobjintattrib64, "NVRAgetobjintattrib64"};
constexpr NumberGetters<double> kDoubleGetters{NVRAgetdblcontrol,   "NVRAgetdblcontrol",
                                               NVRAgetdblattrib,    "NVRAgetdblattrib",
                                               NVRAgetobjdblattrib, "NVRAgetobjdblattrib"};

// Reads a control (control = 1), an attribute, or (objidx >= 0) an attribute of that solve.
// 0 or -1.
template <class T>
int readNumber(problem_lib_s *p, const NumberGetters<T> &g, const CaEntry &e, int control,
               int objidx, T *v) {
    if (control) return problem_call(p, g.control, g.controlName, e.id, v);
    if (objidx >= 0) return problem_call(p, g.solveAttrib, g.solveAttribName, objidx, e.id, v);
    return problem_call(p, g.attrib, g.attribName, e.id, v);
}

PyObject *readInt(problem_lib_s *p, const CaEntry &e, int control, int objidx) {
    int64_t v = 0;
    if (readNumber(p, kIntGetters, e, control, objidx, &v) != 0) return nullptr;
    return nvy_intToEnum(e.id, v);
}

PyObject *readDouble(problem_lib_s *p, const CaEntry &e, int control, int objidx) {
    double v = 0.0;
    if (readNumber(p, kDoubleGetters, e, control, objidx, &v) != 0) return nullptr;
    return PyFloat_FromDouble(v);
}

PyObject *readStringValue(problem_lib_s *p, const CaEntry &e, int control, int objidx) {
    if (control) return readString(p, NVRAgetstringcontrol, "NVRAgetstringcontrol", e.id);
    if (objidx >= 0) {
        PyErr_SetString(nvy_interf_exc, "Multi-objective string attributes are not supported");
        return nullptr;
    }
    return readString(p, NVRAgetstringattrib, "NVRAgetstringattrib", e.id);
}

// ---- the nonlinear solver's entries (solver kinds 1 and 2, read and set alike) ---------------

PyObject *readNonlinearInt(problem_lib_s *p, const CaEntry &e, int control) {
    int v = 0;
    const int rc = control ? problem_call(p, NSLPgetintcontrol, "NSLPgetintcontrol", e.id, &v)
                           : problem_call(p, NSLPgetintattrib, "NSLPgetintattrib", e.id, &v);
    return rc == 0 ? nvy_intToEnum(e.id, v) : nullptr;
}

PyObject *readNonlinearDouble(problem_lib_s *p, const CaEntry &e, int control) {
    double v = 0.0;
    const int rc = control ? problem_call(p, NSLPgetdblcontrol, "NSLPgetdblcontrol", e.id, &v)
                           : problem_call(p, NSLPgetdblattrib, "NSLPgetdblattrib", e.id, &v);
    return rc == 0 ? PyFloat_FromDouble(v) : nullptr;
}

PyObject *readNonlinearString(problem_lib_s *p, const CaEntry &e, int control) {
    char buf[NVRA_MAXSTRINGLENGTH] = "";
    const int rc = control ? problem_call(p, NSLPgetstrcontrol, "NSLPgetstrcontrol", e.id, buf)
                           : problem_call(p, NSLPgetstrattrib, "NSLPgetstrattrib", e.id, buf);
    return rc == 0 ? PyUnicode_FromString(buf) : nullptr;
}

PyObject *readNonlinear(problem_lib_s *p, const CaEntry &e, int control) {
    if (!p->nlprob) return nonlinearUnavailable(), nullptr;
    switch (e.type) {
    case kParamInt:
        return readNonlinearInt(p, e, control);
    case kParamDouble:
        return readNonlinearDouble(p, e, control);
    default:
        return readNonlinearString(p, e, control);
    }
}

// Sets a nonlinear control from a checked value; its integers are 32-bit. 0 or -1.
int setNonlinear(problem_lib_s *p, const CaEntry &e, PyObject *value) {
    if (!p->nlprob) return nonlinearUnavailable();
    switch (e.type) {
    case kParamInt: {
        const long long v = PyLong_AsLongLong(value);
        if (v == -1 && PyErr_Occurred()) return -1;
        if (v < INT32_MIN || v > INT32_MAX)
            return nvr_model_error("Value out of range for a nonlinear integer control");
        return problem_call(p, NSLPsetintcontrol, "NSLPsetintcontrol", e.id, static_cast<int>(v));
    }
    case kParamDouble: {
        const double v = PyFloat_AsDouble(value);
        if (v == -1.0 && PyErr_Occurred()) return -1;
        return problem_call(p, NSLPsetdblcontrol, "NSLPsetdblcontrol", e.id, v);
    }
    default: {
        const char *text = PyUnicode_AsUTF8(value);
        if (!text) return -1;
        return problem_call(p, NSLPsetstrcontrol, "NSLPsetstrcontrol", e.id, text);
    }
    }
}

// Adds the value of key to result under its result key. 0 or -1.
int addValue(problem_lib_s *p, PyObject *table, PyObject *key, int control, int objidx,
             PyObject *result) {
    CaEntry entry;
    PyObject *rawkey = nullptr;
    if (ctrl_attr_lookup(table, key, control, &entry, &rawkey) != 0) return -1;
    Ref outkey = Ref::steal(rawkey);
    Ref value = Ref::steal(problem_getInfo_single(p, entry, control, objidx));
    return value ? PyDict_SetItem(result, outkey.get(), value.get()) : -1;
}

// Every entry of table; a solve index leaves out nonlinear and string entries.
PyObject *allValues(problem_lib_s *p, PyObject *table, int control, int objidx) {
    Ref result = Ref::steal(PyDict_New());
    if (!result) return nullptr;
    Py_ssize_t pos = 0;
    PyObject *name, *tuple;
    while (PyDict_Next(table, &pos, &name, &tuple)) {
        CaEntry entry;
        if (!ca_entry_from_tuple(tuple, &entry)) {
            if (!PyErr_Occurred()) PyErr_SetString(nvy_interf_exc, "Corrupt control table entry");
            return nullptr;
        }
        if (objidx >= 0 && (entry.solver != kSolverOptimizer || entry.type == kParamString))
            continue;
        // A problem made for an optimizer callback has no nonlinear handle: its dictionary
        // holds what it can reach.
        if (entry.solver != kSolverOptimizer && !p->nlprob) continue;
        Ref value = Ref::steal(problem_getInfo_single(p, entry, control, objidx));
        if (!value || PyDict_SetItem(result.get(), name, value.get()) != 0) return nullptr;
    }
    return result.release();
}

// Values of the items of an iterable of keys.
PyObject *valuesOfIterable(problem_lib_s *p, PyObject *table, PyObject *keys, int control,
                           int objidx) {
    Ref it = Ref::steal(PyObject_GetIter(keys));
    Ref result = Ref::steal(PyDict_New());
    if (!it || !result) return nullptr;
    while (Ref key = Ref::steal(PyIter_Next(it.get())))
        if (addValue(p, table, key.get(), control, objidx, result.get()) != 0) return nullptr;
    return PyErr_Occurred() ? nullptr : result.release();
}

bool isKeyCollection(PyObject *key) {
    return !PyUnicode_Check(key) && !PyBytes_Check(key) && !PyLong_Check(key) &&
           Py_TYPE(key)->tp_iter != nullptr;
}

// ---- setting ------------------------------------------------------------------------------------

// The classes of nivra.enums by id (its _BY_ID, generated from the library's registry), kept
// in the module-wide record from the first enumerated value on. 0 or -1.
int loadEnumClasses() {
    Ref enums = Ref::steal(PyImport_ImportModule("nivra.enums"));
    Ref classes = Ref::steal(enums ? PyObject_GetAttrString(enums.get(), "_BY_ID") : nullptr);
    if (!classes) return -1;
    if (!PyDict_Check(classes.get()))
        return nvr_raise(nvy_interf_exc, "nivra.enums._BY_ID is not a dictionary");
    nvr_py_env.enum_classes = classes.release();
    return 0;
}

bool isExactNumpyInteger(PyObject *v) {
    PyTypeObject *t = Py_TYPE(v);
    return t == &PyByteArrType_Type || t == &PyShortArrType_Type || t == &PyIntArrType_Type ||
           t == &PyLongArrType_Type || t == &PyLongLongArrType_Type;
}

} // namespace

PyObject *nvy_intToEnum(int id, int64_t value) {
    Ref number = Ref::steal(PyLong_FromLongLong(value));
    Ref key = Ref::steal(PyLong_FromLong(id));
    if (!number || !key) return nullptr;
    if (!nvr_py_env.enum_classes && loadEnumClasses() != 0) return nullptr;
    PyObject *type = PyDict_GetItemWithError(nvr_py_env.enum_classes, key.get()); // borrowed
    if (!type) return PyErr_Occurred() ? nullptr : number.release();
    PyObject *member = PyObject_CallOneArg(type, number.get());
    if (member) return member;
    PyErr_Clear(); // a value the class does not name stays a plain int
    return number.release();
}

PyObject *problem_getInfo_single(problem_lib_s *p, const CaEntry &entry, int control, int objidx) {
    if (checkProblemIsInitialized(p) != 0) return nullptr;
    if (entry.solver != kSolverOptimizer) {
        if (entry.type < kParamInt || entry.type > kParamString) return unknownId(control);
        return readNonlinear(p, entry, control);
    }
    switch (entry.type) {
    case kParamInt:
        return readInt(p, entry, control, objidx);
    case kParamDouble:
        return readDouble(p, entry, control, objidx);
    case kParamString:
        return readStringValue(p, entry, control, objidx);
    default:
        return unknownId(control);
    }
}

PyObject *problem_getInfo(problem_lib_s *p, PyObject *keys, int control, int objidx) {
    if (checkProblemIsInitialized(p) != 0) return nullptr;
    PyObject *table = control ? nvr_py_env.control_table : nvr_py_env.attribute_table;
    const Py_ssize_t n = PyTuple_GET_SIZE(keys);
    if (n == 0) return allValues(p, table, control, objidx);
    if (n > 1) return valuesOfIterable(p, table, keys, control, objidx);
    PyObject *key = PyTuple_GET_ITEM(keys, 0);
    if (isKeyCollection(key)) return valuesOfIterable(p, table, key, control, objidx);
    CaEntry entry;
    PyObject *rawkey = nullptr;
    if (ctrl_attr_lookup(table, key, control, &entry, &rawkey) != 0) return nullptr;
    Py_DECREF(rawkey);
    return problem_getInfo_single(p, entry, control, objidx);
}

int check_setCtrl(int type, PyObject *value) {
    switch (type) {
    case kParamInt:
        if (PyLong_Check(value) || isExactNumpyInteger(value)) return 0;
        return nvr_model_error("Cannot set non-integer value to an integer control");
    case kParamDouble:
        if (PyFloat_Check(value) || PyLong_Check(value) || isExactNumpyInteger(value)) return 0;
        return nvr_model_error("Cannot set non-numerical value to a floating-point control");
    case kParamString: {
        if (!PyUnicode_Check(value))
            return nvr_model_error("Cannot set non-string value to a string control");
        // The library would take a zero character as the end of the value.
        Py_ssize_t n = 0;
        const char *text = PyUnicode_AsUTF8AndSize(value, &n);
        if (!text) return -1;
        if (strlen(text) == static_cast<size_t>(n)) return 0;
        return nvr_model_error("A string control value must not contain a zero character");
    }
    default:
        return nvr_model_error("setControl called with unknown ID");
    }
}

int problem_setControl_single(problem_lib_s *p, const CaEntry &entry, PyObject *value) {
    if (check_setCtrl(entry.type, value) != 0) return -1;
    if (checkProblemIsInitialized(p) != 0) return -1;
    if (entry.solver != kSolverOptimizer) return setNonlinear(p, entry, value);
    switch (entry.type) {
    case kParamInt: {
        const long long v = PyLong_AsLongLong(value);
        if (v == -1 && PyErr_Occurred()) return -1;
        return problem_call(p, NVRAsetintcontrol64, "NVRAsetintcontrol64", entry.id,
                            static_cast<int64_t>(v));
    }
    case kParamDouble: {
        const double v = PyFloat_AsDouble(value);
        if (v == -1.0 && PyErr_Occurred()) return -1;
        return problem_call(p, NVRAsetdblcontrol, "NVRAsetdblcontrol", entry.id, v);
    }
    default:
        return problem_call(p, NVRAsetstrcontrol, "NVRAsetstrcontrol", entry.id,
                            PyUnicode_AsUTF8(value));
    }
}

int problem_setControl_byKey(problem_lib_s *p, PyObject *key, PyObject *value) {
    CaEntry entry;
    if (PyLong_Check(key)) {
        PyObject *rawkey = nullptr;
        if (ctrl_attr_lookup(nvr_py_env.control_table, key, 1, &entry, &rawkey) != 0) return -1;
        Py_DECREF(rawkey);
    } else if (PyUnicode_Check(key)) {
        PyObject *tuple = nullptr;
        if (PyDict_GetItem_LowerCaseKey(nvr_py_env.control_table, key, &tuple) != 0) return -1;
        if (!ca_entry_from_tuple(tuple, &entry)) {
            if (!PyErr_Occurred()) PyErr_Format(nvy_interf_exc, "Incorrect control name: %R", key);
            return -1;
        }
    } else {
        PyErr_SetString(nvy_interf_exc, "Control name cannot be interpreted as string");
        return -1;
    }
    return problem_setControl_single(p, entry, value);
}

int problem_applyDefaultControls(problem_lib_s *p) {
    // A copy: the defaults may change while the library runs without the interpreter lock.
    Ref defaults = Ref::steal(PyDict_Copy(nvr_py_env.default_control_values));
    if (!defaults) return -1;
    Py_ssize_t pos = 0;
    PyObject *name, *value;
    while (PyDict_Next(defaults.get(), &pos, &name, &value)) {
        CaEntry entry;
        PyObject *tuple = PyDict_GetItemWithError(nvr_py_env.control_table, name);
        if (!ca_entry_from_tuple(tuple, &entry)) {
            if (!PyErr_Occurred())
                PyErr_SetString(nvy_interf_exc, "Incorrect control name in initialization");
            return -1;
        }
        if (problem_setControl_single(p, entry, value) != 0) return -1;
    }
    return 0;
}
