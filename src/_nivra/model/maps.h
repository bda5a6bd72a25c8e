// model/maps.h: the coefficient and property maps of the modelling layer.
//
// linmap   variable (by address) -> coefficient; owns a reference to each key; never holds 0.0
// quadmap  variable u (by address) -> linmap of second factors; the pair (u, v) is stored once,
//          in the row of the factor with the smaller identifier
// namemap  identifier -> str (owns the values)
// boundmap identifier -> double
// rowcolmap identifier -> index (ordered)
// userfuncmap callable (by address) -> user-function records (ordered multimap; owns the keys)
//
// Integer results are 0 for success and -1 for failure (only exhausted memory fails; a map
// that failed an insertion keeps its previous entries). No Python exception is set here:
// callers raise their own messages.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <map>

#include <tsl/robin_map.h>

struct IdentityHash {
    size_t operator()(const void *p) const noexcept {
        // Objects are 16-byte aligned: drop the low bits, then mix (Fibonacci hashing).
        return static_cast<size_t>((reinterpret_cast<uintptr_t>(p) >> 4) * 0x9E3779B97F4A7C15ull);
    }
};
struct IdHash {
    size_t operator()(uint64_t id) const noexcept {
        return static_cast<size_t>(id * 0x9E3779B97F4A7C15ull);
    }
};

constexpr float kMapMaxLoadFactor = 0.8f;

struct linmap {
    tsl::robin_map<PyObject *, double, IdentityHash> map;
};
struct quadmap {
    tsl::robin_map<PyObject *, linmap *, IdentityHash> map;
    Py_ssize_t size = 0; // total entries of all rows
};
struct namemap {
    tsl::robin_map<uint64_t, PyObject *, IdHash> map;
};
struct boundmap {
    tsl::robin_map<uint64_t, double, IdHash> map;
};
struct rowcolmap {
    std::map<uint64_t, int64_t> map;
};

// A user-function record (filled by the user-function code); the map owns the records and
// frees them through destroy.
struct userfunc_s {
    PyObject *function; // the key callable (the map holds its own reference)
    int nargs;
    void (*destroy)(userfunc_s *);
};
struct userfuncmap {
    std::multimap<PyObject *, userfunc_s *> map;
};

linmap *linmap_new();
void linmap_free(linmap **m);
int linmap_copy(linmap **dst, const linmap *src);
Py_ssize_t linmap_size(const linmap *m);
int linmap_get(const linmap *m, PyObject *var, double *out);
int linmap_has(const linmap *m, PyObject *var);
int linmap_set(linmap *m, PyObject *var, double c);
int linmap_add(linmap *m, PyObject *var, double c);
void linmap_del(linmap *m, PyObject *var);

quadmap *quadmap_new();
void quadmap_free(quadmap **m);
int quadmap_copy(quadmap **dst, const quadmap *src);
Py_ssize_t quadmap_size(const quadmap *m);
int quadmap_get(const quadmap *m, PyObject *u, linmap **row);
// Makes row (ownership passes to the map) the row of u; a previous row is freed.
int quadmap_set(quadmap *m, PyObject *u, linmap *row);
int quadmap_add(quadmap *m, PyObject *u, PyObject *v, double c);
void quadmap_del(quadmap *m, PyObject *u);
// Recounts the entries after a caller edited rows directly.
void quadmap_recount(quadmap *m);

namemap *namemap_new();
void namemap_free(namemap **m);
PyObject *namemap_get(const namemap *m, uint64_t id); // borrowed, or null
int namemap_has(const namemap *m, uint64_t id);
int namemap_set(namemap *m, uint64_t id, PyObject *str); // steals str
void namemap_del(namemap *m, uint64_t id);

boundmap *boundmap_new();
void boundmap_free(boundmap **m);
double boundmap_get(const boundmap *m, uint64_t id);
int boundmap_has(const boundmap *m, uint64_t id);
int boundmap_set(boundmap *m, uint64_t id, double x);
void boundmap_del(boundmap *m, uint64_t id);

rowcolmap *rowcolmap_new();
void rowcolmap_free(rowcolmap **m);
int rowcolmap_copy(rowcolmap **dst, const rowcolmap *src);
int rowcolmap_get(const rowcolmap *m, uint64_t id, long *out);
int rowcolmap_has(const rowcolmap *m, uint64_t id);
int rowcolmap_set(rowcolmap *m, uint64_t id, long index);
void rowcolmap_del(rowcolmap *m, uint64_t id);

userfuncmap *userfuncmap_new();
int userfuncmap_add(userfuncmap *m, userfunc_s *record);
userfunc_s *userfuncmap_get(const userfuncmap *m, PyObject *function, int nargs);
void userfuncmap_free(userfuncmap **m);
