// nonlinear/nonlinear.cpp: nivra.nonlinear: node records, the operation table, construction
// with its checks, copies, argument access and the type object. The arithmetic is in
// nonlinear/arith.cpp, printing in nonlinear/nlprint.cpp, extraction in nonlinear/nlextract.cpp.
#include "nonlinear.h"

#include <utility>

#include "model/algebra.h"
#include "model/constraint.h"
#include "model/live.h"
#include "model/operand.h"
#include "model/var.h"
#include "runtime/env.h"
#include "runtime/ref.h"
#include "model/printing.h"

namespace {

constexpr OperationInfo kOperations[kNumOperations] = {
    {"+", -1, OpForm::Infix, 2},       {"-", 2, OpForm::Infix, 2},
    {"-", 1, OpForm::Prefix, 4},       {"*", -1, OpForm::Infix, 3},
    {"/", 2, OpForm::Infix, 3},        {"**", 2, OpForm::Infix, 5},
    {"exp", 1, OpForm::Function, 0},   {"log", 1, OpForm::Function, 0},
    {"log10", 1, OpForm::Function, 0}, {"sin", 1, OpForm::Function, 0},
    {"cos", 1, OpForm::Function, 0},   {"tan", 1, OpForm::Function, 0},
    {"asin", 1, OpForm::Function, 0},  {"acos", 1, OpForm::Function, 0},
    {"atan", 1, OpForm::Function, 0},  {"max", -1, OpForm::Function, 0},
    {"min", -1, OpForm::Function, 0},  {"abs", 1, OpForm::Function, 0},
    {"sign", 1, OpForm::Function, 0},  {"erf", 1, OpForm::Function, 0},
    {"erfc", 1, OpForm::Function, 0},  {"sqrt", 1, OpForm::Function, 0},
    {"pwl", -1, OpForm::Function, 0},  {"sum", -1, OpForm::Function, 0},
    {"prod", -1, OpForm::Function, 0}, {"and", -1, OpForm::Function, 0},
    {"or", -1, OpForm::Function, 0},   {"user", -1, OpForm::Function, 0},
    {"user", -1, OpForm::Function, 0}, {"user", -1, OpForm::Function, 0},
};

PyObject *modelError(const char *msg) {
    PyErr_SetString(nvy_model_exc, msg);
    return nullptr;
}

// Operations whose node owns a list that in-place forms extend.
bool isListOperation(int32_t op) {
    return op == kOpPlus || op == kOpTimes || op == kOpAnd || op == kOpOr;
}

bool isSequenceArgs(PyObject *args) {
    return args && (PyList_Check(args) || PyTuple_Check(args));
}

// Checks the two operands of a binary node: known kinds, variables that can be combined.
// 0 or -1.
int checkOperands(PyObject *a, PyObject *b) {
    if (getExprType(a) < 0 || getExprType(b) < 0) return -1;
    return check_expressions_compatible(a, b, nullptr);
}

// Appends o, or the items of o when it is a node of op with a list or tuple, to list. 0 or -1.
int appendFlattened(PyObject *list, operation_type op, PyObject *o) {
    if (nonlin_is(o, op) && isSequenceArgs(as_nonlin(o)->args)) {
        Ref items = Ref::steal(PySequence_Tuple(as_nonlin(o)->args)); // b may be a itself
        if (!items) return -1;
        for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(items.get()); ++i)
            if (PyList_Append(list, PyTuple_GET_ITEM(items.get(), i)) != 0) return -1;
        return 0;
    }
    return PyList_Append(list, o);
}

// The argument at position i (borrowed), or null past the end.
PyObject *argAt(PyObject *x, Py_ssize_t i) {
    PyObject *args = as_nonlin(x)->args;
    if (!args) return nullptr;
    if (PyList_Check(args)) return i < PyList_GET_SIZE(args) ? PyList_GET_ITEM(args, i) : nullptr;
    if (PyTuple_Check(args))
        return i < PyTuple_GET_SIZE(args) ? PyTuple_GET_ITEM(args, i) : nullptr;
    return i == 0 ? args : nullptr;
}

// A copy of one argument for nonlin_copy; msg when the argument is of no known kind.
PyObject *copyArgument(PyObject *arg, const char *msg) {
    if (exprKindOf(arg) < 0) return modelError(msg);
    return general_copy(arg, 1.0);
}

// Copies of the arguments of x (a new list or tuple, or the copy of the single argument).
PyObject *copyArguments(const nonlin_s *x) {
    PyObject *args = x->args;
    if (!args) return nullptr;
    if (!isSequenceArgs(args))
        return copyArgument(args, "Invalid object being copied from single argument in a "
                                  "nonlinear expression");
    const bool list = PyList_Check(args);
    const Py_ssize_t n = PySequence_Fast_GET_SIZE(args);
    Ref out = Ref::steal(list ? PyList_New(n) : PyTuple_New(n));
    if (!out) return nullptr;
    for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject *item = PySequence_Fast_GET_ITEM(args, i);
        PyObject *copy = i == 0 && nonlin_is_user(x->op)
                             ? Py_NewRef(item)
                             : copyArgument(item, "Invalid object being copied from argument "
                                                  "list/tuple in a nonlinear expression");
        if (!copy) return nullptr;
        if (list)
            PyList_SET_ITEM(out.get(), i, copy);
        else
            PyTuple_SET_ITEM(out.get(), i, copy);
    }
    return out.release();
}

} // namespace

const OperationInfo *nonlin_info(int32_t op) {
    return op >= 0 && op < kNumOperations ? &kOperations[op] : nullptr;
}

// ---- construction -------------------------------------------------------------------------------

PyObject *nonlin_make(operation_type op, PyObject *args) {
    if (!args) return nullptr;
    nonlin_s *n = newGcModelObject<nonlin_s>(&nonlinear_type, kLiveNonlinear);
    if (!n) {
        Py_DECREF(args);
        return nullptr;
    }
    n->op = op;
    n->args = args;
    PyObject_GC_Track(n);
    return reinterpret_cast<PyObject *>(n);
}

PyObject *nonlin_base() {
    nonlin_s *n = newGcModelObject<nonlin_s>(&nonlinear_type, kLiveNonlinear);
    if (!n) return nullptr;
    n->op = -1;
    PyObject_GC_Track(n);
    return reinterpret_cast<PyObject *>(n);
}

PyObject *nonlin_instantiate_unary(operation_type op, PyObject *x) {
    if (PyList_Check(x) || PyTuple_Check(x))
        return modelError("Could not create a unary nonlinear expression: the argument must be a "
                          "single expression");
    if (exprKindOf(x) < 0) return modelError("Invalid object in unary nonlinear expression");
    var_s *first;
    if (check_first_var(x, &first) != 0) return nullptr;
    return nonlin_make(op, Py_NewRef(x));
}

PyObject *nonlin_binary_unchecked(operation_type op, PyObject *a, PyObject *b) {
    if (!isListOperation(op)) return nonlin_make(op, PyTuple_Pack(2, a, b));
    if (exprKindOf(a) == kConst && exprKindOf(b) != kConst) std::swap(a, b);
    return nonlin_make(op, Py_BuildValue("[OO]", a, b));
}

PyObject *nonlin_instantiate_binary_flatten(operation_type op, PyObject *a, PyObject *b) {
    if (checkOperands(a, b) != 0) return nullptr;
    if (exprKindOf(a) == kConst && exprKindOf(b) != kConst) std::swap(a, b);
    Ref list = Ref::steal(PyList_New(0));
    if (!list || appendFlattened(list.get(), op, a) != 0 || appendFlattened(list.get(), op, b) != 0)
        return nullptr;
    return nonlin_make(op, list.release());
}

PyObject *nonlin_instantiate_nary(operation_type op, PyObject *seq) {
    if (!PyList_Check(seq) && !PyTuple_Check(seq))
        return modelError("Could not create an n-ary nonlinear expression: the arguments must be "
                          "in a list or tuple");
    const bool user = nonlin_is_user(op);
    PyObject *firstVar = nullptr;
    for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(seq); ++i) {
        PyObject *item = PySequence_Fast_GET_ITEM(seq, i);
        if (user && i == 0) {
            if (!PyCallable_Check(item))
                return modelError("First argument in a user function expression must be a "
                                  "function");
            continue;
        }
        if (exprKindOf(item) < 0) return modelError("Invalid object in n-ary nonlinear expression");
        var_s *v;
        if (check_first_var(item, &v) != 0) return nullptr;
        PyObject *vo = reinterpret_cast<PyObject *>(v);
        if (!vo) continue;
        if (!firstVar)
            firstVar = vo;
        else if (check_expressions_compatible(firstVar, vo, nullptr) != 0)
            return nullptr;
    }
    return nonlin_make(op, isListOperation(op) ? PySequence_List(seq) : Py_NewRef(seq));
}

PyObject *nonlin_inplace_generic(operation_type op, PyObject *a, PyObject *b) {
    if (!nonlin_is(a, op) || !PyList_Check(as_nonlin(a)->args))
        return nonlin_instantiate_binary_flatten(op, a, b);
    if (checkOperands(a, b) != 0 || appendFlattened(as_nonlin(a)->args, op, b) != 0) return nullptr;
    return Py_NewRef(a);
}

PyObject *nonlin_neg(PyObject *a) {
    return nonlin_instantiate_unary(kOpUnaryMinus, a);
}
PyObject *nonlin_abs(PyObject *a) {
    return nonlin_instantiate_unary(kOpAbs, a);
}

// ---- copies -------------------------------------------------------------------------------------

PyObject *nonlin_clone(PyObject *x) {
    const nonlin_s *n = as_nonlin(x);
    if (!n->args) return nonlin_base();
    PyObject *args = PyList_Check(n->args) ? PyList_GetSlice(n->args, 0, PyList_GET_SIZE(n->args))
                                           : Py_NewRef(n->args);
    return nonlin_make(static_cast<operation_type>(n->op), args);
}

namespace {

// c times a new copy of a node of operation op: a times node whose last item is a number
// takes c into that number; any other node becomes the times node [copy, c].
PyObject *scaleCopy(Ref copy, double c, int32_t op) {
    if (!copy || c == 1.0) return copy.release();
    PyObject *args = as_nonlin(copy.get())->args;
    if (op == kOpTimes && PyList_Check(args) && PyList_GET_SIZE(args) > 0) {
        const Py_ssize_t last = PyList_GET_SIZE(args) - 1;
        double f;
        PyObject *item = PyList_GET_ITEM(args, last);
        if (exprKindOf(item) == kConst) {
            if (isConstOfKind(item, kConst, &f) < 0) return nullptr;
            PyObject *scaled = PyFloat_FromDouble(f * c);
            if (!scaled) return nullptr;
            PyList_SetItem(args, last, scaled); // cannot fail: the index exists
            return copy.release();
        }
    }
    return nonlin_make(kOpTimes, Py_BuildValue("[Od]", copy.get(), c));
}

} // namespace

PyObject *nonlin_copy(PyObject *x, double c) {
    if (!nonlinear_Check(x))
        return PyErr_Format(nvy_model_exc, "Invalid object in operation: <%S>", x);
    if (c == 0.0) return PyFloat_FromDouble(0.0);
    const nonlin_s *n = as_nonlin(x);
    if (Py_EnterRecursiveCall(" while copying a nonlinear expression")) return nullptr;
    PyObject *r;
    if (c != 1.0 && n->op == kOpUnaryMinus && n->args)
        r = general_copy(n->args, -c); // -(a) scaled by c is a scaled by -c
    else if (!n->args)
        r = nonlin_base();
    else
        r = scaleCopy(Ref::steal(nonlin_make(static_cast<operation_type>(n->op), copyArguments(n))),
                      c, n->op);
    Py_LeaveRecursiveCall();
    return r;
}

// ---- argument access ----------------------------------------------------------------------------

Py_ssize_t nonlin_arg_size(PyObject *x) {
    if (!nonlinear_Check(x)) return -1;
    PyObject *args = as_nonlin(x)->args;
    if (!args) return 0;
    return isSequenceArgs(args) ? PySequence_Fast_GET_SIZE(args) : 1;
}

PyObject *nonlin_arg_first(PyObject *x, Py_ssize_t *index) {
    if (!nonlinear_Check(x))
        return modelError("Accessing first argument list of an object that is not a nonlinear "
                          "expression");
    *index = 0;
    return argAt(x, 0);
}

PyObject *nonlin_arg_next(PyObject *x, Py_ssize_t *index) {
    if (!nonlinear_Check(x))
        return modelError("Accessing next argument list of an object that is not a nonlinear "
                          "expression");
    return argAt(x, ++*index);
}

// ---- type ---------------------------------------------------------------------------------------

namespace {

void nonlinear_dealloc(PyObject *self) {
    PyObject_GC_UnTrack(self);
    // Deep trees are released through the interpreter's trashcan, not by deep C recursion.
    Py_TRASHCAN_BEGIN(self, nonlinear_dealloc) Py_CLEAR(as_nonlin(self)->args);
    freeModelObject(self, kLiveNonlinear);
    Py_TRASHCAN_END
}

int nonlinear_traverse(PyObject *self, visitproc visit, void *arg) {
    Py_VISIT(as_nonlin(self)->args);
    return 0;
}

int nonlinear_clear(PyObject *self) {
    Py_CLEAR(as_nonlin(self)->args);
    return 0;
}

PyMethodDef nonlinear_methods[] = {
    NVR_REPR_LATEX_METHOD,
    {"extractLinear", nonlin_extractLinear, METH_NOARGS,
     PyDoc_STR("extractLinear() -> ([var], [coef]): the linear part, ordered by variable")},
    {"extractQuadratic", nonlin_extractQuadratic, METH_NOARGS,
     PyDoc_STR("extractQuadratic() -> ([var1], [var2], [coef]): the quadratic part, ordered by "
               "pair of variables")},
    {nullptr, nullptr, 0, nullptr},
};

} // namespace

PyTypeObject nonlinear_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.nonlinear",
    .tp_basicsize = sizeof(nonlin_s),
    .tp_dealloc = nonlinear_dealloc,
    .tp_repr = nonlin_str,
    .tp_as_number = &nvr_model_number_methods,
    .tp_str = nonlin_str,
    .tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC,
    .tp_doc = PyDoc_STR("Nonlinear expression: a node of an expression tree (operator, "
                        "mathematical function or user function) over model objects"),
    .tp_traverse = nonlinear_traverse,
    .tp_clear = nonlinear_clear,
    .tp_richcompare = generic_cmp,
    .tp_methods = nonlinear_methods,
};
