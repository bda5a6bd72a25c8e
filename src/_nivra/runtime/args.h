// runtime/args.h: argument parsing with old keyword names, missing-argument errors, and the
// string helpers.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

// PyArg_ParseTupleAndKeywords, retried with the older keyword names oldkw (may be null) and a
// deprecation warning when that succeeds. 1 on success, 0 with an exception set.
int nvo_ParseTupleAndKeywords(PyObject *args, PyObject *kwargs, const char *format,
                              const char *const *kw, const char *const *oldkw, ...);
// Keyword arguments only, as if there were no positional ones; a null kwargs succeeds at once.
int parseKeywordArgs(PyObject *kwargs, const char *format, const char *const *kw, ...);

// InterfaceError "Must provide argument(s) ..." for a null-terminated list of names. For the API
// methods that check their required arguments themselves.
void nvo_PyErr_MissingArgs(const char *name, ...);
// The same for names[first] .. names[last - 1].
void nvo_PyErr_MissingArgsRange(const char *const *names, int first, int last);

// True for a Python int (bool included) or a NumPy byte, short, int or long scalar.
bool nvo_isIntegerArg(PyObject *obj);

// Text of a str or bytes object, or null with an exception. keep (may be null) receives an
// object owning the text, to be released by the caller; copy (may be null) receives a copy
// (re)allocated from the default heap.
const char *pyStrToStr(PyObject *obj, char **copy, PyObject **keep);
// Length in bytes of what pyStrToStr would return, or -1 with an exception.
Py_ssize_t pyStrLen(PyObject *obj);

// The UTF-8 text of the name of a model object (what: "Variable", "Constraint", "SOS",
// "Problem"): a str without a zero character, which the library would take as the end of the
// name. *len (may be null) receives its length in bytes. Null with ModelError ("%s name must be
// a string", "%s name must not contain a zero character") or the encoding error.
const char *nvr_nameText(PyObject *name, const char *what, Py_ssize_t *len = nullptr);

// A number by Python's float conversion that must not be NaN (a bound, a right-hand side):
// nanMsg is the ModelError for NaN. 0, or -1 with the conversion's error or that ModelError.
int nvr_readNumber(PyObject *value, double *x, const char *nanMsg);
