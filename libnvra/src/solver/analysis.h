// analysis.h: what the analysis entry points share: the frame of calls that use the engine,
// the checks that name what a call lacks, basis codes, combined indices, the library's notices,
// and the hooks through which a solve uses starts, held-back rows and keeps its basis.
#pragma once

#include "solver/solve.h"
#include "core/sigint.h"
#include "store/store.h"

#include <cstdarg>
#include <string>
#include <vector>

namespace nvra {

// ---- frames ---------------------------------------------------------------------------------

// Thrown by engine helpers when the engine refuses an operation; engineCall reports it.
struct EngineFailure {
    const char *what;
};

// A call that uses the engine (its factorisation, a run): refused while the problem is being
// solved (also from callbacks), with the problem busy meanwhile and the engine created; body
// receives it. Ctrl-C during the call stops the engine's runs as it stops a solve (IIS
// searches, repairs and tuning run many). Allocation failures become NVRA_RC_NOMEM.
template <class F> int engineCall(NVRAprob prob, const char *fn, F &&body) {
    if (int rc = enterProbEdit(prob)) return rc;
    BusyGuard busy(prob);
    if (!busy.held()) return probError(prob, NVRA_RC_BUSY, "%s: the problem is being solved", fn);
    return guarded(prob, fn, [&] {
        Engine *engine = nullptr;
        if (int rc = ensureEngine(prob, engine)) return rc;
        SigintBracket ctrlC;
        engine->sigintMark = sigintCount();
        try {
            return body(*engine);
        } catch (const EngineFailure &failure) {
            return engineError(prob, *engine, (std::string(fn) + ": " + failure.what).c_str());
        }
    });
}

// ---- what a call needs (0, or NVRA_RC_ERROR with a message naming what is missing) ----------

int requireNotPresolved(NVRAprob prob, const char *fn);
// A current solution (primal values).
int requireSolution(NVRAprob prob, const char *fn);
// Duals and reduced costs of the current solution.
int requireDuals(NVRAprob prob, const char *fn);
// The problem's basis.
int requireBasis(NVRAprob prob, const char *fn);
// The engine holding the model with the problem's basis factorised: after a continuous solve
// it already does; after a basis was loaded (or the engine was used for something else) the
// model is handed over again with the basis.
int requireFactor(NVRAprob prob, const char *fn, Engine &e);
// The engine holding the outcome of the last continuous solve (its solution, rays, ranging):
// as requireFactor, and when the engine was used since, the solve is repeated from its basis
// (no iterations) to restore it.
int requireSolved(NVRAprob prob, const char *fn, Engine &e);

// ---- indices ----------------------------------------------------------------------------------

// The first column of the combined row-or-column index: rows plus active cuts.
int combinedOffset(NVRAprob prob);
// A combined index as a row (isRow) or column; cuts and out-of-range values are errors.
int decodeCombined(NVRAprob prob, const char *fn, int index, bool &isRow, int &k);
// The engine's basic variable (column j >= 0, row -i-1) as a combined index.
int combinedFromEngine(NVRAprob prob, int basicVariable);

// ---- basis codes
// ---------------------------------------------------------------------------------

int basisFromEngine(int highsStatus);
int basisToEngine(int status);
// The ends of row i's activity (+-kInf when absent).
std::pair<double, double> rowEnds(const Model &m, int i);
// Checks a basis against the model: codes, ends that exist, the number of basic entries.
int checkBasis(NVRAprob prob, const char *fn, const Model &m, const int *rowstat,
               const int *colstat);

// ---- the engine's vectors ---------------------------------------------------------------------

// The engine's infinities as the library's 1e20.
double fromEngine(double v);
// runFromBasis, recording the outcome as the problem's solution (statuses, vectors, basis): for
// the calls that leave a new solution. img is the model the engine holds.
int runAndKeep(NVRAprob prob, Engine &e, const Image &img, int iterlim = -1);
// Runs the engine from the basis it holds (presolve off; at most iterlim simplex iterations when
// iterlim >= 0), then restores the options from the controls. The outcome into result.
int runFromBasis(NVRAprob prob, Engine &e, SolveResult &result, int iterlim = -1);
// Compiles the model as a continuous problem without library rows and hands it over; 0, or the
// error. img receives it.
int passContinuous(NVRAprob prob, Engine &e, Image &img);

// ---- vectors of a solution (calc.cpp) --------------------------------------------------------

// a_i x (+ the quadratic part) of every row.
std::vector<double> rowActivities(const Model &m, const double *x);
// How far an activity lies outside row i's ends, and a value outside column j's bounds and type
// (integrality within intTol); 0 when satisfied.
double rowViolation(const Model &m, int i, double activity);
double columnViolation(const Model &m, int j, double v, double intTol);
// x satisfies bounds, types, rows, sets and indicators within the problem's tolerances.
bool mipFeasible(NVRAprob prob, const double *x);
// c - A'y (+ Qx when x is given and the objective is quadratic).
std::vector<double> reducedCosts(const Model &m, const double *y, const double *x);

// ---- notices ------------------------------------------------------------------------------------

// A notice of the library (code NVRA_MSG_*) to the problem's messages unless its code is
// switched off or the output is off. printf-style.
void notice(NVRAprob prob, int code, int type, const char *fmt, ...)
    __attribute__((format(printf, 4, 5)));

// ---- hooks of the solve (solve.cpp) -------------------------------------------------------------

// Hands the engine what the next solve starts from (loaded basis, MIP starts), dropping starts
// that no longer fit the problem; warns about branching directives, which the engine ignores.
int applyStarts(NVRAprob prob, Engine &e, const Image &img);
// One run with held-back rows: runs, restores the held rows the solution violates, and runs
// again until none is violated (heldrows.cpp).
int runWithHeldRows(NVRAprob prob, Engine &e, Image &img, SolveResult &result);
// Puts the rows held back in img back at their ends, for the solvers that take the whole problem
// at once (the library's quadratic routes).
void unholdRows(Image &img);
// After a solve: the basis of a continuous solve of the model as it is, and whether the engine
// holds that model exactly (no auxiliary rows or columns, objective 0, no held rows).
void keepAnalysis(NVRAprob prob, Engine &e, const Image &img, SolveState &st);
// A presolve-only solve (flag 'r'): presolves, solves the presolved problem in an engine of its
// own and leaves the problem in its presolved state (presolve.cpp).
int presolveOnly(NVRAprob prob, Engine &e, const Image &img, SolveState &st);

} // namespace nvra
