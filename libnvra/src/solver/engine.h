// engine.h: the solver's per-problem state: one HiGHS instance per problem, the capture of its
// log (lines to the problem's message callbacks, error lines kept for the last error) and the
// interrupt requests it honours.
#pragma once

#include "core/problem.h"

#include <mutex>
#include <string>
#include <vector>

namespace nvra {

struct Engine {
    void *highs = nullptr;
    NVRAprob prob = nullptr;

    // HiGHS hands its log over in fragments, possibly from several threads; complete lines are
    // delivered to the problem. Guarded by logMutex.
    std::mutex logMutex;
    std::string pendingLine;
    int pendingType = 1;
    std::vector<std::string> errorLines;   // HiGHS error lines since the last beginCapture
    std::vector<std::string> warningLines; // and its warnings
    // Whether log lines reach the problem's message callbacks (output control not 0). Error
    // lines are captured either way.
    bool deliverLog = true;

    // Value of the process-wide Ctrl-C counter when the current solve started (sigint.h).
    unsigned sigintMark = 0;

    // Shape of the model HiGHS holds and whether its basis may seed the next solve.
    int numCol = -1, numRow = -1;

    Engine() = default;
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;
    ~Engine();
};

// The problem's engine, created at its first use. 0, or an error code with the last error set.
int ensureEngine(NVRAprob prob, Engine *&engine);

// Starts a new capture: forgets captured error and warning lines and sets whether log lines
// are delivered.
void beginCapture(Engine &engine, bool deliverLog);
// Delivers a pending partial line and, when the log is delivered, a flush request (type 0).
void endCapture(Engine &engine);
// The captured error lines joined by "; " (the warnings when there is no error line; empty when
// HiGHS said nothing).
std::string capturedText(Engine &engine);
// Sets the problem's last error to "<what>: <captured text>" (or "<what>" alone) and returns
// NVRA_RC_ENGINE.
int engineError(NVRAprob prob, Engine &engine, const char *what);

// Whether a stop was requested by NVRAinterrupt or by a Ctrl-C since the solve started. Safe
// from any thread; the solver's own loops and the other engines ask it too.
bool stopRequested(Engine &engine);

// True when a HiGHS call succeeded (status Ok or Warning).
inline bool highsOk(long status) {
    return status >= 0;
}

} // namespace nvra
