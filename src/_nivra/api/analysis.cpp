// api/analysis.cpp: the optimizer API members that read and analyse solutions: the rows of
// api/analysis.def, and the members with extra logic written out here: getlpsolval and
// getmipsolval (a tuple, -infinity for an index not given), btran and ftran (in place in the
// caller's list), the rays (hasdualray, hasprimalray, getdualray, getprimalray) and getunbvec
// (the model object of the combined index).
#include "api/methods.h"

#include "api/member.h"
#include "runtime/env.h"

using namespace nvapi;

#define NVR_API_TABLE "api/analysis.def"
#define NVR_API_STAGE 1
#include "api/expand.inc"

namespace {

// An optional index: None (or nothing) gives -1, which the library skips. 0 or -1.
int optionalIndex(PyObject *obj, problem_s *p, int *out, int kind) {
    *out = -1;
    return obj && obj != Py_None ? ObjInt2int(obj, p, out, kind) : 0;
}

// A tuple of n floats. New reference or null.
template <size_t N> PyObject *floatTuple(const double (&v)[N]) {
    Ref t = Ref::steal(PyTuple_New(N));
    for (size_t i = 0; t && i < N; ++i) {
        PyObject *f = PyFloat_FromDouble(v[i]);
        if (!f) return nullptr;
        PyTuple_SET_ITEM(t.get(), static_cast<Py_ssize_t>(i), f);
    }
    return t.release();
}

// getlpsolval and getmipsolval: the values of one column and one row; outputs of an index not
// given stay -infinity.
template <class M, size_t N, class Fn>
PyObject *solutionValues(problem_s *p, PyObject *args, PyObject *kwargs, Fn call) {
    PyObject *col = nullptr, *row = nullptr;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw(), &col, &row))
        return nullptr;
    int j = -1, i = -1;
    if (optionalIndex(col, p, &j, kElemCol) != 0 || optionalIndex(row, p, &i, kElemRow) != 0)
        return nullptr;
    double v[N];
    for (double &x : v)
        x = -NVRA_PLUSINFINITY;
    if (call(j, i, v) != 0) return nullptr;
    return floatTuple(v);
}

// btran and ftran: vec, a list of one float per row, replaced in place.
template <class M>
PyObject *transform(problem_s *p, PyObject *args, PyObject *kwargs, int (*fn)(NVRAprob, double *),
                    const char *name) {
    PyObject *vec = nullptr;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw(), &vec))
        return nullptr;
    if (vec == Py_None) {
        nvo_PyErr_MissingArgsRange(M::kw, 0, 1);
        return nullptr;
    }
    if (!PyList_Check(vec)) {
        PyErr_SetString(nvy_interf_exc,
                        "Argument 'vec' must be a list of floats: it is transformed in place");
        return nullptr;
    }
    int rows = 0;
    if (problem_intAttrib(p, NVRA_ATTR_ROWS, &rows) != 0) return nullptr;
    ConvArray<kElemDouble> arr;
    if (conv_obj2arr_full(p, vec, arr, rows, "vec", "rows") != 0 ||
        problem_call(p, fn, name, arr.get()) != 0 ||
        conv_arr2obj<kElemDouble>(p, rows, arr.get(), vec) != 0)
        return nullptr;
    Py_RETURN_NONE;
}

// A member without parameters refuses any argument. 1, or 0 with an exception.
template <class M> int noArguments(PyObject *args, PyObject *kwargs) {
    return nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw());
}

using RayFn = int (*)(NVRAprob, double *, int *);

// Whether the last solve left a ray. New reference or null.
template <class M>
PyObject *hasRay(problem_s *p, PyObject *args, PyObject *kwargs, RayFn fn, const char *name) {
    if (!noArguments<M>(args, kwargs)) return nullptr;
    int has = 0;
    if (problem_call(p, fn, name, static_cast<double *>(nullptr), &has) != 0) return nullptr;
    return PyBool_FromLong(has);
}

// The ray into the caller's list (None skips it); sized by the row or column count.
template <class M>
PyObject *getRay(problem_s *p, PyObject *args, PyObject *kwargs, RayFn fn, const char *name,
                 int countAttrib) {
    PyObject *ray = nullptr;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, M::format(), M::kw, M::oldkw(), &ray))
        return nullptr;
    if (ray == Py_None) Py_RETURN_NONE;
    int n = 0;
    if (problem_intAttrib(p, countAttrib, &n) != 0) return nullptr;
    LibArray<double> data;
    int has = 0;
    if (data.alloc(static_cast<size_t>(n)) != 0 ||
        problem_call(p, fn, name, data.get(), &has) != 0 ||
        conv_arr2obj<kElemDouble>(p, n, data.get(), ray) != 0)
        return nullptr;
    Py_RETURN_NONE;
}

} // namespace

PyObject *NVRA_PY_getlpsolval(problem_s *p, PyObject *args, PyObject *kwargs) {
    return solutionValues<api_getlpsolval, 4>(p, args, kwargs, [&](int j, int i, double *v) {
        return problem_call(p, NVRAgetlpsolval, "NVRAgetlpsolval", j, i, &v[0], &v[1], &v[2],
                            &v[3]);
    });
}

PyObject *NVRA_PY_getmipsolval(problem_s *p, PyObject *args, PyObject *kwargs) {
    return solutionValues<api_getmipsolval, 2>(p, args, kwargs, [&](int j, int i, double *v) {
        return problem_call(p, NVRAgetmipsolval, "NVRAgetmipsolval", j, i, &v[0], &v[1]);
    });
}

PyObject *NVRA_PY_btran(problem_s *p, PyObject *args, PyObject *kwargs) {
    return transform<api_btran>(p, args, kwargs, NVRAbtran, "NVRAbtran");
}

PyObject *NVRA_PY_ftran(problem_s *p, PyObject *args, PyObject *kwargs) {
    return transform<api_ftran>(p, args, kwargs, NVRAftran, "NVRAftran");
}

PyObject *NVRA_PY_hasdualray(problem_s *p, PyObject *args, PyObject *kwargs) {
    return hasRay<api_hasdualray>(p, args, kwargs, NVRAgetdualray, "NVRAgetdualray");
}

PyObject *NVRA_PY_hasprimalray(problem_s *p, PyObject *args, PyObject *kwargs) {
    return hasRay<api_hasprimalray>(p, args, kwargs, NVRAgetprimalray, "NVRAgetprimalray");
}

PyObject *NVRA_PY_getdualray(problem_s *p, PyObject *args, PyObject *kwargs) {
    return getRay<api_getdualray>(p, args, kwargs, NVRAgetdualray, "NVRAgetdualray",
                                  NVRA_ATTR_ROWS);
}

PyObject *NVRA_PY_getprimalray(problem_s *p, PyObject *args, PyObject *kwargs) {
    return getRay<api_getprimalray>(p, args, kwargs, NVRAgetprimalray, "NVRAgetprimalray",
                                    NVRA_ATTR_COLS);
}

PyObject *NVRA_PY_getunbvec(problem_s *p, PyObject *args, PyObject *kwargs) {
    if (!noArguments<api_getunbvec>(args, kwargs)) return nullptr;
    int seq = -1;
    if (problem_call(p, NVRAgetunbvec, "NVRAgetunbvec", &seq) != 0) return nullptr;
    if (seq < 0) {
        PyErr_SetString(nvy_solver_exc,
                        "getunbvec returns a valid object only if the problem is found unbounded "
                        "within the primal simplex. Call lpoptimize('p') to use the primal "
                        "simplex.");
        return nullptr;
    }
    return convSeqToRowCol(p, seq);
}

PyMethodDef nvr_api_analysis_methods[] = {
#define NVR_API_STAGE 2
#include "api/expand.inc"
    {nullptr, nullptr, 0, nullptr},
};

const ApiMemberInfo nvr_api_analysis_info[] = {
#define NVR_API_STAGE 3
#include "api/expand.inc"
    {nullptr, nullptr, nullptr, nullptr},
};
