// store_quadrows.cpp: quadratic parts of rows.
#include "store/store.h"

#include <cstdio>

namespace nvra {
namespace {

const QTriplets kNoTriplets;

// The first entry of m.qrows whose row is not below row. Rows get their quadratic parts mostly
// in increasing order as they are appended, so the end is tried first: appending stays O(1)
// instead of two searches of a tree that, for a million quadratic rows, costs a cache miss per
// level.
std::map<int32_t, QTriplets>::iterator slotOf(Model &m, int row) {
    if (m.qrows.empty() || m.qrows.rbegin()->first < row) return m.qrows.end();
    return m.qrows.lower_bound(row);
}

const QTriplets &rowTriplets(const Model &m, int row) {
    auto it = m.qrows.find(row);
    return it == m.qrows.end() ? kNoTriplets : it->second;
}

// Stores q as the quadratic part of row (none when q is empty); it is the entry at `at`
// (slotOf) when that holds row.
void setRowTriplets(Model &m, std::map<int32_t, QTriplets>::iterator at, int row, QTriplets q) {
    const bool held = at != m.qrows.end() && at->first == row;
    if (q.v.empty()) {
        if (held) m.qrows.erase(at);
    } else if (held) {
        at->second = std::move(q);
    } else {
        m.qrows.emplace_hint(at, row, std::move(q));
    }
}

// Checks n triplets for the quadratic part of row. The part's name for a message ("the quadratic
// part of row 12") is formatted only when a check fails: this runs once per quadratic row.
int checkRowTriplets(NVRAprob prob, int row, int64_t n, const int *c1, const int *c2,
                     const double *v) {
    const int ncols = prob->model.numCols();
    bool ok = n >= 0 && (n == 0 || (c1 && c2 && v));
    for (int64_t k = 0; ok && k < n; ++k)
        ok = c1[k] >= 0 && c1[k] < ncols && c2[k] >= 0 && c2[k] < ncols && !badCoef(v[k]);
    if (ok) return 0;
    char what[48];
    std::snprintf(what, sizeof what, "the quadratic part of row %d", row);
    return checkTriplets(prob, what, n, c1, c2, v, ncols);
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAaddqmatrix64(NVRAprob prob, int row, int64_t ncoefs, const int rowqcol1[],
                     const int rowqcol2[], const double rowqcoef[]) {
    return storeEdit(prob, "NVRAaddqmatrix64", [&] {
        if (int rc = checkIndex(prob, Kind::Row, row)) return rc;
        if (int rc = checkRowTriplets(prob, row, ncoefs, rowqcol1, rowqcol2, rowqcoef)) return rc;
        if (ncoefs == 0) return 0;
        Model &m = prob->model;
        const auto at = slotOf(m, row);
        const bool held = at != m.qrows.end() && at->first == row;
        setRowTriplets(
            m, at, row,
            held ? tripletsAdded(at->second, sortedTriplets(ncoefs, rowqcol1, rowqcol2, rowqcoef))
                 : tripletsOf(ncoefs, rowqcol1, rowqcol2, rowqcoef));
        return 0;
    });
}

int NVRAchgqrowcoeff(NVRAprob prob, int row, int rowqcol1, int rowqcol2, double rowqcoef) {
    return storeEdit(prob, "NVRAchgqrowcoeff", [&] {
        if (int rc = checkIndex(prob, Kind::Row, row)) return rc;
        if (int rc = checkRowTriplets(prob, row, 1, &rowqcol1, &rowqcol2, &rowqcoef)) return rc;
        Model &m = prob->model;
        const auto at = slotOf(m, row);
        setRowTriplets(
            m, at, row,
            tripletsReplaced(at != m.qrows.end() && at->first == row ? at->second : kNoTriplets,
                             sortedTriplets(1, &rowqcol1, &rowqcol2, &rowqcoef)));
        return 0;
    });
}

int NVRAgetqrowcoeff(NVRAprob prob, int row, int rowqcol1, int rowqcol2, double *rowqcoef) {
    const char *fn = "NVRAgetqrowcoeff";
    return storeQuery(prob, fn, [&] {
        if (int rc = checkIndex(prob, Kind::Row, row)) return rc;
        if (int rc = checkIndex(prob, Kind::Column, rowqcol1)) return rc;
        if (int rc = checkIndex(prob, Kind::Column, rowqcol2)) return rc;
        if (int rc = checkArray(prob, fn, "rowqcoef", rowqcoef)) return rc;
        *rowqcoef = tripletAt(rowTriplets(prob->model, row), rowqcol1, rowqcol2);
        return 0;
    });
}

int NVRAdelqmatrix(NVRAprob prob, int row) {
    return storeEdit(prob, "NVRAdelqmatrix", [&] {
        if (int rc = checkIndex(prob, Kind::Row, row)) return rc;
        prob->model.qrows.erase(row);
        return 0;
    });
}

int NVRAgetqrowqmatrix(NVRAprob prob, int row, int start[], int colind[], double rowqcoef[],
                       int maxcoefs, int *ncoefs, int first, int last) {
    const char *fn = "NVRAgetqrowqmatrix";
    return storeQuery(prob, fn, [&] {
        if (int rc = checkIndex(prob, Kind::Row, row)) return rc;
        return tripletsByColumn(prob, fn, rowTriplets(prob->model, row), start, colind, rowqcoef,
                                maxcoefs, ncoefs, first, last);
    });
}

int NVRAgetqrows(NVRAprob prob, int *nrows, int qcrows[]) {
    const char *fn = "NVRAgetqrows";
    return storeQuery(prob, fn, [&] {
        if (int rc = checkArray(prob, fn, "nrows", nrows)) return rc;
        int n = 0;
        for (const auto &[row, q] : prob->model.qrows) {
            if (q.v.empty()) continue;
            if (qcrows) qcrows[n] = row;
            ++n;
        }
        *nrows = n;
        return 0;
    });
}

int NVRAgetqrowqmatrixtriplets(NVRAprob prob, int row, int *ncoefs, int rowqcol1[], int rowqcol2[],
                               double rowqcoef[]) {
    const char *fn = "NVRAgetqrowqmatrixtriplets";
    return storeQuery(prob, fn, [&] {
        if (int rc = checkIndex(prob, Kind::Row, row)) return rc;
        if (int rc = checkArray(prob, fn, "ncoefs", ncoefs)) return rc;
        const QTriplets &q = rowTriplets(prob->model, row);
        if (q.v.size() > static_cast<size_t>(INT32_MAX))
            return probError(prob, NVRA_RC_RANGE,
                             "%s: the quadratic part of row %d has %zu elements, too many for a "
                             "32-bit count",
                             fn, row, q.v.size());
        *ncoefs = static_cast<int>(q.v.size());
        if (rowqcol1) std::copy(q.i.begin(), q.i.end(), rowqcol1);
        if (rowqcol2) std::copy(q.j.begin(), q.j.end(), rowqcol2);
        if (rowqcoef) std::copy(q.v.begin(), q.v.end(), rowqcoef);
        return 0;
    });
}

} // extern "C"
