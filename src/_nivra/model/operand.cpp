// model/operand.cpp: operand kinds, numbers, representative variables and the compatibility
// check of two operands.
#include "runtime/npy.h"

#include "operand.h"

#include "expression.h"
#include "linterm.h"
#include "runtime/env.h"
#include "nonlinear/nonlinear.h"
#include "quadterm.h"
#include "var.h"

namespace {

// NumPy scalar types that count as numbers besides float and int subclasses (float64 is a
// float subclass already). Resolved on first use, after NumPy's interface was imported.
struct NumpyNumbers {
    PyTypeObject *types[6] = {};
    NumpyNumbers() {
        const int nums[] = {NPY_HALF, NPY_FLOAT, NPY_INT8, NPY_INT16, NPY_INT32, NPY_INT64};
        for (int i = 0; i < 6; ++i) {
            PyArray_Descr *d = PyArray_DescrFromType(nums[i]);
            types[i] = d ? d->typeobj : nullptr;
            Py_XDECREF(d);
        }
        PyErr_Clear();
    }
    bool has(PyTypeObject *t) const {
        for (PyTypeObject *x : types)
            if (x == t) return true;
        return false;
    }
};

bool isNumber(PyObject *o) {
    if (PyFloat_Check(o) || PyLong_Check(o)) return true;
    static const NumpyNumbers numpy;
    return numpy.has(Py_TYPE(o));
}

} // namespace

int exprKindOfOther(PyObject *o) {
    PyTypeObject *t = Py_TYPE(o);
    if (t == &quadterm_type) return kQuadterm;
    if (t == &nonlinear_type) return kNonlinear;
    return isNumber(o) ? kConst : -1;
}

int getExprType(PyObject *o) {
    const int kind = exprKindOf(o);
    if (kind < 0) PyErr_Format(nvy_model_exc, "Invalid object in operation: <%S>", o);
    return kind;
}

int isConstOfKind(PyObject *obj, int kind, double *value) {
    if (kind == kConst) {
        if (PyFloat_CheckExact(obj)) {
            *value = PyFloat_AS_DOUBLE(obj);
            return 1;
        }
        const double v = PyFloat_AsDouble(obj);
        if (v == -1.0 && PyErr_Occurred()) return -1;
        *value = v;
        return 1;
    }
    if (kind == kExpression) {
        const expression_s *e = as_expression(obj);
        if (e->linear || e->quadratic) return 0;
        *value = e->constant;
        return 1;
    }
    return 0;
}

int isObjectConst(PyObject *obj, int *kind, double *value) {
    const int k = exprKindOf(obj);
    const int rc = isConstOfKind(obj, k, value);
    if (rc == 1 && kind) *kind = k;
    return rc;
}

bool isArrayOrSequence(PyObject *o) {
    return PyArray_Check(o) || PySequence_Check(o);
}

namespace {

// First variable found among the arguments of a nonlinear node, depth first. 0 or -1.
int firstVarOfNonlinear(PyObject *obj, var_s **var) {
    *var = nullptr;
    if (Py_EnterRecursiveCall(" while looking for a variable in a nonlinear expression")) return -1;
    const int32_t op = reinterpret_cast<nonlin_s *>(obj)->op;
    const bool skipCallable = op >= kOpUserNoDerivatives && op <= kOpUserDerivativesOnDemand;
    Py_ssize_t index = 0;
    int rc = 0;
    bool first = true;
    for (PyObject *arg = nonlin_arg_first(obj, &index); arg && rc == 0 && !*var;
         arg = nonlin_arg_next(obj, &index), first = false)
        if (!(skipCallable && first)) rc = check_first_var(arg, var);
    Py_LeaveRecursiveCall();
    return rc == 0 && PyErr_Occurred() ? -1 : rc;
}

} // namespace

int firstVarOfKind(PyObject *obj, int kind, var_s **var) {
    PyObject *v = nullptr;
    switch (kind) {
    case kConst:
        break;
    case kVar:
        v = obj;
        break;
    case kLinterm:
        v = as_linterm(obj)->var;
        break;
    case kQuadterm:
        v = as_quadterm(obj)->var1;
        break;
    case kExpression: {
        const expression_s *e = as_expression(obj);
        if (e->linear) v = linmap_any_key(e->linear);
        if (!v && e->quadratic) v = quadmap_any_key(e->quadratic);
        break;
    }
    case kNonlinear:
        if (firstVarOfNonlinear(obj, var) != 0) return -1;
        v = reinterpret_cast<PyObject *>(*var);
        break;
    default:
        PyErr_SetString(nvy_model_exc, "Invalid operand in expression");
        return -1;
    }
    *var = reinterpret_cast<var_s *>(v);
    if (v && var_is_deleted(*var)) {
        // The key may be one that entries not merged yet cancel: look again after merging.
        if (kind == kExpression && expression_settle(as_expression(obj)))
            return firstVarOfKind(obj, kind, var);
        PyErr_SetString(nvy_model_exc, "Deleted variable in expression");
        return -1;
    }
    return 0;
}

int check_first_var(PyObject *obj, var_s **var) {
    return firstVarOfKind(obj, exprKindOf(obj), var);
}

namespace {

bool sameOwner(const var_s *x, const var_s *y) {
    return !x || !y || x->owner == y->owner;
}

} // namespace

int firstVarAgreeing(PyObject *obj, int kind, const var_s *other, var_s **var) {
    if (firstVarOfKind(obj, kind, var) != 0) return -1;
    if (sameOwner(*var, other) || kind != kExpression || !expression_settle(as_expression(obj)))
        return 0;
    return firstVarOfKind(obj, kind, var);
}

namespace {

// The representatives of a and b, each read again after a merge where it disagrees with the
// other's (a agreeing with b's needs no second reading).
int representatives(PyObject *a, int ka, PyObject *b, int kb, var_s **x, var_s **y) {
    if (firstVarOfKind(a, ka, x) != 0 || firstVarAgreeing(b, kb, *x, y) != 0) return -1;
    return sameOwner(*x, *y) ? 0 : firstVarAgreeing(a, ka, *y, x);
}

int compatible(var_s *x, var_s *y, int *unlinked) {
    if (unlinked) *unlinked = (x && !x->owner) || (y && !y->owner);
    if (sameOwner(x, y)) return 0;
    PyErr_SetString(nvy_model_exc,
                    !x->owner || !y->owner
                        ? "Linked variables and unlinked variables cannot be combined in expression"
                        : "Variables from different problems in expression");
    return -1;
}

} // namespace

int checkCompatibleKinds(PyObject *a, int ka, PyObject *b, int kb) {
    var_s *x, *y;
    if (representatives(a, ka, b, kb, &x, &y) != 0) return -1;
    return compatible(x, y, nullptr);
}

int check_expressions_compatible(PyObject *a, PyObject *b, int *unlinked) {
    var_s *x, *y;
    if (representatives(a, exprKindOf(a), b, exprKindOf(b), &x, &y) != 0) return -1;
    return compatible(x, y, unlinked);
}

PyObject *nvr_zero_dim_element(PyObject *o) {
    PyArray_Descr *d = var_Check(o) ? nvr_py_env.npvar_dtype : nvr_py_env.npexpr_dtype;
    Py_INCREF(d);
    PyObject *arr =
        PyArray_NewFromDescr(&PyArray_Type, d, 0, nullptr, nullptr, nullptr, 0, nullptr);
    if (!arr) return nullptr;
    auto *a = reinterpret_cast<PyArrayObject *>(arr);
    if (PyArray_SETITEM(a, static_cast<char *>(PyArray_DATA(a)), o) != 0) Py_CLEAR(arr);
    return arr;
}
