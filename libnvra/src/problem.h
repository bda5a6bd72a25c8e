// problem.h: the problem handle of libnvra: last error, message callbacks, interrupt flag.
#pragma once

#include "handle.h"
#include "nvra.h"

#include <atomic>
#include <cstdarg>
#include <mutex>
#include <string>
#include <vector>

struct nvo_prob_struct {
    nvra::HandleHeader header{nvra::HandleKind::Problem};
    std::string lastError; // empty after a successful call

    struct MessageCallback {
        NVRAcbmessage fn;
        void *data;
        int priority;
        unsigned long seq;
    };
    std::mutex cbMutex;
    std::vector<MessageCallback> messageCallbacks; // decreasing priority, then registration
    unsigned long nextSeq = 0;

    std::atomic<int> interruptReason{0};
};

namespace nvra {

// Validates a handle: 0, or NVRA_RC_MISUSE with the global last error set.
int checkProb(NVRAprob prob);
// Sets the problem's last error and returns code. printf-style.
int probError(NVRAprob prob, int code, const char *fmt, ...) __attribute__((format(printf, 3, 4)));
// Sends one line to the problem's message callbacks and, for global listeners, to the global
// handlers.
void probMessage(NVRAprob prob, const char *msg, int msgtype);

} // namespace nvra
