// store_rows.cpp: adding, deleting, changing and reading rows.
// Work area STORE. The definitions below are placeholders that fail with
// NVRA_RC_UNSUPPORTED until the area replaces them.
#include "problem.h"

using namespace nvra;

extern "C" {

int NVRAaddrows(NVRAprob prob, int, int, const char[], const double[], const double[], const int[],
                const int[], const double[]) {
    return notImplemented(prob, "NVRAaddrows");
}
int NVRAaddrows64(NVRAprob prob, int, int64_t, const char[], const double[], const double[],
                  const int64_t[], const int[], const double[]) {
    return notImplemented(prob, "NVRAaddrows64");
}
int NVRAdelrows(NVRAprob prob, int, const int[]) { return notImplemented(prob, "NVRAdelrows"); }
int NVRAgetrhs(NVRAprob prob, double[], int, int) { return notImplemented(prob, "NVRAgetrhs"); }
int NVRAgetrhsrange(NVRAprob prob, double[], int, int) {
    return notImplemented(prob, "NVRAgetrhsrange");
}
int NVRAgetrowtype(NVRAprob prob, char[], int, int) {
    return notImplemented(prob, "NVRAgetrowtype");
}
int NVRAchgrhs(NVRAprob prob, int, const int[], const double[]) {
    return notImplemented(prob, "NVRAchgrhs");
}
int NVRAchgrhsrange(NVRAprob prob, int, const int[], const double[]) {
    return notImplemented(prob, "NVRAchgrhsrange");
}
int NVRAchgrowtype(NVRAprob prob, int, const int[], const char[]) {
    return notImplemented(prob, "NVRAchgrowtype");
}
int NVRAgetrows(NVRAprob prob, int[], int[], double[], int, int *, int, int) {
    return notImplemented(prob, "NVRAgetrows");
}
int NVRAgetrows64(NVRAprob prob, int64_t[], int[], double[], int64_t, int64_t *, int, int) {
    return notImplemented(prob, "NVRAgetrows64");
}

} // extern "C"
