// model/maps.h: the coefficient and property maps of the modelling layer.
//
// linmap   variable (by address) -> coefficient; owns a reference to each key; never holds 0.0
//          when read (see below)
// quadmap  variable u (by address) -> linmap of second factors; the pair (u, v) is stored once,
//          in the row of the factor with the smaller identifier
// namemap  identifier -> str (owns the values)
// boundmap identifier -> double
// rowcolmap identifier -> index (ordered)
// userfuncmap callable (by address) -> user-function records (ordered multimap; owns the keys)
//
// A linmap has two forms. Inline: up to kLinInline distinct entries in the record itself (the
// record is allocated with room for as many as its creator expects), in the order they were
// entered, found by a linear scan: no table, no allocation beyond the record. Long: an array
// whose front part is merged (sorted by address, distinct keys, no zero) and whose tail holds
// appended (key, coefficient) pairs not merged yet, each pair with its own key reference.
// Adding to a long map appends; the first read that needs map semantics (size, lookup,
// iteration, copy) merges: the entries are sorted stably by address, runs of one key are summed
// in the order they were added (so the sum is the one that adding one by one gives), zero sums
// are dropped and the extra key references given back. A merge that leaves few entries moves
// them back inline. Reads are therefore logically const and may merge.
//
// Integer results are 0 for success and -1 for failure (only exhausted memory fails; a map
// that failed an insertion keeps its previous entries). No Python exception is set here:
// callers raise their own messages. All of it runs with the interpreter lock held.
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

struct LinEntry {
    PyObject *var;
    double coef;
};

constexpr size_t kLinInline = 8;

// The record is followed by room for inlineCap entries (the inline form's storage). It is
// allocated on its own, or embedded in the memory of the object that holds it (then freeing
// the map leaves the record to its holder).
struct linmap {
    LinEntry *data;     // the inline storage (inline form) or an array from the heap (long form)
    size_t len;         // entries in data
    size_t merged;      // entries [0, merged) are merged; always len in the inline form
    uint32_t cap;       // room in data
    uint16_t inlineCap; // room in the inline storage, 1 to kLinInline
    uint16_t embedded;  // 1 when the record lives in its holder's memory
};

// quadmap rows are linmaps. size counts the entries of all rows while exact is set; adding to a
// long row clears it, and the next read merges the rows, drops empty ones and recounts.
// hint: a row key (a recently inserted one) or null; every erasure of that key clears it.
struct quadmap {
    VarTable<linmap *> map;
    Py_ssize_t size = 0; // total entries of all rows, when exact
    bool exact = true;
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

// A new empty map with inline room for `room` entries (clamped to 1..kLinInline).
linmap *linmap_new(size_t room = 4);
// The bytes of a map record with inline room for `room` entries (clamped as above), and an
// empty map made in such memory, which its holder provides (aligned for pointers) and frees.
size_t linmap_record_size(size_t room);
linmap *linmap_embed(void *memory, size_t room);
// The empty map m becomes a copy of src (as linmap_copy makes it when m has inline room for
// src's entries). 0 or -1 (then m stays empty).
int linmap_copy_to(linmap *m, const linmap *src);
void linmap_free(linmap **m);
int linmap_copy(linmap **dst, const linmap *src);
// Merges the appended entries (see above). Logically const: the entries do not change.
void linmap_settle(const linmap *m);
// True when the map has appended entries not merged yet.
inline bool linmap_pending(const linmap *m) {
    return m->merged != m->len;
}
// Removes the entries whose coefficient is 0.0, releasing their keys (merges first).
void linmap_drop_zeros(linmap *m);
// dst += s·src, entry by entry with linmap_add semantics; dst and src must differ. On failure
// some entries may have been added already.
int linmap_merge(linmap *dst, const linmap *src, double s);
Py_ssize_t linmap_size(const linmap *m);
// Makes room for n entries in all, so that adding up to n entries allocates at most once.
int linmap_reserve(linmap *m, size_t n);
int linmap_get(const linmap *m, PyObject *var, double *out);
int linmap_set(linmap *m, PyObject *var, double c);
int linmap_add(linmap *m, PyObject *var, double c);
// Some key entered into the map (borrowed), or null when it is empty; constant time, without a
// merge: appended entries not merged yet may cancel that key, so a caller that needs an exact
// answer (is the map empty?) merges first.
PyObject *linmap_any_key(const linmap *m);

// The merged entries, in map order (inline: the order of entry; long: by address).
inline const LinEntry *linmap_begin(const linmap *m) {
    linmap_settle(m);
    return m->data;
}
inline const LinEntry *linmap_end(const linmap *m) {
    return m->data + m->len;
}
// Visits every entry as f(var, coef), after merging.
template <class F> void linmap_forEach(const linmap *m, F &&f) {
    for (const LinEntry *it = linmap_begin(m), *end = linmap_end(m); it != end; ++it)
        f(it->var, it->coef);
}
// The same until f returns nonzero, which is returned.
template <class F> int linmap_forEachUntil(const linmap *m, F &&f) {
    for (const LinEntry *it = linmap_begin(m), *end = linmap_end(m); it != end; ++it)
        if (const int rc = f(it->var, it->coef)) return rc;
    return 0;
}

quadmap *quadmap_new();
void quadmap_free(quadmap **m);
int quadmap_copy(quadmap **dst, const quadmap *src);
// Merges every row, removes empty rows and recounts the entries. Logically const.
void quadmap_settle(const quadmap *m);
int quadmap_merge(quadmap *dst, const quadmap *src, double s);
Py_ssize_t quadmap_size(const quadmap *m);
int quadmap_get(const quadmap *m, PyObject *u, linmap **row);
int quadmap_add(quadmap *m, PyObject *u, PyObject *v, double c);
// Some row key of the map (borrowed), or null when it is empty; like linmap_any_key, an entry
// not merged yet may have emptied that row.
PyObject *quadmap_any_key(quadmap *m);
// True when some row may hold appended entries not merged yet.
inline bool quadmap_pending(const quadmap *m) {
    return !m->exact;
}
// Visits every entry as f(u, v, coef), after merging; the ...Until form stops at the first
// nonzero result of f and returns it.
template <class F> int quadmap_forEachUntil(const quadmap *m, F &&f) {
    quadmap_settle(m);
    for (auto &row : m->map)
        if (const int rc = linmap_forEachUntil(
                row.second, [&](PyObject *v, double c) { return f(row.first, v, c); }))
            return rc;
    return 0;
}
template <class F> void quadmap_forEach(const quadmap *m, F &&f) {
    quadmap_forEachUntil(m, [&](PyObject *u, PyObject *v, double c) {
        f(u, v, c);
        return 0;
    });
}

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
    linmap_settle(m);
    bool zero = false;
    for (size_t i = 0; i < m->len; ++i)
        zero |= (m->data[i].coef = f(m->data[i].coef)) == 0.0;
    if (zero) linmap_drop_zeros(m);
}

template <class F> void quadmap_apply(quadmap *m, F f) {
    quadmap_settle(m);
    for (auto &row : m->map)
        linmap_apply(row.second, f);
    m->exact = false; // rows may have become empty
    quadmap_settle(m);
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
