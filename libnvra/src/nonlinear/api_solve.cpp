// api_solve.cpp: construction, initial values, cascading, checking points, reports, the
// solution, writing, and the steps of a solve that the solvers run only inside NVRAoptimize
// (they fail with a message saying so).
#include "files/file_io.h"
#include "nonlinear/activity.h"
#include "nonlinear/nlprob.h"

#include "store/store.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <queue>
#include <string>
#include <tuple>

namespace nvra::nl {
namespace {

// The steps of a nonlinear solve that the solvers of this build run only inside optimize (they
// keep no presolved, scaled or linearised state between calls).
int engineMissing(NSLPprob nlprob, const char *fn) {
    return nlQuery(nlprob, fn, [&](NSLPprob nl) -> int {
        return nlError(nl, NVRA_RC_UNSUPPORTED,
                       "%s: the nonlinear solvers of this build run this step only inside a solve "
                       "(NVRAoptimize), not on its own",
                       fn);
    });
}

} // namespace

// ---- cascading ----------------------------------------------------------------------------------

int cascadeOrder(NSLPprob nl, const char *fn, std::vector<int32_t> &order) {
    const NlData &d = nl->data;
    const int ncols = nl->prob->model.numCols();
    std::vector<int32_t> determined;
    for (int j = 0; j < ncols; ++j)
        if (d.col(j).detrow >= 0) determined.push_back(j);
    std::vector<int32_t> indegree(static_cast<size_t>(ncols), 0);
    std::vector<std::vector<int32_t>> users(static_cast<size_t>(ncols)); // c -> columns after it
    for (int32_t j : determined)
        for (int32_t c : columnsOfRow(nl, d.col(j).detrow))
            if (c != j && d.col(c).detrow >= 0) {
                users[c].push_back(j);
                ++indegree[j];
            }
    using Item = std::tuple<int32_t, int32_t>; // (sequence number, column), smallest first
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> ready;
    for (int32_t j : determined)
        if (indegree[j] == 0) ready.emplace(d.col(j).seqnum, j);
    order.clear();
    while (!ready.empty()) {
        const int32_t j = std::get<1>(ready.top());
        ready.pop();
        order.push_back(j);
        for (int32_t u : users[j])
            if (--indegree[u] == 0) ready.emplace(d.col(u).seqnum, u);
    }
    if (order.size() == determined.size()) return 0;
    for (int32_t j : determined)
        if (indegree[j] > 0)
            return nlError(nl, NVRA_RC_INVALID,
                           "%s: the determining rows form a cycle: column %d depends on itself "
                           "through them",
                           fn, j);
    return 0;
}

bool cascadeColumn(NSLPprob nl, int j, std::vector<double> &x, int limit, std::string &why) {
    const Model &m = nl->prob->model;
    const int row = nl->data.col(j).detrow;
    const double target = m.rhs[row], tol = dblControl(nl, kNlCtrlFeasTol);
    RowFunction f(nl, row);
    const double start = x[j];
    for (int it = 0; it < limit; ++it) {
        RowValue v;
        double dv = 0;
        EvalFailure fail;
        if (!f.evaluate(x.data(), j, v, &dv, fail)) {
            why = fail.text();
            break;
        }
        const double r = v.total() - target;
        if (std::fabs(r) <= tol * std::max(1.0, std::fabs(target))) {
            // Within the tolerance: one more step polishes the value (exact for a row linear
            // in the column, such as a nonlinear objective's transfer row).
            if (dv != 0) x[j] = std::clamp(x[j] - r / dv, m.lb[j], m.ub[j]);
            return true;
        }
        if (dv == 0) {
            why = "the row does not depend on the column at the current point";
            break;
        }
        x[j] = std::clamp(x[j] - r / dv, m.lb[j], m.ub[j]);
    }
    if (why.empty()) why = "no solution within the iteration limit";
    x[j] = start;
    return false;
}

bool cascadesInSolve(NSLPprob nl, int j) {
    const SlpColumn &c = nl->data.col(j);
    if (c.detrow < 0) return false;
    if (nl->data.row(c.detrow).status & NSLP_ROW_OBJECTIVE) return true;
    return (c.vartype & NSLP_VAR_CASCADE) && intControl(nl, kNlCtrlCascade) != 0;
}

namespace {

int cascade(NSLPprob nl, const char *fn) {
    if (nl->data.cascadeOrder.empty())
        if (int rc = cascadeOrder(nl, fn, nl->data.cascadeOrder)) return rc;
    const Model &m = nl->prob->model;
    std::vector<double> x = nl->data.currentPoint(m.numCols());
    const int defaultLimit = static_cast<int>(intControl(nl, kNlCtrlCascadeNLimit));
    if (callPlain(nl, Cb::CascadeStart)) return 0;
    for (int32_t j : nl->data.cascadeOrder) {
        const SlpColumn &c = nl->data.col(j);
        if (!(c.vartype & NSLP_VAR_CASCADE)) continue;
        std::string why;
        const bool ok =
            cascadeColumn(nl, j, x, c.cascadeLimit ? c.cascadeLimit : defaultLimit, why);
        if (ok) {
            const Callback drcol = callbackOf(nl, Cb::DrCol);
            double value = x[j];
            if (drcol.fn)
                reinterpret_cast<NSLPcbdrcol>(drcol.fn)(nl, drcol.data, j, x[j], &value, m.lb[j],
                                                        m.ub[j]);
            if (std::isfinite(value)) x[j] = value;
        } else {
            char msg[NVRA_MAXMESSAGELENGTH];
            snprintf(msg, sizeof msg, "Cascading column %d from row %d failed: %s", j, c.detrow,
                     why.c_str());
            nlMessage(nl, msg, 3);
        }
        const Callback cb = callbackOf(nl, ok ? Cb::CascadeVar : Cb::CascadeVarFail);
        nl->data.colForEdit(j).value = x[j];
        if (cb.fn && reinterpret_cast<NSLPcbcol>(cb.fn)(nl, cb.data, j)) break;
    }
    callPlain(nl, Cb::CascadeEnd);
    return 0;
}

// ---- checking a point -------------------------------------------------------------------------

// Checks x against every row and column bound; reports a summary (and with detail the worst
// entries) as messages and keeps the figures for the attributes.
int checkPoint(NSLPprob nl, const char *fn, const double *x) {
    const Model &m = nl->prob->model;
    std::vector<double> rows;
    double objective;
    if (int rc = allRowValues(nl, fn, x, rows, objective)) return rc;
    const double tol = dblControl(nl, kNlCtrlFeasTol);
    int count = 0;
    double worst = 0.0, sum = 0.0;
    std::string worstWhat = "none";
    auto note = [&](double violation, const std::string &what) {
        if (violation <= tol) return;
        ++count;
        sum += violation;
        if (violation > worst) {
            worst = violation;
            worstWhat = what;
        }
    };
    for (int i = 0; i < m.numRows(); ++i)
        note(rowViolation(m, i, rows[i]), "row " + displayName(m, NVRA_NAMES_ROWS, i));
    for (int j = 0; j < m.numCols(); ++j)
        note(std::max({0.0, m.lb[j] - x[j], x[j] - m.ub[j]}),
             "the bounds of column " + displayName(m, NVRA_NAMES_COLUMNS, j));
    nl->violations = count;
    nl->maxViolation = worst;
    nl->sumInfeas = sum;
    char msg[NVRA_MAXMESSAGELENGTH];
    snprintf(msg, sizeof msg,
             "Point checked: objective %.10g; %d violations above %g, sum %g, largest %g (%s)",
             objective, count, tol, sum, worst, worstWhat.c_str());
    nlMessage(nl, msg, 1);
    return 0;
}

int validateRow(NSLPprob nl, const char *fn, int row) {
    if (int rc = checkNlRow(nl, fn, row, false)) return rc;
    const Model &m = nl->prob->model;
    const std::vector<double> x = nl->data.currentPoint(m.numCols());
    RowValue v;
    if (int rc = rowValue(nl, fn, row, x.data(), v)) return rc;
    double lo, hi;
    rowBounds(m, row, lo, hi);
    char msg[NVRA_MAXMESSAGELENGTH];
    snprintf(msg, sizeof msg,
             "Row %s: value %.10g = linear %.10g + quadratic %.10g + nonlinear %.10g; bounds "
             "[%g, %g]; violation %g",
             displayName(m, NVRA_NAMES_ROWS, row).c_str(), v.total(), v.linear, v.quadratic,
             v.nonlinear, lo, hi, rowViolation(m, row, v.total()));
    nlMessage(nl, msg, 1);
    return 0;
}

// ---- reports ------------------------------------------------------------------------------------

template <class V> size_t bytesOf(const V &v) {
    return v.capacity() * sizeof(typename V::value_type);
}

int printMemory(NSLPprob nl) {
    const NlData &d = nl->data;
    const Coefficients &c = d.coefs;
    const size_t coefs = bytesOf(c.type) + bytesOf(c.value) + bytesOf(c.pieces);
    const size_t slp = bytesOf(d.cols) + bytesOf(d.rows) + d.dfs.size() * 16 + bytesOf(d.tolsets);
    char msg[NVRA_MAXMESSAGELENGTH];
    snprintf(msg, sizeof msg,
             "Nonlinear problem memory: coefficients %zu bytes (%lld pieces, %lld tokens); SLP "
             "data %zu bytes; total %zu bytes",
             coefs, static_cast<long long>(c.livePieces()), static_cast<long long>(c.liveTokens()),
             slp, coefs + slp);
    nlMessage(nl, msg, 1);
    return 0;
}

int printEvalInfo(NSLPprob nl) {
    char msg[NVRA_MAXMESSAGELENGTH];
    snprintf(msg, sizeof msg,
             "Formula evaluations (one formula each): %lld values, %lld gradients, %lld Hessians",
             static_cast<long long>(nl->counters.values.load()),
             static_cast<long long>(nl->counters.gradients.load()),
             static_cast<long long>(nl->counters.hessians.load()));
    nlMessage(nl, msg, 1);
    return 0;
}

int solutionOut(NSLPprob nl, const char *fn, const std::vector<double> &from, bool available,
                const char *what, double *out) {
    if (!out) return 0;
    if (!available || from.empty())
        return nlError(nl, NVRA_RC_INVALID, "%s: no %s is available: solve the problem first", fn,
                       what);
    std::copy(from.begin(), from.end(), out);
    return 0;
}

} // namespace
} // namespace nvra::nl

using namespace nvra;
using namespace nvra::nl;

extern "C" {

int NSLPconstruct(NSLPprob nlprob) {
    return nlSettings(nlprob, "NSLPconstruct", [&](NSLPprob nl) -> int {
        auto ev = std::make_unique<Evaluator>();
        ev->build(nl->data, nl->prob->model.numCols(), dblControl(nl, kNlCtrlFdStep),
                  &nl->counters);
        nl->constructed = std::move(ev);
        callPlain(nl, Cb::Construct);
        return 0;
    });
}

int NSLPunconstruct(NSLPprob nlprob) {
    return nlSettings(nlprob, "NSLPunconstruct", [&](NSLPprob nl) -> int {
        nl->constructed.reset();
        return 0;
    });
}

int NSLPsetcurrentiv(NSLPprob nlprob) {
    return nlSlpEdit(nlprob, "NSLPsetcurrentiv", [&](NSLPprob nl) -> int {
        for (SlpColumn &c : nl->data.cols)
            c.initValue = c.value;
        return 0;
    });
}

int NSLPreinitialize(NSLPprob nlprob) {
    return nlEdit(nlprob, "NSLPreinitialize", [&](NSLPprob nl) -> int {
        for (SlpColumn &c : nl->data.cols) {
            c.value = c.initValue;
            c.step = c.initStep;
            c.history = c.converged = 0;
        }
        return 0;
    });
}

int NSLPcascadeorder(NSLPprob nlprob) {
    return nlSettings(nlprob, "NSLPcascadeorder", [&](NSLPprob nl) -> int {
        std::vector<int32_t> order;
        if (int rc = cascadeOrder(nl, "NSLPcascadeorder", order)) return rc;
        nl->data.cascadeOrder.swap(order);
        return 0;
    });
}

int NSLPcascade(NSLPprob nlprob) {
    return nlSettings(nlprob, "NSLPcascade",
                      [&](NSLPprob nl) -> int { return cascade(nl, "NSLPcascade"); });
}

int NSLPvalidate(NSLPprob nlprob) {
    return nlQuery(nlprob, "NSLPvalidate", [&](NSLPprob nl) -> int {
        const std::vector<double> x = nl->data.currentPoint(nl->prob->model.numCols());
        return checkPoint(nl, "NSLPvalidate", x.data());
    });
}

int NSLPvalidaterow(NSLPprob nlprob, int row) {
    return nlQuery(nlprob, "NSLPvalidaterow",
                   [&](NSLPprob nl) -> int { return validateRow(nl, "NSLPvalidaterow", row); });
}

int NSLPvalidatevector(NSLPprob nlprob, const double x[]) {
    const char *fn = "NSLPvalidatevector";
    return nlQuery(nlprob, fn, [&](NSLPprob nl) -> int {
        const int n = nl->prob->model.numCols();
        if (int rc = checkNlArray(nl, fn, "x", x, n)) return rc;
        for (int j = 0; j < n; ++j)
            if (!std::isfinite(x[j]))
                return nlError(nl, NVRA_RC_INVALID, "%s: the value of column %d is not finite", fn,
                               j);
        return checkPoint(nl, fn, x);
    });
}

int NSLPprintmemory(NSLPprob nlprob) {
    return nlQuery(nlprob, "NSLPprintmemory", printMemory);
}

int NSLPprintevalinfo(NSLPprob nlprob) {
    return nlQuery(nlprob, "NSLPprintevalinfo", printEvalInfo);
}

int NSLPgetslpsol(NSLPprob nlprob, double x[], double slack[], double duals[], double djs[]) {
    const char *fn = "NSLPgetslpsol";
    return nlQuery(nlprob, fn, [&](NSLPprob nl) -> int {
        const SolveState &s = nl->prob->solution;
        const bool primal = s.primalAvail != NVRA_AVAIL_NONE;
        const bool dual = s.dualAvail != NVRA_AVAIL_NONE;
        if (int rc = solutionOut(nl, fn, s.x, primal, "solution", x)) return rc;
        if (int rc = solutionOut(nl, fn, s.slack, primal, "slack vector", slack)) return rc;
        if (int rc = solutionOut(nl, fn, s.dual, dual, "dual vector", duals)) return rc;
        return solutionOut(nl, fn, s.redCost, dual, "reduced-cost vector", djs);
    });
}

// Nothing is presolved in this build (NSLP_STATE_PRESOLVED is never set): there is nothing to
// undo.
int NSLPpostsolve(NSLPprob nlprob) {
    return nlQuery(nlprob, "NSLPpostsolve", [](NSLPprob) -> int { return 0; });
}

int NSLPpresolve(NSLPprob nlprob) {
    return engineMissing(nlprob, "NSLPpresolve");
}
int NSLPscaling(NSLPprob nlprob) {
    return engineMissing(nlprob, "NSLPscaling");
}
int NSLPfixpenalties(NSLPprob nlprob) {
    return engineMissing(nlprob, "NSLPfixpenalties");
}
int NSLPupdatelinearization(NSLPprob nlprob) {
    return engineMissing(nlprob, "NSLPupdatelinearization");
}
int NSLPvalidatekkt(NSLPprob nlprob, int, int, int, double) {
    return engineMissing(nlprob, "NSLPvalidatekkt");
}

int NVRAnlpoptimize(NVRAprob prob, const char *flags) {
    return NVRAoptimize(prob, flags, nullptr, nullptr);
}

int NSLPwriteprob(NSLPprob nlprob, const char *filename, const char *flags) {
    const char *fn = "NSLPwriteprob";
    return nlQuery(nlprob, fn,
                   [&](NSLPprob nl) { return writeProblemFile(nl->prob, fn, filename, flags); });
}

} // extern "C"
