// handle.h: the common header of every object that libnvra hands out, so that an opaque
// NVRAobject can be recognised and a freed or foreign handle rejected.
#pragma once

#include <cstdint>

namespace nvra {

enum class HandleKind : uint32_t {
    Freed = 0x4e564644,            // 'NVFD': the object has been destroyed
    Problem = 0x4e565250,          // 'NVRP'
    BranchObject = 0x4e56424f,     // 'NVBO'
    NonlinearProblem = 0x4e564e4c, // 'NVNL'
};

struct HandleHeader {
    HandleKind kind;
};

inline HandleKind handleKind(const void *obj) {
    return obj ? static_cast<const HandleHeader *>(obj)->kind : HandleKind::Freed;
}

} // namespace nvra
