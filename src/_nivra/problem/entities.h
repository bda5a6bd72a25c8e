// problem/entities.h: special ordered sets and indicator constraints added from model objects
// (problem.addSOS, problem.addIndicator).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

struct problem_s;

// Adds existing unlinked nivra.sos objects (the leaves of the collection leaves) as sets of p:
// the deprecated path of addSOS, also taken by the problem's constructor. All or nothing.
// 0, or -1 with an exception.
int problem_addExistingSOS(problem_s *p, PyObject *leaves);
