// api/solving.cpp: the optimizer API members that solve, set, read and write solution data and
// tune: the rows of api/solving.def, and the members with extra logic written out here: save
// and restore (the whole problem, to a file or to bytes; restoring remakes the model objects),
// copycontrols (from another problem), setdefaultcontrol (a control by id or name) and
// getlasterror (a str).
#include "api/methods.h"

#include "api/member.h"
#include "runtime/env.h"

using namespace nvapi;

#define NVR_API_TABLE "api/solving.def"
#define NVR_API_STAGE 1
#include "api/expand.inc"

namespace {

// Whether the library holds formulas: those the model sent, and those given through the
// nonlinear members (coefficients and row formulas). 1, 0, or -1 with an exception.
int holdsFormulas(problem_s *p) {
    if (p->nl_rows || p->nl_objective) return 1;
    if (!p->nlprob) return 0;
    int coefs = 0, rows = 0;
    if (problem_call(p, NSLPgetintattrib, "NSLPgetintattrib", NSLP_ATTR_COEFS, &coefs) != 0 ||
        problem_call(p, NSLPgetintattrib, "NSLPgetintattrib", NSLP_ATTR_FORMULAROWS, &rows) != 0)
        return -1;
    return coefs + rows > 0;
}

// Saved problems keep no formulas, and the nonlinear solver's own save is not available.
int refuseNonlinear(problem_s *p) {
    const int holds = holdsFormulas(p);
    if (holds <= 0) return holds;
    return nvr_raise(nvy_interf_exc, "Saving a problem with nonlinear constraints or a "
                                     "nonlinear objective needs the nonlinear solver, which is "
                                     "not available");
}

// The id of a control given as an int or by name. 0 or -1.
int controlId(problem_s *p, PyObject *control, int *id) {
    if (!PyUnicode_Check(control)) return ObjInt2int(control, p, id, kElemInt);
    const char *name = PyUnicode_AsUTF8(control);
    int type = 0;
    if (!name || problem_call(p, NVRAgetcontrolinfo, "NVRAgetcontrolinfo", name, id, &type) != 0)
        return -1;
    if (type != NVRA_TYPE_NOTDEFINED) return 0;
    PyErr_Format(nvy_interf_exc, "Unknown control name: %U", control);
    return -1;
}

} // namespace

PyObject *NVRA_PY_save(problem_s *p, PyObject *args, PyObject *kwargs) {
    using M = api_save;
    const char *filename = nullptr;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw(), &filename) ||
        refuseNonlinear(p) != 0)
        return nullptr;
    const int rc = filename ? problem_call(p, NVRAsaveas, "NVRAsaveas", filename)
                            : problem_call(p, NVRAsave, "NVRAsave");
    if (rc != 0) return nullptr;
    Py_RETURN_NONE;
}

PyObject *NVRA_PY_restore(problem_s *p, PyObject *args, PyObject *kwargs) {
    using M = api_restore;
    const char *probname = nullptr, *flags = nullptr;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw(), &probname, &flags))
        return nullptr;
    // A failed restore leaves the problem as it was, objects included.
    const bool unlinked = problem_holdsUnlinked(p);
    if (problem_call(p, NVRArestore, "NVRArestore", probname, flags ? flags : "") != 0 ||
        problem_adoptReplacedModel(p, unlinked) != 0)
        return nullptr;
    Py_RETURN_NONE;
}

// The saved problem as a new bytes object, or null. The size is asked first; should the problem
// change in between (another thread), the library refuses the buffer rather than write past it.
PyObject *NVRA_PY_savetobuffer(problem_s *p, PyObject *args, PyObject *kwargs) {
    using M = api_savetobuffer;
    int64_t size = 0;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw()) ||
        refuseNonlinear(p) != 0 ||
        problem_call(p, NVRAsavetobuffer, "NVRAsavetobuffer", nullptr, int64_t{0}, &size) != 0)
        return nullptr;
    Ref bytes = Ref::steal(PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(size)));
    if (!bytes ||
        problem_call(p, NVRAsavetobuffer, "NVRAsavetobuffer",
                     static_cast<void *>(PyBytes_AS_STRING(bytes.get())), size, &size) != 0)
        return nullptr;
    PyObject *result = bytes.release();
    if (_PyBytes_Resize(&result, static_cast<Py_ssize_t>(size)) != 0) return nullptr;
    return result;
}

PyObject *NVRA_PY_restorefrombuffer(problem_s *p, PyObject *args, PyObject *kwargs) {
    using M = api_restorefrombuffer;
    const char *data = nullptr, *flags = nullptr;
    Py_ssize_t length = 0;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw(), &data, &length,
                                   &flags))
        return nullptr;
    const bool unlinked = problem_holdsUnlinked(p);
    if (problem_call(p, NVRArestorefrombuffer, "NVRArestorefrombuffer",
                     static_cast<const void *>(data), static_cast<int64_t>(length),
                     flags ? flags : "") != 0 ||
        problem_adoptReplacedModel(p, unlinked) != 0)
        return nullptr;
    Py_RETURN_NONE;
}

PyObject *NVRA_PY_copycontrols(problem_s *p, PyObject *args, PyObject *kwargs) {
    using M = api_copycontrols;
    PyObject *src = nullptr;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw(), &src))
        return nullptr;
    if (!problem_Check(src)) {
        PyErr_SetString(nvy_interf_exc, "Argument 'src' must be a nivra.problem");
        return nullptr;
    }
    problem_s *from = as_problem(src);
    if (checkProblemIsInitialized(from) != 0 ||
        problem_call(p, NVRAcopycontrols, "NVRAcopycontrols", from->prob) != 0)
        return nullptr;
    // The nonlinear solver's controls travel too when both problems have that solver.
    if (p->nlprob && from->nlprob &&
        problem_call(p, NSLPcopycontrols, "NSLPcopycontrols", from->nlprob) != 0)
        return nullptr;
    Py_RETURN_NONE;
}

PyObject *NVRA_PY_setdefaultcontrol(problem_s *p, PyObject *args, PyObject *kwargs) {
    using M = api_setdefaultcontrol;
    PyObject *control = nullptr;
    int id = 0;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw(), &control) ||
        controlId(p, control, &id) != 0 ||
        problem_call(p, NVRAsetdefaultcontrol, "NVRAsetdefaultcontrol", id) != 0)
        return nullptr;
    Py_RETURN_NONE;
}

PyObject *NVRA_PY_getlasterror(problem_s *p, PyObject *args, PyObject *kwargs) {
    using M = api_getlasterror;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw())) return nullptr;
    char text[4096] = "";
    if (problem_call(p, NVRAgetlasterror, "NVRAgetlasterror", text,
                     static_cast<int>(sizeof text)) != 0)
        return nullptr;
    return PyUnicode_DecodeUTF8(text, static_cast<Py_ssize_t>(strlen(text)), "replace");
}

PyMethodDef nvr_api_solving_methods[] = {
#define NVR_API_STAGE 2
#include "api/expand.inc"
    {nullptr, nullptr, 0, nullptr},
};

const ApiMemberInfo nvr_api_solving_info[] = {
#define NVR_API_STAGE 3
#include "api/expand.inc"
    {nullptr, nullptr, nullptr, nullptr},
};
