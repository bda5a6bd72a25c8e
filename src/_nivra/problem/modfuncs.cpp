// problem/modfuncs.cpp: the module functions of the problem layer: evaluate (at a given
// solution or a problem's current one), vars (unlinked variables in bulk, deprecated) and
// _linkedProblem (for pickling model objects with their problem).
#include "runtime/npy.h"

#include <vector>

#include "methods.h"
#include "model/constraint.h"
#include "model/evaluate.h"
#include "model/operand.h"
#include "model/sos.h"
#include "model/var.h"
#include "problem.h"
#include "runtime/args.h"
#include "runtime/calllib.h"
#include "runtime/env.h"
#include "runtime/ref.h"
#include "variables.h"

namespace {

constexpr const char *kBadSolution = "Argument \"solution\" must be a dictionary, a list, or a "
                                     "one-dimensional NumPy array.";

int badSolution() {
    return nvr_raise(nvy_interf_exc, kBadSolution);
}

// A solution list or one-dimensional array as doubles: numbers only. 0 or -1.
int solutionValues(PyObject *solution, std::vector<double> &values) {
    Ref seq;
    if (PyArray_Check(solution)) {
        PyArrayObject *arr = reinterpret_cast<PyArrayObject *>(solution);
        if (PyArray_NDIM(arr) != 1) return badSolution();
        const char kind = PyArray_DESCR(arr)->kind;
        if (kind == 'b' || kind == 'i' || kind == 'u' || kind == 'f') {
            Ref d = Ref::steal(PyArray_FROM_OTF(solution, NPY_DOUBLE, NPY_ARRAY_IN_ARRAY));
            if (!d) return -1;
            const double *p = static_cast<const double *>(
                PyArray_DATA(reinterpret_cast<PyArrayObject *>(d.get())));
            values.assign(p, p + PyArray_SIZE(reinterpret_cast<PyArrayObject *>(d.get())));
            return 0;
        }
        seq = Ref::steal(PySequence_List(solution));
    } else {
        seq = Ref::borrow(solution);
    }
    if (!seq) return -1;
    values.resize(static_cast<size_t>(PyList_GET_SIZE(seq.get())));
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(seq.get()); ++i) {
        PyObject *item = PyList_GET_ITEM(seq.get(), i);
        if (exprKindOf(item) != kConst) {
            PyErr_Format(nvy_interf_exc, "Solution values must be numbers: item %zd is <%S>", i,
                         item);
            return -1;
        }
        if (isConstOfKind(item, kConst, &values[static_cast<size_t>(i)]) < 0) return -1;
    }
    return 0;
}

// The problem's current solution, over all its columns. 0 or -1.
int currentSolution(problem_s *p, std::vector<double> &values) {
    int columns = 0;
    if (problem_call(p, NVRAgetintattrib, "NVRAgetintattrib", NVRA_ATTR_INPUTCOLS, &columns) != 0)
        return -1;
    values.resize(static_cast<size_t>(columns > 0 ? columns : 0));
    if (values.empty()) return 0;
    int status = 0;
    if (problem_call(p, NVRAgetsolution, "NVRAgetsolution", &status, values.data(), 0,
                     static_cast<int>(values.size()) - 1) != 0)
        return -1;
    if (status != 1 && status != 2) return nvr_model_error("Solution is not available");
    return 0;
}

PyObject *evaluate(PyObject *args, PyObject *problem, PyObject *solution) {
    if (!problem && !solution) {
        PyErr_SetString(nvy_interf_exc, "nivra.evaluate() requires at least one of the two "
                                        "arguments \"solution\" and \"problem\"");
        return nullptr;
    }
    if (problem && !problem_Check(problem)) {
        PyErr_SetString(nvy_interf_exc, "Argument \"problem\" must be an nivra.problem object");
        return nullptr;
    }
    var_map map;
    std::vector<double> values;
    if (problem) map.problem = as_problem(problem);
    if (!solution) {
        if (currentSolution(as_problem(problem), values) != 0) return nullptr;
        map.by_column = true;
    } else if (PyDict_Check(solution)) {
        map.dict = solution;
    } else if (PyList_Check(solution) || PyArray_Check(solution)) {
        if (!problem) {
            PyErr_SetString(nvy_interf_exc, "Argument \"problem\" is necessary when passing a list "
                                            "or NumPy array of variable values");
            return nullptr;
        }
        if (solutionValues(solution, values) != 0) return nullptr;
        map.by_column = true;
    } else {
        return badSolution(), nullptr;
    }
    map.values = values.data();
    map.count = static_cast<Py_ssize_t>(values.size());
    return scan_args_expressions(args, map, false);
}

// evaluate(*objects, problem=None, solution=None). New reference or null.
PyObject *nivramod_evaluate(PyObject *, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"problem", "solution", nullptr};
    PyObject *problem = nullptr, *solution = nullptr;
    if (!parseKeywordArgs(kwargs, "|OO", kw, &problem, &solution)) return nullptr;
    NVR_TRY {
        return evaluate(args, problem == Py_None ? nullptr : problem,
                        solution == Py_None ? nullptr : solution);
    }
    NVR_CATCH(nullptr)
}

// _linkedProblem(obj): the problem a variable, constraint or SOS is linked to, else None (an
// unlinked or deleted object, or any other object). New reference.
PyObject *nivramod_linkedProblem(PyObject *, PyObject *obj) {
    problem_model_s *owner = nullptr;
    if (var_Check(obj))
        owner = var_is_deleted(as_var(obj)) ? nullptr : as_var(obj)->owner;
    else if (constraint_Check(obj))
        owner = constraint_problem(as_constraint(obj));
    else if (sos_Check(obj) && as_sos(obj)->owner != kDeletedOwner)
        owner = as_sos(obj)->owner;
    if (!owner) Py_RETURN_NONE;
    return Py_NewRef(reinterpret_cast<PyObject *>(static_cast<problem_s *>(owner)));
}

} // namespace

PyMethodDef nvr_problem_module_methods[] = {
    {"vars", nvr_method(nivramod_vars), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("vars(*indices, name='x', lb=0, ub=infinity, threshold=1, vartype=continuous)\n\n"
               "Deprecated with positional arguments: unlinked variables over index sets (use\n"
               "problem.addVariables). Without positional arguments one unlinked nivra.var.")},
    {"evaluate", nvr_method(nivramod_evaluate), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("evaluate(*objects, problem=None, solution=None): the values of expressions at a "
               "solution (a dict of variables to values, a list or array of column values, or "
               "the problem's current solution)")},
    {"_linkedProblem", nivramod_linkedProblem, METH_O,
     PyDoc_STR("_linkedProblem(obj): the problem holding a linked variable, constraint or SOS, "
               "else None")},
    {nullptr, nullptr, 0, nullptr},
};
