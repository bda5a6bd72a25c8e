// nlbranch.cpp: the successive linear programming branch and bound (see nlbranch.h).
#include "solver/nlbranch.h"

#include "solver/solve.h"

#include "nonlinear/nlcontrols.h"
#include "nonlinear/nlprob.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

namespace nvra {
namespace {

// An open node: the bounds of the integer columns (in the search's order of them), the point
// its solve starts from (its parent's) and its parent's local value in minimisation form.
struct Node {
    std::vector<double> lower, upper;
    std::vector<double> start;
    double estimate = -kInf;
    int64_t order = 0;
};

// Best-first order: the lower estimate first, on ties the later node (the deeper one).
bool lowerPriority(const Node &a, const Node &b) {
    return a.estimate != b.estimate ? a.estimate > b.estimate : a.order < b.order;
}

bool feasible(const SolveResult &r) {
    return r.solStatus == NVRA_SOLSTATUS_OPTIMAL || r.solStatus == NVRA_SOLSTATUS_FEASIBLE;
}

class Search {
  public:
    Search(NVRAprob prob, NSLPprob nl, const QcProgram &qp, const Deadline &deadline,
           const BoxSolve &solve, MinlpOutcome &out)
        : prob_(prob), nl_(nl), qp_(qp), deadline_(deadline), solve_(solve), out_(out),
          box_(relaxedSetup(qp.image())) {
        const ControlValues &c = prob->controls;
        mipTol_ = c.dbls[dblSlot::kCtrlMipTol];
        absGap_ = c.dbls[dblSlot::kCtrlMipAbsStop];
        relGap_ = c.dbls[dblSlot::kCtrlMipRelStop];
        maxNodes_ = c.ints[intSlot::kCtrlMaxNodes];
        maxSolutions_ = c.ints[intSlot::kCtrlMaxMipSols];
        feasTol_ = std::max(nl::dblControl(nl, nl::kNlCtrlFeasTol), c.dbls[dblSlot::kCtrlFeasTol]);
    }

    // The integer columns, or the error naming a column kind the search cannot branch on.
    int collectIntegers(const char *fn);
    int run(const std::vector<double> &start);

  private:
    void push(Node node);
    Node pop();
    bool stopped();
    // Solves one node and acts on its outcome: 0, or an error that ends the search.
    int process(Node node);
    // Whether a local value cannot beat the incumbent by the gap controls.
    bool prunable(double value) const;
    // The integer column farthest from an integer at x (its position in ints_), -1 if none.
    int branchColumn(const std::vector<double> &x) const;
    void branch(const Node &node, int k, const std::vector<double> &x, double value);
    void offer(std::vector<double> x, double value);
    void finish();

    NVRAprob prob_;
    NSLPprob nl_;
    const QcProgram &qp_;
    const Deadline &deadline_;
    const BoxSolve &solve_;
    MinlpOutcome &out_;
    NlpSetup box_; // the column bounds of the root (integer columns rounded inwards)
    std::vector<int> ints_;
    std::vector<Node> open_;
    bool bestFirst_ = false;
    int64_t created_ = 0, nodes_ = 0, iterations_ = 0, solutions_ = 0;
    int64_t maxNodes_ = 0, maxSolutions_ = 0;
    double mipTol_ = 0.0, absGap_ = 0.0, relGap_ = 0.0, feasTol_ = 0.0;
    double incumbentValue_ = kInf; // minimisation form
    int stop_ = NVRA_STOP_NONE;
    bool cut_ = false; // a node's solve was cut short by a stop
    bool unbounded_ = false;
    // A node whose solve failed or ended without a verdict was dropped: the tree was not
    // searched completely.
    bool incomplete_ = false;
    int failure_ = 0;
    std::string failureText_;
};

int Search::collectIntegers(const char *fn) {
    const Image &img = qp_.image();
    for (int j = 0; j < img.numCols(); ++j) {
        const HighsInt type = img.colType[j];
        if (type == kHighsVarTypeContinuous) continue;
        if (type != kHighsVarTypeInteger)
            return probError(prob_, NVRA_RC_UNSUPPORTED,
                             "%s: the successive linear programming branch and bound takes "
                             "integer and binary columns only; column %d is %s",
                             fn, j,
                             type == kHighsVarTypeSemiContinuous ? "semi-continuous"
                             : type == kHighsVarTypeSemiInteger  ? "semi-integer"
                                                                 : "of another kind");
        ints_.push_back(j);
        box_.lower[j] = std::ceil(box_.lower[j] - mipTol_);
        box_.upper[j] = std::floor(box_.upper[j] + mipTol_);
    }
    return 0;
}

void Search::push(Node node) {
    node.order = created_++;
    open_.push_back(std::move(node));
    if (bestFirst_) std::push_heap(open_.begin(), open_.end(), lowerPriority);
}

Node Search::pop() {
    if (bestFirst_) std::pop_heap(open_.begin(), open_.end(), lowerPriority);
    Node node = std::move(open_.back());
    open_.pop_back();
    return node;
}

bool Search::stopped() {
    if (stop_ == NVRA_STOP_NONE) stop_ = deadline_.stopReason();
    if (stop_ == NVRA_STOP_NONE && nodes_ >= maxNodes_) stop_ = NVRA_STOP_NODELIMIT;
    return stop_ != NVRA_STOP_NONE;
}

bool Search::prunable(double value) const {
    if (incumbentValue_ >= kInf) return false;
    const double slack = std::max(absGap_, relGap_ * std::fabs(incumbentValue_));
    return value >= incumbentValue_ - slack;
}

int Search::branchColumn(const std::vector<double> &x) const {
    int best = -1;
    double widest = mipTol_;
    for (size_t k = 0; k < ints_.size(); ++k) {
        const double v = x[ints_[k]];
        const double distance = std::fabs(v - std::round(v));
        if (distance > widest) {
            widest = distance;
            best = static_cast<int>(k);
        }
    }
    return best;
}

// Two children on x_j <= floor(v) and x_j >= floor(v) + 1; depth-first takes the one nearer to
// v first (it is pushed last).
void Search::branch(const Node &node, int k, const std::vector<double> &x, double value) {
    const double v = x[ints_[k]], down = std::floor(v);
    Node below{node.lower, node.upper, x, value};
    below.upper[k] = down;
    Node above{node.lower, node.upper, x, value};
    above.lower[k] = down + 1.0;
    const bool upFirst = v - down > 0.5;
    push(upFirst ? std::move(below) : std::move(above));
    push(upFirst ? std::move(above) : std::move(below));
}

// An integral point: its integers rounded when the rows still hold there, then kept when it
// improves on the incumbent.
void Search::offer(std::vector<double> x, double value) {
    std::vector<double> rounded = x;
    for (int j : ints_)
        rounded[j] = std::round(rounded[j]);
    if (qp_.violation(rounded.data(), nullptr) <= feasTol_) {
        x.swap(rounded);
        value = qp_.sense() * qp_.objective(x.data());
    }
    if (value >= incumbentValue_) return;
    incumbentValue_ = value;
    out_.x = std::move(x);
    ++solutions_;
    if (bestFirst_ == false) {
        bestFirst_ = true;
        std::make_heap(open_.begin(), open_.end(), lowerPriority);
    }
    char text[NVRA_MAXMESSAGELENGTH];
    snprintf(text, sizeof text, "Branch and bound: solution %lld at node %lld, objective %.9g",
             static_cast<long long>(solutions_), static_cast<long long>(nodes_),
             qp_.sense() * value);
    note(prob_, text, 1);
    nl::fireStop(nl_, nl::Cb::IntSol);
    if (solutions_ >= maxSolutions_ && stop_ == NVRA_STOP_NONE) stop_ = NVRA_STOP_NODELIMIT;
}

int Search::process(Node node) {
    // The parent's value already decides the node when an incumbent came since it was made.
    if (prunable(node.estimate)) return 0;
    if (nl::fireNodeVerdict(nl_, nl::Cb::PreNode) || nl::fireNodeVerdict(nl_, nl::Cb::SlpNode))
        return 0;
    std::vector<double> lower = box_.lower, upper = box_.upper;
    for (size_t k = 0; k < ints_.size(); ++k) {
        lower[ints_[k]] = node.lower[k];
        upper[ints_[k]] = node.upper[k];
    }
    LocalRun run = solve_(std::move(node.start), lower, upper);
    ++nodes_;
    iterations_ += run.result.slpIter;
    if (const int stop = deadline_.stopReason()) { // the node is unfinished: the search stops
        stop_ = stop;
        cut_ = true;
        return 0;
    }
    if (run.rc) {
        if (run.rc == NVRA_RC_NOMEM) return run.rc;
        // The node is dropped; the error is the search's only when it finds nothing.
        incomplete_ = true;
        failure_ = run.rc;
        failureText_ = prob_->lastError;
        prob_->lastError.clear();
        prob_->lastErrorCode = 0;
        const std::string text = "Branch and bound: node dropped: " + failureText_;
        note(prob_, text.c_str(), 2);
        return 0;
    }
    if (run.out.end == NlpOutcome::End::Unbounded) {
        unbounded_ = true;
        return 0;
    }
    if (nl::fireNodeVerdict(nl_, nl::Cb::OptNode)) return 0;
    if (!feasible(run.result)) {
        // A point of least violation proves nothing either way when the solve was cut short.
        if (run.out.end != NlpOutcome::End::Infeasible) incomplete_ = true;
        return 0;
    }
    const double value = qp_.sense() * run.result.objVal;
    if (prunable(value)) return 0;
    const int k = branchColumn(run.out.x);
    if (k < 0)
        offer(std::move(run.out.x), value);
    else
        branch(node, k, run.out.x, value);
    return 0;
}

int Search::run(const std::vector<double> &start) {
    Node root;
    for (int j : ints_) {
        root.lower.push_back(box_.lower[j]);
        root.upper.push_back(box_.upper[j]);
    }
    root.start = start;
    push(std::move(root));
    while (!open_.empty() && !stopped() && !unbounded_)
        if (int rc = process(pop())) return rc;
    finish();
    char text[NVRA_MAXMESSAGELENGTH];
    snprintf(text, sizeof text,
             "Branch and bound: %lld nodes, %lld successive linear programming iterations, "
             "%lld solutions%s",
             static_cast<long long>(nodes_), static_cast<long long>(iterations_),
             static_cast<long long>(solutions_),
             out_.result.solveStatus == NVRA_SOLVESTATUS_STOPPED ? ", stopped" : "");
    note(prob_, text, 1);
    if (out_.result.mipStatus == NVRA_MIP_INFEAS && failure_)
        return probError(prob_, failure_, "%s", failureText_.c_str());
    return 0;
}

// The statuses: a local search claims no bound and no global optimum.
void Search::finish() {
    SolveResult &r = out_.result;
    const int sense = qp_.sense();
    const bool found = !out_.x.empty();
    r.optimizeType = NVRA_OPTIMIZETYPE_MIP;
    r.nodes = nodes_;
    r.slpIter = iterations_;
    r.objVal = r.mipObjVal = found ? sense * incumbentValue_ : kInf * sense;
    r.lpObjVal = kInf * sense;
    r.bestBound = -kInf * sense;
    r.mipGap = kInf;
    if (found) r.maxViolation = qp_.violation(out_.x.data(), nullptr);
    r.solveStatus = NVRA_SOLVESTATUS_COMPLETED;
    if (unbounded_) {
        r.mipStatus = NVRA_MIP_UNBOUNDED;
        r.solStatus = NVRA_SOLSTATUS_UNBOUNDED;
        r.nlpStatus = NSLP_STATUS_UNBOUNDED;
    } else if (cut_ || !open_.empty()) {
        r.solveStatus = NVRA_SOLVESTATUS_STOPPED;
        r.stopStatus = stop_;
        r.mipStatus = found ? NVRA_MIP_SOLUTION : NVRA_MIP_NO_SOL_FOUND;
        r.solStatus = found ? NVRA_SOLSTATUS_FEASIBLE : NVRA_SOLSTATUS_NOTFOUND;
        r.nlpStatus = NSLP_STATUS_UNFINISHED;
    } else if (found) {
        // The tree is exhausted: the best solution the local solves found, not a proven optimum.
        r.mipStatus = NVRA_MIP_SOLUTION;
        r.solStatus = NVRA_SOLSTATUS_FEASIBLE;
        r.nlpStatus = incomplete_ ? NSLP_STATUS_UNFINISHED : NSLP_STATUS_LOCALLY_OPTIMAL;
    } else {
        r.mipStatus = NVRA_MIP_INFEAS;
        r.solStatus = NVRA_SOLSTATUS_INFEASIBLE;
        r.nlpStatus = NSLP_STATUS_LOCALLY_INFEASIBLE;
    }
}

} // namespace

int solveSlpBranch(NVRAprob prob, const char *fn, NSLPprob nl, const QcProgram &qp,
                   const std::vector<double> &start, const Deadline &deadline,
                   const BoxSolve &solve, MinlpOutcome &outcome) {
    outcome = MinlpOutcome();
    Search search(prob, nl, qp, deadline, solve, outcome);
    if (int rc = search.collectIntegers(fn)) return rc;
    return search.run(start);
}

} // namespace nvra
