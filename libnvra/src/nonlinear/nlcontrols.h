// nlcontrols.h: the nonlinear solver's control and attribute registry as data (rows in
// nlcontrols.def): id constants, value slots and the rows, in namespace nvra::nl.
#pragma once

#include "core/registry.h"
#include "nslp.h"

namespace nvra::nl {

#define NVRA_REGISTRY_DEF "nonlinear/nlcontrols.def"
#include "core/registry_ids.inc"
#include "core/registry_slots.inc"
inline constexpr CaEntry kNlRegistryRows[] = {
#include "core/registry_rows.inc"
};
#undef NVRA_REGISTRY_DEF

inline constexpr const Registry &kNlRegistry = RegistryOf<kNlRegistryRows>::value;

// Entries with this id or above form the interior-point solver's list.
inline constexpr int kIpmListFirstId = 20000;

// The flags of an entry in the NSLP lists (NSLP_CA_*), from its registry flags.
constexpr int nslpListFlags(const CaEntry &e) {
    return (e.flags & (NVRA_CA_INT | NVRA_CA_DOUBLE | NVRA_CA_STRING | NVRA_CA_NOEFFECT)) |
           ((e.flags & NVRA_CA_CONTROL) ? NSLP_CA_CONTROL : 0);
}

} // namespace nvra::nl
