// multistart.cpp: the runs of a multistart solve and the choice of the winner (multistart.h).
#include "solver/multistart.h"

#include "solver/solve.h"

#include "core/scheduler.h"

#include "nonlinear/nlcontrols.h"
#include "nonlinear/nlprob.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <exception>
#include <memory>
#include <random>
#include <thread>

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

// Infinite sides replaced by a box of width ms_boxsize around 0, or from the finite side.
BoxSides boxOfWidth(double box) {
    return [box](size_t, double &lo, double &up) {
        if (lo <= -kInf && up >= kInf)
            lo = -0.5 * box, up = 0.5 * box;
        else if (lo <= -kInf)
            lo = up - box;
        else
            up = lo + box;
    };
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
    const BoxSides sides = boxOfWidth(nl::dblControl(nl, nl::kNlCtrlMsBox));
    std::vector<Run> runs;
    for (const nl::MsJob &job : nl->data.jobs) {
        std::vector<double> base = start;
        const int count = job.preset == NSLP_MSPRESET_SOLVERS ? 2 : std::max(1, job.count);
        for (int k = 0; k < count; ++k) {
            Run run{&job, base};
            if (job.preset == NSLP_MSPRESET_RANDOM) randomPoint(b, sides, rng, run.start);
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

// A run's outcome; made is false for a run skipped or not started before a stop.
struct Outcome {
    LocalRun run;
    bool made = false;
};

// msjobstart: false when the run is to be skipped; a non-zero return also stops the runs.
bool startRun(NSLPprob nl, const Run &run, bool &stop) {
    const nl::Callback cb = nl::callbackOf(nl, nl::Cb::MsJobStart);
    int status = 0;
    if (cb.fn && reinterpret_cast<NSLPcbmsjob>(cb.fn)(nl, cb.data, run.job->object,
                                                      run.job->description.c_str(), &status) != 0)
        stop = true;
    return !stop && status != 1;
}

void endRun(NSLPprob nl, const Run &run) {
    const nl::Callback cb = nl::callbackOf(nl, nl::Cb::MsJobEnd);
    int status = 0;
    if (cb.fn)
        reinterpret_cast<NSLPcbmsjob>(cb.fn)(nl, cb.data, run.job->object,
                                             run.job->description.c_str(), &status);
}

// The local solver of a run of the solvers preset (inside the run's JobControls).
void applySolver(NSLPprob nl, const Run &run) {
    if (run.solver > 0)
        nl->controls.ints[findCa(nl::kNlRegistry, nl::kNlCtrlSolver)->slot] = run.solver;
}

std::vector<Outcome> runSerially(NVRAprob prob, NSLPprob nl, const QcProgram &qp,
                                 const std::vector<Run> &runs, const Deadline &deadline,
                                 const LocalSolver &solver) {
    std::vector<Outcome> outcomes(runs.size());
    bool stop = false;
    for (size_t i = 0; i < runs.size() && !stop; ++i) {
        if (deadline.stopReason() != NVRA_STOP_NONE || !startRun(nl, runs[i], stop)) continue;
        {
            JobControls controls(prob, nl, *runs[i].job);
            applySolver(nl, runs[i]);
            PreparedRun prepared = solver.prepare(runs[i].start);
            solver.solve(prepared, qp, nullptr);
            outcomes[i].run = solver.finish(prepared);
        }
        outcomes[i].made = true;
        endRun(nl, runs[i]);
    }
    return outcomes;
}

// The worker count: control ms_threads, else one per core; at most one per run.
int workerCount(NSLPprob nl, size_t runs) {
    int64_t n = nl::intControl(nl, nl::kNlCtrlMsThreads);
    if (n <= 0) n = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<int>(std::min<int64_t>(n, static_cast<int64_t>(runs)));
}

// The successive linear programming runs side by side (the others after them, one at a time);
// everything else on the calling thread in run order.
std::vector<Outcome> runConcurrently(NVRAprob prob, NSLPprob nl, const QcProgram &qp,
                                     const std::vector<Run> &runs, const Deadline &deadline,
                                     const LocalSolver &solver) {
    std::vector<Outcome> outcomes(runs.size());
    std::vector<PreparedRun> prepared(runs.size());
    std::vector<size_t> parallel;
    bool stop = false;
    for (size_t i = 0; i < runs.size() && !stop; ++i) {
        if (!startRun(nl, runs[i], stop)) continue;
        JobControls controls(prob, nl, *runs[i].job);
        applySolver(nl, runs[i]);
        prepared[i] = solver.prepare(runs[i].start);
        outcomes[i].made = true;
        if (!prepared[i].slp) continue;
        prepared[i].settings.reportError = false; // written below, on this thread
        parallel.push_back(i);
    }
    std::vector<std::vector<std::string>> logs(runs.size());
    std::atomic<size_t> next{0};
    auto work = [&] {
        std::unique_ptr<QcProgram> own; // this worker's program over the shared formulas
        for (size_t k = next++; k < parallel.size(); k = next++) {
            const size_t i = parallel[k];
            if (deadline.stopReason() != NVRA_STOP_NONE) {
                outcomes[i].made = false;
                continue;
            }
            try {
                if (!own) {
                    own = std::make_unique<QcProgram>(qp.image(), qp.quad());
                    own->setFormulas(qp.formulas());
                }
                solver.solve(prepared[i], *own, &logs[i]);
            } catch (const std::bad_alloc &) {
                prepared[i].rc = NVRA_RC_NOMEM;
                prepared[i].out.end = NlpOutcome::End::Failed;
                prepared[i].out.detail = "out of memory";
            }
        }
    };
    {
        // Holds the engine's thread pool at its size while the workers' engines run.
        ThreadLease lease(static_cast<int>(prob->controls.ints[intSlot::kCtrlThreads]));
        std::vector<std::thread> workers;
        const int count = workerCount(nl, parallel.size());
        try {
            workers.reserve(count); // so that a thread once started is always joined below
            for (int t = 1; t < count; ++t)
                workers.emplace_back(work);
        } catch (const std::exception &) { // fewer threads than asked for: the others work
        }
        work();
        for (std::thread &w : workers)
            w.join();
    }
    for (size_t i = 0; i < runs.size(); ++i) {
        if (!outcomes[i].made) continue;
        for (const std::string &line : logs[i])
            nl::nlMessage(nl, line.c_str(), 1);
        JobControls controls(prob, nl, *runs[i].job);
        if (!prepared[i].slp)
            solver.solve(prepared[i], qp, nullptr);
        else if (prepared[i].rc)
            slpFailure(prob, prepared[i].rc); // the worker's failure, written in run order
        outcomes[i].run = solver.finish(prepared[i]);
        endRun(nl, runs[i]);
    }
    return outcomes;
}

} // namespace

void randomPoint(const NlpSetup &b, const BoxSides &sides, std::mt19937_64 &rng,
                 std::vector<double> &x) {
    for (size_t j = 0; j < x.size(); ++j) {
        double lo = b.lower[j], up = b.upper[j];
        if (lo <= -kInf || up >= kInf) sides(j, lo, up);
        x[j] = lo < up ? std::uniform_real_distribution<double>(lo, up)(rng) : lo;
    }
}

LocalRun runMultistart(NVRAprob prob, NSLPprob nl, const QcProgram &qp,
                       const std::vector<double> &start, const NlpSetup &bounds,
                       const Deadline &deadline, const LocalSolver &solver) {
    const std::vector<Run> runs = expandJobs(nl, start, bounds);
    std::vector<Outcome> outcomes = solver.concurrent
                                        ? runConcurrently(prob, nl, qp, runs, deadline, solver)
                                        : runSerially(prob, nl, qp, runs, deadline, solver);
    LocalRun best;
    bool haveBest = false;
    int64_t iterations = 0, made = 0;
    const nl::MsJob *winner = nullptr;
    for (size_t i = 0; i < runs.size(); ++i) {
        if (!outcomes[i].made) continue;
        LocalRun &r = outcomes[i].run;
        ++made;
        iterations += r.result.slpIter + r.result.barIter;
        const bool take = !haveBest || (r.rc == 0 && (best.rc != 0 || better(qp, r, best)));
        if (!take) continue;
        winner = r.rc == 0 ? runs[i].job : nullptr;
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
    snprintf(text, sizeof text, "Multistart: %lld runs of %zu%s, %lld iterations in all",
             static_cast<long long>(made), runs.size(), solver.concurrent ? " side by side" : "",
             static_cast<long long>(iterations));
    note(prob, text, 1);
    return best;
}

} // namespace nvra
