// nslp.cpp: the nonlinear interface. No nonlinear engine is built into this release, so the
// component reports itself as not available and callers carry on without it.
#include "nslp.h"
#include "core/env.h"

#include <cstring>

using namespace nvra;

extern "C" {

int NSLPinit(const char *) {
    return setGlobalError(NVRA_RC_NOTAVAILABLE,
                          "The nonlinear solver is not available in this build of the library");
}

int NSLPfree(void) {
    return setGlobalError(NVRA_RC_NOTAVAILABLE,
                          "The nonlinear solver is not available in this build of the library");
}

int NSLPgetlasterror(NSLPprob, int *code, char *msg) {
    if (code) *code = NVRA_RC_NOTAVAILABLE;
    if (msg) strcpy(msg, "The nonlinear solver is not available in this build of the library");
    return NVRA_RC_OK;
}

} // extern "C"
