// starts.cpp: solutions given to the problem and single values of its solution: LP solutions
// loaded as the current solution, MIP starts for the next MIP solve, values of one row and
// column, the barrier solution, and crossover from a loaded or barrier solution. A MIP solution
// given while the problem is being solved goes to the running solve.
#include "solver/analysis.h"
#include "core/callbacks.h"

#include <algorithm>
#include <cmath>

#include "highs_c_api.h"

namespace nvra {
namespace {

int checkFinite(NVRAprob prob, const char *fn, const char *name, const double *v, int n) {
    for (int k = 0; k < n; ++k)
        if (!std::isfinite(v[k]))
            return probError(prob, NVRA_RC_INVALID, "%s: %s[%d] is not a finite number", fn, name,
                             k);
    return 0;
}

int loadLpSol(NVRAprob prob, const char *fn, const double *x, const double *slack,
              const double *duals, const double *djs) {
    const Model &m = prob->model;
    const int nc = m.numCols(), nr = m.numRows();
    if (int rc = checkArray(prob, fn, "x", x, nc)) return rc;
    if (int rc = checkFinite(prob, fn, "x", x, nc)) return rc;
    if (slack)
        if (int rc = checkFinite(prob, fn, "slack", slack, nr)) return rc;
    if (duals)
        if (int rc = checkFinite(prob, fn, "duals", duals, nr)) return rc;
    if (djs)
        if (int rc = checkFinite(prob, fn, "djs", djs, nc)) return rc;
    if (djs && !duals)
        return probError(prob, NVRA_RC_INVALID, "%s: reduced costs need the duals with them", fn);
    SolveState st;
    st.x.assign(x, x + nc);
    if (slack) {
        st.slack.assign(slack, slack + nr);
    } else {
        const std::vector<double> act = rowActivities(m, x);
        st.slack.resize(nr);
        for (int i = 0; i < nr; ++i)
            st.slack[i] = m.rhs[i] - act[i];
    }
    st.primalAvail = NVRA_AVAIL_FEASIBLE;
    if (duals) {
        st.dual.assign(duals, duals + nr);
        st.redCost = djs ? std::vector<double>(djs, djs + nc) : reducedCosts(m, duals, x);
        st.dualAvail = NVRA_AVAIL_FEASIBLE;
    }
    prob->solution = std::move(st);
    return 0;
}

// A solution value of the last continuous (mip false) or MIP solve.
int solValues(NVRAprob prob, const char *fn, bool mip, int col, int row, double *x, double *slack,
              double *dual, double *dj) {
    return storeQuery(prob, fn, [&] {
        if (col != -1)
            if (int rc = checkIndex(prob, Kind::Column, col)) return rc;
        if (row != -1)
            if (int rc = checkIndex(prob, Kind::Row, row)) return rc;
        const SolveState &st = prob->solution;
        if (st.primalAvail == NVRA_AVAIL_NONE || st.x.empty() || st.fromMip != mip)
            return probError(prob, NVRA_RC_ERROR, "%s: no %s solution is available", fn,
                             mip ? "MIP" : "continuous");
        if ((dual || dj) && st.dual.empty())
            return probError(prob, NVRA_RC_ERROR,
                             "%s: no dual values are available: they come from an optimal "
                             "continuous solve",
                             fn);
        if (col != -1) {
            if (x) *x = st.x[col];
            if (dj) *dj = st.redCost[col];
        }
        if (row != -1) {
            if (slack) *slack = st.slack[row];
            if (dual) *dual = st.dual[row];
        }
        return 0;
    });
}

int crossover(NVRAprob prob, const char *fn, Engine &e, int *status) {
    if (int rc = requireSolution(prob, fn)) return rc;
    SolveState &st = prob->solution;
    if (st.fromMip)
        return probError(prob, NVRA_RC_ERROR,
                         "%s: the current solution is a MIP solution: crossover works from a "
                         "continuous one",
                         fn);
    const Model &m = prob->model;
    if (!m.Q.v.empty())
        return probError(prob, NVRA_RC_UNSUPPORTED,
                         "%s: crossover needs a linear problem (the objective is quadratic)", fn);
    Image img;
    if (int rc = passContinuous(prob, e, img)) return rc;
    // The engine's crossover takes the primal values (it refuses the library's duals, whose
    // sign convention differs from its own) and ends with a basis; a run from that basis then
    // settles its status.
    std::vector<double> x = st.x;
    beginCapture(e, false);
    const bool failed =
        !highsOk(Highs_crossover(e.highs, m.numCols(), m.numRows(), x.data(), nullptr, nullptr));
    endCapture(e);
    if (failed) return engineError(prob, e, (std::string(fn) + ": crossover failed").c_str());
    if (int rc = runAndKeep(prob, e, img)) return rc;
    if (status) *status = prob->solution.current().lpStatus == NVRA_LP_OPTIMAL ? 0 : 1;
    return 0;
}

// A solution given while the problem is being solved goes to the running solve, which reports
// to usersolnotify what became of it.
int giveToSolve(NVRAprob prob, const char *fn, MipStart &&start) {
    UserSolution s{std::move(start.cols), std::move(start.values), std::move(start.name)};
    if (queueUserSolution(prob, std::move(s))) return 0;
    return probError(prob, NVRA_RC_BUSY,
                     "%s: the problem is being solved, and this solve takes no more solutions", fn);
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAloadlpsol(NVRAprob prob, const double x[], const double slack[], const double duals[],
                  const double djs[], int *status) {
    const char *fn = "NVRAloadlpsol";
    return sideEdit(prob, fn, [&] {
        if (int rc = loadLpSol(prob, fn, x, slack, duals, djs)) return rc;
        if (status) *status = 0;
        return 0;
    });
}

int NVRAloadmipsol(NVRAprob prob, const double x[], int *status) {
    const char *fn = "NVRAloadmipsol";
    return sideEdit(prob, fn, [&] {
        const int nc = prob->model.numCols();
        if (int rc = checkArray(prob, fn, "x", x, nc)) return rc;
        if (int rc = checkFinite(prob, fn, "x", x, nc)) return rc;
        const bool feasible = mipFeasible(prob, x);
        if (feasible) {
            MipStart start;
            start.name = "loaded";
            start.numCols = nc;
            start.values.assign(x, x + nc);
            prob->starts.mip.push_back(std::move(start));
        }
        if (status) *status = feasible ? 0 : 1;
        return 0;
    });
}

int NVRAaddmipsol(NVRAprob prob, int ncols, const double solval[], const int colind[],
                  const char *name) {
    const char *fn = "NVRAaddmipsol";
    if (int rc = enterProb(prob)) return rc;
    return guarded(prob, fn, [&] {
        // The model cannot change while the problem is being solved: the checks hold for the
        // running solve too.
        const int nc = prob->model.numCols();
        if (int rc = checkCount(prob, fn, "columns", ncols)) return rc;
        if (ncols > nc)
            return probError(prob, NVRA_RC_RANGE, "%s: %d values for a problem with %d columns", fn,
                             ncols, nc);
        if (int rc = checkArray(prob, fn, "solval", solval, ncols)) return rc;
        if (int rc = checkFinite(prob, fn, "solval", solval, ncols)) return rc;
        if (colind)
            if (int rc = checkIndexList(prob, fn, Kind::Column, ncols, colind)) return rc;
        MipStart start;
        start.name = name ? name : "";
        start.numCols = nc;
        start.values.assign(solval, solval + ncols);
        if (colind)
            start.cols.assign(colind, colind + ncols);
        else if (ncols < nc)
            for (int j = 0; j < ncols; ++j)
                start.cols.push_back(j);
        if (prob->busy.load()) return giveToSolve(prob, fn, std::move(start));
        prob->starts.mip.push_back(std::move(start));
        return 0;
    });
}

int NVRAgetlpsolval(NVRAprob prob, int col, int row, double *x, double *slack, double *dual,
                    double *dj) {
    return solValues(prob, "NVRAgetlpsolval", false, col, row, x, slack, dual, dj);
}

int NVRAgetmipsolval(NVRAprob prob, int col, int row, double *x, double *slack) {
    return solValues(prob, "NVRAgetmipsolval", true, col, row, x, slack, nullptr, nullptr);
}

int NVRAgetlastbarsol(NVRAprob prob, double x[], double slack[], double duals[], double djs[],
                      int *status) {
    return storeQuery(prob, "NVRAgetlastbarsol", [&] {
        const SolveState &st = prob->solution;
        const bool available = !st.solves.empty() && st.current().barIter > 0 && !st.fromMip &&
                               st.primalAvail != NVRA_AVAIL_NONE && !st.dual.empty();
        if (status) *status = available ? 1 : 0;
        if (!available) return 0;
        if (x) std::copy(st.x.begin(), st.x.end(), x);
        if (slack) std::copy(st.slack.begin(), st.slack.end(), slack);
        if (duals) std::copy(st.dual.begin(), st.dual.end(), duals);
        if (djs) std::copy(st.redCost.begin(), st.redCost.end(), djs);
        return 0;
    });
}

int NVRAcrossoverlpsol(NVRAprob prob, int *status) {
    const char *fn = "NVRAcrossoverlpsol";
    return engineCall(prob, fn, [&](Engine &e) { return crossover(prob, fn, e, status); });
}

} // extern "C"
