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
    PyObject_HEAD
    NVRAprob prob;              // null when not initialised
    NSLPprob nlprob;            // null when the nonlinear library is absent
    problem_s *parent;          // owned; set on problems made for callbacks
    SavedException *saved_exc;  // owned saved-exception slot
    PyObject *vars;             // list of variables in column order
    PyObject *cons;             // list of constraints in row order
    PyObject *sets;             // list of SOS in set order
    PyObject *controls;         // nivra.control view
    PyObject *attributes;       // nivra.attribute view
    PyObject *objattribs;       // nivra.objattrib view
    rowcolmap *var_index_map;   // serial of unlinked variable -> column
    rowcolmap *con_index_map;   // serial of unlinked constraint -> row
    rowcolmap *sos_index_map;   // serial of unlinked SOS -> set
    PyObject *callbacks[kNumCallbackKinds];
    int32_t nl_solver;
    int32_t nl_rows;
    int32_t nl_objective;
    userfuncmap *userfuncs;
    int32_t obj_state[2];       // objective bookkeeping; first word -1 initially
    int32_t output_enabled;
    problem_s *prev, *next;     // module-wide list of live problems
};

extern PyTypeObject problem_type;

inline bool problem_Check(PyObject *o) { return PyObject_TypeCheck(o, &problem_type); }

// 0, or -1 with ModelError "Problem is not initialized".
int checkProblemIsInitialized(problem_s *p);
// Releases the library problem and the model data; the Python object stays valid.
void problem_freeresources(problem_s *p);
