// outer.cpp: LP/NLP outer approximation for convex mixed-integer problems with quadratic rows or
// a quadratic objective (see minlp.h).
//
// Work is done in minimisation form (objective values times the sense). The master is the
// image with the quadratic objective and the convex quadratic rows lifted into separable terms
// (lifted.h): 0.5 x'Qx = 0.5 sense sum_k t_k and a'x + x'Px <= b as a'x + sum_k t_k <= b, each
// t_k >= d_k y_k^2 held by tangents; the objective's curvature on on/off columns is taken out
// into perspective terms (perspective.h); cone rows are held by tangents of their norm form. Cuts
// come at the continuous relaxation's solution for every term and cone, from a polyhedral start
// for each cone, then per iteration
//  - at the master's solution for every row it violates (and the objective's terms, when the
//    master underestimates the objective there), so that the master never returns that point;
//  - at the subproblem's solution for the integer assignment of the master's solution (the
//    continuous problem with those integers fixed) for its active rows and the objective, or,
//    when that subproblem is infeasible, at the point where the interior-point solver
//    minimised the infeasibility, for the rows it still violates.
// The master's bound is a lower bound (the cuts are outer approximations of convex functions),
// each feasible subproblem or master solution an upper bound.
#include "solver/interior.h"
#include "solver/lifted.h"
#include "solver/minlp.h"
#include "solver/perspective.h"
#include "solver/solve.h"

#include "core/callbacks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <set>
#include <string>

#include "highs_c_api.h"

namespace nvra {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kConeDirections = 8; // tangents of a cone with two components at the start

class OuterApprox {
  public:
    OuterApprox(NVRAprob prob, const char *fn, Engine &e, const QcProgram &qp,
                const Deadline &deadline, MinlpOutcome &out)
        : prob_(prob), fn_(fn), e_(e), qp_(qp), deadline_(deadline), out_(out), sense_(qp.sense()) {
        const Image &img = qp.image();
        for (int j = 0; j < img.numCols(); ++j)
            if (img.colType[j] != kHighsVarTypeContinuous) integers_.push_back(j);
        const ControlValues &c = prob->controls;
        feasTol_ = c.dbls[dblSlot::kCtrlFeasTol];
        relGap_ = c.dbls[dblSlot::kCtrlMipRelStop];
        absGap_ = c.dbls[dblSlot::kCtrlMipAbsStop];
        log_ = c.ints[intSlot::kCtrlOutputLog] != NVRA_OUTPUT_NONE;
    }

    int run();

  private:
    enum class Step { Continue, Done };

    int solveRelaxation(std::vector<double> &x);
    int buildMaster(const std::vector<double> &xRelax);
    int solveMaster(std::vector<double> &xm, Step &step);
    int subproblem(const std::vector<double> &xm);
    void consider(const std::vector<double> &x); // a candidate incumbent
    // The progress to the optimizer callbacks: a new incumbent x, or (x null) an iteration.
    void report(const std::vector<double> *x) const;
    int liftForms(Image &master);
    void addCuts(std::vector<Cut> &cuts);
    // Cuts at p (original columns) for the rows whose excess there exceeds threshold: the
    // tangents of every term of a convex row, the norm tangent of a cone.
    void cutsAt(const double *p, double threshold, std::vector<Cut> &cuts);
    // Cuts at the master's point xm for what it violates: rows beyond the tolerance, and the
    // objective's terms where the master underestimates the objective.
    void masterCuts(const double *xm, std::vector<Cut> &cuts);
    // The objective's tangents and perspective cuts at p (original columns).
    void objectiveCutsAt(const double *p, std::vector<Cut> &cuts);
    std::vector<double> rounded(const std::vector<double> &x) const;
    bool converged() const;
    int finish(int mipStatus, int solveStatus, int stop); // returns 0
    void logLine(const char *text) const {
        if (log_) probMessage(prob_, text, 1);
    }
    void logIteration(int cuts) const;

    NVRAprob prob_;
    const char *fn_;
    Engine &e_;
    const QcProgram &qp_;
    const Deadline &deadline_;
    MinlpOutcome &out_;
    const int sense_;
    std::vector<int> integers_;
    double feasTol_, relGap_, absGap_;
    bool log_;
    LiftedForm objective_;             // empty when the objective is linear
    PerspectiveTerms perspective_;     // the objective's on/off terms taken out of objective_
    std::vector<LiftedForm> rowForms_; // per quadratic row (empty for cones)
    double lb_ = -kInf, ub_ = kInf;    // minimisation form
    std::set<std::vector<double>> visited_;
    SolveResult &r_ = out_.result;
};

bool OuterApprox::converged() const {
    if (ub_ >= kInf) return false;
    return ub_ - lb_ <= std::max(absGap_, relGap_ * std::fabs(ub_));
}

std::vector<double> OuterApprox::rounded(const std::vector<double> &x) const {
    std::vector<double> r(x.begin(), x.begin() + qp_.numCols());
    roundIntegers(qp_.image(), r.data());
    return r;
}

void OuterApprox::consider(const std::vector<double> &x) {
    if (qp_.violation(x.data(), nullptr) > 2.0 * feasTol_) return;
    const double value = sense_ * qp_.objective(x.data());
    if (value < ub_) {
        ub_ = value;
        out_.x = x;
        report(&x);
    }
}

void OuterApprox::report(const std::vector<double> *x) const {
    CallbackRun *run = prob_->callbacks->run.load();
    if (!run) return;
    MipPoint at;
    at.primal = ub_ < kInf ? sense_ * ub_ : sense_ * kInf;
    at.dual = lb_ > -kInf ? sense_ * lb_ : -sense_ * kInf;
    at.gap = ub_ < kInf && lb_ > -kInf ? (ub_ - lb_) / std::max(std::fabs(ub_), 1e-10) : kInf;
    at.time = deadline_.elapsed();
    at.nodes = r_.nodes;
    at.lpIterations = r_.simplexIter;
    if (x)
        run->mipSolution(at, x->data(), true);
    else
        run->mipCheck(at);
}

void OuterApprox::cutsAt(const double *p, double threshold, std::vector<Cut> &cuts) {
    const auto &rows = qp_.quad().rows;
    Cut cut;
    for (size_t k = 0; k < rows.size(); ++k) {
        if (qp_.rowExcess(rows[k], p) <= threshold) continue;
        if (rows[k].shape == RowShape::Cone) {
            if (qp_.coneCut(rows[k], p, cut)) cuts.push_back(cut);
        } else {
            rowForms_[k].tangentsAt(p, cuts);
        }
    }
}

void OuterApprox::masterCuts(const double *xm, std::vector<Cut> &cuts) {
    const auto &rows = qp_.quad().rows;
    Cut cut;
    for (size_t k = 0; k < rows.size(); ++k) {
        if (qp_.rowExcess(rows[k], xm) <= feasTol_) continue;
        if (rows[k].shape == RowShape::Cone) {
            if (qp_.coneCut(rows[k], xm, cut)) cuts.push_back(cut);
        } else {
            rowForms_[k].shortfallTangents(xm, cuts);
        }
    }
    if (objective_.numTerms() == 0 && perspective_.numTerms() == 0) return;
    double modelled = perspective_.modelled(xm);
    for (int k = 0; k < objective_.numTerms(); ++k)
        if (objective_.tCol(k) >= 0) modelled += xm[objective_.tCol(k)];
    const double curve = objective_.value(xm) + perspective_.value(xm);
    if (0.5 * (curve - modelled) > 1e-9 * (1.0 + 0.5 * curve)) {
        objective_.shortfallTangents(xm, cuts);
        perspective_.shortfallCuts(xm, cuts);
    }
}

void OuterApprox::objectiveCutsAt(const double *p, std::vector<Cut> &cuts) {
    objective_.tangentsAt(p, cuts);
    perspective_.cutsAt(p, cuts);
}

void OuterApprox::addCuts(std::vector<Cut> &cuts) {
    if (cuts.empty()) return;
    std::vector<double> lower, upper, value;
    std::vector<HighsInt> start, index;
    for (const Cut &c : cuts) {
        start.push_back(static_cast<HighsInt>(index.size()));
        for (const auto &[col, v] : c.entries)
            index.push_back(col), value.push_back(v);
        lower.push_back(c.lower <= -kInf ? -Highs_getInfinity(e_.highs) : c.lower);
        upper.push_back(c.upper >= kInf ? Highs_getInfinity(e_.highs) : c.upper);
    }
    forgetHandover(e_);
    if (highsOk(Highs_addRows(e_.highs, static_cast<HighsInt>(cuts.size()), lower.data(),
                              upper.data(), static_cast<HighsInt>(index.size()), start.data(),
                              index.data(), value.data())))
        e_.numRow += static_cast<int>(cuts.size());
    cuts.clear();
}

// The continuous relaxation on the interior-point solver: its end decides infeasible and
// unbounded problems; its solution seeds the master.
int OuterApprox::solveRelaxation(std::vector<double> &x) {
    NlpOutcome nlp;
    NlpSetup setup = relaxedSetup(qp_.image());
    setup.printLevel = nlpPrintLevel(prob_, true);
    if (int rc = solveContinuous(prob_, qp_, setup, deadline_, nlp)) return rc;
    ++r_.nlpSolves;
    r_.barIter += nlp.iterations;
    switch (nlp.end) {
    case NlpOutcome::End::Optimal:
        x = nlp.x;
        lb_ = sense_ * qp_.objective(x.data());
        r_.lpStatus = NVRA_LP_OPTIMAL;
        return 0;
    case NlpOutcome::End::Acceptable:
        // A seed for the master, but no proven bound: the master's bounds take over.
        x = nlp.x;
        r_.lpStatus = NVRA_LP_UNFINISHED;
        return 0;
    case NlpOutcome::End::Infeasible:
        r_.lpStatus = NVRA_LP_INFEAS;
        finish(NVRA_MIP_INFEAS, NVRA_SOLVESTATUS_COMPLETED, NVRA_STOP_NONE);
        return 0;
    case NlpOutcome::End::Unbounded:
        // A convex problem whose relaxation is unbounded is unbounded or infeasible; it is
        // reported as unbounded, as the engine reports such MIPs.
        r_.lpStatus = NVRA_LP_UNBOUNDED;
        finish(NVRA_MIP_UNBOUNDED, NVRA_SOLVESTATUS_COMPLETED, NVRA_STOP_NONE);
        return 0;
    case NlpOutcome::End::Stopped:
        r_.lpStatus = NVRA_LP_UNFINISHED;
        finish(NVRA_MIP_LP_NOT_OPTIMAL, NVRA_SOLVESTATUS_STOPPED, nlp.stop);
        return 0;
    case NlpOutcome::End::Failed:
        break;
    }
    r_.lpStatus = NVRA_LP_UNSOLVED;
    finish(NVRA_MIP_LP_NOT_OPTIMAL, NVRA_SOLVESTATUS_FAILED, NVRA_STOP_NONE);
    return probError(prob_, NVRA_RC_ENGINE,
                     "%s: the interior-point solve of the continuous relaxation failed: %s", fn_,
                     nlp.detail.c_str());
}

// The lifted forms of the objective and of the convex rows, added to the master; the user rows
// with a quadratic part are freed there (their linear part alone restricts nothing).
int OuterApprox::liftForms(Image &master) {
    const Model &m = qp_.model();
    const double tol = prob_->controls.dbls[dblSlot::kCtrlConvexityTol];
    auto tooLarge = [&](const std::string &what) {
        return probError(prob_, NVRA_RC_UNSUPPORTED,
                         "%s: %s is too large to factorise for the outer approximation; use "
                         "Bonmin (miqcqpalg 2)",
                         fn_, what.c_str());
    };
    if (!m.Q.v.empty()) {
        QTriplets rest;
        perspective_.split(qp_, m.Q, sense_, tol, rest);
        if (!objective_.factor(rest, 1, tol)) return tooLarge("the quadratic objective");
        objective_.addTo(master, 0.5 * sense_);
        perspective_.addTo(master, 0.5 * sense_);
    }
    const auto &rows = qp_.quad().rows;
    rowForms_.assign(rows.size(), LiftedForm());
    for (size_t k = 0; k < rows.size(); ++k) {
        const QuadRow &q = rows[k];
        master.rowLower[q.row] = -kInf;
        master.rowUpper[q.row] = kInf;
        if (q.shape == RowShape::Cone) continue;
        LiftedForm &form = rowForms_[k];
        if (!form.factor(m.qrows.at(q.row), q.orient, tol)) return tooLarge(rowLabel(m, q.row));
        form.addTo(master, 0.0);
        std::vector<std::pair<int, double>> entries;
        qp_.forLinear(q.row, [&](int c, double v) { entries.emplace_back(c, q.orient * v); });
        for (int t = 0; t < form.numTerms(); ++t)
            if (form.tCol(t) >= 0) entries.emplace_back(form.tCol(t), 1.0);
        const double bound = q.orient > 0 ? qp_.rowUpper(q.row) : -qp_.rowLower(q.row);
        master.addRow(-kInf, bound, std::move(entries));
    }
    return 0;
}

// The master: the image with the lifted forms, polyhedral starts of the cones (tangents in
// kConeDirections directions for cones of one or two components, along each axis otherwise),
// and the tangents at the relaxation's solution.
int OuterApprox::buildMaster(const std::vector<double> &xRelax) {
    Image master = qp_.image();
    master.qStart.clear(); // the lifted terms take the quadratic objective's place
    master.qIndex.clear();
    master.qValue.clear();
    if (int rc = liftForms(master)) return rc;
    const QuadInfo &quad = qp_.quad();
    for (const QuadRow &q : quad.rows) {
        if (q.shape != RowShape::Cone) continue;
        const int k = static_cast<int>(q.wEnd - q.wBegin);
        auto tangent = [&](const std::vector<double> &dir) {
            std::vector<std::pair<int, double>> entries;
            for (int c = 0; c < k; ++c) {
                const Lin2 &t = quad.wTerms[q.wBegin + c];
                entries.emplace_back(t.col1, dir[c] * t.a1);
                if (t.col2 >= 0) entries.emplace_back(t.col2, dir[c] * t.a2);
            }
            entries.emplace_back(q.u.col1, -q.u.a1);
            if (q.u.col2 >= 0) entries.emplace_back(q.u.col2, -q.u.a2);
            master.addRow(-kInf, 0.0, std::move(entries));
        };
        if (k == 2) {
            for (int d = 0; d < kConeDirections; ++d) {
                const double angle = 2.0 * kPi * d / kConeDirections;
                tangent({std::cos(angle), std::sin(angle)});
            }
        } else {
            for (int c = 0; c < k; ++c)
                for (double s : {1.0, -1.0}) {
                    std::vector<double> dir(k, 0.0);
                    dir[c] = s;
                    tangent(dir);
                }
        }
    }
    std::vector<Cut> cuts;
    cutsAt(xRelax.data(), -kInf, cuts);
    objectiveCutsAt(xRelax.data(), cuts);
    for (Cut &c : cuts)
        master.addRow(c.lower, c.upper, std::move(c.entries));
    if (!passImage(e_, master))
        return engineError(prob_, e_,
                           (std::string(fn_) + ": the engine refused the master problem").c_str());
    if (int rc = applyControlsToHighs(prob_, e_.highs, SolveClass::Mip, 0, &e_.options)) return rc;
    // The master's bound sums many lifted terms, each held within the engine's feasibility
    // tolerance: a tighter one keeps the sum within the problem's.
    const double tol = std::max(1e-10, 0.01 * feasTol_);
    // Written through the engine's option cache, so that the next solve puts back the
    // controls' values.
    writeDoubleOption(e_.highs, &e_.options, "primal_feasibility_tolerance", tol);
    writeDoubleOption(e_.highs, &e_.options, "mip_feasibility_tolerance", tol);
    return 0;
}

// One master solve; xm receives its solution (with eta).
int OuterApprox::solveMaster(std::vector<double> &xm, Step &step) {
    void *h = e_.highs;
    const double left = deadline_.remaining();
    writeDoubleOption(h, &e_.options, "time_limit", left >= kInf ? Highs_getInfinity(h) : left);
    // While the outer approximation's own gap is wide, the master need not be solved to the
    // end: its bound stays valid, and its solution only has to be good enough to cut off.
    const double gap = ub_ < kInf ? (ub_ - lb_) / std::max(std::fabs(ub_), 1e-10) : kInf;
    writeDoubleOption(h, &e_.options, "mip_rel_gap", std::max(relGap_, std::min(0.1 * gap, 0.01)));
    // With an incumbent from the subproblems, the master's own primal heuristics mostly cost
    // time (measured on the portfolio benchmarks: a fourth of the time without them).
    if (ub_ < kInf) {
        writeDoubleOption(h, &e_.options, "mip_heuristic_effort", 0.0);
        for (const char *option :
             {"mip_heuristic_run_rins", "mip_heuristic_run_rens", "mip_heuristic_run_zi_round",
              "mip_heuristic_run_shifting", "mip_heuristic_run_root_reduced_cost"})
            writeBoolOption(h, &e_.options, option, false);
    }
    if (!out_.x.empty()) {
        // The incumbent in the master's columns, its lifted terms at their exact values.
        std::vector<double> start(Highs_getNumCol(h), 0.0);
        std::copy(out_.x.begin(), out_.x.end(), start.begin());
        objective_.fillStart(out_.x.data(), start.data());
        perspective_.fillStart(out_.x.data(), start.data());
        for (const LiftedForm &form : rowForms_)
            form.fillStart(out_.x.data(), start.data());
        Highs_setSolution(h, start.data(), nullptr, nullptr, nullptr);
    }
    SolveResult m;
    if (runEngine(prob_, e_, true, m)) {
        finish(out_.x.empty() ? NVRA_MIP_NO_SOL_FOUND : NVRA_MIP_SOLUTION, NVRA_SOLVESTATUS_FAILED,
               NVRA_STOP_NONE);
        return engineError(prob_, e_, (std::string(fn_) + ": the master problem failed").c_str());
    }
    ++r_.masterSolves;
    r_.nodes += m.nodes;
    r_.simplexIter += m.simplexIter;
    step = Step::Done;
    switch (m.mipStatus) {
    case NVRA_MIP_INFEAS: // nothing better than the incumbent remains, if there is one
        if (ub_ < kInf) lb_ = ub_;
        return finish(ub_ < kInf ? NVRA_MIP_OPTIMAL : NVRA_MIP_INFEAS, NVRA_SOLVESTATUS_COMPLETED,
                      NVRA_STOP_NONE);
    case NVRA_MIP_UNBOUNDED:
        return finish(NVRA_MIP_UNBOUNDED, NVRA_SOLVESTATUS_COMPLETED, NVRA_STOP_NONE);
    default:
        break;
    }
    if (std::fabs(m.bestBound) < kInf) lb_ = std::max(lb_, sense_ * m.bestBound);
    if (m.solveStatus != NVRA_SOLVESTATUS_COMPLETED || m.solStatus != NVRA_SOLSTATUS_OPTIMAL) {
        if (converged())
            return finish(NVRA_MIP_OPTIMAL, NVRA_SOLVESTATUS_COMPLETED, NVRA_STOP_NONE);
        return finish(out_.x.empty() ? NVRA_MIP_NO_SOL_FOUND : NVRA_MIP_SOLUTION, m.solveStatus,
                      m.stopStatus);
    }
    xm.assign(Highs_getNumCol(h), 0.0);
    std::vector<double> colDual(xm.size()), rowValue(Highs_getNumRow(h)), rowDual(rowValue.size());
    Highs_getSolution(h, xm.data(), colDual.data(), rowValue.data(), rowDual.data());
    step = Step::Continue;
    return 0;
}

// The integer assignment of xm with the continuous columns free: an incumbent and the cuts at
// its solution, or cuts where the infeasibility was minimised.
int OuterApprox::subproblem(const std::vector<double> &xm) {
    std::vector<double> assignment;
    for (int j : integers_)
        assignment.push_back(std::round(xm[j]));
    if (!visited_.insert(assignment).second) return 0;
    NlpOutcome nlp;
    if (int rc = solveAssignment(prob_, qp_, xm.data(), deadline_, nlp)) return rc;
    ++r_.nlpSolves;
    r_.barIter += nlp.iterations;
    std::vector<Cut> cuts;
    if (nlp.end == NlpOutcome::End::Optimal || nlp.end == NlpOutcome::End::Acceptable) {
        // Tangents of convex rows are valid at any point; consider() checks feasibility.
        consider(nlp.x);
        // Tangents where the rows are active (within a small band) and of the objective.
        cutsAt(nlp.x.data(), -std::sqrt(feasTol_), cuts);
        objectiveCutsAt(nlp.x.data(), cuts);
    } else if (nlp.end == NlpOutcome::End::Infeasible && !nlp.x.empty()) {
        cutsAt(nlp.x.data(), feasTol_, cuts);
    }
    addCuts(cuts);
    return 0;
}

int OuterApprox::finish(int mipStatus, int solveStatus, int stop) {
    r_.mipStatus = mipStatus;
    r_.solveStatus = solveStatus;
    r_.stopStatus = stop;
    r_.optimizeType = NVRA_OPTIMIZETYPE_MIP;
    const bool found = !out_.x.empty();
    switch (mipStatus) {
    case NVRA_MIP_OPTIMAL:
        r_.solStatus = NVRA_SOLSTATUS_OPTIMAL;
        break;
    case NVRA_MIP_INFEAS:
        r_.solStatus = NVRA_SOLSTATUS_INFEASIBLE;
        break;
    case NVRA_MIP_UNBOUNDED:
        r_.solStatus = NVRA_SOLSTATUS_UNBOUNDED;
        break;
    default:
        r_.solStatus = found ? NVRA_SOLSTATUS_FEASIBLE : NVRA_SOLSTATUS_NOTFOUND;
        break;
    }
    const double none = kInf * sense_;
    r_.objVal = r_.mipObjVal = found ? sense_ * ub_ : none;
    r_.lpObjVal = none;
    r_.bestBound = mipStatus == NVRA_MIP_OPTIMAL ? sense_ * std::min(lb_, ub_)
                   : std::fabs(lb_) < kInf       ? sense_ * lb_
                                                 : -none;
    r_.mipGap =
        !found ? kInf : std::fabs(ub_ - std::min(lb_, ub_)) / std::max(std::fabs(ub_), 1e-10);
    if (found) r_.maxViolation = qp_.violation(out_.x.data(), nullptr);
    if (log_) {
        char line[256];
        snprintf(line, sizeof line,
                 "Outer approximation: %s; objective %.10g, bound %.10g, gap %.4g%%; %lld master "
                 "solves, %lld subproblems, %.2f s",
                 r_.solStatus == NVRA_SOLSTATUS_OPTIMAL      ? "optimal"
                 : r_.solStatus == NVRA_SOLSTATUS_INFEASIBLE ? "infeasible"
                 : r_.solStatus == NVRA_SOLSTATUS_UNBOUNDED  ? "unbounded"
                 : solveStatus == NVRA_SOLVESTATUS_STOPPED   ? "stopped"
                                                             : "ended",
                 r_.objVal, r_.bestBound, r_.mipGap < kInf ? 100.0 * r_.mipGap : kInf,
                 static_cast<long long>(r_.masterSolves), static_cast<long long>(r_.nlpSolves - 1),
                 deadline_.elapsed());
        logLine(line);
    }
    return 0;
}

void OuterApprox::logIteration(int cuts) const {
    if (!log_) return;
    char line[160];
    const double gap = ub_ < kInf ? (ub_ - lb_) / std::max(std::fabs(ub_), 1e-10) : kInf;
    snprintf(line, sizeof line, "%6lld  %16.9g  %16.9g  %9.3g%%  %7d  %8.2fs",
             static_cast<long long>(r_.masterSolves), sense_ * lb_,
             ub_ < kInf ? sense_ * ub_ : sense_ * kInf, gap < kInf ? 100.0 * gap : kInf, cuts,
             deadline_.elapsed());
    logLine(line);
}

int OuterApprox::run() {
    if (log_) {
        char line[200];
        snprintf(line, sizeof line,
                 "Outer approximation: %zu nonlinear rows, %s objective, %zu integer columns; "
                 "master MIP on HiGHS, continuous subproblems on Ipopt",
                 qp_.quad().rows.size(), qp_.model().Q.v.empty() ? "linear" : "quadratic",
                 integers_.size());
        logLine(line);
    }
    std::vector<double> xRelax;
    if (int rc = solveRelaxation(xRelax)) return rc;
    if (xRelax.empty()) return 0; // settled by the relaxation
    if (int rc = buildMaster(xRelax)) return rc;
    logLine("  iter      master bound         incumbent        gap     cuts      time");
    const int baseRows = qp_.numRows();
    std::vector<double> xm;
    for (;;) {
        if (const int stop = deadline_.stopReason())
            return finish(out_.x.empty() ? NVRA_MIP_NO_SOL_FOUND : NVRA_MIP_SOLUTION,
                          NVRA_SOLVESTATUS_STOPPED, stop);
        Step step = Step::Done;
        if (int rc = solveMaster(xm, step)) return rc;
        if (step == Step::Done) return 0;
        const int rowsBefore = e_.numRow;
        const double ubBefore = ub_;
        consider(rounded(xm));
        std::vector<Cut> cuts;
        masterCuts(xm.data(), cuts);
        addCuts(cuts);
        if (!converged())
            if (int rc = subproblem(xm)) return rc;
        logIteration(e_.numRow - baseRows);
        report(nullptr);
        if (converged())
            return finish(NVRA_MIP_OPTIMAL, NVRA_SOLVESTATUS_COMPLETED, NVRA_STOP_NONE);
        if (e_.numRow == rowsBefore && ub_ == ubBefore) {
            // Nothing cut the master's solution off and nothing improved: the tolerances allow
            // no further progress.
            probMessage(prob_,
                        "Outer approximation: no further progress within the tolerances; the "
                        "gap stays open",
                        3);
            return finish(out_.x.empty() ? NVRA_MIP_NO_SOL_FOUND : NVRA_MIP_SOLUTION,
                          NVRA_SOLVESTATUS_FAILED, NVRA_STOP_NONE);
        }
    }
}

} // namespace

int solveOuterApprox(NVRAprob prob, const char *fn, Engine &engine, const QcProgram &qp,
                     const Deadline &deadline, MinlpOutcome &outcome) {
    outcome = MinlpOutcome();
    OuterApprox oa(prob, fn, engine, qp, deadline, outcome);
    return oa.run();
}

} // namespace nvra
