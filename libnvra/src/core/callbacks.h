// callbacks.h: the callbacks of a problem: its registrations (one list per optimizer kind of
// nvra_callbacks.def), and the hook through which every engine calls them during a solve.
//
// The hook, for the authors of engines. An optimisation creates one CallbackRun for its length
// (solve.cpp), with the problem's busy flag held: it takes a snapshot of the registrations
// (which cannot change while the problem is busy) and publishes the run on the problem. An
// engine then reports what happens through the run's event functions; the run calls the
// registered callbacks of the kinds those events raise, with the library's own rules (throttles,
// targets, the callback solution, stop requests):
//
//   beginSolve() / endSolve(result)  around each solve of the optimisation (before- and
//                                    afterobjective, presolve at the latest, progress reset)
//   iteration(IterationPoint)        a simplex or barrier iteration (lplog, bariteration,
//                                    barlog, presolve, checktime)
//   mipCheck(MipPoint)               the MIP search's periodic check (presolve, gapnotify,
//                                    optnode, prenode, checktime)
//   mipLog(MipPoint)                 a line of the MIP log (miplog)
//   mipSolution(MipPoint, x, improving)  a feasible solution (preintsol), a new incumbent
//                                    (intsol, gapnotify)
//   cutPool(MipPoint, ncuts)         the MIP search's cut pool read-out (cutlog, cutround)
//   takeUserSolution / userSolutionsDone  solutions given with NVRAaddmipsol during the solve
//                                    (usersolnotify)
//
// A route of the library's own around the engine (outer approximation, the interior-point and
// nonlinear solvers) creates its run with Reporter::Route, brackets its whole solve with
// beginSolve/endSolve and reports its own points (mipCheck at each of its iterations,
// mipSolution at each new incumbent); the engine's points inside it then report nothing.
//
// Each event also updates the progress that attribute reads see during the solve. An engine
// asks stopRequested() at its interrupt checks (a callback's stop request, NVRAinterrupt and
// Ctrl-C all end there). After the run, refusal() holds the message of an answer the engine
// could not act on (empty when none); the optimisation then fails with NVRA_RC_UNSUPPORTED.
// Events may come from any thread; the callbacks of one run are called one at a time.
#pragma once

#include "core/handle.h"
#include "core/problem.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// A branching object (NVRA_bo_... functions, store/branchobj.cpp): branches of column bounds,
// rows and pool cuts, checked as they are added.
struct nvo_bo_struct {
    nvra::HandleHeader header{nvra::HandleKind::BranchObject};
    NVRAprob prob = nullptr; // null once the problem is destroyed
    int id = 0;
    bool isOriginal = true;
    int priority = 0;
    int preferredBranch = -1;
    struct Branch {
        std::vector<char> bndType;
        std::vector<int32_t> bndCol;
        std::vector<double> bndVal;
        std::vector<char> rowType;
        std::vector<double> rhs;
        std::vector<int32_t> rowStart{0}; // size rows + 1
        std::vector<int32_t> rowCol;
        std::vector<double> rowCoef;
        std::vector<NVRAcut> cuts;
    };
    std::vector<Branch> branches;
    std::string lastError;
    int lastErrorCode = 0;
};

namespace nvra {

// The optimizer kinds (NVRA rows of nvra_callbacks.def), by number.
enum class CbKind : int {
#define NVRA_CALLBACK_NVRA(number, kind) kind = number,
#define NVRA_CALLBACK_NSLP(number, kind)
#define NVRA_CALLBACK(number, kind, KIND, interface, honoured, doc)                                \
    NVRA_CALLBACK_##interface(number, kind)
#include "nvra_callbacks.def"
#undef NVRA_CALLBACK_NVRA
#undef NVRA_CALLBACK_NSLP
};
constexpr int kNumOptimizerKinds = static_cast<int>(CbKind::presolve) + 1;

// One registration: the function (its real type is NVRAcb<kind>), its data and its place.
struct CallbackEntry {
    void (*fn)();
    void *data;
    int priority;
    uint64_t seq; // registration order, for equal priorities
};
using CallbackList = std::vector<CallbackEntry>;

// A solution given with NVRAaddmipsol while the problem is being solved: full (colind empty,
// one value per column) or partial.
struct UserSolution {
    std::vector<int32_t> colind;
    std::vector<double> values;
    std::string name;
};

class CallbackRun;

// The callback state of a problem (nvo_prob_struct::callbacks). mutex guards lists, nextSeq,
// pending, accepting, live, progress and branchObjects; run is set while a solve runs.
struct ProblemCallbacks {
    std::mutex mutex;
    std::array<CallbackList, kNumOptimizerKinds> lists; // decreasing priority, then seq
    uint64_t nextSeq = 0;
    // Solutions given during the solve, not yet taken by the engine; accepted only while the
    // running solve can still take them.
    std::vector<UserSolution> pending;
    bool accepting = false;
    // The progress of the running solve as attribute reads see it (valid while live is set).
    bool live = false;
    SolveResult progress;
    std::atomic<CallbackRun *> run{nullptr};
    // The problem's live branching objects, which lose their problem when it is destroyed.
    std::vector<nvo_bo_struct *> branchObjects;
};

// Registers or removes a callback of kind number kind (the NVRAaddcb... and NVRAremovecb...
// functions). fn null in remove matches any function, data null any data.
int addCallback(NVRAprob prob, CbKind kind, void (*fn)(), void *data, int priority);
int removeCallback(NVRAprob prob, CbKind kind, void (*fn)(), void *data);
// A copy of the registrations of a kind (message callbacks, which also run outside solves).
CallbackList callbacksOf(NVRAprob prob, CbKind kind);

// The results of a problem before a solve has any: nothing found, objective values at the worst
// end for the sense.
SolveResult unstartedResult(int sense);

// The progress attribute reads see: that of the running solve while there is one. False when
// no solve runs.
bool liveProgress(const nvo_prob_struct &prob, SolveResult &out);

// Queues a solution given during a solve for the running one. False (nothing queued) when the
// problem is not being solved or its solve can no longer take solutions.
bool queueUserSolution(NVRAprob prob, UserSolution &&solution);

// The solution the callback running on this thread reports (intsol, preintsol), over the
// problem's columns; null outside such a callback or for another problem.
const std::vector<double> *callbackSolution(NVRAprob prob);

// Shows a result as the problem's progress for the length of a scope, so that the attribute
// reads of a callback made outside an optimisation (the solve callback of strong branching) see
// the solve it is called for.
class ProgressScope {
  public:
    ProgressScope(NVRAprob prob, const SolveResult &shown);
    ~ProgressScope();
    ProgressScope(const ProgressScope &) = delete;
    ProgressScope &operator=(const ProgressScope &) = delete;

  private:
    NVRAprob prob_;
    bool savedLive_;
    SolveResult saved_;
};

// Progress at a simplex or barrier iteration.
struct IterationPoint {
    bool barrier = false;
    int64_t iterations = 0;
    double time = 0.0; // seconds since the solve started
};

// Progress of a MIP search, objective values in the problem's sense with the library's
// infinities (+-1e20); primal 1e20 * sense while there is no incumbent.
struct MipPoint {
    double primal = kInf, dual = -kInf, gap = kInf, time = 0.0;
    int64_t nodes = 0, lpIterations = 0;
};

class CallbackRun {
  public:
    // Who reports the events: the engine (its callback points, and every engine run is a solve
    // of the optimisation), or the library's own route around it (the route reports its
    // progress; the engine runs inside it are steps of one solve and report nothing).
    enum class Reporter { Engine, Route };

    // With the busy flag held. userCols: the columns of the problem as built (an engine's own
    // columns after them are dropped from solutions).
    CallbackRun(NVRAprob prob, int userCols, Reporter reporter = Reporter::Engine);
    ~CallbackRun();
    CallbackRun(const CallbackRun &) = delete;
    CallbackRun &operator=(const CallbackRun &) = delete;

    bool wants(CbKind kind) const { return !lists_[static_cast<int>(kind)].empty(); }
    bool engineReports() const { return reporter_ == Reporter::Engine; }

    void beginSolve();
    void endSolve(const SolveResult &result);
    void iteration(const IterationPoint &at);
    void mipCheck(const MipPoint &at);
    void mipLog(const MipPoint &at);
    void mipSolution(const MipPoint &at, const double *x, bool improving);
    void cutPool(const MipPoint &at, int ncuts);
    // Moves a queued solution into out (false when none is queued); after the engine tried
    // it, the outcome (NVRA_USERSOL_*) is reported to usersolnotify.
    bool takeUserSolution(UserSolution &out);
    void userSolutionDone(const UserSolution &solution, int status);
    // The end of the optimisation: solutions still queued are reported as not used, and the
    // run stops taking solutions and showing progress. Called once, before the results of the
    // optimisation are kept.
    void finish();

    // The first answer the engine could not act on, or "".
    const std::string &refusal() const { return refusal_; }

  private:
    template <class Fn, class... A> void each(CbKind kind, A... args);
    template <class Fn> bool anyStop(CbKind kind);
    // The opening every MIP event shares (nothing to do without callbacks; under the run's lock,
    // the progress the event brings and the presolve callback at the first one), then body.
    template <class Body> void mipEvent(const MipPoint &at, Body &&body);
    void requestStop();
    void refuse(const char *callback, const char *answer);
    void setProgress(const SolveResult &r);
    void progressOfMip(const MipPoint &at);
    void presolveOnce();
    void checkTime();
    void gapNotify(const MipPoint &at);
    void nodeEvents(const MipPoint &at);

    NVRAprob prob_;
    int userCols_;
    Reporter reporter_;
    std::array<CallbackList, kNumOptimizerKinds> lists_;
    bool active_ = false; // some callback is registered: events do their work
    // Held for the whole of an event: callbacks run one at a time, and the members below
    // change only under it.
    std::recursive_mutex mutex_;
    std::string refusal_;
    bool presolveSeen_ = false;
    int64_t lastLpLog_ = 0, lastBarIter_ = 0, lastNodes_ = 0;
    std::chrono::steady_clock::time_point lastCheckTime_;
    double gapTargets_[4] = {-1.0, -1.0, kInf, kInf};
    std::vector<double> solution_; // the solution of the running intsol or preintsol
};

} // namespace nvra
