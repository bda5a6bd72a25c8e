// numeric/loops.cpp: element loops for arrays of variables and expressions. Every loop is an
// instance of one template over the element operation and the readers of its two operands (a
// model element, or a double that becomes a Python float); a table registers them for NumPy's
// arithmetic, logical and comparison functions.
#include "runtime/npy.h"

#include <cstring>
#include <vector>

#include "elements.h"
#include "model/algebra.h"
#include "model/constraint.h"
#include "runtime/ref.h"
#include "npdtypes.h"

namespace {

// ---- operand readers
// ------------------------------------------------------------------------------

// A model element (borrowed); an empty slot reads as None.
struct ModelArg {
    PyObject *get(const char *p) {
        PyObject *o = nvr_slot_get(p);
        return o ? o : Py_None;
    }
};

// A number, as a Python float that is reused while consecutive elements hold the same value
// (the same bits); null with an exception when it cannot be created.
struct NumberArg {
    Ref value;
    double bits = 0.0;
    PyObject *get(const char *p) {
        const double x = nvr_read_number<double>(p);
        if (!value || memcmp(&x, &bits, sizeof x) != 0) {
            value = Ref::steal(PyFloat_FromDouble(x));
            bits = x;
        }
        return value.get();
    }
};

// ---- element operations -------------------------------------------------------------------------
// An element that is None (or an empty slot) is not an operand of the algebra, where None
// stands for an empty accumulator: Python's own operator applies to it and raises.

template <binaryfunc General, binaryfunc Python> PyObject *binaryOp(PyObject *a, PyObject *b) {
    return a == Py_None || b == Py_None ? Python(a, b) : General(a, b);
}

PyObject *pythonPower(PyObject *a, PyObject *b) {
    return PyNumber_Power(a, b, Py_None);
}
PyObject *pythonSquare(PyObject *a) {
    Ref two = Ref::steal(PyLong_FromLong(2));
    return two ? PyNumber_Power(a, two.get(), Py_None) : nullptr;
}

template <unaryfunc General, unaryfunc Python> PyObject *unaryOp(PyObject *a) {
    return a == Py_None ? Python(a) : General(a);
}

// The constraint that the general comparison builds (number operands are built as such, on
// the side where they stand). When the modelling types decline the comparison, the objects
// compare as Python compares them.
template <int Op> PyObject *compareOp(PyObject *a, PyObject *b) {
    if (a == Py_None || b == Py_None) return PyObject_RichCompare(a, b, Op);
    PyObject *r = generic_cmp(a, b, Op);
    if (r != Py_NotImplemented) return r;
    Py_DECREF(r);
    return PyObject_RichCompare(a, b, Op);
}

// ---- the loop template
// ----------------------------------------------------------------------------

// out[i] = Op(a[i], b[i]); each result replaces (and releases) what the output slot held. At
// the first failure the slot gets null and the loop ends, leaving the exception for NumPy to
// raise (no operation runs with an exception pending).
template <auto Op, class L, class R>
void arr_loop(char **args, const npy_intp *dims, const npy_intp *steps, void *) {
    L left;
    R right;
    const char *a = args[0], *b = args[1];
    char *out = args[2];
    for (npy_intp i = 0; i < dims[0]; ++i, a += steps[0], b += steps[1], out += steps[2]) {
        PyObject *x = left.get(a), *y = x ? right.get(b) : nullptr;
        PyObject *r = y ? Op(x, y) : nullptr;
        nvr_slot_set(out, r);
        if (!r) return;
    }
}

template <auto Op>
void arr_unary_loop(char **args, const npy_intp *dims, const npy_intp *steps, void *) {
    ModelArg arg;
    const char *a = args[0];
    char *out = args[1];
    for (npy_intp i = 0; i < dims[0]; ++i, a += steps[0], out += steps[1]) {
        PyObject *r = Op(arg.get(a));
        nvr_slot_set(out, r);
        if (!r) return;
    }
}

// ---- registration table
// ---------------------------------------------------------------------------

// Type codes of the table, resolved at registration.
enum Type : char { kVarT = 'V', kExprT = 'E', kDoubleT = 'D', kObjectT = 'O' };

// A binary function: the loops of the forms model-number (_of), number-model (_fo) and
// model-model (_oo), and the output type.
struct BinaryEntry {
    const char *ufunc;
    PyUFuncGenericFunction of, fo, oo;
    Type out;
};

template <auto Op> constexpr BinaryEntry binary(const char *name, Type out) {
    return {name, arr_loop<Op, ModelArg, NumberArg>, arr_loop<Op, NumberArg, ModelArg>,
            arr_loop<Op, ModelArg, ModelArg>, out};
}

const BinaryEntry kBinary[] = {
    binary<compareOp<Py_LE>>("less_equal", kObjectT),
    binary<compareOp<Py_EQ>>("equal", kObjectT),
    binary<compareOp<Py_GE>>("greater_equal", kObjectT),
    binary<binaryOp<general_add, PyNumber_Add>>("add", kExprT),
    binary<binaryOp<general_sub, PyNumber_Subtract>>("subtract", kExprT),
    binary<binaryOp<general_mul, PyNumber_Multiply>>("multiply", kExprT),
    binary<binaryOp<general_div, PyNumber_TrueDivide>>("divide", kExprT),
    binary<binaryOp<general_div, PyNumber_TrueDivide>>("true_divide", kExprT),
    binary<binaryOp<general_pow, pythonPower>>("power", kExprT),
    binary<binaryOp<general_and, PyNumber_And>>("bitwise_and", kExprT),
    binary<binaryOp<general_or, PyNumber_Or>>("bitwise_or", kExprT),
};

struct UnaryEntry {
    const char *ufunc;
    PyUFuncGenericFunction loop;
};

const UnaryEntry kUnary[] = {
    {"negative", arr_unary_loop<unaryOp<general_neg, PyNumber_Negative>>},
    {"square", arr_unary_loop<unaryOp<general_sqr, pythonSquare>>},
};

int typeNum(Type t) {
    switch (t) {
    case kVarT:
        return nvr_py_env.npvar_dtype->type_num;
    case kExprT:
        return nvr_py_env.npexpr_dtype->type_num;
    case kDoubleT:
        return NPY_DOUBLE;
    default:
        return NPY_OBJECT;
    }
}

// Registers loop for the signature types (inputs, then the output) with the later-registered
// of its model input types, after checking the function's arity. 0 or -1.
int registerLoop(PyUFuncObject *ufunc, PyUFuncGenericFunction loop, const std::vector<int> &types) {
    if (ufunc->nin + ufunc->nout != static_cast<int>(types.size()) || ufunc->nout != 1) {
        PyErr_Format(nvy_interf_exc, "NumPy function %s does not take %d arguments", ufunc->name,
                     static_cast<int>(types.size()));
        return -1;
    }
    int owner = 0;
    for (size_t i = 0; i + 1 < types.size(); ++i)
        if (types[i] >= NPY_USERDEF && types[i] > owner) owner = types[i];
    return PyUFunc_RegisterLoopForType(ufunc, owner, loop, types.data(), nullptr);
}

// Registers fn(ufunc) for the NumPy function name, once per function object (divide and
// true_divide are one function in current NumPy). 0 or -1.
template <class F>
int withUfunc(PyObject *numpy, const char *name, std::vector<PyObject *> &done, F fn) {
    Ref u = Ref::steal(PyObject_GetAttrString(numpy, name));
    if (!u) return -1;
    if (!PyObject_TypeCheck(u.get(), &PyUFunc_Type)) {
        PyErr_Format(nvy_interf_exc, "numpy.%s is not a universal function", name);
        return -1;
    }
    for (PyObject *d : done)
        if (d == u.get()) return 0;
    done.push_back(u.get());
    return fn(reinterpret_cast<PyUFuncObject *>(u.get()));
}

} // namespace

int nvr_register_loops() {
    NVR_TRY {
        Ref numpy = Ref::steal(PyImport_ImportModule("numpy"));
        if (!numpy) return -1;
        std::vector<PyObject *> done; // borrowed: NumPy's functions live as long as NumPy
        const int model[] = {typeNum(kVarT), typeNum(kExprT)}, number = NPY_DOUBLE;
        for (const BinaryEntry &e : kBinary) {
            const int out = typeNum(e.out);
            const int rc = withUfunc(numpy.get(), e.ufunc, done, [&](PyUFuncObject *u) {
                for (int m : model)
                    if (registerLoop(u, e.of, {m, number, out}) != 0 ||
                        registerLoop(u, e.fo, {number, m, out}) != 0)
                        return -1;
                for (int m1 : model)
                    for (int m2 : model)
                        if (registerLoop(u, e.oo, {m1, m2, out}) != 0) return -1;
                return 0;
            });
            if (rc != 0) return -1;
        }
        for (const UnaryEntry &e : kUnary) {
            const int rc = withUfunc(numpy.get(), e.ufunc, done, [&](PyUFuncObject *u) {
                for (int m : model)
                    if (registerLoop(u, e.loop, {m, typeNum(kExprT)}) != 0) return -1;
                return 0;
            });
            if (rc != 0) return -1;
        }
        return 0;
    }
    NVR_CATCH(-1)
}
