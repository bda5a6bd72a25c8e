// callbacks/nltrampolines.h: the C functions through which the nonlinear solver calls Python
// callbacks (kinds 24 to 45 of nvra_callbacks.def), one per shape of call, and which one each
// kind uses (NlTrampoline<number>::fn).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "nslp.h"
#include "nvra.h"

namespace nltramp {

// (problem, data) -> int returned (None 0; an exception 1, stopping the solve).
int plain(NSLPprob nl, void *entry);
// (problem, data) -> int into *out (None 0); returns 0 (an exception 1).
int node(NSLPprob nl, void *entry, int *out);
// (problem, data, column) -> the result's truth value as 1 or 0 (an exception -1).
int column(NSLPprob nl, void *entry, int col);
// (problem, data, column) -> an int, the column's convergence verdict; anything else fails with
// SolverError "itervar callback did not return an integer".
int itervar(NSLPprob nl, void *entry, int col);
// (problem, data, row, column) -> int returned (None 0; an exception 1).
int coefevalerror(NSLPprob nl, void *entry, int row, int col);
// (problem, data, column, value, lower bound, upper bound) -> a number into *newvalue (None
// keeps the value); returns 0 (an exception 1).
int drcol(NSLPprob nl, void *entry, int col, double value, double *newvalue, double lb, double ub);
// (problem, data, job, description) -> an int into *status when the solver passes one; returns 0
// (an exception -1).
int msjob(NSLPprob nl, void *entry, void *job, const char *description, int *status);
// (problem, data, job, description), result ignored; returns 0 (an exception -1).
int mswinner(NSLPprob nl, void *entry, void *job, const char *description);
// (problem, data, ifrepeat) -> the result's truth value into *ifrepeat; returns 0 (an exception
// 1).
int preupdatelinearization(NSLPprob nl, void *entry, int *ifrepeat);
// The nonlinear solver's message: printed as the module's own printer prints it (the solver
// keeps one message function, which this one replaces), then (problem, data, text, type),
// result ignored.
void message(NSLPprob nl, void *entry, const char *msg, int len, int msgtype);

} // namespace nltramp

template <int Kind> struct NlTrampoline;
#define NVR_NL_TRAMPOLINE(kind, function)                                                          \
    template <> struct NlTrampoline<NVRA_CB_##kind> {                                              \
        static constexpr auto fn = nltramp::function;                                              \
    };
NVR_NL_TRAMPOLINE(CASCADEEND, plain)
NVR_NL_TRAMPOLINE(CASCADESTART, plain)
NVR_NL_TRAMPOLINE(CASCADEVAR, column)
NVR_NL_TRAMPOLINE(CASCADEVARFAIL, column)
NVR_NL_TRAMPOLINE(COEFEVALERROR, coefevalerror)
NVR_NL_TRAMPOLINE(CONSTRUCT, plain)
NVR_NL_TRAMPOLINE(DESTROY, plain)
NVR_NL_TRAMPOLINE(DRCOL, drcol)
NVR_NL_TRAMPOLINE(ITEREND, plain)
NVR_NL_TRAMPOLINE(ITERSTART, plain)
NVR_NL_TRAMPOLINE(ITERVAR, itervar)
NVR_NL_TRAMPOLINE(MSJOBEND, msjob)
NVR_NL_TRAMPOLINE(MSJOBSTART, msjob)
NVR_NL_TRAMPOLINE(MSWINNER, mswinner)
NVR_NL_TRAMPOLINE(PREUPDATELINEARIZATION, preupdatelinearization)
NVR_NL_TRAMPOLINE(SLPEND, plain)
NVR_NL_TRAMPOLINE(SLPNODE, node)
NVR_NL_TRAMPOLINE(SLPSTART, plain)
NVR_NL_TRAMPOLINE(NL_MESSAGE, message)
NVR_NL_TRAMPOLINE(NL_INTSOL, plain)
NVR_NL_TRAMPOLINE(NL_OPTNODE, node)
NVR_NL_TRAMPOLINE(NL_PRENODE, node)
#undef NVR_NL_TRAMPOLINE
