// interior.cpp: the interior-point solver (Ipopt's C++ interface) on a QcProgram: the program
// as an Ipopt TNLP with exact derivatives, a journal that hands Ipopt's lines to the problem's
// message callbacks, and the intermediate callback through which time limits and stop
// requests reach the solve.
#include "solver/interior.h"

#include "solver/kerneltnlp.h"
#include "solver/ray.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <new>
#include <sstream>
#include <string>

#include "IpIpoptApplication.hpp"
#include "IpSolveStatistics.hpp"

namespace nvra {
namespace {

using Ipopt::Index;
using Ipopt::Number;

// Ipopt's text, cut into lines for the problem's message callbacks (type 1, information).
class LogJournal : public Ipopt::Journal {
  public:
    explicit LogJournal(NVRAprob prob) : Journal("nvra", Ipopt::J_NONE), prob_(prob) {}
    ~LogJournal() override { flushLine(); }

  protected:
    void PrintImpl(Ipopt::EJournalCategory, Ipopt::EJournalLevel, const char *str) override {
        append(str);
    }
    void PrintfImpl(Ipopt::EJournalCategory, Ipopt::EJournalLevel, const char *format,
                    va_list ap) override {
        char buf[1024];
        vsnprintf(buf, sizeof buf, format, ap);
        append(buf);
    }
    void FlushBufferImpl() override {}

  private:
    void append(const char *text) {
        try {
            for (const char *p = text; *p; ++p) {
                if (*p == '\n')
                    flushLine();
                else
                    line_.push_back(*p);
            }
        } catch (...) {
            line_.clear(); // out of memory: the line is lost, the solve goes on
        }
    }
    void flushLine() {
        if (!line_.empty()) probMessage(prob_, line_.c_str(), 1);
        line_.clear();
    }

    NVRAprob prob_;
    std::string line_;
};

// The program as Ipopt's TNLP, over the kernel's patterns.
class QcTnlp : public KernelTnlp<Ipopt::TNLP> {
  public:
    QcTnlp(const NlpKernel &k, const NlpSetup &setup, const Deadline &deadline, NlpOutcome &out)
        : KernelTnlp(k, setup.start), deadline_(deadline), out_(out),
          iterationEnd_(setup.iterationEnd) {}

    void finalize_solution(Ipopt::SolverReturn, Index n, const Number *x, const Number *,
                           const Number *, Index m, const Number *, const Number *lambda, Number,
                           const Ipopt::IpoptData *, Ipopt::IpoptCalculatedQuantities *) override {
        out_.x.assign(x, x + n);
        out_.rowMult.assign(k_.program().numRows(), 0.0);
        for (Index r = 0; r < m; ++r)
            out_.rowMult[k_.imageRow(r)] = lambda[r];
    }
    bool intermediate_callback(Ipopt::AlgorithmMode, Index iter, Number, Number, Number, Number,
                               Number, Number, Number, Number, Index, const Ipopt::IpoptData *,
                               Ipopt::IpoptCalculatedQuantities *) override {
        out_.iterations = iter;
        if (iter > 0 && iterationEnd_) iterationEnd_(); // Ipopt reports the start as iteration 0
        stop_ = deadline_.stopReason();
        return stop_ == NVRA_STOP_NONE;
    }

    int stopReason() const { return stop_; }

  private:
    const Deadline &deadline_;
    NlpOutcome &out_;
    const std::function<void()> &iterationEnd_;
    int stop_ = NVRA_STOP_NONE;
};

NlpOutcome::End endOf(Ipopt::ApplicationReturnStatus status) {
    using S = Ipopt::ApplicationReturnStatus;
    switch (status) {
    case S::Solve_Succeeded:
    case S::Search_Direction_Becomes_Too_Small:
        return NlpOutcome::End::Optimal;
    case S::Solved_To_Acceptable_Level:
        return NlpOutcome::End::Acceptable;
    case S::Infeasible_Problem_Detected:
        return NlpOutcome::End::Infeasible;
    case S::Diverging_Iterates:
        return NlpOutcome::End::Unbounded;
    case S::User_Requested_Stop:
    case S::Maximum_Iterations_Exceeded:
    case S::Maximum_CpuTime_Exceeded:
        return NlpOutcome::End::Stopped;
    default:
        return NlpOutcome::End::Failed;
    }
}

const char *statusText(Ipopt::ApplicationReturnStatus status) {
    using S = Ipopt::ApplicationReturnStatus;
    switch (status) {
    case S::Restoration_Failed:
        return "the restoration phase failed";
    case S::Error_In_Step_Computation:
        return "error in the step computation";
    case S::Not_Enough_Degrees_Of_Freedom:
        return "not enough degrees of freedom";
    case S::Invalid_Problem_Definition:
        return "invalid problem definition";
    case S::Invalid_Option:
        return "invalid option";
    case S::Invalid_Number_Detected:
        return "invalid number (NaN or infinity) in the problem's functions";
    case S::Insufficient_Memory:
        return "insufficient memory";
    default:
        return "internal error";
    }
}

// The solver's point moved onto the column bounds, when the rows still hold within the
// tolerance there (a point barely outside a bound is what the solver's bound relaxation leaves).
void polish(const NlpKernel &k, double feasTol, std::vector<double> &x) {
    std::vector<double> clipped(x.size());
    for (size_t j = 0; j < x.size(); ++j)
        clipped[j] = std::min(std::max(x[j], k.lower(j)), k.upper(j));
    if (clipped != x && k.program().violation(clipped.data(), nullptr) <= feasTol) x.swap(clipped);
}

// A program whose columns are all fixed: its one point (its rows were checked by build).
void solveFixed(const NlpKernel &k, NlpOutcome &out) {
    const QcProgram &qp = k.program();
    out.x.resize(qp.numCols());
    for (int j = 0; j < qp.numCols(); ++j)
        out.x[j] = k.lower(j);
    out.rowMult.assign(qp.numRows(), 0.0);
    out.end = NlpOutcome::End::Optimal;
}

// The nonlinear solver's settings of setup over the options from the optimizer's controls.
void applySetup(const NlpSetup &setup, Ipopt::OptionsList &o) {
    if (setup.iterLimit >= 0)
        o.SetIntegerValue("max_iter",
                          static_cast<Index>(std::min<int64_t>(setup.iterLimit, INT32_MAX)));
    if (setup.tol > 0.0) o.SetNumericValue("tol", setup.tol);
    if (setup.acceptableTol > 0.0) o.SetNumericValue("acceptable_tol", setup.acceptableTol);
    if (setup.limitedMemoryHessian) o.SetStringValue("hessian_approximation", "limited-memory");
    if (setup.monotone) o.SetStringValue("mu_strategy", "monotone");
}

} // namespace

void setIpoptOptions(NVRAprob prob, Ipopt::OptionsList &o, const NlpKernel &k,
                     bool constantDerivatives) {
    const ControlValues &c = prob->controls;
    o.SetStringValue("sb", "yes");
    o.SetIntegerValue("print_level", 0);
    // The solver stops when each product of a bound's distance and its multiplier is within
    // tol; their sum is what the objective may still miss, so tol shrinks with their number
    // beyond 10 (at 1e-8, 2000 bounds left a portfolio 2e-5 relative short of its optimum).
    const NlpKernel::BoundStats bounds = k.boundStats();
    const double tol = std::min(1e-8, c.dbls[dblSlot::kCtrlOptTol]);
    o.SetNumericValue("tol",
                      std::max(1e-11, tol * std::min(1.0, 10.0 / std::max(1, bounds.count))));
    o.SetNumericValue("constr_viol_tol", c.dbls[dblSlot::kCtrlFeasTol]);
    o.SetIntegerValue("max_iter", static_cast<Index>(std::min<int64_t>(
                                      c.ints[intSlot::kCtrlBarIterLimit], INT32_MAX)));
    o.SetStringValue("mu_strategy", "adaptive");
    // MUMPS's automatic choice of ordering takes AMF in this build (no METIS), which factors the
    // KKT systems of grid-shaped problems an order of magnitude slower than AMD (a 10^4-column
    // optimal-control model: 33 s against 2.8 s for the same 30 iterations).
    o.SetIntegerValue("mumps_pivot_order", 0);
    // The solver relaxes every inequality bound b by factor * max(1, |b|) and may end on the
    // relaxed bound: a relative 1e-8 (its default) is 4.8e-7 on a row x'x <= 48, beyond the
    // feasibility tolerance. The factor is cut so that no bound moves by more than a tenth of
    // the tolerance. The final point is kept as it is, and solveNlp moves it onto the column
    // bounds only where that keeps the rows.
    const double feasTol = c.dbls[dblSlot::kCtrlFeasTol];
    o.SetNumericValue("bound_relax_factor",
                      std::min(1e-8, 0.1 * feasTol / std::max(1.0, bounds.largest)));
    o.SetStringValue("honor_original_bounds", "no");
    if (constantDerivatives) {
        o.SetStringValue("jac_c_constant", "yes");
        o.SetStringValue("jac_d_constant", "yes");
        o.SetStringValue("hessian_constant", "yes");
    }
}

void addLogJournal(NVRAprob prob, int printLevel, Ipopt::Journalist &journalist) {
    if (printLevel <= 0) return;
    Ipopt::SmartPtr<Ipopt::Journal> journal = new LogJournal(prob);
    journal->SetAllPrintLevels(static_cast<Ipopt::EJournalLevel>(printLevel));
    journalist.AddJournal(journal);
}

int lockIpopt(const Deadline &deadline, std::unique_lock<std::timed_mutex> &lock) {
    static std::timed_mutex mutex;
    lock = std::unique_lock<std::timed_mutex>(mutex, std::defer_lock);
    while (!lock.try_lock_for(std::chrono::milliseconds(20)))
        if (const int stop = deadline.stopReason()) return stop;
    return NVRA_STOP_NONE;
}

NlpSetup relaxedSetup(const Image &img) {
    NlpSetup s;
    const int n = img.numCols();
    s.lower.resize(n);
    s.upper.resize(n);
    for (int j = 0; j < n; ++j) {
        double lo = img.colLower[j], up = img.colUpper[j];
        if (img.colType[j] == kHighsVarTypeSemiContinuous ||
            img.colType[j] == kHighsVarTypeSemiInteger)
            lo = std::min(lo, 0.0);
        s.lower[j] = lo <= -kInf ? -kInf : lo;
        s.upper[j] = up >= kInf ? kInf : up;
    }
    return s;
}

int solveContinuous(NVRAprob prob, const QcProgram &qp, const NlpSetup &setup,
                    const Deadline &deadline, NlpOutcome &outcome) {
    outcome = NlpOutcome();
    if ((outcome.stop = deadline.stopReason()) != NVRA_STOP_NONE) {
        outcome.end = NlpOutcome::End::Stopped;
        return 0;
    }
    bool ray = false;
    if (int rc = findUnboundedRay(prob, qp, deadline, &ray)) return rc;
    if (!ray) return solveNlp(prob, qp, setup, deadline, outcome);
    NlpSetup feasibility = setup;
    feasibility.feasibilityOnly = true;
    if (int rc = solveNlp(prob, qp, feasibility, deadline, outcome)) return rc;
    if (outcome.end == NlpOutcome::End::Optimal || outcome.end == NlpOutcome::End::Acceptable) {
        outcome.end = NlpOutcome::End::Unbounded;
        outcome.x.clear();
    }
    return 0;
}

void roundIntegers(const Image &img, double *x) {
    for (int j = 0; j < img.numCols(); ++j)
        if (img.colType[j] != kHighsVarTypeContinuous) x[j] = std::round(x[j]);
}

int solveAssignment(NVRAprob prob, const QcProgram &qp, const double *point,
                    const Deadline &deadline, NlpOutcome &outcome) {
    const Image &img = qp.image();
    std::vector<double> start(point, point + qp.numCols());
    roundIntegers(img, start.data());
    NlpSetup setup = relaxedSetup(img);
    setup.printLevel = nlpPrintLevel(prob, true);
    for (int j = 0; j < img.numCols(); ++j)
        if (img.colType[j] != kHighsVarTypeContinuous)
            setup.lower[j] = setup.upper[j] =
                std::min(std::max(start[j], setup.lower[j]), setup.upper[j]);
    setup.start = start.data();
    setup.singletonBounds = true;
    return solveNlp(prob, qp, setup, deadline, outcome);
}

int nlpPrintLevel(NVRAprob prob, bool subproblem) {
    const int64_t level = prob->controls.ints[intSlot::kCtrlOutputLog];
    if (level == NVRA_OUTPUT_NONE) return 0;
    if (subproblem) return level == NVRA_OUTPUT_DETAILED ? 5 : 0;
    return 5;
}

int solveNlp(NVRAprob prob, const QcProgram &qp, const NlpSetup &setup, const Deadline &deadline,
             NlpOutcome &out) {
    out = NlpOutcome();
    const double feasTol = prob->controls.dbls[dblSlot::kCtrlFeasTol];
    try {
        NlpKernel kernel(qp, setup.lower, setup.upper);
        if (setup.feasibilityOnly) kernel.dropObjective();
        // Dependent linear equality rows are left out of what the solver sees (dependent.h): a
        // rank-deficient Jacobian costs it a regularised step each iteration, and as many
        // equality rows as free columns make it solve them as a square system, ignoring the
        // objective. The rows left out are checked with the others at the end.
        if (!kernel.build(feasTol, setup.singletonBounds, true)) {
            out.end = NlpOutcome::End::Infeasible;
            return 0;
        }
        if (kernel.numLeftOut() > 0 && setup.printLevel > 0) {
            char text[NVRA_MAXMESSAGELENGTH];
            snprintf(text, sizeof text,
                     "%d linear equality rows are combinations of others: left out of the "
                     "interior-point solve",
                     kernel.numLeftOut());
            probMessage(prob, text, 1);
        }
        if (kernel.numFree() == 0) {
            solveFixed(kernel, out);
            return 0;
        }
        std::unique_lock<std::timed_mutex> lock;
        if ((out.stop = lockIpopt(deadline, lock)) != NVRA_STOP_NONE) {
            out.end = NlpOutcome::End::Stopped;
            return 0;
        }
        Ipopt::SmartPtr<QcTnlp> tnlp = new QcTnlp(kernel, setup, deadline, out);
        Ipopt::SmartPtr<Ipopt::IpoptApplication> app = new Ipopt::IpoptApplication(false, false);
        addLogJournal(prob, setup.printLevel, *app->Jnlst());
        std::istringstream noOptionsFile;
        if (app->Initialize(noOptionsFile) != Ipopt::Solve_Succeeded) {
            out.detail = "its options could not be initialised";
            return 0;
        }
        setIpoptOptions(prob, *app->Options(), kernel,
                        qp.quad().rows.empty() && !qp.formulas() && !setup.feasibilityOnly);
        applySetup(setup, *app->Options());
        const Ipopt::ApplicationReturnStatus status = app->OptimizeTNLP(tnlp);
        if (Ipopt::SmartPtr<Ipopt::SolveStatistics> stats = app->Statistics();
            Ipopt::IsValid(stats))
            out.iterations = stats->IterationCount();
        out.end = endOf(status);
        if (!out.x.empty()) polish(kernel, feasTol, out.x);
        if (out.end == NlpOutcome::End::Stopped)
            out.stop = status == Ipopt::Maximum_Iterations_Exceeded ? NVRA_STOP_ITERLIMIT
                       : status == Ipopt::Maximum_CpuTime_Exceeded  ? NVRA_STOP_TIMELIMIT
                       : tnlp->stopReason() != NVRA_STOP_NONE       ? tnlp->stopReason()
                                                                    : NVRA_STOP_INTERRUPT;
        if (out.end == NlpOutcome::End::Failed) out.detail = statusText(status);
        return 0;
    } catch (const std::bad_alloc &) {
        out.end = NlpOutcome::End::Failed;
        out.detail = "out of memory";
        return probError(prob, NVRA_RC_NOMEM, "Out of memory in the interior-point solver");
    } catch (...) {
        out.end = NlpOutcome::End::Failed;
        out.detail = "an exception was thrown";
        return 0;
    }
}

} // namespace nvra
