// runtime/calllib.h: the frame around every library call on a problem. It is the only place
// where the interpreter lock is released.
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
        return p ? p->nlprob : nullptr;
    else
        return p ? p->prob : nullptr;
}

// Calls fn(handle, args...) with the interpreter lock released. Returns 0, the library's
// non-zero code, or kPythonErrorRc when the call succeeded but a Python exception is now
// pending that was not pending before.
template <class H, class... P, class... A>
int CallLib(int (*fn)(H, P...), const char *name, problem_lib_s *problem, A &&...args) {
    H handle = problemHandle<H>(problem);
    const int saved = saveException(problem, name, problem ? problem->prob : nullptr);
    PyThreadState *ts = PyEval_SaveThread();
    const int rc = fn(handle, static_cast<P>(args)...);
    PyEval_RestoreThread(ts);
    if (problem) handleSavedException(problem, rc);
    if (rc != 0) return rc;
    return (PyErr_Occurred() && !saved) ? kPythonErrorRc : 0;
}

} // namespace nvraapi

// Calls fn(handle, args...) in the library-call frame; a failure becomes the problem's error
// (a pending Python exception wins). 0 or -1.
template <class H, class... P, class... A>
int problem_call(problem_lib_s *p, int (*fn)(H, P...), const char *name, A &&...args) {
    if (nvraapi::CallLib(fn, name, p, std::forward<A>(args)...) == 0) return 0;
    setNvraErr(p);
    return -1;
}
