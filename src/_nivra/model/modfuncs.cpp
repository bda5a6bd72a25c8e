// model/modfuncs.cpp: module functions of the modelling layer, and two private ones for the
// tests: _live_counts() and _algebra(), which reaches the internal entry points of the algebra.
#include <cstring>

#include "algebra.h"
#include "equality.h"
#include "evaluate.h"
#include "expression.h"
#include "hooks.h"
#include "live.h"
#include "runtime/methods.h"
#include "runtime/ref.h"
#include "operand.h"
#include "problem/problem.h"
#include "problem/variables.h"
#include "var.h"

Py_ssize_t nvr_live_objects[kLiveKinds];
const char *const nvr_live_names[kLiveKinds] = {"var",       "linterm",    "quadterm", "expression",
                                                "nonlinear", "constraint", "sos"};

namespace {

// _live_counts() -> dict: the number of live objects of each modelling type.
PyObject *nivramod_live_counts(PyObject *, PyObject *) {
    Ref d = Ref::steal(PyDict_New());
    if (!d) return nullptr;
    for (int k = 0; k < kLiveKinds; ++k) {
        Ref n = Ref::steal(PyLong_FromSsize_t(nvr_live_objects[k]));
        if (!n || PyDict_SetItemString(d.get(), nvr_live_names[k], n.get()) != 0) return nullptr;
    }
    Ref problems = Ref::steal(PyLong_FromSsize_t(problem_live_count()));
    if (!problems || PyDict_SetItemString(d.get(), "problem", problems.get()) != 0) return nullptr;
    return d.release();
}

// ---- _algebra(name, *args)
// ------------------------------------------------------------------------

const struct {
    const char *name;
    binaryfunc f;
} kGeneralBinary[] = {
    {"general_add", general_add}, {"general_iadd", general_iadd}, {"general_sub", general_sub},
    {"general_mul", general_mul}, {"general_imul", general_imul}, {"general_div", general_div},
    {"general_pow", general_pow}, {"general_and", general_and},   {"general_iand", general_iand},
    {"general_or", general_or},   {"general_ior", general_ior},
};
const struct {
    const char *name;
    unaryfunc f;
} kGeneralUnary[] = {{"general_sqr", general_sqr}, {"general_neg", general_neg}};
// Routines of the form f(object, object, double) returning an object.
const struct {
    const char *name;
    PyObject *(*f)(PyObject *, PyObject *, double);
} kScaledBinary[] = {
    {"expression_alg_sum", expression_alg_sum},
    {"expression_incremental_alg_sum", expression_incremental_alg_sum},
};
const struct {
    const char *name;
    int (*f)(PyObject *, PyObject *, double);
} kLinAmend[] = {{"expression_setLinTerm", expression_setLinTerm},
                 {"expression_addToLinTerm", expression_addToLinTerm}};
const struct {
    const char *name;
    int (*f)(PyObject *, PyObject *, PyObject *, double);
} kQuadAmend[] = {{"expression_addToQuadTerm", expression_addToQuadTerm},
                  {"expression_setQuadTerm", expression_setQuadTerm}};

PyObject *noneOrNull(int rc) {
    return rc == 0 ? Py_NewRef(Py_None) : nullptr;
}

PyObject *callOthers(const char *name, PyObject *args) {
    PyObject *a, *b;
    double d;
    if (!strcmp(name, "general_copy"))
        return PyArg_ParseTuple(args, "Od", &a, &d) ? general_copy(a, d) : nullptr;
    if (!strcmp(name, "expression_copy"))
        return PyArg_ParseTuple(args, "Od", &a, &d) ? expression_copy(a, d) : nullptr;
    if (!strcmp(name, "multiply_by_const_expr")) {
        int kind = -1;
        return PyArg_ParseTuple(args, "OOd", &a, &b, &d) ? multiply_by_const_expr(a, b, d, &kind)
                                                         : nullptr;
    }
    if (!strcmp(name, "check_first_var")) {
        var_s *v;
        if (!PyArg_ParseTuple(args, "O", &a) || check_first_var(a, &v) != 0) return nullptr;
        return Py_NewRef(v ? reinterpret_cast<PyObject *>(v) : Py_None);
    }
    if (!strcmp(name, "check_expressions_compatible")) {
        int unlinked = 0;
        if (!PyArg_ParseTuple(args, "OO", &a, &b) ||
            check_expressions_compatible(a, b, &unlinked) != 0)
            return nullptr;
        return PyBool_FromLong(unlinked);
    }
    if (!strcmp(name, "isObjectConst")) {
        double value = 0.0;
        if (!PyArg_ParseTuple(args, "O", &a)) return nullptr;
        const int rc = isObjectConst(a, nullptr, &value);
        return rc < 0 ? nullptr : rc ? PyFloat_FromDouble(value) : Py_NewRef(Py_None);
    }
    if (!strcmp(name, "get_var_col")) {
        const char *context = nullptr;
        int col;
        if (!PyArg_ParseTuple(args, "O!O!|z", &problem_type, &a, &var_type, &b, &context) ||
            get_var_col(reinterpret_cast<problem_s *>(a), b, &col, context) != 0)
            return nullptr;
        return PyLong_FromLong(col);
    }
    return nvr_model_hook(name, args);
}

// _algebra(name, *args): calls the internal routine of that name (for tests).
PyObject *nivramod_algebra(PyObject *, PyObject *args) {
    const Py_ssize_t n = PyTuple_GET_SIZE(args);
    if (n < 1 || !PyUnicode_Check(PyTuple_GET_ITEM(args, 0))) {
        PyErr_SetString(PyExc_TypeError, "_algebra(name, *args)");
        return nullptr;
    }
    const char *name = PyUnicode_AsUTF8(PyTuple_GET_ITEM(args, 0));
    if (!name) return nullptr;
    Ref rest = Ref::steal(PyTuple_GetSlice(args, 1, n));
    if (!rest) return nullptr;
    PyObject *a, *b, *c;
    double d;
    for (auto &e : kGeneralBinary)
        if (!strcmp(name, e.name))
            return PyArg_ParseTuple(rest.get(), "OO", &a, &b) ? e.f(a, b) : nullptr;
    for (auto &e : kGeneralUnary)
        if (!strcmp(name, e.name)) return PyArg_ParseTuple(rest.get(), "O", &a) ? e.f(a) : nullptr;
    for (auto &e : kScaledBinary)
        if (!strcmp(name, e.name))
            return PyArg_ParseTuple(rest.get(), "OOd", &a, &b, &d) ? e.f(a, b, d) : nullptr;
    for (auto &e : kLinAmend)
        if (!strcmp(name, e.name))
            return PyArg_ParseTuple(rest.get(), "OOd", &a, &b, &d) ? noneOrNull(e.f(a, b, d))
                                                                   : nullptr;
    for (auto &e : kQuadAmend)
        if (!strcmp(name, e.name))
            return PyArg_ParseTuple(rest.get(), "OOOd", &a, &b, &c, &d)
                       ? noneOrNull(e.f(a, b, c, d))
                       : nullptr;
    return callOthers(name, rest.get());
}

} // namespace

PyMethodDef nvr_model_methods[] = {
    {"vars", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(nivramod_vars)),
     METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("vars(*indices, name='x', lb=0, ub=infinity, threshold=1, vartype=continuous)\n\n"
               "Deprecated with positional arguments: unlinked variables over index sets (use\n"
               "problem.addVariables). Without positional arguments one unlinked nivra.var.")},
    {"evaluate", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(nivramod_evaluate)),
     METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("evaluate(*objects, problem=None, solution=None): the values of expressions at a "
               "solution (a dict of variables to values, a list or array of column values, or "
               "the problem's current solution)")},
    {"is_equal", nivramod_is_equal, METH_VARARGS,
     PyDoc_STR("is_equal(a, b) -> bool: whether two model objects (or containers of them) have "
               "the same algebraic form")},
    {"_live_counts", nivramod_live_counts, METH_NOARGS,
     PyDoc_STR("_live_counts() -> dict: live objects per modelling type (for tests)")},
    {"_algebra", nivramod_algebra, METH_VARARGS,
     PyDoc_STR("_algebra(name, *args): call an internal routine of the algebra (for tests)")},
    {nullptr, nullptr, 0, nullptr},
};
