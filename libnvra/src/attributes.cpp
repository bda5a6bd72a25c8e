// attributes.cpp: attribute values from the model store and the last optimisation.
// Work area STORE. The definitions below are placeholders that fail with
// NVRA_RC_UNSUPPORTED until the area replaces them.
#include "problem.h"

using namespace nvra;

extern "C" {

int NVRAgetintattrib(NVRAprob prob, int, int *) { return notImplemented(prob, "NVRAgetintattrib"); }
int NVRAgetintattrib64(NVRAprob prob, int, int64_t *) {
    return notImplemented(prob, "NVRAgetintattrib64");
}
int NVRAgetdblattrib(NVRAprob prob, int, double *) {
    return notImplemented(prob, "NVRAgetdblattrib");
}
int NVRAgetstringattrib(NVRAprob prob, int, char *, int, int *) {
    return notImplemented(prob, "NVRAgetstringattrib");
}
int NVRAgetobjintattrib64(NVRAprob prob, int, int, int64_t *) {
    return notImplemented(prob, "NVRAgetobjintattrib64");
}
int NVRAgetobjdblattrib(NVRAprob prob, int, int, double *) {
    return notImplemented(prob, "NVRAgetobjdblattrib");
}

} // extern "C"
