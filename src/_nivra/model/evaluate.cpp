// model/evaluate.cpp: evaluation of model objects at variable values given by column or by a
// dictionary: the value evaluator (every nonlinear operation, piecewise linear and logical
// nodes included) and the walker over containers and arrays. The module function evaluate is
// problem/modfuncs.cpp.
#include "runtime/npy.h"

#include "evaluate.h"

#include <cmath>
#include <vector>

#include "equality.h"
#include "expression.h"
#include "libaccess.h"
#include "linterm.h"
#include "runtime/env.h"
#include "runtime/ref.h"
#include "nonlinear/nonlinear.h"
#include "operand.h"
#include "problem_model.h"
#include "quadterm.h"
#include "var.h"

namespace {

constexpr int kDepth = 64;
constexpr double kLn10 = 2.302585092994046;
constexpr double kDefaultTolerance = 5e-6;

int fail(PyObject *type, const char *msg) {
    PyErr_SetString(type, msg);
    return -1;
}

int recursionLimit() {
    return fail(PyExc_RuntimeError, "Evaluation of expression exceeded recursion depth limit");
}

// ---- variables ----------------------------------------------------------------------------------

int variableValue(PyObject *x, const var_map &map, double *out) {
    if (map.by_column) {
        int col;
        if (get_var_col_nowarn(map.problem, x, &col, nullptr) != 0) return -1;
        if (col < 0 || col >= map.count)
            return fail(nvy_model_exc, "Variable cannot be identified within expression");
        *out = map.values[col];
        return 0;
    }
    PyObject *value;
    {
        // Variables of different problems may hash alike: the dictionary then compares them,
        // which must test identity rather than build a constraint.
        ConstraintOperatorsSwitch off(false);
        value = PyDict_GetItemWithError(map.dict, x);
    }
    if (!value) return PyErr_Occurred() ? -1 : fail(nvy_model_exc, "Variable has no value");
    Ref held = Ref::borrow(value);
    *out = PyFloat_AsDouble(value);
    return *out == -1.0 && PyErr_Occurred() ? -1 : 0;
}

// ---- nonlinear nodes ----------------------------------------------------------------------------

// The tolerance of logical nodes: the module default of "miptol" when one is set.
double logicalTolerance() {
    PyObject *defaults = nvr_py_env.default_control_values;
    PyObject *v = defaults ? PyDict_GetItemString(defaults, "miptol") : nullptr;
    if (!v) return kDefaultTolerance;
    const double t = PyFloat_AsDouble(v);
    if (t == -1.0 && PyErr_Occurred()) {
        PyErr_Clear();
        return kDefaultTolerance;
    }
    return t;
}

double applyUnary(int32_t op, double a) {
    switch (op) {
    case kOpUnaryMinus:
        return -a;
    case kOpExp:
        return std::exp(a);
    case kOpLog:
        return std::log(a);
    case kOpLog10:
        return std::log(a) / kLn10;
    case kOpSin:
        return std::sin(a);
    case kOpCos:
        return std::cos(a);
    case kOpTan:
        return std::tan(a);
    case kOpAsin:
        return std::asin(a);
    case kOpAcos:
        return std::acos(a);
    case kOpAtan:
        return std::atan(a);
    case kOpAbs:
        return std::fabs(a);
    case kOpSign:
        return a > 0.0 ? 1.0 : a < 0.0 ? -1.0 : 0.0;
    case kOpErf:
        return std::erf(a);
    case kOpErfc:
        return std::erfc(a);
    default:
        return std::sqrt(a); // kOpSqrt
    }
}

PyObject *floatObject(double x) {
    return PyFloat_FromDouble(x);
}

// A piecewise linear node [x, x0, y0, x1, y1, ...] at v[0]: interpolated on the segment that
// holds x, extrapolated on the first segment left of all breakpoints and on the last segment
// at or right of the last breakpoint.
int piecewiseLinear(PyObject *arg, const std::vector<double> &v, double *out) {
    const double x = v[0];
    const size_t n = (v.size() - 1) / 2;
    auto bx = [&v](size_t k) { return v[1 + 2 * k]; };
    auto by = [&v](size_t k) { return v[2 + 2 * k]; };
    auto line = [&](size_t i, size_t j) {
        return by(i) + (by(j) - by(i)) / (bx(j) - bx(i)) * (x - bx(i));
    };
    size_t k = 0;
    while (k < n && !(bx(k) > x))
        ++k;
    if (k > 0 && k < n) {
        *out = line(k - 1, k);
        return 0;
    }
    if (k == n && n > 0 && x == bx(n - 1)) {
        *out = by(n - 1);
        return 0;
    }
    Ref xv = Ref::steal(floatObject(x));
    if (!xv) return -1;
    if (n < 2) {
        PyErr_Format(nvy_interf_exc,
                     "Not enough points to extrapolate value of piecewise linear containing "
                     "fraction for %S = %S",
                     arg, xv.get());
        return -1;
    }
    const size_t i = k == 0 ? 0 : n - 2, j = i + 1;
    if (bx(i) == bx(j)) {
        Ref end = Ref::steal(floatObject(bx(k == 0 ? i : j)));
        if (!end) return -1;
        PyErr_Format(nvy_interf_exc,
                     k == 0 ? "Piecewise linear function has discontinuity at first breakpoint "
                              "%S = %S and can't be evaluated at %S"
                            : "Piecewise linear function has discontinuity at last breakpoint "
                              "%S = %S and can't be evaluated at %S",
                     arg, end.get(), xv.get());
        return -1;
    }
    *out = line(i, j);
    return 0;
}

// A user-function node: f (the first argument) called with the values of the others.
int userFunction(PyObject *f, const std::vector<double> &v, double *out) {
    Ref args = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(v.size())));
    if (!args) return -1;
    for (size_t i = 0; i < v.size(); ++i) {
        PyObject *x = floatObject(v[i]);
        if (!x) return -1;
        PyTuple_SET_ITEM(args.get(), static_cast<Py_ssize_t>(i), x);
    }
    Ref r = Ref::steal(PyObject_Call(f, args.get(), nullptr));
    if (!r) return -1;
    PyObject *value = r.get();
    if (PyTuple_Check(value)) {
        if (PyTuple_GET_SIZE(value) == 0)
            return fail(nvy_model_exc, "User function returned an empty tuple");
        value = PyTuple_GET_ITEM(value, 0);
    }
    *out = PyFloat_AsDouble(value);
    return *out == -1.0 && PyErr_Occurred() ? -1 : 0;
}

// The value of a node from the values v of its operands (the callable of a user function not
// among them).
int combine(const nonlin_s *x, PyObject *first, const std::vector<double> &v, double *out) {
    const int32_t op = x->op;
    const OperationInfo *info = nonlin_info(op);
    if ((info->arity > 0 && v.size() != static_cast<size_t>(info->arity)) ||
        (op == kOpPwl && (v.empty() || v.size() % 2 == 0)) ||
        ((op == kOpMax || op == kOpMin) && v.empty()) || (nonlin_is_user(op) && !first))
        return fail(nvy_model_exc, "Invalid number of arguments in nonlinear expression");
    switch (op) {
    case kOpPlus:
    case kOpSum: {
        double s = 0.0;
        for (double a : v)
            s += a;
        *out = s;
        return 0;
    }
    case kOpTimes:
    case kOpProd: {
        double p = 1.0;
        for (double a : v)
            p *= a;
        *out = p;
        return 0;
    }
    case kOpMinus:
        *out = v[0] - v[1];
        return 0;
    case kOpDivide:
        if (v[1] == 0.0)
            return fail(PyExc_ZeroDivisionError,
                        "Division by zero in evaluation of expression containing fraction");
        *out = v[0] / v[1];
        return 0;
    case kOpPower:
        *out = std::pow(v[0], v[1]);
        return 0;
    case kOpMax:
    case kOpMin: {
        double m = v[0];
        for (double a : v)
            m = op == kOpMax ? (a > m ? a : m) : (a < m ? a : m);
        *out = m;
        return 0;
    }
    case kOpPwl:
        return piecewiseLinear(first, v, out);
    case kOpAnd:
    case kOpOr: {
        const double t = logicalTolerance();
        bool all = true, any = false;
        for (double a : v) {
            all = all && a > t;
            any = any || a > 1.0 - t;
        }
        *out = (op == kOpAnd ? all : any) ? 1.0 : 0.0;
        return 0;
    }
    case kOpUserNoDerivatives:
    case kOpUserDerivatives:
    case kOpUserDerivativesOnDemand:
        return userFunction(first, v, out);
    default:
        *out = applyUnary(op, v[0]);
        return 0;
    }
}

int evaluateNode(const nonlin_s *x, const var_map &map, int depth, double *out) {
    if (!nonlin_info(x->op)) return fail(nvy_model_exc, "Unknown nonlinear type");
    PyObject *args = x->args;
    if (!args) return fail(nvy_model_exc, "Invalid number of arguments in nonlinear expression");
    // The arguments are held while operands are evaluated: a user function may run any code.
    Ref held = Ref::borrow(args);
    const bool sequence = PyList_Check(args) || PyTuple_Check(args);
    Ref items = Ref::steal(sequence ? PySequence_Tuple(args) : PyTuple_Pack(1, args));
    if (!items) return -1;
    const Py_ssize_t n = PyTuple_GET_SIZE(items.get());
    const Py_ssize_t skip = nonlin_is_user(x->op) && n > 0 ? 1 : 0;
    NVR_TRY {
        std::vector<double> v(static_cast<size_t>(n - skip));
        for (Py_ssize_t i = skip; i < n; ++i)
            if (evaluate_value(PyTuple_GET_ITEM(items.get(), i), map, depth - 1, &v[i - skip]) != 0)
                return -1;
        return combine(x, n > 0 ? PyTuple_GET_ITEM(items.get(), 0) : nullptr, v, out);
    }
    NVR_CATCH(-1)
}

// ---- walker -------------------------------------------------------------------------------------

// A tuple, list or dict of walked items, of the same kind as the container.
PyObject *walkContainer(PyObject *obj, const var_map &map, bool index, int depth) {
    if (PyDict_Check(obj)) {
        Ref items = Ref::steal(PyDict_Items(obj)), out = Ref::steal(PyDict_New());
        if (!items || !out) return nullptr;
        for (Py_ssize_t i = 0; i < PyList_GET_SIZE(items.get()); ++i) {
            PyObject *kv = PyList_GET_ITEM(items.get(), i);
            Ref value = Ref::steal(evaluate_object(PyTuple_GET_ITEM(kv, 1), map, index, depth - 1));
            if (!value || PyDict_SetItem(out.get(), PyTuple_GET_ITEM(kv, 0), value.get()) != 0)
                return nullptr;
        }
        return out.release();
    }
    const bool tuple = PyTuple_Check(obj);
    Ref seq = Ref::steal(PySequence_Fast(obj, "Cannot evaluate type of sequence"));
    if (!seq) return nullptr;
    const Py_ssize_t n = PySequence_Fast_GET_SIZE(seq.get());
    Ref out = Ref::steal(tuple ? PyTuple_New(n) : PyList_New(n));
    if (!out) return nullptr;
    for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject *v =
            evaluate_object(PySequence_Fast_GET_ITEM(seq.get(), i), map, index, depth - 1);
        if (!v) return nullptr;
        if (tuple)
            PyTuple_SET_ITEM(out.get(), i, v);
        else
            PyList_SET_ITEM(out.get(), i, v);
    }
    return out.release();
}

bool isModelArray(PyArrayObject *arr) {
    const PyArray_Descr *d = PyArray_DESCR(arr);
    const PyTypeObject *t = d->typeobj;
    return d->type_num == NPY_OBJECT || t == &expression_type || t == &nonlinear_type ||
           t == &var_type || t == &linterm_type || t == &quadterm_type;
}

// An array of model objects: a float64 array of their values.
PyObject *walkArray(PyArrayObject *arr, const var_map &map, int depth) {
    if (!isModelArray(arr)) {
        PyErr_SetString(nvy_interf_exc,
                        "nivra.evaluate() requires one or more Python objects;\nNumPy arrays "
                        "must be of dtype nivra.npvar, nivra.npexpr, or nivra.npconstraint.");
        return nullptr;
    }
    Ref out = Ref::steal(PyArray_SimpleNew(PyArray_NDIM(arr), PyArray_DIMS(arr), NPY_DOUBLE));
    Ref it = Ref::steal(out ? PyArray_IterNew(reinterpret_cast<PyObject *>(arr)) : nullptr);
    if (!it) {
        PyErr_Clear();
        PyErr_SetString(nvy_interf_exc, "Could not initialize result of the evaluation of a NumPy "
                                        "array");
        return nullptr;
    }
    PyArrayIterObject *iter = reinterpret_cast<PyArrayIterObject *>(it.get());
    double *dst = static_cast<double *>(PyArray_DATA(reinterpret_cast<PyArrayObject *>(out.get())));
    for (; iter->index < iter->size; ++dst) {
        Ref item = Ref::steal(PyArray_GETITEM(arr, static_cast<char *>(PyArray_ITER_DATA(iter))));
        if (!item || evaluate_value(item.get(), map, depth - 1, dst) != 0) return nullptr;
        PyArray_ITER_NEXT(iter);
    }
    return out.release();
}

PyObject *outOfRange() {
    PyErr_SetString(nvy_interf_exc,
                    "Call to nivra.problem.getSolution() contains an out-of-range index");
    return nullptr;
}

// Index mode: the value of a column given by its index.
PyObject *columnValue(const var_map &map, long long col) {
    if (col < 0 || col >= map.count) return outOfRange();
    return PyFloat_FromDouble(map.values[col]);
}

// Index mode: the value of a column given by its name.
PyObject *namedColumnValue(PyObject *name, const var_map &map) {
    const char *utf8 = PyUnicode_AsUTF8(name);
    int col = -1;
    if (!utf8 || problem_call(map.problem, NVRAgetindex, "NVRAgetindex", NVRA_NAMES_COLUMNS, utf8,
                              &col) != 0)
        return nullptr;
    return columnValue(map, col);
}

bool isIndex(PyObject *o) {
    return PyLong_Check(o) || PyArray_IsScalar(o, Integer);
}

} // namespace

int evaluate_value(PyObject *obj, const var_map &map, int depth, double *out) {
    if (depth < 1) return recursionLimit();
    double x, y;
    switch (exprKindOf(obj)) {
    case kConst:
        return isConstOfKind(obj, kConst, out) < 0 ? -1 : 0;
    case kVar:
        return variableValue(obj, map, out);
    case kLinterm:
        if (variableValue(as_linterm(obj)->var, map, &x) != 0) return -1;
        *out = as_linterm(obj)->coef * x;
        return 0;
    case kQuadterm: {
        const quadterm_s *q = as_quadterm(obj);
        if (variableValue(q->var1, map, &x) != 0 || variableValue(q->var2, map, &y) != 0) return -1;
        *out = q->coef * x * y;
        return 0;
    }
    case kExpression: {
        const expression_s *e = as_expression(obj);
        double sum = e->constant;
        int rc = 0;
        expression_forEachLinear(e, [&](PyObject *v, double c) {
            if (rc == 0 && (rc = variableValue(v, map, &x)) == 0) sum += c * x;
        });
        expression_forEachQuadratic(e, [&](PyObject *u, PyObject *v, double c) {
            if (rc == 0 && (rc = variableValue(u, map, &x)) == 0 &&
                (rc = variableValue(v, map, &y)) == 0)
                sum += c * x * y;
        });
        if (rc != 0) return -1;
        *out = sum;
        return 0;
    }
    case kNonlinear:
        return evaluateNode(as_nonlin(obj), map, depth, out);
    default:
        return fail(nvy_model_exc, "Evaluation of object of incorrect type");
    }
}

PyObject *evaluate_object(PyObject *obj, const var_map &map, bool index_mode, int depth) {
    if (depth < 1) return recursionLimit(), nullptr;
    if (PyTuple_Check(obj) || PyList_Check(obj) || PyDict_Check(obj))
        return walkContainer(obj, map, index_mode, depth);
    if (PyArray_Check(obj)) return walkArray(reinterpret_cast<PyArrayObject *>(obj), map, depth);
    if (PyUnicode_Check(obj)) {
        if (index_mode) return namedColumnValue(obj, map);
        PyErr_SetString(nvy_interf_exc,
                        "Call to nivra.evaluate cannot contain strings as arguments");
        return nullptr;
    }
    if (index_mode && isIndex(obj)) {
        const long long col = PyLong_AsLongLong(obj);
        if (col == -1 && PyErr_Occurred()) {
            if (!PyErr_ExceptionMatches(PyExc_OverflowError)) return nullptr;
            PyErr_Clear();
            return outOfRange();
        }
        return columnValue(map, col);
    }
    if (exprKindOf(obj) >= 0) {
        double v;
        return evaluate_value(obj, map, depth, &v) != 0 ? nullptr : PyFloat_FromDouble(v);
    }
    if (PySequence_Check(obj) && !PyBytes_Check(obj))
        return walkContainer(obj, map, index_mode, depth);
    PyErr_SetString(PyExc_RuntimeError, "Cannot evaluate object");
    return nullptr;
}

// No objects give the empty tuple, as several give a tuple of their values.
PyObject *scan_args_expressions(PyObject *objects, const var_map &map, bool index_mode) {
    const Py_ssize_t n = PyTuple_GET_SIZE(objects);
    if (n == 1) return evaluate_object(PyTuple_GET_ITEM(objects, 0), map, index_mode, kDepth);
    Ref out = Ref::steal(PyTuple_New(n));
    if (!out) return nullptr;
    for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject *v = evaluate_object(PyTuple_GET_ITEM(objects, i), map, index_mode, kDepth);
        if (!v) return nullptr;
        PyTuple_SET_ITEM(out.get(), i, v);
    }
    return out.release();
}
