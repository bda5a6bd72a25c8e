// objects.cpp: type names of the objects that reach message handlers.
#include "core/env.h"
#include "core/handle.h"

using namespace nvra;

extern "C" int NVRAgetobjecttypename(NVRAobject obj, const char **name) {
    if (!name) return setGlobalError(NVRA_RC_INVALID, "NVRAgetobjecttypename: null argument");
    if (!obj) {
        *name = "NVRAlibrary";
        return NVRA_RC_OK;
    }
    switch (handleKind(obj)) {
    case HandleKind::Problem:
        *name = "NVRAprob";
        return NVRA_RC_OK;
    case HandleKind::BranchObject:
        *name = "NVRAbranchobject";
        return NVRA_RC_OK;
    default:
        *name = "";
        return setGlobalError(NVRA_RC_MISUSE, "NVRAgetobjecttypename: unknown or freed object");
    }
}
