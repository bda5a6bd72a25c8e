// model/var.cpp: nivra.var: construction, properties of unlinked variables in the module-wide
// maps, attribute access, printing, hashing, solution methods and the column lookup.
#include "var.h"

#include <cmath>
#include <utility>

#include "algebra.h"
#include "constraint.h"
#include "extract.h"
#include "linterm.h"
#include "libaccess.h"
#include "live.h"
#include "maps.h"
#include "runtime/alloc.h"
#include "runtime/args.h"
#include "runtime/calllib.h"
#include "runtime/env.h"
#include "runtime/errors.h"
#include "runtime/ref.h"
#include "nvra.h"
#include "problem_model.h"
#include "printing.h"

namespace {

constexpr double kInf = NVRA_PLUSINFINITY;
constexpr const char *kDeletedMsg = "Variable has been deleted from the problem";
// NaN is no bound: refused wherever a bound or threshold is given.
constexpr const char *kNanLb = "Invalid variable bound: lb is NaN";
constexpr const char *kNanUb = "Invalid variable bound: ub is NaN";
constexpr const char *kNanThreshold = "Invalid variable threshold: threshold is NaN";

// ---- properties of linked variables, through the library -------------------------------------

int col(const var_s *v) {
    return static_cast<int>(v->id_low);
}

template <int (*Get)(NVRAprob, double[], int, int)>
PyObject *linkedBound(const var_s *v, const char *name) {
    double x = 0.0;
    if (problem_call(v->owner, Get, name, &x, col(v), col(v)) != 0) return nullptr;
    return PyFloat_FromDouble(x);
}

PyObject *linkedVartype(const var_s *v) {
    char letter = 'C';
    if (problem_call(v->owner, NVRAgetcoltype, "NVRAgetcoltype", &letter, col(v), col(v)) != 0)
        return nullptr;
    return PyLong_FromLong(coltype_to_vartype(letter));
}

int linkedSetBound(const var_s *v, char which, double x) {
    const int c = col(v);
    return problem_call(v->owner, NVRAchgbounds, "NVRAchgbounds", 1, &c, &which, &x);
}

int linkedSetThreshold(const var_s *v, double x) {
    const int c = col(v);
    return problem_call(v->owner, NVRAchgglblimit, "NVRAchgglblimit", 1, &c, &x);
}

int linkedSetVartype(const var_s *v, int type) {
    const int c = col(v);
    const char letter = vartype_to_coltype(type);
    return problem_call(v->owner, NVRAchgcoltype, "NVRAchgcoltype", 1, &c, &letter);
}

int raiseDeleted() {
    PyErr_SetString(nvy_model_exc, kDeletedMsg);
    return -1;
}

// ---- properties of unlinked variables ------------------------------------------------------

int lbCode(const var_s *v) {
    return v->flags & kVarLbMask;
}
int ubCode(const var_s *v) {
    return (v->flags & kVarUbMask) >> 2;
}
int typeOf(const var_s *v) {
    return (v->flags & kVarTypeMask) >> kVarTypeShift;
}

double unlinkedLb(const var_s *v) {
    static const double coded[] = {0.0, -kInf, 1.0};
    const int code = lbCode(v);
    return code < 3 ? coded[code] : boundmap_get(nvr_py_env.unlinked_lb, var_id(v));
}
double unlinkedUb(const var_s *v) {
    static const double coded[] = {kInf, 0.0, 1.0};
    const int code = ubCode(v);
    return code < 3 ? coded[code] : boundmap_get(nvr_py_env.unlinked_ub, var_id(v));
}
double unlinkedThreshold(const var_s *v) {
    return v->flags & kVarThresholdFlag ? boundmap_get(nvr_py_env.unlinked_threshold, var_id(v))
                                        : -kInf;
}

// Stores a bound as its code, or in the map when no code fits. mask and shift select the
// flag bits; the codes for 0.0 and 1.0 are given, infinite is code `infCode`. 0 or -1.
int storeBound(var_s *v, boundmap *map, double x, uint16_t mask, int shift, bool infinite,
               int infCode, int zeroCode, int oneCode) {
    const int code = infinite ? infCode : x == 0.0 ? zeroCode : x == 1.0 ? oneCode : 3;
    if (code == 3) {
        if (boundmap_set(map, var_id(v), x) != 0) {
            PyErr_NoMemory();
            return -1;
        }
    } else if (((v->flags & mask) >> shift) == 3) {
        boundmap_del(map, var_id(v));
    }
    v->flags = static_cast<uint16_t>((v->flags & ~mask) | (code << shift));
    return 0;
}
int storeLb(var_s *v, double lb) {
    return storeBound(v, nvr_py_env.unlinked_lb, lb, kVarLbMask, 0, lb <= -kInf, 1, 0, 2);
}
int storeUb(var_s *v, double ub) {
    return storeBound(v, nvr_py_env.unlinked_ub, ub, kVarUbMask, 2, ub >= kInf, 0, 1, 2);
}
int storeThreshold(var_s *v, double t) {
    if (t <= -kInf) {
        if (v->flags & kVarThresholdFlag) boundmap_del(nvr_py_env.unlinked_threshold, var_id(v));
        v->flags &= ~kVarThresholdFlag;
        return 0;
    }
    if (boundmap_set(nvr_py_env.unlinked_threshold, var_id(v), t) != 0) {
        PyErr_NoMemory();
        return -1;
    }
    v->flags |= kVarThresholdFlag;
    return 0;
}
void storeType(var_s *v, int type) {
    v->flags = static_cast<uint16_t>((v->flags & ~kVarTypeMask) | (type << kVarTypeShift));
}
// Takes over the reference to name. 0 or -1.
int storeName(var_s *v, PyObject *name) {
    if (namemap_set(nvr_py_env.unlinked_names, var_id(v), name) != 0) {
        PyErr_NoMemory();
        return -1;
    }
    v->flags |= kVarNameFlag;
    return 0;
}

// Removes the variable's entries from the module maps (which are gone after module free).
void releaseUnlinked(var_s *v) {
    if (!nvr_py_env.unlinked_lb) return;
    const uint64_t id = var_id(v);
    if (lbCode(v) == 3) boundmap_del(nvr_py_env.unlinked_lb, id);
    if (ubCode(v) == 3) boundmap_del(nvr_py_env.unlinked_ub, id);
    if (v->flags & kVarThresholdFlag) boundmap_del(nvr_py_env.unlinked_threshold, id);
    if (v->flags & kVarNameFlag) namemap_del(nvr_py_env.unlinked_names, id);
    v->flags = 0;
}

bool isLinked(const var_s *v) {
    return v->owner && v->owner != kDeletedOwner;
}

// ---- construction ------------------------------------------------------------------------------

PyObject *var_new(PyTypeObject *type, PyObject *, PyObject *) {
    return reinterpret_cast<PyObject *>(newModelObject<var_s>(type, kLiveVar));
}

void var_dealloc(PyObject *self) {
    var_s *v = as_var(self);
    if (!v->owner) releaseUnlinked(v);
    freeModelObject(self, kLiveVar);
}

int checkNameArg(PyObject *name) {
    return nvr_nameText(name, "Variable") ? 0 : -1;
}

int var_init(PyObject *self, PyObject *args, PyObject *kwargs) {
    var_s *v = as_var(self);
    if (v->owner) {
        PyErr_SetString(nvy_interf_exc, "Cannot re-initialize a variable");
        return -1;
    }
    if (warnDeprec(9, 5, "create a linked variable by calling problem.addVariable()") != 0)
        return -1;
    static const char *const kw[] = {"name", "lb", "ub", "threshold", "vartype", nullptr};
    PyObject *name = Py_None;
    double lb = 0.0, ub = kInf, threshold = 1.0;
    long vartype = kContinuous;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "|Odddl", kw, nullptr, &name, &lb, &ub, &threshold,
                                   &vartype))
        return -1;
    if (vartype == kBinary && ub >= kInf) ub = 1.0;
    if (validate_var_bounds(vartype, &lb, &ub, threshold) != 0) return -1;
    if (name != Py_None && checkNameArg(name) != 0) return -1;
    const uint64_t id = var_id(v) ? var_id(v) : nvr_py_env.next_var_serial++;
    return var_init_unlinked(self, id, static_cast<int>(vartype), lb, ub, threshold,
                             name == Py_None ? nullptr : name);
}

// ---- attributes ---------------------------------------------------------------------------------

// Reads a property of a live (linked or unlinked) variable; deleted ones raise.
template <double (*Unlinked)(const var_s *), int (*Linked)(NVRAprob, double[], int, int)>
PyObject *getBound(PyObject *self, void *) {
    var_s *v = as_var(self);
    if (var_is_deleted(v)) return raiseDeleted(), nullptr;
    if (isLinked(v)) return linkedBound<Linked>(v, Linked == NVRAgetlb ? "NVRAgetlb" : "NVRAgetub");
    return PyFloat_FromDouble(Unlinked(v));
}

PyObject *var_get_threshold(PyObject *self, void *) {
    var_s *v = as_var(self);
    if (var_is_deleted(v)) return raiseDeleted(), nullptr;
    if (isLinked(v)) {
        PyErr_SetString(nvy_interf_exc, "Threshold cannot be queried");
        return nullptr;
    }
    return PyFloat_FromDouble(unlinkedThreshold(v));
}

PyObject *var_get_vartype(PyObject *self, void *) {
    var_s *v = as_var(self);
    if (var_is_deleted(v)) return raiseDeleted(), nullptr;
    if (isLinked(v)) return linkedVartype(v);
    return PyLong_FromLong(typeOf(v));
}

PyObject *var_get_name(PyObject *self, void *) {
    return var_str(self);
}

PyObject *var_get_index(PyObject *self, void *) {
    const var_s *v = as_var(self);
    if (var_is_deleted(v)) return PyLong_FromLong(-1);
    if (!v->owner) Py_RETURN_NONE;
    return PyLong_FromUnsignedLong(v->id_low);
}

PyObject *var_get_dict(PyObject *self, void *) {
    const var_s *v = as_var(self);
    Ref d = Ref::steal(PyDict_New());
    if (!d) return nullptr;
    static const char *const names[] = {"lb", "ub", "threshold", "vartype", "name", "index"};
    for (const char *name : names) {
        if (var_is_deleted(v) && name != names[5]) continue;
        if (isLinked(v) && name == names[2]) continue;
        Ref value = Ref::steal(PyObject_GetAttrString(self, name));
        if (!value || PyDict_SetItemString(d.get(), name, value.get()) != 0) return nullptr;
    }
    return d.release();
}

// Setters: every one refuses deletion of the attribute (tp_setattro does) and deleted variables.
int checkSettable(var_s *v) {
    return var_is_deleted(v) ? raiseDeleted() : 0;
}

int var_set_lb(PyObject *self, PyObject *value, void *) {
    var_s *v = as_var(self);
    double x;
    if (checkSettable(v) != 0 || nvr_readNumber(value, &x, kNanLb) != 0) return -1;
    if (isLinked(v)) return linkedSetBound(v, 'L', x);
    int type = typeOf(v);
    if (type == kBinary && !(x >= 0.0 && x <= 1.0)) storeType(v, type = kInteger);
    if (type == kBinary || type == kInteger) x = std::ceil(x);
    return storeLb(v, x);
}

int var_set_ub(PyObject *self, PyObject *value, void *) {
    var_s *v = as_var(self);
    double x;
    if (checkSettable(v) != 0 || nvr_readNumber(value, &x, kNanUb) != 0) return -1;
    if (isLinked(v)) return linkedSetBound(v, 'U', x);
    int type = typeOf(v);
    if (type == kBinary && !(x >= 0.0 && x <= 1.0)) storeType(v, type = kInteger);
    if (type == kBinary || type == kInteger) x = std::floor(x);
    return storeUb(v, x);
}

int var_set_threshold(PyObject *self, PyObject *value, void *) {
    var_s *v = as_var(self);
    double x;
    if (checkSettable(v) != 0 || nvr_readNumber(value, &x, kNanThreshold) != 0) return -1;
    if (isLinked(v)) return linkedSetThreshold(v, x);
    return storeThreshold(v, x);
}

int var_set_vartype(PyObject *self, PyObject *value, void *) {
    var_s *v = as_var(self);
    if (checkSettable(v) != 0) return -1;
    const long type = PyLong_AsLong(value);
    if (type == -1 && PyErr_Occurred()) return -1;
    if (type < kContinuous || type > kPartiallyInteger) {
        PyErr_SetString(
            nvy_model_exc,
            "Invalid variable type: should be one of nivra.binary, nivra.continuous, etc.");
        return -1;
    }
    if (isLinked(v)) return linkedSetVartype(v, static_cast<int>(type));
    const int old = typeOf(v);
    if (type == kBinary && old != kBinary) {
        if (storeLb(v, 0.0) != 0 || storeUb(v, 1.0) != 0) return -1;
    } else if (type == kInteger && old != kInteger) {
        if (storeLb(v, std::ceil(unlinkedLb(v))) != 0 || storeUb(v, std::floor(unlinkedUb(v))) != 0)
            return -1;
    }
    storeType(v, static_cast<int>(type));
    return 0;
}

int var_set_name(PyObject *self, PyObject *value, void *) {
    var_s *v = as_var(self);
    if (checkSettable(v) != 0 || checkNameArg(value) != 0) return -1;
    if (isLinked(v)) return nvr_setEntityName(v->owner, NVRA_NAMES_COLUMNS, col(v), value);
    return storeName(v, Py_NewRef(value));
}

int var_set_index(PyObject *, PyObject *, void *) {
    PyErr_SetString(nvy_interf_exc, "Variable index cannot be modified");
    return -1;
}

int var_set_dict(PyObject *, PyObject *, void *) {
    PyErr_SetString(PyExc_AttributeError,
                    "attribute '__dict__' of 'nivra.var' objects is not writable");
    return -1;
}

int var_setattro(PyObject *self, PyObject *name, PyObject *value) {
    if (!value) {
        PyErr_Format(nvy_interf_exc, "Cannot delete the %U attribute", name);
        return -1;
    }
    return PyObject_GenericSetAttr(self, name, value);
}

PyObject *var_repr(PyObject *self) {
    return var_str(self);
}

Py_hash_t var_hash(PyObject *self) {
    return static_cast<Py_hash_t>(as_var(self)->id_low);
}

// ---- solution methods ---------------------------------------------------------------------------

struct SolutionQuery {
    int (*get)(NVRAprob, int *, double[], int, int);
    const char *function;     // the library function, for its error report
    const char *unlinkedName; // the problem method to call instead
    const char *what;         // for "%s not available"
};

// The value of the variable's column in a solution; the library's status must be 1 (optimal)
// or 2 (feasible).
template <const SolutionQuery &Q> PyObject *solutionMethod(PyObject *self, PyObject *) {
    var_s *v = as_var(self);
    if (var_is_deleted(v)) return raiseDeleted(), nullptr;
    if (!v->owner) {
        PyErr_Format(nvy_interf_exc, "For unlinked variables, call problem.%s(var)",
                     Q.unlinkedName);
        return nullptr;
    }
    int status = 0;
    double x = 0.0;
    if (problem_call(v->owner, Q.get, Q.function, &status, &x, col(v), col(v)) != 0) return nullptr;
    if (status != 1 && status != 2) {
        PyErr_Format(nvy_model_exc, "%s not available", Q.what);
        return nullptr;
    }
    return PyFloat_FromDouble(x);
}

constexpr SolutionQuery kSolution{NVRAgetsolution, "NVRAgetsolution", "getSolution", "Solution"};
constexpr SolutionQuery kRedCost{NVRAgetredcosts, "NVRAgetredcosts", "getRedCosts",
                                 "Reduced costs"};
constexpr SolutionQuery kCallbackSolution{NVRAgetcallbacksolution, "NVRAgetcallbacksolution",
                                          "getCallbackSolution", "Solution"};
constexpr SolutionQuery kCallbackRedCost{NVRAgetcallbackredcosts, "NVRAgetcallbackredcosts",
                                         "getCallbackRedCosts", "Reduced costs"};

// ---- tables -------------------------------------------------------------------------------------

PyMethodDef var_methods[] = {
    NVR_REPR_LATEX_METHOD,
    {"getSolution", solutionMethod<kSolution>, METH_NOARGS,
     PyDoc_STR("getSolution() -> float: the variable's value in the current solution")},
    {"getRedCost", solutionMethod<kRedCost>, METH_NOARGS,
     PyDoc_STR("getRedCost() -> float: the variable's reduced cost")},
    {"getCallbackSolution", solutionMethod<kCallbackSolution>, METH_NOARGS,
     PyDoc_STR("getCallbackSolution() -> float: the value in a callback's solution")},
    {"getCallbackRedCost", solutionMethod<kCallbackRedCost>, METH_NOARGS,
     PyDoc_STR("getCallbackRedCost() -> float: the reduced cost in a callback")},
    {"extractLinear", nvr_extractLinear, METH_NOARGS,
     PyDoc_STR("extractLinear() -> ([var], [coef]): the linear part")},
    {"extractQuadratic", nvr_extractQuadratic, METH_NOARGS,
     PyDoc_STR("extractQuadratic() -> ([var1], [var2], [coef]): the quadratic part")},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef var_getset[] = {
    {"lb", getBound<unlinkedLb, NVRAgetlb>, var_set_lb, PyDoc_STR("lower bound"), nullptr},
    {"ub", getBound<unlinkedUb, NVRAgetub>, var_set_ub, PyDoc_STR("upper bound"), nullptr},
    {"threshold", var_get_threshold, var_set_threshold,
     PyDoc_STR("threshold of a semi-continuous, semi-integer or partially integer variable"),
     nullptr},
    {"vartype", var_get_vartype, var_set_vartype, PyDoc_STR("variable type"), nullptr},
    {"name", var_get_name, var_set_name, PyDoc_STR("name"), nullptr},
    {"index", var_get_index, var_set_index,
     PyDoc_STR("column index; None when unlinked, -1 when deleted"), nullptr},
    {"__dict__", var_get_dict, var_set_dict, PyDoc_STR("the properties as a dict"), nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

} // namespace

// ---- functions for other files ------------------------------------------------------------------

int var_init_unlinked(PyObject *var, uint64_t serial, int vartype, double lb, double ub,
                      double threshold, PyObject *name) {
    var_s *v = as_var(var);
    v->id_low = static_cast<uint32_t>(serial);
    v->id_high = static_cast<uint16_t>(serial >> 32);
    if (storeLb(v, lb) != 0 || storeUb(v, ub) != 0 || storeThreshold(v, threshold) != 0) return -1;
    storeType(v, vartype);
    return name ? storeName(v, Py_NewRef(name)) : 0;
}

void var_unlinked_props(const var_s *v, int *vartype, double *lb, double *ub, double *threshold) {
    *vartype = typeOf(v);
    *lb = unlinkedLb(v);
    *ub = unlinkedUb(v);
    *threshold = unlinkedThreshold(v);
}

char vartype_to_coltype(int vartype) {
    static const char letters[] = "CBISRP";
    return vartype >= 1 && vartype <= 5 ? letters[vartype] : 'C';
}

int coltype_to_vartype(char coltype) {
    switch (coltype) {
    case 'B':
        return kBinary;
    case 'I':
        return kInteger;
    case 'S':
        return kSemiContinuous;
    case 'R':
        return kSemiInteger;
    case 'P':
        return kPartiallyInteger;
    default:
        return kContinuous;
    }
}

int validate_var_bounds(long vartype, double *lb, double *ub, double threshold) {
    if (std::isnan(*lb) || std::isnan(*ub) || std::isnan(threshold))
        return nvr_model_error(std::isnan(*lb) ? kNanLb : std::isnan(*ub) ? kNanUb : kNanThreshold);
    if (vartype < kContinuous || vartype > kPartiallyInteger) {
        PyErr_Format(
            nvy_model_exc,
            "Invalid variable type %ld: expected one of nivra.binary, nivra.continuous, etc.",
            vartype);
        return -1;
    }
    if (vartype == kBinary) {
        const char *msg =
            !(*lb >= 0.0 && *lb <= 1.0)
                ? "Invalid variable domain: binary variables must have a lower bound "
                  "between 0 and 1"
            : !(*ub >= 0.0 && *ub <= 1.0)
                ? "Invalid variable domain: binary variables must have an upper bound "
                  "between 0 and 1"
                : nullptr;
        if (msg) {
            PyErr_SetString(nvy_model_exc, msg);
            return -1;
        }
    }
    if ((vartype == kBinary || vartype == kInteger) && *lb <= *ub) {
        *lb = std::ceil(*lb);
        *ub = std::floor(*ub);
    }
    if (vartype >= kSemiContinuous && (*lb > threshold || *ub < threshold)) {
        PyErr_SetString(nvy_model_exc,
                        "Incorrect semi-continuous, semi-integer, or partially integer variable; "
                        "check that its threshold is between its lower and upper bounds");
        return -1;
    }
    return 0;
}

PyObject *var_str(PyObject *var) {
    const var_s *v = as_var(var);
    if (var_is_deleted(v)) return PyUnicode_FromString("(deleted variable)");
    if (isLinked(v)) return nvr_entityName(v->owner, NVRA_NAMES_COLUMNS, col(v));
    if (v->flags & kVarNameFlag) {
        PyObject *name = namemap_get(nvr_py_env.unlinked_names, var_id(v));
        if (name) return Py_NewRef(name);
    }
    return PyUnicode_FromFormat("C%llu", static_cast<unsigned long long>(var_id(v)));
}

namespace {

// Column lookup with its messages; " in <context>" is added when a context is given.
int varCol(problem_model_s *prob, PyObject *var, int *col, const char *context) {
    const var_s *v = as_var(var);
    const char *in = context ? " in " : "";
    if (!context) context = "";
    const char *fault = nullptr;
    if (var_is_deleted(v)) {
        fault = "Variable%s%s has been deleted from the problem";
    } else if (v->owner) {
        if (v->owner == prob || (prob->parent && v->owner == prob->parent)) {
            *col = static_cast<int>(v->id_low);
            return 0;
        }
        fault = "Variable%s%s is from a different problem";
    } else if (var_id(v) == 0) {
        fault = "Variable%s%s is not initialized";
    } else {
        long index;
        if (rowcolmap_get(prob->var_index_map, var_id(v), &index) == 0) {
            *col = static_cast<int>(index);
            return 0;
        }
        fault = "Variable%s%s does not belong to this problem";
    }
    PyErr_Format(nvy_model_exc, fault, in, context);
    return -1;
}

} // namespace

int get_var_col(problem_model_s *prob, PyObject *var, int *col, const char *context) {
    return varCol(prob, var, col, context);
}

int get_var_col_nowarn(problem_model_s *prob, PyObject *var, int *col, const char *context) {
    return varCol(prob, var, col, context);
}

PyObject *var_copy(PyObject *x, double c) {
    if (var_is_deleted(as_var(x))) {
        PyErr_SetString(nvy_model_exc, "Deleted variable in expression");
        return nullptr;
    }
    if (c == 1.0) return Py_NewRef(x);
    return linterm_fill(c, x);
}

PyObject *var_base() {
    return var_new(&var_type, nullptr, nullptr);
}

PyTypeObject var_type = {
    NVR_TYPE_HEAD,
    .tp_name = "nivra.var",
    .tp_basicsize = sizeof(var_s),
    .tp_dealloc = var_dealloc,
    .tp_repr = var_repr,
    .tp_as_number = &nvr_model_number_methods,
    .tp_hash = var_hash,
    .tp_str = var_str,
    .tp_setattro = var_setattro,
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = PyDoc_STR("var(name=None, lb=0, ub=infinity, threshold=1, vartype=continuous): a "
                        "decision variable (deprecated: use problem.addVariable)"),
    .tp_richcompare = generic_cmp,
    .tp_methods = var_methods,
    .tp_getset = var_getset,
    .tp_init = var_init,
    .tp_new = var_new,
};
