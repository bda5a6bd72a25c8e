// scheduler.h: the engine's thread pool. HiGHS keeps one task scheduler per process whose size
// is fixed by the first run that starts it; a later run asking for another size fails. Solves
// therefore lease their thread count here: a solve that runs alone gets the pool rebuilt at the
// size it asks for, one that overlaps other solves runs with the size in use.
#pragma once

namespace nvra {

class ThreadLease {
  public:
    // requested: the "threads" control (0 = automatic).
    explicit ThreadLease(int requested);
    ~ThreadLease();
    ThreadLease(const ThreadLease &) = delete;
    ThreadLease &operator=(const ThreadLease &) = delete;
    // The thread count to hand the engine for this run.
    int threads() const { return threads_; }
    // True when other solves made the run use another count than requested.
    bool overridden() const { return overridden_; }

  private:
    int threads_;
    bool overridden_ = false;
};

// Releases the pool when no solve holds a lease (the last stop of the library).
void releaseThreadPool();

} // namespace nvra
