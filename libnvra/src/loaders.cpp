// loaders.cpp: loading whole problems, the problem name.
// Work area STORE. The definitions below are placeholders that fail with
// NVRA_RC_UNSUPPORTED until the area replaces them.
#include "problem.h"

using namespace nvra;

extern "C" {

int NVRAloadlp(NVRAprob prob, const char *, int, int, const char[], const double[], const double[],
               const double[], const int[], const int[], const int[], const double[],
               const double[], const double[]) {
    return notImplemented(prob, "NVRAloadlp");
}
int NVRAloadlp64(NVRAprob prob, const char *, int, int, const char[], const double[],
                 const double[], const double[], const int64_t[], const int[], const int[],
                 const double[], const double[], const double[]) {
    return notImplemented(prob, "NVRAloadlp64");
}
int NVRAloadqp64(NVRAprob prob, const char *, int, int, const char[], const double[],
                 const double[], const double[], const int64_t[], const int[], const int[],
                 const double[], const double[], const double[], int64_t, const int[], const int[],
                 const double[]) {
    return notImplemented(prob, "NVRAloadqp64");
}
int NVRAloadmip64(NVRAprob prob, const char *, int, int, const char[], const double[],
                  const double[], const double[], const int64_t[], const int[], const int[],
                  const double[], const double[], const double[], int, int, const char[],
                  const int[], const double[], const char[], const int64_t[], const int[],
                  const double[]) {
    return notImplemented(prob, "NVRAloadmip64");
}
int NVRAloadmiqp64(NVRAprob prob, const char *, int, int, const char[], const double[],
                   const double[], const double[], const int64_t[], const int[], const int[],
                   const double[], const double[], const double[], int64_t, const int[],
                   const int[], const double[], int, int, const char[], const int[], const double[],
                   const char[], const int64_t[], const int[], const double[]) {
    return notImplemented(prob, "NVRAloadmiqp64");
}
int NVRAloadqcqp64(NVRAprob prob, const char *, int, int, const char[], const double[],
                   const double[], const double[], const int64_t[], const int[], const int[],
                   const double[], const double[], const double[], int64_t, const int[],
                   const int[], const double[], int, const int[], const int64_t[], const int[],
                   const int[], const double[]) {
    return notImplemented(prob, "NVRAloadqcqp64");
}
int NVRAloadmiqcqp64(NVRAprob prob, const char *, int, int, const char[], const double[],
                     const double[], const double[], const int64_t[], const int[], const int[],
                     const double[], const double[], const double[], int64_t, const int[],
                     const int[], const double[], int, const int[], const int64_t[], const int[],
                     const int[], const double[], int, int, const char[], const int[],
                     const double[], const char[], const int64_t[], const int[], const double[]) {
    return notImplemented(prob, "NVRAloadmiqcqp64");
}
int NVRAsetprobname(NVRAprob prob, const char *) { return notImplemented(prob, "NVRAsetprobname"); }
int NVRAgetprobname(NVRAprob prob, char *) { return notImplemented(prob, "NVRAgetprobname"); }

} // extern "C"
