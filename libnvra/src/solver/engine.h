// engine.h: the solver's per-problem state: one HiGHS instance per problem, the capture of its
// log (lines to the problem's message callbacks, error lines kept for the last error) and the
// interrupt requests it honours.
#pragma once

#include "core/problem.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace nvra {

// The option values this library wrote to one engine instance, by option name (every name is
// one of the library's static strings). A solve writes only the options whose value differs
// from the one written before: the engine finds an option by a linear search over all its
// names, so writing every option on every solve was a fixed cost of tens of microseconds.
struct OptionCache {
    enum class Type : uint8_t { Bool, Int, Double, String };
    struct Value {
        Type type;
        int64_t number = 0; // bool and int options
        double real = 0.0;
        std::string text;
    };
    std::unordered_map<std::string_view, Value> values;
};

// Writes one option of the engine instance highs unless cache (may be null) holds that value
// already; the cache learns every value the engine accepted. The engine's status (its Ok when
// nothing was written). A string equal to the engine's current value is never written again
// (writing log_file reopens the file).
int writeBoolOption(void *highs, OptionCache *cache, const char *name, bool v);
int writeIntOption(void *highs, OptionCache *cache, const char *name, int64_t v);
int writeDoubleOption(void *highs, OptionCache *cache, const char *name, double v);
int writeStringOption(void *highs, OptionCache *cache, const char *name, const char *v);
// The value of a double option: the cache's when it has written it, else the engine's (0 when the
// engine has no such option).
double doubleOption(void *highs, const OptionCache *cache, const char *name);
// The type of an option (the cache's when it has written it). -1 for an unknown option.
int optionType(void *highs, const OptionCache *cache, const char *name);

// The model this library last handed to the engine, row-wise, as the engine holds it (entries at
// or below the engine's small-coefficient threshold dropped), so that a re-solve finds its
// changes without reading the engine's model back (incremental.cpp). It stands for the engine's
// model only while valid: whatever else changes that model (multi-objective rows, held rows
// restored, cuts of the outer approximation, analysis, repairs) calls forgetHandover, and the
// next hand-over then reads the engine's model back. Large models keep no record
// (recordHandover: it would be a second copy of the model through the run).
struct HeldModel {
    bool valid = false;
    int32_t numCol = 0, numRow = 0, numNz = 0, sense = 1;
    double offset = 0.0;
    double small = 0.0; // the threshold the engine applied
    std::vector<double> cost, colLower, colUpper, rowLower, rowUpper, value;
    std::vector<int32_t> start, index, integrality;
};

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
    // The engine's output is off for the current run (beginRunCapture); endCapture turns it on.
    bool muted = false;

    // Value of the process-wide Ctrl-C counter when the current solve started (sigint.h).
    unsigned sigintMark = 0;

    // Shape of the model HiGHS holds and whether its basis may seed the next solve.
    int numCol = -1, numRow = -1;

    // Every option the library writes goes through this cache (writeBoolOption and the rest).
    OptionCache options;

    // What the engine's model is, while held.valid.
    HeldModel held;

    Engine() = default;
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;
    ~Engine();
};

// Marks the record of the engine's model stale: the engine's model was changed other than by a
// hand-over.
inline void forgetHandover(Engine &engine) {
    engine.held.valid = false;
}

// The problem's engine, created at its first use. 0, or an error code with the last error set.
int ensureEngine(NVRAprob prob, Engine *&engine);

// Starts a new capture: forgets captured error and warning lines and sets whether log lines
// are delivered.
void beginCapture(Engine &engine, bool deliverLog);
// Starts the capture of a run of the engine. When no line is delivered and nothing else reads the
// engine's log (engineLog: a log file, a callback of its log lines), the engine's output is off
// until endCapture, so that it formats no lines at all (a failed run is then reported without
// the engine's words); at every other time it is on, so that refusals are captured.
void beginRunCapture(Engine &engine, bool deliverLog, bool engineLog);
// Delivers a pending partial line and, when the log is delivered, a flush request (type 0); turns
// the engine's output on again.
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
