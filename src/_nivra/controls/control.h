// controls/control.h: nivra.control and nivra.attribute, views of the library's controls and
// attributes by name, and the name tables built from the library's lists.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>

struct problem_lib_s;

// setdefaultcontrol, setdefaults and _getcontrols.
extern PyMethodDef nvr_controls_methods[];

// A view's problem is not reference-counted: the problem cuts its views off (problem pointer
// kDeletedProblem) when it lets them go, after which they raise "Problem is not initialized".
struct ctrl_s {
    PyObject_HEAD problem_lib_s *problem; // null for the module-level object
    PyObject *dict; // control table (problem view) or library defaults (module object)
};

struct attr_s {
    PyObject_HEAD problem_lib_s *problem;
    PyObject *dict; // attribute table
    int32_t objidx; // -1 for the problem's own view, else the solve index
};

extern PyTypeObject control_type;
extern PyTypeObject attribute_type;

// New control view of problem (null: the module-level object with an empty dictionary).
// New reference or null.
PyObject *ctrl_base(problem_lib_s *problem);
// New attribute view of problem for solve objidx (-1: the problem's own). New reference or null.
PyObject *attr_base(problem_lib_s *problem, int32_t objidx);
// Borrowed own dictionary of a control view.
PyObject *control_own_dict(PyObject *ctrl);
// Cuts a control or attribute view (or None) off problem p, when it is a view of p (a problem
// made for a callback shares the views of the problem being solved).
void ctrl_attr_detach(PyObject *view, const problem_lib_s *p);

// Builds the control and attribute tables and the library default values once (nothing when
// they exist), and records the module default of "nslp_postsolve" when the control table has
// that control. 0, or -1 with an exception (the tables then stay empty).
int ctrl_attr_fill_typeobj();
// Puts the module's own default values back into the module defaults: all of them (name null)
// or the one of that normalised name, if it has one. 0, or -1 with an exception.
int ctrl_module_own_defaults(PyObject *name);
