// api/cutpool.cpp: the cut-pool members of nivra.problem, the rows of api/cutpool.def.
#include "api/methods.h"

#include "api/member.h"

using namespace nvapi;

#define NVR_API_TABLE "api/cutpool.def"
#define NVR_API_STAGE 1
#include "api/expand.inc"

PyMethodDef nvr_api_cutpool_methods[] = {
#define NVR_API_STAGE 2
#include "api/expand.inc"
    {nullptr, nullptr, 0, nullptr},
};

const ApiMemberInfo nvr_api_cutpool_info[] = {
#define NVR_API_STAGE 3
#include "api/expand.inc"
    {nullptr, nullptr, nullptr, nullptr},
};
