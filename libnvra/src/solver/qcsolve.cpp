// qcsolve.cpp: solves of problems the engine cannot take as they are: continuous problems with
// quadratic rows on the interior-point solver, mixed-integer problems with quadratic rows or a
// quadratic objective by outer approximation or Bonmin; their statuses and the solution kept.
#include "solver/interior.h"
#include "solver/minlp.h"
#include "solver/solve.h"

#include "core/callbacks.h"
#include "core/sigint.h"
#include "nonlinear/evaluator.h"

#include <cmath>
#include <cstdio>

namespace nvra {
namespace {

// A point counts as feasible within twice the feasibility tolerance: the interior-point
// solver meets the tolerance itself, and relaxes bounds by a relative 1e-8.
double acceptedViolation(NVRAprob prob) {
    return 2.0 * prob->controls.dbls[dblSlot::kCtrlFeasTol];
}

std::string placeText(const QcProgram &qp, int where) {
    return where >= 0                         ? rowLabel(qp.model(), where)
           : -1 - where < qp.image().userCols ? colLabel(qp.model(), -1 - where)
                                              : "auxiliary column " + std::to_string(-1 - where);
}

} // namespace

// The interior-point solver's end as the library's statuses. A solution it calls optimal is
// checked against the rows as stored; one that violates them beyond the tolerance is not
// reported (the solve fails, and the log says by how much and where).
SolveResult continuousResult(NVRAprob prob, const QcProgram &qp, const NlpOutcome &nlp) {
    SolveResult r;
    r.optimizeType = NVRA_OPTIMIZETYPE_LP;
    r.barIter = nlp.iterations;
    r.nlpSolves = 1;
    const int sense = qp.sense();
    r.objVal = r.lpObjVal = r.mipObjVal = kInf * sense;
    r.bestBound = -kInf * sense;
    int where = 0;
    const double violation = nlp.x.empty() ? kInf : qp.violation(nlp.x.data(), &where);
    const bool feasible = violation <= acceptedViolation(prob);
    switch (nlp.end) {
    case NlpOutcome::End::Acceptable:
        // Not proven optimal to the optimality tolerance: reported as a feasible solution of a
        // finished solve, with a warning, or not at all when it violates the rows.
        probMessage(prob,
                    "The local solver reached only its acceptable tolerances: the solution is "
                    "not proven optimal",
                    2);
        r.lpStatus = NVRA_LP_UNFINISHED;
        r.solveStatus = feasible ? NVRA_SOLVESTATUS_COMPLETED : NVRA_SOLVESTATUS_FAILED;
        if (feasible) r.solStatus = NVRA_SOLSTATUS_FEASIBLE;
        break;
    case NlpOutcome::End::Optimal:
        if (feasible) {
            r.lpStatus = NVRA_LP_OPTIMAL;
            r.solveStatus = NVRA_SOLVESTATUS_COMPLETED;
            r.solStatus = NVRA_SOLSTATUS_OPTIMAL;
        } else {
            char text[NVRA_MAXMESSAGELENGTH];
            snprintf(text, sizeof text,
                     "The interior-point solution violates %s by %.3g (tolerance %.3g): it is "
                     "not reported",
                     placeText(qp, where).c_str(), violation, acceptedViolation(prob));
            probMessage(prob, text, 3);
            r.lpStatus = NVRA_LP_UNFINISHED;
            r.solveStatus = NVRA_SOLVESTATUS_FAILED;
        }
        break;
    case NlpOutcome::End::Infeasible:
        r.lpStatus = NVRA_LP_INFEAS;
        r.solveStatus = NVRA_SOLVESTATUS_COMPLETED;
        r.solStatus = NVRA_SOLSTATUS_INFEASIBLE;
        break;
    case NlpOutcome::End::Unbounded:
        // The iterates diverged while the objective improved: for a convex problem, unbounded.
        r.lpStatus = NVRA_LP_UNBOUNDED;
        r.solveStatus = NVRA_SOLVESTATUS_COMPLETED;
        r.solStatus = NVRA_SOLSTATUS_UNBOUNDED;
        break;
    case NlpOutcome::End::Stopped:
        r.lpStatus = NVRA_LP_UNFINISHED;
        r.solveStatus = NVRA_SOLVESTATUS_STOPPED;
        r.stopStatus = nlp.stop;
        if (feasible) r.solStatus = NVRA_SOLSTATUS_FEASIBLE;
        break;
    case NlpOutcome::End::Failed:
        r.lpStatus = NVRA_LP_UNSOLVED;
        r.solveStatus = NVRA_SOLVESTATUS_FAILED;
        break;
    }
    if (r.solStatus == NVRA_SOLSTATUS_OPTIMAL || r.solStatus == NVRA_SOLSTATUS_FEASIBLE) {
        r.objVal = r.lpObjVal = qp.objective(nlp.x.data());
        r.maxViolation = violation;
        if (r.solStatus == NVRA_SOLSTATUS_OPTIMAL) {
            r.bestBound = r.objVal;
            r.mipGap = 0.0;
        }
    }
    return r;
}

namespace {

// Gradient of the objective (as stated) and of row r's function, added with weight w into d.
void addRowGradient(const QcProgram &qp, int r, const double *x, double w, double *d) {
    qp.forLinear(r, [&](int c, double v) { d[c] += w * v; });
    if (const QTriplets *P = qp.quadOf(r)) addQuadFormGradient(*P, x, w, d);
    const int fn = qp.rowFunction(r);
    if (fn < 0) return;
    const nl::Evaluator &ev = *qp.formulas();
    for (int64_t e = ev.jacobianStart()[fn]; e < ev.jacobianStart()[fn + 1]; ++e)
        d[ev.jacobianCols()[e]] += w * qp.formulaJacobian()[e];
}

} // namespace

void keepPoint(const QcProgram &qp, const std::vector<double> &x,
               const std::vector<double> *rowMult, int dualAvail, SolveState &st) {
    const SolveResult &last = st.current();
    st.fromMip = last.optimizeType == NVRA_OPTIMIZETYPE_MIP;
    st.primalAvail = x.empty() ? NVRA_AVAIL_NONE : availability(last.solStatus);
    if (st.primalAvail == NVRA_AVAIL_NONE || !qp.evalFormulas(x.data(), true)) {
        st.primalAvail = NVRA_AVAIL_NONE;
        return;
    }
    const Image &img = qp.image();
    const Model &m = qp.model();
    st.x.assign(x.begin(), x.begin() + img.userCols);
    for (double &v : st.x)
        v += 0.0;
    st.slack.resize(img.userRows);
    for (int r = 0; r < img.userRows; ++r)
        st.slack[r] = m.rhs[r] - (qp.plainActivity(r, x.data()) + qp.formulaRow(r)) + 0.0;
    if (!rowMult) return;
    // y = -sense * multiplier; d = grad f - sum_r y_r grad g_r.
    std::vector<double> y(qp.numRows()), d(qp.numCols(), 0.0);
    for (int j = 0; j < img.userCols; ++j)
        d[j] = img.cost[j];
    addQuadFormGradient(m.Q, x.data(), 0.5, d.data());
    if (const int fn = qp.objectiveFunction(); fn >= 0) {
        const nl::Evaluator &ev = *qp.formulas();
        for (int64_t e = ev.jacobianStart()[fn]; e < ev.jacobianStart()[fn + 1]; ++e)
            d[ev.jacobianCols()[e]] += qp.formulaJacobian()[e];
    }
    for (int r = 0; r < qp.numRows(); ++r) {
        y[r] = -qp.sense() * (*rowMult)[r] + 0.0;
        if (y[r] != 0.0) addRowGradient(qp, r, x.data(), -y[r], d.data());
    }
    st.dual.assign(y.begin(), y.begin() + img.userRows);
    st.redCost.assign(d.begin(), d.begin() + img.userCols);
    for (double &v : st.redCost)
        v += 0.0;
    st.dualAvail = dualAvail;
}

int solveQuadratic(NVRAprob prob, const char *fn, Engine &e, Image &img, const QuadInfo &quad,
                   SolveState &st) {
    const ControlValues &c = prob->controls;
    const bool detailed = c.ints[intSlot::kCtrlOutputLog] == NVRA_OUTPUT_DETAILED;
    const QcProgram qp(img, quad);
    SigintBracket ctrlC;
    e.sigintMark = sigintCount();
    const Deadline deadline(e, c.dbls[dblSlot::kCtrlTimeLimit]);
    beginCapture(e, detailed);
    CallbackRun callbacks(prob, img.userCols, CallbackRun::Reporter::Route);
    callbacks.beginSolve();
    int rc = 0;
    if (img.integral) {
        MinlpOutcome out;
        const int64_t alg = c.ints[intSlot::kCtrlMiqcqpAlg];
        rc = alg == 2 ? solveBonmin(prob, fn, qp, deadline, out)
                      : solveOuterApprox(prob, fn, e, qp, deadline, out);
        out.result.solveTime = deadline.elapsed();
        st.solves.push_back(out.result);
        keepPoint(qp, out.x, nullptr, NVRA_AVAIL_NONE, st);
    } else {
        NlpOutcome nlp;
        NlpSetup setup = relaxedSetup(img);
        setup.printLevel = nlpPrintLevel(prob, false);
        rc = solveContinuous(prob, qp, setup, deadline, nlp);
        SolveResult r = continuousResult(prob, qp, nlp);
        r.solveTime = deadline.elapsed();
        st.solves.push_back(r);
        keepPoint(qp, nlp.x, r.solStatus == NVRA_SOLSTATUS_OPTIMAL ? &nlp.rowMult : nullptr,
                  NVRA_AVAIL_OPTIMAL, st);
        if (!rc && nlp.end == NlpOutcome::End::Failed)
            rc = probError(prob, NVRA_RC_ENGINE, "%s: the interior-point solver failed: %s", fn,
                           nlp.detail.c_str());
    }
    callbacks.endSolve(st.solves.back());
    callbacks.finish();
    endCapture(e);
    if (!detailed && c.ints[intSlot::kCtrlOutputLog] != NVRA_OUTPUT_NONE) probMessage(prob, "", 0);
    if (!rc && !callbacks.refusal().empty())
        rc = probError(prob, NVRA_RC_UNSUPPORTED, "%s: %s", fn, callbacks.refusal().c_str());
    return rc;
}

} // namespace nvra
