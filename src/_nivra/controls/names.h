// controls/names.h: the control and attribute name tables built from the library's lists, the
// normalisation of names, and the resolution of a key (name or id) to a table entry.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

// Value types of controls and attributes (0: not exposed).
enum ParamType : int { kParamNone = 0, kParamInt = 1, kParamDouble = 2, kParamString = 3 };

// Where a control or attribute lives: the optimizer (0) or one of the nonlinear solver's lists.
enum SolverKind : int { kSolverOptimizer = 0, kSolverNonlinear = 1, kSolverNonlinearIpm = 2 };

// One entry of the name tables: the value (id, type, solver) of a table's tuple.
struct CaEntry {
    int id = 0;
    int type = kParamNone;
    int solver = kSolverOptimizer;
};

// Longest name accepted by the normalisation, in bytes.
constexpr Py_ssize_t kMaxCaNameLength = 1024;

// The normalised form of a control or attribute name (a str): the name itself when it is all
// lower case, its lower-case copy when it is all upper case (letters, digits and '_' only).
// ModelError "Control or attribute name is too long" or "Control or attribute is neither
// all-lower nor all-upper case" otherwise. New reference or null.
PyObject *to_lowercase_all(PyObject *name);

// Lookup of a str key in dict after normalisation: *value receives a borrowed value, or null
// when the key is absent. 0, or -1 with an exception.
int PyDict_GetItem_LowerCaseKey(PyObject *dict, PyObject *key, PyObject **value);

// Reads an (id, type, solver) tuple of a name table. false for any other object.
bool ca_entry_from_tuple(PyObject *tuple, CaEntry *entry);

// Resolves a key of getControl/getAttrib: an int is an optimizer id (its type from the
// library's list), anything else a name looked up in table (the control or the attribute
// table, as control says). *outkey receives the key of result dictionaries: the normalised
// name, or the int itself. 0, or -1 with an exception.
int ctrl_attr_lookup(PyObject *table, PyObject *key, int control, CaEntry *entry,
                     PyObject **outkey);
// The type of the optimizer control or attribute with that id, from the library's list.
// 0, or -1 with an exception ("Unknown control ID %d").
int ctrl_type_from_id(int id, int *type);
