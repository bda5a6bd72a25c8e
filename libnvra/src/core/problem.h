// problem.h: the problem handle of libnvra: model store, control values, the results of the last
// optimisation, last error, message callbacks, interrupt flag, and the helpers every entry point
// uses.
#pragma once

#include "core/controls.h"
#include "core/handle.h"
#include "core/model.h"
#include "nvra.h"

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace nvra {

// The outcome of one solve (one priority level of a multi-objective run, or the only solve).
// The attribute getters answer every attribute flagged NVRA_CA_PERSOLVE from one of these.
struct SolveResult {
    int lpStatus = NVRA_LP_UNSTARTED;             // 1010
    int mipStatus = NVRA_MIP_NOT_LOADED;          // 1011
    int solveStatus = NVRA_SOLVESTATUS_UNSTARTED; // 1394
    int solStatus = NVRA_SOLSTATUS_NOTFOUND;      // 1053
    int stopStatus = NVRA_STOP_NONE;              // 1508
    int optimizeType = NVRA_OPTIMIZETYPE_NONE;    // 1268
    // Objective values include the constant and refer to the problem's own objective at that
    // level (for a blended level, the blended objective); kInf * sense when there is none.
    double objVal = kInf;     // 2500: the solution this solve left (LP or MIP)
    double lpObjVal = kInf;   // 2001: continuous solves (LP, QP, relaxation)
    double mipObjVal = kInf;  // 2003: MIP solves (incumbent)
    double bestBound = -kInf; // 2501: proven bound (equal to objVal at proven optimality)
    double mipGap = kInf;     // 2502: relative gap as the engine reports it
    double solveTime = 0.0;   // 2503: seconds of wall time
    int64_t simplexIter = 0;  // 1505
    int64_t barIter = 0;      // 1506
    int64_t nodes = 0;        // 1507
    int64_t nlpSolves = 0;    // 1511: interior-point solves
    int64_t masterSolves = 0; // 1512: master MIP solves of an outer approximation
    double maxViolation = 0;  // 2505: of the rows as stored, after interior-point solves
    // Nonlinear solves (nonlinear attributes 12044 and 12100).
    int nlpStatus = 0; // NSLP_STATUS_*
    int64_t slpIter = 0;
};

// The results of the last optimisation, filled by the solver (solve.cpp and friends) and read by
// the attribute getters (attributes.cpp) and the solution getters (solution.cpp). Every change
// to the model calls reset(); a change of controls does not.
struct SolveState {
    // One entry per solve of the last optimisation, in solve order (attribute 1399 is its size).
    // The problem-level attributes come from the last entry, or from a default SolveResult when
    // there is none.
    std::vector<SolveResult> solves;

    // The solution of the last solve, over the rows and columns as built (auxiliary rows and
    // columns of reformulations removed). Each vector is empty or has full length.
    std::vector<double> x;       // primal values, numCols
    std::vector<double> slack;   // rhs - activity (quadratic part included), numRows
    std::vector<double> dual;    // numRows
    std::vector<double> redCost; // numCols
    // Availability as the solution getters report it: NVRA_AVAIL_NONE, NVRA_AVAIL_OPTIMAL or
    // NVRA_AVAIL_FEASIBLE. primalAvail covers x and slack, dualAvail dual and redCost (always
    // NONE after a MIP solve).
    int primalAvail = NVRA_AVAIL_NONE;
    int dualAvail = NVRA_AVAIL_NONE;
    // The solution came from a MIP solve (NVRAgetmipsol) rather than a continuous one
    // (NVRAgetlpsol).
    bool fromMip = false;
    // Non-zero coefficients the engine took as zero (attributes droppedcoefs, maxdroppedcoef).
    int64_t droppedCoefs = 0;
    double maxDroppedCoef = 0.0;

    // The basis of the last continuous solve (or the one loaded since), empty when there is
    // none. engineExact: the engine still holds the model of this solve exactly as the store
    // has it (no auxiliary rows or columns, objective 0's costs), so that its factorisation,
    // rays and ranging describe this problem.
    // engineSolved: it also still holds this solve's outcome (solution, rays, ranging).
    Basis basis;
    bool engineExact = false;
    bool engineSolved = false;
    IisState iis;
    std::shared_ptr<const Ranging> ranging;    // computed on the first request
    std::shared_ptr<PresolvedState> presolved; // set by a presolve-only solve
    RepairState repair;

    const SolveResult &current() const {
        static const SolveResult none;
        return solves.empty() ? none : solves.back();
    }
    void reset() { *this = SolveState(); }
};

// The solver's state of a problem: the HiGHS instance and the compiled image of the store.
// Defined by the solver (engine.cpp); created at the first solve, destroyed with the problem.
struct Engine;
void destroyEngine(Engine *engine) noexcept;

// The nonlinear part of a problem (nonlinear/: the nonlinear problem of nslp.h): formulas and
// solver data that refer to the model's rows and columns. Owned by the problem. The store tells
// it about deletions and about the model being replaced.
struct NonlinearPart {
    virtual ~NonlinearPart() = default;
    // A deletion of rows (rows true) or columns: map[i] is the new index of entry i, or -1 when
    // it goes. Checks that the part can follow it (a refusal is reported through probError and
    // its code returned) and prepares its renumbered data; changes nothing visible; may throw
    // std::bad_alloc.
    virtual int stageDeletion(bool rows, const std::vector<int32_t> &map) = 0;
    // Puts the prepared data in place, once the store has applied the same deletion.
    virtual void commitDeletion() noexcept = 0;
    // The model was replaced as a whole (a load, a read, a copy): what referred to it goes.
    virtual void modelReplaced() noexcept = 0;
    // True when the model holds formulas, which only the nonlinear solver can solve.
    virtual bool holdsFormulas() const noexcept = 0;
};

// The callbacks of a problem: registrations, the running solve's callback state and branching
// objects (callbacks.h, branchobj.cpp). Created with the problem.
struct ProblemCallbacks;
ProblemCallbacks *newProblemCallbacks();
void destroyProblemCallbacks(ProblemCallbacks *callbacks) noexcept;

} // namespace nvra

struct nvo_prob_struct {
    nvra::HandleHeader header{nvra::HandleKind::Problem};
    std::string lastError; // empty after a successful call
    int lastErrorCode = 0; // the NVRA_RC_* code of lastError; 0 after a successful call

    nvra::Model model;              // the master copy of the model
    nvra::ControlValues controls;   // this problem's control values
    nvra::SolveState solution;      // results of the last optimisation
    nvra::Engine *engine = nullptr; // owned; see destroyEngine
    int64_t replacedNames = 0;      // by the last write to a file (attribute replacednames)
    nvra::NonlinearPart *nonlinear = nullptr; // owned; attached by NSLPcreateprob

    // Set for the duration of a solve: calls that change the model or the controls fail with
    // NVRA_RC_BUSY (they may come from callbacks or other threads); queries are answered.
    std::atomic<bool> busy{false};

    nvra::ProblemCallbacks *callbacks = nullptr; // owned; never null once created

    std::atomic<int> interruptReason{0};

    nvra::Starts starts;              // what the next solve starts from
    nvra::CutPool cutPool;            // cuts stored for this problem; active ones join solves
    nvra::TunerMethod tunerMethod;    // the method read by NVRAtunerreadmethod, or empty
    std::map<int, int> messageStatus; // message codes switched off (status 0)

    nvo_prob_struct() = default;
    nvo_prob_struct(const nvo_prob_struct &) = delete;
    nvo_prob_struct &operator=(const nvo_prob_struct &) = delete;
    ~nvo_prob_struct() {
        delete nonlinear;
        nvra::destroyEngine(engine);
        nvra::destroyProblemCallbacks(callbacks);
    }
};

namespace nvra {

// Validates a handle: 0, or NVRA_RC_MISUSE with the global last error set.
int checkProb(NVRAprob prob);
// The start of every problem entry point except NVRAgetlasterror: checkProb, then clears the
// problem's last error. Returns 0 or the failure code.
int enterProb(NVRAprob prob);
// enterProb for calls that change the model or the controls: also fails with NVRA_RC_BUSY while
// the problem is being solved.
int enterProbEdit(NVRAprob prob);
// Sets the problem's last error (message and code) and returns code. printf-style.
int probError(NVRAprob prob, int code, const char *fmt, ...) __attribute__((format(printf, 3, 4)));
// probError with the arguments as a va_list.
int probErrorV(NVRAprob prob, int code, const char *fmt, va_list ap);
// Sends one line to the problem's message callbacks and, for global listeners, to the global
// handlers (with msgcode).
void probMessage(NVRAprob prob, const char *msg, int msgtype, int msgcode = 0);
// After the model was replaced as a whole: the nonlinear part lets go of what referred to it.
inline void modelReplaced(NVRAprob prob) noexcept {
    if (prob->nonlinear) prob->nonlinear->modelReplaced();
}
// Placeholder body of entry points whose implementation is still to come: validates the handle
// and fails with NVRA_RC_UNSUPPORTED and "<function> is not implemented yet".
int notImplemented(NVRAprob prob, const char *function);
// The same for entry points without a problem (the message goes to the global last error).
int notImplementedGlobal(const char *function);

} // namespace nvra
