// problem/problib.h: small helpers shared by the files that move the model into the library:
// attribute reads, the two ways in which a problem can hold model objects, names, and a
// growable array for the library.
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

// A growable array from the default heap: the capacity starts at First entries and doubles
// until a request fits.
template <class T, size_t First> class GrowArray {
    T *data_ = nullptr;
    size_t cap_ = 0;

  public:
    GrowArray() = default;
    GrowArray(const GrowArray &) = delete;
    GrowArray &operator=(const GrowArray &) = delete;
    ~GrowArray() { release(); }
    T *data() const { return data_; }
    T &operator[](size_t i) const { return data_[i]; }
    // Room for n entries in total (the array exists afterwards even for n = 0). 0, or -1 with
    // MemoryError.
    int reserve(size_t n) {
        if (n <= cap_ && data_) return 0;
        size_t cap = cap_ ? cap_ : First;
        while (cap < n)
            cap *= 2;
        if (nvo_MemoryAllocator_Realloc_Untyped(nvo_MemoryAllocator_DefaultHeap, raw(),
                                                cap * sizeof(T)) != 0)
            return -1;
        cap_ = cap;
        return 0;
    }
    void release() {
        nvo_MemoryAllocator_Free_Untyped(nvo_MemoryAllocator_DefaultHeap, raw());
        cap_ = 0;
    }

  private:
    void **raw() { return reinterpret_cast<void **>(&data_); }
};
