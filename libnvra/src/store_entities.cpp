// store_entities.cpp: special ordered sets, indicator constraints and the list of integer entities.
// Work area STORE. The definitions below are placeholders that fail with
// NVRA_RC_UNSUPPORTED until the area replaces them.
#include "problem.h"

using namespace nvra;

extern "C" {

int NVRAaddsets(NVRAprob prob, int, int, const char[], const int[], const int[], const double[]) {
    return notImplemented(prob, "NVRAaddsets");
}
int NVRAaddsets64(NVRAprob prob, int, int64_t, const char[], const int64_t[], const int[],
                  const double[]) {
    return notImplemented(prob, "NVRAaddsets64");
}
int NVRAdelsets(NVRAprob prob, int, const int[]) { return notImplemented(prob, "NVRAdelsets"); }
int NVRAsetindicators(NVRAprob prob, int, const int[], const int[], const int[]) {
    return notImplemented(prob, "NVRAsetindicators");
}
int NVRAdelindicators(NVRAprob prob, int, int) { return notImplemented(prob, "NVRAdelindicators"); }
int NVRAgetindicators(NVRAprob prob, int[], int[], int, int) {
    return notImplemented(prob, "NVRAgetindicators");
}
int NVRAgetmipentities64(NVRAprob prob, int *, int *, char[], int[], double[], char[], int64_t[],
                         int[], double[]) {
    return notImplemented(prob, "NVRAgetmipentities64");
}

} // extern "C"
