// controls.cpp: the control lists and typed control access from the registry.
// Work area STORE. The definitions below are placeholders that fail with
// NVRA_RC_UNSUPPORTED until the area replaces them.
#include "problem.h"

using namespace nvra;

extern "C" {

int NVRAgetcalist_c(NVRAprob prob, int *, const int **, const char *const **, const int **) {
    return notImplemented(prob, "NVRAgetcalist_c");
}
int NVRAgetcalist_d(int *, const int **, const char *const **, const int **) {
    return notImplementedGlobal("NVRAgetcalist_d");
}
int NVRAgetcontrolinfo(NVRAprob prob, const char *, int *, int *) {
    return notImplemented(prob, "NVRAgetcontrolinfo");
}
int NVRAgetattribinfo(NVRAprob prob, const char *, int *, int *) {
    return notImplemented(prob, "NVRAgetattribinfo");
}
int NVRAgetintcontrol(NVRAprob prob, int, int *) {
    return notImplemented(prob, "NVRAgetintcontrol");
}
int NVRAgetintcontrol64(NVRAprob prob, int, int64_t *) {
    return notImplemented(prob, "NVRAgetintcontrol64");
}
int NVRAsetintcontrol(NVRAprob prob, int, int) { return notImplemented(prob, "NVRAsetintcontrol"); }
int NVRAsetintcontrol64(NVRAprob prob, int, int64_t) {
    return notImplemented(prob, "NVRAsetintcontrol64");
}
int NVRAgetdblcontrol(NVRAprob prob, int, double *) {
    return notImplemented(prob, "NVRAgetdblcontrol");
}
int NVRAsetdblcontrol(NVRAprob prob, int, double) {
    return notImplemented(prob, "NVRAsetdblcontrol");
}
int NVRAgetstrcontrol(NVRAprob prob, int, char *) {
    return notImplemented(prob, "NVRAgetstrcontrol");
}
int NVRAgetstringcontrol(NVRAprob prob, int, char *, int, int *) {
    return notImplemented(prob, "NVRAgetstringcontrol");
}
int NVRAsetstrcontrol(NVRAprob prob, int, const char *) {
    return notImplemented(prob, "NVRAsetstrcontrol");
}
int NVRAsetdefaults(NVRAprob prob) { return notImplemented(prob, "NVRAsetdefaults"); }
int NVRAsetdefaultcontrol(NVRAprob prob, int) {
    return notImplemented(prob, "NVRAsetdefaultcontrol");
}

} // extern "C"
