// model/maps.cpp: coefficient and property maps on tsl robin-map and std::map.
#include "maps.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "util/addrsort.h"

template <class M> static void setLoad(M &m) {
    m.max_load_factor(kMapMaxLoadFactor);
}

// Returns the hint, else the first key in bucket order (remembered).
template <class M> static PyObject *anyKey(M *m) {
    if (m->hint || m->map.empty()) return m->hint;
    return m->hint = m->map.begin()->first;
}

// Called before the entry of key is erased: the hint must always be a key of the map, or null.
template <class M> static void forgetHint(M *m, PyObject *key) {
    if (m->hint == key) m->hint = nullptr;
}

// ---- linmap ----------------------------------------------------------------------------------

namespace {

LinEntry *inlineStorage(const linmap *m) {
    return reinterpret_cast<LinEntry *>(const_cast<linmap *>(m) + 1);
}

bool isInline(const linmap *m) {
    return m->data == inlineStorage(m);
}

uintptr_t addressOf(const LinEntry &e) {
    return reinterpret_cast<uintptr_t>(e.var);
}

void push(linmap *m, PyObject *var, double c) {
    Py_INCREF(var);
    m->data[m->len++] = LinEntry{var, c};
    if (isInline(m)) m->merged = m->len;
}

// Room for cap entries in the long form (the entries are kept). 0 or -1.
int growTo(linmap *m, size_t cap) {
    if (cap > UINT32_MAX) return -1;
    LinEntry *from = isInline(m) ? nullptr : m->data;
    auto *a = static_cast<LinEntry *>(PyMem_RawRealloc(from, cap * sizeof(LinEntry)));
    if (!a) return -1;
    if (!from) {
        std::memcpy(static_cast<void *>(a), m->data, m->len * sizeof(LinEntry));
        m->merged = 0; // the entries of the inline form are distinct, but not in address order
    }
    m->data = a;
    m->cap = static_cast<uint32_t>(cap);
    return 0;
}

// Back to the inline form, for a long map that holds few merged entries.
void moveInline(linmap *m) {
    LinEntry *a = m->data;
    std::memcpy(static_cast<void *>(inlineStorage(m)), a, m->len * sizeof(LinEntry));
    PyMem_RawFree(a);
    m->data = inlineStorage(m);
    m->cap = m->inlineCap;
    m->merged = m->len;
}

// After a merge or removal: few entries go back inline, a long array mostly empty is shrunk.
void fit(linmap *m) {
    if (isInline(m)) return;
    if (m->len <= m->inlineCap) {
        moveInline(m);
    } else if (m->cap > 4 * m->len) {
        if (auto *a =
                static_cast<LinEntry *>(PyMem_RawRealloc(m->data, m->len * sizeof(LinEntry)))) {
            m->data = a;
            m->cap = static_cast<uint32_t>(m->len);
        }
    }
}

// Removes entry i of a merged map, releasing its key.
void removeAt(linmap *m, size_t i) {
    PyObject *var = m->data[i].var;
    std::memmove(static_cast<void *>(m->data + i), m->data + i + 1,
                 (m->len - i - 1) * sizeof(LinEntry));
    m->merged = --m->len;
    fit(m);
    Py_DECREF(var);
}

// The index of var in a merged map, or len when absent.
size_t find(const linmap *m, PyObject *var) {
    if (isInline(m)) {
        for (size_t i = 0; i < m->len; ++i)
            if (m->data[i].var == var) return i;
        return m->len;
    }
    const uintptr_t k = reinterpret_cast<uintptr_t>(var);
    const LinEntry *it =
        std::lower_bound(m->data, m->data + m->len, k,
                         [](const LinEntry &e, uintptr_t key) { return addressOf(e) < key; });
    return it != m->data + m->len && it->var == var ? static_cast<size_t>(it - m->data) : m->len;
}

} // namespace

// Records and long arrays come from the C heap (PyMem_Raw*), not from the object allocator: the
// element-wise temporaries of a large model are freed by the million while the model's own
// objects, made in between, survive; the object allocator then keeps every arena that holds a
// survivor, whereas freed C heap serves the next allocations, the library's included (lqcp with
// 10^6 variables: a third fewer page faults, 10% less CPU time, a peak of 1062 MiB for 1160).
size_t linmap_record_size(size_t room) {
    return sizeof(linmap) + std::clamp<size_t>(room, 1, kLinInline) * sizeof(LinEntry);
}

namespace {

linmap *initRecord(void *memory, size_t room, bool embedded) {
    auto *m = static_cast<linmap *>(memory);
    m->data = inlineStorage(m);
    m->len = m->merged = 0;
    m->cap = m->inlineCap = static_cast<uint16_t>(std::clamp<size_t>(room, 1, kLinInline));
    m->embedded = embedded;
    return m;
}

void freeRecord(linmap *m) {
    if (!isInline(m)) PyMem_RawFree(m->data);
    if (!m->embedded) PyMem_RawFree(m);
}

// Fills the empty map m with the entries of the merged map src. 0 or -1.
int copyEntries(linmap *m, const linmap *src) {
    if (src->len > m->inlineCap) {
        m->data = static_cast<LinEntry *>(PyMem_RawMalloc(src->len * sizeof(LinEntry)));
        if (!m->data) {
            m->data = inlineStorage(m);
            return -1;
        }
        m->cap = static_cast<uint32_t>(src->len);
    }
    std::memcpy(static_cast<void *>(m->data), src->data, src->len * sizeof(LinEntry));
    m->len = m->merged = src->len;
    for (size_t i = 0; i < m->len; ++i)
        Py_INCREF(m->data[i].var);
    return 0;
}

} // namespace

linmap *linmap_new(size_t room) {
    void *memory = PyMem_RawMalloc(linmap_record_size(room));
    return memory ? initRecord(memory, room, false) : nullptr;
}

linmap *linmap_embed(void *memory, size_t room) {
    return initRecord(memory, room, true);
}

void linmap_free(linmap **m) {
    linmap *p = *m;
    if (!p) return;
    *m = nullptr;
    for (size_t i = 0; i < p->len; ++i)
        Py_DECREF(p->data[i].var);
    freeRecord(p);
}

int linmap_copy(linmap **dst, const linmap *src) {
    linmap_settle(src);
    linmap *m = linmap_new(src->len);
    if (!m) return -1;
    if (copyEntries(m, src) != 0) {
        freeRecord(m);
        return -1;
    }
    linmap_free(dst);
    *dst = m;
    return 0;
}

int linmap_copy_to(linmap *m, const linmap *src) {
    linmap_settle(src);
    return copyEntries(m, src);
}

void linmap_settle(const linmap *cm) {
    if (cm->merged == cm->len) return;
    auto *m = const_cast<linmap *>(cm); // the entries stay what they are
    if (!nvy_addrsort::sortByAddress(m->data, m->len, addressOf))
        std::stable_sort(m->data, m->data + m->len,
                         [](const LinEntry &a, const LinEntry &b) { return a.var < b.var; });
    // Each run of one key is summed in the order of entry; every entry after the first of its
    // run held a reference of its own, the first one keeps the key alive meanwhile.
    size_t out = 0;
    for (size_t i = 0; i < m->len;) {
        PyObject *var = m->data[i].var;
        double sum = m->data[i].coef;
        size_t j = i + 1;
        for (; j < m->len && m->data[j].var == var; ++j) {
            sum += m->data[j].coef;
            Py_DECREF(var);
        }
        if (sum != 0.0)
            m->data[out++] = LinEntry{var, sum};
        else
            Py_DECREF(var);
        i = j;
    }
    m->len = m->merged = out;
    fit(m);
}

void linmap_drop_zeros(linmap *m) {
    linmap_settle(m);
    size_t out = 0;
    for (size_t i = 0; i < m->len; ++i) {
        if (m->data[i].coef != 0.0)
            m->data[out++] = m->data[i];
        else
            Py_DECREF(m->data[i].var);
    }
    m->len = m->merged = out;
    fit(m);
}

int linmap_merge(linmap *dst, const linmap *src, double s) {
    linmap_settle(src);
    if (linmap_reserve(dst, dst->len + src->len) != 0) return -1; // one growth
    if (dst->len == 0) {
        // Into an empty map: src's entries are distinct, so they are copied without a lookup;
        // in address order (a long src) they are merged entries of a long dst as well.
        for (size_t i = 0; i < src->len; ++i)
            if (const double c = s * src->data[i].coef; c != 0.0) push(dst, src->data[i].var, c);
        if (!isInline(src) && !isInline(dst)) dst->merged = dst->len;
        return 0;
    }
    if (isInline(dst)) {
        // src's entries are distinct, so each is looked up among dst's own entries only, not
        // among those added from src before it; the entries end as adding one by one leaves them.
        size_t own = dst->len;
        for (size_t i = 0; i < src->len; ++i) {
            const double c = s * src->data[i].coef;
            if (c == 0.0) continue;
            PyObject *var = src->data[i].var;
            size_t k = 0;
            while (k < own && dst->data[k].var != var)
                ++k;
            if (k == own) {
                push(dst, var, c);
            } else if ((dst->data[k].coef += c) == 0.0) {
                removeAt(dst, k);
                --own;
            }
        }
        return 0;
    }
    for (size_t i = 0; i < src->len; ++i)
        if (linmap_add(dst, src->data[i].var, s * src->data[i].coef) != 0) return -1;
    return 0;
}

Py_ssize_t linmap_size(const linmap *m) {
    linmap_settle(m);
    return static_cast<Py_ssize_t>(m->len);
}

int linmap_reserve(linmap *m, size_t n) {
    if (n <= m->cap) return 0;
    return growTo(m, n);
}

int linmap_get(const linmap *m, PyObject *var, double *out) {
    linmap_settle(m);
    const size_t i = find(m, var);
    if (i == m->len) return -1;
    *out = m->data[i].coef;
    return 0;
}

int linmap_set(linmap *m, PyObject *var, double c) {
    linmap_settle(m);
    const size_t i = find(m, var);
    if (i == m->len) return linmap_add(m, var, c);
    if (c != 0.0)
        m->data[i].coef = c;
    else
        removeAt(m, i);
    return 0;
}

int linmap_add(linmap *m, PyObject *var, double c) {
    if (c == 0.0) return 0;
    if (isInline(m)) {
        for (size_t i = 0; i < m->len; ++i) {
            if (m->data[i].var != var) continue;
            if ((m->data[i].coef += c) == 0.0) removeAt(m, i);
            return 0;
        }
        if (m->len == m->cap && growTo(m, 2 * kLinInline) != 0) return -1;
    } else if (m->len == m->cap) {
        // Before growing, merge when the appended entries are as many as the merged ones:
        // repeated keys then cost no memory, and each merge is paid by as many appends.
        if (m->len - m->merged >= m->merged) {
            linmap_settle(m);
            if (isInline(m)) return linmap_add(m, var, c);
        }
        if (m->len == m->cap && growTo(m, 2 * m->cap) != 0) return -1;
    }
    push(m, var, c);
    return 0;
}

PyObject *linmap_any_key(const linmap *m) {
    return m->len ? m->data[0].var : nullptr;
}

// ---- quadmap ---------------------------------------------------------------------------------

quadmap *quadmap_new() {
    auto *m = new (std::nothrow) quadmap;
    if (m) setLoad(m->map);
    return m;
}

void quadmap_free(quadmap **m) {
    if (!*m) return;
    for (auto &kv : (*m)->map) {
        linmap *row = kv.second;
        linmap_free(&row);
        Py_DECREF(kv.first);
    }
    delete *m;
    *m = nullptr;
}

int quadmap_copy(quadmap **dst, const quadmap *src) {
    quadmap_settle(src);
    quadmap *m = quadmap_new();
    if (!m) return -1;
    try {
        m->map.reserve(src->map.size());
        for (auto &kv : src->map) {
            linmap *row = nullptr;
            if (linmap_copy(&row, kv.second) != 0) throw std::bad_alloc();
            try {
                m->map.emplace(kv.first, row);
            } catch (...) {
                linmap_free(&row);
                throw;
            }
            Py_INCREF(kv.first);
        }
    } catch (const std::bad_alloc &) {
        quadmap_free(&m);
        return -1;
    }
    m->size = src->size;
    quadmap_free(dst);
    *dst = m;
    return 0;
}

void quadmap_settle(const quadmap *cm) {
    if (cm->exact) return;
    auto *m = const_cast<quadmap *>(cm); // the entries stay what they are
    m->size = 0;
    for (auto it = m->map.begin(); it != m->map.end();) {
        const Py_ssize_t n = linmap_size(it->second);
        if (n != 0) {
            m->size += n;
            ++it;
            continue;
        }
        PyObject *key = it->first;
        forgetHint(m, key);
        linmap_free(&it.value());
        it = m->map.erase(it);
        Py_DECREF(key);
    }
    m->exact = true;
}

int quadmap_merge(quadmap *dst, const quadmap *src, double s) {
    return quadmap_forEachUntil(
        src, [&](PyObject *u, PyObject *v, double c) { return quadmap_add(dst, u, v, s * c); });
}

Py_ssize_t quadmap_size(const quadmap *m) {
    quadmap_settle(m);
    return m->size;
}

int quadmap_get(const quadmap *m, PyObject *u, linmap **row) {
    quadmap_settle(m);
    auto it = m->map.find(u);
    if (it == m->map.end()) return -1;
    *row = it->second;
    return 0;
}

int quadmap_add(quadmap *m, PyObject *u, PyObject *v, double c) {
    if (c == 0.0) return 0;
    auto it = m->map.find(u);
    if (it == m->map.end()) {
        linmap *row = linmap_new(2);
        if (!row || linmap_add(row, v, c) != 0) {
            linmap_free(&row);
            return -1;
        }
        try {
            m->map.emplace(u, row);
        } catch (const std::bad_alloc &) {
            linmap_free(&row);
            return -1;
        }
        Py_INCREF(u);
        m->hint = u;
        m->size += 1;
        return 0;
    }
    linmap *row = it->second;
    // While the count is exact every row is merged, so its length is its size.
    const size_t before = row->len;
    if (linmap_add(row, v, c) != 0) return -1;
    if (!m->exact) return 0;
    if (linmap_pending(row)) {
        m->exact = false;
        return 0;
    }
    m->size += static_cast<Py_ssize_t>(row->len) - static_cast<Py_ssize_t>(before);
    if (row->len == 0) {
        forgetHint(m, u);
        linmap_free(&row);
        m->map.erase(it);
        Py_DECREF(u);
    }
    return 0;
}

PyObject *quadmap_any_key(quadmap *m) {
    return anyKey(m);
}

// ---- namemap and boundmap --------------------------------------------------------------------

namemap *namemap_new() {
    auto *m = new (std::nothrow) namemap;
    if (m) setLoad(m->map);
    return m;
}

void namemap_free(namemap **m) {
    if (!*m) return;
    for (auto &kv : (*m)->map)
        Py_DECREF(kv.second);
    delete *m;
    *m = nullptr;
}

PyObject *namemap_get(const namemap *m, uint64_t id) {
    auto it = m->map.find(id);
    return it == m->map.end() ? nullptr : it->second;
}

int namemap_set(namemap *m, uint64_t id, PyObject *str) {
    auto it = m->map.find(id);
    if (it != m->map.end()) {
        Py_SETREF(it.value(), str);
        return 0;
    }
    try {
        m->map.emplace(id, str);
    } catch (const std::bad_alloc &) {
        Py_DECREF(str);
        return -1;
    }
    return 0;
}

void namemap_del(namemap *m, uint64_t id) {
    auto it = m->map.find(id);
    if (it == m->map.end()) return;
    PyObject *s = it->second;
    m->map.erase(it);
    Py_DECREF(s);
}

boundmap *boundmap_new() {
    auto *m = new (std::nothrow) boundmap;
    if (m) setLoad(m->map);
    return m;
}

void boundmap_free(boundmap **m) {
    delete *m;
    *m = nullptr;
}

double boundmap_get(const boundmap *m, uint64_t id) {
    auto it = m->map.find(id);
    return it == m->map.end() ? 0.0 : it->second;
}

int boundmap_set(boundmap *m, uint64_t id, double x) {
    try {
        m->map.insert_or_assign(id, x);
    } catch (const std::bad_alloc &) {
        return -1;
    }
    return 0;
}

void boundmap_del(boundmap *m, uint64_t id) {
    m->map.erase(id);
}

// ---- rowcolmap -------------------------------------------------------------------------------

rowcolmap *rowcolmap_new() {
    return new (std::nothrow) rowcolmap;
}

void rowcolmap_free(rowcolmap **m) {
    delete *m;
    *m = nullptr;
}

int rowcolmap_copy(rowcolmap **dst, const rowcolmap *src) {
    rowcolmap *m = rowcolmap_new();
    if (!m) return -1;
    try {
        if (src) m->map = src->map;
    } catch (const std::bad_alloc &) {
        delete m;
        return -1;
    }
    rowcolmap_free(dst);
    *dst = m;
    return 0;
}

int rowcolmap_get(const rowcolmap *m, uint64_t id, long *out) {
    if (!m) return -1;
    auto it = m->map.find(id);
    if (it == m->map.end()) return -1;
    *out = static_cast<long>(it->second);
    return 0;
}

int rowcolmap_has(const rowcolmap *m, uint64_t id) {
    return m && m->map.count(id) ? 1 : 0;
}

int rowcolmap_set(rowcolmap *m, uint64_t id, long index) {
    try {
        m->map.insert_or_assign(id, index);
    } catch (const std::bad_alloc &) {
        return -1;
    }
    return 0;
}

void rowcolmap_del(rowcolmap *m, uint64_t id) {
    if (m) m->map.erase(id);
}

// ---- userfuncmap -----------------------------------------------------------------------------

userfuncmap *userfuncmap_new() {
    return new (std::nothrow) userfuncmap;
}

int userfuncmap_add(userfuncmap *m, userfunc_s *record) {
    try {
        m->map.emplace(record->function, record);
    } catch (const std::bad_alloc &) {
        return -1;
    }
    Py_INCREF(record->function);
    return 0;
}

userfunc_s *userfuncmap_get(const userfuncmap *m, PyObject *function, int nargs) {
    auto [lo, hi] = m->map.equal_range(function);
    for (auto it = lo; it != hi; ++it)
        if (it->second->nargs == nargs) return it->second;
    return nullptr;
}

void userfuncmap_free(userfuncmap **m) {
    if (!*m) return;
    for (auto &kv : (*m)->map) {
        PyObject *f = kv.first;
        kv.second->destroy(kv.second);
        Py_DECREF(f);
    }
    delete *m;
    *m = nullptr;
}
