// solve.h: what the optimisation entry points (solve.cpp) share with the multi-objective driver
// (multiobj.cpp): one run of the engine on the model it holds, mapped to the library's statuses.
#pragma once

#include "solver/classify.h"
#include "solver/compile.h"
#include "solver/engine.h"
#include "solver/interior.h"
#include "core/problem.h"

#include <vector>

namespace nvra {

// The busy flag for the length of a solve. A request to interrupt made before the solve is
// forgotten; one made once the flag is up is kept (callers wait for the flag before they
// interrupt). A refused second solve gives the running one its request back.
class BusyGuard {
  public:
    explicit BusyGuard(NVRAprob prob) : prob_(prob) {
        const int stale = prob->interruptReason.exchange(0);
        bool idle = false;
        held_ = prob->busy.compare_exchange_strong(idle, true);
        if (!held_ && stale) prob->interruptReason.store(stale);
    }
    ~BusyGuard() {
        if (held_) prob_->busy.store(false);
    }
    bool held() const { return held_; }

  private:
    NVRAprob prob_;
    bool held_;
};

// Whether the model has integer entities (columns other than 'C', sets, indicators).
bool hasEntities(const Model &m);
// The library's own remarks about a solve, silenced with the engine's log (control outputlog).
void note(NVRAprob prob, const char *msg, int type);
// The outcome of the last run of a HiGHS instance in the library's statuses (runFailed: the
// run reported an error, so none of its information is read).
SolveResult engineOutcome(void *highs, bool mip, bool runFailed, int sense);
// The engine's solution after a run, cut to the user's rows and columns, into st (x, slack and,
// after an optimal continuous solve, duals and reduced costs), with its availability.
void keepSolution(Engine &e, const Image &img, const SolveResult &last, SolveState &st);

// Runs the engine once (clocks zeroed first) and maps its outcome into result; during an
// optimisation the before- and afterobjective callbacks run around it (core/callbacks.h). A
// continuous run that ends "infeasible or unbounded" is repeated once without presolve to tell them
// apart. Returns 0, or NVRA_RC_ENGINE with the engine's message when the engine reported an error
// (result then says so: solve status failed).
int runEngine(NVRAprob prob, Engine &engine, bool mip, SolveResult &result);

// Solves the priority levels of a problem with objectives 1..k (multiobj.cpp): one run per
// level, each appended to results; stops after the first level that does not end optimal.
// The engine holds img with objective 0's costs; they are changed per level and the rows that
// keep earlier levels within their tolerances are removed again at the end.
int solveLevels(NVRAprob prob, Engine &engine, const Image &img, std::vector<SolveResult> &results);

// Solves a problem with quadratic rows, or with integer entities and a quadratic objective
// (qcsolve.cpp): continuous ones on the interior-point solver, mixed-integer ones by outer
// approximation or Bonmin (control miqcqpalg). Fills st, also when the solve fails. The quadratic
// parts must have passed classifyQuadratics; img is compiled with CompileOptions::nativeSemi off.
int solveQuadratic(NVRAprob prob, const char *fn, Engine &engine, Image &img, const QuadInfo &quad,
                   SolveState &st);

// Solves a problem that holds formulas (nlsolve.cpp): locally, by the interior-point solver on
// the whole program (formulas, quadratic parts of any shape) or, with integer columns, by
// Bonmin's branch and bound. Fills st (with the nonlinear status), also when the solve fails,
// and leaves the nonlinear problem's current point at the solution. img is compiled with
// CompileOptions::nativeSemi off.
int solveNonlinear(NVRAprob prob, const char *fn, Engine &engine, Image &img, SolveState &st);

// The interior-point solver's end (nlp) on program qp as the library's statuses (qcsolve.cpp).
SolveResult continuousResult(NVRAprob prob, const QcProgram &qp, const NlpOutcome &nlp);

// NVRA_AVAIL_* of a solution with solution status solStatus.
int availability(int solStatus);

// The point x (image columns) of a solve of the library's own routes as the problem's
// solution: values, slacks (rhs - activity, quadratic parts and formulas included) and, with the
// solver's multipliers rowMult (given only where they belong to the point: a converged solve),
// duals and reduced costs of availability dualAvail. Nothing is available when the statuses of
// the last solve found no solution or the formulas cannot be evaluated at x.
void keepPoint(const QcProgram &qp, const std::vector<double> &x,
               const std::vector<double> *rowMult, int dualAvail, SolveState &st);

} // namespace nvra
