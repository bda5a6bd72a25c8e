// copy.cpp: copying problems and controls.
// Work area STORE. The definitions below are placeholders that fail with
// NVRA_RC_UNSUPPORTED until the area replaces them.
#include "problem.h"

using namespace nvra;

extern "C" {

int NVRAcopyprob(NVRAprob dest, NVRAprob, const char *) {
    return notImplemented(dest, "NVRAcopyprob");
}
int NVRAcopycontrols(NVRAprob dest, NVRAprob) { return notImplemented(dest, "NVRAcopycontrols"); }

} // extern "C"
