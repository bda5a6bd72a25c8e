// api/read.cpp: the optimizer API members that read a problem: the rows of api/read.def and
// getnamelist, written out here (its result is a new list of names).
#include "api/methods.h"

#include "api/member.h"

using namespace nvapi;

#define NVR_API_TABLE "api/read.def"
#define NVR_API_STAGE 1
#include "api/expand.inc"

PyObject *NVRA_PY_getnamelist(problem_s *p, PyObject *args, PyObject *kwargs) {
    using M = api_getnamelist;
    int type = 0, first = kNotGiven, last = kNotGiven;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw(), &type, &first,
                                   &last))
        return nullptr;
    static const int counts[] = {NVRA_ATTR_ROWS, NVRA_ATTR_COLS, NVRA_ATTR_SETS};
    if (type < NVRA_NAMES_ROWS || type > NVRA_NAMES_SETS) {
        PyErr_Format(nvy_interf_exc,
                     "Invalid name type %d: expected 1 (rows), 2 (columns) or 3 (sets)", type);
        return nullptr;
    }
    Call c{p, M::kw};
    c.firstGiven = first != kNotGiven;
    c.lastGiven = last != kNotGiven && last != -1;
    c.first = first, c.last = last;
    if (c.settleRange(counts[type - 1]) != 0) return nullptr;
    int nbytes = 0;
    if (problem_call(p, NVRAgetnamelist, "NVRAgetnamelist", type, static_cast<char *>(nullptr), 0,
                     &nbytes, c.first, c.last) != 0)
        return nullptr;
    LibArray<char> buf(static_cast<size_t>(nbytes > 0 ? nbytes : 1));
    if (!buf || problem_call(p, NVRAgetnamelist, "NVRAgetnamelist", type, buf.get(), nbytes,
                             &nbytes, c.first, c.last) != 0)
        return nullptr;
    Ref names = Ref::steal(PyList_New(0));
    for (const char *s = buf.get(); names && s < buf.get() + nbytes; s += strlen(s) + 1) {
        Ref name = Ref::steal(PyUnicode_FromString(s));
        if (!name || PyList_Append(names.get(), name.get()) != 0) return nullptr;
    }
    return names.release();
}

PyMethodDef nvr_api_read_methods[] = {
#define NVR_API_STAGE 2
#include "api/expand.inc"
    {nullptr, nullptr, 0, nullptr},
};

const ApiMemberInfo nvr_api_read_info[] = {
#define NVR_API_STAGE 3
#include "api/expand.inc"
    {nullptr, nullptr, nullptr, nullptr},
};
