// loaders.cpp: loading whole problems, the problem name.
//
// A load builds a fresh model from the arguments and replaces the problem's model only when the
// whole of it is valid. The problem name argument of the loaders may be NULL or "" to keep the
// current name (the empty load that resets a problem keeps its name that way).
#include "store/store.h"

#include <cstring>

namespace nvra {
namespace {

// The column-wise matrix of a load: column j has the entries begin(j) .. end(j)-1.
struct Columns {
    const int64_t *start64;
    const int *start32;
    const int *collen;
    int64_t start(int j) const { return start64 ? start64[j] : start32[j]; }
    int64_t begin(int j) const { return start(j); }
    int64_t end(int j) const { return collen ? start(j) + collen[j] : start(j + 1); }
};

int checkColumns(NVRAprob prob, const char *fn, const Columns &c, int ncols, int64_t &entries) {
    entries = 0;
    if (ncols == 0) return 0;
    if (!c.start64 && !c.start32)
        return probError(prob, NVRA_RC_INVALID, "%s: the array start is null", fn);
    if (!c.collen && c.start(0) != 0)
        return probError(prob, NVRA_RC_INVALID, "%s: start[0] is %lld: it must be 0", fn,
                         static_cast<long long>(c.start(0)));
    for (int j = 0; j < ncols; ++j) {
        if (c.begin(j) < 0 || c.end(j) < c.begin(j))
            return probError(prob, NVRA_RC_INVALID,
                             "%s: column %d has the invalid entry range %lld..%lld (start%s)", fn,
                             j, static_cast<long long>(c.begin(j)),
                             static_cast<long long>(c.end(j) - 1),
                             c.collen ? " and collen" : " must be non-decreasing");
        entries += c.end(j) - c.begin(j);
    }
    return 0;
}

// The matrix of a load, transposed to rows: a counting pass (which also checks every entry),
// a scatter pass in column order (so that each row comes out sorted), and a merge of repeated
// entries only when some row has them.
int buildMatrix(NVRAprob prob, const LoadData &d, SparseRows &A) {
    const char *fn = d.fn;
    const Columns cols{d.start64, d.start32, d.collen};
    int64_t entries;
    if (int rc = checkColumns(prob, fn, cols, d.ncols, entries)) return rc;
    if (int rc = checkArray(prob, fn, "rowind", d.rowind, entries)) return rc;
    if (int rc = checkArray(prob, fn, "rowcoef", d.rowcoef, entries)) return rc;
    std::vector<int64_t> &start = A.start;
    start.assign(static_cast<size_t>(d.nrows) + 2, 0); // counts at r + 2, see below
    // Raw pointers in the hot loops: the compiler cannot tell that the stores leave the vectors
    // themselves alone.
    int64_t *const st = start.data();
    const int *const rowind = d.rowind;
    const double *const coef = d.rowcoef;
    int64_t nnz = 0;
    bool unsorted = false; // some column lists its rows out of increasing order
    for (int j = 0; j < d.ncols; ++j) {
        for (int64_t p = cols.begin(j), e = cols.end(j); p < e; ++p) {
            const int r = rowind[p];
            unsorted |= p > cols.begin(j) && r <= rowind[p - 1];
            if (r < 0 || r >= d.nrows)
                return probError(prob, NVRA_RC_RANGE,
                                 "%s: entry %lld of column %d is in row %d: the problem has %d "
                                 "rows",
                                 fn, static_cast<long long>(p), j, r, d.nrows);
            if (badCoef(coef[p]))
                return probError(prob, NVRA_RC_INVALID,
                                 "%s: the coefficient of column %d in row %d is %g: "
                                 "coefficients must be finite",
                                 fn, j, r, coef[p]);
            const bool nonzero = coef[p] != 0.0;
            st[r + 2] += nonzero;
            nnz += nonzero;
        }
    }
    // start[r + 1] becomes the beginning of row r, then its write position, and ends as the end
    // of row r: the beginning of row r + 1.
    for (int r = 2; r <= d.nrows + 1; ++r)
        st[r] += st[r - 1];
    A.index.resize(nnz);
    A.value.resize(nnz);
    int32_t *const index = A.index.data();
    double *const value = A.value.data();
    // The writes land in random rows; without collen the entries are one contiguous stretch, so
    // the write positions of entries a little ahead can be fetched early.
    constexpr int64_t kAhead = 16;
    const int64_t last = d.ncols && !cols.collen ? cols.end(d.ncols - 1) : 0;
    for (int j = 0; j < d.ncols; ++j) {
        for (int64_t p = cols.begin(j), e = cols.end(j); p < e; ++p) {
            if (p + kAhead < last) {
                const int64_t ahead = st[rowind[p + kAhead] + 1];
                __builtin_prefetch(index + ahead, 1);
                __builtin_prefetch(value + ahead, 1);
            }
            if (coef[p] == 0.0) continue;
            const int64_t at = st[rowind[p] + 1]++;
            index[at] = j;
            value[at] = coef[p];
        }
    }
    start.pop_back();
    // Only a column that lists a row twice can give a row a repeated column.
    bool repeats = false;
    for (int r = 0; unsorted && r < d.nrows && !repeats; ++r)
        for (int64_t p = start[r] + 1; p < start[r + 1]; ++p)
            if (A.index[p] == A.index[p - 1]) {
                repeats = true;
                break;
            }
    if (!repeats) return 0;
    int64_t w = 0;
    for (int r = 0; r < d.nrows; ++r) {
        const int64_t b = start[r], e = start[r + 1];
        start[r] = w;
        for (int64_t p = b; p < e;) {
            const int32_t c = A.index[p];
            double sum = 0.0;
            for (; p < e && A.index[p] == c; ++p)
                sum += A.value[p];
            if (sum == 0.0) continue;
            A.index[w] = c;
            A.value[w] = sum;
            ++w;
        }
    }
    start[d.nrows] = w;
    A.index.resize(w);
    A.index.shrink_to_fit();
    A.value.resize(w);
    A.value.shrink_to_fit();
    return 0;
}

int buildRows(NVRAprob prob, const LoadData &d, Model &m) {
    const char *fn = d.fn;
    if (int rc = checkArray(prob, fn, "rowtype", d.rowtype, d.nrows)) return rc;
    if (int rc = checkArray(prob, fn, "rhs", d.rhs, d.nrows)) return rc;
    m.rowtype.resize(d.nrows);
    m.rhs.resize(d.nrows);
    m.range.resize(d.nrows);
    for (int i = 0; i < d.nrows; ++i) {
        const char t = d.rowtype[i];
        const double range = t == 'R' && d.range ? d.range[i] : 0.0;
        if (int rc = checkRowData(prob, i, t, d.rhs[i], range)) return rc;
        m.rowtype[i] = t;
        m.rhs[i] = storeBound(d.rhs[i]);
        m.range[i] = storeBound(range);
    }
    return 0;
}

int buildColumns(NVRAprob prob, const LoadData &d, Model &m) {
    const char *fn = d.fn;
    m.cost.resize(d.ncols);
    m.lb.resize(d.ncols);
    m.ub.resize(d.ncols);
    m.limit.assign(d.ncols, 0.0);
    m.coltype.assign(d.ncols, 'C');
    for (int j = 0; j < d.ncols; ++j) {
        const double c = d.objcoef ? d.objcoef[j] : 0.0;
        if (badCoef(c))
            return probError(prob, NVRA_RC_INVALID,
                             "%s: the objective coefficient of column %d is %g: coefficients "
                             "must be finite",
                             fn, j, c);
        const double lo = d.lb ? d.lb[j] : 0.0, up = d.ub ? d.ub[j] : kInf;
        if (isNaN(lo) || isNaN(up))
            return probError(prob, NVRA_RC_INVALID, "%s: a bound of column %d is NaN", fn, j);
        m.cost[j] = c;
        m.lb[j] = storeBound(lo);
        m.ub[j] = storeBound(up);
    }
    return 0;
}

int buildQuadratics(NVRAprob prob, const LoadData &d, Model &m) {
    const char *fn = d.fn;
    if (int rc = checkTriplets(prob, "the quadratic objective", d.nobjqcoefs, d.objqcol1,
                               d.objqcol2, d.objqcoef, d.ncols))
        return rc;
    m.Q = tripletsAdded(QTriplets(),
                        sortedTriplets(d.nobjqcoefs, d.objqcol1, d.objqcol2, d.objqcoef));
    if (int rc = checkCount(prob, fn, "quadratic rows", d.nqrows)) return rc;
    if (int rc = checkArray(prob, fn, "qrowind", d.qrowind, d.nqrows)) return rc;
    if (int rc = checkArray(prob, fn, "nrowqcoefs", d.nrowqcoefs, d.nqrows)) return rc;
    int64_t at = 0;
    for (int k = 0; k < d.nqrows; ++k) {
        const int row = d.qrowind[k];
        if (row < 0 || row >= d.nrows)
            return probError(prob, NVRA_RC_RANGE,
                             "%s: quadratic row %d is row %d: the problem has %d rows", fn, k, row,
                             d.nrows);
        const int64_t n = d.nrowqcoefs[k];
        const std::string what = "the quadratic part of row " + std::to_string(row);
        if (int rc = checkTriplets(prob, what.c_str(), n, d.rowqcol1 ? d.rowqcol1 + at : nullptr,
                                   d.rowqcol2 ? d.rowqcol2 + at : nullptr,
                                   d.rowqcoef ? d.rowqcoef + at : nullptr, d.ncols))
            return rc;
        QTriplets q = tripletsAdded(
            m.qrows[row], sortedTriplets(n, d.rowqcol1 + at, d.rowqcol2 + at, d.rowqcoef + at));
        if (q.v.empty())
            m.qrows.erase(row);
        else
            m.qrows[row] = std::move(q);
        at += n;
    }
    return 0;
}

int buildEntities(NVRAprob prob, const LoadData &d, Model &m) {
    const char *fn = d.fn;
    if (int rc = checkCount(prob, fn, "integer entities", d.nentities)) return rc;
    if (int rc = checkArray(prob, fn, "coltype", d.coltype, d.nentities)) return rc;
    if (int rc = checkArray(prob, fn, "entind", d.entind, d.nentities)) return rc;
    for (int k = 0; k < d.nentities; ++k) {
        const int j = d.entind[k];
        const char t = d.coltype[k];
        if (j < 0 || j >= d.ncols)
            return probError(prob, NVRA_RC_RANGE,
                             "%s: integer entity %d is column %d: the problem has %d columns", fn,
                             k, j, d.ncols);
        if (t == 'C' || !validColType(t))
            return probError(prob, NVRA_RC_INVALID,
                             "%s: column %d: invalid entity type '%c' (0x%02x): expected B, I, S, "
                             "R or P",
                             fn, j, t >= 32 && t < 127 ? t : '?', static_cast<unsigned char>(t));
        if (m.coltype[j] != 'C')
            return probError(prob, NVRA_RC_INVALID,
                             "%s: column %d is listed twice among the integer entities", fn, j);
        m.coltype[j] = t;
        if (t == 'B') { // binary: the given bounds, narrowed to [0, 1]
            m.lb[j] = std::max(m.lb[j], 0.0);
            m.ub[j] = std::min(m.ub[j], 1.0);
        } else if (t != 'I') {
            if (!d.limit)
                return probError(prob, NVRA_RC_INVALID,
                                 "%s: column %d has type '%c' but the array limit is null", fn, j,
                                 t);
            if (isNaN(d.limit[k]))
                return probError(prob, NVRA_RC_INVALID, "%s: the limit of column %d is NaN", fn, j);
            m.limit[j] = storeBound(d.limit[k]);
        }
    }
    if (int rc = checkCount(prob, fn, "sets", d.nsets)) return rc;
    if (d.nsets == 0) return 0;
    if (int rc = checkArray(prob, fn, "settype", d.settype, d.nsets)) return rc;
    if (int rc = checkArray(prob, fn, "setstart", d.setstart, d.nsets)) return rc;
    const int64_t members = d.setstart[d.nsets];
    if (int rc = checkStarts(prob, fn, d.setstart, d.nsets, members)) return rc;
    if (int rc = checkArray(prob, fn, "setind", d.setind, members)) return rc;
    if (int rc = checkArray(prob, fn, "refval", d.refval, members)) return rc;
    m.sets.resize(d.nsets);
    for (int k = 0; k < d.nsets; ++k) {
        const int64_t b = d.setstart[k], e = d.setstart[k + 1];
        if (int rc = checkSetType(prob, fn, k, d.settype[k])) return rc;
        if (int rc = checkSetMembers(prob, fn, k, d.setind + b, d.refval + b, e - b, d.ncols))
            return rc;
        m.sets[k].type = d.settype[k];
        m.sets[k].cols.assign(d.setind + b, d.setind + e);
        m.sets[k].weights.assign(d.refval + b, d.refval + e);
    }
    return 0;
}

int load(NVRAprob prob, const LoadData &d) {
    return storeEdit(prob, d.fn, [&] {
        Model m;
        if (int rc = buildModel(prob, d, m)) return rc;
        const char *name = d.probname && *d.probname ? d.probname : nullptr;
        if (name) {
            if (!validUtf8(name))
                return probError(prob, NVRA_RC_INVALID, "%s: the problem name is not valid UTF-8",
                                 d.fn);
            m.probName = name;
        } else {
            m.probName = prob->model.probName;
        }
        m.sense = prob->model.sense;
        prob->model = std::move(m);
        modelReplaced(prob);
        return 0;
    });
}

LoadData lpData(const char *fn, const char *probname, int ncols, int nrows, const char rowtype[],
                const double rhs[], const double range[], const double objcoef[],
                const int64_t start[], const int collen[], const int rowind[],
                const double rowcoef[], const double lb[], const double ub[]) {
    LoadData d;
    d.fn = fn;
    d.probname = probname;
    d.ncols = ncols;
    d.nrows = nrows;
    d.rowtype = rowtype;
    d.rhs = rhs;
    d.range = range;
    d.objcoef = objcoef;
    d.start64 = start;
    d.collen = collen;
    d.rowind = rowind;
    d.rowcoef = rowcoef;
    d.lb = lb;
    d.ub = ub;
    return d;
}

void setQuadObjective(LoadData &d, int64_t n, const int *c1, const int *c2, const double *v) {
    d.nobjqcoefs = n;
    d.objqcol1 = c1;
    d.objqcol2 = c2;
    d.objqcoef = v;
}

void setQuadRows(LoadData &d, int nqrows, const int *qrowind, const int64_t *nrowqcoefs,
                 const int *c1, const int *c2, const double *v) {
    d.nqrows = nqrows;
    d.qrowind = qrowind;
    d.nrowqcoefs = nrowqcoefs;
    d.rowqcol1 = c1;
    d.rowqcol2 = c2;
    d.rowqcoef = v;
}

void setEntities(LoadData &d, int nentities, int nsets, const char *coltype, const int *entind,
                 const double *limit, const char *settype, const int64_t *setstart,
                 const int *setind, const double *refval) {
    d.nentities = nentities;
    d.nsets = nsets;
    d.coltype = coltype;
    d.entind = entind;
    d.limit = limit;
    d.settype = settype;
    d.setstart = setstart;
    d.setind = setind;
    d.refval = refval;
}

} // namespace

int buildModel(NVRAprob prob, const LoadData &d, Model &m) {
    if (int rc = checkCount(prob, d.fn, "columns", d.ncols)) return rc;
    if (int rc = checkCount(prob, d.fn, "rows", d.nrows)) return rc;
    if (int rc = buildRows(prob, d, m)) return rc;
    if (int rc = buildColumns(prob, d, m)) return rc;
    if (int rc = buildMatrix(prob, d, m.A)) return rc;
    if (int rc = buildQuadratics(prob, d, m)) return rc;
    if (int rc = buildEntities(prob, d, m)) return rc;
    m.rowNames.resize(d.nrows);
    m.colNames.resize(d.ncols);
    m.setNames.resize(d.nsets);
    return 0;
}

} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAloadlp(NVRAprob prob, const char *probname, int ncols, int nrows, const char rowtype[],
               const double rhs[], const double range[], const double objcoef[], const int start[],
               const int collen[], const int rowind[], const double rowcoef[], const double lb[],
               const double ub[]) {
    LoadData d = lpData("NVRAloadlp", probname, ncols, nrows, rowtype, rhs, range, objcoef, nullptr,
                        collen, rowind, rowcoef, lb, ub);
    d.start32 = start;
    return load(prob, d);
}

int NVRAloadlp64(NVRAprob prob, const char *probname, int ncols, int nrows, const char rowtype[],
                 const double rhs[], const double range[], const double objcoef[],
                 const int64_t start[], const int collen[], const int rowind[],
                 const double rowcoef[], const double lb[], const double ub[]) {
    return load(prob, lpData("NVRAloadlp64", probname, ncols, nrows, rowtype, rhs, range, objcoef,
                             start, collen, rowind, rowcoef, lb, ub));
}

int NVRAloadqp64(NVRAprob prob, const char *probname, int ncols, int nrows, const char rowtype[],
                 const double rhs[], const double range[], const double objcoef[],
                 const int64_t start[], const int collen[], const int rowind[],
                 const double rowcoef[], const double lb[], const double ub[], int64_t nobjqcoefs,
                 const int objqcol1[], const int objqcol2[], const double objqcoef[]) {
    LoadData d = lpData("NVRAloadqp64", probname, ncols, nrows, rowtype, rhs, range, objcoef, start,
                        collen, rowind, rowcoef, lb, ub);
    setQuadObjective(d, nobjqcoefs, objqcol1, objqcol2, objqcoef);
    return load(prob, d);
}

int NVRAloadmip64(NVRAprob prob, const char *probname, int ncols, int nrows, const char rowtype[],
                  const double rhs[], const double range[], const double objcoef[],
                  const int64_t start[], const int collen[], const int rowind[],
                  const double rowcoef[], const double lb[], const double ub[], int nentities,
                  int nsets, const char coltype[], const int entind[], const double limit[],
                  const char settype[], const int64_t setstart[], const int setind[],
                  const double refval[]) {
    LoadData d = lpData("NVRAloadmip64", probname, ncols, nrows, rowtype, rhs, range, objcoef,
                        start, collen, rowind, rowcoef, lb, ub);
    setEntities(d, nentities, nsets, coltype, entind, limit, settype, setstart, setind, refval);
    return load(prob, d);
}

int NVRAloadmiqp64(NVRAprob prob, const char *probname, int ncols, int nrows, const char rowtype[],
                   const double rhs[], const double range[], const double objcoef[],
                   const int64_t start[], const int collen[], const int rowind[],
                   const double rowcoef[], const double lb[], const double ub[], int64_t nobjqcoefs,
                   const int objqcol1[], const int objqcol2[], const double objqcoef[],
                   int nentities, int nsets, const char coltype[], const int entind[],
                   const double limit[], const char settype[], const int64_t setstart[],
                   const int setind[], const double refval[]) {
    LoadData d = lpData("NVRAloadmiqp64", probname, ncols, nrows, rowtype, rhs, range, objcoef,
                        start, collen, rowind, rowcoef, lb, ub);
    setQuadObjective(d, nobjqcoefs, objqcol1, objqcol2, objqcoef);
    setEntities(d, nentities, nsets, coltype, entind, limit, settype, setstart, setind, refval);
    return load(prob, d);
}

int NVRAloadqcqp64(NVRAprob prob, const char *probname, int ncols, int nrows, const char rowtype[],
                   const double rhs[], const double range[], const double objcoef[],
                   const int64_t start[], const int collen[], const int rowind[],
                   const double rowcoef[], const double lb[], const double ub[], int64_t nobjqcoefs,
                   const int objqcol1[], const int objqcol2[], const double objqcoef[], int nqrows,
                   const int qrowind[], const int64_t nrowqcoefs[], const int rowqcol1[],
                   const int rowqcol2[], const double rowqcoef[]) {
    LoadData d = lpData("NVRAloadqcqp64", probname, ncols, nrows, rowtype, rhs, range, objcoef,
                        start, collen, rowind, rowcoef, lb, ub);
    setQuadObjective(d, nobjqcoefs, objqcol1, objqcol2, objqcoef);
    setQuadRows(d, nqrows, qrowind, nrowqcoefs, rowqcol1, rowqcol2, rowqcoef);
    return load(prob, d);
}

int NVRAloadmiqcqp64(NVRAprob prob, const char *probname, int ncols, int nrows,
                     const char rowtype[], const double rhs[], const double range[],
                     const double objcoef[], const int64_t start[], const int collen[],
                     const int rowind[], const double rowcoef[], const double lb[],
                     const double ub[], int64_t nobjqcoefs, const int objqcol1[],
                     const int objqcol2[], const double objqcoef[], int nqrows, const int qrowind[],
                     const int64_t nrowqcoefs[], const int rowqcol1[], const int rowqcol2[],
                     const double rowqcoef[], int nentities, int nsets, const char coltype[],
                     const int entind[], const double limit[], const char settype[],
                     const int64_t setstart[], const int setind[], const double refval[]) {
    LoadData d = lpData("NVRAloadmiqcqp64", probname, ncols, nrows, rowtype, rhs, range, objcoef,
                        start, collen, rowind, rowcoef, lb, ub);
    setQuadObjective(d, nobjqcoefs, objqcol1, objqcol2, objqcoef);
    setQuadRows(d, nqrows, qrowind, nrowqcoefs, rowqcol1, rowqcol2, rowqcoef);
    setEntities(d, nentities, nsets, coltype, entind, limit, settype, setstart, setind, refval);
    return load(prob, d);
}

int NVRAsetprobname(NVRAprob prob, const char *probname) {
    const char *fn = "NVRAsetprobname";
    // The name is not part of the model: renaming keeps the solution (a save under the new
    // name keeps it too).
    return sideEdit(prob, fn, [&] {
        if (int rc = checkArray(prob, fn, "probname", probname)) return rc;
        if (!validUtf8(probname))
            return probError(prob, NVRA_RC_INVALID, "%s: the problem name is not valid UTF-8", fn);
        prob->model.probName = probname;
        return 0;
    });
}

int NVRAgetprobname(NVRAprob prob, char *name) {
    const char *fn = "NVRAgetprobname";
    return storeQuery(prob, fn, [&] {
        if (int rc = checkArray(prob, fn, "name", name)) return rc;
        const std::string &s = prob->model.probName;
        memcpy(name, s.c_str(), s.size() + 1);
        return 0;
    });
}

} // extern "C"
