// api/branchobj.cpp: nivra.branchobj, a user branching decision built through the library's
// branching-object interface (NVRA_bo_...): branches of column bounds, rows and pool cuts. The
// object owns its library object until store() hands it over or it is destroyed (with-block
// end, deallocation). Its methods convert their arguments like the problem's API members, so
// the type lives with them.
#include "api/branchobj.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <vector>

#include "api/convert.h"
#include "model/constraint.h"
#include "model/operand.h"
#include "problem/convert.h"
#include "problem/problem.h"
#include "runtime/args.h"
#include "runtime/env.h"
#include "runtime/errors.h"
#include "runtime/ref.h"

namespace {

branchobj_s *as_branchobj(PyObject *o) {
    return reinterpret_cast<branchobj_s *>(o);
}

problem_s *ownerOf(const branchobj_s *b) {
    return as_problem(b->problem);
}

// Raises the branching object's last error after a failed call (rc). -1.
int boFailed(branchobj_s *b, int rc) {
    if (PyErr_Occurred()) return -1;
    int code = 0;
    char msg[2048] = "";
    if (NVRA_bo_getlasterror(b->bo, &code, msg, sizeof msg, nullptr) != 0 || !*msg)
        snprintf(msg, sizeof msg, "Unidentified error associated with a branching object");
    return nvr_raise_lib_error(code ? code : rc, msg, false);
}

// fn(bo, args...) on the object's library object. 0, or -1 with the library's error (or
// InterfaceError when the object holds none any more).
template <class... P, class... A>
int boCall(branchobj_s *b, int (*fn)(NVRAbranchobject, P...), A... args) {
    if (!b->bo)
        return nvr_raise(nvy_interf_exc,
                         "The branching object has been stored or freed: it holds no branches");
    const int rc = fn(b->bo, static_cast<P>(args)...);
    return rc ? boFailed(b, rc) : 0;
}

// Destroys the library object if still held and lets go of the problem. 0, or -1 with an
// exception.
int release(branchobj_s *b) {
    int rc = 0;
    if (b->bo) {
        rc = NVRA_bo_destroy(b->bo);
        b->bo = nullptr;
    }
    Py_CLEAR(b->problem);
    return rc ? setNvraErr(nullptr) : 0;
}

// ---- branches given at construction (the older form) --------------------------------------------

// Appends a column bound or rows for constraint con to branch i. 0 or -1.
int addConstraintToBranch(branchobj_s *b, int i, PyObject *con) {
    const constraint_s *c = as_constraint(con);
    PyObject *body = constraint_body(c);
    char msg[160];
    auto fail = [&](const char *what) {
        snprintf(msg, sizeof msg, "Branch %i %s", i, what);
        return nvr_model_error(msg);
    };
    // A constraint added to a problem keeps its body in the library, not here.
    if (constraint_is_linked(c))
        return fail("contains a constraint that has been added to a problem, invalid");
    if (!body || body == Py_None) return fail("contains a constraint with no body, invalid");
    const int kind = exprKindOf(body);
    if (kind == 3 || kind == 5)
        return fail("contains a quadratic or nonlinear constraint, invalid");
    OwnedExprRow row;
    if (convertExpr(ownerOf(b), body, &row, false) != 0) return -1;
    if (row.nq) return fail("contains a quadratic or nonlinear constraint, invalid");
    const double lb = constraint_lb(c) - row.constant, ub = constraint_ub(c) - row.constant;
    const bool hasLb = lb > -NVRA_PLUSINFINITY, hasUb = ub < NVRA_PLUSINFINITY;
    if (!hasLb && !hasUb) return nvr_model_error("Branch cannot have a free row");
    if (kind != 4 || row.nnz == 1) {
        if (row.nnz != 1) return nvr_model_error("Invalid constraint in addbounds");
        const double a = row.vals[0];
        if (a == 0.0) return nvr_model_error("Coefficient zero in branch");
        double lo = (a > 0 ? lb : ub) / a, hi = (a > 0 ? ub : lb) / a;
        const bool hasLo = a > 0 ? hasLb : hasUb, hasHi = a > 0 ? hasUb : hasLb;
        std::vector<char> type;
        std::vector<double> value;
        if (hasLo && hasHi && lo == hi) {
            type = {'B'}, value = {lo};
        } else {
            if (hasLo) type.push_back('L'), value.push_back(lo);
            if (hasHi) type.push_back('U'), value.push_back(hi);
        }
        const std::vector<int> cols(type.size(), row.cols[0]);
        return boCall(b, NVRA_bo_addbounds, i, static_cast<int>(type.size()), type.data(),
                      cols.data(), value.data());
    }
    // A row, or two for a range: the same coefficients with a lower and an upper side.
    std::vector<char> type;
    std::vector<double> rhs;
    if (hasLb && hasUb && lb == ub) {
        type = {'E'}, rhs = {ub};
    } else {
        if (hasLb) type.push_back('G'), rhs.push_back(lb);
        if (hasUb) type.push_back('L'), rhs.push_back(ub);
    }
    const int n = static_cast<int>(row.nnz), nrows = static_cast<int>(type.size());
    std::vector<int> start, cols;
    std::vector<double> vals;
    for (int r = 0; r < nrows; ++r) {
        start.push_back(r * n);
        cols.insert(cols.end(), row.cols, row.cols + n);
        vals.insert(vals.end(), row.vals, row.vals + n);
    }
    return boCall(b, NVRA_bo_addrows, i, nrows, n * nrows, type.data(), rhs.data(), start.data(),
                  cols.data(), vals.data());
}

int addBranches(branchobj_s *b, PyObject *branches) {
    if (!PyList_Check(branches) && !PyTuple_Check(branches))
        return nvr_model_error("The branches parameter must be a list or a tuple of elements. Each "
                               "element of the list/tuple must be a constraint, a variable bound, "
                               "or a list/tuple thereof.");
    Ref seq = Ref::steal(PySequence_Fast(branches, "branches"));
    if (!seq) return -1;
    const Py_ssize_t n = PySequence_Fast_GET_SIZE(seq.get());
    if (n > INT_MAX) return nvr_model_error("Too many branches");
    if (boCall(b, NVRA_bo_addbranches, static_cast<int>(n)) != 0) return -1;
    char msg[96];
    for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject *branch = PySequence_Fast_GET_ITEM(seq.get(), i);
        if (constraint_Check(branch)) {
            if (addConstraintToBranch(b, static_cast<int>(i), branch) != 0) return -1;
            continue;
        }
        if (!PyList_Check(branch) && !PyTuple_Check(branch)) {
            snprintf(msg, sizeof msg,
                     "Branch %zd is invalid: must be a constraint or tuple/list of constraints", i);
            return nvr_model_error(msg);
        }
        Ref items = Ref::steal(PySequence_Fast(branch, "branch"));
        if (!items) return -1;
        for (Py_ssize_t k = 0; k < PySequence_Fast_GET_SIZE(items.get()); ++k) {
            PyObject *con = PySequence_Fast_GET_ITEM(items.get(), k);
            if (!constraint_Check(con)) {
                snprintf(msg, sizeof msg,
                         "Branch %zd is invalid: must be a tuple/list of constraints", i);
                return nvr_model_error(msg);
            }
            if (addConstraintToBranch(b, static_cast<int>(i), con) != 0) return -1;
        }
    }
    return 0;
}

// ---- type slots ---------------------------------------------------------------------------------

const char kBadCreation[] =
    "Incorrect creation of branching object: must provide a problem and, optionally, a list of "
    "branches and a True/False flag. The flag must be True if the list of branches is provided";

int branchobj_init(PyObject *self, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"prob", "branches", "isoriginal", nullptr};
    PyObject *prob = nullptr, *branches = Py_None, *flag = Py_True;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|OO", const_cast<char **>(kw), &prob,
                                     &branches, &flag) ||
        !problem_Check(prob)) {
        PyErr_Clear();
        return nvr_model_error(kBadCreation);
    }
    const int isoriginal = PyObject_IsTrue(flag);
    if (isoriginal < 0) return -1;
    branchobj_s *b = as_branchobj(self);
    if (release(b) != 0) return -1; // __init__ called again
    problem_s *p = as_problem(prob);
    if (checkProblemIsInitialized(p) != 0) return -1;
    if (branches != Py_None && !isoriginal)
        return nvr_model_error("Cannot define the branches of a branching object if the "
                               "isoriginal flag is false");
    if (NVRA_bo_create(&b->bo, p->prob, isoriginal) != 0) return setNvraErr(p);
    b->problem = Py_NewRef(prob);
    b->isoriginal = isoriginal;
    if (branches == Py_None) return 0;
    if (warnDeprec(9, 5,
                   "branches given to the branching object's constructor; use addbranches, "
                   "addbounds and addrows") != 0 ||
        addBranches(b, branches) != 0) {
        AutoSavedException keep;
        release(b);
        return -1;
    }
    return 0;
}

void branchobj_dealloc(PyObject *self) {
    {
        AutoSavedException keep;
        if (release(as_branchobj(self)) != 0) PyErr_WriteUnraisable(self);
    }
    Py_TYPE(self)->tp_free(self);
}

// ---- methods ------------------------------------------------------------------------------------

// The problem the object's columns refer to, or null with an exception when the object is
// empty.
problem_s *columnsOf(branchobj_s *b) {
    if (b->bo && b->problem) return ownerOf(b);
    nvr_raise(nvy_interf_exc,
              "The branching object has been stored or freed: it holds no branches");
    return nullptr;
}

PyObject *noneOr(int rc) {
    if (rc != 0) return nullptr;
    Py_RETURN_NONE;
}

PyObject *bo_enter(PyObject *self, PyObject *) {
    return Py_NewRef(self);
}

PyObject *bo_exit(PyObject *self, PyObject *) {
    return noneOr(release(as_branchobj(self)));
}

PyObject *bo_addbranches(PyObject *self, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"nbranches", nullptr};
    int n = 0;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "i", kw, nullptr, &n)) return nullptr;
    return noneOr(boCall(as_branchobj(self), NVRA_bo_addbranches, n));
}

PyObject *bo_addbounds(PyObject *self, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"branch", "bndtype", "colind", "bndval", nullptr};
    static const char *const oldkw[] = {"ibranch", "bndtype", "bndcol", "bndval", nullptr};
    int branch = 0;
    PyObject *types, *cols, *vals;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "iOOO", kw, oldkw, &branch, &types, &cols, &vals))
        return nullptr;
    branchobj_s *b = as_branchobj(self);
    problem_s *p = columnsOf(b);
    int64_t n = -1;
    ConvArray<kElemChar> t;
    ConvArray<kElemCol> c;
    ConvArray<kElemDouble> v;
    if (!p || conv_obj2arr(p, &n, types, t, "bndtype") != 0 ||
        conv_obj2arr(p, &n, cols, c, "colind") != 0 || conv_obj2arr(p, &n, vals, v, "bndval") != 0)
        return nullptr;
    return noneOr(boCall(b, NVRA_bo_addbounds, branch, static_cast<int>(std::max<int64_t>(n, 0)),
                         t.get(), c.get(), v.get()));
}

PyObject *bo_addrows(PyObject *self, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"branch", "rowtype", "rhs",  "start",
                                     "colind", "rowcoef", nullptr};
    static const char *const oldkw[] = {"ibranch", "rtype", "rhs", "beg", "mcol", "val", nullptr};
    int branch = 0;
    PyObject *types, *rhs, *start, *cols, *coefs;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "iOOOOO", kw, oldkw, &branch, &types, &rhs, &start,
                                   &cols, &coefs))
        return nullptr;
    branchobj_s *b = as_branchobj(self);
    problem_s *p = columnsOf(b);
    int64_t nrows = -1, ncoefs = -1;
    ConvArray<kElemChar> t;
    ConvArray<kElemDouble> r, v;
    ConvArray<kElemInt> s;
    ConvArray<kElemCol> c;
    if (!p || conv_obj2arr(p, &nrows, types, t, "rowtype") != 0 ||
        conv_obj2arr(p, &nrows, rhs, r, "rhs") != 0 ||
        conv_obj2arr(p, &nrows, start, s, "start") != 0 ||
        conv_obj2arr(p, &ncoefs, cols, c, "colind") != 0 ||
        conv_obj2arr(p, &ncoefs, coefs, v, "rowcoef") != 0)
        return nullptr;
    return noneOr(boCall(b, NVRA_bo_addrows, branch, static_cast<int>(std::max<int64_t>(nrows, 0)),
                         static_cast<int>(std::max<int64_t>(ncoefs, 0)), t.get(), r.get(), s.get(),
                         c.get(), v.get()));
}

PyObject *bo_addcuts(PyObject *self, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"branch", "cutind", nullptr};
    static const char *const oldkw[] = {"ibranch", "cutind", nullptr};
    int branch = 0;
    PyObject *cuts;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "iO", kw, oldkw, &branch, &cuts)) return nullptr;
    branchobj_s *b = as_branchobj(self);
    problem_s *p = columnsOf(b);
    int64_t n = -1;
    ConvArray<kElemPoolCut> c;
    if (!p || conv_obj2arr(p, &n, cuts, c, "cutind") != 0) return nullptr;
    return noneOr(boCall(b, NVRA_bo_addcuts, branch, static_cast<int>(std::max<int64_t>(n, 0)),
                         reinterpret_cast<const NVRAcut *>(c.get())));
}

PyObject *bo_getbounds(PyObject *self, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"branch", "maxbounds", "bndtype", "colind", "bndval", nullptr};
    static const char *const oldkw[] = {"ibranch", "nbounds_size", "bndtype",
                                        "bndcol",  "bndval",       nullptr};
    int branch = 0, maxbounds = 0;
    PyObject *types = Py_None, *cols = Py_None, *vals = Py_None;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "ii|OOO", kw, oldkw, &branch, &maxbounds, &types,
                                   &cols, &vals))
        return nullptr;
    branchobj_s *b = as_branchobj(self);
    problem_s *p = columnsOf(b);
    if (!p) return nullptr;
    if (maxbounds < 0) {
        nvr_raise(nvy_interf_exc, "maxbounds must not be negative");
        return nullptr;
    }
    LibArray<char> t;
    LibArray<int> c;
    LibArray<double> v;
    int n = 0;
    const size_t size = static_cast<size_t>(std::max(maxbounds, 1));
    if (t.alloc(size) != 0 || c.alloc(size) != 0 || v.alloc(size) != 0 ||
        boCall(b, NVRA_bo_getbounds, branch, &n, maxbounds, t.get(), c.get(), v.get()) != 0)
        return nullptr;
    const int64_t got = std::min(n, maxbounds);
    if (conv_arr2obj<kElemChar>(p, got, t.get(), types) != 0 ||
        conv_arr2obj<kElemCol>(p, got, c.get(), cols) != 0 ||
        conv_arr2obj<kElemDouble>(p, got, v.get(), vals) != 0)
        return nullptr;
    return PyLong_FromLong(n);
}

PyObject *bo_getrows(PyObject *self, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"branch", "maxrows", "maxcoefs", "rowtype", "rhs",
                                     "start",  "colind",  "rowcoef",  nullptr};
    static const char *const oldkw[] = {"ibranch", "nrows_size", "nelems_size", "rtype", "rrhs",
                                        "rbeg",    "mcol",       "dval",        nullptr};
    int branch = 0, maxrows = 0, maxcoefs = 0;
    PyObject *types = Py_None, *rhs = Py_None, *start = Py_None, *cols = Py_None, *coefs = Py_None;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "iii|OOOOO", kw, oldkw, &branch, &maxrows,
                                   &maxcoefs, &types, &rhs, &start, &cols, &coefs))
        return nullptr;
    branchobj_s *b = as_branchobj(self);
    problem_s *p = columnsOf(b);
    if (!p) return nullptr;
    if (maxrows < 0 || maxcoefs < 0) {
        nvr_raise(nvy_interf_exc, "maxrows and maxcoefs must not be negative");
        return nullptr;
    }
    LibArray<char> t;
    LibArray<double> r, v;
    LibArray<int> s, c;
    int nrows = 0, ncoefs = 0;
    const size_t rowSize = static_cast<size_t>(maxrows) + 1,
                 coefSize = static_cast<size_t>(std::max(maxcoefs, 1));
    if (t.alloc(rowSize) != 0 || r.alloc(rowSize) != 0 || s.alloc(rowSize) != 0 ||
        c.alloc(coefSize) != 0 || v.alloc(coefSize) != 0 ||
        boCall(b, NVRA_bo_getrows, branch, &nrows, maxrows, &ncoefs, maxcoefs, t.get(), r.get(),
               s.get(), c.get(), v.get()) != 0)
        return nullptr;
    const int64_t rows = std::min(nrows, maxrows), elems = std::min(ncoefs, maxcoefs);
    const int64_t starts = maxrows > 0 ? rows + 1 : 0; // what the library wrote
    if (conv_arr2obj<kElemChar>(p, rows, t.get(), types) != 0 ||
        conv_arr2obj<kElemDouble>(p, rows, r.get(), rhs) != 0 ||
        conv_arr2obj<kElemInt>(p, starts, s.get(), start) != 0 ||
        conv_arr2obj<kElemCol>(p, elems, c.get(), cols) != 0 ||
        conv_arr2obj<kElemDouble>(p, elems, v.get(), coefs) != 0)
        return nullptr;
    Py_RETURN_NONE;
}

PyObject *bo_getbranches(PyObject *self, PyObject *) {
    branchobj_s *b = as_branchobj(self);
    int n = 0;
    if (b->bo && boCall(b, NVRA_bo_getbranches, &n) != 0) return nullptr;
    return PyLong_FromLong(n);
}

PyObject *bo_getid(PyObject *self, PyObject *) {
    branchobj_s *b = as_branchobj(self);
    if (!b->bo) Py_RETURN_NONE;
    int id = 0;
    if (boCall(b, NVRA_bo_getid, &id) != 0) return nullptr;
    return PyLong_FromLong(id);
}

PyObject *bo_getlasterror(PyObject *self, PyObject *) {
    branchobj_s *b = as_branchobj(self);
    int code = 0;
    char msg[2048] = "";
    if (boCall(b, NVRA_bo_getlasterror, &code, msg, static_cast<int>(sizeof msg),
               static_cast<int *>(nullptr)) != 0)
        return nullptr;
    return Py_BuildValue("(is)", code, msg);
}

// setpriority(priority) and setpreferredbranch(branch): one int to the library.
template <int (*Fn)(NVRAbranchobject, int), const char *Name, const char *OldName>
PyObject *bo_setint(PyObject *self, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {Name, nullptr};
    static const char *const oldkw[] = {OldName, nullptr};
    int v = 0;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "i", kw, oldkw, &v)) return nullptr;
    return noneOr(boCall(as_branchobj(self), Fn, v));
}
constexpr char kPriority[] = "priority", kBranch[] = "branch", kIBranch[] = "ibranch";

PyObject *bo_validate(PyObject *self, PyObject *) {
    int status = 0;
    if (boCall(as_branchobj(self), NVRA_bo_validate, &status) != 0) return nullptr;
    return PyLong_FromLong(status);
}

// store(): hands the object to the library, which owns it from then on.
PyObject *bo_store(PyObject *self, PyObject *) {
    branchobj_s *b = as_branchobj(self);
    int status = 0;
    if (boCall(b, NVRA_bo_store, &status) != 0) return nullptr;
    b->bo = nullptr;
    return PyLong_FromLong(status);
}

PyMethodDef branchobj_methods[] = {
    {"__enter__", bo_enter, METH_NOARGS, PyDoc_STR("with branchobj(...) as b: ...")},
    {"__exit__", bo_exit, METH_VARARGS,
     PyDoc_STR("frees a branching object not handed to the library at the end of a with block")},
    {"addbranches", nvr_method(bo_addbranches), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("addbranches(nbranches): appends nbranches empty branches")},
    {"addbounds", nvr_method(bo_addbounds), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("addbounds(branch, bndtype, colind, bndval): bounds ('L', 'U', 'B') on columns "
               "in a branch")},
    {"addrows", nvr_method(bo_addrows), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("addrows(branch, rowtype, rhs, start, colind, rowcoef): rows ('L', 'G', 'E') in "
               "a branch, row k having the entries start[k] up to start[k+1]")},
    {"addcuts", nvr_method(bo_addcuts), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("addcuts(branch, cutind): cuts of the cut pool (nivra.poolcut) in a branch")},
    {"getbounds", nvr_method(bo_getbounds), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("getbounds(branch, maxbounds, bndtype=None, colind=None, bndval=None): the bounds "
               "of a branch, at most maxbounds of them, into the lists given; returns their "
               "number")},
    {"getrows", nvr_method(bo_getrows), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("getrows(branch, maxrows, maxcoefs, rowtype=None, rhs=None, start=None, "
               "colind=None, rowcoef=None): the rows of a branch into the lists given")},
    {"getbranches", bo_getbranches, METH_NOARGS,
     PyDoc_STR("getbranches(): the number of branches (0 once stored or freed)")},
    {"getid", bo_getid, METH_NOARGS,
     PyDoc_STR("getid(): the object's identifier, or None once stored or freed")},
    {"getlasterror", bo_getlasterror, METH_NOARGS,
     PyDoc_STR("getlasterror(): (code, message) of the last failure")},
    {"setpriority", nvr_method(bo_setint<NVRA_bo_setpriority, kPriority, kPriority>),
     METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("setpriority(priority): its priority among branching candidates (lower first)")},
    {"setpreferredbranch", nvr_method(bo_setint<NVRA_bo_setpreferredbranch, kBranch, kIBranch>),
     METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("setpreferredbranch(branch): the branch to explore first")},
    {"store", bo_store, METH_NOARGS,
     PyDoc_STR("store(): hands the object to the search; returns the library's status")},
    {"validate", bo_validate, METH_NOARGS,
     PyDoc_STR("validate(): checks the object against the problem; returns the status (0 valid, "
               "1 no branches, 2 an empty branch, 3 a column that no longer exists)")},
    {nullptr, nullptr, 0, nullptr},
};

PyObject *bo_isoriginal(PyObject *self, void *) {
    return PyBool_FromLong(as_branchobj(self)->isoriginal);
}

PyGetSetDef branchobj_getset[] = {
    {"isoriginal", bo_isoriginal, nullptr,
     PyDoc_STR("True when the column indices refer to the problem as built"), nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

} // namespace

PyTypeObject branchobj_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.branchobj",
    .tp_basicsize = sizeof(branchobj_s),
    .tp_dealloc = branchobj_dealloc,
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("branchobj(prob, branches=None, isoriginal=True)\n\nA branching "
                        "decision: branches of column bounds, rows and pool cuts"),
    .tp_methods = branchobj_methods,
    .tp_getset = branchobj_getset,
    .tp_init = branchobj_init,
    .tp_new = PyType_GenericNew,
};
