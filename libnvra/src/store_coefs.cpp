// store_coefs.cpp: single matrix coefficients.
// Work area STORE. The definitions below are placeholders that fail with
// NVRA_RC_UNSUPPORTED until the area replaces them.
#include "problem.h"

using namespace nvra;

extern "C" {

int NVRAchgcoef(NVRAprob prob, int, int, double) { return notImplemented(prob, "NVRAchgcoef"); }
int NVRAchgmcoef(NVRAprob prob, int, const int[], const int[], const double[]) {
    return notImplemented(prob, "NVRAchgmcoef");
}
int NVRAgetcoef(NVRAprob prob, int, int, double *) { return notImplemented(prob, "NVRAgetcoef"); }

} // extern "C"
