// mipfix.cpp: working from a MIP solution or the optimal basis: fixing the entities at the MIP
// solution, refining a MIP solution over its continuous columns, and strong branching (bounded
// re-solves from the basis, with a callback after each).
#include "solver/analysis.h"
#include "core/callbacks.h"

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

// The bound changes of strong branching and what becomes of them; the solve callback (may be
// null) is called after each change's LP.
struct Branching {
    int n;
    const int *colind;
    const char *bndtype;
    const double *bndval;
    int iterlim;
    double *objval;
    int *status;
    NVRAcbsolve callback;
    void *data;
};

int checkBranching(NVRAprob prob, const char *fn, const Branching &b) {
    if (int rc = checkIndexList(prob, fn, Kind::Column, b.n, b.colind)) return rc;
    if (int rc = checkArray(prob, fn, "bndtype", b.bndtype, b.n)) return rc;
    if (int rc = checkArray(prob, fn, "bndval", b.bndval, b.n)) return rc;
    if (int rc = checkArray(prob, fn, "objval", b.objval, b.n)) return rc;
    if (int rc = checkArray(prob, fn, "status", b.status, b.n)) return rc;
    for (int k = 0; k < b.n; ++k) {
        if (b.bndtype[k] != 'L' && b.bndtype[k] != 'U' && b.bndtype[k] != 'B')
            return probError(prob, NVRA_RC_INVALID,
                             "%s: bndtype[%d] is '%c': the types are L, U, B", fn, k, b.bndtype[k]);
        if (std::isnan(b.bndval[k]))
            return probError(prob, NVRA_RC_INVALID, "%s: bndval[%d] is not a number", fn, k);
    }
    if (b.iterlim < 0) return probError(prob, NVRA_RC_INVALID, "%s: negative iteration limit", fn);
    return 0;
}

// Solves the LP of bound change k from the basis (the column's bounds restored afterwards) and
// calls the solve callback on it. False when branching is to stop: the callback asked for it,
// or the problem was interrupted.
bool branchOnce(NVRAprob prob, Engine &e, const Branching &b, int k,
                const std::vector<HighsInt> &cols, const std::vector<HighsInt> &rows) {
    const Model &m = prob->model;
    const double inf = Highs_getInfinity(e.highs);
    auto engineValue = [&](double v) { return v >= kInf ? inf : v <= -kInf ? -inf : v; };
    const int j = b.colind[k];
    const auto [lo0, up0] = valueRange(m, j);
    const auto [lo, up] = branched(m, j, b.bndtype[k], storeBound(b.bndval[k]));
    forgetHandover(e);
    Highs_changeColBounds(e.highs, j, engineValue(lo), engineValue(up));
    Highs_setBasis(e.highs, cols.data(), rows.data());
    SolveResult r;
    const int rc = runFromBasis(prob, e, r, b.iterlim);
    b.objval[k] = r.lpStatus == NVRA_LP_INFEAS ? kInf * m.sense
                                               : fromEngine(Highs_getObjectiveValue(e.highs));
    b.status[k] = rc ? NVRA_LP_UNSOLVED : r.lpStatus;
    bool goOn = true;
    if (b.callback) {
        r.objVal = r.lpObjVal = b.objval[k];
        r.lpStatus = b.status[k];
        ProgressScope shown(prob, r);
        goOn = b.callback(prob, b.data, k) == 0;
    }
    Highs_changeColBounds(e.highs, j, engineValue(lo0), engineValue(up0));
    return goOn && !stopRequested(e);
}

int strongBranch(NVRAprob prob, const char *fn, Engine &e, const Branching &b) {
    if (int rc = checkBranching(prob, fn, b)) return rc;
    if (int rc = requireBasis(prob, fn)) return rc;
    if (int rc = requireSolved(prob, fn, e)) return rc;
    const Basis &basis = prob->solution.basis;
    std::vector<HighsInt> rows(basis.rows.size()), cols(basis.cols.size());
    std::transform(basis.rows.begin(), basis.rows.end(), rows.begin(), basisToEngine);
    std::transform(basis.cols.begin(), basis.cols.end(), cols.begin(), basisToEngine);
    beginCapture(e, false);
    prob->solution.engineSolved = false;
    int k = 0;
    while (k < b.n && branchOnce(prob, e, b, k, cols, rows))
        ++k;
    // The changes left out when branching stopped early.
    for (++k; k < b.n; ++k) {
        b.objval[k] = kInf * prob->model.sense;
        b.status[k] = NVRA_LP_UNSTARTED;
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
    return NVRAstrongbranchcb(prob, nbounds, colind, bndtype, bndval, iterlim, objval, status,
                              nullptr, nullptr);
}

int NVRAstrongbranchcb(NVRAprob prob, int nbounds, const int colind[], const char bndtype[],
                       const double bndval[], int iterlim, double objval[], int status[],
                       NVRAcbsolve callback, void *data) {
    const char *fn = callback ? "NVRAstrongbranchcb" : "NVRAstrongbranch";
    const Branching b{nbounds, colind, bndtype, bndval, iterlim, objval, status, callback, data};
    return engineCall(prob, fn, [&](Engine &e) { return strongBranch(prob, fn, e, b); });
}

} // extern "C"
