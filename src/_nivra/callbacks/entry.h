// callbacks/entry.h: the record of one registered Python callback. The library is handed the
// entry as the callback's user data and hands it back on every call; the problem's list of the
// kind keeps it alive for as long as it is registered.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "problem/problem.h"

struct cbentry_s {
    PyObject_HEAD problem_s *problem; // registering problem, not owned; null once removed
    PyObject *callable;               // owned
    PyObject *data;                   // owned; None when not given
    long priority;
    int kind; // number of the callback kind
};

extern PyTypeObject cbentry_type;

inline cbentry_s *as_cbentry(void *o) {
    return static_cast<cbentry_s *>(o);
}

// A new entry. New reference or null.
PyObject *cbentry_new(problem_s *problem, int kind, PyObject *callable, PyObject *data,
                      long priority);
