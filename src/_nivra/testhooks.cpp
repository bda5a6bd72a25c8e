// testhooks.cpp: the private module functions through which the tests reach internals of
// every layer: _live_counts() and _algebra(name, *args).
#include "testhooks.h"

#include <cstring>
#include <vector>

#include "api/convert.h"
#include "model/algebra.h"
#include "model/constraint.h"
#include "model/evaluate.h"
#include "model/expression.h"
#include "model/live.h"
#include "model/operand.h"
#include "model/problem_model.h"
#include "model/sos.h"
#include "model/var.h"
#include "nonlinear/formula.h"
#include "nonlinear/nonlinear.h"
#include "problem/convert.h"
#include "problem/problem.h"
#include "runtime/calllib.h"
#include "runtime/env.h"
#include "runtime/errors.h"
#include "runtime/ref.h"

namespace {

// make_constraint(a, b, op)
PyObject *makeConstraint(PyObject *args) {
    PyObject *a, *b;
    int op;
    return PyArg_ParseTuple(args, "OOi", &a, &b, &op) ? make_constraint(a, b, op) : nullptr;
}

// get_con_row(problem, constraint) -> row
PyObject *constraintRow(PyObject *args) {
    PyObject *p, *c;
    int row;
    if (!PyArg_ParseTuple(args, "O!O!", &problem_type, &p, &constraint_type, &c) ||
        get_con_row(as_problem(p), as_constraint(c), &row) != 0)
        return nullptr;
    return PyLong_FromLong(row);
}

// get_sos_index(problem, sos) -> index
PyObject *sosIndex(PyObject *args) {
    PyObject *p, *s;
    int64_t index;
    if (!PyArg_ParseTuple(args, "O!O!", &problem_type, &p, &sos_type, &s) ||
        get_sos_index(as_problem(p), as_sos(s), &index) != 0)
        return nullptr;
    return PyLong_FromLongLong(index);
}

// evaluate_indexed(problem, [column values], (objects...)): the index mode of the walker.
PyObject *evaluateIndexed(PyObject *args) {
    PyObject *p, *list, *objects;
    if (!PyArg_ParseTuple(args, "O!O!O!", &problem_type, &p, &PyList_Type, &list, &PyTuple_Type,
                          &objects))
        return nullptr;
    std::vector<double> values(static_cast<size_t>(PyList_GET_SIZE(list)));
    for (size_t i = 0; i < values.size(); ++i)
        if ((values[i] = PyFloat_AsDouble(PyList_GET_ITEM(list, i))) == -1.0 && PyErr_Occurred())
            return nullptr;
    var_map map;
    map.problem = as_problem(p);
    map.values = values.data();
    map.count = static_cast<Py_ssize_t>(values.size());
    map.by_column = true;
    return scan_args_expressions(objects, map, true);
}

// set_owner(obj, owner[, index]): puts a variable, SOS or constraint (one without an unlinked
// block) into the states that only a problem creates: owner 0 unlinked, 0xDEAD deleted, else
// the address of its problem (id(p), or a stand-in that the code under test compares but never
// follows); index, when given, becomes its column, set or row.
PyObject *setOwner(PyObject *args) {
    PyObject *obj;
    unsigned long long address;
    long long index = -1;
    if (!PyArg_ParseTuple(args, "OK|L", &obj, &address, &index)) return nullptr;
    auto *owner = reinterpret_cast<problem_model_s *>(static_cast<uintptr_t>(address));
    if (var_Check(obj)) {
        as_var(obj)->owner = owner;
        if (index >= 0) {
            as_var(obj)->id_low = static_cast<uint32_t>(index);
            as_var(obj)->id_high = static_cast<uint16_t>(index >> 32);
        }
    } else if (sos_Check(obj)) {
        as_sos(obj)->owner = owner;
        if (index >= 0) as_sos(obj)->index = index;
    } else if (constraint_Check(obj) && !constraint_is_unlinked(as_constraint(obj))) {
        as_constraint(obj)->owner = owner;
        if (index >= 0) as_constraint(obj)->id_low = static_cast<uint32_t>(index);
    } else {
        return PyErr_Format(PyExc_TypeError, "set_owner: no owner to set on %R", obj);
    }
    Py_RETURN_NONE;
}

// constraint_slots(c): the number of slots of a constraint's unlinked block.
PyObject *constraintSlots(PyObject *args) {
    PyObject *c;
    if (!PyArg_ParseTuple(args, "O!", &constraint_type, &c)) return nullptr;
    return PyLong_FromLong(constraint_slots(as_constraint(c)));
}

// lib_error(code, message, global) raises what a library failure with that code raises.
PyObject *libError(PyObject *args) {
    int code, global;
    const char *msg;
    if (PyArg_ParseTuple(args, "isp", &code, &msg, &global))
        nvr_raise_lib_error(code, msg, global != 0);
    return nullptr;
}

// nonlin_args(x) -> (size, [arguments]) through the argument accessors.
PyObject *nonlinearArguments(PyObject *args) {
    PyObject *x;
    if (!PyArg_ParseTuple(args, "O", &x)) return nullptr;
    Ref list = Ref::steal(PyList_New(0));
    if (!list) return nullptr;
    Py_ssize_t index = 0;
    for (PyObject *arg = nonlin_arg_first(x, &index); arg; arg = nonlin_arg_next(x, &index))
        if (PyList_Append(list.get(), arg) != 0) return nullptr;
    if (PyErr_Occurred()) return nullptr;
    return Py_BuildValue("(nO)", nonlin_arg_size(x), list.get());
}

// The token arrays of buf as two lists (types, values). New reference or null.
PyObject *tokenLists(problem_s *p, const TokenBuffer &buf) {
    Ref types = Ref::steal(PyList_New(0)), values = Ref::steal(PyList_New(0));
    const auto n = static_cast<int64_t>(buf.count);
    if (!types || !values || conv_arr2obj<kElemInt>(p, n, buf.types.data(), types.get()) != 0 ||
        conv_arr2obj<kElemDouble>(p, n, buf.values.data(), values.get()) != 0)
        return nullptr;
    return PyTuple_Pack(2, types.get(), values.get());
}

// formula_write(problem, tree, coefficient=False) -> (types, values), or for a coefficient
// (types, values, column, factor).
PyObject *formulaWrite(PyObject *args) {
    PyObject *p, *tree;
    int coefficient = 0;
    if (!PyArg_ParseTuple(args, "O!O|p", &problem_type, &p, &tree, &coefficient)) return nullptr;
    FormulaTarget target;
    if (problem_formulaTarget(as_problem(p), &target) != 0) return nullptr;
    TokenBuffer buf;
    int col = 0;
    double factor = 1.0;
    if (!coefficient)
        return formula_write(target, tree, buf) != 0 ? nullptr : tokenLists(as_problem(p), buf);
    if (formula_write_coefficient(target, tree, buf, &col, &factor) != 0) return nullptr;
    Ref tokens = Ref::steal(tokenLists(as_problem(p), buf));
    return tokens ? Py_BuildValue("(OOid)", PyTuple_GET_ITEM(tokens.get(), 0),
                                  PyTuple_GET_ITEM(tokens.get(), 1), col, factor)
                  : nullptr;
}

// The token arrays of two lists. 0 or -1.
int tokenArrays(PyObject *types, PyObject *values, std::vector<int> &t, std::vector<double> &v) {
    if (!PyList_Check(types) || !PyList_Check(values) ||
        PyList_GET_SIZE(types) != PyList_GET_SIZE(values))
        return nvr_raise(PyExc_TypeError, "two lists of the same length expected");
    for (Py_ssize_t k = 0; k < PyList_GET_SIZE(types); ++k) {
        t.push_back(static_cast<int>(PyLong_AsLong(PyList_GET_ITEM(types, k))));
        v.push_back(PyFloat_AsDouble(PyList_GET_ITEM(values, k)));
    }
    return PyErr_Occurred() ? -1 : 0;
}

// formula_read(problem, types, values) -> the model object of a parsed formula.
PyObject *formulaRead(PyObject *args) {
    PyObject *p, *types, *values;
    std::vector<int> t;
    std::vector<double> v;
    if (!PyArg_ParseTuple(args, "O!OO", &problem_type, &p, &types, &values) ||
        tokenArrays(types, values, t, v) != 0)
        return nullptr;
    return nonlin_from_formula(as_problem(p), t.data(), v.data(), t.size(), "formula_read");
}

// formula_evaluate(problem, tree, values) -> the library's value of tree written as a formula,
// with the columns at the given values (one per column).
PyObject *formulaEvaluate(PyObject *args) {
    PyObject *p, *tree, *values;
    if (!PyArg_ParseTuple(args, "O!OO!", &problem_type, &p, &tree, &PyList_Type, &values))
        return nullptr;
    problem_s *prob = as_problem(p);
    std::vector<int> cols;
    std::vector<double> x;
    for (Py_ssize_t k = 0; k < PyList_GET_SIZE(values); ++k) {
        cols.push_back(static_cast<int>(k));
        x.push_back(PyFloat_AsDouble(PyList_GET_ITEM(values, k)));
    }
    FormulaTarget target;
    TokenBuffer buf;
    double result = 0.0;
    if (PyErr_Occurred() || problem_formulaTarget(prob, &target) != 0 ||
        formula_write(target, tree, buf) != 0 ||
        problem_call(prob, NVRAnlpsetinitval, "NVRAnlpsetinitval", static_cast<int>(cols.size()),
                     cols.data(), x.data()) != 0 ||
        problem_call(prob, NSLPevaluateformula, "NSLPevaluateformula", 1, buf.types.data(),
                     buf.values.data(), &result) != 0)
        return nullptr;
    return PyFloat_FromDouble(result);
}

const struct {
    const char *name;
    PyObject *(*f)(PyObject *);
} kHooks[] = {
    {"formula_write", formulaWrite},
    {"formula_read", formulaRead},
    {"formula_evaluate", formulaEvaluate},
    {"make_constraint", makeConstraint},
    {"get_con_row", constraintRow},
    {"get_sos_index", sosIndex},
    {"evaluate_indexed", evaluateIndexed},
    {"nonlin_args", nonlinearArguments},
    {"lib_error", libError},
    {"set_owner", setOwner},
    {"constraint_slots", constraintSlots},
};

// Calls the hook name with the arguments args: make_constraint(a, b, op),
// get_con_row(problem, constraint), get_sos_index(problem, sos), evaluate_indexed(problem,
// values, objects), nonlin_args(x), lib_error(code, message, global), set_owner(obj, owner[,
// index]), constraint_slots(c), and formula_write, formula_read and formula_evaluate (above). New
// reference, or null with an exception (ValueError for an unknown name).
PyObject *callHook(const char *name, PyObject *args) {
    for (const auto &h : kHooks)
        if (!strcmp(name, h.name)) {
            NVR_TRY {
                return h.f(args);
            }
            NVR_CATCH(nullptr)
        }
    return PyErr_Format(PyExc_ValueError, "unknown routine %s", name);
}

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
            get_var_col(as_problem(a), b, &col, context) != 0)
            return nullptr;
        return PyLong_FromLong(col);
    }
    return callHook(name, args);
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

PyMethodDef nvr_test_methods[] = {
    {"_live_counts", nivramod_live_counts, METH_NOARGS,
     PyDoc_STR("_live_counts() -> dict: live objects per modelling type (for tests)")},
    {"_algebra", nivramod_algebra, METH_VARARGS,
     PyDoc_STR("_algebra(name, *args): call an internal routine of the algebra (for tests)")},
    {nullptr, nullptr, 0, nullptr},
};
