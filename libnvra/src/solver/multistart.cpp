// multistart.cpp: the runs of a multistart solve and the choice of the winner (multistart.h).
#include "solver/multistart.h"

#include "solver/solve.h"

#include "nonlinear/nlcontrols.h"
#include "nonlinear/nlprob.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

namespace nvra {
namespace {

// The control values of a run, applied to the optimizer's and the nonlinear problem's values for
// its length and restored afterwards.
class JobControls {
  public:
    JobControls(NVRAprob prob, NSLPprob nl, const nl::MsJob &job)
        : prob_(prob), nl_(nl), savedOpt_(prob->controls), savedNl_(nl->controls) {
        for (const auto &[id, value] : job.intControls)
            set(id, static_cast<double>(value));
        for (const auto &[id, value] : job.dblControls)
            set(id, value);
    }
    ~JobControls() {
        prob_->controls = std::move(savedOpt_);
        nl_->controls = std::move(savedNl_);
    }
    JobControls(const JobControls &) = delete;
    JobControls &operator=(const JobControls &) = delete;

  private:
    // The job's values were checked when it was added; an id of neither registry is ignored.
    void set(int id, double value) {
        const CaEntry *e = findCa(nl::kNlRegistry, id);
        ControlValues *values = &nl_->controls;
        if (!e || e->slot < 0) {
            e = findCa(kOptimizerRegistry, id);
            values = &prob_->controls;
        }
        if (!e || e->slot < 0) return;
        if (e->type == CaType::Int)
            values->ints[e->slot] = static_cast<int64_t>(value);
        else if (e->type == CaType::Double)
            values->dbls[e->slot] = value;
    }

    NVRAprob prob_;
    NSLPprob nl_;
    ControlValues savedOpt_, savedNl_;
};

// A uniform point of the column box, infinite sides replaced by a box of width ms_boxsize
// around 0.
void randomPoint(const NlpSetup &b, double box, std::mt19937_64 &rng, std::vector<double> &x) {
    for (size_t j = 0; j < x.size(); ++j) {
        double lo = b.lower[j], up = b.upper[j];
        if (lo <= -kInf && up >= kInf)
            lo = -0.5 * box, up = 0.5 * box;
        else if (lo <= -kInf)
            lo = up - box;
        else if (up >= kInf)
            up = lo + box;
        x[j] = lo < up ? std::uniform_real_distribution<double>(lo, up)(rng) : lo;
    }
}

// x moved by a tenth of max(1, |x_j|) in a random direction per column, kept in the box.
void perturb(const NlpSetup &b, std::mt19937_64 &rng, std::vector<double> &x) {
    std::normal_distribution<double> normal(0.0, 0.1);
    for (size_t j = 0; j < x.size(); ++j)
        x[j] =
            std::clamp(x[j] + normal(rng) * std::max(1.0, std::fabs(x[j])), b.lower[j], b.upper[j]);
}

// One run of a job: its start, and for the solvers preset the local solver it uses.
struct Run {
    const nl::MsJob *job;
    std::vector<double> start;
    int solver = -1; // nlp_solver for this run, -1: the job's or the problem's
};

std::vector<Run> expandJobs(NSLPprob nl, const std::vector<double> &start, const NlpSetup &b) {
    std::mt19937_64 rng(static_cast<uint64_t>(nl::intControl(nl, nl::kNlCtrlMsSeed)));
    const double box = nl::dblControl(nl, nl::kNlCtrlMsBox);
    std::vector<Run> runs;
    for (const nl::MsJob &job : nl->data.jobs) {
        std::vector<double> base = start;
        const int count = job.preset == NSLP_MSPRESET_SOLVERS ? 2 : std::max(1, job.count);
        for (int k = 0; k < count; ++k) {
            Run run{&job, base};
            if (job.preset == NSLP_MSPRESET_RANDOM) randomPoint(b, box, rng, run.start);
            if (job.preset == NSLP_MSPRESET_PERTURB) perturb(b, rng, run.start);
            if (job.preset == NSLP_MSPRESET_SOLVERS) run.solver = k + 1;
            for (size_t i = 0; i < job.cols.size(); ++i)
                if (static_cast<size_t>(job.cols[i]) < run.start.size())
                    run.start[job.cols[i]] = job.values[i];
            runs.push_back(std::move(run));
        }
    }
    return runs;
}

bool feasible(const LocalRun &r) {
    return r.result.solStatus == NVRA_SOLSTATUS_OPTIMAL ||
           r.result.solStatus == NVRA_SOLSTATUS_FEASIBLE;
}

// Whether a is better than b.
bool better(const QcProgram &qp, const LocalRun &a, const LocalRun &b) {
    if (feasible(a) != feasible(b)) return feasible(a);
    if (feasible(a)) return qp.sense() * (a.result.objVal - b.result.objVal) < 0.0;
    const double va = a.out.x.empty() ? kInf : qp.violation(a.out.x.data(), nullptr);
    const double vb = b.out.x.empty() ? kInf : qp.violation(b.out.x.data(), nullptr);
    return va < vb;
}

} // namespace

LocalRun runMultistart(NVRAprob prob, NSLPprob nl, const QcProgram &qp,
                       const std::vector<double> &start, const NlpSetup &bounds,
                       const Deadline &deadline, const LocalSolve &solve) {
    const std::vector<Run> runs = expandJobs(nl, start, bounds);
    LocalRun best;
    bool haveBest = false;
    int64_t iterations = 0, made = 0;
    const nl::MsJob *winner = nullptr;
    for (const Run &run : runs) {
        if (deadline.stopReason() != NVRA_STOP_NONE) break;
        const nl::Callback begin = nl::callbackOf(nl, nl::Cb::MsJobStart);
        int status = 0;
        if (begin.fn &&
            reinterpret_cast<NSLPcbmsjob>(begin.fn)(nl, begin.data, run.job->object,
                                                    run.job->description.c_str(), &status) != 0)
            break;
        if (status == 1) continue;
        LocalRun r;
        {
            JobControls controls(prob, nl, *run.job);
            if (run.solver > 0)
                nl->controls.ints[findCa(nl::kNlRegistry, nl::kNlCtrlSolver)->slot] = run.solver;
            r = solve(run.start);
        }
        ++made;
        iterations += r.result.slpIter + r.result.barIter;
        const nl::Callback end = nl::callbackOf(nl, nl::Cb::MsJobEnd);
        int endStatus = 0;
        if (end.fn)
            reinterpret_cast<NSLPcbmsjob>(end.fn)(nl, end.data, run.job->object,
                                                  run.job->description.c_str(), &endStatus);
        const bool take = !haveBest || (r.rc == 0 && (best.rc != 0 || better(qp, r, best)));
        if (!take) continue;
        winner = r.rc == 0 ? run.job : nullptr;
        best = std::move(r);
        haveBest = true;
    }
    if (!haveBest) { // stopped before any run
        best.out.end = NlpOutcome::End::Stopped;
        best.out.stop = deadline.stopReason();
    }
    if (winner) {
        const nl::Callback cb = nl::callbackOf(nl, nl::Cb::MsWinner);
        if (cb.fn)
            reinterpret_cast<NSLPcbmswinner>(cb.fn)(nl, cb.data, winner->object,
                                                    winner->description.c_str());
    }
    char text[NVRA_MAXMESSAGELENGTH];
    snprintf(text, sizeof text, "Multistart: %lld runs of %zu, %lld iterations in all",
             static_cast<long long>(made), runs.size(), static_cast<long long>(iterations));
    note(prob, text, 1);
    return best;
}

} // namespace nvra
