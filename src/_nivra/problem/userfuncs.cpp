// problem/userfuncs.cpp: user functions of nonlinear formulas: one record per callable and
// number of arguments in the problem's userfuncmap, registered with the nonlinear solver, and
// the three entry points through which the solver calls the Python callable.
#include "userfuncs.h"

#include <cstdio>
#include <new>

#include "model/maps.h"
#include "nonlinear/nonlinear.h"
#include "problem/problem.h"
#include "runtime/calllib.h"
#include "runtime/env.h"
#include "runtime/errors.h"
#include "runtime/ref.h"

namespace {

// One registration: the map's record, the problem it belongs to and the solver's identifier.
struct UserFunction : userfunc_s {
    problem_s *problem;
    int id;
    int op; // the operation code of the node that registered it (its derivative mode)
};

void destroyRecord(userfunc_s *record) {
    delete static_cast<UserFunction *>(record);
}

// Calls the callable with the n argument values, followed by the n deltas (0.0 each when the
// solver passed none) when passDeltas; reads the value and, when the solver passed deltas and
// derivs, the derivative of each argument whose delta is not 0 (the others may be anything,
// None for instance). 0, or -1 with a Python exception.
int callPython(UserFunction *f, const double *args, const double *deltas, double *value,
               double *derivs, bool passDeltas) {
    const int n = f->nargs;
    Ref tuple = Ref::steal(PyTuple_New(passDeltas ? 2 * n : n));
    if (!tuple) return -1;
    for (int i = 0; i < (passDeltas ? 2 * n : n); ++i) {
        const double v = i < n ? args[i] : deltas ? deltas[i - n] : 0.0;
        PyObject *item = PyFloat_FromDouble(v);
        if (!item) return -1;
        PyTuple_SET_ITEM(tuple.get(), i, item);
    }
    Ref result = Ref::steal(PyObject_Call(f->function, tuple.get(), nullptr));
    if (!result) return -1;
    const bool wantDerivs = deltas && derivs;
    const bool isTuple = PyTuple_Check(result.get());
    if (wantDerivs && (!isTuple || PyTuple_GET_SIZE(result.get()) < n + 1))
        return nvr_model_error("User function must return a tuple containing result and all "
                               "derivatives");
    *value = PyFloat_AsDouble(isTuple ? PyTuple_GET_ITEM(result.get(), 0) : result.get());
    if (*value == -1.0 && PyErr_Occurred()) return -1;
    for (int i = 0; wantDerivs && i < n; ++i) {
        PyObject *item = PyTuple_GET_ITEM(result.get(), i + 1);
        if (deltas[i] == 0.0 && !PyFloat_Check(item)) continue;
        derivs[i] = PyFloat_AsDouble(item);
        if (derivs[i] == -1.0 && PyErr_Occurred()) return -1;
    }
    return 0;
}

// The common path of the entry points: the interpreter lock around the call; a Python error
// is kept in the problem's saved-exception slot, where the library call that led here finds
// it. 0 or 1.
int callUser(const double *args, const double *deltas, double *value, double *derivs,
             bool passDeltas, void *data) {
    auto *f = static_cast<UserFunction *>(data);
    const PyGILState_STATE gil = PyGILState_Ensure();
    // After an exception, the call that is failing calls no more Python code.
    if (holdsSavedException(f->problem)) {
        PyGILState_Release(gil);
        return 1;
    }
    int rc = 0;
    NVR_TRY {
        rc = callPython(f, args, deltas, value, derivs, passDeltas);
    }
    catch (...) {
        nvr_translate_exception();
        rc = -1;
    }
    // The exception ends a running solve (optimize raises it); outside a solve the request is
    // forgotten when the next one starts.
    if (rc != 0 && saveException(f->problem, "user function", f->problem->prob))
        NVRAinterrupt(f->problem->prob, NVRA_STOP_INTERRUPT);
    PyGILState_Release(gil);
    return rc != 0 ? 1 : 0;
}

double userNoDerivatives(const double *args, void *data) {
    double value = 0.0;
    if (callUser(args, nullptr, &value, nullptr, false, data) != 0)
        NSLPsetfunctionerror(static_cast<UserFunction *>(data)->problem->nlprob);
    return value;
}

int userWithDerivatives(const double *args, const double *deltas, double *value, double *derivs,
                        void *data) {
    return callUser(args, deltas, value, derivs, false, data);
}

int userDerivativesOnDemand(const double *args, const double *deltas, double *value, double *derivs,
                            void *data) {
    return callUser(args, deltas, value, derivs, true, data);
}

// The name the solver knows the function by: a plain function's __name__, else "Func" and the
// callable's address.
void functionName(PyObject *function, char (&name)[64]) {
    if (PyFunction_Check(function)) {
        const char *text = nullptr;
        if (PyObject *n = PyObject_GetAttrString(function, "__name__")) {
            text = PyUnicode_Check(n) ? PyUnicode_AsUTF8(n) : nullptr;
            if (text) snprintf(name, sizeof name, "%s", text);
            Py_DECREF(n);
        }
        PyErr_Clear();
        if (text) return;
    }
    snprintf(name, sizeof name, "Func%p", static_cast<void *>(function));
}

} // namespace

int createUserFunction(problem_model_s *pm, PyObject *args, int op, int *id) {
    auto *p = static_cast<problem_s *>(pm);
    if (!PyTuple_Check(args) || PyTuple_GET_SIZE(args) < 1 ||
        !PyCallable_Check(PyTuple_GET_ITEM(args, 0)))
        return nvr_model_error("Invalid user function, must specify at least one argument (the "
                               "user function itself)");
    PyObject *function = PyTuple_GET_ITEM(args, 0);
    const int nargs = static_cast<int>(PyTuple_GET_SIZE(args) - 1);
    if (userfunc_s *known = userfuncmap_get(p->userfuncs, function, nargs)) {
        *id = static_cast<UserFunction *>(known)->id;
        return 0;
    }
    auto *record = new (std::nothrow) UserFunction;
    if (!record) return nvr_model_error("Out of memory");
    record->function = function;
    record->nargs = nargs;
    record->destroy = destroyRecord;
    record->problem = p;
    record->op = op;
    char name[64];
    functionName(function, name);
    const bool values = op == kOpUserNoDerivatives;
    void (*entry)(void) = values ? reinterpret_cast<void (*)(void)>(userNoDerivatives)
                          : op == kOpUserDerivatives
                              ? reinterpret_cast<void (*)(void)>(userWithDerivatives)
                              : reinterpret_cast<void (*)(void)>(userDerivativesOnDemand);
    if (problem_call(p, NSLPadduserfunction, "NSLPadduserfunction", name,
                     values ? NSLP_USERFUNC_VALUE : NSLP_USERFUNC_DERIVS, nargs, 1, 0, entry,
                     static_cast<void *>(record), &record->id) != 0 ||
        userfuncmap_add(p->userfuncs, record) != 0) {
        if (!PyErr_Occurred()) PyErr_NoMemory();
        delete record;
        return -1;
    }
    *id = record->id;
    return 0;
}

PyObject *userFunctionOf(problem_lib_s *pl, int id, int *op) {
    auto *p = static_cast<problem_s *>(pl);
    if (!p->userfuncs) return nullptr;
    for (const auto &entry : p->userfuncs->map) {
        const auto *f = static_cast<const UserFunction *>(entry.second);
        if (f->id == id) {
            *op = f->op;
            return f->function;
        }
    }
    return nullptr;
}
