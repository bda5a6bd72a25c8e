// interior.h: continuous programs with quadratic rows or objective solved by the interior-point
// method of Ipopt, fed the exact first and second derivatives of the program. Cones are passed
// in their quadratic form as stored (sum d x^2 - a t^2 <= rhs with t kept >= 0 by its bounds):
// it is smooth, and where the cone's point is not its apex a KKT point of a convex objective
// over the cone is a global optimum. Ipopt's output goes to the problem's message callbacks,
// never to the terminal; one Ipopt solve runs at a time in the process (its linear solver keeps
// process-wide state).
#pragma once

#include "solver/deadline.h"
#include "solver/qcprogram.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <functional>
#include <vector>

namespace Ipopt {
class Journalist;
class OptionsList;
} // namespace Ipopt

namespace nvra {

class NlpKernel;

struct NlpSetup {
    std::vector<double> lower, upper; // column bounds (numCols)
    const double *start = nullptr;    // starting point, or nullptr for 0 moved into the bounds
    int printLevel = 0;               // Ipopt's print level; 0 = nothing on the log
    bool singletonBounds = false;     // see NlpKernel::build
    bool feasibilityOnly = false;     // no objective: any feasible point
    // The nonlinear solver's own settings, where they replace the optimizer's controls: the
    // iteration limit (-1: control bariterlimit), the tolerances (0: from the optimizer's), a
    // limited-memory Hessian instead of the exact one, the monotone barrier strategy.
    int64_t iterLimit = -1;
    double tol = 0.0, acceptableTol = 0.0;
    bool limitedMemoryHessian = false, monotone = false;
    // Called after each iteration (empty: nothing); a stop it requests through the problem's
    // interrupt ends the solve.
    std::function<void()> iterationEnd;
};

struct NlpOutcome {
    // Acceptable: the solver stopped at its looser "acceptable" tolerances (it could not reach
    // the requested ones): a point that may be feasible but is not proven optimal.
    enum class End { Optimal, Acceptable, Infeasible, Unbounded, Stopped, Failed };
    End end = End::Failed;
    int stop = NVRA_STOP_NONE; // for End::Stopped: why
    std::vector<double> x;     // the last point (numCols); empty when the solve did not start
    // Ipopt's multiplier of each image row (0 for rows not handed over): with L = f + y'g,
    // positive on rows at their upper bound when minimising.
    std::vector<double> rowMult;
    int64_t iterations = 0;
    std::string detail; // for End::Failed: what the solver reported
};

// Solves program qp over the column bounds of setup. Returns 0, or NVRA_RC_NOMEM (outcome then
// Failed); every other result is in outcome. Columns with equal bounds are fixed; rows whose
// columns are all fixed are checked rather than handed over.
int solveNlp(NVRAprob prob, const QcProgram &qp, const NlpSetup &setup, const Deadline &deadline,
             NlpOutcome &outcome);

// solveNlp for a whole continuous program (integrality relaxed), tested first for a direction of
// unbounded descent (ray.h): with one, only feasibility is sought, and a feasible program ends
// Unbounded (without a point), an infeasible one Infeasible.
int solveContinuous(NVRAprob prob, const QcProgram &qp, const NlpSetup &setup,
                    const Deadline &deadline, NlpOutcome &outcome);

// The continuous program at the integer assignment of point (its integer columns rounded and
// fixed, singleton rows as bounds), started from point with the integers rounded.
int solveAssignment(NVRAprob prob, const QcProgram &qp, const double *point,
                    const Deadline &deadline, NlpOutcome &outcome);
// Rounds the image's integer columns of x (image columns) to the nearest integers.
void roundIntegers(const Image &img, double *x);

// The column bounds of the image as the interior-point solver takes them: integer columns
// relaxed to their bounds, the engine's semi-continuous columns to [min(0, lower), upper].
NlpSetup relaxedSetup(const Image &img);

// Ipopt's options from the problem's controls: no banner, tolerances from feastol and opttol
// (its relaxation of the bounds of kernel k within them), iterations from bariterlimit.
// constantDerivatives: the rows are linear and the objective at most quadratic.
void setIpoptOptions(NVRAprob prob, Ipopt::OptionsList &options, const NlpKernel &k,
                     bool constantDerivatives);
// Adds a journal that hands Ipopt's lines at printLevel (none at 0) to the problem's message
// callbacks.
void addLogJournal(NVRAprob prob, int printLevel, Ipopt::Journalist &journalist);

// Ipopt's linear solver (MUMPS, sequential) keeps process-wide state, and so does Bonmin: one
// of their solves runs at a time. Waits for the turn of the calling solve, giving up with the
// deadline's stop reason when a stop is requested meanwhile (lock then stays unlocked).
int lockIpopt(const Deadline &deadline, std::unique_lock<std::timed_mutex> &lock);

// Ipopt's print level for a solve at the problem's output level: its iteration log for
// top-level solves at the normal level, nothing for subproblems unless the level is detailed.
int nlpPrintLevel(NVRAprob prob, bool subproblem);

} // namespace nvra
