// api/nonlinear.cpp: the members of the nonlinear (SLP) solver: the rows of api/nonlinear.def,
// and the members with logic of their own written out here: chgdf (a step that may be None),
// getrowinfo and getcolinfo (an int or a float by the information type) and msaddjob and
// msaddcustompreset (control values given as a dictionary by name).
#include "api/methods.h"

#include "api/member.h"
#include "problem/problem.h"
#include "controls/names.h"
#include "runtime/env.h"
#include "runtime/errors.h"

using namespace nvapi;

#define NVR_API_TABLE "api/nonlinear.def"
#define NVR_API_STAGE 1
#include "api/expand.inc"

void nvapi::nvy_memberArgError(const char *text) {
    if (PyErr_ExceptionMatches(PyExc_TypeError)) nvy_prefixError(text, nvy_interf_exc);
}

int nvapi::nvy_checkNonlinear(problem_s *p) {
    if (p->nlprob) return 0;
    return nvr_raise(nvy_interf_exc, "The nonlinear solver is not available");
}

namespace {

// Parses a member written out here with its own argument error. true, or false with the error.
template <class M, class... A>
bool parseMember(PyObject *args, PyObject *kwargs, const char *argError, A... out) {
    if (nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw(), out...))
        return true;
    nvy_memberArgError(argError);
    return false;
}

} // namespace

// ---- chgdf ------------------------------------------------------------------------------------

PyObject *NVRA_PY_chgdf(problem_s *p, PyObject *args, PyObject *kwargs) {
    using M = api_chgdf;
    static const char *const wrong = "Wrong arguments in chgdf";
    PyObject *col = nullptr, *row = nullptr, *value = nullptr;
    int c = 0, r = 0;
    if (nvy_checkNonlinear(p) != 0 || !parseMember<M>(args, kwargs, wrong, &col, &row, &value))
        return nullptr;
    const bool query = value == Py_None;
    if (!query && !PyFloat_Check(value) && !PyLong_Check(value) && !PyIndex_Check(value))
        return nvr_raise(nvy_interf_exc, wrong), nullptr;
    double step = query ? 0.0 : PyFloat_AsDouble(value);
    if ((step == -1.0 && PyErr_Occurred()) || ObjInt2int(col, p, &c, kElemCol) != 0 ||
        ObjInt2int(row, p, &r, kElemRow) != 0)
        return nullptr;
    // None asks for the step as it stands: the library leaves it alone for a null value, and the
    // current one is read.
    const int rc = query ? problem_call(p, NSLPgetdf, "NSLPgetdf", c, r, &step)
                         : problem_call(p, NSLPchgdf, "NSLPchgdf", c, r, &step);
    return rc == 0 ? PyFloat_FromDouble(step) : nullptr;
}

// ---- getrowinfo, getcolinfo
// -----------------------------------------------------------------------

namespace {

using InfoFn = int (*)(NSLPprob, int, int, void *);

// Information types below 100 are ints, from 100 doubles.
constexpr int kFirstDoubleInfo = 100;

PyObject *info(problem_s *p, PyObject *args, PyObject *kwargs, const char *format,
               const char *const *kw, const char *argError, int kind, InfoFn fn,
               const char *libName) {
    int type = 0, index = 0;
    PyObject *obj = nullptr;
    if (nvy_checkNonlinear(p) != 0) return nullptr;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, format, const_cast<char **>(kw), &type, &obj)) {
        nvy_memberArgError(argError);
        return nullptr;
    }
    if (ObjInt2int(obj, p, &index, kind) != 0) return nullptr;
    int i = 0;
    double d = 0.0;
    const bool isDouble = type >= kFirstDoubleInfo;
    if (problem_call(p, fn, libName, type, index,
                     isDouble ? static_cast<void *>(&d) : static_cast<void *>(&i)) != 0)
        return nullptr;
    return isDouble ? PyFloat_FromDouble(d) : PyLong_FromLong(i);
}

} // namespace

PyObject *NVRA_PY_getrowinfo(problem_s *p, PyObject *args, PyObject *kwargs) {
    using M = api_getrowinfo;
    return info(p, args, kwargs, M::format(), M::kw, "Incorrect argument to getrowinfo", kElemRow,
                NSLPgetrowinfo, "NSLPgetrowinfo");
}

PyObject *NVRA_PY_getcolinfo(problem_s *p, PyObject *args, PyObject *kwargs) {
    using M = api_getcolinfo;
    return info(p, args, kwargs, M::format(), M::kw, "Incorrect argument to getcolinfo", kElemCol,
                NSLPgetcolinfo, "NSLPgetcolinfo");
}

// ---- msaddjob, msaddcustompreset
// ------------------------------------------------------------------

namespace {

// The control values of a job: integer and double controls, each an (ids, values) pair.
struct JobControls {
    std::vector<int> intIds, intValues, dblIds;
    std::vector<double> dblValues;
};

constexpr const char *kJobMembers = "msaddcustompreset/msaddjob";

// One control of the dictionary into c. 0 or -1.
int jobControl(PyObject *key, PyObject *value, JobControls &c) {
    if (!PyUnicode_Check(key)) {
        PyErr_Format(nvy_interf_exc,
                     "Incorrect key in parameter 'control' (all keys must be strings) of %s",
                     kJobMembers);
        return -1;
    }
    PyObject *entryTuple = nullptr;
    CaEntry e;
    if (PyDict_GetItem_LowerCaseKey(nvr_py_env.control_table, key, &entryTuple) != 0) return -1;
    if (!entryTuple || !ca_entry_from_tuple(entryTuple, &e)) {
        PyErr_Format(nvy_interf_exc, "Unknown control %S in %s", key, kJobMembers);
        return -1;
    }
    if (e.type == kParamInt) {
        int v = 0;
        if (ObjInt2int(value, nullptr, &v, kElemInt) != 0) return -1;
        c.intIds.push_back(e.id);
        c.intValues.push_back(v);
        return 0;
    }
    if (e.type == kParamDouble) {
        const double v = PyFloat_AsDouble(value);
        if (v == -1.0 && PyErr_Occurred()) return -1;
        c.dblIds.push_back(e.id);
        c.dblValues.push_back(v);
        return 0;
    }
    PyErr_Format(nvy_interf_exc, "Only integer and double controls allowed in %s", kJobMembers);
    return -1;
}

int jobControls(PyObject *dict, JobControls &c) NVR_TRY {
    if (!PyDict_Check(dict)) {
        PyErr_Format(nvy_interf_exc, "Incorrect argument 'control' in %s: must be a dictionary",
                     kJobMembers);
        return -1;
    }
    PyObject *key, *value;
    Py_ssize_t pos = 0;
    while (PyDict_Next(dict, &pos, &key, &value))
        if (jobControl(key, value, c) != 0) return -1;
    return 0;
}
NVR_CATCH(-1)

// The arguments both members share.
struct JobArgs {
    const char *description = nullptr;
    int preset = 0, count = 1;
    PyObject *ivcols = nullptr, *ivvalues = nullptr, *control = nullptr, *object = nullptr;
};

} // namespace

int nvapi::keepJobObject(problem_s *p, PyObject *obj) {
    if (!p->ms_objects && !(p->ms_objects = PyList_New(0))) return -1;
    return PyList_Append(p->ms_objects, obj);
}

namespace {

// msaddjob (preset 0) and msaddcustompreset: the initial values, the controls, and the job
// object, which the library keeps (see JobObject in api/member.h).
PyObject *addJob(problem_s *p, const JobArgs &a) {
    int64_t n = -1;
    ConvArray<kElemCol> cols;
    ConvArray<kElemDouble> values;
    JobControls c;
    if (conv_obj2arr(p, &n, a.ivcols, cols, "ivcols") != 0 ||
        conv_obj2arr(p, &n, a.ivvalues, values, "ivvalues") != 0 || jobControls(a.control, c) != 0)
        return nullptr;
    PyObject *object = a.object ? a.object : Py_None;
    if (keepJobObject(p, object) != 0) return nullptr; // before the library holds the pointer
    const int ninitial = n > 0 ? static_cast<int>(n) : 0;
    const int nint = static_cast<int>(c.intIds.size()), ndbl = static_cast<int>(c.dblIds.size());
    const int rc =
        a.preset == 0
            ? problem_call(p, NSLPmsaddjob, "NSLPmsaddjob", a.description, ninitial, cols.get(),
                           values.get(), nint, c.intIds.data(), c.intValues.data(), ndbl,
                           c.dblIds.data(), c.dblValues.data(), static_cast<void *>(object))
            : problem_call(p, NSLPmsaddcustompreset, "NSLPmsaddcustompreset", a.description,
                           a.preset, a.count, ninitial, cols.get(), values.get(), nint,
                           c.intIds.data(), c.intValues.data(), ndbl, c.dblIds.data(),
                           c.dblValues.data(), static_cast<void *>(object));
    if (rc != 0) return nullptr;
    Py_RETURN_NONE;
}

} // namespace

PyObject *NVRA_PY_msaddjob(problem_s *p, PyObject *args, PyObject *kwargs) {
    using M = api_msaddjob;
    JobArgs a;
    if (nvy_checkNonlinear(p) != 0 ||
        !parseMember<M>(args, kwargs, "Incorrect arguments in msaddjob", &a.description, &a.ivcols,
                        &a.ivvalues, &a.control, &a.object))
        return nullptr;
    return addJob(p, a);
}

PyObject *NVRA_PY_msaddcustompreset(problem_s *p, PyObject *args, PyObject *kwargs) {
    using M = api_msaddcustompreset;
    JobArgs a;
    if (nvy_checkNonlinear(p) != 0 ||
        !parseMember<M>(args, kwargs, "Incorrect arguments in msaddcustompreset", &a.description,
                        &a.preset, &a.count, &a.ivcols, &a.ivvalues, &a.control, &a.object))
        return nullptr;
    return addJob(p, a);
}

PyMethodDef nvr_api_nonlinear_methods[] = {
#define NVR_API_STAGE 2
#include "api/expand.inc"
    {nullptr, nullptr, 0, nullptr},
};

const ApiMemberInfo nvr_api_nonlinear_info[] = {
#define NVR_API_STAGE 3
#include "api/expand.inc"
    {nullptr, nullptr, nullptr, nullptr},
};
