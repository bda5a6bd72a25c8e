// store_cols.cpp: adding, deleting, changing and reading columns.
// Work area STORE. The definitions below are placeholders that fail with
// NVRA_RC_UNSUPPORTED until the area replaces them.
#include "problem.h"

using namespace nvra;

extern "C" {

int NVRAaddcols(NVRAprob prob, int, int, const double[], const int[], const int[], const double[],
                const double[], const double[]) {
    return notImplemented(prob, "NVRAaddcols");
}
int NVRAaddcols64(NVRAprob prob, int, int64_t, const double[], const int64_t[], const int[],
                  const double[], const double[], const double[]) {
    return notImplemented(prob, "NVRAaddcols64");
}
int NVRAdelcols(NVRAprob prob, int, const int[]) { return notImplemented(prob, "NVRAdelcols"); }
int NVRAgetlb(NVRAprob prob, double[], int, int) { return notImplemented(prob, "NVRAgetlb"); }
int NVRAgetub(NVRAprob prob, double[], int, int) { return notImplemented(prob, "NVRAgetub"); }
int NVRAchgbounds(NVRAprob prob, int, const int[], const char[], const double[]) {
    return notImplemented(prob, "NVRAchgbounds");
}
int NVRAchgglblimit(NVRAprob prob, int, const int[], const double[]) {
    return notImplemented(prob, "NVRAchgglblimit");
}
int NVRAgetcoltype(NVRAprob prob, char[], int, int) {
    return notImplemented(prob, "NVRAgetcoltype");
}
int NVRAchgcoltype(NVRAprob prob, int, const int[], const char[]) {
    return notImplemented(prob, "NVRAchgcoltype");
}
int NVRAgetcols64(NVRAprob prob, int64_t[], int[], double[], int64_t, int64_t *, int, int) {
    return notImplemented(prob, "NVRAgetcols64");
}

} // extern "C"
