// slp.cpp: the successive linear programming solver (see slp.h).
#include "solver/slp.h"

#include "solver/nlpkernel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "highs_c_api.h"

namespace nvra {
namespace {

constexpr double kPenaltyCap = 1e10;
constexpr int kStallIterations = 5;

struct HighsDeleter {
    void operator()(void *h) const { Highs_destroy(h); }
};

// The program at a point: objective (minimisation form), row values, violations.
struct Point {
    std::vector<double> x, g;
    double f = 0.0, wviol = 0.0, maxViol = 0.0;
};

class Slp {
  public:
    Slp(NVRAprob prob, const NlpKernel &k, const SlpSettings &s, const Deadline &deadline,
        NlpOutcome &out)
        : prob_(prob), k_(k), s_(s), deadline_(deadline), out_(out), n_(k.numCols()),
          m_(k.numRows()) {}

    void run(std::vector<double> start);

  private:
    // One iteration from p: true when the solve ended (the outcome is set).
    bool iterate(Point &p, Point &trial, Point &second, std::vector<double> &y, int &stall);
    // The objective's gradient and the Jacobian at p, each update after the
    // preupdatelinearization hook (which may ask for one more). False when the derivatives cannot
    // be evaluated.
    bool linearise(const Point &p);
    bool columnConverged(int j, const Point &p, const std::vector<double> &y) const;
    bool evaluate(Point &p) const;
    double weight(int r) const { return s_.rowWeight.empty() ? 1.0 : s_.rowWeight[k_.imageRow(r)]; }
    double merit(const Point &p) const { return p.f + mu_ * p.wviol; }
    void buildMatrix();
    void initialSteps(const std::vector<double> &x);
    // Solves the linearisation at p: y, the weighted error sum and the LP's row duals. The
    // engine's model status, or -1 when it failed.
    // shift (may be null): amounts added to the rows' values at p (a second-order correction).
    int solveLp(const Point &p, std::vector<double> &y, double &errors,
                const std::vector<double> *shift = nullptr);
    // The second-order correction of a step to trial that the merit test rejected: the
    // linearisation with each row moved by its linearisation error at trial, solved again.
    bool corrected(const Point &p, const Point &trial, double predicted, Point &out);
    bool stepsWithin(const Point &p, const std::vector<double> &y) const;
    double kktResidual(const Point &p, const std::vector<double> &y) const;
    NlpOutcome::End settled(const Point &p, const std::vector<double> &y) const;
    // Sets the outcome; true.
    bool finish(NlpOutcome::End end, const Point &p);
    void logLine(const Point &p, double step) const;

    NVRAprob prob_;
    const NlpKernel &k_;
    const SlpSettings &s_;
    const Deadline &deadline_;
    NlpOutcome &out_;
    const int n_, m_;
    double mu_ = 1.0;
    std::unique_ptr<void, HighsDeleter> highs_;
    double inf_ = kInf;
    std::vector<HighsInt> aStart_, aIndex_;
    std::vector<double> aValue_, jac_, grad_, cost_, colLo_, colUp_, rowLo_, rowUp_;
    std::vector<double> lo_, up_, gl_, gu_, step_, lastMove_, colValue_, colDual_, rowDual_;
    std::vector<HighsInt> colBasis_, rowBasis_;
    bool haveBasis_ = false;
};

bool Slp::evaluate(Point &p) const {
    p.g.resize(m_);
    p.f = k_.objective(p.x.data());
    if (!std::isfinite(p.f) || !k_.rowValues(p.x.data(), p.g.data())) return false;
    p.wviol = p.maxViol = 0.0;
    for (int r = 0; r < m_; ++r) {
        if (!std::isfinite(p.g[r])) return false;
        const double v = std::max({gl_[r] - p.g[r], p.g[r] - gu_[r], 0.0});
        p.wviol += weight(r) * v;
        p.maxViol = std::max(p.maxViol, v);
    }
    return true;
}

// Rows of the Jacobian's pattern, each followed by its two error columns (+1, -1).
void Slp::buildMatrix() {
    const int nnz = k_.jacobianSize();
    std::vector<int> iRow(nnz), jCol(nnz);
    k_.jacobianPattern(iRow.data(), jCol.data());
    aStart_.assign(m_ + 1, 0);
    aIndex_.clear();
    aIndex_.reserve(nnz + 2 * m_);
    int e = 0;
    for (int r = 0; r < m_; ++r) {
        aStart_[r] = static_cast<HighsInt>(aIndex_.size());
        for (; e < nnz && iRow[e] == r; ++e)
            aIndex_.push_back(jCol[e]);
        aIndex_.push_back(n_ + 2 * r);
        aIndex_.push_back(n_ + 2 * r + 1);
    }
    aStart_[m_] = static_cast<HighsInt>(aIndex_.size());
    aValue_.resize(aIndex_.size());
    jac_.resize(nnz);
    grad_.resize(n_);
    cost_.resize(n_ + 2 * m_);
    colLo_.resize(n_ + 2 * m_);
    colUp_.resize(n_ + 2 * m_);
    rowLo_.resize(m_);
    rowUp_.resize(m_);
    colValue_.resize(n_ + 2 * m_);
    colDual_.resize(n_ + 2 * m_);
    rowDual_.resize(m_);
    colBasis_.resize(n_ + 2 * m_);
    rowBasis_.resize(m_);
}

// Step bounds: the column's own, else the control's, else the larger of 1 and |x_j|.
void Slp::initialSteps(const std::vector<double> &x) {
    step_.assign(n_, kInf);
    lastMove_.assign(n_, 0.0);
    for (int j = 0; j < n_; ++j) {
        if (k_.columnIsLinear(j)) continue;
        const double own = s_.colStep.empty() ? kInf : s_.colStep[j];
        step_[j] = own < kInf              ? own
                   : s_.initialStep < kInf ? s_.initialStep
                                           : std::max(1.0, std::fabs(x[j]));
    }
}

int Slp::solveLp(const Point &p, std::vector<double> &y, double &errors,
                 const std::vector<double> *shift) {
    void *h = highs_.get();
    auto engineValue = [&](double v) { return v >= kInf ? inf_ : v <= -kInf ? -inf_ : v; };
    for (int j = 0; j < n_; ++j) {
        cost_[j] = grad_[j];
        const double lo = p.x[j] - step_[j], up = p.x[j] + step_[j];
        colLo_[j] = engineValue(std::max(lo_[j], lo));
        colUp_[j] = engineValue(std::min(up_[j], up));
    }
    int e = 0;
    for (int r = 0; r < m_; ++r) {
        cost_[n_ + 2 * r] = cost_[n_ + 2 * r + 1] = mu_ * weight(r);
        colLo_[n_ + 2 * r] = colLo_[n_ + 2 * r + 1] = 0.0;
        colUp_[n_ + 2 * r] = colUp_[n_ + 2 * r + 1] = inf_;
        double c = p.g[r] + (shift ? (*shift)[r] : 0.0);
        HighsInt a = aStart_[r];
        for (; a < aStart_[r + 1] - 2; ++a, ++e) {
            aValue_[a] = jac_[e];
            c -= jac_[e] * p.x[aIndex_[a]];
        }
        aValue_[a] = 1.0;
        aValue_[a + 1] = -1.0;
        rowLo_[r] = gl_[r] <= -kInf ? -inf_ : gl_[r] - c;
        rowUp_[r] = gu_[r] >= kInf ? inf_ : gu_[r] - c;
    }
    const HighsInt ncols = n_ + 2 * m_;
    if (Highs_passLp(h, ncols, m_, static_cast<HighsInt>(aIndex_.size()), kHighsMatrixFormatRowwise,
                     kHighsObjSenseMinimize, 0.0, cost_.data(), colLo_.data(), colUp_.data(),
                     rowLo_.data(), rowUp_.data(), aStart_.data(), aIndex_.data(),
                     aValue_.data()) == kHighsStatusError)
        return -1;
    if (haveBasis_) Highs_setBasis(h, colBasis_.data(), rowBasis_.data());
    if (Highs_run(h) == kHighsStatusError) return -1;
    const HighsInt status = Highs_getModelStatus(h);
    if (status != kHighsModelStatusOptimal) return status;
    Highs_getSolution(h, colValue_.data(), colDual_.data(), nullptr, rowDual_.data());
    haveBasis_ = Highs_getBasis(h, colBasis_.data(), rowBasis_.data()) != kHighsStatusError;
    y.assign(colValue_.begin(), colValue_.begin() + n_);
    for (int j = 0; j < n_; ++j) // the engine's tolerances may leave y a hair outside the bounds
        y[j] = std::min(std::max(y[j], lo_[j]), up_[j]);
    errors = 0.0;
    for (int r = 0; r < m_; ++r)
        errors += weight(r) * (colValue_[n_ + 2 * r] + colValue_[n_ + 2 * r + 1]);
    return status;
}

// The KKT residual at p with the linearisation's multipliers (its row duals and reduced costs,
// which are those of the Lagrangian at p): the largest reduced cost of a column held by its step
// bound rather than by a bound of its own (stationarity), and the largest product of a
// multiplier with the distance of its row or column from the bound it holds (complementarity:
// a multiplier of the linearisation's solution y may belong to a bound that p does not touch).
// Relative to the gradient's scale. Near a solution that is not a vertex the linear model is flat
// along the rows, and the reduced costs at the step bounds vanish; where the model still pulls
// against a step bound they do not.
double Slp::kktResidual(const Point &p, const std::vector<double> &y) const {
    double largest = 0.0, scale = 1e-10;
    for (int j = 0; j < n_; ++j)
        scale = std::max(scale, std::fabs(grad_[j]));
    // The distance of v from the bound the multiplier belongs to: the lower one when atLower
    // (not the nearer one: p may sit at one bound of a column while y holds the other), the
    // other one when that side is infinite (a multiplier of the wrong sign within tolerances).
    auto distance = [](double v, double lo, double up, bool atLower) {
        double bound = atLower ? lo : up;
        if (std::fabs(bound) >= kInf) bound = atLower ? up : lo;
        return std::fabs(bound) < kInf ? std::fabs(v - bound) : kInf;
    };
    for (int j = 0; j < n_; ++j) {
        const bool atLower = y[j] <= lo_[j], ownBound = atLower || y[j] >= up_[j];
        const double d = std::fabs(colDual_[j]);
        largest = std::max(largest, ownBound ? d * distance(p.x[j], lo_[j], up_[j], atLower) /
                                                   (1.0 + std::fabs(p.x[j]))
                                             : d);
    }
    // A row's dual is positive on its lower bound, negative on its upper one (minimisation).
    for (int r = 0; r < m_; ++r)
        if (rowDual_[r] != 0.0)
            largest = std::max(largest, std::fabs(rowDual_[r]) *
                                            distance(p.g[r], gl_[r], gu_[r], rowDual_[r] > 0.0) /
                                            (1.0 + std::fabs(p.g[r])));
    return largest / scale;
}

// The end of a feasible point where the steps have become too small to go on: a local optimum
// when the KKT conditions hold to a hundred times the tolerance, else a point the solver could
// not improve (not proven stationary).
NlpOutcome::End Slp::settled(const Point &p, const std::vector<double> &y) const {
    return kktResidual(p, y) <= 100.0 * s_.optTol ? NlpOutcome::End::Optimal
                                                  : NlpOutcome::End::Acceptable;
}

bool Slp::corrected(const Point &p, const Point &trial, double predicted, Point &out) {
    // error_r = g_r(trial) - (g_r(p) + J_r (trial - p)): the curvature the step did not see.
    std::vector<double> shift(m_, 0.0);
    int e = 0;
    for (int r = 0; r < m_; ++r) {
        double linear = p.g[r];
        for (HighsInt a = aStart_[r]; a < aStart_[r + 1] - 2; ++a, ++e)
            linear += jac_[e] * (trial.x[aIndex_[a]] - p.x[aIndex_[a]]);
        shift[r] = trial.g[r] - linear;
    }
    double errors = 0.0;
    std::vector<double> y;
    if (solveLp(p, y, errors, &shift) != kHighsModelStatusOptimal || !(predicted > 0.0))
        return false;
    out.x = y;
    if (s_.cascade) s_.cascade(out.x);
    return evaluate(out);
}

bool Slp::columnConverged(int j, const Point &p, const std::vector<double> &y) const {
    const bool own = std::fabs(y[j] - p.x[j]) <= s_.absStep + s_.relStep * std::fabs(p.x[j]);
    const int verdict = s_.hooks.columnVerdict ? s_.hooks.columnVerdict(j) : 0;
    return verdict == 0 ? own : verdict > 0;
}

bool Slp::stepsWithin(const Point &p, const std::vector<double> &y) const {
    bool within = true;
    // With a verdict hook every column is asked (until the hook asks for a stop); without, the
    // first one out decides.
    const bool ask = static_cast<bool>(s_.hooks.columnVerdict);
    for (int j = 0; j < n_ && (ask ? !deadline_.stopReason() : within); ++j)
        within = columnConverged(j, p, y) && within;
    return within;
}

bool Slp::linearise(const Point &p) {
    bool again = true;
    while (again) {
        again = s_.hooks.repeatLinearization && s_.hooks.repeatLinearization();
        if (!k_.objectiveGradient(p.x.data(), grad_.data()) ||
            !k_.jacobian(p.x.data(), jac_.data()))
            return false;
        if (deadline_.stopReason()) break;
    }
    return true;
}

bool Slp::finish(NlpOutcome::End end, const Point &p) {
    out_.end = end;
    out_.x = p.x;
    out_.rowMult.assign(k_.program().numRows(), 0.0);
    // HiGHS's row duals are d(objective)/d(bound); Ipopt's multipliers have the other sign.
    for (int r = 0; r < m_; ++r)
        out_.rowMult[k_.imageRow(r)] = -rowDual_[r];
    return true;
}

void Slp::logLine(const Point &p, double step) const {
    if (!s_.log) return;
    char line[160];
    snprintf(line, sizeof line,
             "SLP %5lld  objective %- 16.9g  violation %-10.3g  step %-10.3g  "
             "penalty %.3g",
             static_cast<long long>(out_.iterations), p.f * k_.program().sense(), p.maxViol, step,
             mu_);
    if (s_.hooks.message)
        s_.hooks.message(line);
    else
        probMessage(prob_, line, 1);
}

void Slp::run(std::vector<double> start) {
    highs_.reset(Highs_create());
    void *h = highs_.get();
    if (!h) throw std::bad_alloc();
    Highs_setBoolOptionValue(h, "output_flag", 0);
    Highs_setStringOptionValue(h, "presolve", "off");
    inf_ = Highs_getInfinity(h);
    lo_.resize(n_), up_.resize(n_), gl_.resize(m_), gu_.resize(m_);
    k_.bounds(lo_.data(), up_.data(), gl_.data(), gu_.data());
    buildMatrix();
    mu_ = std::max(s_.penalty, 1e-8);
    Point p, trial, second;
    p.x.resize(n_);
    k_.start(start.data(), p.x.data());
    if (s_.cascade) s_.cascade(p.x);
    initialSteps(p.x);
    if (!evaluate(p) || !linearise(p)) {
        out_.detail = "the formulas cannot be evaluated at the starting point";
        finish(NlpOutcome::End::Failed, p);
        return;
    }
    logLine(p, 0.0);
    std::vector<double> y;
    int stall = 0;
    while (true) {
        if (const int stop = deadline_.stopReason()) {
            out_.stop = stop;
            finish(NlpOutcome::End::Stopped, p);
            return;
        }
        if (out_.iterations >= s_.iterLimit) {
            out_.stop = NVRA_STOP_ITERLIMIT;
            finish(NlpOutcome::End::Stopped, p);
            return;
        }
        if (s_.hooks.iterStart) {
            s_.hooks.iterStart();
            if (deadline_.stopReason()) continue;
        }
        const bool ended = iterate(p, trial, second, y, stall);
        if (s_.hooks.iterEnd) s_.hooks.iterEnd();
        if (ended) return;
    }
}

bool Slp::iterate(Point &p, Point &trial, Point &second, std::vector<double> &y, int &stall) {
    double errors = 0.0;
    const int status = solveLp(p, y, errors);
    ++out_.iterations;
    if (status == kHighsModelStatusUnbounded) return finish(NlpOutcome::End::Unbounded, p);
    if (status != kHighsModelStatusOptimal) {
        out_.detail =
            "a linearisation could not be solved (engine status " + std::to_string(status) + ")";
        return finish(NlpOutcome::End::Failed, p);
    }
    // The linearisation cannot get feasible without its error columns: a larger penalty.
    if (errors > s_.feasTol && errors > 0.9 * p.wviol && mu_ < kPenaltyCap) {
        mu_ = std::min(kPenaltyCap, mu_ * std::max(2.0, s_.penaltyGrowth));
        return false;
    }
    double linear = 0.0;
    for (int j = 0; j < n_; ++j)
        linear += grad_[j] * (y[j] - p.x[j]);
    const double predicted = merit(p) - (p.f + linear + mu_ * errors);
    const bool feasible = p.maxViol <= s_.feasTol;
    if (feasible && errors <= s_.feasTol && kktResidual(p, y) <= s_.optTol)
        return finish(NlpOutcome::End::Optimal, p);
    if (predicted <= 1e-12 * (1.0 + std::fabs(merit(p))) || stepsWithin(p, y)) {
        if (feasible) return finish(settled(p, y), p);
        if (mu_ >= kPenaltyCap) return finish(NlpOutcome::End::Infeasible, p);
        mu_ = std::min(kPenaltyCap, mu_ * std::max(2.0, s_.penaltyGrowth));
        return false;
    }
    trial.x = y;
    if (s_.cascade) s_.cascade(trial.x);
    const bool evaluable = evaluate(trial);
    if (!evaluable && s_.hooks.evaluationFailed) s_.hooks.evaluationFailed();
    double ratio = evaluable ? (merit(p) - merit(trial)) / predicted : -1.0;
    if (evaluable && ratio < 0.1 && corrected(p, trial, predicted, second)) {
        ++out_.iterations;
        ratio = (merit(p) - merit(second)) / predicted;
        if (ratio >= 0.1) {
            std::swap(trial, second);
            y.assign(trial.x.begin(), trial.x.end());
        }
    }
    double largest = 0.0;
    if (ratio < 0.1) { // rejected: shorten the steps of the columns that moved
        bool collapsed = true;
        for (int j = 0; j < n_; ++j) {
            const double move = std::fabs(y[j] - p.x[j]);
            if (step_[j] >= kInf || move == 0.0) continue;
            step_[j] = std::min(step_[j], 0.5 * move);
            collapsed = collapsed && step_[j] <= 1e-14 * (1.0 + std::fabs(p.x[j]));
        }
        if (collapsed) return finish(feasible ? settled(p, y) : NlpOutcome::End::Infeasible, p);
        return false;
    }
    for (int j = 0; j < n_; ++j) {
        const double move = trial.x[j] - p.x[j];
        largest = std::max(largest, std::fabs(move));
        if (step_[j] >= kInf) continue;
        if (move * lastMove_[j] < 0.0)
            step_[j] *= 0.5; // oscillating
        else if (ratio > 0.75 && std::fabs(move) >= 0.9 * step_[j])
            step_[j] *= 2.0;
        if (move != 0.0) lastMove_[j] = move;
    }
    const double change = std::fabs(trial.f - p.f);
    std::swap(p, trial);
    if (!linearise(p)) {
        out_.detail = "the derivatives of the formulas cannot be evaluated at an iterate";
        return finish(NlpOutcome::End::Failed, p);
    }
    logLine(p, largest);
    const bool nowFeasible = p.maxViol <= s_.feasTol;
    stall =
        nowFeasible && change <= s_.objAbs && change <= s_.objRel * std::fabs(p.f) ? stall + 1 : 0;
    return stall >= kStallIterations && finish(NlpOutcome::End::Acceptable, p);
}

} // namespace

int solveSlp(NVRAprob prob, const QcProgram &qp, const NlpSetup &setup, const SlpSettings &s,
             const Deadline &deadline, NlpOutcome &out) {
    out = NlpOutcome();
    try {
        NlpKernel kernel(qp, setup.lower, setup.upper);
        if (!kernel.build(s.feasTol)) {
            out.end = NlpOutcome::End::Infeasible;
            return 0;
        }
        std::vector<double> start(setup.start, setup.start + qp.numCols());
        Slp(prob, kernel, s, deadline, out).run(std::move(start));
        return 0;
    } catch (const std::bad_alloc &) {
        out.end = NlpOutcome::End::Failed;
        out.detail = "out of memory";
        return s.reportError ? slpFailure(prob, NVRA_RC_NOMEM) : NVRA_RC_NOMEM;
    }
}

int slpFailure(NVRAprob prob, int rc) {
    return probError(prob, rc, "Out of memory in the successive linear programming solver");
}

} // namespace nvra
