// store_objective.cpp: the linear and quadratic objective, the sense and the further objectives with their controls.
// Work area STORE. The definitions below are placeholders that fail with
// NVRA_RC_UNSUPPORTED until the area replaces them.
#include "problem.h"

using namespace nvra;

extern "C" {

int NVRAchgobj(NVRAprob prob, int, const int[], const double[]) {
    return notImplemented(prob, "NVRAchgobj");
}
int NVRAgetobj(NVRAprob prob, double[], int, int) { return notImplemented(prob, "NVRAgetobj"); }
int NVRAchgobjsense(NVRAprob prob, int) { return notImplemented(prob, "NVRAchgobjsense"); }
int NVRAchgmqobj(NVRAprob prob, int, const int[], const int[], const double[]) {
    return notImplemented(prob, "NVRAchgmqobj");
}
int NVRAchgmqobj64(NVRAprob prob, int64_t, const int[], const int[], const double[]) {
    return notImplemented(prob, "NVRAchgmqobj64");
}
int NVRAgetmqobj(NVRAprob prob, int[], int[], double[], int, int *, int, int) {
    return notImplemented(prob, "NVRAgetmqobj");
}
int NVRAgetmqobj64(NVRAprob prob, int64_t[], int[], double[], int64_t, int64_t *, int, int) {
    return notImplemented(prob, "NVRAgetmqobj64");
}
int NVRAaddobj(NVRAprob prob, int, const int[], const double[], int, double) {
    return notImplemented(prob, "NVRAaddobj");
}
int NVRAchgobjn(NVRAprob prob, int, int, const int[], const double[]) {
    return notImplemented(prob, "NVRAchgobjn");
}
int NVRAdelobj(NVRAprob prob, int) { return notImplemented(prob, "NVRAdelobj"); }
int NVRAgetobjn(NVRAprob prob, int, double[], int, int) {
    return notImplemented(prob, "NVRAgetobjn");
}
int NVRAsetobjintcontrol(NVRAprob prob, int, int, int) {
    return notImplemented(prob, "NVRAsetobjintcontrol");
}
int NVRAsetobjdblcontrol(NVRAprob prob, int, int, double) {
    return notImplemented(prob, "NVRAsetobjdblcontrol");
}
int NVRAgetobjintcontrol(NVRAprob prob, int, int, int *) {
    return notImplemented(prob, "NVRAgetobjintcontrol");
}
int NVRAgetobjdblcontrol(NVRAprob prob, int, int, double *) {
    return notImplemented(prob, "NVRAgetobjdblcontrol");
}

} // extern "C"
