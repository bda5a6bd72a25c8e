// names.cpp: names of rows, columns and sets: the compact name list, default names, lookup by
// name, and the name entry points.
#include "store/store.h"

#include <tsl/robin_map.h>
#include <tsl/robin_set.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <functional>
#include <mutex>

namespace nvra {

// ---- NameList -------------------------------------------------------------------------------
//
// Names live back to back in one character pool; an entry refers to its name by a packed
// reference (offset << 10 | length, lengths 1..1023; 0 = unnamed). While at most an eighth of
// the entries are named the references sit in a hash map keyed by index (a problem with a
// million unnamed rows and one named row costs a few bytes); beyond that in a dense array of
// 8 bytes per entry. Overwritten and erased names leave garbage in the pool, which is compacted
// when it exceeds the live names. The index for find() is a hash set of entry indices hashed by
// their names, built at the first find and kept up to date by later edits where that is cheap.

namespace {
constexpr int kLenBits = 10;
constexpr uint64_t kLenMask = (uint64_t(1) << kLenBits) - 1;
static_assert(NVRA_MAXNAMELENGTH - 1 <= kLenMask, "name length must fit its field");
constexpr int kDenseDivisor = 8; // dense once more than size / 8 entries are named
} // namespace

struct NameList::Impl {
    struct Hash {
        const Impl *list;
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
        size_t operator()(int32_t i) const { return (*this)(list->name(i)); }
    };
    struct Equal {
        const Impl *list;
        using is_transparent = void;
        bool operator()(int32_t a, int32_t b) const { return list->name(a) == list->name(b); }
        bool operator()(int32_t a, std::string_view s) const { return list->name(a) == s; }
        bool operator()(std::string_view s, int32_t a) const { return list->name(a) == s; }
    };
    using Lookup = tsl::robin_set<int32_t, Hash, Equal, std::allocator<int32_t>, true>;

    int n = 0;
    int named = 0;
    bool dense = false;
    std::string pool;
    size_t garbage = 0;
    std::vector<uint64_t> refs;               // dense: one per entry
    tsl::robin_map<int32_t, uint64_t> sparse; // sparse: named entries only
    int maxLen = 0;                           // exact unless maxLenStale
    bool maxLenStale = false;

    // find() index and the recount of maxLen, guarded by lookupMutex because several queries may
    // run at once.
    mutable std::mutex lookupMutex;
    mutable Lookup lookup{0, Hash{this}, Equal{this}};
    mutable bool lookupValid = false;
    mutable bool duplicates = false; // some name is given to more than one entry

    Impl() = default;
    Impl(const Impl &o)
        : n(o.n), named(o.named), dense(o.dense), refs(o.refs), sparse(o.sparse), maxLen(o.maxLen),
          maxLenStale(o.maxLenStale) {
        pool = o.pool; // the copy keeps garbage; it is compacted by later edits
        garbage = o.garbage;
    }

    uint64_t ref(int32_t i) const {
        if (dense) return refs[i];
        auto it = sparse.find(i);
        return it == sparse.end() ? 0 : it->second;
    }
    std::string_view name(int32_t i) const {
        const uint64_t r = ref(i);
        return {pool.data() + (r >> kLenBits), static_cast<size_t>(r & kLenMask)};
    }

    void invalidateLookup() {
        lookupValid = false;
        lookup.clear();
    }

    // Makes room for `extra` more named entries: switches to the dense form when they would be
    // too many for the sparse one, and reserves the hash map otherwise. Allocates only.
    void prepare(int64_t extra, size_t extraBytes) {
        reserveFor(pool, pool.size() + extraBytes);
        if (dense) return;
        const int64_t want = named + extra;
        if (want * kDenseDivisor > n) {
            std::vector<uint64_t> d(n, 0);
            for (const auto &[i, r] : sparse)
                d[i] = r;
            refs.swap(d);
            sparse = {};
            dense = true;
        } else {
            sparse.reserve(static_cast<size_t>(want));
        }
    }

    // Stores one name; nothing may throw once prepare() has run, except the lookup upkeep, which
    // falls back to rebuilding.
    void put(int32_t i, std::string_view s) {
        const uint64_t old = ref(i);
        if (old) {
            if (lookupValid) unlink(i);
            garbage += old & kLenMask;
            if (static_cast<int>(old & kLenMask) == maxLen) maxLenStale = true;
            --named;
        }
        uint64_t r = 0;
        if (!s.empty()) {
            r = (static_cast<uint64_t>(pool.size()) << kLenBits) | s.size();
            pool.append(s.data(), s.size()); // capacity reserved by prepare
            maxLen = std::max(maxLen, static_cast<int>(s.size()));
            ++named;
        }
        if (dense)
            refs[i] = r;
        else if (r)
            sparse.insert_or_assign(i, r);
        else
            sparse.erase(i);
        if (r && lookupValid) link(i);
    }

    // Lookup upkeep for entry i (its current name).
    void unlink(int32_t i) {
        auto it = lookup.find(name(i));
        if (it == lookup.end() || *it != i) return; // a lower index holds the name
        if (duplicates)
            invalidateLookup(); // a higher index may hold it too: rebuild when needed
        else
            lookup.erase(it);
    }
    void link(int32_t i) {
        try {
            auto it = lookup.find(name(i));
            if (it == lookup.end()) {
                lookup.insert(i);
            } else {
                duplicates = true;
                if (*it > i) {
                    lookup.erase(it);
                    lookup.insert(i);
                }
            }
        } catch (...) {
            invalidateLookup();
        }
    }

    void buildLookup() const {
        lookup.clear();
        duplicates = false;
        lookup.reserve(static_cast<size_t>(named));
        auto add = [&](int32_t i) {
            if (!lookup.insert(i).second) duplicates = true;
        };
        if (dense) {
            for (int32_t i = 0; i < n; ++i)
                if (refs[i]) add(i);
        } else {
            std::vector<int32_t> idx;
            idx.reserve(sparse.size());
            for (const auto &kv : sparse)
                idx.push_back(kv.first);
            std::sort(idx.begin(), idx.end()); // lowest index first wins
            for (int32_t i : idx)
                add(i);
        }
        lookupValid = true;
    }

    // Drops the garbage of the pool when it outweighs the live names. Optional: skipped when
    // memory is short.
    void compactPool() {
        if (garbage < 4096 || garbage < pool.size() / 2) return;
        std::string fresh;
        try {
            fresh.reserve(pool.size() - garbage);
        } catch (const std::bad_alloc &) {
            return;
        }
        auto move = [&](uint64_t &r) {
            if (!r) return;
            const size_t len = r & kLenMask;
            const uint64_t at = fresh.size();
            fresh.append(pool, r >> kLenBits, len);
            r = (at << kLenBits) | len;
        };
        if (dense)
            for (uint64_t &r : refs)
                move(r);
        else
            for (auto it = sparse.begin(); it != sparse.end(); ++it)
                move(it.value());
        pool.swap(fresh);
        garbage = 0;
    }

    void clearAll() {
        named = 0;
        dense = false;
        pool = {};
        garbage = 0;
        refs = {};
        sparse = {};
        maxLen = 0;
        maxLenStale = false;
        invalidateLookup();
    }
};

NameList::NameList() : impl_(new Impl) {}
NameList::~NameList() {
    delete impl_;
}
NameList::NameList(const NameList &other) : impl_(new Impl(*other.impl_)) {}
NameList &NameList::operator=(const NameList &other) {
    if (this != &other) {
        Impl *copy = new Impl(*other.impl_);
        delete impl_;
        impl_ = copy;
    }
    return *this;
}

NameList::NameList(NameList &&other) noexcept : impl_(other.impl_) {
    other.impl_ = nullptr;
}
NameList &NameList::operator=(NameList &&other) noexcept {
    std::swap(impl_, other.impl_);
    return *this;
}

int NameList::size() const {
    return impl_->n;
}

std::string_view NameList::get(int i) const {
    return impl_->name(i);
}

void NameList::set(int i, std::string_view name) {
    assign(i, {name});
}

void NameList::assign(int first, const std::vector<std::string_view> &names) {
    Impl &m = *impl_;
    size_t bytes = 0;
    int64_t given = 0;
    for (std::string_view s : names) {
        bytes += s.size();
        given += !s.empty();
    }
    m.prepare(given, bytes);
    for (size_t k = 0; k < names.size(); ++k)
        m.put(first + static_cast<int>(k), names[k]);
    if (m.named == 0) m.clearAll();
    m.compactPool();
}

void NameList::resize(int n) {
    Impl &m = *impl_;
    if (n < m.n) {
        std::vector<int32_t> gone(m.n - n);
        for (int i = n; i < m.n; ++i)
            gone[i - n] = i;
        erase(gone);
        return;
    }
    if (m.dense) m.refs.resize(n, 0);
    m.n = n;
}

void NameList::erase(const std::vector<int32_t> &sortedUnique) {
    Impl &m = *impl_;
    if (sortedUnique.empty()) return;
    const int newSize = m.n - static_cast<int>(sortedUnique.size());
    if (m.named == 0) {
        m.n = newSize;
        return;
    }
    auto dropped = [&](uint64_t r) {
        if (!r) return;
        m.garbage += r & kLenMask;
        if (static_cast<int>(r & kLenMask) == m.maxLen) m.maxLenStale = true;
        --m.named;
    };
    if (m.dense) {
        size_t w = 0, d = 0;
        for (size_t i = 0; i < m.refs.size(); ++i) {
            if (d < sortedUnique.size() && sortedUnique[d] == static_cast<int32_t>(i)) {
                dropped(m.refs[i]);
                ++d;
            } else {
                m.refs[w++] = m.refs[i];
            }
        }
        m.refs.resize(w);
    } else {
        tsl::robin_map<int32_t, uint64_t> fresh;
        fresh.reserve(m.sparse.size());
        for (const auto &[i, r] : m.sparse) {
            auto below = std::lower_bound(sortedUnique.begin(), sortedUnique.end(), i);
            if (below != sortedUnique.end() && *below == i) continue;
            fresh.emplace(i - static_cast<int32_t>(below - sortedUnique.begin()), r);
        }
        for (int32_t i : sortedUnique)
            dropped(m.ref(i));
        m.sparse.swap(fresh);
    }
    m.n = newSize;
    m.invalidateLookup();
    if (m.named == 0) m.clearAll();
    m.compactPool();
}

int NameList::find(std::string_view name) const {
    Impl &m = *impl_;
    if (m.named == 0 || name.empty()) return -1;
    std::lock_guard<std::mutex> lock(m.lookupMutex);
    if (!m.lookupValid) m.buildLookup();
    auto it = m.lookup.find(name);
    return it == m.lookup.end() ? -1 : *it;
}

int NameList::longest() const {
    Impl &m = *impl_;
    std::lock_guard<std::mutex> lock(m.lookupMutex); // queries may run at the same time
    if (m.maxLenStale) {
        int longest = 0;
        if (m.dense)
            for (uint64_t r : m.refs)
                longest = std::max(longest, static_cast<int>(r & kLenMask));
        else
            for (const auto &kv : m.sparse)
                longest = std::max(longest, static_cast<int>(kv.second & kLenMask));
        m.maxLen = longest;
        m.maxLenStale = false;
    }
    return m.maxLen;
}

// ---- default names and checks -----------------------------------------------------------------

int defaultName(char prefix, int i, char *out) {
    out[0] = prefix;
    return static_cast<int>(std::to_chars(out + 1, out + kDefaultNameBytes, i).ptr - out);
}

int parseDefaultName(char prefix, std::string_view s, int count) {
    if (s.size() < 2 || s.size() > 11 || s[0] != prefix) return -1;
    if (s[1] == '0' && s.size() > 2) return -1;
    int value = -1;
    auto [end, ec] = std::from_chars(s.data() + 1, s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size() || value < 0 || value >= count) return -1;
    return value;
}

namespace {

constexpr char kPrefix[] = {'R', 'C', 'S'}; // by NVRA_NAMES_* - 1

int digits(int i) {
    int d = 1;
    while (i >= 10)
        i /= 10, ++d;
    return d;
}

NameList &namesOf(Model &m, int type) {
    return type == NVRA_NAMES_ROWS      ? m.rowNames
           : type == NVRA_NAMES_COLUMNS ? m.colNames
                                        : m.setNames;
}
const NameList &namesOf(const Model &m, int type) {
    return namesOf(const_cast<Model &>(m), type);
}
Kind kindOf(int type) {
    return type == NVRA_NAMES_ROWS      ? Kind::Row
           : type == NVRA_NAMES_COLUMNS ? Kind::Column
                                        : Kind::Set;
}

int checkType(NVRAprob prob, const char *fn, int type) {
    if (type >= NVRA_NAMES_ROWS && type <= NVRA_NAMES_SETS) return 0;
    return probError(prob, NVRA_RC_INVALID,
                     "%s: invalid name type %d: expected 1 (rows), 2 (columns) or 3 (sets)", fn,
                     type);
}

// Bytes of the names of entries first..last with their terminating zeros.
int64_t namesBytes(const NameList &names, int first, int last) {
    int64_t total = 0;
    for (int i = first; i <= last; ++i) {
        const size_t len = names.get(i).size();
        total += (len ? static_cast<int64_t>(len) : 1 + digits(i)) + 1;
    }
    return total;
}

void writeNames(const NameList &names, char prefix, int first, int last, char *out) {
    for (int i = first; i <= last; ++i) {
        std::string_view s = names.get(i);
        if (s.empty()) {
            out += defaultName(prefix, i, out);
        } else {
            memcpy(out, s.data(), s.size());
            out += s.size();
        }
        *out++ = '\0';
    }
}

int addNames(NVRAprob prob, const char *fn, int type, const char names[], int first, int last) {
    return storeEdit(prob, fn, [&] {
        if (int rc = checkType(prob, fn, type)) return rc;
        const Kind k = kindOf(type);
        if (int rc = checkRange(prob, k, first, last)) return rc;
        if (int rc = checkArray(prob, fn, "names", names, last - first + 1)) return rc;
        std::vector<std::string_view> list;
        list.reserve(static_cast<size_t>(last - first + 1));
        const char *p = names;
        for (int i = first; i <= last; ++i) {
            std::string_view s(p, strnlen(p, NVRA_MAXNAMELENGTH));
            if (const char *fault = nameFault(s))
                return probError(prob, NVRA_RC_INVALID, "The name given for %s %d %s", kindName(k),
                                 i, fault);
            list.push_back(s);
            p += s.size() + 1;
        }
        namesOf(prob->model, type).assign(first, list);
        return 0;
    });
}

} // namespace

size_t utf8Sequence(std::string_view s, size_t i) {
    const unsigned char c = s[i];
    if (c < 0x80) return 1;
    int more;
    uint32_t cp;
    if ((c & 0xE0) == 0xC0) {
        more = 1, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        more = 2, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        more = 3, cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + more >= s.size()) return 0;
    for (int k = 1; k <= more; ++k) {
        const unsigned char d = s[i + k];
        if ((d & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (d & 0x3F);
    }
    static constexpr uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return static_cast<size_t>(more) + 1;
}

bool validUtf8(std::string_view s) {
    for (size_t i = 0, n; i < s.size(); i += n)
        if ((n = utf8Sequence(s, i)) == 0) return false;
    return true;
}

const char *nameFault(std::string_view name) {
    if (name.size() >= NVRA_MAXNAMELENGTH) return "is longer than 1023 bytes";
    if (!validUtf8(name)) return "is not valid UTF-8";
    return nullptr;
}

int findByName(const Model &m, int type, std::string_view name) {
    const NameList &list = namesOf(m, type);
    int i = list.find(name);
    if (i < 0) {
        i = parseDefaultName(kPrefix[type - 1], name, list.size());
        if (i >= 0 && !list.get(i).empty()) i = -1; // a given name replaces the default
    }
    return i;
}

std::string displayName(const Model &m, int type, int i) {
    const std::string_view given = namesOf(m, type).get(i);
    if (!given.empty()) return std::string(given);
    char buf[kDefaultNameBytes];
    return std::string(buf, defaultName(kPrefix[type - 1], i, buf));
}

} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAaddnames(NVRAprob prob, int type, const char names[], int first, int last) {
    return addNames(prob, "NVRAaddnames", type, names, first, last);
}

int NVRAaddsetnames(NVRAprob prob, const char names[], int first, int last) {
    return addNames(prob, "NVRAaddsetnames", NVRA_NAMES_SETS, names, first, last);
}

int NVRAgetnamelist(NVRAprob prob, int type, char names[], int maxbytes, int *nbytes, int first,
                    int last) {
    const char *fn = "NVRAgetnamelist";
    return storeQuery(prob, fn, [&] {
        if (int rc = checkType(prob, fn, type)) return rc;
        const Kind k = kindOf(type);
        if (int rc = checkRange(prob, k, first, last)) return rc;
        const NameList &list = namesOf(prob->model, type);
        const char prefix = kPrefix[type - 1];
        const int64_t need = namesBytes(list, first, last);
        if (need > INT32_MAX)
            return probError(prob, NVRA_RC_RANGE,
                             "%s: the names of %s %d..%d take %lld bytes: ask for fewer at a time",
                             fn, kindPlural(k), first, last, static_cast<long long>(need));
        if (nbytes) *nbytes = static_cast<int>(need);
        if (!names) return 0;
        if (maxbytes < need)
            return probError(prob, NVRA_RC_RANGE,
                             "%s: the buffer of %d bytes is too small for the names of %s "
                             "%d..%d (%lld bytes)",
                             fn, maxbytes, kindPlural(k), first, last,
                             static_cast<long long>(need));
        writeNames(list, prefix, first, last, names);
        return 0;
    });
}

int NVRAgetnames(NVRAprob prob, int type, char names[], int first, int last) {
    const char *fn = "NVRAgetnames";
    return storeQuery(prob, fn, [&] {
        if (int rc = checkType(prob, fn, type)) return rc;
        if (int rc = checkRange(prob, kindOf(type), first, last)) return rc;
        if (int rc = checkArray(prob, fn, "names", names, last - first + 1)) return rc;
        writeNames(namesOf(prob->model, type), kPrefix[type - 1], first, last, names);
        return 0;
    });
}

int NVRAgetindex(NVRAprob prob, int type, const char *name, int *index) {
    const char *fn = "NVRAgetindex";
    return storeQuery(prob, fn, [&] {
        if (int rc = checkType(prob, fn, type)) return rc;
        if (int rc = checkArray(prob, fn, "name", name)) return rc;
        if (int rc = checkArray(prob, fn, "index", index)) return rc;
        *index = findByName(prob->model, type, name);
        return 0;
    });
}

} // extern "C"
