// mipfix.cpp: working from a MIP solution or the optimal basis: fixing the entities at the MIP
// solution, refining a MIP solution over its continuous columns, and strong branching (bounded
// re-solves from the basis).
#include "solver/analysis.h"

#include <cmath>
#include <memory>

#include "highs_c_api.h"

namespace nvra {
namespace {

// The bounds and type that fix column j at value v of a MIP solution; false when the column is
// left as it is (continuous, or an entity kept free by the options).
struct Fixed {
    double lb, ub;
    char type;
};

bool fixing(const Model &m, int j, double v, bool entitiesOnly, Fixed &f) {
    const char t = m.coltype[j];
    const double r = std::round(v);
    switch (t) {
    case 'B':
    case 'I':
        f = {r, r, t};
        return true;
    case 'S':
    case 'R':
        if (entitiesOnly) return false;
        if (r == 0.0 && std::fabs(v) < 0.5) {
            f = {0.0, 0.0, 'C'};
        } else {
            const double lo = std::max(m.lb[j], m.limit[j]);
            f = t == 'R' ? Fixed{r, r, 'C'} : Fixed{lo, m.ub[j], 'C'};
        }
        return true;
    case 'P':
        if (entitiesOnly) return false;
        f = v < m.limit[j] ? Fixed{r, r, 'C'} : Fixed{m.limit[j], m.ub[j], 'C'};
        return true;
    default:
        return false;
    }
}

// Set members at 0 are fixed at 0 (with options 0): the sets are then satisfied.
void fixSetMembers(Model &m, const std::vector<double> &x) {
    for (const Sos &s : m.sets)
        for (int j : s.cols)
            if (x[j] == 0.0 && m.coltype[j] == 'C') m.lb[j] = m.ub[j] = 0.0;
}

int fixEntities(NVRAprob prob, const char *fn, int options) {
    if (options != 0 && options != 1)
        return probError(prob, NVRA_RC_INVALID, "%s: options must be 0 or 1", fn);
    const SolveState &st = prob->solution;
    if (!st.fromMip || st.primalAvail == NVRA_AVAIL_NONE)
        return probError(prob, NVRA_RC_ERROR,
                         "%s: no MIP solution is available: solve the problem as a MIP first", fn);
    const std::vector<double> x = st.x;
    Model &m = prob->model;
    for (int j = 0; j < m.numCols(); ++j) {
        Fixed f{};
        if (!fixing(m, j, x[j], options == 1, f)) continue;
        m.lb[j] = f.lb;
        m.ub[j] = f.ub;
        m.coltype[j] = f.type;
    }
    if (options == 0) fixSetMembers(m, x);
    return 0;
}

// The problem copied into scratch with every entity fixed at x and the sets and indicators
// settled: indicators whose condition holds become plain rows, the others free rows.
int buildFixedCopy(NVRAprob prob, const double *x, NVRAprob scratch) {
    if (int rc = NVRAcopyprob(scratch, prob, nullptr)) return rc;
    Model &m = scratch->model;
    for (int j = 0; j < m.numCols(); ++j) {
        Fixed f{};
        if (!fixing(m, j, x[j], false, f)) continue;
        m.lb[j] = f.lb;
        m.ub[j] = f.ub;
        m.coltype[j] = 'C';
    }
    std::vector<double> values(x, x + m.numCols());
    fixSetMembers(m, values);
    m.sets.clear();
    m.setNames.resize(0);
    for (auto &[row, ind] : m.indicators) {
        if (ind.complement == 0) continue;
        const bool holds = std::fabs(x[ind.col] - (ind.complement > 0 ? 1.0 : 0.0)) < 0.5;
        if (!holds) m.rowtype[row] = 'N';
    }
    m.indicators.clear();
    return 0;
}

int refine(NVRAprob prob, const char *fn, int options, const char *flags, const double *solution,
           double *refined, int *status) {
    if (options != 0) return probError(prob, NVRA_RC_INVALID, "%s: options must be 0", fn);
    if (flags && *flags)
        return probError(prob, NVRA_RC_INVALID, "%s: unknown flags \"%s\"", fn, flags);
    const int nc = prob->model.numCols();
    if (int rc = checkArray(prob, fn, "solution", solution, nc)) return rc;
    if (int rc = checkArray(prob, fn, "refined", refined, nc)) return rc;
    int outcome = 0;
    if (!mipFeasible(prob, solution)) {
        outcome = 1;
    } else {
        NVRAprob scratch = nullptr;
        if (int rc = NVRAcreateprob(&scratch)) return probError(prob, rc, "%s: out of memory", fn);
        std::unique_ptr<nvo_prob_struct, int (*)(NVRAprob)> guard(scratch, NVRAdestroyprob);
        int solveStatus = 0, solStatus = 0;
        const int built = buildFixedCopy(prob, solution, scratch);
        scratch->controls.ints[intSlot::kCtrlOutputLog] = NVRA_OUTPUT_NONE;
        if (built || NVRAoptimize(scratch, "l", &solveStatus, &solStatus) ||
            solStatus != NVRA_SOLSTATUS_OPTIMAL) {
            outcome = 2;
        } else {
            std::copy(scratch->solution.x.begin(), scratch->solution.x.end(), refined);
        }
    }
    if (status) *status = outcome;
    return 0;
}

// One bound change of strong branching: the column's bounds after it.
std::pair<double, double> branched(const Model &m, int j, char type, double v) {
    double lo = m.lb[j], up = m.ub[j];
    if (type == 'L' || type == 'B') lo = v;
    if (type == 'U' || type == 'B') up = v;
    return {lo, up};
}

int strongBranch(NVRAprob prob, const char *fn, Engine &e, int n, const int *colind,
                 const char *bndtype, const double *bndval, int iterlim, double *objval,
                 int *status) {
    if (int rc = checkIndexList(prob, fn, Kind::Column, n, colind)) return rc;
    if (int rc = checkArray(prob, fn, "bndtype", bndtype, n)) return rc;
    if (int rc = checkArray(prob, fn, "bndval", bndval, n)) return rc;
    if (int rc = checkArray(prob, fn, "objval", objval, n)) return rc;
    if (int rc = checkArray(prob, fn, "status", status, n)) return rc;
    for (int k = 0; k < n; ++k) {
        if (bndtype[k] != 'L' && bndtype[k] != 'U' && bndtype[k] != 'B')
            return probError(prob, NVRA_RC_INVALID,
                             "%s: bndtype[%d] is '%c': the types are L, U, B", fn, k, bndtype[k]);
        if (std::isnan(bndval[k]))
            return probError(prob, NVRA_RC_INVALID, "%s: bndval[%d] is not a number", fn, k);
    }
    if (iterlim < 0) return probError(prob, NVRA_RC_INVALID, "%s: negative iteration limit", fn);
    if (int rc = requireBasis(prob, fn)) return rc;
    if (int rc = requireSolved(prob, fn, e)) return rc;
    const Model &m = prob->model;
    const Basis &b = prob->solution.basis;
    std::vector<HighsInt> rows(b.rows.size()), cols(b.cols.size());
    std::transform(b.rows.begin(), b.rows.end(), rows.begin(), basisToEngine);
    std::transform(b.cols.begin(), b.cols.end(), cols.begin(), basisToEngine);
    const double inf = Highs_getInfinity(e.highs);
    auto engineValue = [&](double v) { return v >= kInf ? inf : v <= -kInf ? -inf : v; };
    beginCapture(e, false);
    prob->solution.engineSolved = false;
    for (int k = 0; k < n; ++k) {
        const int j = colind[k];
        const auto [lo0, up0] = valueRange(m, j);
        const auto [lo, up] = branched(m, j, bndtype[k], storeBound(bndval[k]));
        Highs_changeColBounds(e.highs, j, engineValue(lo), engineValue(up));
        Highs_setBasis(e.highs, cols.data(), rows.data());
        SolveResult r;
        const int rc = runFromBasis(prob, e, r, iterlim);
        objval[k] = r.lpStatus == NVRA_LP_INFEAS ? kInf * m.sense
                                                 : fromEngine(Highs_getObjectiveValue(e.highs));
        status[k] = rc ? NVRA_LP_UNSOLVED : r.lpStatus;
        Highs_changeColBounds(e.highs, j, engineValue(lo0), engineValue(up0));
    }
    Highs_setBasis(e.highs, cols.data(), rows.data());
    endCapture(e);
    return 0;
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAfixmipentities(NVRAprob prob, int options) {
    const char *fn = "NVRAfixmipentities";
    return storeEdit(prob, fn, [&] { return fixEntities(prob, fn, options); });
}

int NVRArefinemipsol(NVRAprob prob, int options, const char *flags, const double solution[],
                     double refined[], int *status) {
    const char *fn = "NVRArefinemipsol";
    return storeQuery(prob, fn,
                      [&] { return refine(prob, fn, options, flags, solution, refined, status); });
}

int NVRAstrongbranch(NVRAprob prob, int nbounds, const int colind[], const char bndtype[],
                     const double bndval[], int iterlim, double objval[], int status[]) {
    const char *fn = "NVRAstrongbranch";
    return engineCall(prob, fn, [&](Engine &e) {
        return strongBranch(prob, fn, e, nbounds, colind, bndtype, bndval, iterlim, objval, status);
    });
}

} // extern "C"
