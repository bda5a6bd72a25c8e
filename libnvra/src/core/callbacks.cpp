// callbacks.cpp: callback registrations (NVRAaddcb..., NVRAremovecb...), the callback point of a
// running solve (CallbackRun, see callbacks.h) and what callbacks may ask of the library while
// they run: the progress of the solve, the solution they report, solutions given to the search.
#include "core/callbacks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

namespace nvra {
namespace {

struct KindInfo {
    const char *name;
    bool honoured;
    const char *what; // what the library does with it (the doc text of its row)
};

constexpr KindInfo kKinds[kNumOptimizerKinds] = {
#define NVRA_CALLBACK_NVRA(kind, honoured, doc) {#kind, honoured, doc},
#define NVRA_CALLBACK_NSLP(kind, honoured, doc)
#define NVRA_CALLBACK(number, kind, KIND, interface, honoured, doc)                                \
    NVRA_CALLBACK_##interface(kind, honoured, doc)
#include "nvra_callbacks.def"
#undef NVRA_CALLBACK_NVRA
#undef NVRA_CALLBACK_NSLP
};

const KindInfo &infoOf(CbKind kind) {
    return kKinds[static_cast<int>(kind)];
}

// The solution reported by the callback running on this thread.
struct ThreadSolution {
    NVRAprob prob = nullptr;
    const std::vector<double> *x = nullptr;
};
thread_local ThreadSolution tlsSolution;

// Sets the callback solution of this thread for the length of a scope.
class SolutionScope {
  public:
    SolutionScope(NVRAprob prob, const std::vector<double> &x) : saved_(tlsSolution) {
        tlsSolution = {prob, &x};
    }
    ~SolutionScope() { tlsSolution = saved_; }
    SolutionScope(const SolutionScope &) = delete;
    SolutionScope &operator=(const SolutionScope &) = delete;

  private:
    ThreadSolution saved_;
};

bool finite(double v) {
    return std::fabs(v) < kInf;
}

} // namespace

SolveResult unstartedResult(int sense) {
    SolveResult r;
    r.objVal = r.lpObjVal = r.mipObjVal = kInf * sense;
    r.bestBound = -kInf * sense;
    return r;
}

ProblemCallbacks *newProblemCallbacks() {
    return new (std::nothrow) ProblemCallbacks;
}

void destroyProblemCallbacks(ProblemCallbacks *callbacks) noexcept {
    if (!callbacks) return;
    for (nvo_bo_struct *bo : callbacks->branchObjects)
        bo->prob = nullptr;
    delete callbacks;
}

int addCallback(NVRAprob prob, CbKind kind, void (*fn)(), void *data, int priority) {
    if (int rc = enterProb(prob)) return rc;
    const KindInfo &info = infoOf(kind);
    if (!info.honoured)
        return probError(prob, NVRA_RC_UNSUPPORTED,
                         "The %s callback is not supported by this engine (%s)", info.name,
                         info.what);
    if (!fn) return probError(prob, NVRA_RC_INVALID, "NVRAaddcb%s: null callback", info.name);
    ProblemCallbacks &cbs = *prob->callbacks;
    std::lock_guard<std::mutex> lock(cbs.mutex);
    if (prob->busy.load())
        return probError(prob, NVRA_RC_BUSY,
                         "The problem is being solved: its callbacks cannot be changed until the "
                         "solve ends");
    try {
        const CallbackEntry entry{fn, data, priority, cbs.nextSeq++};
        CallbackList &list = cbs.lists[static_cast<int>(kind)];
        list.insert(std::upper_bound(list.begin(), list.end(), entry,
                                     [](const CallbackEntry &a, const CallbackEntry &b) {
                                         return a.priority > b.priority;
                                     }),
                    entry);
    } catch (const std::bad_alloc &) {
        return probError(prob, NVRA_RC_NOMEM, "Out of memory adding a %s callback", info.name);
    }
    return NVRA_RC_OK;
}

int removeCallback(NVRAprob prob, CbKind kind, void (*fn)(), void *data) {
    if (int rc = enterProb(prob)) return rc;
    ProblemCallbacks &cbs = *prob->callbacks;
    std::lock_guard<std::mutex> lock(cbs.mutex);
    if (prob->busy.load())
        return probError(prob, NVRA_RC_BUSY,
                         "The problem is being solved: its callbacks cannot be changed until the "
                         "solve ends");
    std::erase_if(cbs.lists[static_cast<int>(kind)], [&](const CallbackEntry &e) {
        return (!fn || e.fn == fn) && (!data || e.data == data);
    });
    return NVRA_RC_OK;
}

CallbackList callbacksOf(NVRAprob prob, CbKind kind) {
    ProblemCallbacks &cbs = *prob->callbacks;
    std::lock_guard<std::mutex> lock(cbs.mutex);
    return cbs.lists[static_cast<int>(kind)];
}

bool liveProgress(const nvo_prob_struct &prob, SolveResult &out) {
    ProblemCallbacks &cbs = *prob.callbacks;
    std::lock_guard<std::mutex> lock(cbs.mutex);
    if (!cbs.live) return false;
    out = cbs.progress;
    return true;
}

bool queueUserSolution(NVRAprob prob, UserSolution &&solution) {
    ProblemCallbacks &cbs = *prob->callbacks;
    std::lock_guard<std::mutex> lock(cbs.mutex);
    if (!cbs.accepting) return false;
    cbs.pending.push_back(std::move(solution));
    return true;
}

const std::vector<double> *callbackSolution(NVRAprob prob) {
    return tlsSolution.prob == prob ? tlsSolution.x : nullptr;
}

ProgressScope::ProgressScope(NVRAprob prob, const SolveResult &shown) : prob_(prob) {
    ProblemCallbacks &cbs = *prob->callbacks;
    std::lock_guard<std::mutex> lock(cbs.mutex);
    savedLive_ = cbs.live;
    saved_ = cbs.progress;
    cbs.progress = shown;
    cbs.live = true;
}

ProgressScope::~ProgressScope() {
    ProblemCallbacks &cbs = *prob_->callbacks;
    std::lock_guard<std::mutex> lock(cbs.mutex);
    cbs.progress = saved_;
    cbs.live = savedLive_;
}

// ---- the run of one optimisation
// -----------------------------------------------------------------

CallbackRun::CallbackRun(NVRAprob prob, int userCols, Reporter reporter)
    : prob_(prob), userCols_(userCols), reporter_(reporter) {
    ProblemCallbacks &cbs = *prob->callbacks;
    {
        // Taking the lock also waits for a registration that saw the problem idle.
        std::lock_guard<std::mutex> lock(cbs.mutex);
        lists_ = cbs.lists;
        cbs.accepting = true;
        cbs.pending.clear();
    }
    active_ = std::any_of(lists_.begin(), lists_.end(), [](const auto &l) { return !l.empty(); });
    cbs.run.store(this);
}

CallbackRun::~CallbackRun() {
    ProblemCallbacks &cbs = *prob_->callbacks;
    cbs.run.store(nullptr);
    std::lock_guard<std::mutex> lock(cbs.mutex);
    cbs.accepting = false;
    cbs.live = false;
    cbs.pending.clear();
}

template <class Fn, class... A> void CallbackRun::each(CbKind kind, A... args) {
    for (const CallbackEntry &e : lists_[static_cast<int>(kind)])
        reinterpret_cast<Fn>(e.fn)(prob_, e.data, args...);
}

template <class Fn> bool CallbackRun::anyStop(CbKind kind) {
    bool stop = false;
    for (const CallbackEntry &e : lists_[static_cast<int>(kind)])
        stop |= reinterpret_cast<Fn>(e.fn)(prob_, e.data) != 0;
    return stop;
}

void CallbackRun::requestStop() {
    int none = 0;
    prob_->interruptReason.compare_exchange_strong(none, 1);
}

void CallbackRun::refuse(const char *callback, const char *answer) {
    if (refusal_.empty()) {
        char text[NVRA_MAXMESSAGELENGTH];
        std::snprintf(text, sizeof text,
                      "the %s callback %s, which this engine cannot do: the solve was stopped",
                      callback, answer);
        try {
            refusal_ = text;
        } catch (const std::bad_alloc &) {
        }
    }
    requestStop();
}

void CallbackRun::setProgress(const SolveResult &r) {
    ProblemCallbacks &cbs = *prob_->callbacks;
    std::lock_guard<std::mutex> lock(cbs.mutex);
    cbs.progress = r;
    cbs.live = true;
}

void CallbackRun::progressOfMip(const MipPoint &at) {
    ProblemCallbacks &cbs = *prob_->callbacks;
    std::lock_guard<std::mutex> lock(cbs.mutex);
    SolveResult &r = cbs.progress;
    r.optimizeType = NVRA_OPTIMIZETYPE_MIP;
    r.nodes = at.nodes;
    r.simplexIter = at.lpIterations;
    r.solveTime = at.time;
    r.bestBound = at.dual;
    if (finite(at.primal)) {
        r.objVal = r.mipObjVal = at.primal;
        r.mipGap = at.gap;
        r.solStatus = NVRA_SOLSTATUS_FEASIBLE;
        r.mipStatus = NVRA_MIP_SOLUTION;
    }
}

void CallbackRun::presolveOnce() {
    if (presolveSeen_) return;
    presolveSeen_ = true;
    each<NVRAcbpresolve>(CbKind::presolve);
}

void CallbackRun::checkTime() {
    if (!wants(CbKind::checktime)) return;
    const auto now = std::chrono::steady_clock::now();
    const double period = prob_->controls.dbls[dblSlot::kCtrlCheckTimePeriod];
    if (std::chrono::duration<double>(now - lastCheckTime_).count() < period) return;
    lastCheckTime_ = now;
    if (anyStop<NVRAcbchecktime>(CbKind::checktime)) requestStop();
}

// A target is reached when the gap is at most it, the incumbent at least as good as it, the
// bound at least as tight as it. Reached targets are switched off before the callbacks run.
void CallbackRun::gapNotify(const MipPoint &at) {
    if (!wants(CbKind::gapnotify) || !finite(at.primal)) return;
    const double sense = prob_->model.sense;
    double *t = gapTargets_;
    bool reached = false;
    auto check = [&](double &target, bool hit, double off) {
        if (!hit) return;
        target = off;
        reached = true;
    };
    check(t[0], t[0] >= 0 && at.gap <= t[0], -1.0);
    check(t[1], t[1] >= 0 && std::fabs(at.primal - at.dual) <= t[1], -1.0);
    check(t[2], finite(t[2]) && sense * (at.primal - t[2]) <= 0, kInf);
    check(t[3], finite(t[3]) && finite(at.dual) && sense * (at.dual - t[3]) >= 0, kInf);
    if (reached) each<NVRAcbgapnotify>(CbKind::gapnotify, &t[0], &t[1], &t[2], &t[3]);
}

void CallbackRun::nodeEvents(const MipPoint &at) {
    if (at.nodes <= lastNodes_) return;
    lastNodes_ = at.nodes;
    for (CbKind kind : {CbKind::optnode, CbKind::prenode}) {
        int infeasible = 0;
        each<NVRAcboptnode>(kind, &infeasible); // both kinds have this signature
        if (infeasible) refuse(infoOf(kind).name, "marked a node infeasible");
    }
}

void CallbackRun::beginSolve() {
    if (!active_) return;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    presolveSeen_ = false;
    lastLpLog_ = lastBarIter_ = lastNodes_ = 0;
    lastCheckTime_ = std::chrono::steady_clock::now();
    const auto &d = prob_->controls.dbls;
    gapTargets_[0] = d[dblSlot::kCtrlMipRelGapNotify];
    gapTargets_[1] = d[dblSlot::kCtrlMipAbsGapNotify];
    gapTargets_[2] = d[dblSlot::kCtrlMipAbsGapNotifyObj];
    gapTargets_[3] = d[dblSlot::kCtrlMipAbsGapNotifyBound];
    setProgress(unstartedResult(prob_->model.sense));
    each<NVRAcbbeforeobjective>(CbKind::beforeobjective);
}

void CallbackRun::endSolve(const SolveResult &result) {
    if (!active_) return;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    presolveOnce();
    setProgress(result);
    each<NVRAcbafterobjective>(CbKind::afterobjective);
}

void CallbackRun::iteration(const IterationPoint &at) {
    if (!active_) return;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    {
        ProblemCallbacks &cbs = *prob_->callbacks;
        std::lock_guard<std::mutex> progress(cbs.mutex);
        (at.barrier ? cbs.progress.barIter : cbs.progress.simplexIter) = at.iterations;
        cbs.progress.solveTime = at.time;
    }
    presolveOnce();
    if (at.barrier) {
        // The engine checks for interrupts many times per barrier iteration: the barrier kinds
        // run once per iteration.
        if (at.iterations <= lastBarIter_) return checkTime();
        lastBarIter_ = at.iterations;
        int action = 0;
        each<NVRAcbbariteration>(CbKind::bariteration, &action);
        const bool stop = anyStop<NVRAcbbarlog>(CbKind::barlog);
        if (stop || action != 0) requestStop();
    } else if (wants(CbKind::lplog) &&
               at.iterations - lastLpLog_ >= prob_->controls.ints[intSlot::kCtrlLpLogFreq]) {
        lastLpLog_ = at.iterations;
        if (anyStop<NVRAcblplog>(CbKind::lplog)) requestStop();
    }
    checkTime();
}

template <class Body> void CallbackRun::mipEvent(const MipPoint &at, Body &&body) {
    if (!active_) return;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    progressOfMip(at);
    presolveOnce();
    body();
}

void CallbackRun::mipCheck(const MipPoint &at) {
    mipEvent(at, [&] {
        gapNotify(at);
        nodeEvents(at);
        checkTime();
    });
}

void CallbackRun::mipLog(const MipPoint &at) {
    mipEvent(at, [&] {
        if (anyStop<NVRAcbmiplog>(CbKind::miplog)) requestStop();
    });
}

void CallbackRun::mipSolution(const MipPoint &at, const double *x, bool improving) {
    mipEvent(at, [&] {
        const CbKind kind = improving ? CbKind::intsol : CbKind::preintsol;
        if (wants(kind) && x) {
            solution_.assign(x, x + userCols_);
            SolutionScope scope(prob_, solution_);
            if (improving) {
                each<NVRAcbintsol>(kind);
            } else {
                int reject = 0;
                double cutoff = at.primal;
                each<NVRAcbpreintsol>(kind, 0, &reject, &cutoff);
                if (reject) refuse("preintsol", "rejected a solution");
                if (cutoff != at.primal) refuse("preintsol", "changed the cutoff");
            }
        }
        if (improving) gapNotify(at);
    });
}

void CallbackRun::cutPool(const MipPoint &at, int ncuts) {
    mipEvent(at, [&] {
        if (anyStop<NVRAcbcutlog>(CbKind::cutlog)) requestStop();
        int action = 0;
        each<NVRAcbcutround>(CbKind::cutround, ncuts > 0 ? 1 : 0, &action);
        if (action != 0) refuse("cutround", "asked for another cut round");
    });
}

bool CallbackRun::takeUserSolution(UserSolution &out) {
    ProblemCallbacks &cbs = *prob_->callbacks;
    std::lock_guard<std::mutex> lock(cbs.mutex);
    if (cbs.pending.empty()) return false;
    out = std::move(cbs.pending.front());
    cbs.pending.erase(cbs.pending.begin());
    return true;
}

void CallbackRun::userSolutionDone(const UserSolution &solution, int status) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    each<NVRAcbusersolnotify>(CbKind::usersolnotify, solution.name.c_str(), status);
}

void CallbackRun::finish() {
    std::vector<UserSolution> left;
    {
        ProblemCallbacks &cbs = *prob_->callbacks;
        std::lock_guard<std::mutex> lock(cbs.mutex);
        cbs.accepting = false;
        left.swap(cbs.pending);
    }
    for (const UserSolution &s : left)
        userSolutionDone(s, NVRA_USERSOL_NOT_USED);
    ProblemCallbacks &cbs = *prob_->callbacks;
    std::lock_guard<std::mutex> lock(cbs.mutex);
    cbs.live = false;
}

} // namespace nvra

using namespace nvra;

extern "C" {

#define NVRA_CALLBACK_NVRA(kind)                                                                   \
    int NVRAaddcb##kind(NVRAprob prob, NVRAcb##kind f, void *data, int priority) {                 \
        return addCallback(prob, CbKind::kind, reinterpret_cast<void (*)()>(f), data, priority);   \
    }                                                                                              \
    int NVRAremovecb##kind(NVRAprob prob, NVRAcb##kind f, void *data) {                            \
        return removeCallback(prob, CbKind::kind, reinterpret_cast<void (*)()>(f), data);          \
    }
#define NVRA_CALLBACK_NSLP(kind)
#define NVRA_CALLBACK(number, kind, KIND, interface, honoured, doc) NVRA_CALLBACK_##interface(kind)
#include "nvra_callbacks.def"
#undef NVRA_CALLBACK_NVRA
#undef NVRA_CALLBACK_NSLP

} // extern "C"
