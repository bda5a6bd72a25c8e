// sigint.cpp: the Ctrl-C bracket around solves (see sigint.h).
#include "core/sigint.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <mutex>

namespace nvra {
namespace {

// The handler touches only these lock-free atomics and async-signal-safe calls.
std::atomic<unsigned> g_count{0};        // SIGINTs caught since the process started
std::atomic<unsigned> g_bracketStart{0}; // g_count when the handler was installed
static_assert(std::atomic<unsigned>::is_always_lock_free);

std::mutex g_mutex; // guards the three below
int g_depth = 0;    // open brackets over all threads
bool g_installed = false;
struct sigaction g_previous;

extern "C" void onSigint(int) {
    const int savedErrno = errno;
    const unsigned caught = g_count.fetch_add(1) + 1;
    if (caught - g_bracketStart.load() >= 2) {
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        sigemptyset(&dfl.sa_mask);
        sigaction(SIGINT, &dfl, nullptr);
        raise(SIGINT);
    }
    errno = savedErrno;
}

} // namespace

unsigned sigintCount() {
    return g_count.load();
}

// The handler is installed only over the default disposition: an application that handles or
// ignores SIGINT itself keeps its choice (and can call NVRAinterrupt from its own handler).
SigintBracket::SigintBracket() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_depth++ > 0) return;
    struct sigaction current {};
    if (sigaction(SIGINT, nullptr, &current) != 0) return;
    if ((current.sa_flags & SA_SIGINFO) || current.sa_handler != SIG_DFL) return;
    struct sigaction ours {};
    ours.sa_handler = onSigint;
    sigemptyset(&ours.sa_mask);
    g_bracketStart.store(g_count.load());
    if (sigaction(SIGINT, &ours, nullptr) == 0) {
        g_previous = current;
        g_installed = true;
    }
}

SigintBracket::~SigintBracket() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (--g_depth > 0 || !g_installed) return;
    sigaction(SIGINT, &g_previous, nullptr);
    g_installed = false;
}

} // namespace nvra
