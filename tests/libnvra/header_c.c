/* header_c.c: the public headers are C. This file is compiled as strict C99 (see
 * tests/cpp/CMakeLists.txt) and calls the library through them; test_env.cpp runs it. */
#include <stddef.h>

#include "nslp.h"
#include "nvra.h"

/* Starts the library, provokes a range error on a new problem and reads it back. Returns
 * NVRA_LP_OPTIMAL when every call answered as nvra.h documents, else the step that did not. */
int nvra_c_header_roundtrip(void) {
    NVRAprob prob = NULL;
    double lb = 0.0;
    int code = -1, rc;
    if (NVRAinit(NULL) != NVRA_RC_OK) return -1;
    if (NVRAcreateprob(&prob) != NVRA_RC_OK) return -2;
    rc = NVRAgetlb(prob, &lb, 5, 5);
    if (NVRAgetlasterrorcode(prob, &code) != NVRA_RC_OK) return -3;
    if (NVRAdestroyprob(prob) != NVRA_RC_OK || NVRAfree() != NVRA_RC_OK) return -4;
    return rc == NVRA_RC_RANGE && code == NVRA_RC_RANGE ? NVRA_LP_OPTIMAL : -5;
}
