// engine.cpp: the solver's per-problem state: the HiGHS instance and the compiled image of the
// model store. Work area SOLVE; no engine is created yet, so a problem's engine stays null.
#include "problem.h"

namespace nvra {

struct Engine {};

void destroyEngine(Engine *engine) noexcept { delete engine; }

} // namespace nvra
