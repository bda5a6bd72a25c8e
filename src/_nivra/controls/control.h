// controls/control.h: nivra.control and nivra.attribute, views of the library's controls and
// attributes by name, and the name tables built from the library's lists.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>

struct problem_s;

struct ctrl_s {
    PyObject_HEAD
    problem_s *problem; // null for the module-level object; not reference-counted
    PyObject *dict;     // control table (problem view) or library defaults (module object)
};

struct attr_s {
    PyObject_HEAD
    problem_s *problem;
    PyObject *dict;     // attribute table
    int32_t objidx;     // -1 for the problem's own view
};

extern PyTypeObject control_type;
extern PyTypeObject attribute_type;

// New control view of problem (null: the module-level object with an empty dictionary).
PyObject *ctrl_base(problem_s *problem);
// New attribute view of problem for objective solve objidx (-1: the problem's own).
PyObject *attr_base(problem_s *problem, int32_t objidx);
// Borrowed own dictionary of a control view.
PyObject *control_own_dict(PyObject *ctrl);
// Builds the control and attribute name tables from the library's lists. 0 or -1.
int ctrl_attr_fill_typeobj(int force);
