// solve.cpp: optimisation entry points.
// Work area SOLVE. The definitions below are placeholders that fail with
// NVRA_RC_UNSUPPORTED until the area replaces them.
#include "problem.h"

using namespace nvra;

extern "C" {

int NVRAoptimize(NVRAprob prob, const char *, int *, int *) {
    return notImplemented(prob, "NVRAoptimize");
}
int NVRAlpoptimize(NVRAprob prob, const char *) { return notImplemented(prob, "NVRAlpoptimize"); }
int NVRAmipoptimize(NVRAprob prob, const char *) { return notImplemented(prob, "NVRAmipoptimize"); }

} // extern "C"
