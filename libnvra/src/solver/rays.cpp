// rays.cpp: certificates of the last continuous solve: the dual ray of an infeasible problem, the
// primal ray of an unbounded one, and the non-basic entry along which it is unbounded.
#include "solver/analysis.h"

#include <cmath>

#include "highs_c_api.h"

namespace nvra {
namespace {

enum class Ray { Dual, Primal };

// The engine's dual ray has the opposite orientation of the library's (whose rows imply
// y'Ax <= the sum of y_i times the row's selected end).
constexpr double kDualRaySign = -1.0;

bool lastSolveEnded(const SolveState &st, int lpStatus) {
    return !st.solves.empty() && st.current().optimizeType == NVRA_OPTIMIZETYPE_LP &&
           st.current().lpStatus == lpStatus;
}

// The ray of the last solve into ray (when given), or *has = 0 when there is none.
int getRay(NVRAprob prob, const char *fn, Ray kind, double *ray, int *has) {
    return engineCall(prob, fn, [&](Engine &e) {
        if (int rc = requireNotPresolved(prob, fn)) return rc;
        const SolveState &st = prob->solution;
        const bool dual = kind == Ray::Dual;
        const int n = dual ? prob->model.numRows() : prob->model.numCols();
        std::vector<double> values(n);
        int exists = 0;
        if (lastSolveEnded(st, dual ? NVRA_LP_INFEAS : NVRA_LP_UNBOUNDED) && st.engineExact) {
            if (int rc = requireSolved(prob, fn, e)) return rc;
            // The engine computes a ray it does not hold yet (a presolve that found the problem
            // infeasible leaves none) when given an array.
            HighsInt h = 0;
            const long status = dual ? Highs_getDualRay(e.highs, &h, values.data())
                                     : Highs_getPrimalRay(e.highs, &h, values.data());
            exists = highsOk(status) && h ? 1 : 0;
        }
        if (has) *has = exists;
        if (!ray) return 0;
        if (!exists)
            return probError(prob, NVRA_RC_ERROR,
                             dual ? "%s: there is no dual ray: the last solve did not end with "
                                    "the continuous problem infeasible"
                                  : "%s: there is no primal ray: the last solve did not end with "
                                    "the continuous problem unbounded",
                             fn);
        for (int k = 0; k < n; ++k)
            ray[k] = (dual ? kDualRaySign : 1.0) * values[k] + 0.0;
        return 0;
    });
}

// The non-basic entry with a non-zero move along the primal ray (columns first, then the rows'
// activities), as a combined index; -1 when there is no ray or no basis.
int unboundedEntry(NVRAprob prob, const char *fn, int *seq) {
    if (!seq) return probError(prob, NVRA_RC_INVALID, "%s: null seq", fn);
    *seq = -1;
    int has = 0;
    if (int rc = getRay(prob, fn, Ray::Primal, nullptr, &has)) return rc;
    const SolveState &st = prob->solution;
    if (!has || st.basis.empty()) return 0;
    const Model &m = prob->model;
    std::vector<double> d(m.numCols());
    if (int rc = getRay(prob, fn, Ray::Primal, d.data(), nullptr)) return rc;
    const double tol = 1e-9;
    for (int j = 0; j < m.numCols(); ++j)
        if (st.basis.cols[j] != NVRA_BASIS_BASIC && std::fabs(d[j]) > tol) {
            *seq = combinedOffset(prob) + j;
            return 0;
        }
    for (int i = 0; i < m.numRows(); ++i) {
        if (st.basis.rows[i] == NVRA_BASIS_BASIC) continue;
        double move = 0.0;
        for (int64_t p = m.A.start[i]; p < m.A.start[i + 1]; ++p)
            move += m.A.value[p] * d[m.A.index[p]];
        if (std::fabs(move) > tol) {
            *seq = i;
            return 0;
        }
    }
    return 0;
}

} // namespace
} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAgetdualray(NVRAprob prob, double ray[], int *hasray) {
    return getRay(prob, "NVRAgetdualray", Ray::Dual, ray, hasray);
}

int NVRAgetprimalray(NVRAprob prob, double ray[], int *hasray) {
    return getRay(prob, "NVRAgetprimalray", Ray::Primal, ray, hasray);
}

int NVRAgetunbvec(NVRAprob prob, int *seq) {
    if (int rc = enterProb(prob)) return rc;
    return unboundedEntry(prob, "NVRAgetunbvec", seq);
}

} // extern "C"
