// multistart.h: multistart solves. The nonlinear problem's jobs (NSLPmsaddjob, NSLPmsaddpreset,
// NSLPmsaddcustompreset) each become one or more local solves from a starting point of their
// own with control values of their own; the winner is the feasible run with the best objective
// (the first one in job order on ties), else, when no run found a feasible point, the run whose
// point violates the rows and bounds least. Callbacks: msjobstart before a run (a status of 1
// skips it), msjobend after it, and mswinner for the winner.
//
// Runs of the successive linear programming solver go side by side on worker threads (control
// ms_threads, 0: one per core) when nothing in them calls back into the caller: no user function
// is registered, no callback but the message callback is set, no column is cascaded. Each worker
// has its own program over the shared formulas (the evaluator allows one evaluation per thread
// workspace) and each run its own engine instance; the controls are read on the calling thread
// before the runs start, and the runs' logs and failures (the problem's last error) are written
// afterwards in run order, so the winner, the log and the error do not depend on the threads'
// timing. Interior-point runs stay serial: the MUMPS
// linear solver of Debian's Ipopt is not re-entrant.
#pragma once

#include "solver/interior.h"
#include "solver/qcprogram.h"
#include "solver/slp.h"

#include <functional>
#include <random>
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

// A local solve between its steps: the start and the settings read from the controls, then the
// solver's outcome and code.
struct PreparedRun {
    bool slp = false;
    std::vector<double> start;
    NlpSetup setup;
    SlpSettings settings;
    NlpOutcome out;
    int rc = 0;
};

// A local solve in three steps: prepare (the calling thread, under the run's control values),
// solve (on program qp: the problem's own, or a worker's copy of it with concurrent set, when
// the solve must keep its log lines in log for the caller) and finish (the calling thread:
// statuses, errors).
struct LocalSolver {
    std::function<PreparedRun(std::vector<double> start)> prepare;
    std::function<void(PreparedRun &run, const QcProgram &qp, std::vector<std::string> *log)> solve;
    std::function<LocalRun(PreparedRun &run)> finish;
    // Whether the successive linear programming runs may go side by side (see above).
    bool concurrent = false;
};

// A uniform point of the column box of b into x; sides(j, lo, up) makes the infinite sides of
// column j finite (it is called only for a column with one).
using BoxSides = std::function<void(size_t j, double &lo, double &up)>;
void randomPoint(const NlpSetup &b, const BoxSides &sides, std::mt19937_64 &rng,
                 std::vector<double> &x);

// Runs every job of nl from start (image columns; random and perturbed points drawn with control
// ms_seed); a stop request ends the runs. Returns the winner (with the number of runs made in
// its result's nlpSolves when the interior-point solver ran).
LocalRun runMultistart(NVRAprob prob, tagNSLPproblem *nl, const QcProgram &qp,
                       const std::vector<double> &start, const NlpSetup &bounds,
                       const Deadline &deadline, const LocalSolver &solver);

} // namespace nvra
