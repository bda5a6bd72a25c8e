// calc.cpp: computations on given vectors: objectives, slacks, reduced costs, violations, the
// infeasibilities of the current solution and the feasibility of MIP solutions.
#include "solver/analysis.h"

#include <algorithm>
#include <cmath>

namespace nvra {

std::vector<double> rowActivities(const Model &m, const double *x) {
    std::vector<double> act(m.numRows(), 0.0);
    for (int i = 0; i < m.numRows(); ++i) {
        double a = 0.0;
        for (int64_t p = m.A.start[i]; p < m.A.start[i + 1]; ++p)
            a += m.A.value[p] * x[m.A.index[p]];
        act[i] = a;
    }
    for (const auto &[row, q] : m.qrows)
        for (size_t k = 0; k < q.v.size(); ++k)
            act[row] += (q.i[k] == q.j[k] ? 1.0 : 2.0) * q.v[k] * x[q.i[k]] * x[q.j[k]];
    return act;
}

double rowViolation(const Model &m, int i, double activity) {
    const auto [lo, up] = rowEnds(m, i);
    return std::max({0.0, lo - activity, activity - up});
}

double columnViolation(const Model &m, int j, double v, double intTol) {
    const auto [lo, up] = valueRange(m, j);
    const double bound = std::max({0.0, lo - v, v - up});
    const char t = m.coltype[j];
    const double frac = std::fabs(v - std::round(v));
    switch (t) {
    case 'B':
    case 'I':
        return std::max(bound, frac > intTol ? frac : 0.0);
    case 'S':
    case 'R': {
        if (std::fabs(v) <= intTol) return 0.0;
        const double gap = std::max(0.0, std::max(m.lb[j], m.limit[j]) - v);
        return std::max({bound, gap, t == 'R' && frac > intTol ? frac : 0.0});
    }
    case 'P':
        return std::max(bound, v < m.limit[j] && frac > intTol ? frac : 0.0);
    default:
        return bound;
    }
}

namespace {

// The largest violation of the sets and indicators by x (0 when satisfied).
double entityViolation(const Model &m, const double *x, double tol) {
    double worst = 0.0;
    for (const Sos &s : m.sets) {
        std::vector<int> order(s.cols.size());
        for (size_t k = 0; k < order.size(); ++k)
            order[k] = static_cast<int>(k);
        std::sort(order.begin(), order.end(),
                  [&](int a, int b) { return s.weights[a] < s.weights[b]; });
        int first = -1, last = -1, count = 0;
        double smallest = 0.0;
        for (size_t k = 0; k < order.size(); ++k) {
            const double v = std::fabs(x[s.cols[order[k]]]);
            if (v <= tol) continue;
            if (first < 0) first = static_cast<int>(k);
            last = static_cast<int>(k);
            ++count;
            smallest = count == 1 ? v : std::min(smallest, v);
        }
        const int allowed = s.type == '1' ? 1 : 2;
        if (count > allowed || (count > 0 && last - first + 1 > allowed))
            worst = std::max(worst, smallest);
    }
    const std::vector<double> act = rowActivities(m, x);
    for (const auto &[row, ind] : m.indicators) {
        if (ind.complement == 0) continue;
        const double on = ind.complement > 0 ? 1.0 : 0.0;
        if (std::fabs(x[ind.col] - on) <= tol)
            worst = std::max(worst, rowViolation(m, row, act[row]));
    }
    return worst;
}

} // namespace

bool mipFeasible(NVRAprob prob, const double *x) {
    const Model &m = prob->model;
    const double feasTol = prob->controls.dbls[dblSlot::kCtrlFeasTol];
    const double intTol = prob->controls.dbls[dblSlot::kCtrlMipTol];
    for (int j = 0; j < m.numCols(); ++j)
        if (columnViolation(m, j, x[j], intTol) > feasTol) return false;
    const std::vector<double> act = rowActivities(m, x);
    for (int i = 0; i < m.numRows(); ++i)
        if (!m.indicators.count(i) && rowViolation(m, i, act[i]) > feasTol) return false;
    return entityViolation(m, x, feasTol) <= feasTol;
}

std::vector<double> reducedCosts(const Model &m, const double *y, const double *x) {
    std::vector<double> d(m.cost);
    for (int i = 0; i < m.numRows(); ++i)
        for (int64_t p = m.A.start[i]; p < m.A.start[i + 1]; ++p)
            d[m.A.index[p]] -= m.A.value[p] * y[i];
    for (size_t k = 0; x && k < m.Q.v.size(); ++k) {
        d[m.Q.i[k]] += m.Q.v[k] * x[m.Q.j[k]];
        if (m.Q.i[k] != m.Q.j[k]) d[m.Q.j[k]] += m.Q.v[k] * x[m.Q.i[k]];
    }
    return d;
}

namespace {

double objectiveValue(const Model &m, int objidx, const double *x) {
    const std::vector<double> &c = objidx == 0 ? m.cost : m.objectives[objidx - 1].cost;
    double v = objidx == 0 ? m.objConstant : m.objectives[objidx - 1].constant;
    for (int j = 0; j < m.numCols(); ++j)
        v += c[j] * x[j];
    if (objidx == 0)
        for (size_t k = 0; k < m.Q.v.size(); ++k)
            v += (m.Q.i[k] == m.Q.j[k] ? 0.5 : 1.0) * m.Q.v[k] * x[m.Q.i[k]] * x[m.Q.j[k]];
    return v;
}

// The given solution, or the current one when solution is null.
int solutionOf(NVRAprob prob, const char *fn, const double *solution, const double *&x) {
    x = solution;
    if (x) return 0;
    if (int rc = requireSolution(prob, fn)) return rc;
    x = prob->solution.x.data();
    return 0;
}

// Dual infeasibility of a reduced cost (or dual) d of an entry whose value v lies in [lo, up]:
// moving v in a direction it can move must not improve the objective.
double dualViolation(double d, int sense, double v, double lo, double up, double tol) {
    const double ds = d * sense;
    if (ds > 0 && v > lo + tol) return ds;
    if (ds < 0 && v < up - tol) return -ds;
    return 0.0;
}

struct Infeasibilities {
    std::vector<int> primalCols, primalRows, dualRows, dualCols;
};

Infeasibilities findInfeasibilities(NVRAprob prob) {
    const Model &m = prob->model;
    const SolveState &st = prob->solution;
    const double feasTol = prob->controls.dbls[dblSlot::kCtrlFeasTol];
    const double optTol = prob->controls.dbls[dblSlot::kCtrlOptTol];
    const double intTol = prob->controls.dbls[dblSlot::kCtrlMipTol];
    Infeasibilities inf;
    const std::vector<double> act = rowActivities(m, st.x.data());
    for (int j = 0; j < m.numCols(); ++j)
        if (columnViolation(m, j, st.x[j], st.fromMip ? intTol : 1.0) > feasTol)
            inf.primalCols.push_back(j);
    for (int i = 0; i < m.numRows(); ++i)
        if (rowViolation(m, i, act[i]) > feasTol) inf.primalRows.push_back(i);
    if (st.dualAvail == NVRA_AVAIL_NONE || st.dual.empty()) return inf;
    for (int i = 0; i < m.numRows(); ++i) {
        const auto [lo, up] = rowEnds(m, i);
        if (dualViolation(st.dual[i], m.sense, act[i], lo, up, feasTol) > optTol)
            inf.dualRows.push_back(i);
    }
    for (int j = 0; j < m.numCols(); ++j) {
        const auto [lo, up] = valueRange(m, j);
        if (dualViolation(st.redCost[j], m.sense, st.x[j], lo, up, feasTol) > optTol)
            inf.dualCols.push_back(j);
    }
    return inf;
}

void putList(const std::vector<int> &v, int *count, int *out) {
    if (count) *count = static_cast<int>(v.size());
    if (out) std::copy(v.begin(), v.end(), out);
}

int getInfeas(NVRAprob prob, const char *fn, int *npc, int *npr, int *ndr, int *ndc, int *pc,
              int *pr, int *dr, int *dc) {
    return storeQuery(prob, fn, [&] {
        if (int rc = requireSolution(prob, fn)) return rc;
        const Infeasibilities inf = findInfeasibilities(prob);
        putList(inf.primalCols, npc, pc);
        putList(inf.primalRows, npr, pr);
        putList(inf.dualRows, ndr, dr);
        putList(inf.dualCols, ndc, dc);
        return 0;
    });
}

int calcObjective(NVRAprob prob, const char *fn, int objidx, const double *solution,
                  double *objval) {
    return storeQuery(prob, fn, [&] {
        const Model &m = prob->model;
        if (objidx < 0 || objidx > static_cast<int>(m.objectives.size()))
            return probError(prob, NVRA_RC_RANGE,
                             "%s: objective %d is out of range: the problem has objectives 0..%zu",
                             fn, objidx, m.objectives.size());
        if (!objval) return probError(prob, NVRA_RC_INVALID, "%s: null objval", fn);
        const double *x = nullptr;
        if (int rc = solutionOf(prob, fn, solution, x)) return rc;
        *objval = objectiveValue(m, objidx, x);
        return 0;
    });
}

// One property of a solution with duals (NVRA_SOLINFO_*).
double solInfo(NVRAprob prob, const double *x, const double *y, int property) {
    const Model &m = prob->model;
    const bool relative =
        property == NVRA_SOLINFO_RELPRIMALINFEAS || property == NVRA_SOLINFO_RELDUALINFEAS;
    double primal = 0.0, dual = 0.0;
    const std::vector<double> act = rowActivities(m, x);
    for (int i = 0; i < m.numRows(); ++i) {
        const double scale = relative ? 1.0 + std::fabs(m.rhs[i]) : 1.0;
        primal = std::max(primal, rowViolation(m, i, act[i]) / scale);
    }
    for (int j = 0; j < m.numCols(); ++j) {
        const auto [lo, up] = valueRange(m, j);
        const double scale = relative ? 1.0 + std::max(std::fabs(lo < -kInf / 2 ? 0.0 : lo),
                                                       std::fabs(up > kInf / 2 ? 0.0 : up))
                                      : 1.0;
        primal = std::max(primal, std::max({0.0, lo - x[j], x[j] - up}) / scale);
    }
    if (y) {
        const double tol = prob->controls.dbls[dblSlot::kCtrlFeasTol];
        const std::vector<double> d = reducedCosts(m, y, x);
        for (int j = 0; j < m.numCols(); ++j) {
            const auto [lo, up] = valueRange(m, j);
            const double scale = relative ? 1.0 + std::fabs(m.cost[j]) : 1.0;
            dual = std::max(dual, dualViolation(d[j], m.sense, x[j], lo, up, tol) / scale);
        }
        for (int i = 0; i < m.numRows(); ++i) {
            const auto [lo, up] = rowEnds(m, i);
            dual = std::max(dual, dualViolation(y[i], m.sense, act[i], lo, up, tol));
        }
    }
    switch (property) {
    case NVRA_SOLINFO_ABSPRIMALINFEAS:
    case NVRA_SOLINFO_RELPRIMALINFEAS:
        return primal;
    case NVRA_SOLINFO_ABSDUALINFEAS:
    case NVRA_SOLINFO_RELDUALINFEAS:
        return dual;
    default:
        return std::max(primal, dual);
    }
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAcalcobjective(NVRAprob prob, const double solution[], double *objval) {
    return calcObjective(prob, "NVRAcalcobjective", 0, solution, objval);
}

int NVRAcalcobjn(NVRAprob prob, int objidx, const double solution[], double *objval) {
    return calcObjective(prob, "NVRAcalcobjn", objidx, solution, objval);
}

int NVRAcalcslacks(NVRAprob prob, const double solution[], double slacks[]) {
    const char *fn = "NVRAcalcslacks";
    return storeQuery(prob, fn, [&] {
        const Model &m = prob->model;
        if (int rc = checkArray(prob, fn, "solution", solution, m.numCols())) return rc;
        if (int rc = checkArray(prob, fn, "slacks", slacks, m.numRows())) return rc;
        const std::vector<double> act = rowActivities(m, solution);
        for (int i = 0; i < m.numRows(); ++i)
            slacks[i] = m.rhs[i] - act[i];
        return 0;
    });
}

int NVRAcalcreducedcosts(NVRAprob prob, const double duals[], const double solution[],
                         double djs[]) {
    const char *fn = "NVRAcalcreducedcosts";
    return storeQuery(prob, fn, [&] {
        const Model &m = prob->model;
        if (int rc = checkArray(prob, fn, "duals", duals, m.numRows())) return rc;
        if (int rc = checkArray(prob, fn, "djs", djs, m.numCols())) return rc;
        const double *x = solution;
        if (!m.Q.v.empty())
            if (int rc = solutionOf(prob, fn, solution, x)) return rc;
        const std::vector<double> d = reducedCosts(m, duals, x);
        std::copy(d.begin(), d.end(), djs);
        return 0;
    });
}

int NVRAcalcsolinfo(NVRAprob prob, const double solution[], const double duals[], int property,
                    double *value) {
    const char *fn = "NVRAcalcsolinfo";
    return storeQuery(prob, fn, [&] {
        if (property < NVRA_SOLINFO_ABSPRIMALINFEAS || property > NVRA_SOLINFO_MAXINFEAS)
            return probError(prob, NVRA_RC_INVALID, "%s: unknown property %d (0 to 4)", fn,
                             property);
        if (!value) return probError(prob, NVRA_RC_INVALID, "%s: null value", fn);
        if (int rc = checkArray(prob, fn, "solution", solution, prob->model.numCols())) return rc;
        const bool dualProperty = property >= NVRA_SOLINFO_ABSDUALINFEAS;
        if (dualProperty)
            if (int rc = checkArray(prob, fn, "duals", duals, prob->model.numRows())) return rc;
        *value = solInfo(prob, solution, dualProperty ? duals : nullptr, property);
        return 0;
    });
}

int NVRAgetinfeas(NVRAprob prob, int *nprimalcols, int *nprimalrows, int *ndualrows, int *ndualcols,
                  int primalcols[], int primalrows[], int dualrows[], int dualcols[]) {
    return getInfeas(prob, "NVRAgetinfeas", nprimalcols, nprimalrows, ndualrows, ndualcols,
                     primalcols, primalrows, dualrows, dualcols);
}

int NVRAgetscaledinfeas(NVRAprob prob, int *nprimalcols, int *nprimalrows, int *ndualrows,
                        int *ndualcols, int primalcols[], int primalrows[], int dualrows[],
                        int dualcols[]) {
    return getInfeas(prob, "NVRAgetscaledinfeas", nprimalcols, nprimalrows, ndualrows, ndualcols,
                     primalcols, primalrows, dualrows, dualcols);
}

} // extern "C"
