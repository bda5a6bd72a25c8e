// store_quadrows.cpp: quadratic parts of rows.
#include "store/store.h"

#include <string>

namespace nvra {
namespace {

const QTriplets kNoTriplets;

const QTriplets &rowTriplets(const Model &m, int row) {
    auto it = m.qrows.find(row);
    return it == m.qrows.end() ? kNoTriplets : it->second;
}

// Stores q as the quadratic part of row (none when q is empty).
void setRowTriplets(Model &m, int row, QTriplets q) {
    auto it = m.qrows.find(row);
    if (q.v.empty()) {
        if (it != m.qrows.end()) m.qrows.erase(it);
    } else if (it != m.qrows.end()) {
        it->second = std::move(q);
    } else {
        m.qrows.emplace(row, std::move(q));
    }
}

std::string rowPart(int row) {
    return "the quadratic part of row " + std::to_string(row);
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAaddqmatrix64(NVRAprob prob, int row, int64_t ncoefs, const int rowqcol1[],
                     const int rowqcol2[], const double rowqcoef[]) {
    return storeEdit(prob, "NVRAaddqmatrix64", [&] {
        if (int rc = checkIndex(prob, Kind::Row, row)) return rc;
        if (int rc = checkTriplets(prob, rowPart(row).c_str(), ncoefs, rowqcol1, rowqcol2, rowqcoef,
                                   prob->model.numCols()))
            return rc;
        if (ncoefs == 0) return 0;
        Model &m = prob->model;
        setRowTriplets(m, row,
                       tripletsAdded(rowTriplets(m, row),
                                     sortedTriplets(ncoefs, rowqcol1, rowqcol2, rowqcoef)));
        return 0;
    });
}

int NVRAchgqrowcoeff(NVRAprob prob, int row, int rowqcol1, int rowqcol2, double rowqcoef) {
    return storeEdit(prob, "NVRAchgqrowcoeff", [&] {
        if (int rc = checkIndex(prob, Kind::Row, row)) return rc;
        if (int rc = checkTriplets(prob, rowPart(row).c_str(), 1, &rowqcol1, &rowqcol2, &rowqcoef,
                                   prob->model.numCols()))
            return rc;
        Model &m = prob->model;
        setRowTriplets(m, row,
                       tripletsReplaced(rowTriplets(m, row),
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
