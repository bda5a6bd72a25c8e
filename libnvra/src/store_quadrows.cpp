// store_quadrows.cpp: quadratic parts of rows.
// Work area STORE. The definitions below are placeholders that fail with
// NVRA_RC_UNSUPPORTED until the area replaces them.
#include "problem.h"

using namespace nvra;

extern "C" {

int NVRAaddqmatrix64(NVRAprob prob, int, int64_t, const int[], const int[], const double[]) {
    return notImplemented(prob, "NVRAaddqmatrix64");
}
int NVRAgetqrowqmatrixtriplets(NVRAprob prob, int, int *, int[], int[], double[]) {
    return notImplemented(prob, "NVRAgetqrowqmatrixtriplets");
}

} // extern "C"
