// runtime/problem_lib.h: the library side of a problem, the part of nivra.problem's record that
// the runtime works with: the library handles, the slot that carries a callback's exception
// across a library call, the output switch and the links of the module-wide list of live
// problems. The model objects' view of a problem (problem_model_s, model/problem_model.h)
// extends it, and nivra.problem's record (problem_s, problem/problem.h) extends that one, so a
// problem_s * is also a pointer to either.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>

#include "nslp.h"
#include "nvra.h"

struct SavedException;

struct problem_lib_s {
    PyObject_HEAD NVRAprob prob; // null when not initialised
    NSLPprob nlprob;             // null when the nonlinear library is absent
    problem_lib_s *parent;       // owned; set on problems made for callbacks
    SavedException *saved_exc;   // owned saved-exception slot
    int32_t output_enabled;      // this problem's log is printed (with the module's switch)
    problem_lib_s *prev, *next;  // module-wide list of live problems (nvr_py_env.problems)
};

// The problem address held by objects that their problem let go (deleted model objects, views
// cut off): never a valid pointer.
constexpr uintptr_t kDeletedProblemAddress = 0xDEAD;
inline problem_lib_s *const kDeletedProblem =
    reinterpret_cast<problem_lib_s *>(kDeletedProblemAddress);

// 0, or -1 with ModelError "Problem is not initialized".
int checkProblemIsInitialized(const problem_lib_s *p);
