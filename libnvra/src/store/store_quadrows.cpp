// store_quadrows.cpp: quadratic parts of rows.
#include "store/store.h"

#include <string>

using namespace nvra;

extern "C" {

int NVRAaddqmatrix64(NVRAprob prob, int row, int64_t ncoefs, const int rowqcol1[],
                     const int rowqcol2[], const double rowqcoef[]) {
    return storeEdit(prob, "NVRAaddqmatrix64", [&] {
        if (int rc = checkIndex(prob, Kind::Row, row)) return rc;
        const std::string what = "the quadratic part of row " + std::to_string(row);
        if (int rc = checkTriplets(prob, what.c_str(), ncoefs, rowqcol1, rowqcol2, rowqcoef,
                                   prob->model.numCols()))
            return rc;
        if (ncoefs == 0) return 0;
        auto &qrows = prob->model.qrows;
        auto it = qrows.find(row);
        QTriplets merged = tripletsAdded(it == qrows.end() ? QTriplets() : it->second,
                                         sortedTriplets(ncoefs, rowqcol1, rowqcol2, rowqcoef));
        if (merged.v.empty()) {
            if (it != qrows.end()) qrows.erase(it);
        } else if (it != qrows.end()) {
            it->second = std::move(merged);
        } else {
            qrows.emplace(row, std::move(merged));
        }
        return 0;
    });
}

int NVRAgetqrowqmatrixtriplets(NVRAprob prob, int row, int *ncoefs, int rowqcol1[], int rowqcol2[],
                               double rowqcoef[]) {
    const char *fn = "NVRAgetqrowqmatrixtriplets";
    return storeQuery(prob, fn, [&] {
        if (int rc = checkIndex(prob, Kind::Row, row)) return rc;
        if (int rc = checkArray(prob, fn, "ncoefs", ncoefs)) return rc;
        const auto &qrows = prob->model.qrows;
        auto it = qrows.find(row);
        static const QTriplets none;
        const QTriplets &q = it == qrows.end() ? none : it->second;
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
