// controls.h: the optimizer's control and attribute registry as data (rows in controls.def), the
// named ids used by internal code, and the translation of controls into HiGHS options.
#pragma once

#include "core/registry.h"
#include "nvra.h"

#include <cstddef>

namespace nvra {

// The optimizer's registry: id constants kCtrl..., kAttr..., kObjCtrl..., the value slots, and
// the rows.
#define NVRA_REGISTRY_DEF "core/controls.def"
#include "core/registry_ids.inc"
#include "core/registry_slots.inc"
inline constexpr CaEntry kRegistry[] = {
#include "core/registry_rows.inc"
};
#undef NVRA_REGISTRY_DEF

inline constexpr int kRegistrySize = static_cast<int>(sizeof kRegistry / sizeof kRegistry[0]);
inline constexpr const Registry &kOptimizerRegistry = RegistryOf<kRegistry>::value;

inline ControlValues::ControlValues() : ControlValues(kOptimizerRegistry) {}

// Lookups in the optimizer's registry (see registry.h).
inline const CaEntry *findCa(int id) {
    return findCa(kOptimizerRegistry, id);
}
inline const CaEntry *findCaByName(const char *name) {
    return findCaByName(kOptimizerRegistry, name);
}
inline const CaEntry *findCaAs(NVRAprob prob, int id, CaKind kind, CaType type) {
    return findCaAs(prob, kOptimizerRegistry, id, kind, type);
}

// ---- controls into HiGHS options (controls_highs.cpp) ------------------------------------------

// Longest string a HiGHS option can take, with its zero (kHighsMaximumStringLength): the limit of
// string controls that drive one.
inline constexpr size_t kEngineStringLength = 512;

// The class of model a solve hands to the engine. The algorithm translation depends on it: the
// engine's `solver` option names LP algorithms (its text says integrality is then ignored), and a
// quadratic objective has one method (active set).
enum class SolveClass { Lp, Qp, Mip };

// The algorithm (NVRA_ALG_*) of a solve of class cls: `requested` when it is non-zero (the
// algorithm letters of NVRAoptimize), else for LP and QP the first bit of control lpflags, else
// control defaultalg.
// (This and applyControlsToHighs are exported for the library's own tests.)
NVRA_API int chooseAlgorithm(const ControlValues &controls, SolveClass cls, int requested);

// Sets every HiGHS option that a control drives (the rows of controls.def with a HiGHS option,
// translated as their comments say) on the HiGHS instance `highs` from prob's current values, for
// a solve of class cls with algorithm chooseAlgorithm(prob->controls, cls, requestedAlg). Also
// sets log_to_console off. Options no control drives are left as they are; nothing is restored
// afterwards. Call it before every run (after any Highs_resetOptions or Highs_clear). Control
// outputlog 0 keeps output_flag on: the log callback itself must drop every line but errors.
// Returns 0, or NVRA_RC_ENGINE with prob's last error naming the control when HiGHS refuses a
// value (it has then applied the options before that one). With an option cache (the engine's),
// only the options whose value differs from the one last written are written.
struct OptionCache;
NVRA_API int applyControlsToHighs(NVRAprob prob, void *highs, SolveClass cls, int requestedAlg,
                                  OptionCache *cache = nullptr);

} // namespace nvra
