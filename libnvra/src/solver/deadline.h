// deadline.h: the wall clock of a solve that runs several engines one after another (the
// interior-point solver, the outer approximation's master and subproblems): the time limit is
// shared by all of them, and a stop request ends whichever runs.
#pragma once

#include "solver/engine.h"

#include <chrono>

namespace nvra {

class Deadline {
  public:
    Deadline(Engine &engine, double limitSeconds)
        : engine_(engine), start_(std::chrono::steady_clock::now()), limit_(limitSeconds) {}

    double elapsed() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }
    // Seconds left (kInf without a limit, 0 when the limit has passed).
    double remaining() const {
        if (limit_ >= kInf) return kInf;
        const double left = limit_ - elapsed();
        return left > 0.0 ? left : 0.0;
    }
    // NVRA_STOP_INTERRUPT (NVRAinterrupt, Ctrl-C), NVRA_STOP_TIMELIMIT or NVRA_STOP_NONE.
    int stopReason() const {
        if (stopRequested(engine_)) return NVRA_STOP_INTERRUPT;
        return limit_ < kInf && elapsed() >= limit_ ? NVRA_STOP_TIMELIMIT : NVRA_STOP_NONE;
    }
    Engine &engine() const { return engine_; }

  private:
    Engine &engine_;
    std::chrono::steady_clock::time_point start_;
    double limit_;
};

} // namespace nvra
