// problem/libcall.h: a library call on a problem whose failure becomes the problem's error.
#pragma once

#include <utility>

#include "module/calllib.h"
#include "module/errors.h"
#include "problem/problem.h"

// Calls fn with the handle of p in the library-call frame. 0; or -1 with the library's error
// for p raised (or the Python exception raised meanwhile kept).
template <class H, class... P, class... A>
int problem_libcall(problem_s *p, int (*fn)(H, P...), const char *name, A &&...args) {
    if (nvraapi::CallLib(fn, name, p, std::forward<A>(args)...) == 0) return 0;
    setNvraErr(reinterpret_cast<PyObject *>(p));
    return -1;
}
