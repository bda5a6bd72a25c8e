// solve.cpp: the optimisation entry points: the choice of LP, convex QP or MIP from the
// problem's content, the classes refused, algorithm flags, engine options, the mapping of the
// engine's outcome to the library's statuses, and the solution kept after the solve.
#include "solver/solve.h"

#include "solver/analysis.h"
#include "solver/highs_callbacks.h"
#include "solver/qcprogram.h"
#include "core/scheduler.h"
#include "core/sigint.h"
#include "nonlinear/nlcontrols.h"
#include "nonlinear/nlprob.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>
#include <utility>

#include "highs_c_api.h"

namespace nvra {
namespace {

enum class Mode { Auto, Lp, Mip };

struct Request {
    int alg = 0; // NVRA_ALG_* of the flags, 0 when they name none
    bool relax = false;
    bool presolveOnly = false; // flag 'r': stop in the presolved state (presolve.cpp)
};

// Flags: one algorithm letter at most ('d' dual, 'p' primal, 'b' barrier, 'n' network, which
// the engine solves by the dual simplex), and 'l' (relaxation only) where allowed.
int parseFlags(NVRAprob prob, const char *fn, const char *flags, Mode mode, Request &req) {
    char algLetter = 0;
    for (const char *p = flags ? flags : ""; *p; ++p) {
        int alg = 0;
        switch (*p) {
        case 'd':
        case 'n':
            alg = NVRA_ALG_DUAL;
            break;
        case 'p':
            alg = NVRA_ALG_PRIMAL;
            break;
        case 'b':
            alg = NVRA_ALG_BARRIER;
            break;
        case 'l':
            if (mode == Mode::Mip)
                return probError(prob, NVRA_RC_INVALID,
                                 "%s: flag 'l' (relaxation only) contradicts a MIP solve", fn);
            req.relax = true;
            continue;
        case 'r':
            req.presolveOnly = true;
            continue;
        default:
            return probError(prob, NVRA_RC_INVALID,
                             "%s: unknown flag '%c' in \"%s\": the flags are d, p, b, n, l and r",
                             fn, *p, flags);
        }
        if (algLetter && algLetter != *p)
            return probError(prob, NVRA_RC_INVALID,
                             "%s: the flags '%c' and '%c' ask for two different algorithms", fn,
                             algLetter, *p);
        algLetter = *p;
        req.alg = alg;
    }
    if (mode == Mode::Lp) req.relax = true;
    return 0;
}

} // namespace

bool hasEntities(const Model &m) {
    for (char t : m.coltype)
        if (t != 'C') return true;
    if (!m.sets.empty() || !m.pwls.empty() || !m.gencons.empty()) return true;
    for (const auto &[row, ind] : m.indicators)
        if (ind.complement != 0) return true;
    return false;
}

namespace {

bool holdsFormulas(NVRAprob prob) {
    return prob->nonlinear && prob->nonlinear->holdsFormulas();
}

// Classes no solver of the library takes are refused before anything changes; the quadratic
// rows and objective are classified on the way (quad).
// Quadratic rows that are neither convex nor cones go to the nonlinear solvers, which solve the
// problem locally (and say so in its statuses), when the problem has its nonlinear part; without
// one they are refused. local tells which.
int refuseUnsupported(NVRAprob prob, const char *fn, const Model &m, QuadInfo &quad, bool &local) {
    local = holdsFormulas(prob);
    if (local) {
        if (!m.objectives.empty())
            return probError(prob, NVRA_RC_UNSUPPORTED,
                             "%s: multi-objective problems with nonlinear formulas are not "
                             "supported",
                             fn);
        return 0; // quadratic parts of any shape are smooth functions to the local solvers
    }
    if (!m.objectives.empty() && !m.Q.v.empty())
        return probError(prob, NVRA_RC_UNSUPPORTED,
                         "%s: multi-objective problems with a quadratic objective are not "
                         "supported",
                         fn);
    if (int rc = classifyQuadratics(prob, fn, quad)) {
        if (rc != NVRA_RC_UNSUPPORTED || !prob->nonlinear || !m.objectives.empty()) return rc;
        const std::string why = prob->lastError + "; the problem is solved locally";
        prob->lastError.clear();
        prob->lastErrorCode = 0;
        note(prob, why.c_str(), 2);
        local = true;
        return 0;
    }
    if (!m.objectives.empty() && !quad.rows.empty())
        return probError(prob, NVRA_RC_UNSUPPORTED,
                         "%s: multi-objective problems with quadratic rows are not supported", fn);
    return 0;
}

// A presolve-only solve handles linear problems with one objective that the engine holds as
// they are (a MIP with flag 'l').
int refusePresolveOnly(NVRAprob prob, const char *fn, const Model &m, const Request &req) {
    if (!req.presolveOnly) return 0;
    const char *what = holdsFormulas(prob)                  ? "nonlinear formulas"
                       : !m.Q.v.empty() || !m.qrows.empty() ? "quadratic parts"
                       : !req.relax && hasEntities(m)       ? "integer entities (add flag 'l' to "
                                                              "presolve the relaxation)"
                       : !m.objectives.empty()              ? "several objectives"
                       : prob->cutPool.activeCount() > 0    ? "active cuts"
                       : !m.rowFlags.empty()                ? "delayed rows or model cuts"
                                                            : nullptr;
    if (!what) return 0;
    return probError(prob, NVRA_RC_UNSUPPORTED,
                     "%s: flag 'r' (presolve only) is not supported for problems with %s", fn,
                     what);
}

} // namespace

// The library's own remarks about a solve, silenced with the engine's log.
void note(NVRAprob prob, const char *msg, int type) {
    if (prob->controls.ints[intSlot::kCtrlOutputLog] != NVRA_OUTPUT_NONE)
        probMessage(prob, msg, type);
}

namespace {

// Non-zero coefficients of the matrix and of the quadratic objective at or below the matrixtol
// control, which the engine takes as zero: counted, and reported before the engine runs.
void countDropped(NVRAprob prob, const Model &m, SolveState &st) {
    const double tol = prob->controls.dbls[dblSlot::kCtrlMatrixTol];
    for (const std::vector<double> *values : {&m.A.value, &m.Q.v})
        for (double v : *values)
            if (std::fabs(v) <= tol) {
                ++st.droppedCoefs;
                st.maxDroppedCoef = std::max(st.maxDroppedCoef, std::fabs(v));
            }
    if (st.droppedCoefs == 0) return;
    char text[256];
    std::snprintf(text, sizeof text,
                  "Warning: %lld coefficients of the model are at or below %g in magnitude (the "
                  "matrixtol control) and are taken as zero; the largest is %g",
                  static_cast<long long>(st.droppedCoefs), tol, st.maxDroppedCoef);
    note(prob, text, 3);
}

// ---- statuses --------------------------------------------------------------------------------

constexpr int kDepends = -1; // solution status: feasible when a feasible point exists

// How each engine model status maps (index = kHighsModelStatus value, 18 memory limit and 19
// the engine's own interrupt included).
struct StatusRule {
    int lp, solve, sol, stop;
};
constexpr StatusRule kRules[] = {
    /* 0 not set        */ {NVRA_LP_UNSOLVED, NVRA_SOLVESTATUS_FAILED, kDepends, NVRA_STOP_NONE},
    /* 1 load error     */ {NVRA_LP_UNSOLVED, NVRA_SOLVESTATUS_FAILED, kDepends, NVRA_STOP_NONE},
    /* 2 model error    */ {NVRA_LP_UNSOLVED, NVRA_SOLVESTATUS_FAILED, kDepends, NVRA_STOP_NONE},
    /* 3 presolve error */ {NVRA_LP_UNSOLVED, NVRA_SOLVESTATUS_FAILED, kDepends, NVRA_STOP_NONE},
    /* 4 solve error    */ {NVRA_LP_UNSOLVED, NVRA_SOLVESTATUS_FAILED, kDepends, NVRA_STOP_NONE},
    /* 5 postsolve error*/ {NVRA_LP_UNSOLVED, NVRA_SOLVESTATUS_FAILED, kDepends, NVRA_STOP_NONE},
    /* 6 empty model    */
    {NVRA_LP_OPTIMAL, NVRA_SOLVESTATUS_COMPLETED, NVRA_SOLSTATUS_OPTIMAL, NVRA_STOP_NONE},
    /* 7 optimal        */
    {NVRA_LP_OPTIMAL, NVRA_SOLVESTATUS_COMPLETED, NVRA_SOLSTATUS_OPTIMAL, NVRA_STOP_NONE},
    /* 8 infeasible     */
    {NVRA_LP_INFEAS, NVRA_SOLVESTATUS_COMPLETED, NVRA_SOLSTATUS_INFEASIBLE, NVRA_STOP_NONE},
    /* 9 unb. or infeas.*/
    {NVRA_LP_UNSOLVED, NVRA_SOLVESTATUS_FAILED, NVRA_SOLSTATUS_NOTFOUND, NVRA_STOP_NONE},
    /* 10 unbounded     */
    {NVRA_LP_UNBOUNDED, NVRA_SOLVESTATUS_COMPLETED, NVRA_SOLSTATUS_UNBOUNDED, NVRA_STOP_NONE},
    /* 11 obj. bound    */
    {NVRA_LP_CUTOFF_IN_DUAL, NVRA_SOLVESTATUS_COMPLETED, NVRA_SOLSTATUS_NOTFOUND, NVRA_STOP_NONE},
    /* 12 obj. target   */
    {NVRA_LP_UNFINISHED, NVRA_SOLVESTATUS_STOPPED, kDepends, NVRA_STOP_TARGET},
    /* 13 time limit    */
    {NVRA_LP_UNFINISHED, NVRA_SOLVESTATUS_STOPPED, kDepends, NVRA_STOP_TIMELIMIT},
    /* 14 iter. limit   */
    {NVRA_LP_UNFINISHED, NVRA_SOLVESTATUS_STOPPED, kDepends, NVRA_STOP_ITERLIMIT},
    /* 15 unknown       */ {NVRA_LP_UNFINISHED, NVRA_SOLVESTATUS_FAILED, kDepends, NVRA_STOP_NONE},
    /* 16 solution limit*/
    {NVRA_LP_UNFINISHED, NVRA_SOLVESTATUS_STOPPED, kDepends, NVRA_STOP_NODELIMIT},
    /* 17 interrupt     */
    {NVRA_LP_UNFINISHED, NVRA_SOLVESTATUS_STOPPED, kDepends, NVRA_STOP_INTERRUPT},
    /* 18 memory limit  */
    {NVRA_LP_UNFINISHED, NVRA_SOLVESTATUS_STOPPED, kDepends, NVRA_STOP_MEMORYLIMIT},
    /* 19 interrupt     */
    {NVRA_LP_UNFINISHED, NVRA_SOLVESTATUS_STOPPED, kDepends, NVRA_STOP_INTERRUPT},
};

// What the engine reports after a run.
struct Outcome {
    HighsInt modelStatus = kHighsModelStatusNotset;
    HighsInt primalStatus = kHighsSolutionStatusNone;
    double objective = 0.0, dualBound = -kInf, gap = 0.0, time = 0.0;
    HighsInt simplexIter = 0, ipmIter = 0;
    int64_t nodes = 0;
};

// After a run the engine reported as failed its statuses and information may still be those
// of an earlier run: none of them is read.
Outcome readOutcome(void *h, bool mip, bool runFailed) {
    Outcome o;
    o.time = Highs_getRunTime(h);
    if (runFailed) {
        o.modelStatus = kHighsModelStatusSolveError;
        return o;
    }
    o.modelStatus = Highs_getModelStatus(h);
    Highs_getIntInfoValue(h, "primal_solution_status", &o.primalStatus);
    Highs_getDoubleInfoValue(h, "objective_function_value", &o.objective);
    Highs_getIntInfoValue(h, "simplex_iteration_count", &o.simplexIter);
    Highs_getIntInfoValue(h, "ipm_iteration_count", &o.ipmIter);
    if (mip) {
        Highs_getDoubleInfoValue(h, "mip_dual_bound", &o.dualBound);
        Highs_getDoubleInfoValue(h, "mip_gap", &o.gap);
        Highs_getInt64InfoValue(h, "mip_node_count", &o.nodes);
    }
    if (o.modelStatus == kHighsModelStatusModelEmpty) Highs_getObjectiveOffset(h, &o.objective);
    return o;
}

// The engine's infinities and the library's 1e20.
double toLibrary(double v) {
    return std::fabs(v) >= kInf ? std::copysign(kInf, v) : v;
}

// A stopped MIP search: how far it got.
int unfinishedMipStatus(const Outcome &o, bool feasible) {
    if (feasible) return NVRA_MIP_SOLUTION;
    if (std::fabs(o.dualBound) >= kInf) return NVRA_MIP_LP_NOT_OPTIMAL;
    return o.nodes > 0 ? NVRA_MIP_NO_SOL_FOUND : NVRA_MIP_LP_OPTIMAL;
}

// The root relaxation's status as far as a MIP solve reveals it.
int rootLpStatus(int mipStatus) {
    switch (mipStatus) {
    case NVRA_MIP_LP_NOT_OPTIMAL:
        return NVRA_LP_UNFINISHED;
    case NVRA_MIP_LP_OPTIMAL:
    case NVRA_MIP_NO_SOL_FOUND:
    case NVRA_MIP_SOLUTION:
    case NVRA_MIP_OPTIMAL:
        return NVRA_LP_OPTIMAL;
    case NVRA_MIP_UNBOUNDED:
        return NVRA_LP_UNBOUNDED;
    default:
        return NVRA_LP_UNSTARTED;
    }
}

SolveResult mapOutcome(const Outcome &o, bool mip, int sense) {
    const int index = o.modelStatus >= 0 && o.modelStatus <= 19 ? o.modelStatus : 15;
    const StatusRule &rule = kRules[index];
    const bool feasible = o.primalStatus == kHighsSolutionStatusFeasible;
    SolveResult r;
    r.solveStatus = rule.solve;
    r.stopStatus = rule.stop;
    r.solStatus = rule.sol != kDepends ? rule.sol
                  : feasible           ? NVRA_SOLSTATUS_FEASIBLE
                                       : NVRA_SOLSTATUS_NOTFOUND;
    r.optimizeType = mip ? NVRA_OPTIMIZETYPE_MIP : NVRA_OPTIMIZETYPE_LP;
    const bool optimal = r.solStatus == NVRA_SOLSTATUS_OPTIMAL;
    const bool hasSolution = optimal || r.solStatus == NVRA_SOLSTATUS_FEASIBLE;
    const double none = kInf * sense;
    const double objective = hasSolution ? toLibrary(o.objective) : none;
    r.objVal = objective;
    r.lpObjVal = r.mipObjVal = none;
    if (mip) {
        switch (index) {
        case 6:
        case 7:
            r.mipStatus = NVRA_MIP_OPTIMAL;
            break;
        case 8:
            r.mipStatus = NVRA_MIP_INFEAS;
            break;
        case 10:
            r.mipStatus = NVRA_MIP_UNBOUNDED;
            break;
        default:
            r.mipStatus = rule.solve == NVRA_SOLVESTATUS_FAILED
                              ? (feasible ? NVRA_MIP_SOLUTION : NVRA_MIP_NO_SOL_FOUND)
                              : unfinishedMipStatus(o, feasible);
            break;
        }
        r.lpStatus =
            rule.solve == NVRA_SOLVESTATUS_FAILED ? NVRA_LP_UNSOLVED : rootLpStatus(r.mipStatus);
        r.mipObjVal = objective;
        r.bestBound = index == 6 ? objective : toLibrary(o.dualBound);
        r.mipGap = hasSolution ? toLibrary(o.gap) : kInf;
    } else {
        r.lpStatus = rule.lp;
        r.lpObjVal = objective;
        r.bestBound = optimal ? objective : -none;
        r.mipGap = optimal ? 0.0 : kInf;
    }
    r.solveTime = o.time;
    r.simplexIter = o.simplexIter > 0 ? o.simplexIter : 0;
    r.barIter = o.ipmIter > 0 ? o.ipmIter : 0;
    r.nodes = o.nodes;
    return r;
}

} // namespace

SolveResult engineOutcome(void *highs, bool mip, bool runFailed, int sense) {
    return mapOutcome(readOutcome(highs, mip, runFailed), mip, sense);
}

namespace {

// ---- the solution ------------------------------------------------------------------------------

// The first n values of an engine vector, with its negative zeros (the engine's sign flips of
// zero duals and values) made plain zeros.
std::vector<double> userPart(std::vector<double> values, int n) {
    values.resize(n);
    for (double &v : values)
        v += 0.0;
    return values;
}

} // namespace

// The engine's solution cut to the user's rows and columns: slack = rhs - activity; duals and
// reduced costs (continuous solves) as the engine gives them: d = c - A'y (plus Qx), y the
// change of the objective per unit increase of the row's right-hand side, in either sense.
void keepSolution(Engine &e, const Image &img, const SolveResult &last, SolveState &st) {
    st.fromMip = last.optimizeType == NVRA_OPTIMIZETYPE_MIP;
    st.primalAvail = availability(last.solStatus);
    if (st.primalAvail == NVRA_AVAIL_NONE) return;
    HighsInt dualStatus = kHighsSolutionStatusNone;
    Highs_getIntInfoValue(e.highs, "dual_solution_status", &dualStatus);
    const bool duals = !st.fromMip && last.solStatus == NVRA_SOLSTATUS_OPTIMAL &&
                       dualStatus == kHighsSolutionStatusFeasible;
    // The engine may hold rows beyond the image's (a multi-objective run's tolerance rows).
    const HighsInt nc = Highs_getNumCol(e.highs), nr = Highs_getNumRow(e.highs);
    std::vector<double> colValue(nc), rowValue(nr), colDual(duals ? nc : 0),
        rowDual(duals ? nr : 0);
    Highs_getSolution(e.highs, colValue.data(), duals ? colDual.data() : nullptr, rowValue.data(),
                      duals ? rowDual.data() : nullptr);
    const Model &m = *img.model;
    st.slack.resize(img.userRows);
    for (int i = 0; i < img.userRows; ++i)
        st.slack[i] = m.rhs[i] - rowValue[i];
    for (const auto &[row, P] : m.qrows) // free rows: the engine never saw their quadratic part
        st.slack[row] -= quadForm(P, colValue.data());
    st.x = userPart(std::move(colValue), img.userCols);
    if (duals) {
        st.redCost = userPart(std::move(colDual), img.userCols);
        st.dual = userPart(std::move(rowDual), img.userRows);
        st.dualAvail = NVRA_AVAIL_OPTIMAL;
    }
}

namespace {

// A quadratic objective that is not convex: reported through the LP status (and, for a problem
// with integer entities, a MIP status without a solution), nothing solved.
void reportNonConvex(NVRAprob prob, SolveState &st, bool mip) {
    SolveResult r;
    r.lpStatus = NVRA_LP_NONCONVEX;
    r.solveStatus = NVRA_SOLVESTATUS_FAILED;
    r.optimizeType = mip ? NVRA_OPTIMIZETYPE_MIP : NVRA_OPTIMIZETYPE_LP;
    if (mip) r.mipStatus = NVRA_MIP_NO_SOL_FOUND;
    r.objVal = r.lpObjVal = r.mipObjVal = kInf * prob->model.sense;
    r.bestBound = -r.objVal;
    st.solves.push_back(r);
    note(prob, "The quadratic objective is not convex: the problem cannot be solved", 4);
}

// A non-convex quadratic objective is refused by default (reportNonConvex): the engine's
// methods need a convex one and a local solution proves nothing. A user who chooses a local
// nonlinear solver explicitly (control nlp_solver 1 or 2) asks for exactly that, and gets it:
// the problem goes to the nonlinear solves like one with formulas.
bool localSolverChosen(NVRAprob prob) {
    auto *nl = static_cast<NSLPprob>(prob->nonlinear);
    return nl && nl::intControl(nl, nl::kNlCtrlSolver) != 0;
}

// A local solve of a problem whose quadratic objective is not convex. Its linear status keeps
// saying so where the solver converged (the point is a local solution: solution status
// feasible, nonlinear status locally optimal), never "optimal".
int solveNonConvexLocally(NVRAprob prob, const char *fn, Engine &e, Image &img, SolveState &st) {
    note(prob,
         "The quadratic objective is not convex: the problem is solved locally (control "
         "nlp_solver); a solution is not proven optimal",
         2);
    const int rc = solveNonlinear(prob, fn, e, img, st);
    for (SolveResult &r : st.solves)
        if (r.lpStatus == NVRA_LP_OPTIMAL) r.lpStatus = NVRA_LP_NONCONVEX;
    return rc;
}

// Hands the compiled problem to the engine and solves it; fills st, also when the engine
// fails (the solve then says so). The problem is busy meanwhile.
int solveCompiled(NVRAprob prob, const char *fn, const Request &req, Engine &e, Image &img,
                  SolveState &st) {
    const Model &m = *img.model;
    const bool deliver = prob->controls.ints[intSlot::kCtrlOutputLog] != NVRA_OUTPUT_NONE;
    const SolveClass cls = img.integral         ? SolveClass::Mip
                           : img.qValue.empty() ? SolveClass::Lp
                                                : SolveClass::Qp;
    const std::string what = std::string(fn) + ": the engine failed";
    auto failed = [&](int rc) {
        st.solves.push_back(
            mapOutcome(readOutcome(e.highs, img.integral, true), img.integral, m.sense));
        endCapture(e);
        return rc == NVRA_RC_ENGINE ? engineError(prob, e, what.c_str()) : rc;
    };
    beginCapture(e, deliver);
    // The options follow the controls, set before every run; algorithm letters win over them.
    // They come before the model, whose coefficients the engine filters by matrixtol.
    if (int rc = applyControlsToHighs(prob, e.highs, cls, req.alg, &e.options)) return failed(rc);
    if (!passImage(e, img)) return failed(NVRA_RC_ENGINE);
    if (int rc = applyStarts(prob, e, img)) return failed(rc);
    img.releaseHandedOver();
    int rc = 0;
    CallbackRun callbacks(prob, img.userCols);
    // Besides the message callbacks, a log file and miplog callbacks read the engine's log.
    beginRunCapture(e, deliver,
                    callbacks.wants(CbKind::miplog) ||
                        !prob->controls.strs[strSlot::kCtrlLogFile].empty());
    {
        EngineEvents events(e, callbacks);
        SigintBracket ctrlC;
        e.sigintMark = sigintCount();
        if (req.presolveOnly) {
            rc = presolveOnly(prob, e, img, st);
        } else if (m.objectives.empty()) {
            st.solves.emplace_back();
            rc = runWithHeldRows(prob, e, img, st.solves.back());
        } else {
            rc = solveLevels(prob, e, img, st.solves);
        }
    }
    callbacks.finish();
    if (!st.solves.empty() && !req.presolveOnly) {
        keepSolution(e, img, st.solves.back(), st);
        keepAnalysis(prob, e, img, st);
    }
    endCapture(e);
    if (rc) return engineError(prob, e, what.c_str());
    if (!callbacks.refusal().empty())
        return probError(prob, NVRA_RC_UNSUPPORTED, "%s: %s", fn, callbacks.refusal().c_str());
    return 0;
}

// Which solver takes a problem: the engine itself (LP, convex QP, MIP), or the library's own
// routes for quadratic rows and mixed-integer quadratic objectives.
bool needsQuadraticRoute(const Model &m, const QuadInfo &quad, const Request &req) {
    return !quad.rows.empty() || (!m.Q.v.empty() && !req.relax && hasEntities(m));
}

// The checks and the compilation change nothing: a failure there leaves the last solution.
int optimizeProblem(NVRAprob prob, const char *fn, const char *flags, Mode mode, int *solvestatus,
                    int *solstatus) {
    if (int rc = enterProbEdit(prob)) return rc;
    Request req;
    if (int rc = parseFlags(prob, fn, flags, mode, req)) return rc;
    int rc = 0;
    try {
        QuadInfo quad;
        bool local = false;
        if ((rc = refuseUnsupported(prob, fn, prob->model, quad, local))) return rc;
        if ((rc = refusePresolveOnly(prob, fn, prob->model, req))) return rc;
        BusyGuard busy(prob);
        if (!busy.held())
            return probError(prob, NVRA_RC_BUSY, "%s: the problem is already being solved", fn);
        Engine *engine = nullptr;
        if ((rc = ensureEngine(prob, engine))) return rc;
        const bool nonConvexLocal =
            !local && quad.objective == Convexity::NotConvex && localSolverChosen(prob);
        const bool formulas = local || nonConvexLocal;
        const bool ownRoute = formulas || needsQuadraticRoute(prob->model, quad, req);
        Image img;
        if ((rc = compileModel(prob, CompileOptions{req.relax, !ownRoute}, img))) return rc;
        if (ownRoute) unholdRows(img);
        prob->solution.reset();
        SolveState st;
        countDropped(prob, prob->model, st);
        if (nonConvexLocal) {
            rc = solveNonConvexLocally(prob, fn, *engine, img, st);
        } else if (formulas) {
            rc = solveNonlinear(prob, fn, *engine, img, st);
        } else if (quad.objective == Convexity::NotConvex) {
            reportNonConvex(prob, st, img.integral);
        } else if (ownRoute) {
            rc = solveQuadratic(prob, fn, *engine, img, quad, st);
        } else {
            rc = solveCompiled(prob, fn, req, *engine, img, st);
        }
        prob->solution = std::move(st);
    } catch (const std::bad_alloc &) {
        prob->solution.reset();
        rc = probError(prob, NVRA_RC_NOMEM, "%s: out of memory", fn);
    }
    const SolveResult &last = prob->solution.current();
    if (solvestatus) *solvestatus = last.solveStatus;
    if (solstatus) *solstatus = last.solStatus;
    return rc;
}

} // namespace

int availability(int solStatus) {
    return solStatus == NVRA_SOLSTATUS_OPTIMAL    ? NVRA_AVAIL_OPTIMAL
           : solStatus == NVRA_SOLSTATUS_FEASIBLE ? NVRA_AVAIL_FEASIBLE
                                                  : NVRA_AVAIL_NONE;
}

int runEngine(NVRAprob prob, Engine &e, bool mip, SolveResult &result) {
    void *h = e.highs;
    ThreadLease lease(static_cast<int>(prob->controls.ints[intSlot::kCtrlThreads]));
    writeIntOption(h, &e.options, "threads", lease.threads());
    if (lease.overridden())
        note(prob,
             "The engine's threads are shared with solves already running: this solve uses "
             "their thread count instead of the threads control",
             3);
    CallbackRun *callbacks = prob->callbacks->run.load();
    if (callbacks && !callbacks->engineReports()) callbacks = nullptr; // a step of a route
    if (callbacks) callbacks->beginSolve();
    Highs_zeroAllClocks(h);
    bool failed = !highsOk(Highs_run(h));
    if (!failed && Highs_getModelStatus(h) == kHighsModelStatusUnboundedOrInfeasible) {
        // Presolve can tell that a problem is infeasible or unbounded without telling which.
        char presolve[kHighsMaximumStringLength] = "choose";
        Highs_getStringOptionValue(h, "presolve", presolve);
        writeStringOption(h, &e.options, "presolve", "off");
        Highs_zeroAllClocks(h);
        failed = !highsOk(Highs_run(h));
        writeStringOption(h, &e.options, "presolve", presolve);
    }
    const Outcome outcome = readOutcome(h, mip, failed);
    if (outcome.modelStatus == kHighsModelStatusUnboundedOrInfeasible)
        note(prob, "The engine could not tell whether the problem is infeasible or unbounded", 3);
    result = mapOutcome(outcome, mip, prob->model.sense);
    if (callbacks) callbacks->endSolve(result);
    return failed ? NVRA_RC_ENGINE : 0;
}

} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAoptimize(NVRAprob prob, const char *flags, int *solvestatus, int *solstatus) {
    return optimizeProblem(prob, "NVRAoptimize", flags, Mode::Auto, solvestatus, solstatus);
}

int NVRAlpoptimize(NVRAprob prob, const char *flags) {
    return optimizeProblem(prob, "NVRAlpoptimize", flags, Mode::Lp, nullptr, nullptr);
}

int NVRAmipoptimize(NVRAprob prob, const char *flags) {
    return optimizeProblem(prob, "NVRAmipoptimize", flags, Mode::Mip, nullptr, nullptr);
}

} // extern "C"
