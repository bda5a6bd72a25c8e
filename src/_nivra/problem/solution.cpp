// problem/solution.cpp: problem methods optimize (solve), getSolution, getDuals, getSlacks,
// getRedCosts, their callback variants, and the deprecated status and objective queries.
#include "solution.h"

#include "controls/values.h"
#include "model/constraint.h"
#include "model/evaluate.h"
#include "model/var.h"
#include "runtime/alloc.h"
#include "runtime/args.h"
#include "runtime/env.h"
#include "runtime/ref.h"
#include "numeric/pandas.h"
#include "numeric/walker.h"
#include "problem/methods.h"
#include "problem/problib.h"

namespace {

constexpr const char *kIndexOutOfRange = "Index out of range";

// ---- values by index ----------------------------------------------------------------------------

struct PickContext {
    problem_s *p;
    int length;
    const double *values;
    bool rows;
    PyObject *list;
};

// The row or column that obj stands for. 0 or -1 with ModelError.
int resolveIndex(problem_s *p, PyObject *obj, int length, bool rows, int *index) {
    if (rows && constraint_Check(obj)) {
        if (get_con_row(p, as_constraint(obj), index) != 0) return -1;
    } else if (!rows && var_Check(obj)) {
        if (get_var_col(p, obj, index, nullptr) != 0) return -1;
    } else if (PyUnicode_Check(obj) || PyBytes_Check(obj)) {
        const char *name = pyStrToStr(obj, nullptr, nullptr);
        if (!name) return -1;
        if (problem_call(p, NVRAgetindex, "NVRAgetindex",
                         rows ? NVRA_NAMES_ROWS : NVRA_NAMES_COLUMNS, name, index) != 0)
            return -1;
    } else if (nvo_isIntegerArg(obj)) {
        const long long v = PyLong_AsLongLong(obj);
        if (v == -1 && PyErr_Occurred()) {
            PyErr_Clear();
            return nvr_model_error(kIndexOutOfRange);
        }
        *index = v < 0 || v >= length ? -1 : static_cast<int>(v);
    } else {
        return nvr_model_error(
            "Incorrect object(s) passed: need index, variable, constraint, or SOS");
    }
    return *index >= 0 && *index < length ? 0 : nvr_model_error(kIndexOutOfRange);
}

int appendValue(PyObject *leaf, void *ctxp) {
    auto *ctx = static_cast<PickContext *>(ctxp);
    problem_s *p = ctx->p;
    int index;
    if (resolveIndex(p, leaf, ctx->length, ctx->rows, &index) != 0) return -1;
    Ref value = Ref::steal(PyFloat_FromDouble(ctx->values[index]));
    return value && PyList_Append(ctx->list, value.get()) == 0 ? 0 : -1;
}

// A collection whose leaves are selected one by one (strings count: they give a list).
bool isCollection(PyObject *o) {
    return PySequence_Check(o) || PyIter_Check(o) || PyDict_Check(o);
}

PyObject *allValues(int length, const double *values) {
    Ref list = Ref::steal(PyList_New(length));
    for (int i = 0; list && i < length; ++i) {
        PyObject *v = PyFloat_FromDouble(values[i]);
        if (!v) return nullptr;
        PyList_SET_ITEM(list.get(), i, v);
    }
    return list.release();
}

// A call with one pandas Series: compute on its values (as a list, which every method takes)
// and give the result as a Series with its index and name. Any other call: compute on args.
// New reference or null.
template <class F> PyObject *seriesAware(PyObject *args, F &&compute) {
    PyObject *series = PyTuple_GET_SIZE(args) == 1 ? PyTuple_GET_ITEM(args, 0) : nullptr;
    const int isSeries = series ? nvr_is_pandas(series, "Series") : 0;
    if (isSeries < 0) return nullptr;
    if (!isSeries) return compute(args);
    Ref values = Ref::steal(PySequence_List(series));
    Ref inner = values ? Ref::steal(PyTuple_Pack(1, values.get())) : Ref();
    Ref result = inner ? Ref::steal(compute(inner.get())) : Ref();
    return result ? nvr_pandas_series_like(series, result.get()) : nullptr;
}

// ---- library vectors ----------------------------------------------------------------------------

// A full vector of the last solution (or of a callback's solution) over rows or columns.
struct VectorQuery {
    int (*get)(NVRAprob, int *, double[], int, int);
    bool rows;
    const char *unavailable;
};

constexpr VectorQuery kDuals{NVRAgetduals, true, "Dual values are not available"};
constexpr VectorQuery kSlacks{NVRAgetslacks, true, "Slack values are not available"};
constexpr VectorQuery kRedCosts{NVRAgetredcosts, false, "Reduced costs are not available"};
constexpr VectorQuery kCallbackSolution{NVRAgetcallbacksolution, false,
                                        "Solution is not available"};
constexpr VectorQuery kCallbackDuals{NVRAgetcallbackduals, true, "Dual values are not available"};
constexpr VectorQuery kCallbackSlacks{NVRAgetcallbackslacks, true,
                                      "Slack values are not available"};
constexpr VectorQuery kCallbackRedCosts{NVRAgetcallbackredcosts, false,
                                        "Reduced costs are not available"};

// The length of a vector over rows or columns (the sizes of the model as built).
int vectorLength(problem_s *p, bool rows, int *length) {
    return problem_intAttrib(p, rows ? NVRA_ATTR_INPUTROWS : NVRA_ATTR_INPUTCOLS, length);
}

// Reads the vector of q into values (length entries). A vector of length 0 is not read: it is
// empty whether or not a solution exists. 0 or -1.
int readVector(problem_s *p, const VectorQuery &q, int length, LibArray<double> &values) {
    if (length == 0) return 0;
    if (values.alloc(static_cast<size_t>(length)) != 0) return -1;
    int status = 0;
    // A short query, made with the interpreter lock held (also from callbacks).
    if (q.get(p->prob, &status, values.get(), 0, length - 1) != 0) {
        setNvraErr(p);
        return -1;
    }
    return status == NVRA_AVAIL_OPTIMAL || status == NVRA_AVAIL_FEASIBLE
               ? 0
               : nvr_model_error(q.unavailable);
}

template <const VectorQuery &Q> PyObject *vectorMethod(PyObject *self, PyObject *args) {
    auto *p = as_problem(self);
    if (checkProblemIsInitialized(p) != 0) return nullptr;
    int length = 0;
    LibArray<double> values;
    if (vectorLength(p, Q.rows, &length) != 0 || readVector(p, Q, length, values) != 0)
        return nullptr;
    return seriesAware(
        args, [&](PyObject *a) { return problem_pickValues(p, a, length, values.get(), Q.rows); });
}

// The deprecated singular names of getDuals, getSlacks and getRedCosts.
template <const VectorQuery &Q, const char *Advice>
PyObject *deprecatedVectorMethod(PyObject *self, PyObject *args) {
    if (warnDeprec(9, 5, Advice) != 0) return nullptr;
    return vectorMethod<Q>(self, args);
}
constexpr char kUseDuals[] = "use problem.getDuals instead";
constexpr char kUseSlacks[] = "use problem.getSlacks instead";
constexpr char kUseRedCosts[] = "use problem.getRedCosts instead";

// ---- primal solution ----------------------------------------------------------------------------

// The primal solution of the last solve (count entries). 0 or -1.
int readSolution(problem_s *p, int *count, LibArray<double> &values) {
    if (vectorLength(p, false, count) != 0) return -1;
    // One element at least, so that the library receives an array even without columns.
    if (values.alloc(static_cast<size_t>(*count) + 1) != 0) return -1;
    int status = 0;
    if (problem_call(p, NVRAgetsolution, "NVRAgetsolution", &status, values.get(), 0, *count - 1) !=
        0)
        return -1;
    return status == NVRA_AVAIL_OPTIMAL || status == NVRA_AVAIL_FEASIBLE
               ? 0
               : nvr_model_error("Solution is not available");
}

PyObject *problem_getSolution(PyObject *self, PyObject *args, PyObject *kwargs) {
    auto *p = as_problem(self);
    static const char *const kw[] = {"flatten", nullptr};
    PyObject *flatten = Py_False;
    if (!parseKeywordArgs(kwargs, "|O", kw, &flatten)) return nullptr;
    if (checkProblemIsInitialized(p) != 0) return nullptr;
    int count = 0;
    LibArray<double> values;
    if (readSolution(p, &count, values) != 0) return nullptr;
    if (PyTuple_GET_SIZE(args) == 0 || flatten == Py_True)
        return problem_pickValues(p, args, count, values.get(), false);
    return seriesAware(args, [&](PyObject *a) {
        var_map map;
        map.problem = p;
        map.values = values.get();
        map.count = count;
        map.by_column = true;
        return scan_args_expressions(a, map, true);
    });
}

// ---- solving ------------------------------------------------------------------------------------

// A RuntimeWarning when the engine took coefficients of the model as zero, which changes the
// model as written. 0, or -1 when the warning is raised as an error (or a query failed).
static int warnDroppedCoefs(problem_s *p) {
    int dropped = 0;
    if (problem_intAttrib(p, NVRA_ATTR_DROPPEDCOEFS, &dropped) != 0) return -1;
    if (dropped == 0) return 0;
    double largest = 0.0, tol = 0.0;
    if (problem_call(p, NVRAgetdblattrib, "NVRAgetdblattrib", NVRA_ATTR_MAXDROPPEDCOEF, &largest) !=
            0 ||
        problem_call(p, NVRAgetdblcontrol, "NVRAgetdblcontrol", NVRA_CONTROL_MATRIXTOL, &tol) != 0)
        return -1;
    char text[320];
    snprintf(text, sizeof text,
             "%d coefficient%s of the model %s at or below %g in magnitude and taken as zero by "
             "the solver (the largest is %g): rescale the model, or lower the control matrixtol",
             dropped, dropped == 1 ? "" : "s", dropped == 1 ? "is" : "are", tol, largest);
    return PyErr_WarnEx(PyExc_RuntimeWarning, text, 1);
}

PyObject *problem_optimize(PyObject *self, PyObject *args, PyObject *kwargs) {
    auto *p = as_problem(self);
    static const char *const kw[] = {"flags", nullptr};
    const char *flags = "";
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "|s", kw, nullptr, &flags)) return nullptr;
    int solvestatus = 0, solstatus = 0;
    if (problem_call_interruptible(p, NVRAoptimize, "NVRAoptimize", flags, &solvestatus,
                                   &solstatus) != 0)
        return nullptr;
    if (warnDroppedCoefs(p) != 0) return nullptr;
    Ref a = Ref::steal(nvy_intToEnum(NVRA_ATTR_SOLVESTATUS, solvestatus));
    Ref b = a ? Ref::steal(nvy_intToEnum(NVRA_ATTR_SOLSTATUS, solstatus)) : Ref();
    return b ? PyTuple_Pack(2, a.get(), b.get()) : nullptr;
}

// ---- deprecated status and objective queries ---------------------------------------------------

enum class ProblemClass { kLinear, kMixedInteger, kNonlinear };

// Nonlinear with formulas and the nonlinear solver; mixed-integer when it has integer entities,
// sets, or piecewise-linear or general constraints (solved as MIPs); otherwise linear. 0 or -1.
int problemClass(problem_s *p, ProblemClass *cls) {
    if ((p->nl_rows || p->nl_objective) && p->nlprob) {
        *cls = ProblemClass::kNonlinear;
        return 0;
    }
    *cls = ProblemClass::kLinear;
    for (int id : {NVRA_ATTR_MIPENTS, NVRA_ATTR_SETS, NVRA_ATTR_SETMEMBERS,
                   NVRA_ATTR_ORIGINALMIPENTS, NVRA_ATTR_PWLCONS, NVRA_ATTR_GENCONS}) {
        int n = 0;
        if (problem_intAttrib(p, id, &n) != 0) return -1;
        if (n != 0) *cls = ProblemClass::kMixedInteger;
    }
    return 0;
}

// The problem's status (the attribute of its class). 0 or -1.
int problemStatus(PyObject *self, const char *advice, ProblemClass *cls, int *status) {
    auto *p = as_problem(self);
    if (warnDeprec(9, 5, advice) != 0 || checkProblemIsInitialized(p) != 0 ||
        problemClass(p, cls) != 0)
        return -1;
    if (*cls == ProblemClass::kNonlinear)
        return problem_call(p, NSLPgetintattrib, "NSLPgetintattrib", NSLP_ATTR_STATUS, status);
    return problem_intAttrib(
        p, *cls == ProblemClass::kMixedInteger ? NVRA_ATTR_MIPSTATUS : NVRA_ATTR_LPSTATUS, status);
}

constexpr const char *kStatusAdvice =
    "use problem.attributes.solvestatus and problem.attributes.solstatus instead";

PyObject *problem_getProbStatus(PyObject *self, PyObject *) {
    ProblemClass cls;
    int status;
    if (problemStatus(self, kStatusAdvice, &cls, &status) != 0) return nullptr;
    return PyLong_FromLong(status);
}

PyObject *problem_getProbStatusString(PyObject *self, PyObject *) {
    static const char *const names[3][9] = {
        {"lp_unstarted", "lp_optimal", "lp_infeas", "lp_cutoff", "lp_unfinished", "lp_unbounded",
         "lp_cutoff_in_dual", "lp_unsolved", "lp_nonconvex"},
        {"mip_not_loaded", "mip_lp_not_optimal", "mip_lp_optimal", "mip_no_sol_found",
         "mip_solution", "mip_infeas", "mip_optimal", "mip_unbounded", "mip_unknown"},
        {"nlp_unstarted", "nlp_solution", "nlp_globally_optimal", "nlp_locally_infeasible",
         "nlp_infeasible", "nlp_unbounded", "nlp_unfinished", "nlp_unknown", "nlp_unknown"},
    };
    static const char *const unknown[3] = {"lp_unknown", "mip_unknown", "nlp_unknown"};
    ProblemClass cls;
    int status;
    if (problemStatus(self, kStatusAdvice, &cls, &status) != 0) return nullptr;
    const int c = static_cast<int>(cls);
    return PyUnicode_FromString(status >= 0 && status < 9 ? names[c][status] : unknown[c]);
}

PyObject *problem_getObjVal(PyObject *self, PyObject *) {
    auto *p = as_problem(self);
    ProblemClass cls;
    if (warnDeprec(9, 5, "use problem.attributes.objval instead") != 0 ||
        checkProblemIsInitialized(p) != 0 || problemClass(p, &cls) != 0)
        return nullptr;
    double v = 0.0;
    const int id = cls == ProblemClass::kMixedInteger ? NVRA_ATTR_MIPOBJVAL : NVRA_ATTR_LPOBJVAL;
    const int rc = cls == ProblemClass::kNonlinear
                       ? problem_call(p, NSLPgetdblattrib, "NSLPgetdblattrib", NSLP_ATTR_OBJVAL, &v)
                       : problem_call(p, NVRAgetdblattrib, "NVRAgetdblattrib", id, &v);
    if (rc != 0) return nullptr;
    return PyFloat_FromDouble(v);
}

} // namespace

PyObject *problem_pickValues(problem_s *p, PyObject *args, int length, const double *values,
                             bool rows) {
    const Py_ssize_t n = PyTuple_GET_SIZE(args);
    if (n == 0) return allValues(length, values);
    if (n == 1 && !isCollection(PyTuple_GET_ITEM(args, 0))) {
        int index;
        if (resolveIndex(p, PyTuple_GET_ITEM(args, 0), length, rows, &index) != 0) return nullptr;
        return PyFloat_FromDouble(values[index]);
    }
    Ref list = Ref::steal(PyList_New(0));
    if (!list) return nullptr;
    PickContext ctx{p, length, values, rows, list.get()};
    if (for_each_nested_object(args, appendValue, &ctx, kNestingDepth) != 0) return nullptr;
    return list.release();
}

PyMethodDef problem_solution_methods[] = {
    {"optimize", nvr_method(problem_optimize), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("optimize(flags='') -> (solvestatus, solstatus)\n\n"
               "Solves the problem as what it holds (LP, convex QP, MIP, several objectives) and\n"
               "returns the nivra.enums.SolveStatus and nivra.enums.SolStatus of the solve.\n"
               "Flags: 'd' dual simplex, 'p' primal simplex, 'b' barrier, 'l' relaxation only.")},
    {"solve", nvr_method(problem_optimize), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("solve(flags='') -> (solvestatus, solstatus): the same as optimize")},
    {"getSolution", nvr_method(problem_getSolution), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("getSolution(*args, flatten=False)\n\n"
               "Values in the last solution. Without arguments a list over all columns; with a\n"
               "variable, expression, column index or column name a float; containers give\n"
               "containers of the same shape (lists, tuples, dicts, NumPy arrays, a pandas\n"
               "Series with its index); several arguments a tuple. flatten=True gives one flat\n"
               "list of the variables' values.")},
    {"getDuals", vectorMethod<kDuals>, METH_VARARGS,
     PyDoc_STR("getDuals(*constraints): dual values per row (all rows without arguments; a float "
               "for one constraint, row index or row name; a pandas Series for a Series)")},
    {"getSlacks", vectorMethod<kSlacks>, METH_VARARGS,
     PyDoc_STR("getSlacks(*constraints): slacks (rhs - activity) per row, as getDuals")},
    {"getRedCosts", vectorMethod<kRedCosts>, METH_VARARGS,
     PyDoc_STR("getRedCosts(*variables): reduced costs per column, as getDuals for columns")},
    {"getCallbackSolution", vectorMethod<kCallbackSolution>, METH_VARARGS,
     PyDoc_STR("getCallbackSolution(*variables): the solution a callback reports")},
    {"getCallbackDuals", vectorMethod<kCallbackDuals>, METH_VARARGS,
     PyDoc_STR("getCallbackDuals(*constraints): the duals a callback reports")},
    {"getCallbackSlacks", vectorMethod<kCallbackSlacks>, METH_VARARGS,
     PyDoc_STR("getCallbackSlacks(*constraints): the slacks a callback reports")},
    {"getCallbackRedCosts", vectorMethod<kCallbackRedCosts>, METH_VARARGS,
     PyDoc_STR("getCallbackRedCosts(*variables): the reduced costs a callback reports")},
    {"getDual", deprecatedVectorMethod<kDuals, kUseDuals>, METH_VARARGS,
     PyDoc_STR("getDual(*constraints): deprecated, use getDuals")},
    {"getSlack", deprecatedVectorMethod<kSlacks, kUseSlacks>, METH_VARARGS,
     PyDoc_STR("getSlack(*constraints): deprecated, use getSlacks")},
    {"getRCost", deprecatedVectorMethod<kRedCosts, kUseRedCosts>, METH_VARARGS,
     PyDoc_STR("getRCost(*variables): deprecated, use getRedCosts")},
    {"getProbStatus", problem_getProbStatus, METH_NOARGS,
     PyDoc_STR("getProbStatus() -> int: deprecated, use attributes.solvestatus and solstatus")},
    {"getProbStatusString", problem_getProbStatusString, METH_NOARGS,
     PyDoc_STR("getProbStatusString() -> str: deprecated, use attributes.solvestatus and "
               "solstatus")},
    {"getObjVal", problem_getObjVal, METH_NOARGS,
     PyDoc_STR("getObjVal() -> float: deprecated, use attributes.objval")},
    {nullptr, nullptr, 0, nullptr},
};
