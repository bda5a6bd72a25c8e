// problem/problib.h: small helpers shared by the files that move the model into the library:
// attribute reads, the two ways in which a problem can hold model objects, and names.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstring>
#include <utility>

#include "runtime/alloc.h"
#include "runtime/args.h"
#include "runtime/calllib.h"
#include "runtime/env.h"
#include "runtime/errors.h"
#include "problem/problem.h"

// An integer attribute of the optimizer problem. 0 or -1.
inline int problem_intAttrib(problem_s *p, int id, int *value) {
    *value = 0;
    return problem_call(p, NVRAgetintattrib, "NVRAgetintattrib", id, value);
}

// The problem holds unlinked (older style) objects: one of its serial maps exists.
inline bool problem_holdsUnlinked(const problem_s *p) {
    return p->var_index_map || p->con_index_map || p->sos_index_map;
}
// The problem holds linked objects: it has objects and no serial map.
inline bool problem_holdsLinked(const problem_s *p) {
    return !problem_holdsUnlinked(p) &&
           (PyList_GET_SIZE(p->vars) || PyList_GET_SIZE(p->cons) || PyList_GET_SIZE(p->sets));
}
