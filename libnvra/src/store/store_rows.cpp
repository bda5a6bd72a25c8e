// store_rows.cpp: adding, deleting, changing and reading rows.
#include "store/store.h"

#include <cstring>

namespace nvra {
namespace {

// Appends nrows rows given row-wise (NVRAaddrows, NVRAaddrows64). One pass checks, one pass
// copies; only rows whose entries are out of order or repeated are sorted and merged.
template <class S>
int addRows(NVRAprob prob, const char *fn, int nrows, int64_t ncoefs, const char *type,
            const double *rhs, const double *range, const S *start, const int *colind,
            const double *coef) {
    return storeEdit(prob, fn, [&] {
        if (int rc = checkCount(prob, fn, "rows", nrows)) return rc;
        if (int rc = checkCount(prob, fn, "coefficients", ncoefs)) return rc;
        if (nrows == 0 && ncoefs > 0)
            return probError(prob, NVRA_RC_INVALID, "%s: %lld coefficients given for no rows", fn,
                             static_cast<long long>(ncoefs));
        if (int rc = checkRoom(prob, Kind::Row, nrows)) return rc;
        if (int rc = checkArray(prob, fn, "rowtype", type, nrows)) return rc;
        if (int rc = checkArray(prob, fn, "rhs", rhs, nrows)) return rc;
        if (int rc = checkArray(prob, fn, "colind", colind, ncoefs)) return rc;
        if (int rc = checkArray(prob, fn, "rowcoef", coef, ncoefs)) return rc;
        if (int rc = checkStarts(prob, fn, start, nrows, ncoefs)) return rc;

        Model &m = prob->model;
        const int m0 = m.numRows(), ncols = m.numCols();
        int64_t longestUnsorted = 0;
        for (int i = 0; i < nrows; ++i) {
            const double r = type[i] == 'R' && range ? range[i] : 0.0;
            if (!rowDataValid(type[i], rhs[i], r)) // the message comes from the full check
                return checkRowData(prob, int64_t(m0) + i, type[i], rhs[i], r);
            if (ncoefs == 0) continue;
            const int64_t b = start[i], e = listEnd(start, nrows, ncoefs, i);
            bool sorted = true;
            for (int64_t p = b; p < e; ++p) {
                if (static_cast<unsigned>(colind[p]) >= static_cast<unsigned>(ncols))
                    return probError(prob, NVRA_RC_RANGE,
                                     "%s: coefficient %lld (new row %d) is in column %d: the "
                                     "problem has %d columns",
                                     fn, static_cast<long long>(p), i, colind[p], ncols);
                if (badCoef(coef[p]))
                    return probError(prob, NVRA_RC_INVALID,
                                     "%s: coefficient %lld (new row %d, column %d) is %g: "
                                     "coefficients must be finite",
                                     fn, static_cast<long long>(p), i, colind[p], coef[p]);
                if (p > b && colind[p] <= colind[p - 1]) sorted = false;
            }
            if (!sorted) longestUnsorted = std::max(longestUnsorted, e - b);
        }

        // Allocate, then append: once every array has its room, the resizes below cannot fail,
        // and the rows are written through plain pointers.
        SparseRows &A = m.A;
        const size_t rows = static_cast<size_t>(m0) + nrows;
        const size_t nz0 = A.index.size();
        reserveFor(m.rowtype, rows);
        reserveFor(m.rhs, rows);
        reserveFor(m.range, rows);
        reserveFor(A.start, rows + 1);
        reserveFor(A.index, nz0 + ncoefs);
        reserveFor(A.value, nz0 + ncoefs);
        std::vector<std::pair<int32_t, double>> scratch;
        scratch.reserve(static_cast<size_t>(longestUnsorted));
        m.rowNames.resize(static_cast<int>(rows));
        m.rowtype.resize(rows);
        m.rhs.resize(rows);
        m.range.resize(rows);
        A.start.resize(rows + 1);
        A.index.resize(nz0 + ncoefs);
        A.value.resize(nz0 + ncoefs);

        char *rowtype = m.rowtype.data() + m0;
        double *rowRhs = m.rhs.data() + m0, *rowRange = m.range.data() + m0;
        int64_t *rowStart = A.start.data() + m0 + 1;
        int32_t *index = A.index.data();
        double *value = A.value.data();
        int64_t w = static_cast<int64_t>(nz0);
        for (int i = 0; i < nrows; ++i) {
            rowtype[i] = type[i];
            rowRhs[i] = storeBound(rhs[i]);
            rowRange[i] = type[i] == 'R' && range ? storeBound(range[i]) : 0.0;
            if (ncoefs > 0) {
                const int64_t b = start[i], e = listEnd(start, nrows, ncoefs, i);
                const int64_t rowBegin = w;
                bool sorted = true;
                for (int64_t p = b; p < e; ++p) {
                    if (p > b && colind[p] <= colind[p - 1]) sorted = false;
                    if (coef[p] == 0.0) continue;
                    index[w] = colind[p];
                    value[w++] = coef[p];
                }
                if (!sorted) w = normaliseList(index, value, rowBegin, w, scratch);
            }
            rowStart[i] = w;
        }
        A.index.resize(w);
        A.value.resize(w);
        return 0;
    });
}

// The interval [lower, upper] of a row from its type, rhs and range.
void rowInterval(char type, double rhs, double range, double &lower, double &upper) {
    lower = type == 'G' || type == 'E' ? rhs : type == 'R' ? rhs - range : -kInf;
    upper = type == 'L' || type == 'E' || type == 'R' ? rhs : kInf;
}

// NVRAchgrhsrange on one row (not 'N'): the row becomes 'R' of width |r| keeping one end; an
// infinite width leaves the one-sided row that keeps that end.
void setRowRange(Model &m, int row, double r) {
    const char t = m.rowtype[row];
    double lower, upper;
    rowInterval(t, m.rhs[row], m.range[row], lower, upper);
    const bool keepUpper = t == 'L' || ((t == 'E' || t == 'R') && r >= 0);
    const double width = storeBound(std::fabs(r));
    if (width >= kInf) {
        m.rowtype[row] = keepUpper ? 'L' : 'G';
        m.rhs[row] = keepUpper ? upper : lower;
        m.range[row] = 0.0;
    } else {
        m.rowtype[row] = 'R';
        m.rhs[row] = keepUpper ? upper : storeBound(lower + width);
        m.range[row] = width;
    }
}

template <class S>
int getRows(NVRAprob prob, const char *fn, S *start, int *colind, double *colcoef, S maxcoefs,
            S *ncoefs, int first, int last) {
    return storeQuery(prob, fn, [&] {
        if (int rc = checkRange(prob, Kind::Row, first, last)) return rc;
        const SparseRows &A = prob->model.A;
        const int64_t base = A.start[first], total = A.start[last + 1] - base;
        bool fill;
        if (int rc = sparseSizes(prob, fn, total, colind || colcoef, maxcoefs, ncoefs, fill))
            return rc;
        if (start)
            for (int i = first; i <= last + 1; ++i)
                start[i - first] = static_cast<S>(A.start[i] - base);
        if (fill) {
            if (colind) std::copy_n(A.index.data() + base, total, colind);
            if (colcoef) std::copy_n(A.value.data() + base, total, colcoef);
        }
        return 0;
    });
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAaddrows(NVRAprob prob, int nrows, int ncoefs, const char rowtype[], const double rhs[],
                const double range[], const int start[], const int colind[],
                const double rowcoef[]) {
    return addRows(prob, "NVRAaddrows", nrows, ncoefs, rowtype, rhs, range, start, colind, rowcoef);
}

int NVRAaddrows64(NVRAprob prob, int nrows, int64_t ncoefs, const char rowtype[],
                  const double rhs[], const double range[], const int64_t start[],
                  const int colind[], const double rowcoef[]) {
    return addRows(prob, "NVRAaddrows64", nrows, ncoefs, rowtype, rhs, range, start, colind,
                   rowcoef);
}

int NVRAdelrows(NVRAprob prob, int nrows, const int rowind[]) {
    const char *fn = "NVRAdelrows";
    return storeEdit(prob, fn, [&] {
        std::vector<int32_t> map, sorted;
        if (int rc = deletionMap(prob, fn, Kind::Row, nrows, rowind, map, sorted)) return rc;
        if (prob->nonlinear)
            if (int rc = prob->nonlinear->stageDeletion(true, map)) return rc;
        Model &m = prob->model;
        m.rowNames.erase(sorted); // the only step that may fail
        // Kept rows move down in runs (one move per run of consecutive kept rows).
        SparseRows &A = m.A;
        int64_t w = 0, begin = 0, runFrom = 0, runTo = 0;
        auto moveRun = [&] {
            if (runFrom == runTo || w == runTo) return;
            std::memmove(A.index.data() + runTo, A.index.data() + runFrom,
                         (w - runTo) * sizeof(int32_t));
            std::memmove(A.value.data() + runTo, A.value.data() + runFrom,
                         (w - runTo) * sizeof(double));
        };
        int r = 0;
        for (int i = 0; i < m.numRows(); ++i) {
            const int64_t end = A.start[i + 1];
            if (map[i] >= 0) {
                w += end - begin;
                A.start[++r] = w;
            } else {
                moveRun();
                runFrom = end;
                runTo = w;
            }
            begin = end;
        }
        moveRun();
        A.start.resize(r + 1);
        A.index.resize(w);
        A.value.resize(w);
        compactByMap(m.rowtype, map);
        compactByMap(m.rhs, map);
        compactByMap(m.range, map);
        renumberKeys(m.qrows, map);
        renumberKeys(m.indicators, map);
        renumberKeys(m.rowFlags, map);
        if (prob->nonlinear) prob->nonlinear->commitDeletion();
        return 0;
    });
}

int NVRAgetrhs(NVRAprob prob, double rhs[], int first, int last) {
    return getRange(prob, "NVRAgetrhs", Kind::Row, rhs, first, last,
                    [](const Model &m, int i) { return m.rhs[i]; });
}

int NVRAgetrhsrange(NVRAprob prob, double range[], int first, int last) {
    return getRange(prob, "NVRAgetrhsrange", Kind::Row, range, first, last,
                    [](const Model &m, int i) {
                        const char t = m.rowtype[i];
                        return t == 'R' ? m.range[i] : t == 'E' ? 0.0 : kInf;
                    });
}

int NVRAgetrowtype(NVRAprob prob, char rowtype[], int first, int last) {
    return getRange(prob, "NVRAgetrowtype", Kind::Row, rowtype, first, last,
                    [](const Model &m, int i) { return m.rowtype[i]; });
}

int NVRAchgrhs(NVRAprob prob, int nrows, const int rowind[], const double rhs[]) {
    return changeEach(
        prob, "NVRAchgrhs", Kind::Row, "rhs", nrows, rowind, rhs,
        [&](int row, double v) {
            return isNaN(v)
                       ? probError(prob, NVRA_RC_INVALID, "Row %d: the right-hand side is NaN", row)
                       : 0;
        },
        [](Model &m, int row, double v) { m.rhs[row] = storeBound(v); });
}

int NVRAchgrhsrange(NVRAprob prob, int nrows, const int rowind[], const double range[]) {
    return changeEach(
        prob, "NVRAchgrhsrange", Kind::Row, "range", nrows, rowind, range,
        [&](int row, double v) {
            if (isNaN(v)) return probError(prob, NVRA_RC_INVALID, "Row %d: the range is NaN", row);
            if (prob->model.rowtype[row] == 'N')
                return probError(prob, NVRA_RC_INVALID,
                                 "Row %d is a free ('N') row: it cannot be given a range", row);
            return 0;
        },
        setRowRange);
}

int NVRAchgrowtype(NVRAprob prob, int nrows, const int rowind[], const char rowtype[]) {
    return changeEach(
        prob, "NVRAchgrowtype", Kind::Row, "rowtype", nrows, rowind, rowtype,
        [&](int row, char t) { return checkRowData(prob, row, t, 0.0, 0.0); },
        [](Model &m, int row, char t) {
            if (t != 'R') m.range[row] = 0.0; // a row that becomes 'R' keeps its range, if any
            m.rowtype[row] = t;
        });
}

int NVRAgetrows(NVRAprob prob, int start[], int colind[], double colcoef[], int maxcoefs,
                int *ncoefs, int first, int last) {
    return getRows(prob, "NVRAgetrows", start, colind, colcoef, maxcoefs, ncoefs, first, last);
}

int NVRAgetrows64(NVRAprob prob, int64_t start[], int colind[], double colcoef[], int64_t maxcoefs,
                  int64_t *ncoefs, int first, int last) {
    return getRows(prob, "NVRAgetrows64", start, colind, colcoef, maxcoefs, ncoefs, first, last);
}

} // extern "C"
