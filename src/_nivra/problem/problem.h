// problem/problem.h: the record behind nivra.problem and the operations other files need.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <iterator>

#include "model/problem_model.h"

struct userfuncmap;

// The callback kinds (the library's nvra_callbacks.def): their number, and that the rows are
// numbered 0, 1, 2, ... in order.
constexpr int kCallbackKindNumbers[] = {
#define NVRA_CALLBACK(number, kind, KIND, interface, honoured, doc) number,
#include "nvra_callbacks.def"
};
constexpr int kNumCallbackKinds = static_cast<int>(std::size(kCallbackKindNumbers));
constexpr bool callbackKindsNumberedInOrder() {
    for (int i = 0; i < kNumCallbackKinds; ++i)
        if (kCallbackKindNumbers[i] != i) return false;
    return true;
}
static_assert(callbackKindsNumberedInOrder(), "nvra_callbacks.def: rows out of order");

// The library handles, saved-exception slot, output switch and live-list links come from
// problem_lib_s; the model object lists and serial maps from problem_model_s.
struct problem_s : problem_model_s {
    PyObject *controls;   // nivra.control view
    PyObject *attributes; // nivra.attribute view
    PyObject *objattribs; // nivra.objattrib view
    // The Python callbacks of each kind: a list of entries (callbacks/entry.h), null until the
    // first registration.
    PyObject *callbacks[kNumCallbackKinds];
    // The nonlinear solver's entry 12013 as last read (-1 before), for the nonlinear solver.
    int32_t nl_solver;
    int32_t nl_rows;      // nonlinear formula rows held (0: none)
    int32_t nl_objective; // the objective is nonlinear
    // The user functions of nonlinear formulas, for the nonlinear solver.
    userfuncmap *userfuncs;
    // The transfer column and row of a nonlinear objective (first word -1: none), for the
    // nonlinear solver.
    int32_t obj_state[2];
    // The objects of the multistart jobs handed to the library (it keeps the pointers and hands
    // them to the multistart callbacks; copies share them): a list, null until the first job.
    PyObject *ms_objects;
};

inline problem_s *as_problem(PyObject *o) {
    return reinterpret_cast<problem_s *>(o);
}

extern PyTypeObject problem_type;

inline bool problem_Check(PyObject *o) {
    return PyObject_TypeCheck(o, &problem_type);
}

// Releases the library problem and the model data; the Python object stays valid. A library
// failure does not stop the clean-up: 0, or -1 with the first failure raised.
int problem_freeresources(problem_s *p);
// Marks the linked model objects of p deleted and releases its lists and serial maps; unless
// final, creates new empty lists and resets the nonlinear and objective bookkeeping.
// 0, or -1 with an exception (only when new lists cannot be made).
int problem_clearmodeldata(problem_s *p, int final);
// The model object o (variable, constraint or SOS) is linked to p.
bool problem_isLinkedObject(PyObject *o, const problem_s *p);
// A linked model object gets the deleted marker and loses its index.
void problem_markObjectDeleted(PyObject *o);
// After the library replaced p's model as a whole (a restore): p's model objects become deleted
// objects and new ones are made for what the library now holds (unlinked ones when unlinked).
// 0 or -1.
int problem_adoptReplacedModel(problem_s *p, bool unlinked);
// Loads an empty model into p's library problem, named name (null: "noname"; "": the name is
// kept), with the library's log switched off meanwhile. 0 or -1.
int problem_loadEmpty(problem_s *p, const char *name);
// 1 when indices of p refer to the problem as built (not a callback problem, not presolved),
// 0 otherwise, -1 with an exception. For the API methods that accept model objects as indices.
int nvy_isOriginalProb(problem_s *p);
// The number of problems in the module-wide list of live problems, or -1 when its links are
// inconsistent (for the tests' live counts).
Py_ssize_t problem_live_count();
// A problem object for a callback of parent's solve: handle (and nlhandle) is the library
// problem calling back; it shares parent's model object lists, views and callback lists, copies
// its serial maps, and holds parent. New reference or null.
PyObject *problem_forCallback(problem_s *parent, NVRAprob handle, NSLPprob nlhandle);
// Puts the model back into the state it was built in before an objective change, undoing
// what a nonlinear solve left. 0, or the library's code (884 for a Python exception).
int check_nl_unconstruct(problem_s *p);
