// store.cpp: argument checks, sparse-list normalisation, quadratic triplets and deletion maps
// shared by the model-store entry points.
#include "store/store.h"

#include <algorithm>
#include <climits>

namespace nvra {

int outOfMemory(NVRAprob prob, const char *fn) {
    return probError(prob, NVRA_RC_NOMEM, "%s: out of memory (the problem is unchanged)", fn);
}

namespace {
struct KindText {
    const char *name, *title, *plural;
};
constexpr KindText kKinds[] = {
    {"row", "Row", "rows"},
    {"column", "Column", "columns"},
    {"set", "Set", "sets"},
    {"objective", "Objective", "objectives"},
    {"piecewise-linear constraint", "Piecewise-linear constraint", "piecewise-linear constraints"},
    {"general constraint", "General constraint", "general constraints"}};
} // namespace

const char *kindName(Kind k) {
    return kKinds[static_cast<int>(k)].name;
}
const char *kindTitle(Kind k) {
    return kKinds[static_cast<int>(k)].title;
}
const char *kindPlural(Kind k) {
    return kKinds[static_cast<int>(k)].plural;
}

int kindCount(const Model &m, Kind k) {
    switch (k) {
    case Kind::Row:
        return m.numRows();
    case Kind::Column:
        return m.numCols();
    case Kind::Set:
        return static_cast<int>(m.sets.size());
    case Kind::Objective:
        return static_cast<int>(m.objectives.size()) + 1;
    case Kind::Pwl:
        return static_cast<int>(m.pwls.size());
    case Kind::GenCons:
        return static_cast<int>(m.gencons.size());
    }
    return 0;
}

int checkIndex(NVRAprob prob, Kind k, int64_t i) {
    const int n = kindCount(prob->model, k);
    if (i >= 0 && i < n) return 0;
    return probError(prob, NVRA_RC_RANGE, "%s index %lld is out of range: the problem has %d %s",
                     kindTitle(k), static_cast<long long>(i), n, kindPlural(k));
}

int checkRange(NVRAprob prob, Kind k, int first, int last) {
    const int n = kindCount(prob->model, k);
    if (first >= 0 && first <= n && last >= first - 1 && last < n) return 0;
    return probError(prob, NVRA_RC_RANGE,
                     "%s range %d..%d is invalid: the problem has %d %s (indices 0..%d)",
                     kindTitle(k), first, last, n, kindPlural(k), n - 1);
}

int checkCount(NVRAprob prob, const char *fn, const char *what, int64_t n) {
    if (n >= 0) return 0;
    return probError(prob, NVRA_RC_INVALID, "%s: the number of %s is negative (%lld)", fn, what,
                     static_cast<long long>(n));
}

int checkArray(NVRAprob prob, const char *fn, const char *name, const void *p, int64_t n) {
    if (p || n <= 0) return 0;
    return probError(prob, NVRA_RC_INVALID, "%s: the array %s is null", fn, name);
}

int checkIndexList(NVRAprob prob, const char *fn, Kind k, int n, const int *idx) {
    const char *arrays[] = {"rowind", "colind", "setind", "objidx", "pwlind", "conind"};
    if (int rc = checkCount(prob, fn, kindPlural(k), n)) return rc;
    if (int rc = checkArray(prob, fn, arrays[static_cast<int>(k)], idx, n)) return rc;
    for (int i = 0; i < n; ++i)
        if (int rc = checkIndex(prob, k, idx[i])) return rc;
    return 0;
}

int checkRoom(NVRAprob prob, Kind k, int64_t n) {
    const int have = kindCount(prob->model, k);
    if (n <= INT_MAX - have) return 0;
    return probError(prob, NVRA_RC_RANGE,
                     "Cannot add %lld %s to the %d there are: the limit is %d %s",
                     static_cast<long long>(n), kindPlural(k), have, INT_MAX, kindPlural(k));
}

template <class S>
int checkStarts(NVRAprob prob, const char *fn, const S *start, int n, int64_t total) {
    if (n == 0 || (!start && total == 0)) return 0;
    if (int rc = checkArray(prob, fn, "start", start)) return rc;
    if (start[0] != 0)
        return probError(prob, NVRA_RC_INVALID, "%s: start[0] is %lld: it must be 0", fn,
                         static_cast<long long>(start[0]));
    for (int i = 1; i < n; ++i) {
        if (start[i] < start[i - 1] || start[i] > total)
            return probError(prob, NVRA_RC_INVALID,
                             "%s: start[%d] = %lld is invalid: starts must be non-decreasing "
                             "and at most the number of entries (%lld)",
                             fn, i, static_cast<long long>(start[i]),
                             static_cast<long long>(total));
    }
    return 0;
}
template int checkStarts<int>(NVRAprob, const char *, const int *, int, int64_t);
template int checkStarts<int64_t>(NVRAprob, const char *, const int64_t *, int, int64_t);

int checkRowData(NVRAprob prob, int64_t row, char type, double rhs, double range) {
    if (!validRowType(type))
        return probError(prob, NVRA_RC_INVALID,
                         "Row %lld: invalid row type '%c' (0x%02x): expected L, G, E, R or N",
                         static_cast<long long>(row), type >= 32 && type < 127 ? type : '?',
                         static_cast<unsigned char>(type));
    if (isNaN(rhs))
        return probError(prob, NVRA_RC_INVALID, "Row %lld: the right-hand side is NaN",
                         static_cast<long long>(row));
    if (type == 'R' && !(range >= 0))
        return probError(prob, NVRA_RC_INVALID, "Row %lld: the range %g of an 'R' row must be >= 0",
                         static_cast<long long>(row), range);
    return 0;
}

int64_t normaliseList(int32_t *index, double *value, int64_t begin, int64_t end,
                      std::vector<std::pair<int32_t, double>> &scratch) {
    scratch.clear();
    for (int64_t p = begin; p < end; ++p)
        scratch.emplace_back(index[p], value[p]);
    std::stable_sort(scratch.begin(), scratch.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    int64_t w = begin;
    for (size_t k = 0; k < scratch.size();) {
        const int32_t i = scratch[k].first;
        double sum = 0.0;
        for (; k < scratch.size() && scratch[k].first == i; ++k)
            sum += scratch[k].second;
        if (sum != 0.0) {
            index[w] = i;
            value[w] = sum;
            ++w;
        }
    }
    return w;
}

// ---- quadratic triplets ----------------------------------------------------------------------

namespace {
struct Triplet {
    int32_t i, j;
    double v;
};
bool tripletLess(const Triplet &a, const Triplet &b) {
    return a.i != b.i ? a.i < b.i : a.j < b.j;
}
QTriplets fromSorted(const Triplet *t, size_t n, bool dropZeros) {
    QTriplets q;
    q.i.reserve(n);
    q.j.reserve(n);
    q.v.reserve(n);
    for (size_t k = 0; k < n;) {
        const int32_t i = t[k].i, j = t[k].j;
        double sum = 0.0;
        for (; k < n && t[k].i == i && t[k].j == j; ++k)
            sum += t[k].v;
        if (sum != 0.0 || !dropZeros) {
            q.i.push_back(i);
            q.j.push_back(j);
            q.v.push_back(sum);
        }
    }
    return q;
}
} // namespace

namespace {
QTriplets sortedSummed(int64_t n, const int *c1, const int *c2, const double *v, bool dropZeros) {
    // The quadratic part of a row is mostly a few triplets (a cone row has three): they are
    // sorted on the stack, without a heap block per row.
    constexpr int64_t kOnStack = 16;
    Triplet small[kOnStack];
    std::vector<Triplet> large(static_cast<size_t>(n > kOnStack ? n : 0));
    Triplet *t = n > kOnStack ? large.data() : small;
    for (int64_t k = 0; k < n; ++k)
        t[k] = {std::min(c1[k], c2[k]), std::max(c1[k], c2[k]), v[k]};
    if (n > kOnStack) {
        std::stable_sort(t, t + n, tripletLess);
    } else { // stable insertion sort: std::stable_sort would take a heap buffer for these too
        for (int64_t k = 1; k < n; ++k) {
            const Triplet x = t[k];
            int64_t p = k;
            for (; p > 0 && tripletLess(x, t[p - 1]); --p)
                t[p] = t[p - 1];
            t[p] = x;
        }
    }
    return fromSorted(t, static_cast<size_t>(n), dropZeros);
}
} // namespace

QTriplets sortedTriplets(int64_t n, const int *c1, const int *c2, const double *v) {
    // Zeros are kept here: a zero given to NVRAchgmqobj removes an element.
    return sortedSummed(n, c1, c2, v, false);
}

QTriplets tripletsOf(int64_t n, const int *c1, const int *c2, const double *v) {
    return sortedSummed(n, c1, c2, v, true);
}

// Merges two sorted triplet lists; on equal (i, j) combine decides the value; zeros are dropped.
template <class Combine>
static QTriplets mergeTriplets(const QTriplets &a, const QTriplets &b, Combine combine) {
    QTriplets q;
    const size_t na = a.v.size(), nb = b.v.size();
    q.i.reserve(na + nb);
    q.j.reserve(na + nb);
    q.v.reserve(na + nb);
    auto put = [&](int32_t i, int32_t j, double v) {
        if (v == 0.0) return;
        q.i.push_back(i);
        q.j.push_back(j);
        q.v.push_back(v);
    };
    size_t x = 0, y = 0;
    while (x < na || y < nb) {
        if (y == nb || (x < na && (a.i[x] != b.i[y] ? a.i[x] < b.i[y] : a.j[x] < b.j[y]))) {
            put(a.i[x], a.j[x], a.v[x]);
            ++x;
        } else if (x == na || a.i[x] != b.i[y] || a.j[x] != b.j[y]) {
            put(b.i[y], b.j[y], b.v[y]);
            ++y;
        } else {
            put(a.i[x], a.j[x], combine(a.v[x], b.v[y]));
            ++x, ++y;
        }
    }
    return q;
}

QTriplets tripletsReplaced(const QTriplets &q, const QTriplets &changes) {
    return mergeTriplets(q, changes, [](double, double c) { return c; });
}

QTriplets tripletsAdded(const QTriplets &q, const QTriplets &add) {
    return mergeTriplets(q, add, [](double a, double b) { return a + b; });
}

int checkTriplets(NVRAprob prob, const char *what, int64_t n, const int *c1, const int *c2,
                  const double *v, int ncols) {
    if (n < 0)
        return probError(prob, NVRA_RC_INVALID, "Negative number of coefficients (%lld) for %s",
                         static_cast<long long>(n), what);
    if (n > 0 && (!c1 || !c2 || !v))
        return probError(prob, NVRA_RC_INVALID, "Null coefficient arrays for %s", what);
    for (int64_t k = 0; k < n; ++k) {
        if (c1[k] < 0 || c1[k] >= ncols || c2[k] < 0 || c2[k] >= ncols)
            return probError(prob, NVRA_RC_RANGE,
                             "Coefficient %lld of %s is on columns (%d, %d): the problem has %d "
                             "columns",
                             static_cast<long long>(k), what, c1[k], c2[k], ncols);
        if (badCoef(v[k]))
            return probError(prob, NVRA_RC_INVALID,
                             "Coefficient %lld of %s on columns (%d, %d) is %g: coefficients "
                             "must be finite",
                             static_cast<long long>(k), what, c1[k], c2[k], v[k]);
    }
    return 0;
}

void renumberTriplets(QTriplets &q, const std::vector<int32_t> &colMap) {
    size_t w = 0;
    for (size_t k = 0; k < q.v.size(); ++k) {
        const int32_t i = colMap[q.i[k]], j = colMap[q.j[k]];
        if (i < 0 || j < 0) continue;
        q.i[w] = i; // the map is increasing, so the order is kept
        q.j[w] = j;
        q.v[w] = q.v[k];
        ++w;
    }
    q.i.resize(w);
    q.j.resize(w);
    q.v.resize(w);
}

// ---- sets ------------------------------------------------------------------------------------

int checkSetMembers(NVRAprob prob, const char *fn, int64_t set, const int *cols, const double *ref,
                    int64_t n, int ncols) {
    std::vector<std::pair<double, int>> members;
    members.reserve(static_cast<size_t>(n));
    for (int64_t p = 0; p < n; ++p) {
        if (cols[p] < 0 || cols[p] >= ncols)
            return probError(prob, NVRA_RC_RANGE,
                             "%s: set %lld: member column %d is out of range: the problem has %d "
                             "columns",
                             fn, static_cast<long long>(set), cols[p], ncols);
        if (badCoef(ref[p]))
            return probError(prob, NVRA_RC_INVALID,
                             "%s: set %lld: the reference value %g of column %d must be finite", fn,
                             static_cast<long long>(set), ref[p], cols[p]);
        members.emplace_back(ref[p], cols[p]);
    }
    std::sort(members.begin(), members.end());
    for (size_t k = 1; k < members.size(); ++k)
        if (members[k].first == members[k - 1].first)
            return probError(prob, NVRA_RC_INVALID,
                             "%s: set %lld: columns %d and %d have the same reference value %g: "
                             "reference values must be distinct within a set",
                             fn, static_cast<long long>(set), members[k - 1].second,
                             members[k].second, members[k].first);
    std::sort(members.begin(), members.end(),
              [](const auto &a, const auto &b) { return a.second < b.second; });
    for (size_t k = 1; k < members.size(); ++k)
        if (members[k].second == members[k - 1].second)
            return probError(prob, NVRA_RC_INVALID, "%s: set %lld lists column %d twice", fn,
                             static_cast<long long>(set), members[k].second);
    return 0;
}

int checkSetType(NVRAprob prob, const char *fn, int64_t set, char type) {
    if (type == '1' || type == '2') return 0;
    return probError(prob, NVRA_RC_INVALID,
                     "%s: set %lld: invalid set type '%c' (0x%02x): expected '1' or '2'", fn,
                     static_cast<long long>(set), type >= 32 && type < 127 ? type : '?',
                     static_cast<unsigned char>(type));
}

// ---- deletions ------------------------------------------------------------------------------

double tripletAt(const QTriplets &q, int i, int j) {
    if (i > j) std::swap(i, j);
    auto lo = std::lower_bound(q.i.begin(), q.i.end(), i) - q.i.begin();
    auto hi = std::upper_bound(q.i.begin(), q.i.end(), i) - q.i.begin();
    auto k = std::lower_bound(q.j.begin() + lo, q.j.begin() + hi, j) - q.j.begin();
    return k < hi && q.j[k] == j ? q.v[k] : 0.0;
}

int deletionMap(NVRAprob prob, const char *fn, Kind k, int n, const int *idx,
                std::vector<int32_t> &map, std::vector<int32_t> &sorted) {
    if (int rc = checkIndexList(prob, fn, k, n, idx)) return rc;
    const int count = kindCount(prob->model, k);
    map.assign(count, 0);
    for (int t = 0; t < n; ++t) {
        if (map[idx[t]] < 0)
            return probError(prob, NVRA_RC_INVALID,
                             "%s: %s index %d is listed twice: nothing was deleted", fn,
                             kindName(k), idx[t]);
        map[idx[t]] = -1;
    }
    sorted.clear();
    sorted.reserve(n);
    int32_t next = 0;
    for (int i = 0; i < count; ++i) {
        if (map[i] < 0)
            sorted.push_back(i);
        else
            map[i] = next++;
    }
    return 0;
}

} // namespace nvra
