// ranging.cpp: sensitivity of the last optimal basis: ranges of objective coefficients,
// right-hand sides and bounds (from the engine's ranging), and the range of each row's dual over
// the optimal dual solutions (from one-sided derivatives of the optimal objective).
#include "solver/analysis.h"

#include <algorithm>
#include <cmath>

#include "highs_c_api.h"

namespace nvra {
namespace {

// The last solve must have left an optimal basis of a linear continuous problem.
int checkOptimalBasis(NVRAprob prob, const char *fn) {
    const SolveState &st = prob->solution;
    const bool optimal = !st.solves.empty() && st.current().optimizeType == NVRA_OPTIMIZETYPE_LP &&
                         st.current().lpStatus == NVRA_LP_OPTIMAL;
    if (optimal && !st.basis.empty()) return 0;
    return probError(prob, NVRA_RC_ERROR,
                     "%s: sensitivity needs the optimal basis of a continuous simplex solve of a "
                     "linear problem: there is none",
                     fn);
}

// The same, with the engine holding that solve.
int requireOptimalBasis(NVRAprob prob, const char *fn, Engine &e) {
    if (int rc = checkOptimalBasis(prob, fn)) return rc;
    return requireSolved(prob, fn, e);
}

Ranging computeRanging(Engine &e, int nc, int nr) {
    Ranging r;
    for (auto *v : {&r.costDown, &r.costUp, &r.colBoundDown, &r.colBoundUp})
        v->resize(nc);
    for (auto *v : {&r.rowBoundDown, &r.rowBoundUp})
        v->resize(nr);
    if (!highsOk(Highs_getRanging(e.highs, r.costUp.data(), nullptr, nullptr, nullptr,
                                  r.costDown.data(), nullptr, nullptr, nullptr, r.colBoundUp.data(),
                                  nullptr, nullptr, nullptr, r.colBoundDown.data(), nullptr,
                                  nullptr, nullptr, r.rowBoundUp.data(), nullptr, nullptr, nullptr,
                                  r.rowBoundDown.data(), nullptr, nullptr, nullptr)))
        throw EngineFailure{"the engine could not range the basis"};
    for (auto *v :
         {&r.costDown, &r.costUp, &r.colBoundDown, &r.colBoundUp, &r.rowBoundDown, &r.rowBoundUp})
        for (double &x : *v)
            x = fromEngine(x);
    return r;
}

// The ranging of the last solve: computed by the engine on the first request, then kept with
// the solution.
int rangingOf(NVRAprob prob, const char *fn, Engine &e, const Ranging *&r) {
    if (int rc = checkOptimalBasis(prob, fn)) return rc;
    SolveState &st = prob->solution;
    if (!st.ranging) {
        if (int rc = requireSolved(prob, fn, e)) return rc;
        st.ranging = std::make_shared<const Ranging>(
            computeRanging(e, prob->model.numCols(), prob->model.numRows()));
    }
    r = st.ranging.get();
    return 0;
}

// A ranging call: checks the index list, ranges, fills the outputs per listed entry.
template <class F>
int rangeEach(NVRAprob prob, const char *fn, Kind kind, int n, const int *ind, F fill) {
    return engineCall(prob, fn, [&](Engine &e) {
        if (int rc = checkIndexList(prob, fn, kind, n, ind)) return rc;
        const Ranging *r = nullptr;
        if (int rc = rangingOf(prob, fn, e, r)) return rc;
        for (int k = 0; k < n; ++k)
            fill(*r, k, ind[k]);
        return 0;
    });
}

void put(double *out, int k, double v) {
    if (out) out[k] = v;
}

// The ranges of a column's two bounds: the active one moves within the engine's range; the
// other may move from the column's value outwards.
void boundRanges(const SolveState &st, const Model &m, const Ranging &r, int j, double out[4]) {
    const double x = st.x.empty() ? 0.0 : st.x[j];
    const int status = st.basis.cols[j];
    out[0] = -kInf;
    out[1] = x;
    out[2] = x;
    out[3] = kInf;
    if (status == NVRA_BASIS_LOWER) {
        out[0] = r.colBoundDown[j];
        out[1] = std::min(r.colBoundUp[j], m.ub[j]);
    } else if (status == NVRA_BASIS_UPPER) {
        out[2] = std::max(r.colBoundDown[j], m.lb[j]);
        out[3] = r.colBoundUp[j];
    }
}

// The range of a row's right-hand side. A non-basic row's active end moves within the engine's
// range (for an 'R' row the right-hand side is that end plus or minus the range); a basic row
// stays basic while its ends still contain its activity.
void rhsRange(const SolveState &st, const Model &m, const Ranging &r, int i, double out[2]) {
    const double act = m.rhs[i] - st.slack[i];
    const double width = m.rowtype[i] == 'R' ? m.range[i] : 0.0;
    const int status = st.basis.rows[i];
    if (status == NVRA_BASIS_BASIC) {
        switch (m.rowtype[i]) {
        case 'L':
            out[0] = act, out[1] = kInf;
            return;
        case 'G':
            out[0] = -kInf, out[1] = act;
            return;
        case 'N':
            out[0] = -kInf, out[1] = kInf;
            return;
        default:
            out[0] = act, out[1] = act + width;
            return;
        }
    }
    const double shift = status == NVRA_BASIS_LOWER ? width : 0.0;
    out[0] = r.rowBoundDown[i] <= -kInf ? -kInf : r.rowBoundDown[i] + shift;
    out[1] = r.rowBoundUp[i] >= kInf ? kInf : r.rowBoundUp[i] + shift;
}

// ---- dual ranges ------------------------------------------------------------------------------

// The optimal objective with row i's active end moved by delta (both ends of an 'E' row), from
// the problem's basis in at most iterlim iterations; +-1e20 when not found.
double objectiveMoved(NVRAprob prob, Engine &e, int i, double delta, int iterlim) {
    const Model &m = prob->model;
    const auto [lo, up] = rowEnds(m, i);
    const bool upper = prob->solution.basis.rows[i] != NVRA_BASIS_LOWER && up < kInf;
    const double inf = Highs_getInfinity(e.highs);
    auto engineValue = [&](double v) { return v >= kInf ? inf : v <= -kInf ? -inf : v; };
    const double newLo = (!upper || lo == up) ? lo + delta : lo;
    const double newUp = (upper || lo == up) ? up + delta : up;
    forgetHandover(e);
    Highs_changeRowBounds(e.highs, i, engineValue(newLo), engineValue(newUp));
    const Basis &b = prob->solution.basis;
    std::vector<HighsInt> rows(b.rows.size()), cols(b.cols.size());
    std::transform(b.rows.begin(), b.rows.end(), rows.begin(), basisToEngine);
    std::transform(b.cols.begin(), b.cols.end(), cols.begin(), basisToEngine);
    Highs_setBasis(e.highs, cols.data(), rows.data());
    SolveResult r;
    const int rc = runFromBasis(prob, e, r, iterlim);
    Highs_changeRowBounds(e.highs, i, engineValue(lo), engineValue(up));
    if (rc || r.lpStatus != NVRA_LP_OPTIMAL) return NAN;
    return r.objVal;
}

int dualRanges(NVRAprob prob, const char *fn, Engine &e, int n, const int *rows, int iterlim,
               double *mindual, double *maxdual) {
    if (int rc = checkIndexList(prob, fn, Kind::Row, n, rows)) return rc;
    if (iterlim < 0) return probError(prob, NVRA_RC_INVALID, "%s: negative iteration limit", fn);
    if (int rc = requireOptimalBasis(prob, fn, e)) return rc;
    if (int rc = requireDuals(prob, fn)) return rc;
    const Model &m = prob->model;
    SolveState &st = prob->solution;
    const double base = st.current().objVal;
    beginCapture(e, false);
    bool moved = false;
    for (int k = 0; k < n; ++k) {
        const int i = rows[k];
        const double y = st.dual[i];
        const auto [lo, up] = rowEnds(m, i);
        // The end that moves: the active one of a non-basic row, the upper one otherwise.
        const double b = st.basis.rows[i] == NVRA_BASIS_LOWER || up >= kInf ? lo : up;
        const double eps = 1e-6 * std::max(1.0, std::fabs(b));
        double left = y, right = y;
        if (std::fabs(b) < kInf) {
            const double below = objectiveMoved(prob, e, i, -eps, iterlim);
            const double above = objectiveMoved(prob, e, i, eps, iterlim);
            left = std::isnan(below) ? -kInf * m.sense : (base - below) / eps;
            right = std::isnan(above) ? kInf * m.sense : (above - base) / eps;
            moved = true;
        }
        put(mindual, k, std::min(left, right));
        put(maxdual, k, std::max(left, right));
    }
    endCapture(e);
    if (moved) st.engineSolved = false;
    return 0;
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAobjsa(NVRAprob prob, int ncols, const int colind[], double lower[], double upper[]) {
    return rangeEach(prob, "NVRAobjsa", Kind::Column, ncols, colind,
                     [&](const Ranging &r, int k, int j) {
                         put(lower, k, r.costDown[j]);
                         put(upper, k, r.costUp[j]);
                     });
}

int NVRArhssa(NVRAprob prob, int nrows, const int rowind[], double lower[], double upper[]) {
    return rangeEach(prob, "NVRArhssa", Kind::Row, nrows, rowind,
                     [&](const Ranging &r, int k, int i) {
                         double out[2];
                         rhsRange(prob->solution, prob->model, r, i, out);
                         put(lower, k, out[0]);
                         put(upper, k, out[1]);
                     });
}

int NVRAbndsa(NVRAprob prob, int ncols, const int colind[], double lblower[], double lbupper[],
              double ublower[], double ubupper[]) {
    return rangeEach(prob, "NVRAbndsa", Kind::Column, ncols, colind,
                     [&](const Ranging &r, int k, int j) {
                         double out[4];
                         boundRanges(prob->solution, prob->model, r, j, out);
                         put(lblower, k, out[0]);
                         put(lbupper, k, out[1]);
                         put(ublower, k, out[2]);
                         put(ubupper, k, out[3]);
                     });
}

int NVRAestimaterowdualranges(NVRAprob prob, int nrows, const int rowind[], int iterlim,
                              double mindual[], double maxdual[]) {
    const char *fn = "NVRAestimaterowdualranges";
    return engineCall(prob, fn, [&](Engine &e) {
        return dualRanges(prob, fn, e, nrows, rowind, iterlim, mindual, maxdual);
    });
}

} // extern "C"
