// nlsolve.cpp: solves of problems that hold formulas. They are solved locally: the program is
// the image's rows and columns with their linear and quadratic parts (of any shape: a non-convex
// quadratic row is one more smooth function here) plus the formulas, evaluated with exact first
// and second derivatives. Continuous problems go to the interior-point solver or the successive
// linear programming solver (control nlp_solver), problems with integer columns to a branch and
// bound whose nodes are solved locally as well: the library's own over the successive linear
// programming solver with nlp_solver = 1 (nlbranch.cpp), Bonmin's over the interior-point solver
// otherwise.
//
// Statuses. A local solver proves nothing global on its own, so a point where it converged is
// reported as a feasible solution (NVRA_SOLSTATUS_FEASIBLE, "feasible, not proven optimal") with
// nonlinear status NSLP_STATUS_LOCALLY_OPTIMAL, and no bound is claimed; a point of least
// violation where the solver stops without a feasible one gives NSLP_STATUS_LOCALLY_INFEASIBLE
// and NVRA_SOLSTATUS_INFEASIBLE, the point kept as the nonlinear problem's current point.
// A problem proven convex (convexity_model.h; the verdict is one line of the log) is the
// exception: there a converged local solve is globally optimal (NVRA_SOLSTATUS_OPTIMAL,
// NSLP_STATUS_OPTIMAL, its objective as the bound), and Bonmin's branch and bound, whose node
// relaxations are then solved to their global optima, proves its optimum and its bound. The
// library's own branch and bound over successive linear programming keeps reporting a solution:
// a node whose solve fails is dropped, so its search is not exhaustive.
#include "solver/convexity_model.h"
#include "solver/minlp.h"
#include "solver/multistart.h"
#include "solver/nlbranch.h"
#include "solver/slp.h"
#include "solver/solve.h"

#include "core/callbacks.h"
#include "core/sigint.h"
#include "nonlinear/activity.h"
#include "nonlinear/evaluator.h"
#include "nonlinear/nlcontrols.h"
#include "nonlinear/nlprob.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>

namespace nvra {
namespace {

// Every quadratic row as a smooth function (no classification: the solve is local anyway).
QuadInfo smoothQuadratics(const Model &m) {
    QuadInfo q;
    for (const auto &[row, P] : m.qrows)
        if (!P.v.empty()) {
            QuadRow r;
            r.row = row;
            q.rows.push_back(r);
        }
    q.hasObjective = !m.Q.v.empty();
    q.objective = Convexity::NotConvex;
    return q;
}

// The interior-point settings of the nonlinear problem's controls.
NlpSetup localSetup(NVRAprob prob, NSLPprob nl, const Image &img,
                    const std::vector<double> &start) {
    NlpSetup s = relaxedSetup(img);
    s.start = start.data();
    const int64_t level = nl::intControl(nl, nl::kIpmCtrlPrintLevel);
    s.printLevel = level > 0 ? static_cast<int>(level) : nlpPrintLevel(prob, false);
    s.iterLimit = nl::intControl(nl, nl::kIpmCtrlIterLimit);
    s.tol = nl::dblControl(nl, nl::kIpmCtrlTol);
    s.acceptableTol = nl::dblControl(nl, nl::kIpmCtrlAcceptableTol);
    s.limitedMemoryHessian = nl::intControl(nl, nl::kIpmCtrlHessian) == 1;
    s.monotone = nl::intControl(nl, nl::kIpmCtrlMuStrategy) == 0;
    return s;
}

// A converged local solve proves no global optimality: feasible, locally optimal, no bound.
// A branch and bound over local relaxations has found a solution but proved nothing either.
void markLocal(SolveResult &r) {
    if (r.mipStatus == NVRA_MIP_OPTIMAL) r.mipStatus = NVRA_MIP_SOLUTION;
    switch (r.solStatus) {
    case NVRA_SOLSTATUS_OPTIMAL:
        r.solStatus = NVRA_SOLSTATUS_FEASIBLE;
        r.nlpStatus = NSLP_STATUS_LOCALLY_OPTIMAL;
        break;
    case NVRA_SOLSTATUS_FEASIBLE:
        r.nlpStatus = r.solveStatus == NVRA_SOLVESTATUS_STOPPED ? NSLP_STATUS_UNFINISHED
                                                                : NSLP_STATUS_LOCALLY_OPTIMAL;
        break;
    case NVRA_SOLSTATUS_INFEASIBLE:
        r.nlpStatus = NSLP_STATUS_LOCALLY_INFEASIBLE;
        break;
    case NVRA_SOLSTATUS_UNBOUNDED:
        r.nlpStatus = NSLP_STATUS_UNBOUNDED;
        break;
    default:
        r.nlpStatus =
            r.solveStatus == NVRA_SOLVESTATUS_STOPPED ? NSLP_STATUS_UNFINISHED : NSLP_STATUS_FAILED;
        break;
    }
}

// Drops the claims of a global bound that a local solve cannot make.
void dropBound(SolveResult &r, int sense) {
    r.bestBound = -kInf * sense;
    r.mipGap = kInf;
}

// The statuses of a finished solve as far as it proves them: on a convex problem an optimum
// (OPTIMAL, and a MIP status OPTIMAL of Bonmin's search) stands as the global one, and a bound
// its solver gives is kept; otherwise the result is local and claims no bound.
void settle(SolveResult &r, bool convex, int sense) {
    if (convex && r.solStatus == NVRA_SOLSTATUS_OPTIMAL) {
        r.nlpStatus = NSLP_STATUS_OPTIMAL;
        return;
    }
    const int mipStatus = r.mipStatus;
    markLocal(r);
    if (!convex) {
        dropBound(r, sense);
        return;
    }
    r.mipStatus = mipStatus;
}

// The columns' current values follow the solve's last point (user columns).
void keepCurrentPoint(NSLPprob nl, const Image &img, const std::vector<double> &x) {
    if (x.empty()) return;
    for (int j = 0; j < img.userCols; ++j)
        nl->data.colForEdit(j).value = x[j] + 0.0;
}

// A starting point where the formulas and their derivatives can be evaluated (the interior-point
// solver cannot start elsewhere): x itself, else one of up to 100 points drawn uniformly from the
// column box (seeded by control ms_seed; infinite bounds replaced by a box around x). False when
// none is found (x is left as it was).
bool evaluableStart(NSLPprob nl, const QcProgram &qp, const NlpSetup &s, std::vector<double> &x) {
    if (qp.evalFormulas(x.data(), true)) return true;
    std::mt19937_64 rng(static_cast<uint64_t>(nl::intControl(nl, nl::kNlCtrlMsSeed)));
    const BoxSides aroundX = [&x](size_t j, double &lo, double &up) {
        const double reach = 10.0 * (1.0 + std::fabs(x[j]));
        if (lo <= -kInf) lo = x[j] - reach;
        if (up >= kInf) up = x[j] + reach;
    };
    std::vector<double> candidate(x.size());
    for (int attempt = 0; attempt < 100; ++attempt) {
        randomPoint(s, aroundX, rng, candidate);
        if (qp.evalFormulas(candidate.data(), true)) {
            x.swap(candidate);
            return true;
        }
    }
    return false;
}

// The columns cascaded during a solve, in cascading order.
int solveCascadeOrder(NSLPprob nl, const char *fn, std::vector<int32_t> &order) {
    if (int rc = nl::cascadeOrder(nl, fn, order)) return rc;
    order.erase(std::remove_if(order.begin(), order.end(),
                               [&](int32_t j) { return !nl::cascadesInSolve(nl, j); }),
                order.end());
    return 0;
}

// x with its cascaded columns recomputed (a column whose row cannot be solved keeps its value).
void cascadePoint(NSLPprob nl, const std::vector<int32_t> &order, std::vector<double> &x) {
    const int defaultLimit = static_cast<int>(nl::intControl(nl, nl::kNlCtrlCascadeNLimit));
    std::string why;
    for (int32_t j : order) {
        const int own = nl->data.col(j).cascadeLimit;
        nl::cascadeColumn(nl, j, x, own ? own : defaultLimit, why);
    }
}

// The successive linear programming settings of the nonlinear problem's controls and data.
SlpSettings slpSettings(NVRAprob prob, NSLPprob nl, const Image &img,
                        const std::vector<int32_t> &cascadeOrder) {
    SlpSettings s;
    s.iterLimit = nl::intControl(nl, nl::kNlCtrlIterLimit);
    s.feasTol = nl::dblControl(nl, nl::kNlCtrlFeasTol);
    s.absStep = nl::dblControl(nl, nl::kNlCtrlAbsStepTol);
    s.relStep = nl::dblControl(nl, nl::kNlCtrlRelStepTol);
    s.objAbs = nl::dblControl(nl, nl::kNlCtrlObjAbsTol);
    s.objRel = nl::dblControl(nl, nl::kNlCtrlObjRelTol);
    s.optTol = nl::dblControl(nl, nl::kNlCtrlOptTol);
    s.initialStep = nl::dblControl(nl, nl::kNlCtrlDefaultStep);
    s.penalty = nl::dblControl(nl, nl::kNlCtrlPenalty);
    s.penaltyGrowth = nl::dblControl(nl, nl::kNlCtrlPenaltyGrowth);
    s.rowWeight.assign(img.numRows(), 1.0);
    for (int r = 0; r < img.userRows; ++r)
        s.rowWeight[r] = nl->data.row(r).weight;
    s.colStep.assign(img.numCols(), kInf);
    for (int j = 0; j < img.userCols; ++j)
        s.colStep[j] = nl->data.col(j).initStep;
    s.log = nl::intControl(nl, nl::kNlCtrlLog) > 0 &&
            prob->controls.ints[intSlot::kCtrlOutputLog] != NVRA_OUTPUT_NONE;
    s.cascade = [nl, order = cascadeOrder](std::vector<double> &x) { cascadePoint(nl, order, x); };
    return s;
}

// A nonlinear objective's transfer pair: the row t = (its formulas), 'E' with right-hand side 0
// and the one entry -1 of column t, which carries the objective (cost c_t, free, in no other
// row). Solved as it is, the objective is an equality row to the local solvers (Ipopt then takes
// several times the iterations); instead the formulas move into the objective (times c_t), the
// row leaves the program (free) and t is fixed at 0 without cost, and after the solve t is
// cascaded from its row again and the row's slack and dual are those of the pair.
struct Transfer {
    int row = -1, col = -1;
    double cost = 0.0;
};

Transfer findTransfer(NSLPprob nl, const Model &m, const Image &img) {
    for (int t = 0; t < img.userCols; ++t) {
        const int r = nl->data.col(t).detrow;
        if (r < 0 || !(nl->data.row(r).status & NSLP_ROW_OBJECTIVE)) continue;
        const bool plainRow = m.A.start[r + 1] - m.A.start[r] == 1 &&
                              m.A.index[m.A.start[r]] == t && m.A.value[m.A.start[r]] == -1.0 &&
                              !m.qrows.count(r) && img.rowLower[r] == 0.0 && img.rowUpper[r] == 0.0;
        const bool freeCol = img.colLower[t] <= -kInf && img.colUpper[t] >= kInf &&
                             img.colType[t] == kHighsVarTypeContinuous;
        if (!plainRow || !freeCol) return {};
        for (int i = 0; i < m.numRows(); ++i) // t in no other row, nor in the objective's Q
            for (int64_t k = m.A.start[i]; k < m.A.start[i + 1]; ++k)
                if (i != r && m.A.index[k] == t) return {};
        for (size_t k = 0; k < m.Q.v.size(); ++k)
            if (m.Q.i[k] == t || m.Q.j[k] == t) return {};
        return {r, t, img.cost[t]};
    }
    return {};
}

// The formulas of the transfer row moved into the objective (a copy of the problem's data), and
// the row and column out of the program.
void liftTransfer(const Transfer &tr, nl::NlData &data, Image &img) {
    nl::Formula f;
    for (const auto &[row, col] : data.coefs.cells()) {
        if (row != tr.row) continue;
        for (int32_t piece : data.coefs.cellPieces(row, col)) {
            data.coefs.pieceFormula(piece, f);
            data.coefs.add(NSLP_OBJECTIVE, col, tr.cost * data.coefs.pieces[piece].factor, f);
        }
        data.coefs.remove(row, col);
    }
    img.rowLower[tr.row] = -kInf;
    img.rowUpper[tr.row] = kInf;
    img.cost[tr.col] = 0.0;
    img.colLower[tr.col] = img.colUpper[tr.col] = 0.0;
}

// What the solves share: the program, the cascading order, the transfer pair taken out and
// whether the problem is proven convex.
struct Solving {
    NSLPprob nl;
    const QcProgram &qp;
    const std::vector<int32_t> &order;
    Transfer transfer;
    bool convex;
};

// The solve's point x kept as the solution: t cascaded back, the pair's slack 0 and its dual
// the one that prices t at its cost.
void keepRun(const Solving &s, std::vector<double> x, const std::vector<double> *rowMult,
             SolveState &st) {
    if (!x.empty() && s.transfer.col >= 0) cascadePoint(s.nl, {s.transfer.col}, x);
    const int nlpStatus = st.current().nlpStatus;
    const bool converged =
        nlpStatus == NSLP_STATUS_LOCALLY_OPTIMAL || nlpStatus == NSLP_STATUS_OPTIMAL;
    keepPoint(s.qp, x, converged ? rowMult : nullptr,
              nlpStatus == NSLP_STATUS_OPTIMAL ? NVRA_AVAIL_OPTIMAL : NVRA_AVAIL_FEASIBLE, st);
    keepCurrentPoint(s.nl, s.qp.image(), x);
    if (s.transfer.row < 0 || st.primalAvail == NVRA_AVAIL_NONE) return;
    st.slack[s.transfer.row] = 0.0;
    if (st.dualAvail == NVRA_AVAIL_NONE) return;
    st.dual[s.transfer.row] = -s.transfer.cost + 0.0;
    st.redCost[s.transfer.col] = 0.0;
}

// The nonlinear problem's callbacks at the points of the successive linear programming solver,
// and its log as the nonlinear problem's messages. A failure in the objective's formulas is
// named by their coefficient in the transfer row when they were moved out of it (transferRow).
SlpSettings::Hooks slpHooks(NSLPprob nl, const QcProgram &qp, int transferRow) {
    using nl::Cb;
    SlpSettings::Hooks h;
    h.message = [nl](const char *line) { nl::nlMessage(nl, line, 1); };
    if (nl::hasCallback(nl, Cb::IterStart)) h.iterStart = [nl] { nl::fireStop(nl, Cb::IterStart); };
    if (nl::hasCallback(nl, Cb::IterEnd)) h.iterEnd = [nl] { nl::fireStop(nl, Cb::IterEnd); };
    if (nl::hasCallback(nl, Cb::PreUpdateLinearization))
        h.repeatLinearization = [nl] { return nl::fireRepeatLinearization(nl); };
    if (nl::hasCallback(nl, Cb::CoefEvalError))
        h.evaluationFailed = [nl, &qp, transferRow] {
            if (const nl::EvalFailure *f = qp.lastFailure())
                nl::fireCoefEvalError(
                    nl, f->row == NSLP_OBJECTIVE && transferRow >= 0 ? transferRow : f->row,
                    f->col);
        };
    if (nl::hasCallback(nl, Cb::IterVar))
        h.columnVerdict = [nl, users = qp.image().userCols](int col) {
            return col < users ? nl::fireIterVar(nl, col) : 0;
        };
    return h;
}

// A local solve made ready from start with the solver that control nlp_solver names now (its
// settings are read here), within the image's column bounds or, given, within lower and upper
// (a node of a branch and bound).
PreparedRun prepareLocal(NVRAprob prob, const Solving &s, std::vector<double> start,
                         const std::vector<double> *lower = nullptr,
                         const std::vector<double> *upper = nullptr) {
    NSLPprob nl = s.nl;
    const QcProgram &qp = s.qp;
    PreparedRun p;
    p.slp = nl::intControl(nl, nl::kNlCtrlSolver) == 1;
    cascadePoint(nl, s.order, start);
    p.setup = localSetup(prob, nl, qp.image(), start);
    if (lower && upper) {
        p.setup.lower = *lower;
        p.setup.upper = *upper;
    }
    for (size_t j = 0; j < start.size(); ++j)
        start[j] = std::min(std::max(start[j], p.setup.lower[j]), p.setup.upper[j]);
    if (!evaluableStart(nl, qp, p.setup, start))
        probMessage(prob,
                    "The formulas cannot be evaluated at the starting point, nor at any of "
                    "100 random points of the column bounds",
                    2);
    p.start = std::move(start);
    if (p.slp) {
        p.settings = slpSettings(prob, nl, qp.image(), s.order);
        p.settings.hooks = slpHooks(nl, qp, s.transfer.row);
    } else if (nl::hasCallback(nl, nl::Cb::IterEnd)) {
        p.setup.iterationEnd = [nl] { nl::fireStop(nl, nl::Cb::IterEnd); };
    }
    return p;
}

// Solves a prepared run on program qp (the problem's, or a worker's copy); with log given, the
// solver's log lines are kept there instead of being written.
void solveLocal(NVRAprob prob, const QcProgram &qp, const Deadline &deadline, PreparedRun &p,
                std::vector<std::string> *log) {
    p.setup.start = p.start.data();
    if (log) p.settings.hooks.message = [log](const char *line) { log->emplace_back(line); };
    p.rc = p.slp ? solveSlp(prob, qp, p.setup, p.settings, deadline, p.out)
                 : solveNlp(prob, qp, p.setup, deadline, p.out);
}

// The statuses of a solved run, and the error of a solver that failed.
LocalRun finishLocal(NVRAprob prob, const Solving &s, const Deadline &deadline, PreparedRun &p) {
    const QcProgram &qp = s.qp;
    LocalRun run;
    run.slp = p.slp;
    run.rc = p.rc;
    run.out = std::move(p.out);
    NlpOutcome &out = run.out;
    // A stop request (an interrupt, a user function's exception) ends the solve as stopped,
    // whatever the solver made of the evaluations that failed meanwhile.
    if (out.end == NlpOutcome::End::Failed && deadline.stopReason() != NVRA_STOP_NONE) {
        out.end = NlpOutcome::End::Stopped;
        out.stop = deadline.stopReason();
    }
    SolveResult &r = run.result;
    r = continuousResult(prob, qp, out);
    if (run.slp) {
        r.slpIter = std::exchange(r.barIter, 0);
        r.nlpSolves = 0;
    }
    settle(r, s.convex, qp.sense());
    // Feasible, but only to the solver's looser tolerances: not a converged local optimum.
    if (out.end == NlpOutcome::End::Acceptable && r.nlpStatus == NSLP_STATUS_LOCALLY_OPTIMAL)
        r.nlpStatus = NSLP_STATUS_UNFINISHED;
    if (!run.rc && out.end == NlpOutcome::End::Failed) {
        const std::string why = qp.formulaFailure();
        run.rc = probError(prob, NVRA_RC_ENGINE, "NVRAoptimize: the %s solver failed: %s%s%s",
                           run.slp ? "successive linear programming" : "interior-point",
                           out.detail.c_str(),
                           why.empty() ? "" : "; last evaluation error: ", why.c_str());
    }
    return run;
}

// One local solve from start (see prepareLocal).
LocalRun runLocal(NVRAprob prob, const Solving &s, std::vector<double> start,
                  const Deadline &deadline, const std::vector<double> *lower = nullptr,
                  const std::vector<double> *upper = nullptr) {
    PreparedRun p = prepareLocal(prob, s, std::move(start), lower, upper);
    solveLocal(prob, s.qp, deadline, p, nullptr);
    return finishLocal(prob, s, deadline, p);
}

// Whether multistart runs may go side by side: nothing calls back into the caller from them
// (no user function, no callback but the message callback, no cascaded column) and ms_threads
// is not 1.
bool concurrentRuns(NSLPprob nl, const Solving &s) {
    if (!nl->data.userFunctions.empty() || !s.order.empty() ||
        nl::intControl(nl, nl::kNlCtrlMsThreads) == 1)
        return false;
    for (size_t k = 0; k < static_cast<size_t>(nl::Cb::Count); ++k)
        if (static_cast<nl::Cb>(k) != nl::Cb::Message &&
            nl::hasCallback(nl, static_cast<nl::Cb>(k)))
            return false;
    return true;
}

// A local solve, or the multistart runs of the problem's jobs when it has any.
int solveContinuousLocal(NVRAprob prob, const Solving &s, const std::vector<double> &start,
                         const Deadline &deadline, SolveState &st) {
    NSLPprob nl = s.nl;
    const QcProgram &qp = s.qp;
    LocalSolver solver;
    solver.prepare = [&](std::vector<double> from) {
        return prepareLocal(prob, s, std::move(from));
    };
    solver.solve = [&](PreparedRun &p, const QcProgram &on, std::vector<std::string> *log) {
        solveLocal(prob, on, deadline, p, log);
    };
    solver.finish = [&](PreparedRun &p) { return finishLocal(prob, s, deadline, p); };
    solver.concurrent = concurrentRuns(nl, s);
    LocalRun run =
        nl->data.jobs.empty()
            ? runLocal(prob, s, start, deadline)
            : runMultistart(prob, nl, qp, start, relaxedSetup(qp.image()), deadline, solver);
    run.result.solveTime = deadline.elapsed();
    st.solves.push_back(run.result);
    keepRun(s, run.out.x, &run.out.rowMult, st);
    return run.rc;
}

// The branch and bound of control nlp_solver: the library's own over the successive linear
// programming solver (1), or Bonmin's over the interior-point solver. Bonmin's search cannot call
// the node callbacks; its final solution is announced to intsol once.
int solveIntegerLocal(NVRAprob prob, const char *fn, const Solving &s,
                      const std::vector<double> &start, const Deadline &deadline, SolveState &st) {
    const QcProgram &qp = s.qp;
    MinlpOutcome out;
    int rc = 0;
    if (nl::intControl(s.nl, nl::kNlCtrlSolver) == 1) {
        const BoxSolve node = [&](std::vector<double> from, const std::vector<double> &lower,
                                  const std::vector<double> &upper) {
            return runLocal(prob, s, std::move(from), deadline, &lower, &upper);
        };
        rc = solveSlpBranch(prob, fn, s.nl, qp, start, deadline, node, out);
    } else {
        rc = solveBonmin(prob, fn, qp, deadline, out);
        settle(out.result, s.convex, qp.sense());
        if (!rc && !out.x.empty()) nl::fireStop(s.nl, nl::Cb::IntSol);
    }
    out.result.solveTime = deadline.elapsed();
    st.solves.push_back(out.result);
    keepRun(s, out.x, nullptr, st);
    return rc;
}

// The verdict on the problem's convexity as one line of the log. (No attribute carries it: the
// statuses say what it proved.)
void logConvexity(NVRAprob prob, const ModelConvexity &convexity) {
    if (prob->controls.ints[intSlot::kCtrlOutputLog] == NVRA_OUTPUT_NONE) return;
    const std::string line = convexity.convex
                                 ? "Convexity: the model is convex: a local optimum is a global one"
                                 : "Convexity: the model is not proven convex (" +
                                       convexity.reason + "): its solutions are local";
    probMessage(prob, line.c_str(), 1);
}

} // namespace

int solveNonlinear(NVRAprob prob, const char *fn, Engine &e, Image &img, SolveState &st) {
    auto *nl = static_cast<NSLPprob>(prob->nonlinear);
    const ControlValues &c = prob->controls;
    // Control nlp_solver: 1 successive linear programming; 0 (automatic) and 2 the interior-point
    // solver, which is the more robust of the two on the published test problems. With integer
    // columns, each names the solver of the branch and bound's nodes.
    std::vector<int32_t> order;
    if (int rc = solveCascadeOrder(nl, fn, order)) return rc;
    const Transfer transfer = findTransfer(nl, prob->model, img);
    nl::NlData lifted;
    if (transfer.row >= 0) {
        lifted = nl->data;
        liftTransfer(transfer, lifted, img);
    }
    nl::Evaluator ev;
    ev.build(transfer.row >= 0 ? lifted : nl->data, img.userCols,
             nl::dblControl(nl, nl::kNlCtrlFdStep), &nl->counters);
    const QuadInfo quad = smoothQuadratics(prob->model);
    QcProgram qp(img, quad);
    qp.setFormulas(&ev);
    const ModelConvexity convexity = modelConvexity(img, ev, c.dbls[dblSlot::kCtrlConvexityTol]);
    std::vector<double> start = nl->data.currentPoint(img.userCols);
    start.resize(img.numCols(), 0.0);

    SigintBracket ctrlC;
    e.sigintMark = sigintCount();
    const Deadline deadline(
        e, std::min(c.dbls[dblSlot::kCtrlTimeLimit], nl::dblControl(nl, nl::kNlCtrlTimeLimit)));
    const bool detailed = c.ints[intSlot::kCtrlOutputLog] == NVRA_OUTPUT_DETAILED;
    beginCapture(e, detailed);
    logConvexity(prob, convexity);
    CallbackRun callbacks(prob, img.userCols, CallbackRun::Reporter::Route);
    callbacks.beginSolve();
    // Inside the solve the transfer column is out of the program: it is not cascaded.
    order.erase(std::remove(order.begin(), order.end(), transfer.col), order.end());
    const Solving solving{nl, qp, order, transfer, convexity.convex};
    // slpstart's stop request ends the solve at the solver's first check.
    nl::fireStop(nl, nl::Cb::SlpStart);
    const int rc = img.integral ? solveIntegerLocal(prob, fn, solving, start, deadline, st)
                                : solveContinuousLocal(prob, solving, start, deadline, st);
    nl::callPlain(nl, nl::Cb::SlpEnd);
    callbacks.endSolve(st.solves.back());
    callbacks.finish();
    endCapture(e);
    if (!rc && !callbacks.refusal().empty())
        return probError(prob, NVRA_RC_UNSUPPORTED, "%s: %s", fn, callbacks.refusal().c_str());
    return rc;
}

} // namespace nvra
