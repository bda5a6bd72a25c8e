// registry.h: what every control and attribute registry of libnvra shares: the row record, the
// indexes by id and by name built at compile time, the values of a problem's controls, and typed
// access with the checks and messages of the C interface. The optimizer's registry is
// core/controls.def (core/controls.h); the nonlinear solver's is nonlinear/nlcontrols.def.
//
// A registry is a .def file of rows (CTRL_INT, CTRL_DBL, CTRL_STR, ATTR_INT, ATTR_DBL, ATTR_STR,
// OBJCTRL_INT, OBJCTRL_DBL; see controls.def for their arguments) expanded three times through the
// row-macro files beside this header, with NVRA_REGISTRY_DEF defined as the .def file's path:
//     registry_ids.inc    one `inline constexpr int k = id;` per row
//     registry_slots.inc  the value slots: namespaces intSlot, dblSlot and strSlot, one enumerator
//                         per control named after its constant, and kCount
//     registry_rows.inc   the CaEntry initialisers (include it inside the braces of the array)
// Each .inc defines the row macros it needs and includes the .def file, which undefines them.
#pragma once

#include "nvra.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nvra {

enum class CaType : uint8_t { Int, Double, String };

// One registry row. Only the default and bounds of the entry's own type are meaningful
// (strings have no bounds; attributes have neither). flags are NVRA_CA_* bits (exactly as
// NVRAgetcalist_c hands them out for the optimizer's registry). slot is the index of a control's
// value in the ControlValues array of its type; -1 for attributes and objective controls.
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

// A registry as the lookups see it: its rows and two orderings of them.
struct Registry {
    const CaEntry *rows;
    int size;
    const int16_t *byId;   // row numbers in increasing id
    const int16_t *byName; // row numbers in increasing name
};

namespace detail {

template <size_t N, class Less> constexpr std::array<int16_t, N> sortedRows(Less less) {
    std::array<int16_t, N> rows{};
    for (size_t i = 0; i < N; ++i)
        rows[i] = static_cast<int16_t>(i);
    std::sort(rows.begin(), rows.end(), less);
    return rows;
}

} // namespace detail

// The indexes of the rows `Rows` (a constexpr array of CaEntry), with the check that ids and
// names are unique. RegistryOf<kRows>::value is the Registry.
template <const auto &Rows> struct RegistryOf {
    static constexpr size_t N = std::size(Rows);
    static constexpr std::array<int16_t, N> byId =
        detail::sortedRows<N>([](int16_t a, int16_t b) { return Rows[a].id < Rows[b].id; });
    static constexpr std::array<int16_t, N> byName =
        detail::sortedRows<N>([](int16_t a, int16_t b) {
            return std::string_view(Rows[a].name) < std::string_view(Rows[b].name);
        });
    static constexpr bool unique() {
        for (size_t i = 1; i < N; ++i) {
            if (Rows[byId[i - 1]].id == Rows[byId[i]].id) return false;
            if (std::string_view(Rows[byName[i - 1]].name) ==
                std::string_view(Rows[byName[i]].name))
                return false;
        }
        return true;
    }
    static_assert(unique(), "registry: every id and every name must be unique");
    static constexpr Registry value{Rows, static_cast<int>(N), byId.data(), byName.data()};
};

// The row of an id, or of a name in all-lower or all-upper case; nullptr when there is none (a
// null name included). Binary searches over the indexes.
const CaEntry *findCa(const Registry &reg, int id);
const CaEntry *findCaByName(const Registry &reg, const char *name);

// The values of a problem's controls of one registry, every one at its default after
// construction.
struct ControlValues {
    std::vector<int64_t> ints;
    std::vector<double> dbls;
    std::vector<std::string> strs;

    ControlValues(); // the optimizer's registry (controls.h)
    explicit ControlValues(const Registry &reg) {
        for (int i = 0; i < reg.size; ++i) {
            const CaEntry &e = reg.rows[i];
            if (e.slot < 0) continue;
            const size_t need = static_cast<size_t>(e.slot) + 1;
            switch (e.type) {
            case CaType::Int:
                if (ints.size() < need) ints.resize(need);
                ints[e.slot] = e.intDefault;
                break;
            case CaType::Double:
                if (dbls.size() < need) dbls.resize(need);
                dbls[e.slot] = e.dblDefault;
                break;
            case CaType::String:
                if (strs.size() < need) strs.resize(need);
                strs[e.slot] = e.strDefault;
                break;
            }
        }
    }
};

// What an entry point expects an id to be.
enum class CaKind { Control, Attribute };
// The row of `id` as a problem-level control (objective controls excluded) or as an attribute,
// of value type `type`. On a mismatch: nullptr, with a last error on prob that names the id, the
// entry's name and what it is instead (NVRA_RC_INVALID).
const CaEntry *findCaAs(NVRAprob prob, const Registry &reg, int id, CaKind kind, CaType type);
// "Control 8011 (presolve)" / "Attribute 1001 (rows)".
std::string caSubject(const CaEntry &e);

// Typed control access on values of registry reg, after the entry point's own handle checks.
// Errors go to prob's last error: unknown ids, wrong kinds and types, null pointers, values
// outside the bounds (doubles at or beyond +-1e20 are stored as +-1e20 first), strings too long.
int readIntControl(NVRAprob prob, const Registry &reg, const ControlValues &c, int id,
                   int64_t *value, const char *fn);
int writeIntControl(NVRAprob prob, const Registry &reg, ControlValues &c, int id, int64_t value);
int readDblControl(NVRAprob prob, const Registry &reg, const ControlValues &c, int id,
                   double *value, const char *fn);
int writeDblControl(NVRAprob prob, const Registry &reg, ControlValues &c, int id, double value);
// Into value (maxbytes bytes with the zero; truncated), the full size into *nbytes (may be null).
int readStrControl(NVRAprob prob, const Registry &reg, const ControlValues &c, int id, char *value,
                   int maxbytes, int *nbytes);
int writeStrControl(NVRAprob prob, const Registry &reg, ControlValues &c, int id,
                    const char *value);
// One control back to its default.
int resetControl(NVRAprob prob, const Registry &reg, ControlValues &c, int id);
// A 64-bit value handed out through a 32-bit interface: NVRA_RC_RANGE naming the entry and the
// 64-bit function to use when it does not fit.
int narrowToInt(NVRAprob prob, const CaEntry &e, int64_t v, int *out, const char *wideFn);

// Shortest decimal text of v that reads back as v (for messages).
std::string numberText(double v);
// The string getters' output: text into value (maxbytes bytes with the zero; truncated; nothing
// when value is null or maxbytes is not positive), its full size with the zero into *nbytes
// when nbytes is given.
void copyOut(std::string_view text, char *value, int maxbytes, int *nbytes);

} // namespace nvra
