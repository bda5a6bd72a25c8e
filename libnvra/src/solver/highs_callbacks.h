// highs_callbacks.h: the engine's callback points as events of the running solve's callbacks
// (core/callbacks.h). The engine calls back at: simplex and barrier iterations, the MIP search's
// periodic check, its log lines, every feasible solution and every new incumbent, its cut-pool
// read-out, and the points where it takes solutions from outside.
#pragma once

#include "core/callbacks.h"
#include "solver/engine.h"

#include "highs_c_api.h"

namespace nvra {

// Passes one engine callback of the given HiGHS kind (other than logging) to the run. May set
// a user solution in in (HiGHS's user-solution kind); never sets in->user_interrupt.
void engineEvent(CallbackRun &run, Engine &engine, int kind, const HighsCallbackDataOut *out,
                 HighsCallbackDataIn *in);

// Starts, for the length of a solve, the engine's callback kinds that the run's callbacks need
// beyond those every instance has on (logging and the three interrupt checks); stops them again
// at the end of the scope.
class EngineEvents {
  public:
    EngineEvents(Engine &engine, const CallbackRun &run);
    ~EngineEvents();
    EngineEvents(const EngineEvents &) = delete;
    EngineEvents &operator=(const EngineEvents &) = delete;

  private:
    Engine &engine_;
    std::vector<int> started_;
};

} // namespace nvra
