// nlprob.cpp: starting the nonlinear component; creating, copying and destroying nonlinear
// problems; the entry guards, argument checks, messages and callback registrations.
#include "nonlinear/nlprob.h"

#include "core/env.h"
#include "store/store.h"

#include <cstdio>
#include <cstring>

namespace nvra::nl {
namespace {

std::mutex g_startMutex;
int g_starts = 0; // outstanding NSLPinit calls

bool componentStarted() {
    std::lock_guard<std::mutex> lock(g_startMutex);
    return g_starts > 0 && started();
}

} // namespace

int checkNlHandle(NSLPprob nl) {
    if (!componentStarted())
        return setGlobalError(NVRA_RC_MISUSE,
                              "The nonlinear component is not started: call NSLPinit first");
    if (!nl || nl->header.kind != HandleKind::NonlinearProblem)
        return setGlobalError(NVRA_RC_MISUSE,
                              "Invalid nonlinear problem handle (null, freed or foreign)");
    return 0;
}

int enterNl(NSLPprob nl) {
    if (int rc = checkNlHandle(nl)) return rc;
    nl->prob->lastError.clear();
    nl->prob->lastErrorCode = 0;
    return 0;
}

int nlError(NSLPprob nl, int code, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    probErrorV(nl->prob, code, fmt, ap);
    va_end(ap);
    return code;
}

int nlOutOfMemory(NSLPprob nl, const char *fn) {
    return nlError(nl, NVRA_RC_NOMEM, "%s: out of memory", fn);
}

NSLPprob nonlinearOf(NVRAprob prob, const char *fn) {
    auto *nl = static_cast<NSLPprob>(prob->nonlinear);
    if (!nl)
        probError(prob, NVRA_RC_INVALID,
                  "%s: the problem has no nonlinear problem (create one with NSLPcreateprob)", fn);
    else if (!componentStarted())
        probError(prob, NVRA_RC_MISUSE,
                  "%s: the nonlinear component is not started: call NSLPinit first", fn);
    return nl && componentStarted() ? nl : nullptr;
}

int checkNlArray(NSLPprob nl, const char *fn, const char *name, const void *p, int64_t n) {
    if (n > 0 && !p) return nlError(nl, NVRA_RC_INVALID, "%s: %s is NULL", fn, name);
    return 0;
}

int checkNlCount(NSLPprob nl, const char *fn, const char *what, int64_t n) {
    if (n < 0)
        return nlError(nl, NVRA_RC_INVALID, "%s: negative number of %s (%lld)", fn, what,
                       static_cast<long long>(n));
    return 0;
}

std::string rowText(int row) {
    return row == NSLP_OBJECTIVE ? "the objective" : "row " + std::to_string(row);
}

std::string colText(int col) {
    return col == NSLP_NOCOLUMN ? "no column" : "column " + std::to_string(col);
}

int checkNlRow(NSLPprob nl, const char *fn, int row, bool objective) {
    const int n = nl->prob->model.numRows();
    if ((row >= 0 && row < n) || (objective && row == NSLP_OBJECTIVE)) return 0;
    return nlError(nl, NVRA_RC_RANGE, "%s: row index %d is out of range: the problem has %d rows%s",
                   fn, row, n, objective ? " (-1 is the objective)" : "");
}

int checkNlCol(NSLPprob nl, const char *fn, int col, bool noColumn) {
    const int n = nl->prob->model.numCols();
    if ((col >= 0 && col < n) || (noColumn && col == NSLP_NOCOLUMN)) return 0;
    return nlError(nl, NVRA_RC_RANGE,
                   "%s: column index %d is out of range: the problem has %d columns%s", fn, col, n,
                   noColumn ? " (-1000 is no column)" : "");
}

FormulaContext formulaContext(NSLPprob nl) {
    return {nl->prob->model.numCols(), &nl->data.userFunctions};
}

void nlMessage(NSLPprob nl, const char *msg, int msgtype) {
    const Callback cb = callbackOf(nl, Cb::Message);
    if (cb.fn)
        reinterpret_cast<NSLPcbmessage>(cb.fn)(nl, cb.data, msg, static_cast<int>(strlen(msg)),
                                               msgtype);
    if (intControl(nl, kNlCtrlMsgForward))
        probMessage(nl->prob, msg, msgtype);
    else
        globalMessage(nl->prob, msg, msgtype, 0);
}

Callback callbackOf(NSLPprob nl, Cb kind) {
    std::lock_guard<std::mutex> lock(nl->cbMutex);
    return nl->callbacks[static_cast<size_t>(kind)];
}

bool hasCallback(NSLPprob nl, Cb kind) {
    return callbackOf(nl, kind).fn != nullptr;
}

int callPlain(NSLPprob nl, Cb kind) {
    const Callback cb = callbackOf(nl, kind);
    return cb.fn ? reinterpret_cast<NSLPcbplain>(cb.fn)(nl, cb.data) : 0;
}

namespace {

// A callback's stop request as the problem's interrupt request.
bool stopIf(NSLPprob nl, int rc) {
    if (rc == 0) return false;
    int none = 0;
    nl->prob->interruptReason.compare_exchange_strong(none, 1);
    return true;
}

} // namespace

bool fireStop(NSLPprob nl, Cb kind) {
    return stopIf(nl, callPlain(nl, kind));
}

bool fireCoefEvalError(NSLPprob nl, int row, int col) {
    const Callback cb = callbackOf(nl, Cb::CoefEvalError);
    return cb.fn && stopIf(nl, reinterpret_cast<NSLPcbcoefevalerror>(cb.fn)(nl, cb.data, row, col));
}

bool fireRepeatLinearization(NSLPprob nl) {
    const Callback cb = callbackOf(nl, Cb::PreUpdateLinearization);
    if (!cb.fn) return false;
    int repeat = 0;
    if (stopIf(nl, reinterpret_cast<NSLPcbpreupdatelinearization>(cb.fn)(nl, cb.data, &repeat)))
        return false;
    return repeat != 0;
}

int fireIterVar(NSLPprob nl, int col) {
    const Callback cb = callbackOf(nl, Cb::IterVar);
    if (!cb.fn) return 0;
    const int verdict = reinterpret_cast<NSLPcbcol>(cb.fn)(nl, cb.data, col);
    return verdict > 0 ? 1 : verdict < 0 ? -1 : 0;
}

bool fireNodeVerdict(NSLPprob nl, Cb kind) {
    const Callback cb = callbackOf(nl, kind);
    if (!cb.fn) return false;
    int out = 0;
    if (stopIf(nl, reinterpret_cast<NSLPcbnode>(cb.fn)(nl, cb.data, &out))) return false;
    return out != 0;
}

int64_t intControl(NSLPprob nl, int id) {
    return nl->controls.ints[findCa(kNlRegistry, id)->slot];
}

double dblControl(NSLPprob nl, int id) {
    return nl->controls.dbls[findCa(kNlRegistry, id)->slot];
}

} // namespace nvra::nl

using namespace nvra;
using namespace nvra::nl;

// ---- the record as the store's nonlinear part ---------------------------------------------------

int tagNSLPproblem::stageDeletion(bool rows, const std::vector<int32_t> &map) {
    staged_.reset();
    auto next = std::make_unique<NlData>();
    DeletionRefusal r;
    if (!data.renumbered(rows, map, *next, r))
        return probError(prob, NVRA_RC_INVALID,
                         "Column %d cannot be deleted: the formula of the coefficient of %s and "
                         "%s reads it (change or delete that coefficient first)",
                         r.column, rowText(r.row).c_str(), colText(r.col).c_str());
    staged_ = std::move(next);
    return 0;
}

void tagNSLPproblem::commitDeletion() noexcept {
    if (!staged_) return;
    std::swap(data, *staged_);
    staged_.reset();
    changed();
}

void tagNSLPproblem::modelReplaced() noexcept {
    data.clearModel();
    changed();
}

void tagNSLPproblem::slpChanged() noexcept {
    constructed.reset();
    data.cascadeOrder.clear();
}

void tagNSLPproblem::changed() noexcept {
    slpChanged();
    prob->solution.reset();
}

// ---- entry points -------------------------------------------------------------------------------

namespace {

// The callback registrations: one function per kind, replaced by the next registration.
int setCallback(NSLPprob nl, const char *fn, Cb kind, void (*f)(void), void *data) {
    return nlQuery(nl, fn, [&](NSLPprob p) -> int {
        std::lock_guard<std::mutex> lock(p->cbMutex);
        p->callbacks[static_cast<size_t>(kind)] = {f, f ? data : nullptr};
        return 0;
    });
}

} // namespace

extern "C" {

int NSLPinit(const char *path) {
    if (int rc = NVRAinit(path)) return rc;
    std::lock_guard<std::mutex> lock(g_startMutex);
    ++g_starts;
    return NVRA_RC_OK;
}

int NSLPfree(void) {
    {
        std::lock_guard<std::mutex> lock(g_startMutex);
        if (g_starts == 0)
            return setGlobalError(NVRA_RC_MISUSE, "NSLPfree called without a matching NSLPinit");
        --g_starts;
    }
    return NVRAfree();
}

int NSLPcreateprob(NSLPprob *nlprob, NVRAprob prob) {
    if (!componentStarted())
        return setGlobalError(NVRA_RC_MISUSE,
                              "The nonlinear component is not started: call NSLPinit first");
    if (!nlprob) return setGlobalError(NVRA_RC_INVALID, "NSLPcreateprob: null handle pointer");
    if (int rc = enterProbEdit(prob)) return rc;
    if (prob->nonlinear)
        return probError(prob, NVRA_RC_INVALID,
                         "NSLPcreateprob: the problem already has a nonlinear problem");
    auto *nl = new (std::nothrow) tagNSLPproblem(prob);
    if (!nl) return probError(prob, NVRA_RC_NOMEM, "NSLPcreateprob: out of memory");
    prob->nonlinear = nl;
    *nlprob = nl;
    return NVRA_RC_OK;
}

// Not through a guard: the record is gone when it returns.
int NSLPdestroyprob(NSLPprob nl) {
    if (int rc = enterNl(nl)) return rc;
    if (nl->prob->busy.load())
        return nlError(nl, NVRA_RC_BUSY, "NSLPdestroyprob: the problem is being solved");
    const Callback cb = callbackOf(nl, Cb::Destroy);
    if (cb.fn) reinterpret_cast<NSLPcbplain>(cb.fn)(nl, cb.data);
    NVRAprob prob = nl->prob;
    prob->nonlinear = nullptr;
    prob->solution.reset();
    delete nl;
    return NVRA_RC_OK;
}

int NSLPcopyprob(NSLPprob dest, NSLPprob src) {
    const char *fn = "NSLPcopyprob";
    return nlEdit(dest, fn, [&](NSLPprob d) -> int {
        if (checkNlHandle(src))
            return nlError(d, NVRA_RC_MISUSE, "%s: the source nonlinear problem is not valid", fn);
        if (src == d) return 0;
        const Model &from = src->prob->model, &to = d->prob->model;
        if (to.numRows() < from.numRows() || to.numCols() < from.numCols())
            return nlError(d, NVRA_RC_INVALID,
                           "%s: the destination has %d rows and %d columns, fewer than the "
                           "source's %d rows and %d columns (copy the optimizer problem first)",
                           fn, to.numRows(), to.numCols(), from.numRows(), from.numCols());
        NlData copy = src->data; // complete before dest changes
        ControlValues controls = src->controls;
        d->data = std::move(copy);
        d->controls = std::move(controls);
        return 0;
    });
}

int NSLPcopycontrols(NSLPprob dest, NSLPprob src) {
    const char *fn = "NSLPcopycontrols";
    return nlSettings(dest, fn, [&](NSLPprob d) -> int {
        if (checkNlHandle(src))
            return nlError(d, NVRA_RC_MISUSE, "%s: the source nonlinear problem is not valid", fn);
        ControlValues controls = src->controls;
        d->controls = std::move(controls);
        return 0;
    });
}

int NSLPgetlasterror(NSLPprob nlprob, int *code, char *msg) {
    if (int rc = checkNlHandle(nlprob)) return rc;
    if (code) *code = nlprob->prob->lastErrorCode;
    if (msg) copyOut(nlprob->prob->lastError, msg, NVRA_MAXMESSAGELENGTH, nullptr);
    return NVRA_RC_OK;
}

int NSLPinterrupt(NSLPprob nlprob, int reason) {
    if (int rc = checkNlHandle(nlprob)) return rc;
    return NVRAinterrupt(nlprob->prob, reason);
}

#define NSLP_SETCB(name, kind, type)                                                               \
    int NSLPsetcb##name(NSLPprob nlprob, type f, void *data) {                                     \
        return setCallback(nlprob, "NSLPsetcb" #name, Cb::kind,                                    \
                           reinterpret_cast<void (*)(void)>(f), data);                             \
    }
NSLP_SETCB(message, Message, NSLPcbmessage)
NSLP_SETCB(cascadeend, CascadeEnd, NSLPcbplain)
NSLP_SETCB(cascadestart, CascadeStart, NSLPcbplain)
NSLP_SETCB(cascadevar, CascadeVar, NSLPcbcol)
NSLP_SETCB(cascadevarfail, CascadeVarFail, NSLPcbcol)
NSLP_SETCB(coefevalerror, CoefEvalError, NSLPcbcoefevalerror)
NSLP_SETCB(construct, Construct, NSLPcbplain)
NSLP_SETCB(destroy, Destroy, NSLPcbplain)
NSLP_SETCB(drcol, DrCol, NSLPcbdrcol)
NSLP_SETCB(iterend, IterEnd, NSLPcbplain)
NSLP_SETCB(iterstart, IterStart, NSLPcbplain)
NSLP_SETCB(itervar, IterVar, NSLPcbcol)
NSLP_SETCB(msjobend, MsJobEnd, NSLPcbmsjob)
NSLP_SETCB(msjobstart, MsJobStart, NSLPcbmsjob)
NSLP_SETCB(mswinner, MsWinner, NSLPcbmswinner)
NSLP_SETCB(preupdatelinearization, PreUpdateLinearization, NSLPcbpreupdatelinearization)
NSLP_SETCB(slpend, SlpEnd, NSLPcbplain)
NSLP_SETCB(slpnode, SlpNode, NSLPcbnode)
NSLP_SETCB(slpstart, SlpStart, NSLPcbplain)
NSLP_SETCB(intsol, IntSol, NSLPcbplain)
NSLP_SETCB(optnode, OptNode, NSLPcbnode)
NSLP_SETCB(prenode, PreNode, NSLPcbnode)
#undef NSLP_SETCB

} // extern "C"
