// repair.cpp: repairing infeasibility by the least weighted relaxation of rows and bounds.
// Phase 1 minimises the weighted violation: by the engine's feasibility relaxation when it can
// express the weights (linear penalties, one penalty per row, no caps), otherwise by an elastic
// problem of the library's own (elastic columns in the rows, elastic rows on the bounds). Phase 2
// re-optimises the original objective with each violation allowed up to (1 + delta) times its
// phase-1 value. The solution of the relaxed problem becomes the problem's solution and its
// bounds are kept for NVRAgetrepairbounds.
#include "solver/analysis.h"

#include <cmath>
#include <cstring>

#include "highs_c_api.h"

namespace nvra {
namespace {

constexpr int kRepaired = 0, kInfeasible = 1, kUnbounded = 2, kOther = 3;

// The preferences and caps of one repair, expanded per row side and column bound (a value <= 0
// is not relaxable; a cap of 1e20 is none).
struct Weights {
    std::vector<double> rowUpPref, rowLoPref, colLoPref, colUpPref;
    std::vector<double> rowUpCap, rowLoCap, colLoCap, colUpCap;
    bool capped = false;
};

struct Request {
    char penalty = 'c', phase2 = 'n';
    double delta = 0.0;
};

// The amounts by which each member is allowed to move outwards.
struct Relaxation {
    std::vector<double> rowUp, rowLo, colLo, colUp;
};

double penaltyOf(double preference) {
    return preference > 0 ? 1.0 / preference : -1.0;
}

Weights expand(const Model &m, const double *le, const double *ge, const double *lb,
               const double *ub, const double *leCap, const double *geCap, const double *lbCap,
               const double *ubCap) {
    const int nr = m.numRows(), nc = m.numCols();
    Weights w;
    auto fill = [](std::vector<double> &v, int n, const double *src, double none) {
        v.assign(n, none);
        if (src) v.assign(src, src + n);
    };
    fill(w.rowUpPref, nr, le, 0.0);
    fill(w.rowLoPref, nr, ge, 0.0);
    fill(w.colLoPref, nc, lb, 0.0);
    fill(w.colUpPref, nc, ub, 0.0);
    fill(w.rowUpCap, nr, leCap, kInf);
    fill(w.rowLoCap, nr, geCap, kInf);
    fill(w.colLoCap, nc, lbCap, kInf);
    fill(w.colUpCap, nc, ubCap, kInf);
    w.capped = leCap || geCap || lbCap || ubCap;
    for (int i = 0; i < nr; ++i) {
        const auto [lo, up] = rowEnds(m, i);
        if (up >= kInf) w.rowUpPref[i] = 0.0;
        if (lo <= -kInf) w.rowLoPref[i] = 0.0;
    }
    for (int j = 0; j < nc; ++j) {
        const auto [lo, up] = valueRange(m, j);
        if (lo <= -kInf) w.colLoPref[j] = 0.0;
        if (up >= kInf) w.colUpPref[j] = 0.0;
    }
    return w;
}

int checkArgs(NVRAprob prob, const char *fn, char penalty, char phase2, const char *flags,
              double delta) {
    if (penalty != 'c' && penalty != 'q')
        return probError(prob, NVRA_RC_INVALID, "%s: penalty '%c': 'c' (linear) or 'q' (quadratic)",
                         fn, penalty);
    if (phase2 != 'n' && phase2 != 'o')
        return probError(prob, NVRA_RC_INVALID,
                         "%s: phase2 '%c': 'n' (none) or 'o' (re-optimise the objective)", fn,
                         phase2);
    if (flags && *flags && strcmp(flags, "n") != 0)
        return probError(prob, NVRA_RC_INVALID, "%s: flags \"%s\": the only flag is 'n'", fn,
                         flags);
    if (!(delta >= 0) || delta >= kInf)
        return probError(prob, NVRA_RC_INVALID, "%s: delta %g must be finite and not negative", fn,
                         delta);
    const Model &m = prob->model;
    if (!m.Q.v.empty() || !m.qrows.empty())
        return probError(prob, NVRA_RC_UNSUPPORTED,
                         "%s: repair needs a linear problem (it has quadratic parts)", fn);
    if (penalty == 'q' && hasEntities(m))
        return probError(prob, NVRA_RC_UNSUPPORTED,
                         "%s: quadratic penalties on a MIP are not supported", fn);
    return requireNotPresolved(prob, fn);
}

int checkWeights(NVRAprob prob, const char *fn, const Weights &w) {
    for (const auto *v : {&w.rowUpPref, &w.rowLoPref, &w.colLoPref, &w.colUpPref, &w.rowUpCap,
                          &w.rowLoCap, &w.colLoCap, &w.colUpCap})
        for (double x : *v)
            if (std::isnan(x))
                return probError(prob, NVRA_RC_INVALID, "%s: a preference or cap is not a number",
                                 fn);
    for (const auto *v : {&w.rowUpCap, &w.rowLoCap, &w.colLoCap, &w.colUpCap})
        for (double x : *v)
            if (x < 0) return probError(prob, NVRA_RC_INVALID, "%s: a cap is negative", fn);
    return 0;
}

// The engine's feasibility relaxation takes one penalty per row for both of its sides.
bool engineCanRelax(const Model &m, const Weights &w, const Request &req) {
    if (req.penalty != 'c' || w.capped) return false;
    for (int i = 0; i < m.numRows(); ++i)
        if (w.rowUpPref[i] > 0 && w.rowLoPref[i] > 0 && w.rowUpPref[i] != w.rowLoPref[i])
            return false;
    return true;
}

int statusOf(const SolveResult &r) {
    switch (r.lpStatus) {
    case NVRA_LP_OPTIMAL:
        return kRepaired;
    case NVRA_LP_INFEAS:
        return kInfeasible;
    case NVRA_LP_UNBOUNDED:
        return kUnbounded;
    default:
        if (r.mipStatus == NVRA_MIP_OPTIMAL) return kRepaired;
        if (r.mipStatus == NVRA_MIP_INFEAS) return kInfeasible;
        return kOther;
    }
}

double engineValue(void *h, double v) {
    const double inf = Highs_getInfinity(h);
    return v >= kInf ? inf : v <= -kInf ? -inf : v;
}

// The violations of the engine's current solution against the original ends.
Relaxation violations(Engine &e, const Model &m) {
    const int nc = m.numCols(), nr = m.numRows();
    std::vector<double> x(Highs_getNumCol(e.highs)), act(Highs_getNumRow(e.highs));
    Highs_getSolution(e.highs, x.data(), nullptr, act.data(), nullptr);
    Relaxation r;
    r.rowUp.assign(nr, 0.0);
    r.rowLo.assign(nr, 0.0);
    r.colLo.assign(nc, 0.0);
    r.colUp.assign(nc, 0.0);
    for (int i = 0; i < nr; ++i) {
        const auto [lo, up] = rowEnds(m, i);
        r.rowUp[i] = std::max(0.0, act[i] - up);
        r.rowLo[i] = std::max(0.0, lo - act[i]);
    }
    for (int j = 0; j < nc; ++j) {
        const auto [lo, up] = valueRange(m, j);
        r.colLo[j] = std::max(0.0, lo - x[j]);
        r.colUp[j] = std::max(0.0, x[j] - up);
    }
    return r;
}

// The outcome of a phase-1 solve run by the engine's relaxation, which reports no status: optimal
// for the relaxed problem when it finished, else stopped by Ctrl-C or NVRAinterrupt.
SolveResult relaxationOutcome(bool mip, bool finished) {
    SolveResult r;
    r.optimizeType = mip ? NVRA_OPTIMIZETYPE_MIP : NVRA_OPTIMIZETYPE_LP;
    if (finished) {
        r.solveStatus = NVRA_SOLVESTATUS_COMPLETED;
        r.solStatus = NVRA_SOLSTATUS_OPTIMAL;
        r.lpStatus = NVRA_LP_OPTIMAL;
        r.mipStatus = mip ? NVRA_MIP_OPTIMAL : NVRA_MIP_NOT_LOADED;
    } else {
        r.solveStatus = NVRA_SOLVESTATUS_STOPPED;
        r.stopStatus = NVRA_STOP_INTERRUPT;
        r.lpStatus = mip ? NVRA_LP_UNSTARTED : NVRA_LP_UNFINISHED;
        r.mipStatus = mip ? NVRA_MIP_NO_SOL_FOUND : NVRA_MIP_NOT_LOADED;
    }
    return r;
}

// Whether a relaxation moves only members that may move.
bool withinPreferences(const Relaxation &v, const Weights &w, double tol) {
    auto ok = [&](const std::vector<double> &amount, const std::vector<double> &pref) {
        for (size_t k = 0; k < amount.size(); ++k)
            if (amount[k] > tol && pref[k] <= 0) return false;
        return true;
    };
    return ok(v.rowUp, w.rowUpPref) && ok(v.rowLo, w.rowLoPref) && ok(v.colLo, w.colLoPref) &&
           ok(v.colUp, w.colUpPref);
}

// Phase 1 by the engine's feasibility relaxation on the model it holds. The engine reports no
// status for it: its solution is checked instead (when the members that may move cannot make
// the problem feasible, the solution it leaves violates one that may not).
int relaxByEngine(NVRAprob prob, Engine &e, const Weights &w, SolveResult &result,
                  Relaxation &found) {
    const Model &m = prob->model;
    const int nr = m.numRows(), nc = m.numCols();
    std::vector<double> rowPen(nr), loPen(nc), upPen(nc);
    for (int i = 0; i < nr; ++i)
        rowPen[i] = penaltyOf(std::max(w.rowUpPref[i], w.rowLoPref[i]));
    for (int j = 0; j < nc; ++j) {
        loPen[j] = penaltyOf(w.colLoPref[j]);
        upPen[j] = penaltyOf(w.colUpPref[j]);
    }
    const bool ran = highsOk(Highs_feasibilityRelaxation(e.highs, -1.0, -1.0, -1.0, loPen.data(),
                                                         upPen.data(), rowPen.data()));
    // A stopped relaxation is no failure, and what it leaves is no least relaxation.
    if (stopRequested(e)) {
        result = relaxationOutcome(hasEntities(m), false);
        return 0;
    }
    if (!ran) return engineError(prob, e, "The engine's feasibility relaxation failed");
    found = violations(e, m);
    const double tol = prob->controls.dbls[dblSlot::kCtrlFeasTol];
    if (withinPreferences(found, w, tol)) {
        result = relaxationOutcome(hasEntities(m), true);
    } else {
        result = SolveResult();
        result.lpStatus = NVRA_LP_INFEAS;
    }
    return 0;
}

// The elastic columns of phase 1 (own form): appended after the model's columns, one per
// relaxable row side (an entry of -1 or +1 in its row) and per relaxable bound (with a row
// x_j + f >= lb or x_j - f <= ub, the bound itself freed). Their order is kept in `owner`.
struct Elastic {
    struct Col {
        int kind; // 0 row upper, 1 row lower, 2 column lower, 3 column upper
        int index;
    };
    std::vector<Col> owner;
};

int relaxByElastic(NVRAprob prob, Engine &e, const Weights &w, const Request &req, Elastic &el,
                   SolveResult &result) {
    const Model &m = prob->model;
    void *h = e.highs;
    const int nc = m.numCols();
    const HighsInt first = Highs_getNumCol(h);
    // Phase 1 objective only: the model's costs off.
    for (HighsInt j = 0; j < first; ++j)
        Highs_changeColCost(h, j, 0.0);
    auto addElastic = [&](int kind, int index, double pref, double cap, HighsInt row, double coef) {
        const double pen = penaltyOf(pref);
        const double c = req.penalty == 'c' ? pen : 0.0;
        Highs_addCol(h, c, 0.0, engineValue(h, cap), 1, &row, &coef);
        el.owner.push_back({kind, index});
    };
    for (int i = 0; i < m.numRows(); ++i) {
        if (w.rowUpPref[i] > 0) addElastic(0, i, w.rowUpPref[i], w.rowUpCap[i], i, -1.0);
        if (w.rowLoPref[i] > 0) addElastic(1, i, w.rowLoPref[i], w.rowLoCap[i], i, 1.0);
    }
    for (int j = 0; j < nc; ++j) {
        const auto [lo, up] = valueRange(m, j);
        for (int side = 0; side < 2; ++side) {
            const double pref = side == 0 ? w.colLoPref[j] : w.colUpPref[j];
            if (pref <= 0) continue;
            const HighsInt col = j;
            const double one = 1.0;
            const double bound = side == 0 ? lo : up;
            Highs_addRow(h, side == 0 ? engineValue(h, bound) : -engineValue(h, kInf),
                         side == 0 ? engineValue(h, kInf) : engineValue(h, bound), 1, &col, &one);
            const HighsInt row = Highs_getNumRow(h) - 1;
            addElastic(side == 0 ? 2 : 3, j, pref, side == 0 ? w.colLoCap[j] : w.colUpCap[j], row,
                       side == 0 ? 1.0 : -1.0);
            if (side == 0)
                Highs_changeColBounds(h, j, -engineValue(h, kInf), engineValue(h, up));
            else
                Highs_changeColBounds(h, j, engineValue(h, w.colLoPref[j] > 0 ? -kInf : lo),
                                      engineValue(h, kInf));
        }
    }
    if (req.penalty == 'q') {
        const HighsInt dim = Highs_getNumCol(h);
        const HighsInt ne = static_cast<HighsInt>(el.owner.size());
        std::vector<HighsInt> start(dim, 0), index(ne);
        std::vector<double> value(ne);
        for (HighsInt k = 0; k < ne; ++k) {
            const Elastic::Col &c = el.owner[k];
            const double pref = c.kind == 0   ? w.rowUpPref[c.index]
                                : c.kind == 1 ? w.rowLoPref[c.index]
                                : c.kind == 2 ? w.colLoPref[c.index]
                                              : w.colUpPref[c.index];
            index[k] = first + k;
            value[k] = 2.0 * penaltyOf(pref);
        }
        for (HighsInt j = 0; j < dim; ++j)
            start[j] = j <= first ? 0 : std::min<HighsInt>(j - first, ne);
        Highs_passHessian(h, dim, ne, kHighsHessianFormatTriangular, start.data(), index.data(),
                          value.data());
    }
    SolveResult r;
    const int rc = runEngine(prob, e, hasEntities(m), r);
    result = r;
    return rc;
}

// The violations of the elastic solution, per member.
Relaxation elasticViolations(Engine &e, const Model &m, const Elastic &el) {
    Relaxation r;
    r.rowUp.assign(m.numRows(), 0.0);
    r.rowLo.assign(m.numRows(), 0.0);
    r.colLo.assign(m.numCols(), 0.0);
    r.colUp.assign(m.numCols(), 0.0);
    std::vector<double> x(Highs_getNumCol(e.highs));
    Highs_getSolution(e.highs, x.data(), nullptr, nullptr, nullptr);
    const int first = static_cast<int>(x.size() - el.owner.size());
    for (size_t k = 0; k < el.owner.size(); ++k) {
        const Elastic::Col &c = el.owner[k];
        std::vector<double> &v = c.kind == 0   ? r.rowUp
                                 : c.kind == 1 ? r.rowLo
                                 : c.kind == 2 ? r.colLo
                                               : r.colUp;
        v[c.index] = std::max(0.0, x[first + k]);
    }
    return r;
}

// The relaxed problem of an allowed relaxation: its ends per row and column.
void relaxedBounds(const Model &m, const Relaxation &allowed, RepairState &rs) {
    const int nr = m.numRows(), nc = m.numCols();
    rs.rowLower.resize(nr);
    rs.rowUpper.resize(nr);
    rs.colLower.resize(nc);
    rs.colUpper.resize(nc);
    for (int i = 0; i < nr; ++i) {
        const auto [lo, up] = rowEnds(m, i);
        rs.rowLower[i] = lo <= -kInf ? -kInf : lo - allowed.rowLo[i];
        rs.rowUpper[i] = up >= kInf ? kInf : up + allowed.rowUp[i];
    }
    for (int j = 0; j < nc; ++j) {
        const auto [lo, up] = valueRange(m, j);
        rs.colLower[j] = lo <= -kInf ? -kInf : lo - allowed.colLo[j];
        rs.colUpper[j] = up >= kInf ? kInf : up + allowed.colUp[j];
    }
    rs.done = true;
}

// Phase 2: the original model with the relaxed ends, the original objective.
int reoptimise(NVRAprob prob, Engine &e, Image &img, const RepairState &rs, SolveResult &r) {
    CompileOptions options;
    options.libraryRows = false;
    img = Image();
    if (int rc = compileModel(prob, options, img)) return rc;
    for (int i = 0; i < img.userRows; ++i) {
        img.rowLower[i] = rs.rowLower[i];
        img.rowUpper[i] = rs.rowUpper[i];
    }
    for (int j = 0; j < img.userCols; ++j) {
        const auto [lo, up] = valueRange(prob->model, j);
        if (rs.colLower[j] < lo) img.colLower[j] = rs.colLower[j];
        if (rs.colUpper[j] > up) img.colUpper[j] = rs.colUpper[j];
    }
    if (!passImage(e, img)) return engineError(prob, e, "The engine refused the relaxed problem");
    if (int rc = applyControlsToHighs(
            prob, e.highs, img.integral ? SolveClass::Mip : SolveClass::Lp, 0, &e.options))
        return rc;
    return runEngine(prob, e, img.integral, r);
}

void report(NVRAprob prob, const Relaxation &v, double total) {
    const Model &m = prob->model;
    notice(prob, NVRA_MSG_REPAIR, 1, "Repair: total weighted violation %s",
           numberText(total).c_str());
    auto line = [&](const std::string &label, const char *what, double amount) {
        if (amount > 0)
            notice(prob, NVRA_MSG_REPAIR, 1, "  %s: %s relaxed by %s", label.c_str(), what,
                   numberText(amount).c_str());
    };
    for (int i = 0; i < m.numRows(); ++i) {
        line(rowLabel(m, i), "upper end", v.rowUp[i]);
        line(rowLabel(m, i), "lower end", v.rowLo[i]);
    }
    for (int j = 0; j < m.numCols(); ++j) {
        line(colLabel(m, j), "lower bound", v.colLo[j]);
        line(colLabel(m, j), "upper bound", v.colUp[j]);
    }
}

int repair(NVRAprob prob, const char *fn, Engine &e, const Weights &w, const Request &req,
           int *status) {
    if (int rc = checkWeights(prob, fn, w)) return rc;
    const Model &m = prob->model;
    prob->solution.engineExact = prob->solution.engineSolved = false;
    CompileOptions options;
    options.libraryRows = false;
    Image img;
    if (int rc = compileModel(prob, options, img)) return rc;
    const bool deliver = prob->controls.ints[intSlot::kCtrlOutputLog] != NVRA_OUTPUT_NONE;
    beginCapture(e, deliver);
    if (!passImage(e, img)) {
        endCapture(e);
        return engineError(prob, e, "The engine refused the problem");
    }
    if (int rc = applyControlsToHighs(
            prob, e.highs, img.integral ? SolveClass::Mip : SolveClass::Lp, 0, &e.options)) {
        endCapture(e);
        return rc;
    }
    // Phase 1 minimises the weighted violation whatever the problem's sense (the engine's
    // relaxation follows the sense it holds: a maximisation would maximise the violation). Its
    // problem is the engine's from here on.
    forgetHandover(e);
    Highs_changeObjectiveSense(e.highs, kHighsObjSenseMinimize);
    SolveResult phase1;
    Relaxation found;
    int rc = 0;
    if (engineCanRelax(m, w, req)) {
        rc = relaxByEngine(prob, e, w, phase1, found);
    } else {
        Elastic el;
        rc = relaxByElastic(prob, e, w, req, el, phase1);
        e.numCol = e.numRow = -1; // the engine holds the elastic problem, not an image
        if (!rc) found = elasticViolations(e, m, el);
    }
    int outcome = rc ? kOther : statusOf(phase1);
    SolveState st;
    if (outcome == kRepaired) {
        const double total = Highs_getObjectiveValue(e.highs);
        Relaxation allowed = found;
        if (req.phase2 == 'o')
            for (auto *v : {&allowed.rowUp, &allowed.rowLo, &allowed.colLo, &allowed.colUp})
                for (double &x : *v)
                    x *= 1.0 + req.delta;
        relaxedBounds(m, allowed, st.repair);
        report(prob, found, total);
        SolveResult final = phase1;
        if (req.phase2 == 'o') {
            rc = reoptimise(prob, e, img, st.repair, final);
            outcome = rc ? kOther : statusOf(final);
        }
        if (outcome == kRepaired) {
            st.solves.push_back(final);
            std::vector<double> x(Highs_getNumCol(e.highs));
            Highs_getSolution(e.highs, x.data(), nullptr, nullptr, nullptr);
            st.x.assign(x.begin(), x.begin() + m.numCols());
            const std::vector<double> act = rowActivities(m, st.x.data());
            st.slack.resize(m.numRows());
            for (int i = 0; i < m.numRows(); ++i)
                st.slack[i] = m.rhs[i] - act[i];
            st.primalAvail = NVRA_AVAIL_FEASIBLE;
            st.fromMip = img.integral;
            double obj = m.objConstant;
            for (int j = 0; j < m.numCols(); ++j)
                obj += m.cost[j] * st.x[j];
            SolveResult &last = st.solves.back();
            last.objVal = obj;
            (img.integral ? last.mipObjVal : last.lpObjVal) = obj;
        }
    }
    endCapture(e);
    if (rc) return engineError(prob, e, (std::string(fn) + ": the engine failed").c_str());
    if (outcome != kRepaired) st.solves.push_back(phase1);
    prob->solution = std::move(st);
    if (status) *status = outcome;
    return 0;
}

int repairCall(NVRAprob prob, const char *fn, int *status, const double *le, const double *ge,
               const double *lb, const double *ub, const double *leCap, const double *geCap,
               const double *lbCap, const double *ubCap, const Request &req, const char *flags) {
    return engineCall(prob, fn, [&](Engine &e) {
        if (int rc = checkArgs(prob, fn, req.penalty, req.phase2, flags, req.delta)) return rc;
        return repair(prob, fn, e, expand(prob->model, le, ge, lb, ub, leCap, geCap, lbCap, ubCap),
                      req, status);
    });
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRArepairinfeas(NVRAprob prob, int *status, char penalty, char phase2, char flags,
                     double lepref, double gepref, double lbpref, double ubpref, double delta) {
    if (int rc = enterProb(prob)) return rc;
    const Model &m = prob->model;
    std::vector<double> le(m.numRows(), lepref), ge(m.numRows(), gepref), lb(m.numCols(), lbpref),
        ub(m.numCols(), ubpref);
    const char flagText[2] = {flags, '\0'};
    return repairCall(prob, "NVRArepairinfeas", status, le.data(), ge.data(), lb.data(), ub.data(),
                      nullptr, nullptr, nullptr, nullptr, Request{penalty, phase2, delta},
                      flagText);
}

int NVRArepairweightedinfeas(NVRAprob prob, int *status, const double lepref[],
                             const double gepref[], const double lbpref[], const double ubpref[],
                             char phase2, double delta, const char *flags) {
    return repairCall(prob, "NVRArepairweightedinfeas", status, lepref, gepref, lbpref, ubpref,
                      nullptr, nullptr, nullptr, nullptr, Request{'c', phase2, delta}, flags);
}

int NVRArepairweightedinfeasbounds(NVRAprob prob, int *status, const double lepref[],
                                   const double gepref[], const double lbpref[],
                                   const double ubpref[], const double lerelax[],
                                   const double gerelax[], const double lbrelax[],
                                   const double ubrelax[], char phase2, double delta,
                                   const char *flags) {
    return repairCall(prob, "NVRArepairweightedinfeasbounds", status, lepref, gepref, lbpref,
                      ubpref, lerelax, gerelax, lbrelax, ubrelax, Request{'c', phase2, delta},
                      flags);
}

int NVRAgetrepairbounds(NVRAprob prob, double rowlower[], double rowupper[], double collower[],
                        double colupper[]) {
    return storeQuery(prob, "NVRAgetrepairbounds", [&] {
        const RepairState &rs = prob->solution.repair;
        if (!rs.done)
            return probError(prob, NVRA_RC_ERROR,
                             "NVRAgetrepairbounds: no repair has succeeded since the last change");
        if (rowlower) std::copy(rs.rowLower.begin(), rs.rowLower.end(), rowlower);
        if (rowupper) std::copy(rs.rowUpper.begin(), rs.rowUpper.end(), rowupper);
        if (collower) std::copy(rs.colLower.begin(), rs.colLower.end(), collower);
        if (colupper) std::copy(rs.colUpper.begin(), rs.colUpper.end(), colupper);
        return 0;
    });
}

} // extern "C"
