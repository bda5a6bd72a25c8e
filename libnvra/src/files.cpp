// files.cpp: reading and writing problem files.
// Work area FILES. The definitions below are placeholders that fail with
// NVRA_RC_UNSUPPORTED until the area replaces them.
#include "problem.h"

using namespace nvra;

extern "C" {

int NVRAreadprob(NVRAprob prob, const char *, const char *) {
    return notImplemented(prob, "NVRAreadprob");
}
int NVRAwriteprob(NVRAprob prob, const char *, const char *) {
    return notImplemented(prob, "NVRAwriteprob");
}

} // extern "C"
