// store_coefs.cpp: single matrix coefficients.
#include "store/store.h"

namespace nvra {
namespace {

struct CoefChange {
    int32_t row, col;
    double value;
};

// Position of (row, col) in A, or -1.
int64_t findCoef(const SparseRows &A, int row, int col) {
    const int32_t *b = A.index.data() + A.start[row], *e = A.index.data() + A.start[row + 1];
    const int32_t *p = std::lower_bound(b, e, col);
    return p != e && *p == col ? p - A.index.data() : -1;
}

// Up to this many changes that add or remove elements are made in the arrays as they are (one
// shift of the entries after each); more rebuild the arrays in one pass.
constexpr size_t kShiftedChanges = 8;

// Makes room for `more` entries without a reallocation later (the arrays grow geometrically, so
// that a loop of single insertions does not copy the matrix each time). Throws before A changes.
void reserveEntries(SparseRows &A, size_t more) {
    const size_t need = A.index.size() + more;
    if (need <= A.index.capacity() && need <= A.value.capacity()) return;
    const size_t cap = std::max(need, 2 * A.index.size());
    A.index.reserve(cap);
    A.value.reserve(cap);
}

// One change in place: an existing element changed or removed, a new one inserted (room for it
// reserved). Never throws.
void shiftChange(SparseRows &A, const CoefChange &c) {
    const int64_t at = findCoef(A, c.row, c.col);
    if (at >= 0 && c.value != 0.0) {
        A.value[at] = c.value;
        return;
    }
    const int nrows = static_cast<int>(A.start.size()) - 1;
    if (at >= 0) {
        A.index.erase(A.index.begin() + at);
        A.value.erase(A.value.begin() + at);
        for (int r = c.row + 1; r <= nrows; ++r)
            --A.start[r];
        return;
    }
    if (c.value == 0.0) return;
    const int32_t *b = A.index.data() + A.start[c.row], *e = A.index.data() + A.start[c.row + 1];
    const int64_t pos = std::lower_bound(b, e, c.col) - A.index.data();
    A.index.insert(A.index.begin() + pos, c.col);
    A.value.insert(A.value.begin() + pos, c.value);
    for (int r = c.row + 1; r <= nrows; ++r)
        ++A.start[r];
}

// Applies changes sorted by (row, col), one per element: a few in place, many by rebuilding the
// arrays (allocated before A is touched).
void applyCoefChanges(SparseRows &A, const std::vector<CoefChange> &changes) {
    if (changes.size() <= kShiftedChanges) {
        reserveEntries(A, changes.size());
        for (const CoefChange &c : changes)
            shiftChange(A, c);
        return;
    }
    bool inPlace = true;
    for (const CoefChange &c : changes)
        if (c.value == 0.0 || findCoef(A, c.row, c.col) < 0) inPlace = false;
    if (inPlace) {
        for (const CoefChange &c : changes)
            A.value[findCoef(A, c.row, c.col)] = c.value;
        return;
    }
    const int nrows = static_cast<int>(A.start.size()) - 1;
    SparseRows out;
    out.start.reserve(A.start.size());
    out.index.reserve(A.index.size() + changes.size());
    out.value.reserve(A.value.size() + changes.size());
    size_t k = 0;
    for (int r = 0; r < nrows; ++r) {
        int64_t p = A.start[r];
        const int64_t e = A.start[r + 1];
        auto put = [&](int32_t col, double v) {
            if (v == 0.0) return;
            out.index.push_back(col);
            out.value.push_back(v);
        };
        for (; k < changes.size() && changes[k].row == r; ++k) {
            for (; p < e && A.index[p] < changes[k].col; ++p)
                put(A.index[p], A.value[p]);
            if (p < e && A.index[p] == changes[k].col) ++p; // replaced
            put(changes[k].col, changes[k].value);
        }
        for (; p < e; ++p)
            put(A.index[p], A.value[p]);
        out.start.push_back(static_cast<int64_t>(out.index.size()));
    }
    A.start.swap(out.start);
    A.index.swap(out.index);
    A.value.swap(out.value);
}

int changeCoefs(NVRAprob prob, const char *fn, int n, const int *rowind, const int *colind,
                const double *value) {
    if (int rc = checkCount(prob, fn, "coefficients", n)) return rc;
    if (int rc = checkIndexList(prob, fn, Kind::Row, n, rowind)) return rc;
    if (int rc = checkIndexList(prob, fn, Kind::Column, n, colind)) return rc;
    if (int rc = checkArray(prob, fn, "rowcoef", value, n)) return rc;
    for (int k = 0; k < n; ++k)
        if (badCoef(value[k]))
            return probError(prob, NVRA_RC_INVALID,
                             "%s: the coefficient for row %d, column %d is %g: coefficients must "
                             "be finite",
                             fn, rowind[k], colind[k], value[k]);
    std::vector<CoefChange> changes(n);
    for (int k = 0; k < n; ++k)
        changes[k] = {rowind[k], colind[k], value[k]};
    // Sorted by element, the last change of an element first: it is the one kept.
    std::vector<int> order(n);
    for (int k = 0; k < n; ++k)
        order[k] = k;
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const CoefChange &x = changes[a], &y = changes[b];
        return x.row != y.row ? x.row < y.row : x.col != y.col ? x.col < y.col : a > b;
    });
    std::vector<CoefChange> last;
    last.reserve(n);
    for (int k : order)
        if (last.empty() || last.back().row != changes[k].row || last.back().col != changes[k].col)
            last.push_back(changes[k]);
    applyCoefChanges(prob->model.A, last);
    return 0;
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAchgcoef(NVRAprob prob, int row, int col, double coef) {
    const char *fn = "NVRAchgcoef";
    return storeEdit(prob, fn, [&] { return changeCoefs(prob, fn, 1, &row, &col, &coef); });
}

int NVRAchgmcoef(NVRAprob prob, int ncoefs, const int rowind[], const int colind[],
                 const double rowcoef[]) {
    const char *fn = "NVRAchgmcoef";
    return storeEdit(prob, fn,
                     [&] { return changeCoefs(prob, fn, ncoefs, rowind, colind, rowcoef); });
}

int NVRAgetcoef(NVRAprob prob, int row, int col, double *coef) {
    const char *fn = "NVRAgetcoef";
    return storeQuery(prob, fn, [&] {
        if (int rc = checkIndex(prob, Kind::Row, row)) return rc;
        if (int rc = checkIndex(prob, Kind::Column, col)) return rc;
        if (int rc = checkArray(prob, fn, "coef", coef)) return rc;
        const int64_t p = findCoef(prob->model.A, row, col);
        *coef = p < 0 ? 0.0 : prob->model.A.value[p];
        return 0;
    });
}

} // extern "C"
