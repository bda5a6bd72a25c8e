// solution.cpp: solution vectors after a solve and inside callbacks.
// Work area SOLVE. The definitions below are placeholders that fail with
// NVRA_RC_UNSUPPORTED until the area replaces them.
#include "problem.h"

using namespace nvra;

extern "C" {

int NVRAgetsolution(NVRAprob prob, int *, double[], int, int) {
    return notImplemented(prob, "NVRAgetsolution");
}
int NVRAgetslacks(NVRAprob prob, int *, double[], int, int) {
    return notImplemented(prob, "NVRAgetslacks");
}
int NVRAgetduals(NVRAprob prob, int *, double[], int, int) {
    return notImplemented(prob, "NVRAgetduals");
}
int NVRAgetredcosts(NVRAprob prob, int *, double[], int, int) {
    return notImplemented(prob, "NVRAgetredcosts");
}
int NVRAgetlpsol(NVRAprob prob, double[], double[], double[], double[]) {
    return notImplemented(prob, "NVRAgetlpsol");
}
int NVRAgetmipsol(NVRAprob prob, double[], double[]) {
    return notImplemented(prob, "NVRAgetmipsol");
}
int NVRAgetcallbacksolution(NVRAprob prob, int *, double[], int, int) {
    return notImplemented(prob, "NVRAgetcallbacksolution");
}
int NVRAgetcallbackslacks(NVRAprob prob, int *, double[], int, int) {
    return notImplemented(prob, "NVRAgetcallbackslacks");
}
int NVRAgetcallbackduals(NVRAprob prob, int *, double[], int, int) {
    return notImplemented(prob, "NVRAgetcallbackduals");
}
int NVRAgetcallbackredcosts(NVRAprob prob, int *, double[], int, int) {
    return notImplemented(prob, "NVRAgetcallbackredcosts");
}

} // extern "C"
