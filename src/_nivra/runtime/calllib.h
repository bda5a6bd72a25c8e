// runtime/calllib.h: how the module calls the library on a problem. nvraapi::CallLib is the frame
// around a library call and the only place where the interpreter lock is released;
// problem_call, the frame followed by the error report, is how methods call the library.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <type_traits>
#include <utility>

#include "errors.h"
#include "nslp.h"
#include "nvra.h"
#include "problem_lib.h"

namespace nvraapi {

// Result of a library call that succeeded while a Python exception was raised (by a callback).
constexpr int kPythonErrorRc = 884;

// The handle that a library function of handle type H needs from a problem.
template <class H> inline H problemHandle(problem_lib_s *p) {
    if constexpr (std::is_same_v<H, NSLPprob>)
        return p->nlprob;
    else
        return p->prob;
}

// The frame: a Python exception already pending is kept in the problem's slot, the
// interpreter lock is released, fn(handle, args...) runs, the lock is taken back and an
// exception that a callback stored during the call becomes pending. Returns 0, the library's
// non-zero code, or kPythonErrorRc when the call succeeded but a Python exception is now
// pending that was not pending before. problem must not be null.
template <class H, class... P, class... A>
int CallLib(int (*fn)(H, P...), const char *name, problem_lib_s *problem, A &&...args) {
    H handle = problemHandle<H>(problem);
    const int saved = saveException(problem, name, problem->prob);
    PyThreadState *ts = PyEval_SaveThread();
    const int rc = fn(handle, static_cast<P>(args)...);
    PyEval_RestoreThread(ts);
    handleSavedException(problem, rc);
    if (rc != 0) return rc;
    return (PyErr_Occurred() && !saved) ? kPythonErrorRc : 0;
}

} // namespace nvraapi

// Calls fn(handle, args...) on the initialised problem p in the frame; a failure raises the
// library's error (setNvraErr: a Python exception raised meanwhile wins). 0 or -1.
//
//     if (problem_call(p, NVRAchgbounds, "NVRAchgbounds", 1, &col, &which, &value) != 0)
//         return nullptr;
template <class H, class... P, class... A>
int problem_call(problem_lib_s *p, int (*fn)(H, P...), const char *name, A &&...args) {
    if (checkProblemIsInitialized(p) != 0) return -1;
    if (nvraapi::CallLib(fn, name, p, std::forward<A>(args)...) == 0) return 0;
    return setNvraErr(p);
}

// problem_call for the long library calls (optimisation, IIS searches, tuning, repairs): SIGINT
// has its default disposition during the call, so that Ctrl-C reaches the library. 0 or -1.
template <class H, class... P, class... A>
int problem_call_interruptible(problem_lib_s *p, int (*fn)(H, P...), const char *name,
                               A &&...args) {
    if (checkProblemIsInitialized(p) != 0) return -1;
    setSigIntHandler();
    const int rc = nvraapi::CallLib(fn, name, p, std::forward<A>(args)...);
    resetSigIntHandler();
    return rc == 0 ? 0 : setNvraErr(p);
}
