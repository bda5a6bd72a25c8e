// runtime/errors.h: library errors as Python exceptions, exceptions saved across library calls,
// deprecation warnings and the Ctrl-C bracket around long solves.
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

// Raises the library's last error for the problem p, or for the global environment when p is
// null; nothing when an exception is already pending.
void setNvraErr(problem_lib_s *p);

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
