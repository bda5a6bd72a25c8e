// store.h: the shared machinery of the model-store entry points: entry guards, argument checks
// with their error texts, sorted sparse rows, quadratic triplets, renumbering after deletions,
// names, and the whole-model fill behind the loaders (also for file readers).
//
// Every store entry point has the shape
//     return storeEdit(prob, "NVRAchgbounds", [&] { check everything; then change; return 0; });
// Checks report through probError and return its code; nothing is changed before every check has
// passed, and the changes themselves allocate first and then only move data, so that an
// allocation failure (reported as NVRA_RC_NOMEM by the guard) also leaves the problem as it was.
#pragma once

#include "core/problem.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace nvra {

// ---- entry guards ---------------------------------------------------------------------------

int outOfMemory(NVRAprob prob, const char *fn);

// Runs body, mapping allocation failures to NVRA_RC_NOMEM.
template <class F> int guarded(NVRAprob prob, const char *fn, F &&body) {
    try {
        return body();
    } catch (const std::bad_alloc &) {
        return outOfMemory(prob, fn);
    } catch (const std::length_error &) {
        return outOfMemory(prob, fn);
    }
}

// A query: validates the handle, runs body, maps allocation failures to NVRA_RC_NOMEM.
template <class F> int storeQuery(NVRAprob prob, const char *fn, F &&body) {
    if (int rc = enterProb(prob)) return rc;
    return guarded(prob, fn, body);
}

// An edit: as storeQuery, refused while the problem is being solved; a successful edit discards
// the solution.
template <class F> int storeEdit(NVRAprob prob, const char *fn, F &&body) {
    if (int rc = enterProbEdit(prob)) return rc;
    const int rc = guarded(prob, fn, body);
    if (rc == 0) prob->solution.reset();
    return rc;
}

// A change to the problem beside its model (starts, directives, cuts, message settings): refused
// while the problem is being solved; the solution stays.
template <class F> int sideEdit(NVRAprob prob, const char *fn, F &&body) {
    if (int rc = enterProbEdit(prob)) return rc;
    return guarded(prob, fn, body);
}

// ---- what indices refer to ------------------------------------------------------------------

enum class Kind { Row, Column, Set, Objective, Pwl, GenCons };
const char *kindName(Kind k);   // "row"
const char *kindTitle(Kind k);  // "Row"
const char *kindPlural(Kind k); // "rows"
int kindCount(const Model &m, Kind k);

// ---- argument checks (0, or the error code after probError) ----------------------------------

// "Row index 12 is out of range: the problem has 10 rows".
int checkIndex(NVRAprob prob, Kind k, int64_t i);
// A range first..last of entries; the empty range (last = first - 1) is allowed.
int checkRange(NVRAprob prob, Kind k, int first, int last);
// A count argument (what: "rows", "coefficients", ...) that must not be negative.
int checkCount(NVRAprob prob, const char *fn, const char *what, int64_t n);
// A required array argument (given when n > 0).
int checkArray(NVRAprob prob, const char *fn, const char *name, const void *p, int64_t n = 1);
// n indices of kind k, each in range.
int checkIndexList(NVRAprob prob, const char *fn, Kind k, int n, const int *idx);
// The number of entries of kind k after adding n.
int checkRoom(NVRAprob prob, Kind k, int64_t n);

// Starts of n lists over total entries: start[0] = 0, non-decreasing, start[n-1] <= total; list
// i has the entries start[i] .. start[i+1]-1, the last ending at total. start may be null when
// total is 0. The 32- and 64-bit forms share the template.
template <class S>
int checkStarts(NVRAprob prob, const char *fn, const S *start, int n, int64_t total);
template <class S> inline int64_t listEnd(const S *start, int n, int64_t total, int i) {
    return i + 1 < n ? static_cast<int64_t>(start[i + 1]) : total;
}

// Numbers. Bounds, right-hand sides, ranges and limits: NaN is refused and |v| >= 1e20 becomes
// +-1e20. Coefficients (matrix, objective, quadratic): NaN and infinite values are refused.
inline bool isNaN(double v) {
    return v != v;
}
inline double storeBound(double v) {
    return v >= kInf ? kInf : v <= -kInf ? -kInf : v;
}
inline bool badCoef(double v) {
    return !(std::fabs(v) < kInf);
}

inline bool validRowType(char t) {
    return t == 'L' || t == 'G' || t == 'E' || t == 'R' || t == 'N';
}
inline bool validColType(char t) {
    return t == 'C' || t == 'B' || t == 'I' || t == 'S' || t == 'R' || t == 'P';
}
// The test of checkRowData without its message, for loops over many rows.
inline bool rowDataValid(char type, double rhs, double range) {
    return validRowType(type) && !isNaN(rhs) && (type != 'R' || range >= 0);
}
// A row type letter, rhs and range (range read for 'R' rows only; pass 0 otherwise).
int checkRowData(NVRAprob prob, int64_t row, char type, double rhs, double range);

// An array's stated length (the size-checked forms) must hold the entries read from it.
int checkArraySize(NVRAprob prob, const char *fn, const char *name, int64_t size, int64_t needed);

// ---- per-entry changes --------------------------------------------------------------------------

// The body of a change with one value per listed row or column (NVRAchgrhs, NVRAchgcoltype,
// ...): every index and value is checked (check(index, value) returns 0 or an error) before
// apply(model, index, value) runs for each entry in order (a later entry for the same index
// wins).
template <class T, class Check, class Apply>
int changeEach(NVRAprob prob, const char *fn, Kind k, const char *valuesName, int n, const int *idx,
               const T *values, Check check, Apply apply) {
    return storeEdit(prob, fn, [&] {
        if (int rc = checkIndexList(prob, fn, k, n, idx)) return rc;
        if (int rc = checkArray(prob, fn, valuesName, values, n)) return rc;
        for (int i = 0; i < n; ++i)
            if (int rc = check(idx[i], values[i])) return rc;
        for (int i = 0; i < n; ++i)
            apply(prob->model, idx[i], values[i]);
        return 0;
    });
}

// ---- getters ----------------------------------------------------------------------------------

// The body of a dense getter: out[i - first] = value(model, i) for i in first..last.
template <class T, class F>
int getRange(NVRAprob prob, const char *fn, Kind k, T *out, int first, int last, F value) {
    return storeQuery(prob, fn, [&] {
        if (int rc = checkRange(prob, k, first, last)) return rc;
        if (int rc = checkArray(prob, fn, "for the values", out, last - first + 1)) return rc;
        const Model &m = prob->model;
        for (int i = first; i <= last; ++i)
            out[i - first] = value(m, i);
        return 0;
    });
}

// The size part of a sparse getter (start, index, value, maxcoefs, *ncoefs) for total entries:
// sets *count (when given), refuses totals that S cannot hold and buffers that are too small.
// fill becomes true when the entries are wanted (an index or value array and maxcoefs > 0).
template <class S>
int sparseSizes(NVRAprob prob, const char *fn, int64_t total, bool arrays, S maxcoefs, S *count,
                bool &fill) {
    fill = false;
    if (total > static_cast<int64_t>(std::numeric_limits<S>::max()))
        return probError(prob, NVRA_RC_RANGE,
                         "%s: %lld coefficients do not fit a 32-bit count: use the 64-bit form", fn,
                         static_cast<long long>(total));
    if (count) *count = static_cast<S>(total);
    if (maxcoefs < 0)
        return probError(prob, NVRA_RC_INVALID, "%s: negative buffer size %lld", fn,
                         static_cast<long long>(maxcoefs));
    if (!arrays || maxcoefs == 0) return 0;
    if (maxcoefs < total)
        return probError(prob, NVRA_RC_RANGE,
                         "%s: the buffers hold %lld coefficients but %lld are needed", fn,
                         static_cast<long long>(maxcoefs), static_cast<long long>(total));
    fill = true;
    return 0;
}

// ---- the matrix -----------------------------------------------------------------------------

// Sorts the entries [begin, end) of a row (or any sparse list) by index, sums duplicates and drops
// zeros; returns the new end. scratch is working space (its capacity is reused).
int64_t normaliseList(int32_t *index, double *value, int64_t begin, int64_t end,
                      std::vector<std::pair<int32_t, double>> &scratch);

// Grows a vector's capacity geometrically (by half) so that repeated small appends stay linear
// in total, and exactly for the first, large fill.
template <class V> void reserveFor(V &v, size_t n) {
    if (n > v.capacity()) v.reserve(std::max(n, v.capacity() + v.capacity() / 2));
}

// ---- quadratic triplets ---------------------------------------------------------------------

// n triplets (c1, c2, v) as upper-triangle triplets sorted by (i, j), duplicates summed, zeros
// dropped; (i, j) and (j, i) name one element. The caller has checked indices and values.
QTriplets sortedTriplets(int64_t n, const int *c1, const int *c2, const double *v);
// The same with zero sums dropped: the stored form of the n triplets on their own (what
// tripletsAdded gives when added to nothing, without the copy).
QTriplets tripletsOf(int64_t n, const int *c1, const int *c2, const double *v);
// Triplets of Q with their values replaced by those of changes (zero removes).
QTriplets tripletsReplaced(const QTriplets &q, const QTriplets &changes);
// Triplets of Q with the values of add added (zero sums removed).
QTriplets tripletsAdded(const QTriplets &q, const QTriplets &add);
// The value of element (i, j) (or (j, i)), 0 when it is not stored.
double tripletAt(const QTriplets &q, int i, int j);
// Triplets q over columns first..last in column-wise form: column j lists each stored element
// (j, k) with k >= j once, in increasing k; sizes and null arrays as in the sparse getters.
// The caller has entered the problem.
template <class S>
int tripletsByColumn(NVRAprob prob, const char *fn, const QTriplets &q, S *start, int *colind,
                     double *coef, S maxcoefs, S *ncoefs, int first, int last) {
    if (int rc = checkRange(prob, Kind::Column, first, last)) return rc;
    // q is sorted by (i, j): the elements of columns first..last are one stretch.
    auto at = [&](int col) {
        return static_cast<int64_t>(std::lower_bound(q.i.begin(), q.i.end(), col) - q.i.begin());
    };
    const int64_t base = at(first), total = at(last + 1) - base;
    bool fill;
    if (int rc = sparseSizes(prob, fn, total, colind || coef, maxcoefs, ncoefs, fill)) return rc;
    if (start)
        for (int j = first; j <= last + 1; ++j)
            start[j - first] = static_cast<S>(at(j) - base);
    if (fill) {
        if (colind) std::copy_n(q.j.begin() + base, total, colind);
        if (coef) std::copy_n(q.v.begin() + base, total, coef);
    }
    return 0;
}
// Checks n triplets against ncols columns and refuses bad values; what names the owner for
// messages ("the quadratic objective", "the quadratic part of row 3").
int checkTriplets(NVRAprob prob, const char *what, int64_t n, const int *c1, const int *c2,
                  const double *v, int ncols);

// ---- sets -----------------------------------------------------------------------------------

// Checks the n members of set number `set`: columns below ncols, finite reference values, no
// column and no reference value twice.
int checkSetMembers(NVRAprob prob, const char *fn, int64_t set, const int *cols, const double *ref,
                    int64_t n, int ncols);
// A set type letter.
int checkSetType(NVRAprob prob, const char *fn, int64_t set, char type);

// ---- deletions ------------------------------------------------------------------------------

// The renumbering of a deletion of n entries of kind k: map[i] is the new index of entry i, or
// -1 when deleted; sorted the deleted indices in increasing order. Refuses indices out of range
// and repeated indices. Allocates only.
int deletionMap(NVRAprob prob, const char *fn, Kind k, int n, const int *idx,
                std::vector<int32_t> &map, std::vector<int32_t> &sorted);
// Keeps the elements whose map entry is not -1, in order.
template <class T> void compactByMap(std::vector<T> &v, const std::vector<int32_t> &map) {
    size_t w = 0;
    for (size_t i = 0; i < v.size(); ++i)
        if (map[i] >= 0) v[w++] = std::move(v[i]);
    v.resize(w);
}
// Triplets with the columns renumbered; triplets on deleted columns are dropped.
void renumberTriplets(QTriplets &q, const std::vector<int32_t> &colMap);
// Re-keys a map by row or set index after a deletion: entries of deleted keys are dropped. Moves
// nodes only (no allocation).
template <class V> void renumberKeys(std::map<int32_t, V> &m, const std::vector<int32_t> &map) {
    std::map<int32_t, V> out;
    while (!m.empty()) {
        auto node = m.extract(m.begin());
        if (map[node.key()] < 0) continue;
        node.key() = map[node.key()]; // the map is increasing: the order is kept
        out.insert(out.end(), std::move(node));
    }
    m.swap(out);
}

// A column deletion (colMap as from deletionMap) is refused when it would remove a column that a
// piecewise-linear or general constraint uses; otherwise their columns are renumbered
// (store_general.cpp).
int checkGeneralColumns(NVRAprob prob, const char *fn, const std::vector<int32_t> &colMap);
void renumberGeneralColumns(Model &m, const std::vector<int32_t> &colMap);

// ---- names ----------------------------------------------------------------------------------

bool validUtf8(std::string_view s);
// Bytes of the valid UTF-8 sequence that starts at s[i] (1 for ASCII), or 0 when none does.
size_t utf8Sequence(std::string_view s, size_t i);
// Why a name cannot be stored ("is longer than 1023 bytes", "is not valid UTF-8"), or nullptr.
// The empty name is valid (it makes the entry unnamed).
const char *nameFault(std::string_view name);
// Default names: the kind's prefix ('R', 'C', 'S') and the index, "C12".
constexpr int kDefaultNameBytes = 12; // "C2147483647" and its zero
// The default name of entry i into out (kDefaultNameBytes); returns its length.
int defaultName(char prefix, int i, char *out);
// The entry of a list of count entries whose default name is s, or -1: the prefix, then a
// decimal index without leading zeros ("C01" is no default name).
int parseDefaultName(char prefix, std::string_view s, int count);
// The entry of kind type (NVRA_NAMES_*) with that name, or -1: a given name wins over a default
// name, and among equal given names the lowest index is found (NVRAgetindex).
int findByName(const Model &m, int type, std::string_view name);
// The name entry i of kind type shows: its given name or its default name ("C12").
std::string displayName(const Model &m, int type, int i);

// ---- data beside the model (store_directives.cpp) ----------------------------------------------

// Sets the branching directives of n columns (priority, dir, up, down may each be null: that
// part is left as it was); keeps the solution.
int loadDirs(NVRAprob prob, const char *fn, int n, const int *colind, const int *priority,
             const char *dir, const double *up, const double *down);

// ---- whole models ---------------------------------------------------------------------------

// The arguments of a load (see NVRAloadlp and the other loaders in nvra.h). Columns come from
// start64 or start32 (exactly one set), with collen or without it.
struct LoadData {
    const char *fn = "NVRAloadlp64";
    const char *probname = nullptr; // used by the loaders, not by buildModel
    int ncols = 0, nrows = 0;
    const char *rowtype = nullptr;
    const double *rhs = nullptr, *range = nullptr, *objcoef = nullptr;
    const int64_t *start64 = nullptr;
    const int *start32 = nullptr;
    const int *collen = nullptr, *rowind = nullptr;
    const double *rowcoef = nullptr, *lb = nullptr, *ub = nullptr;
    // quadratic objective
    int64_t nobjqcoefs = 0;
    const int *objqcol1 = nullptr, *objqcol2 = nullptr;
    const double *objqcoef = nullptr;
    // quadratic rows
    int nqrows = 0;
    const int *qrowind = nullptr;
    const int64_t *nrowqcoefs = nullptr;
    const int *rowqcol1 = nullptr, *rowqcol2 = nullptr;
    const double *rowqcoef = nullptr;
    // integer entities and sets (setstart: nsets + 1 entries)
    int nentities = 0, nsets = 0;
    const char *coltype = nullptr;
    const int *entind = nullptr;
    const double *limit = nullptr;
    const char *settype = nullptr;
    const int64_t *setstart = nullptr;
    const int *setind = nullptr;
    const double *refval = nullptr;
};
// Checks d and builds the model it describes into m (a fresh model: name "noname", minimising);
// m is left unspecified on failure. The problem is used for error messages only.
int buildModel(NVRAprob prob, const LoadData &d, Model &m);

} // namespace nvra
