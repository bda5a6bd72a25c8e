// controls.h: the control and attribute registry of libnvra as data (rows in controls.def), the
// named ids used by internal code, and the per-problem control values.
#pragma once

#include "nvra.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace nvra {

enum class CaType : uint8_t { Int, Double, String };

// One registry row. Only the default and bounds of the entry's own type are meaningful
// (strings have no bounds; attributes have neither). flags are the NVRA_CA_* bits exactly as
// NVRAgetcalist_c hands them out. slot is the index of a control's value in the ControlValues
// array of its type; -1 for attributes and objective controls (those live in the model store).
struct CaEntry {
    int id;
    const char *name;
    CaType type;
    int flags;
    int slot;
    int64_t intDefault, intLower, intUpper;
    double dblDefault, dblLower, dblUpper;
    const char *strDefault;
    const char *highsOption; // the HiGHS option it drives, nullptr when none
};

// Named ids: kCtrl..., kAttr..., kObjCtrl....
#define CTRL_INT(id, k, ...) inline constexpr int k = id;
#define CTRL_DBL CTRL_INT
#define CTRL_STR CTRL_INT
#define ATTR_INT CTRL_INT
#define ATTR_DBL CTRL_INT
#define ATTR_STR CTRL_INT
#define OBJCTRL_INT CTRL_INT
#define OBJCTRL_DBL CTRL_INT
#include "core/controls.def"

// Value slots of the problem-level controls, one enumeration per type; the enumerator of a
// control carries its constant's name (intSlot::kCtrlPresolve is the slot of kCtrlPresolve).
namespace intSlot {
enum : int {
#define CTRL_INT(id, k, ...) k,
#include "core/controls.def"
    kCount
};
} // namespace intSlot
namespace dblSlot {
enum : int {
#define CTRL_DBL(id, k, ...) k,
#include "core/controls.def"
    kCount
};
} // namespace dblSlot
namespace strSlot {
enum : int {
#define CTRL_STR(id, k, ...) k,
#include "core/controls.def"
    kCount
};
} // namespace strSlot

// The registry, in the order of controls.def.
inline constexpr CaEntry kRegistry[] = {
#define CTRL_INT(id, k, name, def, lo, hi, fl, hs)                                                 \
    {                                                                                              \
        id,         name, CaType::Int, NVRA_CA_INT | NVRA_CA_CONTROL | (fl),                       \
        intSlot::k, def,  lo,          hi,                                                         \
        0,          0,    0,           nullptr,                                                    \
        hs},
#define CTRL_DBL(id, k, name, def, lo, hi, fl, hs)                                                 \
    {id,                                                                                           \
     name,                                                                                         \
     CaType::Double,                                                                               \
     NVRA_CA_DOUBLE | NVRA_CA_CONTROL | (fl),                                                      \
     dblSlot::k,                                                                                   \
     0,                                                                                            \
     0,                                                                                            \
     0,                                                                                            \
     def,                                                                                          \
     lo,                                                                                           \
     hi,                                                                                           \
     nullptr,                                                                                      \
     hs},
#define CTRL_STR(id, k, name, def, fl, hs)                                                         \
    {id,                                                                                           \
     name,                                                                                         \
     CaType::String,                                                                               \
     NVRA_CA_STRING | NVRA_CA_CONTROL | (fl),                                                      \
     strSlot::k,                                                                                   \
     0,                                                                                            \
     0,                                                                                            \
     0,                                                                                            \
     0,                                                                                            \
     0,                                                                                            \
     0,                                                                                            \
     def,                                                                                          \
     hs},
#define ATTR_INT(id, k, name, fl)                                                                  \
    {id, name, CaType::Int, NVRA_CA_INT | (fl), -1, 0, 0, 0, 0, 0, 0, nullptr, nullptr},
#define ATTR_DBL(id, k, name, fl)                                                                  \
    {id, name, CaType::Double, NVRA_CA_DOUBLE | (fl), -1, 0, 0, 0, 0, 0, 0, nullptr, nullptr},
#define ATTR_STR(id, k, name, fl)                                                                  \
    {id, name, CaType::String, NVRA_CA_STRING | (fl), -1, 0, 0, 0, 0, 0, 0, nullptr, nullptr},
#define OBJCTRL_INT(id, k, name, def, lo, hi)                                                      \
    {id,     name, CaType::Int, NVRA_CA_INT | NVRA_CA_CONTROL | NVRA_CA_OBJCONTROL,                \
     -1,     def,  lo,          hi,                                                                \
     0,      0,    0,           nullptr,                                                           \
     nullptr},
#define OBJCTRL_DBL(id, k, name, def, lo, hi)                                                      \
    {id,                                                                                           \
     name,                                                                                         \
     CaType::Double,                                                                               \
     NVRA_CA_DOUBLE | NVRA_CA_CONTROL | NVRA_CA_OBJCONTROL,                                        \
     -1,                                                                                           \
     0,                                                                                            \
     0,                                                                                            \
     0,                                                                                            \
     def,                                                                                          \
     lo,                                                                                           \
     hi,                                                                                           \
     nullptr,                                                                                      \
     nullptr},
#include "core/controls.def"
};

inline constexpr int kRegistrySize = static_cast<int>(sizeof kRegistry / sizeof kRegistry[0]);

// The values of a problem's controls, every one at its default after construction.
struct ControlValues {
    std::array<int64_t, intSlot::kCount> ints{};
    std::array<double, dblSlot::kCount> dbls{};
    std::array<std::string, strSlot::kCount> strs;

    ControlValues() {
        for (const CaEntry &e : kRegistry) {
            if (e.slot < 0) continue;
            switch (e.type) {
            case CaType::Int:
                ints[e.slot] = e.intDefault;
                break;
            case CaType::Double:
                dbls[e.slot] = e.dblDefault;
                break;
            case CaType::String:
                strs[e.slot] = e.strDefault;
                break;
            }
        }
    }
};

// Registry lookups (controls.cpp): the row of an id, or of a name in all-lower or all-upper
// case; nullptr when there is none (a null name included). Both are binary searches over
// indexes built at compile time.
const CaEntry *findCa(int id);
const CaEntry *findCaByName(const char *name);

// What an entry point expects an id to be.
enum class CaKind { Control, Attribute };
// The row of `id` as a problem-level control (objective controls excluded) or as an attribute,
// of value type `type`. On a mismatch: nullptr, with a last error on prob that names the id, the
// entry's name and what it is instead (NVRA_RC_INVALID).
const CaEntry *findCaAs(NVRAprob prob, int id, CaKind kind, CaType type);
// Shortest decimal text of v that reads back as v (for messages).
std::string numberText(double v);
// The string getters' output: text into value (maxbytes bytes with the zero; truncated; nothing
// when value is null or maxbytes is not positive), its full size with the zero into *nbytes
// when nbytes is given.
void copyOut(std::string_view text, char *value, int maxbytes, int *nbytes);

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
