// env.cpp: start and stop, the global environment interface and global message handlers.
#include "core/env.h"
#include "core/scheduler.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <vector>

#include "highs_c_api.h"

namespace nvra {
namespace {

struct Handler {
    NVRA_ge_msghandler fn;
    void *data;
    int priority;
    unsigned long seq;
};

std::mutex g_mutex; // guards g_starts and g_handlers
int g_starts = 0;
std::vector<Handler> g_handlers; // sorted by (priority desc, seq asc)
unsigned long g_next_seq = 0;

std::atomic<int> g_checked{1};
std::atomic<int> g_debug{0};
std::atomic<int> g_compute{1};
std::atomic<int> g_archconsistent{0};

struct LastError {
    int code = 0;
    std::string msg;
};
thread_local LastError t_error;

} // namespace

bool started() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_starts > 0;
}

const char *codeText(int code) {
    static const char *const texts[] = {
        "Success",
        "Error",
        "Library misuse: the library is not started or a handle is not valid",
        "Out of memory",
        "Index out of range",
        "Invalid argument",
        "Not supported",
        "File error",
        "Error in the numerical engine",
        "The problem is being solved",
        "Not available",
    };
    if (code >= 0 && code < static_cast<int>(sizeof texts / sizeof *texts)) return texts[code];
    return "Unknown error";
}

// Global errors are also reported to the global message handlers as error messages (type 4).
// Never call this while holding g_mutex.
int setGlobalErrorV(int code, const char *fmt, va_list ap) {
    char buf[NVRA_MAXMESSAGELENGTH];
    vsnprintf(buf, sizeof buf, fmt, ap);
    try {
        t_error.code = code;
        t_error.msg = buf;
    } catch (...) {
    }
    thread_local bool reporting = false; // a handler that fails must not recurse
    if (!reporting) {
        reporting = true;
        globalMessage(nullptr, buf, 4, code);
        reporting = false;
    }
    return code;
}

int setGlobalError(int code, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    setGlobalErrorV(code, fmt, ap);
    va_end(ap);
    return code;
}

int requireStarted() {
    if (started()) return 0;
    return setGlobalError(NVRA_RC_MISUSE, "The library is not started: call NVRAinit first");
}

void globalMessage(NVRAobject obj, const char *msg, int msgtype, int msgcode) {
    // Copy the handlers so that a handler may add or remove handlers while it runs.
    std::vector<Handler> handlers;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        try {
            handlers = g_handlers;
        } catch (...) {
            return;
        }
    }
    for (const Handler &h : handlers)
        h.fn(obj, h.data, nullptr, msg, msgtype, msgcode);
}

} // namespace nvra

using namespace nvra;

extern "C" {

int NVRAinit(const char *path) {
    if (path && *path) {
        struct stat st;
        if (stat(path, &st) != 0 || !S_ISDIR(st.st_mode))
            return setGlobalError(NVRA_RC_INVALID,
                                  "Cannot start the library: '%s' is not a directory", path);
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    ++g_starts;
    return NVRA_RC_OK;
}

int NVRAfree(void) {
    bool wasStarted = false, last = false;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        wasStarted = g_starts > 0;
        if (wasStarted) {
            last = --g_starts == 0;
            if (last) g_handlers.clear();
        }
    }
    if (!wasStarted)
        return setGlobalError(NVRA_RC_MISUSE, "NVRAfree called without a matching NVRAinit");
    // The engine's thread pool is released with the last start.
    if (last) releaseThreadPool();
    return NVRA_RC_OK;
}

int NVRAgetversion(char *buf) {
    if (!buf) return setGlobalError(NVRA_RC_INVALID, "NVRAgetversion: null buffer");
    snprintf(buf, 16, "%d.%d.%d", kVersionMajor, kVersionMinor, kVersionBuild);
    return NVRA_RC_OK;
}

int NVRAgetversionnumbers(int *major, int *minor, int *build) {
    if (major) *major = kVersionMajor;
    if (minor) *minor = kVersionMinor;
    if (build) *build = kVersionBuild;
    return NVRA_RC_OK;
}

int NVRAgetbanner(char *buf) {
    if (int rc = requireStarted()) return rc;
    if (!buf) return setGlobalError(NVRA_RC_INVALID, "NVRAgetbanner: null buffer");
    snprintf(buf, NVRA_MAXMESSAGELENGTH,
             "Nivra optimizer library v%d.%d.%d, numerical engine HiGHS %d.%d.%d", kVersionMajor,
             kVersionMinor, kVersionBuild, (int)Highs_versionMajor(), (int)Highs_versionMinor(),
             (int)Highs_versionPatch());
    return NVRA_RC_OK;
}

int NVRAfeaturequery(const char *feature, int *status) {
    if (int rc = requireStarted()) return rc;
    if (!feature || !status)
        return setGlobalError(NVRA_RC_INVALID, "NVRAfeaturequery: null argument");
    static const char *const available[] = {"lp", "mip", "qp", "highs"};
    *status = 0;
    for (const char *f : available)
        if (strcasecmp(feature, f) == 0) *status = 1;
    return NVRA_RC_OK;
}

int NVRA_ge_getlasterror(int *code, char *msg, int maxbytes, int *nbytes) {
    if (code) *code = t_error.code;
    if (nbytes) *nbytes = static_cast<int>(t_error.msg.size()) + 1;
    if (msg && maxbytes > 0) {
        size_t n = std::min(t_error.msg.size(), static_cast<size_t>(maxbytes - 1));
        memcpy(msg, t_error.msg.data(), n);
        msg[n] = '\0';
    }
    return NVRA_RC_OK;
}

#define NVRA_GE_FLAG(name, var)                                                                    \
    int NVRA_ge_set##name(int value) {                                                             \
        if (int rc = requireStarted()) return rc;                                                  \
        var.store(value);                                                                          \
        return NVRA_RC_OK;                                                                         \
    }                                                                                              \
    int NVRA_ge_get##name(int *value) {                                                            \
        if (int rc = requireStarted()) return rc;                                                  \
        if (!value) return setGlobalError(NVRA_RC_INVALID, "NVRA_ge_get" #name ": null argument"); \
        *value = var.load();                                                                       \
        return NVRA_RC_OK;                                                                         \
    }
NVRA_GE_FLAG(checkedmode, g_checked)
NVRA_GE_FLAG(debugmode, g_debug)
NVRA_GE_FLAG(archconsistency, g_archconsistent)
#undef NVRA_GE_FLAG

int NVRA_ge_setcomputeallowed(int allowed) {
    if (int rc = requireStarted()) return rc;
    if (allowed < -1 || allowed > 1)
        return setGlobalError(NVRA_RC_INVALID,
                              "Invalid compute-allowed setting %d: must be -1, 0 or 1", allowed);
    g_compute.store(allowed);
    return NVRA_RC_OK;
}

int NVRA_ge_getcomputeallowed(int *allowed) {
    if (int rc = requireStarted()) return rc;
    if (!allowed)
        return setGlobalError(NVRA_RC_INVALID, "NVRA_ge_getcomputeallowed: null argument");
    *allowed = g_compute.load();
    return NVRA_RC_OK;
}

int NVRA_ge_addcbmsghandler(NVRA_ge_msghandler handler, void *data, int priority) {
    if (int rc = requireStarted()) return rc;
    if (!handler) return setGlobalError(NVRA_RC_INVALID, "NVRA_ge_addcbmsghandler: null handler");
    bool added = false;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        try {
            Handler h{handler, data, priority, g_next_seq++};
            auto pos = std::upper_bound(
                g_handlers.begin(), g_handlers.end(), h, [](const Handler &a, const Handler &b) {
                    return a.priority != b.priority ? a.priority > b.priority : a.seq < b.seq;
                });
            g_handlers.insert(pos, h);
            added = true;
        } catch (const std::bad_alloc &) {
        }
    }
    if (!added) return setGlobalError(NVRA_RC_NOMEM, "Out of memory adding a message handler");
    return NVRA_RC_OK;
}

int NVRA_ge_removecbmsghandler(NVRA_ge_msghandler handler, void *data) {
    if (int rc = requireStarted()) return rc;
    std::lock_guard<std::mutex> lock(g_mutex);
    std::erase_if(g_handlers, [&](const Handler &h) {
        return (!handler || h.fn == handler) && (!data || h.data == data);
    });
    return NVRA_RC_OK;
}

int NVRA_ge_message(NVRAobject obj, const char *msg, int msgtype, int msgcode) {
    if (int rc = requireStarted()) return rc;
    globalMessage(obj, msg ? msg : "", msgtype, msgcode);
    return NVRA_RC_OK;
}

} // extern "C"
