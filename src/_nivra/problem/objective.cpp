// problem/objective.cpp: problem methods setObjective and addObjective, and the objective
// controls (priority, weight, tolerances, constant) of each objective.
#include "objective.h"

#include <strings.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <iterator>

#include "model/expression.h"
#include "model/operand.h"
#include "runtime/alloc.h"
#include "runtime/args.h"
#include "runtime/env.h"
#include "runtime/ref.h"
#include "runtime/npy.h"
#include "numeric/walker.h"
#include "problem/constraints.h"
#include "problem/convert.h"
#include "problem/methods.h"
#include "problem/general.h"
#include "problem/objtransfer.h"
#include "problem/problib.h"

namespace {

constexpr const char *kMultiObjectiveQuadratic =
    "Quadratic and nonlinear objectives are not supported in multi-objective problems";

// The objective controls, by library id from 20001 on.
struct ObjControl {
    const char *name;
    int id;
    bool integer;
};
constexpr ObjControl kObjControls[] = {
    {"priority", NVRA_OBJCONTROL_PRIORITY, true}, {"weight", NVRA_OBJCONTROL_WEIGHT, false},
    {"abstol", NVRA_OBJCONTROL_ABSTOL, false},    {"reltol", NVRA_OBJCONTROL_RELTOL, false},
    {"rhs", NVRA_OBJCONTROL_RHS, false},
};

// The optional objective controls given with an objective (None when absent; borrowed).
struct ObjOptions {
    PyObject *priority = Py_None;
    PyObject *weight = Py_None;
    PyObject *abstol = Py_None;
    PyObject *reltol = Py_None;
};

// "O&" converter: None, or any object with a float value (the object is kept).
int floatOrNone(PyObject *o, void *out) {
    if (o != Py_None) {
        const double v = PyFloat_AsDouble(o);
        if (v == -1.0 && PyErr_Occurred()) return 0;
    }
    *static_cast<PyObject **>(out) = o;
    return 1;
}

int setIntControl(problem_s *p, int objidx, int id, PyObject *value) {
    int overflow = 0;
    const long v = PyLong_AsLongAndOverflow(value, &overflow);
    if (v == -1 && PyErr_Occurred()) return -1;
    if (overflow || v < INT_MIN || v > INT_MAX)
        return nvr_raise(nvy_model_exc, "Objective priority out of range");
    return problem_call(p, NVRAsetobjintcontrol, "NVRAsetobjintcontrol", objidx, id,
                        static_cast<int>(v));
}

int setDblControl(problem_s *p, int objidx, int id, PyObject *value) {
    const double v = PyFloat_AsDouble(value);
    if (v == -1.0 && PyErr_Occurred()) return -1;
    return problem_call(p, NVRAsetobjdblcontrol, "NVRAsetobjdblcontrol", objidx, id, v);
}

// Sets the options that are not None on objective objidx, in the order priority, weight,
// abstol, reltol. 0 or -1.
int applyOptions(problem_s *p, int objidx, const ObjOptions &o) {
    if (o.priority != Py_None &&
        setIntControl(p, objidx, NVRA_OBJCONTROL_PRIORITY, o.priority) != 0)
        return -1;
    const struct {
        PyObject *value;
        int id;
    } dbl[] = {{o.weight, NVRA_OBJCONTROL_WEIGHT},
               {o.abstol, NVRA_OBJCONTROL_ABSTOL},
               {o.reltol, NVRA_OBJCONTROL_RELTOL}};
    for (const auto &d : dbl)
        if (d.value != Py_None && setDblControl(p, objidx, d.id, d.value) != 0) return -1;
    return 0;
}

// ---- the transfer of one objective -----------------------------------------------------------

struct TransferContext {
    problem_s *p;
    int objidx; // index of the first objective written
    ObjOptions options;
    int count = 0; // objectives written so far
};

int numColumns(problem_s *p, int *ncols) {
    return problem_intAttrib(p, NVRA_ATTR_ORIGINALCOLS, ncols);
}

// Objective i >= 1 of a multi-objective problem: linear only. 0 or -1.
int transferSecondary(problem_s *p, int i, PyObject *obj) {
    if (exprKindOf(obj) == kNonlinear) return nvr_raise(nvy_model_exc, kMultiObjectiveQuadratic);
    OwnedExprRow row;
    if (convertExpr(p, obj, &row, true) != 0) return -1;
    int qelems = 0;
    if (problem_intAttrib(p, NVRA_ATTR_QELEMS, &qelems) != 0) return -1;
    if (row.nq > 0 || qelems >= 1 || p->nl_objective)
        return nvr_raise(nvy_model_exc, kMultiObjectiveQuadratic);
    int ncols = 0;
    if (numColumns(p, &ncols) != 0) return -1;
    LibArray<int> all(static_cast<size_t>(ncols));
    LibArray<double> zeros(static_cast<size_t>(ncols));
    if (ncols > 0 && (!all || !zeros)) return -1;
    for (int j = 0; j < ncols; ++j)
        all[j] = j, zeros[j] = 0.0;
    if (problem_call(p, NVRAchgobjn, "NVRAchgobjn", i, ncols, all.get(), zeros.get()) != 0)
        return -1;
    if (row.nnz > 0 && problem_call(p, NVRAchgobjn, "NVRAchgobjn", i, static_cast<int>(row.nnz),
                                    row.cols, row.vals) != 0)
        return -1;
    return problem_call(p, NVRAsetobjdblcontrol, "NVRAsetobjdblcontrol", i, NVRA_OBJCONTROL_RHS,
                        row.constant);
}

// The quadratic objective over ncols columns in the library's column-wise form: column j
// holds the elements (j, cols[k]) for k in start[j] .. start[j+1]-1.
struct ObjQuadratic {
    int n = 0;
    LibArray<int> start, cols;
    LibArray<double> values;
};

// Reads the quadratic objective into q. 0 or -1.
int readQuadratic(problem_s *p, int ncols, ObjQuadratic &q) {
    if (problem_call(p, NVRAgetmqobj, "NVRAgetmqobj", nullptr, nullptr, nullptr, 0, &q.n, 0,
                     ncols - 1) != 0)
        return -1;
    if (q.n == 0) return 0;
    const auto n = static_cast<size_t>(q.n);
    if (q.start.alloc(static_cast<size_t>(ncols) + 1) != 0 || q.cols.alloc(n) != 0 ||
        q.values.alloc(n) != 0)
        return -1;
    return problem_call(p, NVRAgetmqobj, "NVRAgetmqobj", q.start.get(), q.cols.get(),
                        q.values.get(), q.n, &q.n, 0, ncols - 1);
}

// Clears objective 0: constant, linear coefficients and quadratic elements. 0 or -1.
int clearObjective(problem_s *p, int ncols) {
    const int minusOne = -1;
    const double zero = 0.0;
    if (problem_call(p, NVRAchgobj, "NVRAchgobj", 1, &minusOne, &zero) != 0) return -1;
    if (ncols == 0) return 0;
    LibArray<int> all(static_cast<size_t>(ncols));
    LibArray<double> zeros(static_cast<size_t>(ncols));
    if (!all || !zeros) return -1;
    for (int j = 0; j < ncols; ++j)
        all[j] = j, zeros[j] = 0.0;
    if (problem_call(p, NVRAchgobj, "NVRAchgobj", ncols, all.get(), zeros.get()) != 0) return -1;
    ObjQuadratic q;
    if (readQuadratic(p, ncols, q) != 0) return -1;
    if (q.n == 0) return 0;
    LibArray<int> col1(static_cast<size_t>(q.n));
    if (!col1) return -1;
    for (int j = 0; j < ncols; ++j)
        for (int k = q.start[j]; k < q.start[j + 1]; ++k)
            col1[k] = j, q.values[k] = 0.0;
    return problem_call(p, NVRAchgmqobj, "NVRAchgmqobj", q.n, col1.get(), q.cols.get(),
                        q.values.get());
}

int addAuxiliary(PyObject *constraint, void *p) {
    Ref args = Ref::steal(PyTuple_Pack(1, constraint));
    return args ? problem_addConstraint(static_cast<problem_s *>(p), args.get()) : -1;
}

int transferMain(problem_s *p, PyObject *obj);

// Objective 0 with its max, min, abs, And, Or and pwl nodes as variables of general
// constraints; a failure takes them back. 0 or -1.
int transferGeneral(problem_s *p, PyObject *obj) {
    GeneralMark mark;
    Ref rewritten = Ref::steal(problem_rewriteGeneral(p, obj, mark, addAuxiliary, p));
    if (rewritten && transferMain(p, rewritten.get()) == 0) return 0;
    problem_undoGeneral(p, mark);
    return -1;
}

// The library refuses infinite and NaN coefficients; they are caught before anything changes.
bool allFinite(const ExprRow &row) {
    auto finite = [](const double *v, uint64_t n) {
        return std::all_of(v, v + n, [](double x) { return std::isfinite(x); });
    };
    return std::isfinite(row.constant) && finite(row.vals, row.nnz) && finite(row.qvals, row.nq);
}

// Objective 0: replaces the objective of the optimizer problem. The new objective is converted
// (its nonlinear summands into formulas, checked by the library with the new transfer row)
// before the old one is cleared, so that an objective that cannot be converted changes
// nothing. 0 or -1.
int transferMain(problem_s *p, PyObject *obj) {
    int nobj = 0;
    if (problem_intAttrib(p, NVRA_ATTR_OBJECTIVES, &nobj) != 0) return -1;
    const bool nonlinear = exprKindOf(obj) == kNonlinear;
    if (nonlinear && nobj >= 2) return nvr_raise(nvy_model_exc, kMultiObjectiveQuadratic);
    if (nonlinear && !p->nlprob)
        return nvr_raise(nvy_interf_exc, "Nonlinear objectives need the nonlinear solver, which "
                                         "is not available");
    OwnedExprRow row;
    FormulaPieces pieces;
    row.pieces = &pieces;
    if (convertExpr(p, obj, &row, true) != 0) return -1;
    if (row.nq > 0 && nobj >= 2) return nvr_raise(nvy_model_exc, kMultiObjectiveQuadratic);
    if (!allFinite(row))
        return nvr_raise(nvy_model_exc, "Objective coefficients and constant must be finite");
    if (check_nl_unconstruct(p) != 0) {
        setNvraErr(p);
        return -1;
    }
    int ncols = 0;
    if (objtransfer_replace(p, pieces) != 0 || numColumns(p, &ncols) != 0 ||
        clearObjective(p, ncols) != 0 || objtransfer_activate(p) != 0)
        return -1;
    if (row.constant != 0.0) {
        const int minusOne = -1;
        const double rhs = -row.constant;
        if (problem_call(p, NVRAchgobj, "NVRAchgobj", 1, &minusOne, &rhs) != 0) return -1;
    }
    if (row.nnz > 0 && problem_call(p, NVRAchgobj, "NVRAchgobj", static_cast<int>(row.nnz),
                                    row.cols, row.vals) != 0)
        return -1;
    if (row.nq > 0 &&
        problem_call(p, NVRAchgmqobj64, "NVRAchgmqobj64", static_cast<int64_t>(row.nq), row.qcols1,
                     row.qcols2, row.qvals) != 0)
        return -1;
    return 0;
}

// The per-leaf step of setObjective and addObjective.
int transferObjective(PyObject *obj, void *ctxp) {
    auto *ctx = static_cast<TransferContext *>(ctxp);
    problem_s *p = ctx->p;
    if (exprKindOf(obj) < 0) return nvr_raise(nvy_model_exc, "Invalid object set as objective");
    const int i = ctx->objidx + ctx->count;
    if ((i >= 1 ? transferSecondary(p, i, obj) : transferGeneral(p, obj)) != 0) return -1;
    if (applyOptions(p, i, ctx->options) != 0) return -1;
    ++ctx->count;
    return 0;
}

// The single objective that setObjective accepts from an array, list or tuple. New reference,
// or null with ModelError.
PyObject *singleObjective(PyObject *objective) {
    if (PyArray_Check(objective)) {
        if (PyArray_SIZE(reinterpret_cast<PyArrayObject *>(objective)) == 1)
            return PyObject_CallMethod(objective, "item", nullptr);
    } else if (PyList_Check(objective) || PyTuple_Check(objective)) {
        if (PySequence_Fast_GET_SIZE(objective) == 1)
            return Py_NewRef(PySequence_Fast_GET_ITEM(objective, 0));
    } else {
        return Py_NewRef(objective);
    }
    PyErr_SetString(nvy_model_exc,
                    "Use addObjective to add more than one objective to the problem");
    return nullptr;
}

// Reads sense (1 or -1) and, for a secondary objective, checks that it is the problem's.
// 0 or -1.
int checkSense(problem_s *p, int objidx, PyObject *senseObj, int *sense) {
    const long v = PyLong_AsLong(senseObj);
    if (v == -1 && PyErr_Occurred()) return -1;
    if (v != 1 && v != -1) {
        PyErr_Format(nvy_model_exc, "Invalid optimization sense: %ld", v);
        return -1;
    }
    *sense = static_cast<int>(v);
    if (objidx == 0) return 0;
    double current = 0.0;
    if (problem_call(p, NVRAgetdblattrib, "NVRAgetdblattrib", NVRA_ATTR_OBJSENSE, &current) != 0)
        return -1;
    if (current != static_cast<double>(v))
        return nvr_raise(nvy_model_exc, "All objectives must have the same sense. To use the "
                                        "opposite sense for secondary objectives, set the weight "
                                        "to -1.");
    return 0;
}

// The sense of objective 0, for the optimizer and the nonlinear solver. 0 or -1.
int changeSense(problem_s *p, int sense) {
    if (problem_call(p, NVRAchgobjsense, "NVRAchgobjsense", sense) != 0) return -1;
    return p->nlprob ? problem_call(p, NSLPsetdblcontrol, "NSLPsetdblcontrol",
                                    NSLP_CONTROL_OBJSENSE, static_cast<double>(sense))
                     : 0;
}

PyObject *problem_setObjective(PyObject *self, PyObject *args, PyObject *kwargs) {
    auto *p = as_problem(self);
    static const char *const kw[] = {"objective", "sense",  "objidx", "priority",
                                     "weight",    "abstol", "reltol", nullptr};
    PyObject *objective = Py_None, *sense = nullptr;
    int objidx = 0;
    ObjOptions o;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "|OO!iO!O&O&O&", kw, nullptr, &objective,
                                   &PyLong_Type, &sense, &objidx, &PyLong_Type, &o.priority,
                                   floatOrNone, &o.weight, floatOrNone, &o.abstol, floatOrNone,
                                   &o.reltol))
        return nullptr;
    if (checkProblemIsInitialized(p) != 0) return nullptr;
    if (objidx < 0) return nvr_raise(nvy_model_exc, "Invalid objective index"), nullptr;
    Ref single;
    if (objective != Py_None && !(single = Ref::steal(singleObjective(objective)))) return nullptr;
    int senseValue = 0;
    if (sense && checkSense(p, objidx, sense, &senseValue) != 0) return nullptr;
    TransferContext ctx{p, objidx, o};
    const int rc =
        single ? for_each_nested_object(single.get(), transferObjective, &ctx, kNestingDepth)
               : applyOptions(p, objidx, o);
    if (rc != 0) return nullptr;
    // The sense of objective 0 changes once the objective itself is in place.
    if (sense && objidx == 0 && changeSense(p, senseValue) != 0) return nullptr;
    Py_RETURN_NONE;
}

// The index of the first objective that addObjective writes: 0 while the problem has one
// objective with no coefficient and no quadratic element, else the number of objectives.
// 0 or -1.
int firstAddedObjective(problem_s *p, int *start) {
    int nobj = 0, qelems = 0;
    if (problem_intAttrib(p, NVRA_ATTR_OBJECTIVES, &nobj) != 0 ||
        problem_intAttrib(p, NVRA_ATTR_QELEMS, &qelems) != 0)
        return -1;
    *start = nobj;
    if (nobj != 1 || qelems != 0) return 0;
    int ncols = 0;
    if (problem_intAttrib(p, NVRA_ATTR_COLS, &ncols) != 0) return -1;
    LibArray<double> coefs(static_cast<size_t>(ncols));
    if (ncols > 0) {
        if (!coefs) return -1;
        if (problem_call(p, NVRAgetobj, "NVRAgetobj", coefs.get(), 0, ncols - 1) != 0) return -1;
    }
    for (int j = 0; j < ncols; ++j)
        if (coefs[j] != 0.0) return 0;
    *start = 0;
    return 0;
}

int addObjectives(problem_s *p, PyObject *args, const ObjOptions &o) {
    if (checkProblemIsInitialized(p) != 0) return -1;
    TransferContext ctx{p, 0, o};
    if (firstAddedObjective(p, &ctx.objidx) != 0) return -1;
    return for_each_nested_object(args, transferObjective, &ctx, kNestingDepth) == 0 ? 0 : -1;
}

PyObject *problem_addObjective_method(PyObject *self, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"priority", "weight", "abstol", "reltol", nullptr};
    ObjOptions o;
    if (!parseKeywordArgs(kwargs, "|O!O&O&O&", kw, &PyLong_Type, &o.priority, floatOrNone,
                          &o.weight, floatOrNone, &o.abstol, floatOrNone, &o.reltol))
        return nullptr;
    if (addObjectives(as_problem(self), args, o) != 0) return nullptr;
    Py_RETURN_NONE;
}

// ---- objective 0 read back ---------------------------------------------------------------------

// The variable of column col. Borrowed, or null with InterfaceError.
PyObject *columnVariable(problem_s *p, int col) {
    if (col >= 0 && col < PyList_GET_SIZE(p->vars)) return PyList_GET_ITEM(p->vars, col);
    PyErr_Format(nvy_interf_exc,
                 "The objective refers to column %d, but the problem has %d variables", col,
                 static_cast<int>(PyList_GET_SIZE(p->vars)));
    return nullptr;
}

// Adds the linear coefficients of objective 0 (all columns but skip) to e. 0 or -1.
int addObjLinear(problem_s *p, PyObject *e, int ncols, int skip) {
    LibArray<double> coefs(static_cast<size_t>(ncols));
    if (!coefs || problem_call(p, NVRAgetobj, "NVRAgetobj", coefs.get(), 0, ncols - 1) != 0)
        return -1;
    for (int j = 0; j < ncols; ++j) {
        if (j == skip || coefs[j] == 0.0) continue;
        PyObject *x = columnVariable(p, j);
        if (!x || expression_addToLinTerm(e, x, coefs[j]) != 0) return -1;
    }
    return 0;
}

// Adds 0.5 x'Qx of objective 0 to e: a diagonal element v gives 0.5·v·x², an off-diagonal one
// v·x·y. 0 or -1.
int addObjQuadratic(problem_s *p, PyObject *e, int ncols) {
    ObjQuadratic q;
    if (readQuadratic(p, ncols, q) != 0) return -1;
    for (int j = 0; q.n > 0 && j < ncols; ++j)
        for (int k = q.start[j]; k < q.start[j + 1]; ++k) {
            PyObject *u = columnVariable(p, j);
            PyObject *v = u ? columnVariable(p, q.cols[k]) : nullptr;
            const double c = j == q.cols[k] ? 0.5 * q.values[k] : q.values[k];
            if (!v || expression_addToQuadTerm(e, u, v, c) != 0) return -1;
        }
    return 0;
}

// Objective 0 as a model object: its constant, linear and quadratic parts, and the formulas of
// a nonlinear objective (its transfer column left out). New reference or null.
PyObject *readObjective(problem_s *p) {
    int ncols = 0, transfer = -1;
    double rhs = 0.0;
    if (numColumns(p, &ncols) != 0 || objtransfer_column(p, &transfer) != 0 ||
        problem_call(p, NVRAgetobj, "NVRAgetobj", &rhs, -1, -1) != 0)
        return nullptr;
    Ref e = Ref::steal(expression_base());
    if (!e) return nullptr;
    as_expression(e.get())->constant = -rhs;
    if (ncols > 0 &&
        (addObjLinear(p, e.get(), ncols, transfer) != 0 || addObjQuadratic(p, e.get(), ncols) != 0))
        return nullptr;
    return objtransfer_read(p, e) != 0 ? nullptr : e.release();
}

PyObject *problem_getObjective(PyObject *self, PyObject *) {
    auto *p = as_problem(self);
    return checkProblemIsInitialized(p) != 0 ? nullptr : readObjective(p);
}

// ---- objective controls by key ----------------------------------------------------------------

// The objective control named by key (an id or a case-insensitive name). Null with
// InterfaceError when there is none.
const ObjControl *findObjControl(PyObject *key) {
    if (PyLong_Check(key)) {
        const long id = PyLong_AsLong(key);
        if (id == -1 && PyErr_Occurred()) return nullptr;
        for (const ObjControl &c : kObjControls)
            if (c.id == id) return &c;
        PyErr_Format(nvy_interf_exc, "Invalid objective control id: %ld", id);
        return nullptr;
    }
    if (PyUnicode_Check(key)) {
        const char *name = PyUnicode_AsUTF8(key);
        if (!name) return nullptr;
        for (const ObjControl &c : kObjControls)
            if (strcasecmp(c.name, name) == 0) return &c;
        PyErr_Format(nvy_interf_exc, "Invalid objective control: %s", name);
        return nullptr;
    }
    PyErr_SetString(nvy_interf_exc, "Expected a string control name or integer id");
    return nullptr;
}

PyObject *getObjControl(problem_s *p, int objidx, PyObject *key) {
    const ObjControl *c = findObjControl(key);
    if (!c) return nullptr;
    if (c->integer) {
        int v = 0;
        if (problem_call(p, NVRAgetobjintcontrol, "NVRAgetobjintcontrol", objidx, c->id, &v) != 0)
            return nullptr;
        return PyLong_FromLong(v);
    }
    double v = 0.0;
    if (problem_call(p, NVRAgetobjdblcontrol, "NVRAgetobjdblcontrol", objidx, c->id, &v) != 0)
        return nullptr;
    return PyFloat_FromDouble(v);
}

int setObjControl(problem_s *p, int objidx, PyObject *key, PyObject *value) {
    const ObjControl *c = findObjControl(key);
    if (!c) return -1;
    const bool typeOk = c->integer ? PyLong_Check(value) : PyFloat_Check(value);
    if (!typeOk) {
        PyErr_Format(nvy_model_exc,
                     c->integer ? "Control %R requires an integer value"
                                : "Control %R requires a float value",
                     key);
        return -1;
    }
    return c->integer ? setIntControl(p, objidx, c->id, value)
                      : setDblControl(p, objidx, c->id, value);
}

// objidx as a non-negative int. 0 or -1 with ModelError.
int objectiveIndex(PyObject *objidx, int *out) {
    const long v = PyLong_Check(objidx) ? PyLong_AsLong(objidx) : -1;
    if (v < 0 || v > INT_MAX) {
        PyErr_Clear();
        return nvr_raise(nvy_model_exc, "Invalid objective index");
    }
    *out = static_cast<int>(v);
    return 0;
}

// {key: value} for every key yielded by keys (an iterable). New reference or null.
PyObject *objControlDict(problem_s *p, int objidx, PyObject *keys) {
    Ref it = Ref::steal(PyObject_GetIter(keys));
    Ref d = Ref::steal(PyDict_New());
    if (!it || !d) return nullptr;
    while (Ref key = Ref::steal(PyIter_Next(it.get()))) {
        Ref value = Ref::steal(getObjControl(p, objidx, key.get()));
        if (!value || PyDict_SetItem(d.get(), key.get(), value.get()) != 0) return nullptr;
    }
    return PyErr_Occurred() ? nullptr : d.release();
}

} // namespace

// ---- functions for other files ------------------------------------------------------------------

int problem_addObjective(problem_s *p, PyObject *args) {
    return addObjectives(p, args, ObjOptions{});
}

PyObject *problem_getObjControls(problem_s *p, PyObject *keys, PyObject *objidx) {
    int index;
    if (objectiveIndex(objidx, &index) != 0 || checkProblemIsInitialized(p) != 0) return nullptr;
    const Py_ssize_t n = PyTuple_GET_SIZE(keys);
    if (n == 0) {
        Ref names = Ref::steal(PyTuple_New(std::size(kObjControls)));
        if (!names) return nullptr;
        for (size_t k = 0; k < std::size(kObjControls); ++k) {
            PyObject *name = PyUnicode_FromString(kObjControls[k].name);
            if (!name) return nullptr;
            PyTuple_SET_ITEM(names.get(), static_cast<Py_ssize_t>(k), name);
        }
        return objControlDict(p, index, names.get());
    }
    if (n > 1) return objControlDict(p, index, keys);
    PyObject *key = PyTuple_GET_ITEM(keys, 0);
    const bool text = PyUnicode_Check(key) || PyBytes_Check(key);
    if (!text && (PySequence_Check(key) || PyIter_Check(key))) return objControlDict(p, index, key);
    return getObjControl(p, index, key);
}

PyObject *problem_setObjControls(problem_s *p, PyObject *args, PyObject *objidx) {
    int index;
    if (objectiveIndex(objidx, &index) != 0 || checkProblemIsInitialized(p) != 0) return nullptr;
    const Py_ssize_t n = PyTuple_GET_SIZE(args);
    if (n == 2) {
        if (setObjControl(p, index, PyTuple_GET_ITEM(args, 0), PyTuple_GET_ITEM(args, 1)) != 0)
            return nullptr;
        Py_RETURN_NONE;
    }
    if (n == 1 && PyDict_Check(PyTuple_GET_ITEM(args, 0))) {
        PyObject *d = PyTuple_GET_ITEM(args, 0);
        Ref items = Ref::steal(PyDict_Items(d));
        if (!items) return nullptr;
        for (Py_ssize_t k = 0; k < PyList_GET_SIZE(items.get()); ++k) {
            PyObject *pair = PyList_GET_ITEM(items.get(), k);
            if (setObjControl(p, index, PyTuple_GET_ITEM(pair, 0), PyTuple_GET_ITEM(pair, 1)) != 0)
                return nullptr;
        }
        Py_RETURN_NONE;
    }
    PyErr_SetString(nvy_model_exc, "setControl requires at least one argument of type dictionary "
                                   "or two elements: parameter, value");
    return nullptr;
}

PyMethodDef problem_objective_methods[] = {
    {"setObjective", nvr_method(problem_setObjective), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("setObjective(objective=None, sense=None, objidx=0, priority=None, weight=None,\n"
               "             abstol=None, reltol=None)\n\n"
               "Replaces objective objidx by an expression (secondary objectives are linear;\n"
               "a nonlinear objective 0 is held by a transfer row and column). sense is\n"
               "nivra.minimize or nivra.maximize. The options set the objective controls of that\n"
               "objective; with objective None only they are set.")},
    {"getObjective", nvr_method(problem_getObjective), METH_NOARGS,
     PyDoc_STR("getObjective() -> expression\n\n"
               "Objective 0 as a model expression: its constant, linear and quadratic parts and,\n"
               "for a nonlinear objective, its nonlinear summands.")},
    {"addObjective", nvr_method(problem_addObjective_method), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("addObjective(*objectives, priority=None, weight=None, abstol=None, reltol=None)\n\n"
               "Appends linear objectives for multi-objective optimisation; on a problem whose\n"
               "objective is still empty the first one becomes objective 0. Objectives are solved\n"
               "by decreasing priority and blended by weight within a priority.")},
    {nullptr, nullptr, 0, nullptr},
};
