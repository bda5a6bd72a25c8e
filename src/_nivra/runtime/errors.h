// runtime/errors.h: the exception classes, library failures as Python exceptions (the one path
// from the library's code and message to the exception), exceptions saved across library
// calls, deprecation warnings and the Ctrl-C bracket around long solves.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "nvra.h"

struct problem_lib_s;

// A Python exception kept while the library runs; owns type, value and traceback.
struct SavedException {
    PyObject *type = nullptr;
    PyObject *value = nullptr;
    PyObject *traceback = nullptr;
    NVRAprob handle = nullptr; // the library problem of the call during which it was stored

    // Makes the stored exception the pending one (handing over the references) and empties
    // the record; nothing when empty.
    void restore();
    // Releases the references and empties the record.
    void clear();
    bool empty() const { return type == nullptr; }
};

// Scope guard: takes the pending exception aside on construction and puts it back on
// destruction (for clean-up code that must not disturb it).
struct AutoSavedException : SavedException {
    AutoSavedException() { PyErr_Fetch(&type, &value, &traceback); }
    ~AutoSavedException() { restore(); }
    AutoSavedException(const AutoSavedException &) = delete;
    AutoSavedException &operator=(const AutoSavedException &) = delete;
};

// Creates the exception classes and adds them to the module: ModelError, InterfaceError,
// SolverError and its subclasses for particular library codes, DeprecationWarning. 0 or -1.
int nvr_create_exceptions(PyObject *module);
// Releases them (module free).
void nvr_free_exceptions();

// The library's last error, code and message, of the problem p, or of the global environment
// when p is null (the nonlinear solver's when the optimizer has none). The one reader of the
// library's error state.
void nvr_lib_last_error(const problem_lib_s *p, int *code, char *msg, int size);
// Raises the library's last error of p (null: the global environment) unless an exception is
// pending already, which then wins (for example one a callback raised during the call).
// Returns -1.
int setNvraErr(problem_lib_s *p);
// Raises the exception for a library failure with code and message: its class comes from the
// code through the table in errors.cpp (for the global environment, InterfaceError unless the
// code's class says otherwise), and it carries errorcode and errorname. Returns -1.
int nvr_raise_lib_error(int code, const char *msg, bool global);

// Whether the problem's slot holds an exception (the library call running has already failed in
// Python code).
bool holdsSavedException(problem_lib_s *problem);
// Stores the pending exception in the problem's slot; 1 if stored, else 0.
int saveException(problem_lib_s *problem, const char *name, NVRAprob handle);
// After a library call, makes an exception stored during it pending again.
void handleSavedException(problem_lib_s *problem, int rc);

// "Deprecated in Nivra %d.%d: %s"; 0, or -1 if the warning became an exception.
int warnDeprec(int major, int minor, const char *text);

// Bracket for long library calls: SIGINT has its default disposition inside.
void setSigIntHandler();
void resetSigIntHandler();

// Text of an exception for warnings: str(value), str(type), "(none)" or "(error)".
// Returns a new reference to a str, or null only when memory is exhausted.
PyObject *nvr_exception_text(PyObject *type, PyObject *value);
