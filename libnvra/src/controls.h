// controls.h: the control and attribute registry of libnvra as data (rows in controls.def), the
// named ids used by internal code, and the per-problem control values.
#pragma once

#include "nvra.h"

#include <array>
#include <cstdint>
#include <string>

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
#include "controls.def"

// Value slots of the problem-level controls, one enumeration per type; the enumerator of a
// control carries its constant's name (intSlot::kCtrlPresolve is the slot of kCtrlPresolve).
namespace intSlot {
enum : int {
#define CTRL_INT(id, k, ...) k,
#include "controls.def"
    kCount
};
} // namespace intSlot
namespace dblSlot {
enum : int {
#define CTRL_DBL(id, k, ...) k,
#include "controls.def"
    kCount
};
} // namespace dblSlot
namespace strSlot {
enum : int {
#define CTRL_STR(id, k, ...) k,
#include "controls.def"
    kCount
};
} // namespace strSlot

// The registry, in the order of controls.def.
inline constexpr CaEntry kRegistry[] = {
#define CTRL_INT(id, k, name, def, lo, hi, fl, hs)                                                \
    {id, name, CaType::Int, NVRA_CA_INT | NVRA_CA_CONTROL | (fl), intSlot::k, def, lo, hi, 0, 0, \
     0, nullptr, hs},
#define CTRL_DBL(id, k, name, def, lo, hi, fl, hs)                                                \
    {id, name, CaType::Double, NVRA_CA_DOUBLE | NVRA_CA_CONTROL | (fl), dblSlot::k, 0, 0, 0, def, \
     lo, hi, nullptr, hs},
#define CTRL_STR(id, k, name, def, fl, hs)                                                        \
    {id, name, CaType::String, NVRA_CA_STRING | NVRA_CA_CONTROL | (fl), strSlot::k, 0, 0, 0, 0,   \
     0, 0, def, hs},
#define ATTR_INT(id, k, name, fl)                                                                 \
    {id, name, CaType::Int, NVRA_CA_INT | (fl), -1, 0, 0, 0, 0, 0, 0, nullptr, nullptr},
#define ATTR_DBL(id, k, name, fl)                                                                 \
    {id, name, CaType::Double, NVRA_CA_DOUBLE | (fl), -1, 0, 0, 0, 0, 0, 0, nullptr, nullptr},
#define ATTR_STR(id, k, name, fl)                                                                 \
    {id, name, CaType::String, NVRA_CA_STRING | (fl), -1, 0, 0, 0, 0, 0, 0, nullptr, nullptr},
#define OBJCTRL_INT(id, k, name, def, lo, hi)                                                     \
    {id, name, CaType::Int, NVRA_CA_INT | NVRA_CA_CONTROL | NVRA_CA_OBJCONTROL, -1, def, lo, hi,  \
     0, 0, 0, nullptr, nullptr},
#define OBJCTRL_DBL(id, k, name, def, lo, hi)                                                     \
    {id, name, CaType::Double, NVRA_CA_DOUBLE | NVRA_CA_CONTROL | NVRA_CA_OBJCONTROL, -1, 0, 0,   \
     0, def, lo, hi, nullptr, nullptr},
#include "controls.def"
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
            case CaType::Int: ints[e.slot] = e.intDefault; break;
            case CaType::Double: dbls[e.slot] = e.dblDefault; break;
            case CaType::String: strs[e.slot] = e.strDefault; break;
            }
        }
    }
};

// Registry lookups (controls.cpp): the row of an id, or of a name in all-lower or all-upper
// case; nullptr when there is none.
const CaEntry *findCa(int id);
const CaEntry *findCaByName(const char *name);

} // namespace nvra
