// problem/problem.h: the record behind nivra.problem and the operations other files need.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>

#include "nslp.h"
#include "nvra.h"

struct SavedException;
struct rowcolmap;
struct userfuncmap;

constexpr int kNumCallbackKinds = 46;

struct problem_s {
    PyObject_HEAD NVRAprob prob; // null when not initialised
    NSLPprob nlprob;             // null when the nonlinear library is absent
    problem_s *parent;           // owned; set on problems made for callbacks
    SavedException *saved_exc;   // owned saved-exception slot
    PyObject *vars;              // list of variables in column order
    PyObject *cons;              // list of constraints in row order
    PyObject *sets;              // list of SOS in set order
    PyObject *controls;          // nivra.control view
    PyObject *attributes;        // nivra.attribute view
    PyObject *objattribs;        // nivra.objattrib view
    rowcolmap *var_index_map;    // serial of unlinked variable -> column
    rowcolmap *con_index_map;    // serial of unlinked constraint -> row
    rowcolmap *sos_index_map;    // serial of unlinked SOS -> set
    PyObject *callbacks[kNumCallbackKinds];
    int32_t nl_solver;
    int32_t nl_rows;
    int32_t nl_objective;
    userfuncmap *userfuncs;
    int32_t obj_state[2]; // objective bookkeeping; first word -1 initially
    int32_t output_enabled;
    problem_s *prev, *next; // module-wide list of live problems
};

inline problem_s *as_problem(PyObject *o) {
    return reinterpret_cast<problem_s *>(o);
}

extern PyTypeObject problem_type;

inline bool problem_Check(PyObject *o) {
    return PyObject_TypeCheck(o, &problem_type);
}

// 0, or -1 with ModelError "Problem is not initialized".
int checkProblemIsInitialized(problem_s *p);
// Releases the library problem and the model data; the Python object stays valid. Library
// failures are raised but do not stop the clean-up.
void problem_freeresources(problem_s *p);
// Marks the linked model objects of p deleted and releases its lists and serial maps; unless
// final, creates new empty lists and resets the nonlinear and objective bookkeeping.
// 0, or -1 with an exception (only when new lists cannot be made).
int problem_clearmodeldata(problem_s *p, int final);
// 1 when indices of p refer to the problem as built (not a callback problem, not presolved),
// 0 otherwise, -1 with an exception.
int nvy_isOriginalProb(problem_s *p);
// The number of problems in the module-wide list of live problems, or -1 when its links are
// inconsistent (for the tests' live counts).
Py_ssize_t problem_live_count();
// Puts the model back into the state it was built in before an objective change, undoing
// what a nonlinear solve left. 0, or the library's code (884 for a Python exception).
int check_nl_unconstruct(problem_s *p);
