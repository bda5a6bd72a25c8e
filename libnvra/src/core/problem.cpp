// problem.cpp: creation and destruction of problems, the entry helpers, last error, messages,
// interrupt.
#include "core/problem.h"

#include "core/callbacks.h"
#include "core/env.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

namespace nvra {

int checkProb(NVRAprob prob) {
    if (int rc = requireStarted()) return rc;
    if (!prob || handleKind(prob) != HandleKind::Problem)
        return setGlobalError(NVRA_RC_MISUSE, "Invalid problem handle (null, freed or foreign)");
    return 0;
}

int enterProb(NVRAprob prob) {
    if (int rc = checkProb(prob)) return rc;
    prob->lastError.clear();
    prob->lastErrorCode = 0;
    return 0;
}

int enterProbEdit(NVRAprob prob) {
    if (int rc = enterProb(prob)) return rc;
    if (prob->busy.load())
        return probError(prob, NVRA_RC_BUSY,
                         "The problem is being solved: it cannot be changed until the solve ends");
    return 0;
}

int notImplemented(NVRAprob prob, const char *function) {
    if (int rc = enterProb(prob)) return rc;
    return probError(prob, NVRA_RC_UNSUPPORTED, "%s is not implemented yet", function);
}

int notImplementedGlobal(const char *function) {
    if (int rc = requireStarted()) return rc;
    return setGlobalError(NVRA_RC_UNSUPPORTED, "%s is not implemented yet", function);
}

int probError(NVRAprob prob, int code, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    probErrorV(prob, code, fmt, ap);
    va_end(ap);
    return code;
}

int probErrorV(NVRAprob prob, int code, const char *fmt, va_list ap) {
    char buf[NVRA_MAXMESSAGELENGTH];
    vsnprintf(buf, sizeof buf, fmt, ap);
    prob->lastErrorCode = code;
    try {
        prob->lastError = buf;
    } catch (...) {
        prob->lastError.clear(); // the code still tells what failed
    }
    return code;
}

void probMessage(NVRAprob prob, const char *msg, int msgtype, int msgcode) {
    CallbackList cbs;
    try {
        cbs = callbacksOf(prob, CbKind::message);
    } catch (...) {
        return;
    }
    const int len = static_cast<int>(strlen(msg));
    for (const CallbackEntry &cb : cbs)
        reinterpret_cast<NVRAcbmessage>(cb.fn)(prob, cb.data, msg, len, msgtype);
    globalMessage(prob, msg, msgtype, msgcode);
}

} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAcreateprob(NVRAprob *prob) {
    if (int rc = requireStarted()) return rc;
    if (!prob) return setGlobalError(NVRA_RC_INVALID, "NVRAcreateprob: null argument");
    *prob = nullptr;
    try {
        auto p = std::make_unique<nvo_prob_struct>();
        if (!(p->callbacks = newProblemCallbacks())) throw std::bad_alloc();
        // Room for the longest error text: reporting an error never needs an allocation, so the
        // text of an out-of-memory failure survives.
        p->lastError.reserve(NVRA_MAXMESSAGELENGTH);
        *prob = p.release();
    } catch (const std::bad_alloc &) {
        return setGlobalError(NVRA_RC_NOMEM, "Out of memory creating a problem");
    }
    return NVRA_RC_OK;
}

int NVRAdestroyprob(NVRAprob prob) {
    if (int rc = enterProbEdit(prob)) return rc;
    prob->header.kind = HandleKind::Freed;
    delete prob;
    return NVRA_RC_OK;
}

int NVRAgetlasterror(NVRAprob prob, char *buf, int bufsize) {
    if (int rc = checkProb(prob)) return rc;
    if (!buf || bufsize <= 0) return NVRA_RC_OK;
    // A message that could not be kept (out of memory) reads as the code's own text.
    const std::string_view msg = prob->lastError.empty() && prob->lastErrorCode
                                     ? std::string_view(codeText(prob->lastErrorCode))
                                     : std::string_view(prob->lastError);
    const size_t n = std::min(msg.size(), static_cast<size_t>(bufsize - 1));
    memcpy(buf, msg.data(), n);
    buf[n] = '\0';
    return NVRA_RC_OK;
}

int NVRAgetlasterrorcode(NVRAprob prob, int *code) {
    if (int rc = checkProb(prob)) return rc;
    if (!code) return setGlobalError(NVRA_RC_INVALID, "NVRAgetlasterrorcode: null argument");
    *code = prob->lastErrorCode;
    return NVRA_RC_OK;
}

int NVRAinterrupt(NVRAprob prob, int reason) {
    if (int rc = checkProb(prob)) return rc;
    prob->interruptReason.store(reason ? reason : 1);
    return NVRA_RC_OK;
}

} // extern "C"
