// solution.cpp: the solution of the last optimisation: single vectors over an index range with
// their availability, the full vectors of a continuous or MIP solve, and the callback variants.
#include "core/callbacks.h"
#include "store/store.h"

#include <algorithm>

using namespace nvra;

namespace {

using Vector = std::vector<double> SolveState::*;
using Availability = int SolveState::*;

// One vector over a range: the availability in *status, the values (when available and out is
// given) in out. Nothing available is not an error.
int getVector(NVRAprob prob, bool rows, int *status, double out[], int first, int last,
              Vector vector, Availability availability) {
    if (int rc = enterProb(prob)) return rc;
    if (int rc = checkRange(prob, rows ? Kind::Row : Kind::Column, first, last)) return rc;
    const std::vector<double> &values = prob->solution.*vector;
    const int avail = values.empty() ? NVRA_AVAIL_NONE : prob->solution.*availability;
    if (status) *status = avail;
    if (avail != NVRA_AVAIL_NONE && out)
        std::copy(values.begin() + first, values.begin() + last + 1, out);
    return NVRA_RC_OK;
}

// A full vector for getlpsol or getmipsol: copied when requested; requested and missing is an
// error naming it.
int copyFull(NVRAprob prob, const char *fn, const char *what, double out[],
             const std::vector<double> &values, bool available) {
    if (!out) return NVRA_RC_OK;
    if (!available || values.empty())
        return probError(prob, NVRA_RC_ERROR, "%s: the %s are not available", fn, what);
    std::copy(values.begin(), values.end(), out);
    return NVRA_RC_OK;
}

// A vector of the callback running on this thread over a range: the solution the callback
// reports (intsol, preintsol) and its slacks; the engine gives no duals or reduced costs in
// callbacks and no presolved values, so those (and anything outside such a callback) are not
// available.
enum class CallbackVector { Solution, Slacks, None };

int callbackVector(NVRAprob prob, const char *fn, CallbackVector what, int *available, double out[],
                   int first, int last) {
    if (int rc = enterProb(prob)) return rc;
    if (!available) return probError(prob, NVRA_RC_INVALID, "%s: null availability argument", fn);
    const bool rows = what == CallbackVector::Slacks;
    if (int rc = checkRange(prob, rows ? Kind::Row : Kind::Column, first, last)) return rc;
    const std::vector<double> *x = callbackSolution(prob);
    *available = x && what != CallbackVector::None ? NVRA_AVAIL_FEASIBLE : NVRA_AVAIL_NONE;
    if (!*available || !out) return NVRA_RC_OK;
    if (what == CallbackVector::Solution) {
        std::copy(x->begin() + first, x->begin() + last + 1, out);
        return NVRA_RC_OK;
    }
    const Model &m = prob->model;
    for (int i = first; i <= last; ++i)
        out[i - first] = m.rhs[i] - m.activity(i, x->data());
    return NVRA_RC_OK;
}

} // namespace

extern "C" {

int NVRAgetsolution(NVRAprob prob, int *status, double x[], int first, int last) {
    return getVector(prob, false, status, x, first, last, &SolveState::x, &SolveState::primalAvail);
}

int NVRAgetslacks(NVRAprob prob, int *status, double slacks[], int first, int last) {
    return getVector(prob, true, status, slacks, first, last, &SolveState::slack,
                     &SolveState::primalAvail);
}

int NVRAgetduals(NVRAprob prob, int *status, double duals[], int first, int last) {
    return getVector(prob, true, status, duals, first, last, &SolveState::dual,
                     &SolveState::dualAvail);
}

int NVRAgetredcosts(NVRAprob prob, int *status, double djs[], int first, int last) {
    return getVector(prob, false, status, djs, first, last, &SolveState::redCost,
                     &SolveState::dualAvail);
}

int NVRAgetlpsol(NVRAprob prob, double x[], double slack[], double duals[], double djs[]) {
    if (int rc = enterProb(prob)) return rc;
    const SolveState &s = prob->solution;
    const char *fn = "NVRAgetlpsol";
    const bool primal = !s.fromMip && s.primalAvail != NVRA_AVAIL_NONE;
    const bool dual = !s.fromMip && s.dualAvail != NVRA_AVAIL_NONE;
    if (int rc = copyFull(prob, fn, "primal values", x, s.x, primal)) return rc;
    if (int rc = copyFull(prob, fn, "slacks", slack, s.slack, primal)) return rc;
    if (int rc = copyFull(prob, fn, "duals", duals, s.dual, dual)) return rc;
    return copyFull(prob, fn, "reduced costs", djs, s.redCost, dual);
}

int NVRAgetmipsol(NVRAprob prob, double x[], double slack[]) {
    if (int rc = enterProb(prob)) return rc;
    const SolveState &s = prob->solution;
    const bool available = s.fromMip && s.primalAvail != NVRA_AVAIL_NONE;
    if (!available)
        return probError(prob, NVRA_RC_ERROR, "NVRAgetmipsol: no MIP solution is available");
    if (int rc = copyFull(prob, "NVRAgetmipsol", "primal values", x, s.x, true)) return rc;
    return copyFull(prob, "NVRAgetmipsol", "slacks", slack, s.slack, true);
}

int NVRAgetcallbacksolution(NVRAprob prob, int *available, double x[], int first, int last) {
    return callbackVector(prob, "NVRAgetcallbacksolution", CallbackVector::Solution, available, x,
                          first, last);
}
int NVRAgetcallbackslacks(NVRAprob prob, int *available, double slacks[], int first, int last) {
    return callbackVector(prob, "NVRAgetcallbackslacks", CallbackVector::Slacks, available, slacks,
                          first, last);
}
int NVRAgetcallbackduals(NVRAprob prob, int *available, double[], int first, int last) {
    return callbackVector(prob, "NVRAgetcallbackduals", CallbackVector::None, available, nullptr,
                          first, last);
}
int NVRAgetcallbackredcosts(NVRAprob prob, int *available, double[], int first, int last) {
    return callbackVector(prob, "NVRAgetcallbackredcosts", CallbackVector::None, available, nullptr,
                          first, last);
}

// The presolved problem's values for the running callback: the engine shows callbacks none.
int NVRAgetcallbackpresolvesolution(NVRAprob prob, int *available, double[], int first, int last) {
    return callbackVector(prob, "NVRAgetcallbackpresolvesolution", CallbackVector::None, available,
                          nullptr, first, last);
}
int NVRAgetcallbackpresolveslacks(NVRAprob prob, int *available, double[], int first, int last) {
    return callbackVector(prob, "NVRAgetcallbackpresolveslacks", CallbackVector::None, available,
                          nullptr, first, last);
}
int NVRAgetcallbackpresolveduals(NVRAprob prob, int *available, double[], int first, int last) {
    return callbackVector(prob, "NVRAgetcallbackpresolveduals", CallbackVector::None, available,
                          nullptr, first, last);
}
int NVRAgetcallbackpresolveredcosts(NVRAprob prob, int *available, double[], int first, int last) {
    return callbackVector(prob, "NVRAgetcallbackpresolveredcosts", CallbackVector::None, available,
                          nullptr, first, last);
}

} // extern "C"
