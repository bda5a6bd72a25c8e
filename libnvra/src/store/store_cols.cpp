// store_cols.cpp: adding, deleting, changing and reading columns.
#include "store/store.h"

#include <cstring>

namespace nvra {
namespace {

// Spreads the entries of ncols new columns (indices n0 ...) over the rows of A in place. cursor
// holds the number of new entries per row on entry and is used as the write position of each row.
// Existing rows move up from the last to the first, then each new entry goes to the end of its
// row, where the increasing column order holds by construction. When some column is unsorted
// (and so may list a row twice), entries repeated within a column are summed and a final pass
// closes the gaps they (and zero sums) leave.
template <class S>
void spreadColumns(SparseRows &A, std::vector<int64_t> &cursor, int n0, int ncols, const S *start,
                   int64_t ncoefs, const int *rowind, const double *coef, int64_t added,
                   bool unsorted) {
    const int nrows = static_cast<int>(A.start.size()) - 1;
    const int64_t nnz = A.start[nrows];
    A.index.resize(nnz + added);
    A.value.resize(nnz + added);
    // Rows between two rows that gain entries move by the same amount: one move per such run.
    int64_t shift = added, oldEnd = nnz;
    int64_t runBegin = nnz, runEnd = nnz, runShift = 0;
    auto moveRun = [&] {
        if (runShift == 0 || runEnd == runBegin) return;
        std::memmove(A.index.data() + runBegin + runShift, A.index.data() + runBegin,
                     (runEnd - runBegin) * sizeof(int32_t));
        std::memmove(A.value.data() + runBegin + runShift, A.value.data() + runBegin,
                     (runEnd - runBegin) * sizeof(double));
    };
    for (int r = nrows - 1; r >= 0; --r) {
        shift -= cursor[r]; // row r moves up by the new entries of the rows before it
        const int64_t oldBegin = A.start[r];
        if (shift != runShift) {
            moveRun();
            runEnd = oldEnd;
            runShift = shift;
        }
        runBegin = oldBegin;
        A.start[r + 1] = oldEnd + shift + cursor[r];
        cursor[r] = oldEnd + shift;
        oldEnd = oldBegin;
    }
    moveRun();
    int64_t *const pos = cursor.data();
    int32_t *const index = A.index.data();
    double *const value = A.value.data();
    if (!unsorted) {
        // Random writes: fetch the positions of entries a little ahead early.
        constexpr int64_t kAhead = 16;
        for (int j = 0; j < ncols; ++j) {
            const int32_t col = n0 + j;
            for (int64_t p = start[j], e = listEnd(start, ncols, ncoefs, j); p < e; ++p) {
                if (p + kAhead < ncoefs) {
                    const int64_t ahead = pos[rowind[p + kAhead]];
                    __builtin_prefetch(index + ahead, 1);
                    __builtin_prefetch(value + ahead, 1);
                }
                if (coef[p] == 0.0) continue;
                const int64_t w = pos[rowind[p]]++;
                index[w] = col;
                value[w] = coef[p];
            }
        }
        return;
    }
    bool gaps = false;
    for (int j = 0; j < ncols; ++j) {
        const int32_t col = n0 + j;
        for (int64_t p = start[j], e = listEnd(start, ncols, ncoefs, j); p < e; ++p) {
            if (coef[p] == 0.0) continue;
            int64_t &w = pos[rowind[p]];
            if (w > A.start[rowind[p]] && index[w - 1] == col) {
                value[w - 1] += coef[p];
                gaps = true;
                continue;
            }
            index[w] = col;
            value[w] = coef[p];
            ++w;
        }
    }
    if (!gaps) return;
    int64_t w = 0;
    for (int r = 0; r < nrows; ++r) {
        const int64_t b = A.start[r], e = cursor[r];
        A.start[r] = w;
        for (int64_t p = b; p < e; ++p) {
            if (A.value[p] == 0.0) continue;
            A.index[w] = A.index[p];
            A.value[w] = A.value[p];
            ++w;
        }
    }
    A.start[nrows] = w;
    A.index.resize(w);
    A.value.resize(w);
}

template <class S>
int addCols(NVRAprob prob, const char *fn, int ncols, int64_t ncoefs, const double *obj,
            const S *start, const int *rowind, const double *coef, const double *lb,
            const double *ub) {
    return storeEdit(prob, fn, [&] {
        if (int rc = checkCount(prob, fn, "columns", ncols)) return rc;
        if (int rc = checkCount(prob, fn, "coefficients", ncoefs)) return rc;
        if (ncols == 0 && ncoefs > 0)
            return probError(prob, NVRA_RC_INVALID, "%s: %lld coefficients given for no columns",
                             fn, static_cast<long long>(ncoefs));
        if (int rc = checkRoom(prob, Kind::Column, ncols)) return rc;
        if (int rc = checkArray(prob, fn, "rowind", rowind, ncoefs)) return rc;
        if (int rc = checkArray(prob, fn, "rowcoef", coef, ncoefs)) return rc;
        if (int rc = checkStarts(prob, fn, start, ncols, ncoefs)) return rc;

        Model &m = prob->model;
        const int n0 = m.numCols(), nrows = m.numRows();
        for (int j = 0; j < ncols; ++j) {
            if (obj && badCoef(obj[j]))
                return probError(prob, NVRA_RC_INVALID,
                                 "%s: the objective coefficient of new column %d is %g: "
                                 "coefficients must be finite",
                                 fn, j, obj[j]);
            if ((lb && isNaN(lb[j])) || (ub && isNaN(ub[j])))
                return probError(prob, NVRA_RC_INVALID, "%s: a bound of new column %d is NaN", fn,
                                 j);
        }
        std::vector<int64_t> cursor;
        int64_t added = 0;
        bool unsorted = false; // some column lists its rows out of increasing order
        if (ncoefs > 0) {
            cursor.assign(nrows, 0);
            for (int j = 0; j < ncols; ++j)
                for (int64_t p = start[j] + 1, e = listEnd(start, ncols, ncoefs, j); p < e; ++p)
                    unsorted |= rowind[p] <= rowind[p - 1];
            for (int64_t p = 0; p < ncoefs; ++p) {
                if (rowind[p] < 0 || rowind[p] >= nrows)
                    return probError(prob, NVRA_RC_RANGE,
                                     "%s: coefficient %lld is in row %d: the problem has %d rows",
                                     fn, static_cast<long long>(p), rowind[p], nrows);
                if (badCoef(coef[p]))
                    return probError(prob, NVRA_RC_INVALID,
                                     "%s: coefficient %lld (row %d) is %g: coefficients must be "
                                     "finite",
                                     fn, static_cast<long long>(p), rowind[p], coef[p]);
                if (coef[p] != 0.0) ++cursor[rowind[p]], ++added;
            }
        }

        // Allocate, then append.
        const size_t cols = static_cast<size_t>(n0) + ncols;
        reserveFor(m.lb, cols);
        reserveFor(m.ub, cols);
        reserveFor(m.cost, cols);
        reserveFor(m.limit, cols);
        reserveFor(m.coltype, cols);
        for (Objective &o : m.objectives)
            reserveFor(o.cost, cols);
        reserveFor(m.A.index, m.A.index.size() + added);
        reserveFor(m.A.value, m.A.value.size() + added);
        m.colNames.resize(static_cast<int>(cols));

        for (int j = 0; j < ncols; ++j) {
            m.lb.push_back(lb ? storeBound(lb[j]) : 0.0);
            m.ub.push_back(ub ? storeBound(ub[j]) : kInf);
            m.cost.push_back(obj ? obj[j] : 0.0);
        }
        m.limit.resize(cols, 0.0);
        m.coltype.resize(cols, 'C');
        for (Objective &o : m.objectives)
            o.cost.resize(cols, 0.0);
        if (added)
            spreadColumns(m.A, cursor, n0, ncols, start, ncoefs, rowind, coef, added, unsorted);
        return 0;
    });
}

// Columns first..last of the row-wise matrix in column-wise form: one pass counts, one fills.
int getCols(NVRAprob prob, const char *fn, int64_t *start, int *rowind, double *rowcoef,
            int64_t maxcoefs, int64_t *ncoefs, int first, int last) {
    return storeQuery(prob, fn, [&] {
        if (int rc = checkRange(prob, Kind::Column, first, last)) return rc;
        const Model &m = prob->model;
        const SparseRows &A = m.A;
        const int width = last - first + 1;
        // Visits the entries of the range row by row: f(row, column, value).
        auto forEach = [&](auto f) {
            if (width <= 0) return;
            for (int r = 0; r < m.numRows(); ++r) {
                const int32_t *b = A.index.data() + A.start[r],
                              *e = A.index.data() + A.start[r + 1];
                const int32_t *p = width == m.numCols() ? b : std::lower_bound(b, e, first);
                for (; p < e && *p <= last; ++p)
                    f(r, *p, A.value[p - A.index.data()]);
            }
        };
        std::vector<int64_t> pos(static_cast<size_t>(width) + 1, 0);
        forEach([&](int, int32_t c, double) { ++pos[c - first + 1]; });
        for (int k = 0; k < width; ++k)
            pos[k + 1] += pos[k];
        const int64_t total = width > 0 ? pos[width] : 0;
        bool fill;
        if (int rc = sparseSizes(prob, fn, total, rowind || rowcoef, maxcoefs, ncoefs, fill))
            return rc;
        if (start) std::copy(pos.begin(), pos.end(), start);
        if (fill)
            forEach([&](int r, int32_t c, double v) {
                const int64_t at = pos[c - first]++;
                if (rowind) rowind[at] = r;
                if (rowcoef) rowcoef[at] = v;
            });
        return 0;
    });
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAaddcols(NVRAprob prob, int ncols, int ncoefs, const double objcoef[], const int start[],
                const int rowind[], const double rowcoef[], const double lb[], const double ub[]) {
    return addCols(prob, "NVRAaddcols", ncols, ncoefs, objcoef, start, rowind, rowcoef, lb, ub);
}

int NVRAaddcols64(NVRAprob prob, int ncols, int64_t ncoefs, const double objcoef[],
                  const int64_t start[], const int rowind[], const double rowcoef[],
                  const double lb[], const double ub[]) {
    return addCols(prob, "NVRAaddcols64", ncols, ncoefs, objcoef, start, rowind, rowcoef, lb, ub);
}

int NVRAdelcols(NVRAprob prob, int ncols, const int colind[]) {
    const char *fn = "NVRAdelcols";
    return storeEdit(prob, fn, [&] {
        std::vector<int32_t> map, sorted;
        if (int rc = deletionMap(prob, fn, Kind::Column, ncols, colind, map, sorted)) return rc;
        Model &m = prob->model;
        // Deleting the column of an indicator would turn a conditional row into an
        // unconditional one: refused.
        for (const auto &[row, ind] : m.indicators)
            if (ind.complement != 0 && map[ind.col] < 0)
                return probError(prob, NVRA_RC_INVALID,
                                 "%s: column %d is the indicator column of row %d: delete the "
                                 "indicator or the row first",
                                 fn, ind.col, row);
        if (int rc = checkGeneralColumns(prob, fn, map)) return rc;
        if (prob->nonlinear)
            if (int rc = prob->nonlinear->stageDeletion(false, map)) return rc;
        m.colNames.erase(sorted); // the only step that may fail

        SparseRows &A = m.A;
        int64_t w = 0, begin = 0;
        for (int r = 0; r < m.numRows(); ++r) {
            const int64_t end = A.start[r + 1];
            for (int64_t p = begin; p < end; ++p) {
                const int32_t c = map[A.index[p]];
                if (c < 0) continue;
                A.index[w] = c;
                A.value[w] = A.value[p];
                ++w;
            }
            A.start[r + 1] = w;
            begin = end;
        }
        A.index.resize(w);
        A.value.resize(w);
        compactByMap(m.lb, map);
        compactByMap(m.ub, map);
        compactByMap(m.cost, map);
        compactByMap(m.limit, map);
        compactByMap(m.coltype, map);
        for (Objective &o : m.objectives)
            compactByMap(o.cost, map);
        renumberTriplets(m.Q, map);
        for (auto it = m.qrows.begin(); it != m.qrows.end();) {
            renumberTriplets(it->second, map);
            it = it->second.v.empty() ? m.qrows.erase(it) : std::next(it);
        }
        for (Sos &s : m.sets) {
            size_t k = 0;
            for (size_t t = 0; t < s.cols.size(); ++t) {
                if (map[s.cols[t]] < 0) continue;
                s.cols[k] = map[s.cols[t]];
                s.weights[k] = s.weights[t];
                ++k;
            }
            s.cols.resize(k);
            s.weights.resize(k);
        }
        for (auto &[row, ind] : m.indicators)
            if (ind.complement != 0) ind.col = map[ind.col];
        renumberGeneralColumns(m, map);
        renumberKeys(m.dirs, map);
        if (prob->nonlinear) prob->nonlinear->commitDeletion();
        return 0;
    });
}

int NVRAgetlb(NVRAprob prob, double lb[], int first, int last) {
    return getRange(prob, "NVRAgetlb", Kind::Column, lb, first, last,
                    [](const Model &m, int j) { return m.lb[j]; });
}

int NVRAgetub(NVRAprob prob, double ub[], int first, int last) {
    return getRange(prob, "NVRAgetub", Kind::Column, ub, first, last,
                    [](const Model &m, int j) { return m.ub[j]; });
}

int NVRAchgbounds(NVRAprob prob, int nbounds, const int colind[], const char bndtype[],
                  const double bndval[]) {
    const char *fn = "NVRAchgbounds";
    return storeEdit(prob, fn, [&] {
        if (int rc = checkIndexList(prob, fn, Kind::Column, nbounds, colind)) return rc;
        if (int rc = checkArray(prob, fn, "bndtype", bndtype, nbounds)) return rc;
        if (int rc = checkArray(prob, fn, "bndval", bndval, nbounds)) return rc;
        for (int k = 0; k < nbounds; ++k) {
            const char t = bndtype[k];
            if (t != 'L' && t != 'U' && t != 'B')
                return probError(prob, NVRA_RC_INVALID,
                                 "%s: invalid bound type '%c' (0x%02x) for column %d: expected "
                                 "L, U or B",
                                 fn, t >= 32 && t < 127 ? t : '?', static_cast<unsigned char>(t),
                                 colind[k]);
            if (isNaN(bndval[k]))
                return probError(prob, NVRA_RC_INVALID, "%s: the bound for column %d is NaN", fn,
                                 colind[k]);
        }
        Model &m = prob->model;
        for (int k = 0; k < nbounds; ++k) {
            const double v = storeBound(bndval[k]);
            if (bndtype[k] != 'U') m.lb[colind[k]] = v;
            if (bndtype[k] != 'L') m.ub[colind[k]] = v;
        }
        return 0;
    });
}

int NVRAchgglblimit(NVRAprob prob, int ncols, const int colind[], const double limit[]) {
    return changeEach(
        prob, "NVRAchgglblimit", Kind::Column, "limit", ncols, colind, limit,
        [&](int col, double v) {
            return isNaN(v) ? probError(prob, NVRA_RC_INVALID, "Column %d: the limit is NaN", col)
                            : 0;
        },
        [](Model &m, int col, double v) { m.limit[col] = storeBound(v); });
}

int NVRAgetcoltype(NVRAprob prob, char coltype[], int first, int last) {
    return getRange(prob, "NVRAgetcoltype", Kind::Column, coltype, first, last,
                    [](const Model &m, int j) { return m.coltype[j]; });
}

int NVRAchgcoltype(NVRAprob prob, int ncols, const int colind[], const char coltype[]) {
    return changeEach(
        prob, "NVRAchgcoltype", Kind::Column, "coltype", ncols, colind, coltype,
        [&](int col, char t) {
            if (validColType(t)) return 0;
            return probError(prob, NVRA_RC_INVALID,
                             "Column %d: invalid column type '%c' (0x%02x): expected C, B, I, S, "
                             "R or P",
                             col, t >= 32 && t < 127 ? t : '?', static_cast<unsigned char>(t));
        },
        [](Model &m, int col, char t) {
            m.coltype[col] = t;
            if (t == 'B') m.lb[col] = 0.0, m.ub[col] = 1.0;
        });
}

int NVRAgetcols64(NVRAprob prob, int64_t start[], int rowind[], double rowcoef[], int64_t maxcoefs,
                  int64_t *ncoefs, int first, int last) {
    return getCols(prob, "NVRAgetcols64", start, rowind, rowcoef, maxcoefs, ncoefs, first, last);
}

} // extern "C"
