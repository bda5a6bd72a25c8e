// scheduler.cpp: leases of the engine's process-wide thread pool.
#include "core/scheduler.h"

#include <mutex>

#include "highs_c_api.h"

namespace nvra {
namespace {

std::mutex g_mutex;
int g_running = 0; // solves between lease and release
int g_size = -1;   // the "threads" value the pool was started with; -1: not started

} // namespace

ThreadLease::ThreadLease(int requested) : threads_(requested) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_size != requested) {
        if (g_running == 0) {
            // Nobody uses the pool: let the next run start it at the requested size.
            if (g_size != -1) Highs_resetGlobalScheduler(1);
            g_size = requested;
        } else {
            threads_ = g_size;
            overridden_ = true;
        }
    }
    ++g_running;
}

ThreadLease::~ThreadLease() {
    std::lock_guard<std::mutex> lock(g_mutex);
    --g_running;
}

void releaseThreadPool() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_running != 0 || g_size == -1) return;
    Highs_resetGlobalScheduler(1);
    g_size = -1;
}

} // namespace nvra
