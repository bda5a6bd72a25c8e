// model/maps.cpp: coefficient and property maps on tsl robin-map and std::map.
#include "maps.h"

#include <new>

template <class M> static void setLoad(M &m) {
    m.max_load_factor(kMapMaxLoadFactor);
}

// Called before the entry of key is erased: the hint must always be a key of the map, or null.
template <class M> static void forgetHint(M *m, PyObject *key) {
    if (m->hint == key) m->hint = nullptr;
}

// ---- linmap ----------------------------------------------------------------------------------

linmap *linmap_new() {
    auto *m = new (std::nothrow) linmap;
    if (m) setLoad(m->map);
    return m;
}

void linmap_free(linmap **m) {
    if (!*m) return;
    for (auto &kv : (*m)->map)
        Py_DECREF(kv.first);
    delete *m;
    *m = nullptr;
}

int linmap_copy(linmap **dst, const linmap *src) {
    linmap *m = linmap_new();
    if (!m) return -1;
    try {
        m->map = src->map;
    } catch (const std::bad_alloc &) {
        delete m;
        return -1;
    }
    m->hint = src->hint;
    for (auto &kv : m->map)
        Py_INCREF(kv.first);
    linmap_free(dst);
    *dst = m;
    return 0;
}

// The sweep may visit an entry twice (erasing shifts later entries back), which is harmless
// for this test.
void linmap_drop_zeros(linmap *m) {
    for (auto it = m->map.begin(); it != m->map.end();) {
        if (it->second != 0.0) {
            ++it;
            continue;
        }
        PyObject *key = it->first;
        forgetHint(m, key);
        it = m->map.erase(it);
        Py_DECREF(key);
    }
}

int linmap_merge(linmap *dst, const linmap *src, double s) {
    if (linmap_reserve(dst, dst->map.size() + src->map.size()) != 0) return -1; // one growth
    for (auto &kv : src->map)
        if (linmap_add(dst, kv.first, s * kv.second) != 0) return -1;
    return 0;
}

Py_ssize_t linmap_size(const linmap *m) {
    return static_cast<Py_ssize_t>(m->map.size());
}

int linmap_reserve(linmap *m, size_t n) {
    // The table's reserve() rebuilds the table even when it is large enough already.
    if (static_cast<double>(n) < static_cast<double>(m->map.bucket_count()) * kMapMaxLoadFactor)
        return 0;
    try {
        m->map.reserve(n);
    } catch (const std::bad_alloc &) {
        return -1;
    }
    return 0;
}

int linmap_get(const linmap *m, PyObject *var, double *out) {
    auto it = m->map.find(var);
    if (it == m->map.end()) return -1;
    *out = it->second;
    return 0;
}

int linmap_set(linmap *m, PyObject *var, double c) {
    auto it = m->map.find(var);
    if (it != m->map.end()) {
        if (c != 0.0) {
            it.value() = c;
        } else {
            forgetHint(m, var);
            m->map.erase(it);
            Py_DECREF(var);
        }
        return 0;
    }
    if (c == 0.0) return 0;
    try {
        m->map.emplace(var, c);
    } catch (const std::bad_alloc &) {
        return -1;
    }
    Py_INCREF(var);
    m->hint = var;
    return 0;
}

int linmap_add(linmap *m, PyObject *var, double c) {
    if (c == 0.0) return 0;
    try {
        auto [it, inserted] = m->map.try_emplace(var, c);
        if (inserted) {
            Py_INCREF(var);
            m->hint = var;
        } else if ((it.value() += c) == 0.0) {
            forgetHint(m, var);
            m->map.erase(it);
            Py_DECREF(var);
        }
    } catch (const std::bad_alloc &) {
        return -1;
    }
    return 0;
}

// Returns the hint, else the first key in bucket order (remembered).
template <class M> static PyObject *anyKey(M *m) {
    if (m->hint || m->map.empty()) return m->hint;
    return m->hint = m->map.begin()->first;
}

PyObject *linmap_any_key(linmap *m) {
    return anyKey(m);
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

void quadmap_drop_empty_rows(quadmap *m) {
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
}

int quadmap_merge(quadmap *dst, const quadmap *src, double s) {
    for (auto &row : src->map)
        for (auto &kv : row.second->map)
            if (quadmap_add(dst, row.first, kv.first, s * kv.second) != 0) return -1;
    return 0;
}

Py_ssize_t quadmap_size(const quadmap *m) {
    return m->size;
}

int quadmap_get(const quadmap *m, PyObject *u, linmap **row) {
    auto it = m->map.find(u);
    if (it == m->map.end()) return -1;
    *row = it->second;
    return 0;
}

int quadmap_add(quadmap *m, PyObject *u, PyObject *v, double c) {
    if (c == 0.0) return 0;
    auto it = m->map.find(u);
    if (it == m->map.end()) {
        linmap *row = linmap_new();
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
    const Py_ssize_t before = linmap_size(row);
    if (linmap_add(row, v, c) != 0) return -1;
    m->size += linmap_size(row) - before;
    if (linmap_size(row) == 0) {
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
