// nlprob.h: the nonlinear problem (NSLPprob) attached to an optimizer problem, and what every
// nonlinear entry point shares: handle checks, entry guards, errors, messages and callbacks.
//
// Every NSLP entry point has the shape
//     return nlEdit(nlprob, "NSLPaddcoefs", [&](NSLPprob nl) { check everything; change; });
// (nlQuery for reads, nlSettings for controls and callbacks); the NVRA... functions of nslp.h use
// viaProb to reach the nonlinear problem of an optimizer problem. Errors go to the optimizer
// problem's last error (probError through nlError); a failed call changes nothing.
#pragma once

#include "core/problem.h"
#include "nonlinear/evaluator.h"
#include "nonlinear/nlcontrols.h"
#include "nonlinear/nldata.h"
#include "nslp.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>

namespace nvra::nl {

// The callback kinds of a nonlinear problem (one function each).
enum class Cb {
    Message,
    CascadeEnd,
    CascadeStart,
    CascadeVar,
    CascadeVarFail,
    CoefEvalError,
    Construct,
    Destroy,
    DrCol,
    IterEnd,
    IterStart,
    IterVar,
    MsJobEnd,
    MsJobStart,
    MsWinner,
    PreUpdateLinearization,
    SlpEnd,
    SlpNode,
    SlpStart,
    IntSol,
    OptNode,
    PreNode,
    Count
};

struct Callback {
    void (*fn)(void) = nullptr;
    void *data = nullptr;
};

} // namespace nvra::nl

struct tagNSLPproblem final : nvra::NonlinearPart {
    nvra::HandleHeader header{nvra::HandleKind::NonlinearProblem};
    NVRAprob prob; // the optimizer problem it is attached to (which owns it)
    nvra::nl::NlData data;
    nvra::ControlValues controls{nvra::nl::kNlRegistry};

    std::mutex cbMutex; // guards callbacks (they may be set from a callback during a solve)
    std::array<nvra::nl::Callback, static_cast<size_t>(nvra::nl::Cb::Count)> callbacks{};

    // NSLPconstruct's work: the compiled formulas (null when not constructed).
    std::unique_ptr<nvra::nl::Evaluator> constructed;
    nvra::nl::EvalCounters counters;
    // The point checked last (NSLPvalidate, NSLPvalidatevector).
    int violations = 0;
    double maxViolation = 0.0, sumInfeas = 0.0;

    explicit tagNSLPproblem(NVRAprob p) : prob(p) {}
    ~tagNSLPproblem() override { header.kind = nvra::HandleKind::Freed; }

    int stageDeletion(bool rows, const std::vector<int32_t> &map) override;
    void commitDeletion() noexcept override;
    void modelReplaced() noexcept override;
    bool holdsFormulas() const noexcept override { return data.coefs.livePieces() > 0; }

    // SLP data changed: the construction (which holds derivative steps) and the cascade order go.
    void slpChanged() noexcept;
    // The model changed (coefficients, the sense, the optimizer problem's rows or columns): the
    // last solution goes too.
    void changed() noexcept;

  private:
    std::unique_ptr<nvra::nl::NlData> staged_;
};

namespace nvra::nl {

// Validates a handle (started component, live nonlinear problem): 0 or NVRA_RC_MISUSE with the
// global last error set.
int checkNlHandle(NSLPprob nl);
// checkNlHandle, then clears the optimizer problem's last error (message and code).
int enterNl(NSLPprob nl);
// Sets the problem's last error (on its optimizer problem) and returns code. printf-style.
int nlError(NSLPprob nl, int code, const char *fmt, ...) __attribute__((format(printf, 3, 4)));
int nlOutOfMemory(NSLPprob nl, const char *fn);

// The entry guards: validate, run body(nl), map allocation failures.
template <class F> int nlGuard(NSLPprob nl, const char *fn, bool edit, F &&body) {
    if (int rc = enterNl(nl)) return rc;
    if (edit && nl->prob->busy.load())
        return nlError(nl, NVRA_RC_BUSY,
                       "The problem is being solved: it cannot be changed until the solve ends");
    try {
        return body(nl);
    } catch (const std::bad_alloc &) {
        return nlOutOfMemory(nl, fn);
    } catch (const std::length_error &) {
        return nlOutOfMemory(nl, fn);
    }
}
// A read.
template <class F> int nlQuery(NSLPprob nl, const char *fn, F &&body) {
    return nlGuard(nl, fn, false, body);
}
// A change of the model: refused during a solve; a success discards construction and solution.
template <class F> int nlEdit(NSLPprob nl, const char *fn, F &&body) {
    return nlGuard(nl, fn, true, [&](NSLPprob p) {
        const int rc = body(p);
        if (rc == 0) p->changed();
        return rc;
    });
}
// A change of SLP data (column and row data, tolerance sets, jobs, user functions): refused
// during a solve; the solution stays, the construction goes.
template <class F> int nlSlpEdit(NSLPprob nl, const char *fn, F &&body) {
    return nlGuard(nl, fn, true, [&](NSLPprob p) {
        const int rc = body(p);
        if (rc == 0) p->slpChanged();
        return rc;
    });
}
// A change of controls: refused during a solve, keeps the solution.
template <class F> int nlSettings(NSLPprob nl, const char *fn, F &&body) {
    return nlGuard(nl, fn, true, body);
}

// The NVRA... functions of nslp.h: validate the optimizer problem, find its nonlinear problem
// (an error when it has none) and run the guard on it.
NSLPprob nonlinearOf(NVRAprob prob, const char *fn);
template <class Guard, class F> int viaProb(NVRAprob prob, const char *fn, Guard guard, F &&body) {
    if (int rc = enterProb(prob)) return rc;
    NSLPprob nl = nonlinearOf(prob, fn);
    return nl ? guard(nl, fn, body) : NVRA_RC_INVALID;
}
// Guards as values for viaProb.
inline constexpr auto kQuery = [](NSLPprob nl, const char *fn, auto &&body) {
    return nlQuery(nl, fn, body);
};
inline constexpr auto kEdit = [](NSLPprob nl, const char *fn, auto &&body) {
    return nlEdit(nl, fn, body);
};
inline constexpr auto kSlpEdit = [](NSLPprob nl, const char *fn, auto &&body) {
    return nlSlpEdit(nl, fn, body);
};

// ---- argument checks (0, or the error code after nlError) -----------------------------------

int checkNlArray(NSLPprob nl, const char *fn, const char *name, const void *p, int64_t n = 1);
int checkNlCount(NSLPprob nl, const char *fn, const char *what, int64_t n);
// A row index (NSLP_OBJECTIVE allowed when objective), a column index (NSLP_NOCOLUMN allowed when
// noColumn).
int checkNlRow(NSLPprob nl, const char *fn, int row, bool objective);
int checkNlCol(NSLPprob nl, const char *fn, int col, bool noColumn);
// "row 3" / "the objective"; "column 5" / "no column".
std::string rowText(int row);
std::string colText(int col);

// The context formulas are checked in.
FormulaContext formulaContext(NSLPprob nl);

// ---- messages and callbacks -------------------------------------------------------------------

// A message of the nonlinear problem: to its message callback, then (control nlp_msgforward) to
// the optimizer problem's callbacks, and to the global handlers.
void nlMessage(NSLPprob nl, const char *msg, int msgtype);
// The registered function and data of a kind (null fn when none).
Callback callbackOf(NSLPprob nl, Cb kind);
bool hasCallback(NSLPprob nl, Cb kind);
// Runs the callback of a kind called as (nlprob, data) and returns its result (0 when none is
// registered).
int callPlain(NSLPprob nl, Cb kind);

// The callbacks at the points of a nonlinear solve. A callback's request to stop becomes the
// problem's interrupt request, which the solve polls at its next check (it then ends with stop
// status NVRA_STOP_INTERRUPT); each returns true when the request was made.
//   slpstart, slpend, iterstart, iterend, intsol: a non-zero return.
bool fireStop(NSLPprob nl, Cb kind);
//   coefevalerror: the evaluation of the coefficient (row, col) failed at a trial point; a
//   non-zero return stops the solve, 0 lets the solver treat the point as it does any point it
//   cannot evaluate (the step is shortened).
bool fireCoefEvalError(NSLPprob nl, int row, int col);
// preupdatelinearization, before the formulas are linearised at a point: true when the callback
// asks for one more update of the linearisation.
bool fireRepeatLinearization(NSLPprob nl);
// itervar at a convergence check: the callback's verdict on column col (0 the solver's own, 1
// converged, -1 not converged).
int fireIterVar(NSLPprob nl, int col);
// slpnode, prenode, optnode at a node of a branch and bound: true when the callback's out-value
// is non-zero (the node is dropped, or marked infeasible).
bool fireNodeVerdict(NSLPprob nl, Cb kind);

// A control's current value.
int64_t intControl(NSLPprob nl, int id);
double dblControl(NSLPprob nl, int id);

} // namespace nvra::nl
