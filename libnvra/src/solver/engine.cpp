// engine.cpp: the solver's per-problem state: the HiGHS instance, its log capture and the
// interrupt callbacks through which NVRAinterrupt and Ctrl-C stop a running solve.
#include "solver/engine.h"

#include "core/sigint.h"
#include "solver/highs_callbacks.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <utility>

#include "highs_c_api.h"

namespace nvra {
namespace {

// At most this many captured error (and warning) lines are kept per solve.
constexpr size_t kMaxCapturedLines = 16;

// HiGHS log types (1 info, 2 detailed, 3 verbose, 4 warning, 5 error) as message types.
int messageType(int highsLogType) {
    switch (highsLogType) {
    case 2:
    case 3:
        return 2;
    case 4:
        return 3;
    case 5:
        return 4;
    default:
        return 1;
    }
}

// A log line without HiGHS's "ERROR:" or "WARNING:" tag and surrounding blanks.
std::string untagged(std::string_view line) {
    for (std::string_view tag : {"ERROR:", "WARNING:"})
        if (line.substr(0, tag.size()) == tag) line.remove_prefix(tag.size());
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const size_t last = line.find_last_not_of(" \t\r");
    return std::string(line.substr(first, last - first + 1));
}

void keepLine(std::vector<std::string> &lines, std::string_view line) {
    if (lines.size() < kMaxCapturedLines) lines.push_back(untagged(line));
}

// Completes the pending line: records it if it is an error or a warning and queues it for
// delivery. Called with logMutex held.
void completeLine(Engine &e, std::vector<std::pair<std::string, int>> &out) {
    const int type = messageType(e.pendingType);
    if (type == 4) keepLine(e.errorLines, e.pendingLine);
    if (type == 3) keepLine(e.warningLines, e.pendingLine);
    if (e.deliverLog) out.emplace_back(std::move(e.pendingLine), type);
    e.pendingLine.clear();
}

// Splits a log fragment into lines; delivers the complete ones outside the lock, so that a
// message callback may call back into the library. When nobody listens only error and warning
// lines are kept, so a fragment that starts an information line is dropped unread (the engine
// writes a line in one fragment or several of the same type).
void captureLog(Engine &e, const char *msg, int logType) {
    std::vector<std::pair<std::string, int>> lines;
    {
        std::lock_guard<std::mutex> lock(e.logMutex);
        if (!e.deliverLog && e.pendingLine.empty() && messageType(logType) < 3) return;
        for (const char *p = msg; *p; ++p) {
            if (e.pendingLine.empty()) e.pendingType = logType;
            if (*p == '\n')
                completeLine(e, lines);
            else
                e.pendingLine.push_back(*p);
        }
    }
    for (auto &[line, type] : lines)
        probMessage(e.prob, line.c_str(), type);
}

// The one HiGHS callback of every instance. Every kind but logging is an event of the running
// solve's callbacks (highs_callbacks.cpp). HiGHS copies user_interrupt back after every call and
// resets it almost never, so it is written on every call that carries it: the stop request in
// the three kinds that honour it, 0 elsewhere (a 1 left behind would stop the next run).
extern "C" void engineCallback(int kind, const char *msg, const HighsCallbackDataOut *out,
                               HighsCallbackDataIn *in, void *user) {
    Engine &e = *static_cast<Engine *>(user);
    try {
        if (kind == kHighsCallbackLogging) {
            if (msg && out) captureLog(e, msg, out->log_type);
            return;
        }
        CallbackRun *run = e.prob->callbacks->run.load();
        if (run && run->engineReports()) engineEvent(*run, e, kind, out, in);
    } catch (...) {
        // Out of memory while splitting a log line or copying a solution: the line or the
        // callback is lost, the solve goes on.
    }
    if (!in) return;
    const bool interruptCheck = kind == kHighsCallbackSimplexInterrupt ||
                                kind == kHighsCallbackIpmInterrupt ||
                                kind == kHighsCallbackMipInterrupt;
    in->user_interrupt = interruptCheck && stopRequested(e) ? 1 : 0;
}

// ---- options ---------------------------------------------------------------------------------

const OptionCache::Value *cached(const OptionCache *cache, const char *name) {
    if (!cache) return nullptr;
    auto it = cache->values.find(name);
    return it == cache->values.end() ? nullptr : &it->second;
}

// Records what the engine now holds for an option after a write with the given status: the
// value when the engine took it, nothing when it refused or the record cannot be stored.
void record(OptionCache *cache, const char *name, int status, OptionCache::Value v) {
    if (!cache) return;
    if (status == kHighsStatusError) {
        cache->values.erase(name);
        return;
    }
    try {
        cache->values.insert_or_assign(name, std::move(v));
    } catch (...) {
        cache->values.erase(name); // the next solve writes the option again
    }
}

} // namespace

// A Ctrl-C since the solve started is turned into the problem's own request here, outside the
// signal handler.
bool stopRequested(Engine &e) {
    if (sigintCount() != e.sigintMark) {
        int none = 0;
        e.prob->interruptReason.compare_exchange_strong(none, 1);
    }
    return e.prob->interruptReason.load() != 0;
}

int writeBoolOption(void *highs, OptionCache *cache, const char *name, bool v) {
    const OptionCache::Value *c = cached(cache, name);
    if (c && c->type == OptionCache::Type::Bool && c->number == v) return kHighsStatusOk;
    const int status = Highs_setBoolOptionValue(highs, name, v ? 1 : 0);
    record(cache, name, status, OptionCache::Value{OptionCache::Type::Bool, v, 0.0, {}});
    return status;
}

int writeIntOption(void *highs, OptionCache *cache, const char *name, int64_t v) {
    const OptionCache::Value *c = cached(cache, name);
    if (c && c->type == OptionCache::Type::Int && c->number == v) return kHighsStatusOk;
    const int status = Highs_setIntOptionValue(highs, name, static_cast<HighsInt>(v));
    record(cache, name, status, OptionCache::Value{OptionCache::Type::Int, v, 0.0, {}});
    return status;
}

int writeDoubleOption(void *highs, OptionCache *cache, const char *name, double v) {
    const OptionCache::Value *c = cached(cache, name);
    if (c && c->type == OptionCache::Type::Double && c->real == v) return kHighsStatusOk;
    const int status = Highs_setDoubleOptionValue(highs, name, v);
    record(cache, name, status, OptionCache::Value{OptionCache::Type::Double, 0, v, {}});
    return status;
}

int writeStringOption(void *highs, OptionCache *cache, const char *name, const char *v) {
    const OptionCache::Value *c = cached(cache, name);
    if (c && c->type == OptionCache::Type::String && c->text == v) return kHighsStatusOk;
    // The engine reads a string option back without a length limit: it never gets one that
    // does not fit.
    char current[kHighsMaximumStringLength] = "";
    if (strlen(v) >= sizeof current) return kHighsStatusError;
    int status = kHighsStatusOk;
    if (c || Highs_getStringOptionValue(highs, name, current) != kHighsStatusOk ||
        strcmp(current, v) != 0)
        status = Highs_setStringOptionValue(highs, name, v);
    try {
        record(cache, name, status, {OptionCache::Type::String, 0, 0.0, v});
    } catch (...) {
        if (cache) cache->values.erase(name);
    }
    return status;
}

double doubleOption(void *highs, const OptionCache *cache, const char *name) {
    const OptionCache::Value *c = cached(cache, name);
    if (c && c->type == OptionCache::Type::Double) return c->real;
    double v = 0.0;
    return Highs_getDoubleOptionValue(highs, name, &v) == kHighsStatusOk ? v : 0.0;
}

int optionType(void *highs, const OptionCache *cache, const char *name) {
    if (const OptionCache::Value *c = cached(cache, name)) {
        switch (c->type) {
        case OptionCache::Type::Bool:
            return kHighsOptionTypeBool;
        case OptionCache::Type::Int:
            return kHighsOptionTypeInt;
        case OptionCache::Type::Double:
            return kHighsOptionTypeDouble;
        case OptionCache::Type::String:
            return kHighsOptionTypeString;
        }
    }
    HighsInt type = -1;
    return Highs_getOptionType(highs, name, &type) == kHighsStatusOk ? static_cast<int>(type) : -1;
}

Engine::~Engine() {
    if (highs) Highs_destroy(highs);
}

int ensureEngine(NVRAprob prob, Engine *&engine) {
    if (prob->engine) {
        engine = prob->engine;
        return 0;
    }
    std::unique_ptr<Engine> e(new (std::nothrow) Engine);
    if (!e || !(e->highs = Highs_create()))
        return probError(prob, NVRA_RC_NOMEM, "Out of memory creating the engine instance");
    e->prob = prob;
    void *h = e->highs;
    const long intSize = Highs_getSizeofHighsInt(h);
    if (intSize != static_cast<long>(sizeof(int32_t)))
        return probError(prob, NVRA_RC_ENGINE,
                         "The engine uses %ld-byte indices; this library needs its 4-byte build",
                         intSize);
    writeBoolOption(h, &e->options, "log_to_console", false);
    // Highs_setCallback clears every started kind: it is called once, before the starts.
    if (!highsOk(Highs_setCallback(h, engineCallback, e.get())) ||
        !highsOk(Highs_startCallback(h, kHighsCallbackLogging)) ||
        !highsOk(Highs_startCallback(h, kHighsCallbackSimplexInterrupt)) ||
        !highsOk(Highs_startCallback(h, kHighsCallbackIpmInterrupt)) ||
        !highsOk(Highs_startCallback(h, kHighsCallbackMipInterrupt)))
        return probError(prob, NVRA_RC_ENGINE,
                         "The engine refused its log and interrupt callbacks");
    engine = prob->engine = e.release();
    return 0;
}

void destroyEngine(Engine *engine) noexcept {
    delete engine;
}

void beginCapture(Engine &engine, bool deliverLog) {
    std::lock_guard<std::mutex> lock(engine.logMutex);
    engine.errorLines.clear();
    engine.warningLines.clear();
    engine.deliverLog = deliverLog;
}

void beginRunCapture(Engine &engine, bool deliverLog, bool engineLog) {
    beginCapture(engine, deliverLog);
    if (deliverLog || engineLog) return;
    engine.muted = highsOk(writeBoolOption(engine.highs, &engine.options, "output_flag", false));
}

void endCapture(Engine &engine) {
    if (engine.muted) {
        writeBoolOption(engine.highs, &engine.options, "output_flag", true);
        engine.muted = false;
    }
    std::vector<std::pair<std::string, int>> lines;
    bool deliver;
    {
        std::lock_guard<std::mutex> lock(engine.logMutex);
        if (!engine.pendingLine.empty()) completeLine(engine, lines);
        deliver = engine.deliverLog;
    }
    for (auto &[line, type] : lines)
        probMessage(engine.prob, line.c_str(), type);
    if (deliver) probMessage(engine.prob, "", 0);
}

std::string capturedText(Engine &engine) {
    std::lock_guard<std::mutex> lock(engine.logMutex);
    const auto &lines = engine.errorLines.empty() ? engine.warningLines : engine.errorLines;
    std::string text;
    for (const std::string &line : lines) {
        if (line.empty()) continue;
        if (!text.empty()) text += "; ";
        text += line;
    }
    return text;
}

int engineError(NVRAprob prob, Engine &engine, const char *what) {
    std::string text;
    try {
        text = capturedText(engine);
    } catch (...) {
    }
    if (text.empty()) return probError(prob, NVRA_RC_ENGINE, "%s", what);
    return probError(prob, NVRA_RC_ENGINE, "%s: %s", what, text.c_str());
}

} // namespace nvra
