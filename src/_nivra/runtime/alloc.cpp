// runtime/alloc.cpp: the three heaps of the temporary-array allocator.
#include "alloc.h"

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdlib>

static void noMemoryIfLocked() {
    if (PyGILState_Check()) PyErr_NoMemory();
}

static int c_alloc(void *, size_t size, void **out) {
    *out = malloc(size);
    return (*out || size == 0) ? 0 : -1;
}
static int c_realloc(void *, void **block, size_t size) {
    void *p = realloc(*block, size);
    if (!p && size) return -1;
    *block = p;
    return 0;
}
static int c_free(void *, void **block) {
    free(*block);
    *block = nullptr;
    return 0;
}

static int d_alloc(void *ctx, size_t size, void **out) {
    if (c_alloc(ctx, size, out) == 0) return 0;
    noMemoryIfLocked();
    return -1;
}
static int d_realloc(void *ctx, void **block, size_t size) {
    if (c_realloc(ctx, block, size) == 0) return 0;
    noMemoryIfLocked();
    return -1;
}

static int py_alloc(void *, size_t size, void **out) {
    *out = PyObject_Malloc(size);
    if (*out || size == 0) return 0;
    PyErr_NoMemory();
    return -1;
}
static int py_realloc(void *, void **block, size_t size) {
    void *p = PyObject_Realloc(*block, size);
    if (!p && size) {
        PyErr_NoMemory();
        return -1;
    }
    *block = p;
    return 0;
}
static int py_free(void *, void **block) {
    PyObject_Free(*block);
    *block = nullptr;
    return 0;
}

static const nvo_MemoryAllocator_ops default_ops = {d_alloc, d_realloc, c_free};
static const nvo_MemoryAllocator_ops system_ops = {c_alloc, c_realloc, c_free};
static const nvo_MemoryAllocator_ops pymalloc_ops = {py_alloc, py_realloc, py_free};

nvo_MemoryAllocator_s nvo_MemoryAllocator_DefaultHeap_s = {&default_ops, nullptr};
nvo_MemoryAllocator_s nvo_MemoryAllocator_SystemHeap_s = {&system_ops, nullptr};
nvo_MemoryAllocator_s nvo_MemoryAllocator_PyMallocHeap_s = {&pymalloc_ops, nullptr};
nvo_MemoryAllocator_s *nvo_MemoryAllocator_DefaultHeap = &nvo_MemoryAllocator_DefaultHeap_s;
nvo_MemoryAllocator_s *nvo_MemoryAllocator_SystemHeap = &nvo_MemoryAllocator_SystemHeap_s;

int nvo_MemoryAllocator_Alloc_Untyped(nvo_MemoryAllocator_s *a, size_t size, void **out) {
    return a->ops->alloc(a->ctx, size, out);
}

int nvo_MemoryAllocator_Realloc_Untyped(nvo_MemoryAllocator_s *a, void **block, size_t size) {
    if (size == 0) {
        nvo_MemoryAllocator_Free_Untyped(a, block);
        return 0;
    }
    return a->ops->realloc(a->ctx, block, size);
}

void nvo_MemoryAllocator_Free_Untyped(nvo_MemoryAllocator_s *a, void **block) {
    if (*block) a->ops->free(a->ctx, block);
}
