// api/methods.h: the method tables of nivra.problem that this layer contributes (joined by
// module.cpp), the information about every optimizer API member that the tests walk, and the
// compaction of a problem's object list after a deletion.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <vector>

struct problem_s;

// What the tests read about a member: name, parse format, keyword names and old keyword names
// (null when the names never changed). Tables end with an entry whose name is null.
struct ApiMemberInfo {
    const char *name;
    const char *format;
    const char *const *kw;
    const char *const *oldkw;
};

extern PyMethodDef nvr_api_build_methods[];    // api/build.cpp, rows in api/build.def
extern PyMethodDef nvr_api_read_methods[];     // api/read.cpp, rows in api/read.def
extern PyMethodDef nvr_api_delete_methods[];   // api/delete.cpp: delVariable, delConstraint, delSOS
extern PyMethodDef nvr_api_callback_methods[]; // api/callbacks.cpp, rows in api/callbacks.def
extern PyMethodDef nvr_api_analysis_methods[]; // api/analysis.cpp, rows in api/analysis.def
extern PyMethodDef nvr_api_solving_methods[];  // api/solving.cpp, rows in api/solving.def
extern PyMethodDef nvr_api_cutpool_methods[];  // api/cutpool.cpp, rows in api/cutpool.def
extern PyMethodDef nvr_api_newer_methods[];    // api/newer.cpp: delRows, sparseFTran, ...
extern PyMethodDef nvr_api_nonlinear_methods[]; // api/nonlinear.cpp, rows in api/nonlinear.def
extern const ApiMemberInfo nvr_api_build_info[];
extern const ApiMemberInfo nvr_api_read_info[];
extern const ApiMemberInfo nvr_api_callback_info[];
extern const ApiMemberInfo nvr_api_analysis_info[];
extern const ApiMemberInfo nvr_api_solving_info[];
extern const ApiMemberInfo nvr_api_cutpool_info[];
extern const ApiMemberInfo nvr_api_nonlinear_info[];

// The module functions of this layer: _api_members() lists (name, format, keywords, old keywords)
// for every member (for the tests).
extern PyMethodDef nvr_api_module_methods[];
