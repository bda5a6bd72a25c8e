// store_general.cpp: piecewise-linear and general constraints (max, min, and, or, abs of
// columns and constants), kept as the caller gave them; the solver reformulates them.
#include "store/store.h"

#include <string>

namespace nvra {

static_assert(kGenMax == NVRA_GENCONS_MAX && kGenMin == NVRA_GENCONS_MIN &&
                  kGenAnd == NVRA_GENCONS_AND && kGenOr == NVRA_GENCONS_OR &&
                  kGenAbs == NVRA_GENCONS_ABS,
              "the store's general constraint types are the library's codes");

namespace {

const char *const kGenTypeNames[kNumGenConsTypes] = {"max", "min", "and", "or", "abs"};

int checkColumn(NVRAprob prob, const char *fn, const char *what, Kind k, int64_t con, int col) {
    if (col >= 0 && col < prob->model.numCols()) return 0;
    return probError(prob, NVRA_RC_RANGE,
                     "%s: %s %lld: %s %d is out of range: the problem has %d columns", fn,
                     kindName(k), static_cast<long long>(con), what, col, prob->model.numCols());
}

// Breakpoints of piecewise-linear constraint `con`: at least one, finite, x nondecreasing.
int checkBreakpoints(NVRAprob prob, const char *fn, int64_t con, const double *x, const double *y,
                     int64_t n) {
    if (n < 1)
        return probError(prob, NVRA_RC_INVALID,
                         "%s: piecewise-linear constraint %lld has no breakpoints", fn,
                         static_cast<long long>(con));
    for (int64_t k = 0; k < n; ++k) {
        if (badCoef(x[k]) || badCoef(y[k]))
            return probError(prob, NVRA_RC_INVALID,
                             "%s: piecewise-linear constraint %lld: breakpoint %lld (%g, %g) is "
                             "not finite",
                             fn, static_cast<long long>(con), static_cast<long long>(k), x[k],
                             y[k]);
        if (k > 0 && x[k] < x[k - 1])
            return probError(prob, NVRA_RC_INVALID,
                             "%s: piecewise-linear constraint %lld: the x values must not "
                             "decrease (breakpoint %lld has x = %g after %g)",
                             fn, static_cast<long long>(con), static_cast<long long>(k), x[k],
                             x[k - 1]);
        if (k > 1 && x[k] == x[k - 2])
            return probError(prob, NVRA_RC_INVALID,
                             "%s: piecewise-linear constraint %lld: three breakpoints share x = "
                             "%g",
                             fn, static_cast<long long>(con), x[k]);
    }
    return 0;
}

template <class S>
int addPwl(NVRAprob prob, const char *fn, int npwls, int64_t npoints, const int *colind,
           const int *resultant, const S *start, const double *xval, const double *yval) {
    return storeEdit(prob, fn, [&] {
        if (int rc = checkCount(prob, fn, "piecewise-linear constraints", npwls)) return rc;
        if (int rc = checkCount(prob, fn, "breakpoints", npoints)) return rc;
        if (int rc = checkRoom(prob, Kind::Pwl, npwls)) return rc;
        if (int rc = checkArray(prob, fn, "colind", colind, npwls)) return rc;
        if (int rc = checkArray(prob, fn, "resultant", resultant, npwls)) return rc;
        if (int rc = checkArray(prob, fn, "xval", xval, npoints)) return rc;
        if (int rc = checkArray(prob, fn, "yval", yval, npoints)) return rc;
        if (int rc = checkStarts(prob, fn, start, npwls, npoints)) return rc;
        Model &m = prob->model;
        const int64_t p0 = static_cast<int64_t>(m.pwls.size());
        for (int k = 0; k < npwls; ++k) {
            const int64_t b = npoints ? static_cast<int64_t>(start[k]) : 0;
            const int64_t e = npoints ? listEnd(start, npwls, npoints, k) : 0;
            if (int rc = checkColumn(prob, fn, "column", Kind::Pwl, p0 + k, colind[k])) return rc;
            if (int rc = checkColumn(prob, fn, "resultant", Kind::Pwl, p0 + k, resultant[k]))
                return rc;
            if (colind[k] == resultant[k])
                return probError(prob, NVRA_RC_INVALID,
                                 "%s: piecewise-linear constraint %lld: the resultant %d is also "
                                 "its argument",
                                 fn, static_cast<long long>(p0 + k), colind[k]);
            if (int rc = checkBreakpoints(prob, fn, p0 + k, xval + b, yval + b, e - b)) return rc;
        }
        std::vector<Pwl> fresh(npwls);
        for (int k = 0; k < npwls; ++k) {
            const int64_t b = npoints ? static_cast<int64_t>(start[k]) : 0;
            const int64_t e = npoints ? listEnd(start, npwls, npoints, k) : 0;
            fresh[k].col = colind[k];
            fresh[k].resultant = resultant[k];
            fresh[k].x.assign(xval + b, xval + e);
            fresh[k].y.assign(yval + b, yval + e);
        }
        reserveFor(m.pwls, m.pwls.size() + npwls);
        for (Pwl &p : fresh)
            m.pwls.push_back(std::move(p));
        return 0;
    });
}

// The operands of general constraint `con` of type `type`.
int checkGenOperands(NVRAprob prob, const char *fn, int64_t con, int type, int resultant,
                     const int *cols, int64_t ncols, const double *vals, int64_t nvals) {
    auto fail = [&](const char *what) {
        return probError(prob, NVRA_RC_INVALID, "%s: general constraint %lld (%s) %s", fn,
                         static_cast<long long>(con), kGenTypeNames[type], what);
    };
    if (type == kGenAbs && (ncols != 1 || nvals != 0))
        return fail("must have exactly one column and no constants");
    if (ncols + nvals == 0) return fail("has no operands");
    for (int64_t t = 0; t < ncols; ++t) {
        if (int rc = checkColumn(prob, fn, "operand column", Kind::GenCons, con, cols[t]))
            return rc;
        if (cols[t] == resultant) return fail("has its resultant among its operands");
    }
    for (int64_t t = 0; t < nvals; ++t) {
        if (badCoef(vals[t])) return fail("has a constant that is not finite");
        if ((type == kGenAnd || type == kGenOr) && vals[t] != 0.0 && vals[t] != 1.0)
            return fail("has a constant other than 0 or 1");
    }
    return 0;
}

template <class S>
int addGen(NVRAprob prob, const char *fn, int ncons, int64_t ncols, int64_t nvals, const int *type,
           const int *resultant, const S *colstart, const int *colind, const S *valstart,
           const double *val) {
    return storeEdit(prob, fn, [&] {
        if (int rc = checkCount(prob, fn, "general constraints", ncons)) return rc;
        if (int rc = checkCount(prob, fn, "operand columns", ncols)) return rc;
        if (int rc = checkCount(prob, fn, "constants", nvals)) return rc;
        if (int rc = checkRoom(prob, Kind::GenCons, ncons)) return rc;
        if (int rc = checkArray(prob, fn, "type", type, ncons)) return rc;
        if (int rc = checkArray(prob, fn, "resultant", resultant, ncons)) return rc;
        if (int rc = checkArray(prob, fn, "colind", colind, ncols)) return rc;
        if (int rc = checkArray(prob, fn, "val", val, nvals)) return rc;
        if (int rc = checkStarts(prob, fn, colstart, ncons, ncols)) return rc;
        if (int rc = checkStarts(prob, fn, valstart, ncons, nvals)) return rc;
        Model &m = prob->model;
        const int64_t g0 = static_cast<int64_t>(m.gencons.size());
        auto span = [&](const S *start, int64_t total, int k) {
            return std::pair<int64_t, int64_t>{total ? static_cast<int64_t>(start[k]) : 0,
                                               total ? listEnd(start, ncons, total, k) : 0};
        };
        for (int k = 0; k < ncons; ++k) {
            if (type[k] < 0 || type[k] >= kNumGenConsTypes)
                return probError(prob, NVRA_RC_INVALID,
                                 "%s: general constraint %lld has the invalid type %d: expected 0 "
                                 "(max), 1 (min), 2 (and), 3 (or) or 4 (abs)",
                                 fn, static_cast<long long>(g0 + k), type[k]);
            if (int rc = checkColumn(prob, fn, "resultant", Kind::GenCons, g0 + k, resultant[k]))
                return rc;
            const auto [cb, ce] = span(colstart, ncols, k);
            const auto [vb, ve] = span(valstart, nvals, k);
            if (int rc = checkGenOperands(prob, fn, g0 + k, type[k], resultant[k], colind + cb,
                                          ce - cb, val + vb, ve - vb))
                return rc;
        }
        std::vector<GenCons> fresh(ncons);
        for (int k = 0; k < ncons; ++k) {
            const auto [cb, ce] = span(colstart, ncols, k);
            const auto [vb, ve] = span(valstart, nvals, k);
            fresh[k].type = type[k];
            fresh[k].resultant = resultant[k];
            fresh[k].cols.assign(colind + cb, colind + ce);
            fresh[k].vals.assign(val + vb, val + ve);
        }
        reserveFor(m.gencons, m.gencons.size() + ncons);
        for (GenCons &g : fresh)
            m.gencons.push_back(std::move(g));
        return 0;
    });
}

template <class T>
int deleteEntries(NVRAprob prob, const char *fn, Kind k, std::vector<T> Model::*list, int n,
                  const int *idx) {
    return storeEdit(prob, fn, [&] {
        std::vector<int32_t> map, sorted;
        if (int rc = deletionMap(prob, fn, k, n, idx, map, sorted)) return rc;
        compactByMap(prob->model.*list, map);
        return 0;
    });
}

// Lists first..last of entries whose parts are the vectors part(entry), in the start / entries
// form of the sparse getters. The starts of the parts of entry i are written to start[i - first].
template <class S, class T, class Part, class V>
void fillParts(const std::vector<T> &list, int first, int last, Part part, S *start, V *out,
               bool fill) {
    int64_t at = 0;
    for (int i = first; i <= last; ++i) {
        const auto &v = part(list[i]);
        if (start) start[i - first] = static_cast<S>(at);
        if (fill && out) std::copy(v.begin(), v.end(), out + at);
        at += static_cast<int64_t>(v.size());
    }
    if (start) start[last - first + 1] = static_cast<S>(at);
}

template <class T, class Part>
int64_t partsTotal(const std::vector<T> &list, int first, int last, Part part) {
    int64_t total = 0;
    for (int i = first; i <= last; ++i)
        total += static_cast<int64_t>(part(list[i]).size());
    return total;
}

} // namespace

int checkGeneralColumns(NVRAprob prob, const char *fn, const std::vector<int32_t> &colMap) {
    const Model &m = prob->model;
    auto refuse = [&](int col, Kind k, size_t con) {
        return probError(prob, NVRA_RC_INVALID,
                         "%s: column %d is used by %s %zu: delete that constraint first", fn, col,
                         kindName(k), con);
    };
    for (size_t k = 0; k < m.pwls.size(); ++k)
        for (int col : {m.pwls[k].col, m.pwls[k].resultant})
            if (colMap[col] < 0) return refuse(col, Kind::Pwl, k);
    for (size_t k = 0; k < m.gencons.size(); ++k) {
        if (colMap[m.gencons[k].resultant] < 0)
            return refuse(m.gencons[k].resultant, Kind::GenCons, k);
        for (int col : m.gencons[k].cols)
            if (colMap[col] < 0) return refuse(col, Kind::GenCons, k);
    }
    return 0;
}

void renumberGeneralColumns(Model &m, const std::vector<int32_t> &colMap) {
    for (Pwl &p : m.pwls) {
        p.col = colMap[p.col];
        p.resultant = colMap[p.resultant];
    }
    for (GenCons &g : m.gencons) {
        g.resultant = colMap[g.resultant];
        for (int32_t &col : g.cols)
            col = colMap[col];
    }
}

} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAaddpwlcons64(NVRAprob prob, int npwls, int64_t npoints, const int colind[],
                     const int resultant[], const int64_t start[], const double xval[],
                     const double yval[]) {
    return addPwl(prob, "NVRAaddpwlcons64", npwls, npoints, colind, resultant, start, xval, yval);
}

int NVRAdelpwlcons(NVRAprob prob, int npwls, const int pwlind[]) {
    return deleteEntries(prob, "NVRAdelpwlcons", Kind::Pwl, &Model::pwls, npwls, pwlind);
}

int NVRAgetpwlcons64(NVRAprob prob, int colind[], int resultant[], int64_t start[], double xval[],
                     double yval[], int64_t maxpoints, int64_t *npoints, int first, int last) {
    const char *fn = "NVRAgetpwlcons64";
    return storeQuery(prob, fn, [&] {
        if (int rc = checkRange(prob, Kind::Pwl, first, last)) return rc;
        const auto &pwls = prob->model.pwls;
        auto xs = [](const Pwl &p) -> const std::vector<double> & { return p.x; };
        auto ys = [](const Pwl &p) -> const std::vector<double> & { return p.y; };
        bool fill;
        if (int rc = sparseSizes(prob, fn, partsTotal(pwls, first, last, xs), xval || yval,
                                 maxpoints, npoints, fill))
            return rc;
        for (int i = first; i <= last; ++i) {
            if (colind) colind[i - first] = pwls[i].col;
            if (resultant) resultant[i - first] = pwls[i].resultant;
        }
        fillParts(pwls, first, last, xs, start, xval, fill);
        fillParts(pwls, first, last, ys, static_cast<int64_t *>(nullptr), yval, fill);
        return 0;
    });
}

int NVRAaddgencons64(NVRAprob prob, int ncons, int64_t ncols, int64_t nvals, const int type[],
                     const int resultant[], const int64_t colstart[], const int colind[],
                     const int64_t valstart[], const double val[]) {
    return addGen(prob, "NVRAaddgencons64", ncons, ncols, nvals, type, resultant, colstart, colind,
                  valstart, val);
}

int NVRAdelgencons(NVRAprob prob, int ncons, const int conind[]) {
    return deleteEntries(prob, "NVRAdelgencons", Kind::GenCons, &Model::gencons, ncons, conind);
}

int NVRAgetgencons64(NVRAprob prob, int type[], int resultant[], int64_t colstart[], int colind[],
                     int64_t maxcols, int64_t *ncols, int64_t valstart[], double val[],
                     int64_t maxvals, int64_t *nvals, int first, int last) {
    const char *fn = "NVRAgetgencons64";
    return storeQuery(prob, fn, [&] {
        if (int rc = checkRange(prob, Kind::GenCons, first, last)) return rc;
        const auto &gen = prob->model.gencons;
        auto cols = [](const GenCons &g) -> const std::vector<int32_t> & { return g.cols; };
        auto vals = [](const GenCons &g) -> const std::vector<double> & { return g.vals; };
        bool fillCols, fillVals;
        if (int rc = sparseSizes(prob, fn, partsTotal(gen, first, last, cols), colind != nullptr,
                                 maxcols, ncols, fillCols))
            return rc;
        if (int rc = sparseSizes(prob, fn, partsTotal(gen, first, last, vals), val != nullptr,
                                 maxvals, nvals, fillVals))
            return rc;
        for (int i = first; i <= last; ++i) {
            if (type) type[i - first] = gen[i].type;
            if (resultant) resultant[i - first] = gen[i].resultant;
        }
        fillParts(gen, first, last, cols, colstart, colind, fillCols);
        fillParts(gen, first, last, vals, valstart, val, fillVals);
        return 0;
    });
}

} // extern "C"
