// nonlinear/mathfuncs.cpp: the module functions that build nonlinear expressions: the
// mathematical functions (folded with the C library for numbers, element-wise on NumPy
// arrays), max and min, pwl (nonlinear/pwl.cpp), user, and a private node constructor for
// tests.
#include "runtime/npy.h"

#include <cmath>
#include <cstring>

#include "model/operand.h"
#include "runtime/env.h"
#include "runtime/ref.h"
#include "nonlinear.h"
#include "pwl.h"

namespace {

struct MathFunction {
    const char *name;
    operation_type op;
    double (*fold)(double);
    const char *doc;
};

constexpr MathFunction kMath[] = {
    {"exp", kOpExp, [](double x) { return std::exp(x); }, "exp(x): exponential"},
    {"log", kOpLog, [](double x) { return std::log(x); }, "log(x): natural logarithm"},
    {"log10", kOpLog10, [](double x) { return std::log10(x); }, "log10(x): base-10 logarithm"},
    {"sin", kOpSin, [](double x) { return std::sin(x); }, "sin(x): sine"},
    {"cos", kOpCos, [](double x) { return std::cos(x); }, "cos(x): cosine"},
    {"tan", kOpTan, [](double x) { return std::tan(x); }, "tan(x): tangent"},
    {"asin", kOpAsin, [](double x) { return std::asin(x); }, "asin(x): arc sine"},
    {"acos", kOpAcos, [](double x) { return std::acos(x); }, "acos(x): arc cosine"},
    {"atan", kOpAtan, [](double x) { return std::atan(x); }, "atan(x): arc tangent"},
    {"abs", kOpAbs, [](double x) { return std::fabs(x); }, "abs(x): absolute value"},
    {"sqrt", kOpSqrt, [](double x) { return std::sqrt(x); }, "sqrt(x): square root"},
    {"sign", kOpSign, [](double x) { return x > 0.0   ? 1.0
                                            : x < 0.0 ? -1.0
                                                      : 0.0; },
     "sign(x): -1, 0 or 1"},
    {"erf", kOpErf, [](double x) { return std::erf(x); }, "erf(x): error function"},
    {"erfc", kOpErfc, [](double x) { return std::erfc(x); },
     "erfc(x): complementary error function"},
};

PyObject *applyMath(const MathFunction &fn, PyObject *arg);

// A numeric array: a new float64 array of the function's values.
PyObject *foldArray(const MathFunction &fn, PyArrayObject *arr) {
    Ref out = Ref::steal(
        PyArray_FromAny(reinterpret_cast<PyObject *>(arr), PyArray_DescrFromType(NPY_DOUBLE), 0, 0,
                        NPY_ARRAY_CARRAY | NPY_ARRAY_ENSURECOPY | NPY_ARRAY_FORCECAST, nullptr));
    if (!out) return nullptr;
    PyArrayObject *o = reinterpret_cast<PyArrayObject *>(out.get());
    double *data = static_cast<double *>(PyArray_DATA(o));
    for (npy_intp i = 0, n = PyArray_SIZE(o); i < n; ++i)
        data[i] = fn.fold(data[i]);
    return out.release();
}

// The element type of the result of an element-wise application to an array of objects:
// variables become expressions, the other object types stay. New reference.
PyArray_Descr *resultDescr(PyArray_Descr *in) {
    if (nvr_py_env.npvar_dtype && in->type_num == nvr_py_env.npvar_dtype->type_num) {
        Py_INCREF(nvr_py_env.npexpr_dtype);
        return nvr_py_env.npexpr_dtype;
    }
    if (PyDataType_REFCHK(in)) {
        Py_INCREF(in);
        return in;
    }
    return PyArray_DescrFromType(NPY_OBJECT);
}

PyObject *cannotIterate() {
    if (!PyErr_Occurred() || PyErr_ExceptionMatches(PyExc_ValueError) ||
        PyErr_ExceptionMatches(PyExc_TypeError)) {
        PyErr_Clear();
        PyErr_SetString(nvy_model_exc, "Cannot iterate on sequence of arguments");
    }
    return nullptr;
}

// Any other array: a new array of the same shape holding the function of each element.
PyObject *mapArray(const MathFunction &fn, PyArrayObject *arr) {
    PyArray_Descr *descr = resultDescr(PyArray_DESCR(arr));
    if (!descr) return nullptr;
    Ref out = Ref::steal(PyArray_NewFromDescr(&PyArray_Type, descr, PyArray_NDIM(arr),
                                              PyArray_DIMS(arr), nullptr, nullptr, 0, nullptr));
    if (!out) return cannotIterate();
    PyArrayObject *o = reinterpret_cast<PyArrayObject *>(out.get());
    Ref it = Ref::steal(PyArray_IterNew(reinterpret_cast<PyObject *>(arr)));
    if (!it) return cannotIterate();
    PyArrayIterObject *iter = reinterpret_cast<PyArrayIterObject *>(it.get());
    char *dst = static_cast<char *>(PyArray_DATA(o));
    const npy_intp itemsize = PyArray_ITEMSIZE(o);
    for (; iter->index < iter->size; dst += itemsize) {
        Ref item = Ref::steal(PyArray_GETITEM(arr, static_cast<char *>(PyArray_ITER_DATA(iter))));
        if (!item) return cannotIterate();
        Ref value = Ref::steal(applyMath(fn, item.get()));
        if (!value || PyArray_SETITEM(o, dst, value.get()) != 0) return nullptr;
        PyArray_ITER_NEXT(iter);
    }
    return out.release();
}

PyObject *applyMath(const MathFunction &fn, PyObject *arg) {
    if (PyArray_Check(arg)) {
        PyArrayObject *arr = reinterpret_cast<PyArrayObject *>(arg);
        const char kind = PyArray_DESCR(arr)->kind;
        if (!PyDataType_REFCHK(PyArray_DESCR(arr)) &&
            (kind == 'b' || kind == 'i' || kind == 'u' || kind == 'f'))
            return foldArray(fn, arr);
        if (Py_EnterRecursiveCall(" while applying a function to an array")) return nullptr;
        PyObject *r = mapArray(fn, arr);
        Py_LeaveRecursiveCall();
        return r;
    }
    if (exprKindOf(arg) == kConst) {
        double x;
        if (isConstOfKind(arg, kConst, &x) < 0) return nullptr;
        return PyFloat_FromDouble(fn.fold(x));
    }
    return nonlin_instantiate_unary(fn.op, arg);
}

template <int I> PyObject *nivramod_math(PyObject *, PyObject *arg) {
    return applyMath(kMath[I], arg);
}

// ---- max and min
// ----------------------------------------------------------------------------------

// The items that a single argument of max or min stands for: the elements of a sequence,
// iterable or (flattened) array. New tuple, or null with the function's message.
PyObject *itemsOfArgument(PyObject *arg, const char *incorrect) {
    Ref seq;
    if (PyArray_Check(arg)) {
        Ref flat = Ref::steal(PyArray_Ravel(reinterpret_cast<PyArrayObject *>(arg), NPY_CORDER));
        if (flat) seq = Ref::steal(PySequence_Tuple(flat.get()));
    } else {
        seq = Ref::steal(PySequence_Tuple(arg));
    }
    if (!seq) {
        PyErr_Clear();
        PyErr_SetString(nvy_model_exc, incorrect);
    }
    return seq.release();
}

struct Extremum {
    operation_type op;
    const char *noArgument;
    const char *incorrect;
};

constexpr Extremum kMax{kOpMax, "The function nivra.max must have at least one argument",
                        "Incorrect argument for nivra.max function"};
constexpr Extremum kMin{kOpMin, "The function nivra.min must have at least one argument",
                        "Incorrect argument for nivra.min function"};

// max(t1, ..., tn) or min(...): one n-ary node; a single collection stands for its items, and a
// single item is returned itself.
template <const Extremum &E> PyObject *nivramod_extremum(PyObject *, PyObject *args) {
    Ref items = Ref::borrow(args);
    if (PyTuple_GET_SIZE(args) == 1) {
        PyObject *arg = PyTuple_GET_ITEM(args, 0);
        if (exprKindOf(arg) >= 0) return Py_NewRef(arg);
        items = Ref::steal(itemsOfArgument(arg, E.incorrect));
        if (!items) return nullptr;
    }
    const Py_ssize_t n = PyTuple_GET_SIZE(items.get());
    if (n == 0) {
        PyErr_SetString(nvy_model_exc, E.noArgument);
        return nullptr;
    }
    if (n == 1) {
        PyObject *item = PyTuple_GET_ITEM(items.get(), 0);
        if (exprKindOf(item) < 0) {
            PyErr_SetString(nvy_model_exc, "Invalid object in n-ary nonlinear expression");
            return nullptr;
        }
        return Py_NewRef(item);
    }
    return nonlin_instantiate_nary(E.op, items.get());
}

// _nonlinear_node(op, args): a node of any operation code, built by the constructor for its
// arity (unary codes take one object, the others a list or tuple); a code outside the table
// gives a node over args unchecked. For tests.
PyObject *nivramod_nonlinear_node(PyObject *, PyObject *args) {
    int op;
    PyObject *operands;
    if (!PyArg_ParseTuple(args, "iO:_nonlinear_node", &op, &operands)) return nullptr;
    const OperationInfo *info = nonlin_info(op);
    const auto code = static_cast<operation_type>(op);
    if (!info) return nonlin_make(code, Py_NewRef(operands));
    return info->arity == 1 ? nonlin_instantiate_unary(code, operands)
                            : nonlin_instantiate_nary(code, operands);
}

#define NVR_MATH_ENTRY(i)                                                                          \
    { kMath[i].name, nivramod_math<i>, METH_O, PyDoc_STR(kMath[i].doc) }

} // namespace

// The operation code of user(..., derivatives=d): absent, None, "never" or a false value 27,
// "always" or another true value 28, "ondemand" 29; -1 with ModelError for another string.
int userOperation(PyObject *d) {
    if (!d || d == Py_None) return kOpUserNoDerivatives;
    if (PyUnicode_Check(d)) {
        const char *text = PyUnicode_AsUTF8(d);
        if (!text) return -1;
        if (!*text || !strcmp(text, "never")) return kOpUserNoDerivatives;
        if (!strcmp(text, "always")) return kOpUserDerivatives;
        if (!strcmp(text, "ondemand")) return kOpUserDerivativesOnDemand;
        PyErr_Format(nvy_model_exc, "Unknown value for argument derivatives: %s", text);
        return -1;
    }
    const int truth = PyObject_IsTrue(d);
    return truth < 0 ? -1 : truth ? kOpUserDerivatives : kOpUserNoDerivatives;
}

// user(f, a1, a2, ..., derivatives=None): a call of the Python function f in a formula.
PyObject *nivramod_user(PyObject *, PyObject *args, PyObject *kwargs) {
    PyObject *derivatives = nullptr;
    if (kwargs && PyDict_GET_SIZE(kwargs) > 0) {
        derivatives = PyDict_GetItemString(kwargs, "derivatives");
        if (!derivatives || PyDict_GET_SIZE(kwargs) > 1) {
            PyErr_SetString(PyExc_TypeError, "nivra.user takes only the keyword 'derivatives'");
            return nullptr;
        }
    }
    if (PyTuple_GET_SIZE(args) < 2) {
        PyErr_SetString(nvy_interf_exc,
                        "nivra.user expects a function and at least one argument expression");
        return nullptr;
    }
    if (!PyCallable_Check(PyTuple_GET_ITEM(args, 0))) {
        PyErr_SetString(nvy_model_exc, "Invalid function passed to nivra.user");
        return nullptr;
    }
    const int op = userOperation(derivatives);
    return op < 0 ? nullptr : nonlin_instantiate_nary(static_cast<operation_type>(op), args);
}

PyMethodDef nvr_nonlinear_methods[] = {
    NVR_MATH_ENTRY(0),
    NVR_MATH_ENTRY(1),
    NVR_MATH_ENTRY(2),
    NVR_MATH_ENTRY(3),
    NVR_MATH_ENTRY(4),
    NVR_MATH_ENTRY(5),
    NVR_MATH_ENTRY(6),
    NVR_MATH_ENTRY(7),
    NVR_MATH_ENTRY(8),
    NVR_MATH_ENTRY(9),
    NVR_MATH_ENTRY(10),
    NVR_MATH_ENTRY(11),
    NVR_MATH_ENTRY(12),
    NVR_MATH_ENTRY(13),
    {"max", nivramod_extremum<kMax>, METH_VARARGS,
     PyDoc_STR("max(t1, t2, ...) or max(collection): the maximum of expressions")},
    {"min", nivramod_extremum<kMin>, METH_VARARGS,
     PyDoc_STR("min(t1, t2, ...) or min(collection): the minimum of expressions")},
    {"pwl", nivramod_pwl, METH_O,
     PyDoc_STR("pwl({(a, b): expr, ..., None: x}): a piecewise linear function of the variable "
               "x, linear on each interval [a, b]")},
    {"user", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(nivramod_user)),
     METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("user(f, a1, a2, ..., derivatives=None): f(a1, a2, ...) in a formula; "
               "derivatives \"never\" (f returns its value), \"always\" (the value and the "
               "partial derivatives when asked) or \"ondemand\" (f also receives the deltas)")},
    {"_nonlinear_node", nivramod_nonlinear_node, METH_VARARGS,
     PyDoc_STR("_nonlinear_node(op, args): a nonlinear node of any operation code (for tests)")},
    {nullptr, nullptr, 0, nullptr},
};

#undef NVR_MATH_ENTRY
static_assert(sizeof(kMath) / sizeof(kMath[0]) == 14);
