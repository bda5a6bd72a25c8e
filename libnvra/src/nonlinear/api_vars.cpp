// api_vars.cpp: the SLP data of columns and rows: column data, deltas, cascade limits,
// derivative steps, determining rows, initial values, row status and weight, and the row and
// column information queries.
#include "nonlinear/activity.h"
#include "nonlinear/nlprob.h"

#include <cmath>

namespace nvra::nl {
namespace {

constexpr int kVarTypeBits = NSLP_VAR_CASCADE | NSLP_VAR_FIXSTEP;
constexpr int kRowStatusBits = NSLP_ROW_ENFORCED | NSLP_ROW_OBJECTIVE;

int checkFinite(NSLPprob nl, const char *fn, const char *what, int col, double v) {
    if (std::isfinite(v)) return 0;
    return nlError(nl, NVRA_RC_INVALID, "%s: the %s of column %d is not finite", fn, what, col);
}

int checkNonNegative(NSLPprob nl, const char *fn, const char *what, int col, double v) {
    if (v >= 0 && !std::isnan(v)) return 0;
    return nlError(nl, NVRA_RC_INVALID, "%s: the %s of column %d must be >= 0, not %g", fn, what,
                   col, v);
}

int checkVarType(NSLPprob nl, const char *fn, int col, int t) {
    if ((t & ~kVarTypeBits) == 0) return 0;
    return nlError(nl, NVRA_RC_INVALID,
                   "%s: the type of column %d has unknown bits 0x%x (known: NSLP_VAR_CASCADE, "
                   "NSLP_VAR_FIXSTEP)",
                   fn, col, t & ~kVarTypeBits);
}

int checkDetRow(NSLPprob nl, const char *fn, int row) {
    return row == -1 ? 0 : checkNlRow(nl, fn, row, false);
}

int checkTolSet(NSLPprob nl, const char *fn, int col, int tolset) {
    const int n = static_cast<int>(nl->data.tolsets.size());
    if (tolset >= 0 && tolset <= n) return 0;
    return nlError(nl, NVRA_RC_RANGE,
                   "%s: tolerance set %d of column %d does not exist (there are %d; 0 is none)", fn,
                   tolset, col, n);
}

// The column data of NSLPaddvars and NSLPloadvars.
struct Vars {
    int n;
    const int *cols, *vartype, *detrow, *seqnum, *tolindex;
    const double *initvalue, *stepbound;
};

int addVars(NSLPprob nl, const char *fn, const Vars &v, bool load) {
    if (int rc = checkNlCount(nl, fn, "columns", v.n)) return rc;
    if (int rc = checkNlArray(nl, fn, "colind", v.cols, v.n)) return rc;
    for (int k = 0; k < v.n; ++k) {
        const int j = v.cols[k];
        if (int rc = checkNlCol(nl, fn, j, false)) return rc;
        if (v.vartype)
            if (int rc = checkVarType(nl, fn, j, v.vartype[k])) return rc;
        if (v.detrow)
            if (int rc = checkDetRow(nl, fn, v.detrow[k])) return rc;
        if (v.tolindex)
            if (int rc = checkTolSet(nl, fn, j, v.tolindex[k])) return rc;
        if (v.initvalue)
            if (int rc = checkFinite(nl, fn, "initial value", j, v.initvalue[k])) return rc;
        if (v.stepbound)
            if (int rc = checkNonNegative(nl, fn, "step bound", j, v.stepbound[k])) return rc;
    }
    NlData &d = nl->data;
    if (v.n > 0) d.colForEdit(nl->prob->model.numCols() - 1); // allocates before changes
    if (load) d.cols.assign(d.cols.size(), SlpColumn());
    for (int k = 0; k < v.n; ++k) {
        SlpColumn &c = d.colForEdit(v.cols[k]);
        if (v.vartype) c.vartype = v.vartype[k];
        if (v.detrow) c.detrow = v.detrow[k];
        if (v.seqnum) c.seqnum = v.seqnum[k];
        if (v.tolindex) c.tolset = v.tolindex[k];
        if (v.initvalue) c.initValue = c.value = v.initvalue[k];
        if (v.stepbound) c.initStep = c.step = std::min(v.stepbound[k], kInf);
    }
    return 0;
}

// The effective finite-difference step of column col at its current value.
double deltaOf(NSLPprob nl, const SlpColumn &c) {
    const double scale = std::max(1.0, std::fabs(c.value));
    switch (c.deltaType) {
    case NSLP_DELTA_ABSOLUTE:
        return c.delta;
    case NSLP_DELTA_RELATIVE:
        return c.delta * scale;
    default:
        return dblControl(nl, kNlCtrlFdStep) * scale;
    }
}

int rowInfo(NSLPprob nl, const char *fn, int infotype, int row, void *info) {
    if (int rc = checkNlRow(nl, fn, row, false)) return rc;
    if (!info) return nlError(nl, NVRA_RC_INVALID, "%s: null info pointer", fn);
    const SlpRow &r = nl->data.row(row);
    switch (infotype) {
    case NSLP_ROWINFO_STATUS:
        *static_cast<int *>(info) = r.status;
        return 0;
    case NSLP_ROWINFO_COEFS: {
        int n = 0;
        for (const auto &[i, j] : nl->data.coefs.cells())
            n += i == row;
        *static_cast<int *>(info) = n;
        return 0;
    }
    case NSLP_ROWINFO_WEIGHT:
        *static_cast<double *>(info) = r.weight;
        return 0;
    case NSLP_ROWINFO_ACTIVITY:
    case NSLP_ROWINFO_VIOLATION: {
        const std::vector<double> x = nl->data.currentPoint(nl->prob->model.numCols());
        RowValue v;
        if (int rc = rowValue(nl, fn, row, x.data(), v)) return rc;
        *static_cast<double *>(info) = infotype == NSLP_ROWINFO_ACTIVITY
                                           ? v.total()
                                           : rowViolation(nl->prob->model, row, v.total());
        return 0;
    }
    default:
        return nlError(nl, NVRA_RC_INVALID, "%s: unknown row information type %d", fn, infotype);
    }
}

int colInfo(NSLPprob nl, const char *fn, int infotype, int col, void *info) {
    if (int rc = checkNlCol(nl, fn, col, false)) return rc;
    if (!info) return nlError(nl, NVRA_RC_INVALID, "%s: null info pointer", fn);
    const SlpColumn &c = nl->data.col(col);
    int *i = static_cast<int *>(info);
    double *d = static_cast<double *>(info);
    switch (infotype) {
    case NSLP_COLINFO_DETROW:
        *i = c.detrow;
        return 0;
    case NSLP_COLINFO_VARTYPE:
        *i = c.vartype;
        return 0;
    case NSLP_COLINFO_TOLSET:
        *i = c.tolset;
        return 0;
    case NSLP_COLINFO_CONVERGED:
        *i = c.converged;
        return 0;
    case NSLP_COLINFO_HISTORY:
        *i = c.history;
        return 0;
    case NSLP_COLINFO_CASCADELIMIT:
        *i = c.cascadeLimit;
        return 0;
    case NSLP_COLINFO_NONLINEAR:
        *i = readsColumn(nl->data, col);
        return 0;
    case NSLP_COLINFO_DELTATYPE:
        *i = c.deltaType;
        return 0;
    case NSLP_COLINFO_VALUE:
        *d = c.value;
        return 0;
    case NSLP_COLINFO_INITVALUE:
        *d = c.initValue;
        return 0;
    case NSLP_COLINFO_STEPBOUND:
        *d = c.step;
        return 0;
    case NSLP_COLINFO_PENALTY:
        *d = c.penalty;
        return 0;
    case NSLP_COLINFO_DELTA:
        *d = deltaOf(nl, c);
        return 0;
    default:
        return nlError(nl, NVRA_RC_INVALID, "%s: unknown column information type %d", fn, infotype);
    }
}

int addDfs(NSLPprob nl, const char *fn, int n, const int *cols, const int *rows,
           const double *values, bool load) {
    if (int rc = checkNlCount(nl, fn, "derivative steps", n)) return rc;
    if (int rc = checkNlArray(nl, fn, "colind", cols, n)) return rc;
    if (int rc = checkNlArray(nl, fn, "rowind", rows, n)) return rc;
    if (int rc = checkNlArray(nl, fn, "value", values, n)) return rc;
    for (int k = 0; k < n; ++k) {
        if (int rc = checkNlCol(nl, fn, cols[k], false)) return rc;
        if (int rc = checkNlRow(nl, fn, rows[k], true)) return rc;
        if (int rc = checkNonNegative(nl, fn, "derivative step", cols[k], values[k])) return rc;
        if (int rc = checkFinite(nl, fn, "derivative step", cols[k], values[k])) return rc;
    }
    tsl::robin_map<uint64_t, double> next =
        load ? tsl::robin_map<uint64_t, double>() : nl->data.dfs;
    for (int k = 0; k < n; ++k) {
        const uint64_t key = NlData::dfKey(cols[k], rows[k]);
        if (values[k] == 0)
            next.erase(key);
        else
            next[key] = values[k];
    }
    nl->data.dfs.swap(next);
    return 0;
}

int setDetRows(NVRAprob prob, const char *fn, int n, const int *cols, int64_t colsSize,
               const int *rows, int64_t rowsSize) {
    return viaProb(prob, fn, kSlpEdit, [&](NSLPprob nl) -> int {
        if (int rc = checkNlCount(nl, fn, "columns", n)) return rc;
        if ((colsSize >= 0 && colsSize < n) || (rowsSize >= 0 && rowsSize < n))
            return nlError(nl, NVRA_RC_RANGE, "%s: colind and rowind must hold %d entries", fn, n);
        if (int rc = checkNlArray(nl, fn, "colind", cols, n)) return rc;
        if (int rc = checkNlArray(nl, fn, "rowind", rows, n)) return rc;
        for (int k = 0; k < n; ++k) {
            if (int rc = checkNlCol(nl, fn, cols[k], false)) return rc;
            if (int rc = checkDetRow(nl, fn, rows[k])) return rc;
        }
        if (n > 0) nl->data.colForEdit(nl->prob->model.numCols() - 1);
        for (int k = 0; k < n; ++k)
            nl->data.colForEdit(cols[k]).detrow = rows[k];
        return 0;
    });
}

} // namespace
} // namespace nvra::nl

using namespace nvra;
using namespace nvra::nl;

extern "C" {

int NSLPaddvars(NSLPprob nlprob, int ncols, const int colind[], const int vartype[],
                const int detrow[], const int seqnum[], const int tolindex[],
                const double initvalue[], const double stepbound[]) {
    return nlSlpEdit(nlprob, "NSLPaddvars", [&](NSLPprob nl) -> int {
        return addVars(nl, "NSLPaddvars",
                       {ncols, colind, vartype, detrow, seqnum, tolindex, initvalue, stepbound},
                       false);
    });
}

int NSLPloadvars(NSLPprob nlprob, int ncols, const int colind[], const int vartype[],
                 const int detrow[], const int seqnum[], const int tolindex[],
                 const double initvalue[], const double stepbound[]) {
    return nlSlpEdit(nlprob, "NSLPloadvars", [&](NSLPprob nl) -> int {
        return addVars(nl, "NSLPloadvars",
                       {ncols, colind, vartype, detrow, seqnum, tolindex, initvalue, stepbound},
                       true);
    });
}

int NSLPdelvars(NSLPprob nlprob, int ncols, const int colind[]) {
    const char *fn = "NSLPdelvars";
    return nlSlpEdit(nlprob, fn, [&](NSLPprob nl) -> int {
        if (int rc = checkNlCount(nl, fn, "columns", ncols)) return rc;
        if (int rc = checkNlArray(nl, fn, "colind", colind, ncols)) return rc;
        for (int k = 0; k < ncols; ++k)
            if (int rc = checkNlCol(nl, fn, colind[k], false)) return rc;
        for (int k = 0; k < ncols; ++k)
            if (static_cast<size_t>(colind[k]) < nl->data.cols.size())
                nl->data.cols[colind[k]] = SlpColumn();
        return 0;
    });
}

int NSLPchgvar(NSLPprob nlprob, int col, const int *detrow, const double *initstepbound,
               const double *stepbound, const double *penalty, const double *damp,
               const double *initvalue, const double *value, const int *tolset, const int *history,
               const int *converged, const int *vartype) {
    const char *fn = "NSLPchgvar";
    return nlSlpEdit(nlprob, fn, [&](NSLPprob nl) -> int {
        if (int rc = checkNlCol(nl, fn, col, false)) return rc;
        if (detrow)
            if (int rc = checkDetRow(nl, fn, *detrow)) return rc;
        if (initstepbound)
            if (int rc = checkNonNegative(nl, fn, "initial step bound", col, *initstepbound))
                return rc;
        if (stepbound)
            if (int rc = checkNonNegative(nl, fn, "step bound", col, *stepbound)) return rc;
        if (penalty) {
            if (int rc = checkNonNegative(nl, fn, "penalty", col, *penalty)) return rc;
            if (int rc = checkFinite(nl, fn, "penalty", col, *penalty)) return rc;
        }
        if (damp && !(*damp > 0 && *damp <= 1))
            return nlError(nl, NVRA_RC_INVALID,
                           "%s: the damping factor of column %d must lie in (0, 1], not %g", fn,
                           col, *damp);
        if (initvalue)
            if (int rc = checkFinite(nl, fn, "initial value", col, *initvalue)) return rc;
        if (value)
            if (int rc = checkFinite(nl, fn, "value", col, *value)) return rc;
        if (tolset)
            if (int rc = checkTolSet(nl, fn, col, *tolset)) return rc;
        if (vartype)
            if (int rc = checkVarType(nl, fn, col, *vartype)) return rc;
        SlpColumn &c = nl->data.colForEdit(col);
        if (detrow) c.detrow = *detrow;
        if (initstepbound) c.initStep = std::min(*initstepbound, kInf);
        if (stepbound) c.step = std::min(*stepbound, kInf);
        if (penalty) c.penalty = *penalty;
        if (damp) c.damp = *damp;
        if (initvalue) c.initValue = *initvalue;
        if (value) c.value = *value;
        if (tolset) c.tolset = *tolset;
        if (history) c.history = *history;
        if (converged) c.converged = *converged;
        if (vartype) c.vartype = *vartype;
        return 0;
    });
}

int NSLPgetvar(NSLPprob nlprob, int col, int *detrow, double *initstepbound, double *stepbound,
               double *penalty, double *damp, double *initvalue, double *value, int *tolset,
               int *history, int *converged, int *vartype) {
    const char *fn = "NSLPgetvar";
    return nlQuery(nlprob, fn, [&](NSLPprob nl) -> int {
        if (int rc = checkNlCol(nl, fn, col, false)) return rc;
        const SlpColumn &c = nl->data.col(col);
        if (detrow) *detrow = c.detrow;
        if (initstepbound) *initstepbound = c.initStep;
        if (stepbound) *stepbound = c.step;
        if (penalty) *penalty = c.penalty;
        if (damp) *damp = c.damp;
        if (initvalue) *initvalue = c.initValue;
        if (value) *value = c.value;
        if (tolset) *tolset = c.tolset;
        if (history) *history = c.history;
        if (converged) *converged = c.converged;
        if (vartype) *vartype = c.vartype;
        return 0;
    });
}

int NSLPchgdeltatype(NSLPprob nlprob, int ncols, const int colind[], const int deltatypes[],
                     const double values[]) {
    const char *fn = "NSLPchgdeltatype";
    return nlSlpEdit(nlprob, fn, [&](NSLPprob nl) -> int {
        if (int rc = checkNlCount(nl, fn, "columns", ncols)) return rc;
        if (int rc = checkNlArray(nl, fn, "colind", colind, ncols)) return rc;
        if (int rc = checkNlArray(nl, fn, "deltatypes", deltatypes, ncols)) return rc;
        for (int k = 0; k < ncols; ++k) {
            const int j = colind[k], t = deltatypes[k];
            if (int rc = checkNlCol(nl, fn, j, false)) return rc;
            if (t != NSLP_DELTA_DEFAULT && t != NSLP_DELTA_ABSOLUTE && t != NSLP_DELTA_RELATIVE)
                return nlError(nl, NVRA_RC_INVALID, "%s: unknown delta type %d of column %d", fn, t,
                               j);
            if (t == NSLP_DELTA_DEFAULT) continue;
            if (!values) return nlError(nl, NVRA_RC_INVALID, "%s: values is NULL", fn);
            if (!(values[k] > 0 && std::isfinite(values[k])))
                return nlError(nl, NVRA_RC_INVALID,
                               "%s: the delta of column %d must be finite and > 0, not %g", fn, j,
                               values[k]);
        }
        if (ncols > 0) nl->data.colForEdit(nl->prob->model.numCols() - 1);
        for (int k = 0; k < ncols; ++k) {
            SlpColumn &c = nl->data.colForEdit(colind[k]);
            c.deltaType = deltatypes[k];
            c.delta = deltatypes[k] == NSLP_DELTA_DEFAULT ? 0.0 : values[k];
        }
        return 0;
    });
}

int NSLPchgcascadenlimit(NSLPprob nlprob, int col, int limit) {
    const char *fn = "NSLPchgcascadenlimit";
    return nlSlpEdit(nlprob, fn, [&](NSLPprob nl) -> int {
        if (int rc = checkNlCol(nl, fn, col, false)) return rc;
        if (limit < 0)
            return nlError(nl, NVRA_RC_INVALID, "%s: negative cascade limit %d of column %d", fn,
                           limit, col);
        nl->data.colForEdit(col).cascadeLimit = limit;
        return 0;
    });
}

int NSLPadddfs(NSLPprob nlprob, int ndfs, const int colind[], const int rowind[],
               const double value[]) {
    return nlSlpEdit(nlprob, "NSLPadddfs", [&](NSLPprob nl) -> int {
        return addDfs(nl, "NSLPadddfs", ndfs, colind, rowind, value, false);
    });
}

int NSLPloaddfs(NSLPprob nlprob, int ndfs, const int colind[], const int rowind[],
                const double value[]) {
    return nlSlpEdit(nlprob, "NSLPloaddfs", [&](NSLPprob nl) -> int {
        return addDfs(nl, "NSLPloaddfs", ndfs, colind, rowind, value, true);
    });
}

int NSLPchgdf(NSLPprob nlprob, int col, int row, double *value) {
    return nlSlpEdit(nlprob, "NSLPchgdf", [&](NSLPprob nl) -> int {
        return value ? addDfs(nl, "NSLPchgdf", 1, &col, &row, value, false) : 0;
    });
}

int NSLPgetdf(NSLPprob nlprob, int col, int row, double *value) {
    const char *fn = "NSLPgetdf";
    return nlQuery(nlprob, fn, [&](NSLPprob nl) -> int {
        if (int rc = checkNlCol(nl, fn, col, false)) return rc;
        if (int rc = checkNlRow(nl, fn, row, true)) return rc;
        if (!value) return nlError(nl, NVRA_RC_INVALID, "%s: null value pointer", fn);
        *value = nl->data.df(col, row);
        return 0;
    });
}

int NSLPchgrowstatus(NSLPprob nlprob, int row, int status) {
    const char *fn = "NSLPchgrowstatus";
    return nlSlpEdit(nlprob, fn, [&](NSLPprob nl) -> int {
        if (int rc = checkNlRow(nl, fn, row, false)) return rc;
        if (status & ~kRowStatusBits)
            return nlError(nl, NVRA_RC_INVALID,
                           "%s: the status of row %d has unknown bits 0x%x (known: "
                           "NSLP_ROW_ENFORCED, NSLP_ROW_OBJECTIVE)",
                           fn, row, status & ~kRowStatusBits);
        nl->data.rowForEdit(row).status = status;
        return 0;
    });
}

int NSLPgetrowstatus(NSLPprob nlprob, int row, int *status) {
    return nlQuery(nlprob, "NSLPgetrowstatus", [&](NSLPprob nl) -> int {
        return rowInfo(nl, "NSLPgetrowstatus", NSLP_ROWINFO_STATUS, row, status);
    });
}

int NSLPchgrowwt(NSLPprob nlprob, int row, double weight) {
    const char *fn = "NSLPchgrowwt";
    return nlSlpEdit(nlprob, fn, [&](NSLPprob nl) -> int {
        if (int rc = checkNlRow(nl, fn, row, false)) return rc;
        if (!(weight >= 0 && std::isfinite(weight)))
            return nlError(nl, NVRA_RC_INVALID,
                           "%s: the weight of row %d must be finite and >= 0, not %g", fn, row,
                           weight);
        nl->data.rowForEdit(row).weight = weight;
        return 0;
    });
}

int NSLPgetrowwt(NSLPprob nlprob, int row, double *weight) {
    return nlQuery(nlprob, "NSLPgetrowwt", [&](NSLPprob nl) -> int {
        return rowInfo(nl, "NSLPgetrowwt", NSLP_ROWINFO_WEIGHT, row, weight);
    });
}

int NSLPgetrowinfo(NSLPprob nlprob, int infotype, int row, void *info) {
    return nlQuery(nlprob, "NSLPgetrowinfo", [&](NSLPprob nl) -> int {
        return rowInfo(nl, "NSLPgetrowinfo", infotype, row, info);
    });
}

int NSLPgetcolinfo(NSLPprob nlprob, int infotype, int col, void *info) {
    return nlQuery(nlprob, "NSLPgetcolinfo", [&](NSLPprob nl) -> int {
        return colInfo(nl, "NSLPgetcolinfo", infotype, col, info);
    });
}

int NVRAnlpsetinitval(NVRAprob prob, int ncols, const int colind[], const double initval[]) {
    const char *fn = "NVRAnlpsetinitval";
    return viaProb(prob, fn, kSlpEdit, [&](NSLPprob nl) -> int {
        if (int rc = checkNlCount(nl, fn, "columns", ncols)) return rc;
        if (int rc = checkNlArray(nl, fn, "colind", colind, ncols)) return rc;
        if (int rc = checkNlArray(nl, fn, "initval", initval, ncols)) return rc;
        for (int k = 0; k < ncols; ++k) {
            if (int rc = checkNlCol(nl, fn, colind[k], false)) return rc;
            if (int rc = checkFinite(nl, fn, "initial value", colind[k], initval[k])) return rc;
        }
        if (ncols > 0) nl->data.colForEdit(nl->prob->model.numCols() - 1);
        for (int k = 0; k < ncols; ++k) {
            SlpColumn &c = nl->data.colForEdit(colind[k]);
            c.initValue = c.value = initval[k];
        }
        return 0;
    });
}

int NVRAslpsetdetrow(NVRAprob prob, int ncols, const int colind[], const int rowind[]) {
    return setDetRows(prob, "NVRAslpsetdetrow", ncols, colind, -1, rowind, -1);
}

int NVRAslpsetdetrow_witharraysizes(NVRAprob prob, int ncols, const int colind[], int colindsize,
                                    const int rowind[], int rowindsize) {
    return setDetRows(prob, "NVRAslpsetdetrow_witharraysizes", ncols, colind, colindsize, rowind,
                      rowindsize);
}

} // extern "C"
