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

// Hash of a variable key by its address: variables are 32-byte objects, so p >> 5 numbers
// them; the multiplication mixes every bit into the high half, which is folded onto the low
// bits that select the bucket. (Hashes that keep neighbouring objects in neighbouring buckets
// were tried: addresses of variables are too irregular, and they formed long probe runs.)
struct IdentityHash {
    size_t operator()(const void *p) const noexcept {
        const uint64_t h =
            (static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p)) >> 5) * 0x9E3779B97F4A7C15ull;
        return static_cast<size_t>(h ^ (h >> 32));
    }
};
struct IdHash {
    size_t operator()(uint64_t id) const noexcept {
        return static_cast<size_t>(id * 0x9E3779B97F4A7C15ull);
    }
};

constexpr float kMapMaxLoadFactor = 0.8f;

// Variable-keyed table. The truncated hash is stored in each bucket's padding: growth then
// moves entries without rehashing keys, and probes compare hashes before keys.
template <class V>
using VarTable = tsl::robin_map<PyObject *, V, IdentityHash, std::equal_to<PyObject *>,
                                std::allocator<std::pair<PyObject *, V>>, true>;

// hint: a key of the map (a recently inserted or found one) or null; every erasure of that key
// clears it. It makes linmap_any_key constant time (iterating from begin() scans empty
// buckets), without a lookup.
struct linmap {
    VarTable<double> map;
    PyObject *hint = nullptr;
};
struct quadmap {
    VarTable<linmap *> map;
    Py_ssize_t size = 0; // total entries of all rows
    PyObject *hint = nullptr;
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
// Removes the entries whose coefficient is 0.0, releasing their keys.
void linmap_drop_zeros(linmap *m);
// dst += s·src, entry by entry with linmap_add semantics; dst and src must differ. On failure
// some entries may have been added already.
int linmap_merge(linmap *dst, const linmap *src, double s);
Py_ssize_t linmap_size(const linmap *m);
// Makes room for n entries in all, so that inserting up to n grows the table at most once.
int linmap_reserve(linmap *m, size_t n);
int linmap_get(const linmap *m, PyObject *var, double *out);
int linmap_set(linmap *m, PyObject *var, double c);
int linmap_add(linmap *m, PyObject *var, double c);
// Some key of the map (borrowed), or null when it is empty.
PyObject *linmap_any_key(linmap *m);

quadmap *quadmap_new();
void quadmap_free(quadmap **m);
int quadmap_copy(quadmap **dst, const quadmap *src);
// Removes empty rows and recounts the entries.
void quadmap_drop_empty_rows(quadmap *m);
int quadmap_merge(quadmap *dst, const quadmap *src, double s);
Py_ssize_t quadmap_size(const quadmap *m);
int quadmap_get(const quadmap *m, PyObject *u, linmap **row);
int quadmap_add(quadmap *m, PyObject *u, PyObject *v, double c);
// Some row key of the map (borrowed), or null when it is empty.
PyObject *quadmap_any_key(quadmap *m);

namemap *namemap_new();
void namemap_free(namemap **m);
PyObject *namemap_get(const namemap *m, uint64_t id); // borrowed, or null
// Stores str, taking over the caller's reference; a previous value is released here.
int namemap_set(namemap *m, uint64_t id, PyObject *str);
void namemap_del(namemap *m, uint64_t id);

boundmap *boundmap_new();
void boundmap_free(boundmap **m);
double boundmap_get(const boundmap *m, uint64_t id);
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
// Registration and lookup of user functions, for nonlinear formulas that call them.
int userfuncmap_add(userfuncmap *m, userfunc_s *record);
userfunc_s *userfuncmap_get(const userfuncmap *m, PyObject *function, int nargs);
void userfuncmap_free(userfuncmap **m);

// ---- coefficient transforms
// ---------------------------------------------------------------------- f maps a coefficient to
// its new value (a scaling, a division); entries that become 0.0 are removed, so the maps keep
// holding no zero coefficient.

template <class F> void linmap_apply(linmap *m, F f) {
    bool zero = false;
    for (auto it = m->map.begin(); it != m->map.end(); ++it)
        zero |= (it.value() = f(it->second)) == 0.0;
    if (zero) linmap_drop_zeros(m);
}

template <class F> void quadmap_apply(quadmap *m, F f) {
    for (auto &row : m->map)
        linmap_apply(row.second, f);
    quadmap_drop_empty_rows(m);
}

// *dst becomes the transformed copy of src. 0 or -1 (then *dst is unchanged).
template <class F> int linmap_copy_apply(linmap **dst, const linmap *src, F f) {
    linmap *m = nullptr;
    if (linmap_copy(&m, src) != 0) return -1;
    linmap_apply(m, f);
    linmap_free(dst);
    *dst = m;
    return 0;
}

template <class F> int quadmap_copy_apply(quadmap **dst, const quadmap *src, F f) {
    quadmap *m = nullptr;
    if (quadmap_copy(&m, src) != 0) return -1;
    quadmap_apply(m, f);
    quadmap_free(dst);
    *dst = m;
    return 0;
}
