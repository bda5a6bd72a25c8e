// api_sets.cpp: tolerance sets, multistart jobs and user functions.
#include "nonlinear/nlprob.h"

#include "core/controls.h"

#include <cmath>
#include <cstring>

namespace nvra::nl {
namespace {

constexpr int kTolBits = (1 << NSLP_TOLSET_COUNT) - 1;

int checkTols(NSLPprob nl, const char *fn, int set, const double *tols) {
    for (int k = 0; k < NSLP_TOLSET_COUNT; ++k)
        if (!(tols[k] >= 0 && std::isfinite(tols[k])))
            return nlError(nl, NVRA_RC_INVALID,
                           "%s: tolerance %d of set %d must be finite and >= 0, not %g", fn, k, set,
                           tols[k]);
    return 0;
}

int checkSetIndex(NSLPprob nl, const char *fn, int set) {
    const int n = static_cast<int>(nl->data.tolsets.size());
    if (set >= 1 && set <= n) return 0;
    return nlError(nl, NVRA_RC_RANGE, "%s: tolerance set %d does not exist (sets are 1 to %d)", fn,
                   set, n);
}

int addTolSets(NSLPprob nl, const char *fn, int n, const double *tols, bool load) {
    if (int rc = checkNlCount(nl, fn, "tolerance sets", n)) return rc;
    if (int rc = checkNlArray(nl, fn, "tols", tols, n)) return rc;
    const int base = load ? 0 : static_cast<int>(nl->data.tolsets.size());
    for (int k = 0; k < n; ++k)
        if (int rc = checkTols(nl, fn, base + k + 1, tols + k * NSLP_TOLSET_COUNT)) return rc;
    std::vector<TolSet> sets = load ? std::vector<TolSet>() : nl->data.tolsets;
    for (int k = 0; k < n; ++k) {
        TolSet s;
        std::copy_n(tols + k * NSLP_TOLSET_COUNT, NSLP_TOLSET_COUNT, s.tol);
        sets.push_back(s);
    }
    nl->data.tolsets.swap(sets);
    // After a load, columns of sets that are gone use none.
    for (SlpColumn &c : nl->data.cols)
        if (c.tolset > static_cast<int>(nl->data.tolsets.size())) c.tolset = 0;
    return 0;
}

// A multistart job as the C interface describes it (preset 0: a job of its own).
struct JobSpec {
    const char *description;
    int preset, count;
    int ninitial;
    const int *cols;
    const double *initial;
    int nint;
    const int *intIds, *intVals;
    int ndbl;
    const int *dblIds;
    const double *dblVals;
    void *object;
};

// Checks a job (its preset, initial values and control values) and appends it.
int addJob(NSLPprob nl, const char *fn, const JobSpec &j) {
    if (j.preset != 0 && (j.preset < NSLP_MSPRESET_RANDOM || j.preset > NSLP_MSPRESET_SOLVERS))
        return nlError(nl, NVRA_RC_INVALID, "%s: unknown multistart preset %d", fn, j.preset);
    if (j.count < 0) return nlError(nl, NVRA_RC_INVALID, "%s: negative job count %d", fn, j.count);
    if (int rc = checkNlCount(nl, fn, "initial values", j.ninitial)) return rc;
    if (int rc = checkNlCount(nl, fn, "integer controls", j.nint)) return rc;
    if (int rc = checkNlCount(nl, fn, "double controls", j.ndbl)) return rc;
    if (int rc = checkNlArray(nl, fn, "colind", j.cols, j.ninitial)) return rc;
    if (int rc = checkNlArray(nl, fn, "initial", j.initial, j.ninitial)) return rc;
    if (int rc = checkNlArray(nl, fn, "the integer control ids", j.intIds, j.nint)) return rc;
    if (int rc = checkNlArray(nl, fn, "the integer control values", j.intVals, j.nint)) return rc;
    if (int rc = checkNlArray(nl, fn, "the double control ids", j.dblIds, j.ndbl)) return rc;
    if (int rc = checkNlArray(nl, fn, "the double control values", j.dblVals, j.ndbl)) return rc;
    for (int k = 0; k < j.ninitial; ++k) {
        if (int rc = checkNlCol(nl, fn, j.cols[k], false)) return rc;
        if (!std::isfinite(j.initial[k]))
            return nlError(nl, NVRA_RC_INVALID, "%s: the initial value of column %d is not finite",
                           fn, j.cols[k]);
    }
    // A job may set the optimizer's controls and the nonlinear solver's: each value is checked
    // as the setters would check it, on a copy.
    ControlValues optimizer = nl->prob->controls, nonlinear = nl->controls;
    for (int k = 0; k < j.nint + j.ndbl; ++k) {
        const bool isInt = k < j.nint;
        const int id = isInt ? j.intIds[k] : j.dblIds[k - j.nint];
        const bool own = findCa(kNlRegistry, id) != nullptr;
        const Registry &reg = own ? kNlRegistry : kOptimizerRegistry;
        ControlValues &values = own ? nonlinear : optimizer;
        const int rc = isInt ? writeIntControl(nl->prob, reg, values, id, j.intVals[k])
                             : writeDblControl(nl->prob, reg, values, id, j.dblVals[k - j.nint]);
        if (rc)
            return nlError(nl, rc, "%s: %s control of the job: %s", fn,
                           isInt ? "integer" : "double", nl->prob->lastError.c_str());
    }
    MsJob job;
    job.description = j.description ? j.description : "";
    job.preset = j.preset;
    job.count = j.count;
    job.cols.assign(j.cols, j.cols + j.ninitial);
    job.values.assign(j.initial, j.initial + j.ninitial);
    for (int k = 0; k < j.nint; ++k)
        job.intControls.emplace_back(j.intIds[k], j.intVals[k]);
    for (int k = 0; k < j.ndbl; ++k)
        job.dblControls.emplace_back(j.dblIds[k], j.dblVals[k]);
    job.object = j.object;
    nl->data.jobs.push_back(std::move(job));
    return 0;
}

} // namespace
} // namespace nvra::nl

using namespace nvra;
using namespace nvra::nl;

extern "C" {

int NSLPaddtolsets(NSLPprob nlprob, int ntol, const double tols[]) {
    return nlSlpEdit(nlprob, "NSLPaddtolsets", [&](NSLPprob nl) -> int {
        return addTolSets(nl, "NSLPaddtolsets", ntol, tols, false);
    });
}

int NSLPloadtolsets(NSLPprob nlprob, int ntol, const double tols[]) {
    return nlSlpEdit(nlprob, "NSLPloadtolsets", [&](NSLPprob nl) -> int {
        return addTolSets(nl, "NSLPloadtolsets", ntol, tols, true);
    });
}

int NSLPchgtolset(NSLPprob nlprob, int tolset, const int *status, const double tols[]) {
    const char *fn = "NSLPchgtolset";
    return nlSlpEdit(nlprob, fn, [&](NSLPprob nl) -> int {
        if (int rc = checkSetIndex(nl, fn, tolset)) return rc;
        if (status && (*status & ~kTolBits))
            return nlError(nl, NVRA_RC_INVALID,
                           "%s: status 0x%x of set %d names tolerances beyond the %d of a set", fn,
                           *status, tolset, NSLP_TOLSET_COUNT);
        if (tols)
            if (int rc = checkTols(nl, fn, tolset, tols)) return rc;
        TolSet &s = nl->data.tolsets[tolset - 1];
        if (status) s.status = *status;
        if (tols) std::copy_n(tols, NSLP_TOLSET_COUNT, s.tol);
        return 0;
    });
}

int NSLPgettolset(NSLPprob nlprob, int tolset, int *status, double tols[]) {
    const char *fn = "NSLPgettolset";
    return nlQuery(nlprob, fn, [&](NSLPprob nl) -> int {
        if (int rc = checkSetIndex(nl, fn, tolset)) return rc;
        const TolSet &s = nl->data.tolsets[tolset - 1];
        if (status) *status = s.status;
        if (tols) std::copy_n(s.tol, NSLP_TOLSET_COUNT, tols);
        return 0;
    });
}

int NSLPdeltolsets(NSLPprob nlprob, int ntol, const int tolind[]) {
    const char *fn = "NSLPdeltolsets";
    return nlSlpEdit(nlprob, fn, [&](NSLPprob nl) -> int {
        if (int rc = checkNlCount(nl, fn, "tolerance sets", ntol)) return rc;
        if (int rc = checkNlArray(nl, fn, "tolind", tolind, ntol)) return rc;
        const int n = static_cast<int>(nl->data.tolsets.size());
        std::vector<int32_t> map(static_cast<size_t>(n) + 1, 0);
        for (int k = 0; k < ntol; ++k) {
            if (int rc = checkSetIndex(nl, fn, tolind[k])) return rc;
            if (map[tolind[k]] < 0)
                return nlError(nl, NVRA_RC_INVALID, "%s: tolerance set %d is listed twice", fn,
                               tolind[k]);
            map[tolind[k]] = -1;
        }
        std::vector<TolSet> kept;
        for (int s = 1; s <= n; ++s)
            if (map[s] == 0) {
                kept.push_back(nl->data.tolsets[s - 1]);
                map[s] = static_cast<int32_t>(kept.size());
            } else {
                map[s] = 0;
            }
        nl->data.tolsets.swap(kept);
        for (SlpColumn &c : nl->data.cols)
            c.tolset = map[c.tolset];
        return 0;
    });
}

int NSLPmsaddjob(NSLPprob nlprob, const char *description, int ninitial, const int colind[],
                 const double initial[], int nintcontrols, const int intcontrolid[],
                 const int intcontrolval[], int ndblcontrols, const int dblcontrolid[],
                 const double dblcontrolval[], void *jobobject) {
    return nlSlpEdit(nlprob, "NSLPmsaddjob", [&](NSLPprob nl) -> int {
        return addJob(nl, "NSLPmsaddjob",
                      {description, 0, 1, ninitial, colind, initial, nintcontrols, intcontrolid,
                       intcontrolval, ndblcontrols, dblcontrolid, dblcontrolval, jobobject});
    });
}

int NSLPmsaddpreset(NSLPprob nlprob, const char *description, int preset, int count,
                    void *jobobject) {
    return nlSlpEdit(nlprob, "NSLPmsaddpreset", [&](NSLPprob nl) -> int {
        if (preset == 0)
            return nlError(nl, NVRA_RC_INVALID, "NSLPmsaddpreset: unknown multistart preset 0");
        return addJob(nl, "NSLPmsaddpreset",
                      {description, preset, count, 0, nullptr, nullptr, 0, nullptr, nullptr, 0,
                       nullptr, nullptr, jobobject});
    });
}

int NSLPmsaddcustompreset(NSLPprob nlprob, const char *description, int preset, int count,
                          int ninitial, const int colind[], const double initial[],
                          int nintcontrols, const int intcontrolid[], const int intcontrolval[],
                          int ndblcontrols, const int dblcontrolid[], const double dblcontrolval[],
                          void *jobobject) {
    return nlSlpEdit(nlprob, "NSLPmsaddcustompreset", [&](NSLPprob nl) -> int {
        if (preset == 0)
            return nlError(nl, NVRA_RC_INVALID,
                           "NSLPmsaddcustompreset: unknown multistart preset 0");
        return addJob(nl, "NSLPmsaddcustompreset",
                      {description, preset, count, ninitial, colind, initial, nintcontrols,
                       intcontrolid, intcontrolval, ndblcontrols, dblcontrolid, dblcontrolval,
                       jobobject});
    });
}

int NSLPmsclear(NSLPprob nlprob) {
    return nlSlpEdit(nlprob, "NSLPmsclear", [&](NSLPprob nl) -> int {
        nl->data.jobs.clear();
        return 0;
    });
}

int NSLPadduserfunction(NSLPprob nlprob, const char *name, int type, int nargs, int nreturn,
                        int options, void (*fn)(void), void *data, int *id) {
    const char *f = "NSLPadduserfunction";
    return nlSlpEdit(nlprob, f, [&](NSLPprob nl) -> int {
        if (!name || !*name || strlen(name) > 63)
            return nlError(nl, NVRA_RC_INVALID, "%s: the name must have 1 to 63 bytes", f);
        if (type != NSLP_USERFUNC_VALUE && type != NSLP_USERFUNC_DERIVS)
            return nlError(nl, NVRA_RC_INVALID,
                           "%s: unknown type %d of user function '%s' (2: value, 5: value and "
                           "derivatives)",
                           f, type, name);
        if (nargs < 1)
            return nlError(nl, NVRA_RC_INVALID, "%s: user function '%s' needs an argument", f,
                           name);
        if (nreturn != 1 || options != 0)
            return nlError(nl, NVRA_RC_INVALID,
                           "%s: user function '%s': only one return value and options 0 are "
                           "supported",
                           f, name);
        if (!fn || !id) return nlError(nl, NVRA_RC_INVALID, "%s: null function or id pointer", f);
        nl->data.userFunctions.push_back({name, type, nargs, fn, data});
        *id = static_cast<int>(nl->data.userFunctions.size());
        return 0;
    });
}

int NSLPsetfunctionerror(NSLPprob nlprob) {
    if (int rc = checkNlHandle(nlprob)) return rc;
    setUserFunctionError();
    return NVRA_RC_OK;
}

} // extern "C"
