// multistart.h: multistart solves. The nonlinear problem's jobs (NSLPmsaddjob, NSLPmsaddpreset,
// NSLPmsaddcustompreset) each become one or more local solves from a starting point of their
// own with control values of their own; the winner is the feasible run with the best objective
// (the first one on ties), else, when no run found a feasible point, the run whose point
// violates the rows and bounds least. Runs go one after another: Ipopt's linear solver and the
// user functions of one problem allow one evaluation at a time, so parallel runs would wait on
// each other on the interior-point path (control ms_threads is kept for a later parallel SLP
// path). Callbacks: msjobstart before a run (a status of 1 skips it), msjobend after it, and
// mswinner for the winner.
#pragma once

#include "solver/interior.h"
#include "solver/qcprogram.h"

#include <functional>
#include <string>
#include <vector>

struct tagNSLPproblem;

namespace nvra {

// One local solve: its outcome, its statuses and its error code (0 or an NVRA_RC_*).
struct LocalRun {
    NlpOutcome out;
    SolveResult result;
    int rc = 0;
    bool slp = false;
};
using LocalSolve = std::function<LocalRun(std::vector<double> start)>;

// Runs every job of nl from start (image columns; random and perturbed points drawn with control
// ms_seed); a stop request ends the runs. Returns the winner (with the number of runs made in
// its result's nlpSolves when the interior-point solver ran).
LocalRun runMultistart(NVRAprob prob, tagNSLPproblem *nl, const QcProgram &qp,
                       const std::vector<double> &start, const NlpSetup &bounds,
                       const Deadline &deadline, const LocalSolve &solve);

} // namespace nvra
