// problem/objective.h: objectives from model expressions, several objectives, and the
// objective controls of each objective.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

struct problem_s;

// Adds the objectives in args (each an expression or a nested collection of them) as
// problem.addObjective does without options. 0, or -1 with an exception set.
int problem_addObjective(problem_s *p, PyObject *args);

// getControl(*keys, objidx=objidx): the objective controls of objective objidx; keys is the
// tuple of positional arguments. A value for one plain key, else a dict. New reference, or null
// with an exception set.
PyObject *problem_getObjControls(problem_s *p, PyObject *keys, PyObject *objidx);

// setControl(*args, objidx=objidx): args is (dict) or (key, value). None (new reference), or
// null with an exception set.
PyObject *problem_setObjControls(problem_s *p, PyObject *args, PyObject *objidx);
