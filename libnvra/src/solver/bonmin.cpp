// bonmin.cpp: mixed-integer problems with quadratic parts solved by Bonmin's nonlinear
// branch-and-bound (control miqcqpalg 2): the program as Bonmin's TMINLP over the same derivative
// kernel as the interior-point solver, Bonmin's and Cbc's messages and Ipopt's journal on the
// problem's log, and stop requests passed to Bonmin's search.
//
// Bonmin's search replaces the process's SIGINT handler with its own (one that ends the process
// on a second Ctrl-C) and never restores it. The library takes its own handling back at every
// objective evaluation and when the search ends, so that Ctrl-C keeps going through the
// library's stop request.
#include "solver/interior.h"
#include "solver/minlp.h"
#include "solver/kerneltnlp.h"

#include "core/sigint.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <new>

#include "BonBonminSetup.hpp"
#include "BonCbc.hpp"
#include "BonTMINLP.hpp"
#include "CbcModel.hpp"
#include "CoinMessageHandler.hpp"
#include "IpIpoptApplication.hpp"

extern bool BonminAbortAll; // Bonmin's own stop flag, read by its interior-point iterations

namespace nvra {
namespace {

using Ipopt::Index;
using Ipopt::Number;

// Bonmin's and Cbc's messages as lines on the problem's log.
class LogHandler : public CoinMessageHandler {
  public:
    explicit LogHandler(NVRAprob prob) : prob_(prob) {}
    CoinMessageHandler *clone() const override { return new LogHandler(*this); }
    int print() override {
        if (prob_->controls.ints[intSlot::kCtrlOutputLog] != NVRA_OUTPUT_NONE)
            probMessage(prob_, messageBuffer(), 1);
        return 0;
    }

  private:
    NVRAprob prob_;
};

// The SIGINT disposition the search must leave as it found it.
class SigintKeeper {
  public:
    SigintKeeper() { sigaction(SIGINT, nullptr, &saved_); }
    ~SigintKeeper() { restore(); }
    void restore() { sigaction(SIGINT, &saved_, nullptr); }
    // Puts the saved disposition back if someone replaced it.
    void reclaim() {
        struct sigaction current {};
        if (sigaction(SIGINT, nullptr, &current) == 0 && current.sa_handler != saved_.sa_handler)
            restore();
    }

  private:
    struct sigaction saved_ {};
};

// The program as Bonmin's TMINLP. Every evaluation also checks for a stop request, which it
// hands to the search (and to the interior-point iterations through Bonmin's flag).
class QcTminlp : public KernelTnlp<Bonmin::TMINLP> {
  public:
    QcTminlp(const NlpKernel &k, const Deadline &deadline, SigintKeeper &sigint)
        : KernelTnlp(k, nullptr), deadline_(deadline), sigint_(sigint) {}

    void searchStarts(CbcModel *model) { model_ = model; }
    int stopReason() const { return stop_; }
    const std::vector<double> &solution() const { return x_; }

    bool get_variables_types(Index n, VariableType *types) override {
        const Image &img = k_.program().image();
        for (Index j = 0; j < n; ++j) {
            const bool integer = img.colType[j] != kHighsVarTypeContinuous;
            const bool binary = integer && k_.lower(j) == 0.0 && k_.upper(j) == 1.0;
            types[j] = binary ? BINARY : integer ? INTEGER : CONTINUOUS;
        }
        return true;
    }
    bool get_variables_linearity(Index n, Ipopt::TNLP::LinearityType *types) override {
        for (Index j = 0; j < n; ++j)
            types[j] = k_.columnIsLinear(j) ? Ipopt::TNLP::LINEAR : Ipopt::TNLP::NON_LINEAR;
        return true;
    }
    bool eval_f(Index n, const Number *x, bool newX, Number &f) override {
        checkStop();
        return KernelTnlp::eval_f(n, x, newX, f);
    }
    void finalize_solution(Bonmin::TMINLP::SolverReturn, Index n, const Number *x,
                           Number) override {
        if (x) x_.assign(x, x + n);
    }
    const BranchingInfo *branchingInfo() const override { return nullptr; }
    const SosInfo *sosConstraints() const override { return nullptr; }

  private:
    void checkStop() {
        sigint_.reclaim();
        if (stop_ != NVRA_STOP_NONE || (stop_ = deadline_.stopReason()) == NVRA_STOP_NONE) return;
        BonminAbortAll = true;
        if (model_) model_->sayEventHappened();
    }

    const Deadline &deadline_;
    SigintKeeper &sigint_;
    CbcModel *model_ = nullptr;
    int stop_ = NVRA_STOP_NONE;
    std::vector<double> x_;
};

// Sets one of Bonmin's options; false (with the last error naming it) when refused.
template <class T> bool setOption(NVRAprob prob, Ipopt::OptionsList &o, const char *name, T v) {
    bool ok;
    if constexpr (std::is_same_v<T, const char *>)
        ok = o.SetStringValue(name, v);
    else if constexpr (std::is_same_v<T, int>)
        ok = o.SetIntegerValue(name, v);
    else
        ok = o.SetNumericValue(name, v);
    if (!ok) probError(prob, NVRA_RC_ENGINE, "Bonmin refused its option %s", name);
    return ok;
}

bool setBonminOptions(NVRAprob prob, Ipopt::OptionsList &o, double timeLimit) {
    const ControlValues &c = prob->controls;
    const int64_t level = c.ints[intSlot::kCtrlOutputLog];
    const int bbLog = level == NVRA_OUTPUT_NONE ? 0 : level == NVRA_OUTPUT_NORMAL ? 1 : 2;
    const int quiet = level == NVRA_OUTPUT_DETAILED ? 1 : 0;
    // Branching on the most fractional column rather than Bonmin's default strong branching:
    // with strong branching, Debian's build chooses now and then an integer column whose bounds
    // are already equal and fails an assertion in Osi's branch creation, which aborts the whole
    // process (seen on small convex facility models; the searches that finished found the same
    // optima either way in comparable times). Its one cost: a search stopped by a limit or a
    // request leaves the node it was expanding unfreed (a few hundred bytes).
    return setOption(prob, o, "bonmin.algorithm", "B-BB") &&
           setOption(prob, o, "bonmin.variable_selection", "most-fractional") &&
           setOption(prob, o, "bonmin.time_limit", std::min(timeLimit, 1e10)) &&
           setOption(prob, o, "bonmin.allowable_gap", c.dbls[dblSlot::kCtrlMipAbsStop]) &&
           setOption(prob, o, "bonmin.allowable_fraction_gap", c.dbls[dblSlot::kCtrlMipRelStop]) &&
           setOption(prob, o, "bonmin.integer_tolerance", c.dbls[dblSlot::kCtrlMipTol]) &&
           setOption(
               prob, o, "bonmin.node_limit",
               static_cast<int>(std::min<int64_t>(c.ints[intSlot::kCtrlMaxNodes], INT32_MAX))) &&
           setOption(prob, o, "bonmin.bb_log_level", bbLog) &&
           setOption(prob, o, "bonmin.nlp_log_level", quiet);
}

// Bonmin's end as the library's statuses.
void mapResult(const QcProgram &qp, Bonmin::Bab &bab, const QcTminlp &tminlp, MinlpOutcome &out) {
    SolveResult &r = out.result;
    const int sense = qp.sense();
    r.optimizeType = NVRA_OPTIMIZETYPE_MIP;
    r.nodes = bab.numNodes();
    const bool found = bab.bestSolution() != nullptr;
    if (found) out.x.assign(bab.bestSolution(), bab.bestSolution() + qp.numCols());
    const double none = kInf * sense;
    r.objVal = r.mipObjVal = found ? qp.objective(out.x.data()) : none;
    r.lpObjVal = none;
    const double bound = bab.bestBound();
    r.bestBound = std::fabs(bound) < 1e50 ? sense * bound : -none;
    // A stop request ends the NLP solves the search relies on, and an interrupted relaxation
    // reads to the search as an infeasible one: after a request no verdict of the search is
    // trusted, and the solve is reported as stopped with what it found.
    const bool stopRequested = tminlp.stopReason() != NVRA_STOP_NONE;
    switch (stopRequested ? Bonmin::Bab::NoSolutionKnown : bab.mipStatus()) {
    case Bonmin::Bab::FeasibleOptimal:
        r.mipStatus = NVRA_MIP_OPTIMAL;
        r.solStatus = NVRA_SOLSTATUS_OPTIMAL;
        r.solveStatus = NVRA_SOLVESTATUS_COMPLETED;
        break;
    case Bonmin::Bab::ProvenInfeasible:
        r.mipStatus = NVRA_MIP_INFEAS;
        r.solStatus = NVRA_SOLSTATUS_INFEASIBLE;
        r.solveStatus = NVRA_SOLVESTATUS_COMPLETED;
        break;
    case Bonmin::Bab::UnboundedOrInfeasible:
        r.mipStatus = NVRA_MIP_UNBOUNDED;
        r.solStatus = NVRA_SOLSTATUS_UNBOUNDED;
        r.solveStatus = NVRA_SOLVESTATUS_COMPLETED;
        break;
    default: // stopped by a limit or a request, with or without a solution
        r.mipStatus = found ? NVRA_MIP_SOLUTION : NVRA_MIP_NO_SOL_FOUND;
        r.solStatus = found ? NVRA_SOLSTATUS_FEASIBLE : NVRA_SOLSTATUS_NOTFOUND;
        r.solveStatus = NVRA_SOLVESTATUS_STOPPED;
        r.stopStatus =
            tminlp.stopReason() != NVRA_STOP_NONE ? tminlp.stopReason() : NVRA_STOP_TIMELIMIT;
        break;
    }
    if (found) {
        r.mipGap = std::fabs(r.objVal - r.bestBound) / std::max(std::fabs(r.objVal), 1e-10);
        r.maxViolation = qp.violation(out.x.data(), nullptr);
    }
}

// Bonmin's solution has integers within the integrality tolerance and continuous columns within
// its bound tolerance (w <= z allows w = 1e-7 at z = 1e-7): its assignment is solved once more
// with the integers exact, and that point is kept when it is as good within the gap controls.
int polish(NVRAprob prob, const QcProgram &qp, const Deadline &deadline, MinlpOutcome &out) {
    if (out.x.empty()) return 0;
    NlpOutcome nlp;
    if (int rc = solveAssignment(prob, qp, out.x.data(), deadline, nlp)) return rc;
    SolveResult &r = out.result;
    ++r.nlpSolves;
    if (nlp.end != NlpOutcome::End::Optimal && nlp.end != NlpOutcome::End::Acceptable) return 0;
    const double value = qp.objective(nlp.x.data());
    const ControlValues &c = prob->controls;
    const double slack = std::max(c.dbls[dblSlot::kCtrlMipAbsStop],
                                  c.dbls[dblSlot::kCtrlMipRelStop] * std::fabs(r.objVal));
    if (qp.violation(nlp.x.data(), nullptr) > 2.0 * c.dbls[dblSlot::kCtrlFeasTol] ||
        qp.sense() * (value - r.objVal) > slack)
        return 0;
    out.x = nlp.x;
    r.objVal = r.mipObjVal = value;
    r.maxViolation = qp.violation(out.x.data(), nullptr);
    r.bestBound = qp.sense() > 0 ? std::min(r.bestBound, value) : std::max(r.bestBound, value);
    r.mipGap = std::fabs(r.objVal - r.bestBound) / std::max(std::fabs(r.objVal), 1e-10);
    return 0;
}

} // namespace

int solveBonmin(NVRAprob prob, const char *fn, const QcProgram &qp, const Deadline &deadline,
                MinlpOutcome &out) {
    out = MinlpOutcome();
    // Bonmin takes integer columns with integral bounds only.
    NlpSetup setup = relaxedSetup(qp.image());
    for (int j = 0; j < qp.numCols(); ++j)
        if (qp.image().colType[j] != kHighsVarTypeContinuous) {
            setup.lower[j] = std::ceil(setup.lower[j]);
            setup.upper[j] = std::floor(setup.upper[j]);
        }
    try {
        NlpKernel kernel(qp, setup.lower, setup.upper);
        if (!kernel.build(prob->controls.dbls[dblSlot::kCtrlFeasTol])) {
            out.result.mipStatus = NVRA_MIP_INFEAS;
            out.result.solStatus = NVRA_SOLSTATUS_INFEASIBLE;
            out.result.solveStatus = NVRA_SOLVESTATUS_COMPLETED;
            out.result.optimizeType = NVRA_OPTIMIZETYPE_MIP;
            return 0;
        }
        std::unique_lock<std::timed_mutex> lock;
        if (const int stop = lockIpopt(deadline, lock)) {
            out.result.solveStatus = NVRA_SOLVESTATUS_STOPPED;
            out.result.stopStatus = stop;
            out.result.optimizeType = NVRA_OPTIMIZETYPE_MIP;
            return 0;
        }
        SigintKeeper sigint;
        Ipopt::SmartPtr<QcTminlp> tminlp = new QcTminlp(kernel, deadline, sigint);
        LogHandler handler(prob);
        Bonmin::BonminSetup bonmin(&handler);
        Ipopt::SmartPtr<Ipopt::Journalist> journalist = new Ipopt::Journalist();
        addLogJournal(prob, nlpPrintLevel(prob, true), *journalist);
        Ipopt::SmartPtr<Bonmin::RegisteredOptions> roptions = new Bonmin::RegisteredOptions();
        Ipopt::SmartPtr<Ipopt::OptionsList> options = new Ipopt::OptionsList();
        options->SetJournalist(journalist);
        options->SetRegisteredOptions(GetRawPtr(roptions));
        bonmin.setOptionsAndJournalist(roptions, options, journalist);
        bonmin.registerOptions();
        setIpoptOptions(prob, *options, kernel, false);
        // Bonmin checks its subproblems' points against the bounds as they are.
        options->SetStringValue("honor_original_bounds", "yes");
        if (!setBonminOptions(prob, *options, deadline.remaining())) return NVRA_RC_ENGINE;
        bonmin.initialize(GetRawPtr(tminlp));
        Bonmin::Bab bab;
        BonminAbortAll = false;
        tminlp->searchStarts(&bab.model());
        bab(bonmin);
        sigint.restore();
        BonminAbortAll = false;
        lock.unlock();
        mapResult(qp, bab, *tminlp, out);
        return polish(prob, qp, deadline, out);
    } catch (const std::bad_alloc &) {
        return probError(prob, NVRA_RC_NOMEM, "%s: out of memory in Bonmin", fn);
    } catch (const CoinError &e) {
        return probError(prob, NVRA_RC_ENGINE, "%s: Bonmin failed: %s (%s)", fn,
                         e.message().c_str(), e.methodName().c_str());
    } catch (...) {
        return probError(prob, NVRA_RC_ENGINE, "%s: Bonmin failed", fn);
    }
}

} // namespace nvra
