/*
 * nslp.h: the nonlinear (successive linear programming) interface of libnvra.
 * The nonlinear engine is not part of this release: NSLPinit reports NVRA_RC_NOTAVAILABLE,
 * which callers treat as "absent" rather than as a failure.
 */
#ifndef NSLP_H
#define NSLP_H

#include "nvra.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct tagNSLPproblem *NSLPprob;

NVRA_API int NSLPinit(const char *path);
NVRA_API int NSLPfree(void);
NVRA_API int NSLPgetlasterror(NSLPprob prob, int *code, char *msg);

#ifdef __cplusplus
}
#endif
#endif /* NSLP_H */
