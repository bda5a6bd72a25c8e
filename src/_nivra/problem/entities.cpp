// problem/entities.cpp: problem.addSOS (linked sets from variables and weights, or existing
// unlinked sets) and problem.addIndicator (a binary variable, or var == 0 / var == 1, that
// switches a constraint on).
#include "runtime/npy.h"

#include "problem/entities.h"

#include <cstring>
#include <string>
#include <vector>

#include "model/constraint.h"
#include "model/maps.h"
#include "model/operand.h"
#include "model/sos.h"
#include "model/var.h"
#include "numeric/walker.h"
#include "problem/constraints.h"
#include "problem/convert.h"
#include "problem/methods.h"
#include "problem/problib.h"
#include "runtime/args.h"
#include "runtime/ref.h"

namespace {

// ---- addSOS -------------------------------------------------------------------------------------

// The first element of a collection (tuple, list, other sequence, dict; the only element of a
// one-element NumPy object array), borrowed; null when there is none (no exception).
PyObject *firstElement(PyObject *o) {
    if (!o) return nullptr;
    if (PyList_Check(o) || PyTuple_Check(o))
        return PySequence_Fast_GET_SIZE(o) ? PySequence_Fast_ITEMS(o)[0] : nullptr;
    if (PyDict_Check(o)) {
        Py_ssize_t pos = 0;
        PyObject *key, *value;
        return PyDict_Next(o, &pos, &key, &value) ? value : nullptr;
    }
    if (PyArray_Check(o)) {
        auto *a = reinterpret_cast<PyArrayObject *>(o);
        if (PyArray_SIZE(a) != 1 || PyArray_TYPE(a) != NPY_OBJECT) return nullptr;
        return *static_cast<PyObject **>(PyArray_DATA(a));
    }
    return nullptr;
}

// o (which may be null) is a nivra.sos.
bool isSos(PyObject *o) {
    return o && sos_Check(o);
}

int collectLeaf(PyObject *leaf, void *list) {
    return PyList_Append(static_cast<PyObject *>(list), leaf);
}

// The set type of an argument: None or 1 gives '1', 2 gives '2'. 0 or -1.
int setType(PyObject *type, char *out) {
    long t = 1;
    if (type && type != Py_None) {
        t = nvo_isIntegerArg(type) ? PyLong_AsLong(type) : -1;
        if (t == -1 && PyErr_Occurred()) PyErr_Clear();
    }
    if (t != 1 && t != 2) return nvr_model_error("SOS type must be 1 or 2");
    *out = t == 1 ? '1' : '2';
    return 0;
}

// The new path: a linked set from a list of variables (or column indices) and weights.
PyObject *addNewSOS(problem_s *p, PyObject *args, PyObject *kwargs) {
    static const char *const kw[] = {"indices", "weights", "type", "name", nullptr};
    PyObject *indices, *weights, *type = nullptr, *name = nullptr;
    if (!nvo_ParseTupleAndKeywords(args, kwargs, "OO|OO", kw, nullptr, &indices, &weights, &type,
                                   &name))
        return nullptr;
    if (!PyList_Check(indices)) {
        nvr_model_error(isSos(indices) || isSos(firstElement(indices))
                            ? "Cannot use problem.addSOS to add existing SOS to the problem"
                            : "SOS indices must be a list of variables");
        return nullptr;
    }
    if (!PyList_Check(weights))
        return nvr_model_error("SOS weights must be a list of numbers"), nullptr;
    char settype = '1';
    if (setType(type, &settype) != 0) return nullptr;
    if (name == Py_None) name = nullptr;
    if (name && !PyUnicode_Check(name))
        return nvr_model_error("SOS name must be a string"), nullptr;
    const Py_ssize_t n = PyList_GET_SIZE(indices);
    if (PyList_GET_SIZE(weights) != n)
        return nvr_model_error("Number of SOS indices and weights do not match"), nullptr;
    int index = 0;
    if (problem_intAttrib(p, NVRA_ATTR_SETS, &index) != 0) return nullptr;
    LibArray<int> cols(static_cast<size_t>(n));
    LibArray<double> refs(static_cast<size_t>(n));
    if (n > 0 && (!cols || !refs)) return nullptr;
    for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject *v = PyList_GET_ITEM(indices, i), *w = PyList_GET_ITEM(weights, i);
        if (var_Check(v)) {
            if (get_var_col(p, v, &cols[i], "SOS") != 0) return nullptr;
        } else if (PyLong_Check(v)) {
            cols[i] = PyLong_AsLong(v);
            if (cols[i] == -1 && PyErr_Occurred()) return nullptr;
        } else {
            return nvr_model_error("SOS indices must be variables or integer indices"), nullptr;
        }
        if (!PyLong_Check(w) && !PyFloat_Check(w))
            return nvr_model_error("SOS weights must be numbers"), nullptr;
        refs[i] = PyFloat_AsDouble(w);
        if (refs[i] == -1.0 && PyErr_Occurred()) return nullptr;
    }
    const int start = 0;
    if (problem_call(p, NVRAaddsets, "NVRAaddsets", 1, static_cast<int>(n), &settype, &start,
                     cols.get(), refs.get()) != 0)
        return nullptr;
    Ref set;
    const char *text = name ? nvr_nameText(name, "SOS") : nullptr;
    if ((!name || (text && problem_call(p, NVRAaddnames, "NVRAaddnames", NVRA_NAMES_SETS, text,
                                        index, index) == 0)) &&
        (set = Ref::steal(sos_new_linked(p, index))) && PyList_Append(p->sets, set.get()) == 0)
        return set.release();
    AutoSavedException keep;
    if (set) as_sos(set.get())->owner = kDeletedOwner;
    problem_call(p, NVRAdelsets, "NVRAdelsets", 1, &index);
    PyErr_Clear();
    return nullptr;
}

// One existing unlinked set checked for p: its columns and weights appended. 0 or -1.
int admitExisting(problem_s *p, PyObject *leaf, std::vector<int> &cols, std::vector<double> &refs) {
    if (!sos_Check(leaf)) return nvr_model_error("Object added is not a SOS");
    const sos_s *s = as_sos(leaf);
    if (s->owner == kDeletedOwner) return nvr_model_error("Deleted SOS cannot be re-used");
    if (s->owner) return nvr_model_error("Linked SOS cannot be added to another problem");
    if (s->index == 0 || !s->indices || !s->weights)
        return nvr_model_error("SOS is not initialized");
    if (rowcolmap_has(p->sos_index_map, static_cast<uint64_t>(s->index)))
        return nvr_model_error("SOS already added to problem");
    if (!PyList_Check(s->indices)) return nvr_model_error("SOS indices must be passed as a list");
    const Py_ssize_t n = PyList_GET_SIZE(s->indices);
    if (!PyList_Check(s->weights) || PyList_GET_SIZE(s->weights) != n)
        return nvr_model_error("Number of SOS indices and weights do not match");
    for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject *v = PyList_GET_ITEM(s->indices, i), *w = PyList_GET_ITEM(s->weights, i);
        int col = 0;
        if (!var_Check(v) || get_var_col(p, v, &col, nullptr) != 0) {
            PyErr_Clear();
            PyErr_Format(nvy_model_exc, "Invalid variable index %S", v);
            return -1;
        }
        double ref = 0.0;
        if (isObjectConst(w, nullptr, &ref) != 1) {
            PyErr_Clear();
            PyErr_Format(nvy_model_exc, "Invalid weight %S", w);
            return -1;
        }
        cols.push_back(col);
        refs.push_back(ref);
    }
    return 0;
}

PyObject *problem_addSOS(PyObject *self, PyObject *args, PyObject *kwargs) {
    problem_s *p = as_problem(self);
    if (checkProblemIsInitialized(p) != 0) return nullptr;
    PyObject *first = PyTuple_GET_SIZE(args) ? PyTuple_GET_ITEM(args, 0) : nullptr;
    const bool existing =
        !kwargs && (problem_holdsUnlinked(p) || isSos(first) || isSos(firstElement(first)));
    if (!existing) return addNewSOS(p, args, kwargs);
    if (problem_holdsLinked(p))
        return nvr_model_error("Cannot use problem.addSOS to add an existing SOS to the problem"),
               nullptr;
    Ref leaves = Ref::steal(PyList_New(0));
    if (!leaves || for_each_nested_object(args, collectLeaf, leaves.get(), kNestingDepth) != 0 ||
        problem_addExistingSOS(p, leaves.get()) != 0)
        return nullptr;
    Py_RETURN_NONE;
}

// ---- addIndicator -------------------------------------------------------------------------------

struct Indicator {
    PyObject *condition; // a variable or a constraint var == 0 / var == 1
    PyObject *con;       // the constraint it switches on
    int col = -1, complement = 0;
};

bool isIndicatorPair(PyObject *o) {
    if (!PyTuple_Check(o) || PyTuple_GET_SIZE(o) != 2) return false;
    PyObject *a = PyTuple_GET_ITEM(o, 0), *b = PyTuple_GET_ITEM(o, 1);
    return (var_Check(a) || constraint_Check(a)) && constraint_Check(b);
}

const char kBadIndicators[] = "Invalid indicator constraints: pass either two constraints or one "
                              "or more tuples, each containing two constraints";

// The indicator pairs in o: a pair, or a list, tuple, NumPy array or iterable of them. 0 or -1.
int collectPairs(PyObject *o, std::vector<Indicator> &out, int depth) {
    if (isIndicatorPair(o)) {
        out.push_back({PyTuple_GET_ITEM(o, 0), PyTuple_GET_ITEM(o, 1)});
        return 0;
    }
    if (depth <= 0 || var_Check(o) || constraint_Check(o) || PyUnicode_Check(o) ||
        !(PyList_Check(o) || PyTuple_Check(o) || PyArray_Check(o) || PyIter_Check(o)))
        return nvr_model_error(kBadIndicators);
    Ref items = Ref::steal(PySequence_Fast(o, kBadIndicators));
    if (!items) return -1;
    for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(items.get()); ++i)
        if (collectPairs(PySequence_Fast_ITEMS(items.get())[i], out, depth - 1) != 0) return -1;
    return 0;
}

const char kBadCondition[] = "Invalid indicator expression. Must be var==0 or var==1, where var "
                             "is a binary variable";

// A binary column of p. 0 or -1 with the condition error.
int binaryColumn(problem_s *p, int col) {
    char type = 0;
    if (problem_call(p, NVRAgetcoltype, "NVRAgetcoltype", &type, col, col) != 0) return -1;
    return type == 'B' ? 0 : nvr_model_error(kBadCondition);
}

// The condition of an indicator: its column and complement. 0 or -1.
int condition(problem_s *p, Indicator &ind) {
    if (var_Check(ind.condition)) {
        ind.complement = 1;
        return get_var_col(p, ind.condition, &ind.col, "indicator condition") != 0
                   ? -1
                   : binaryColumn(p, ind.col);
    }
    const constraint_s *c = as_constraint(ind.condition);
    if (checkConstraintValid(c) != 0) return -1;
    if (constraint_is_linked(c)) {
        PyErr_Format(nvy_model_exc,
                     "Indicator condition has already been added as a constraint "
                     "to %s problem",
                     constraint_problem(c) == p ? "the" : "another");
        return -1;
    }
    PyObject *body = constraint_body(c);
    if (!body)
        return nvr_model_error("Indicator constraint cannot be added because the condition has no "
                               "body");
    const double lb = constraint_lb(c), ub = constraint_ub(c);
    if (exprKindOf(body) == kNonlinear) return nvr_model_error(kBadCondition);
    OwnedExprRow row;
    if (convertExpr(p, body, &row, false) != 0) return -1;
    if (row.nnz != 1 || row.nq != 0 || row.vals[0] != 1.0 || row.constant != 0.0 || lb != ub ||
        (lb != 0.0 && lb != 1.0))
        return nvr_model_error(kBadCondition);
    ind.col = row.cols[0];
    ind.complement = lb == 1.0 ? 1 : -1;
    return binaryColumn(p, ind.col);
}

// The constraint of an indicator. 0 or -1.
int admitConstraint(problem_s *p, const Indicator &ind) {
    const constraint_s *c = as_constraint(ind.con);
    if (checkConstraintValid(c) != 0) return -1;
    if (constraint_is_linked(c))
        return constraint_problem(c) == p
                   ? 0
                   : nvr_model_error("Indicator constraint has already been added to another "
                                     "problem");
    PyObject *body = constraint_body(c);
    if (!body)
        return nvr_model_error("Indicator constraint cannot be added because it has no body");
    const int kind = exprKindOf(body);
    if (kind == kNonlinear)
        return nvr_model_error("Nonlinear indicator constraints are not allowed");
    if (kind < 0) return nvr_model_error("Invalid constraint assigned to indicator");
    if (constraint_kind(c) == kConKindUnlinked)
        return nvr_model_error("Indicator constraint cannot be added because it contains unlinked "
                               "variables");
    return 0;
}

PyObject *problem_addIndicator(PyObject *self, PyObject *args) NVR_TRY {
    problem_s *p = as_problem(self);
    if (checkProblemIsInitialized(p) != 0) return nullptr;
    std::vector<Indicator> inds;
    if (isIndicatorPair(args))
        inds.push_back({PyTuple_GET_ITEM(args, 0), PyTuple_GET_ITEM(args, 1)});
    else if (collectPairs(args, inds, kNestingDepth + 1) != 0)
        return nullptr;
    // Everything is checked before anything is added.
    Ref newRows = Ref::steal(PyList_New(0));
    if (!newRows) return nullptr;
    for (Indicator &ind : inds) {
        if (admitConstraint(p, ind) != 0 || condition(p, ind) != 0) return nullptr;
        if (!constraint_is_linked(as_constraint(ind.con)) &&
            PyList_Append(newRows.get(), ind.con) != 0)
            return nullptr;
    }
    int rowsBefore = 0;
    if (problem_intAttrib(p, NVRA_ATTR_ROWS, &rowsBefore) != 0) return nullptr;
    const Py_ssize_t listed = PyList_GET_SIZE(p->cons);
    Ref rowArgs = Ref::steal(PyTuple_Pack(1, newRows.get()));
    if (!rowArgs || problem_addConstraint(p, rowArgs.get()) != 0) return nullptr;
    std::vector<int> rows, cols, comps;
    for (const Indicator &ind : inds) {
        int row = 0;
        if (get_con_row(p, as_constraint(ind.con), &row) != 0) break;
        rows.push_back(row);
        cols.push_back(ind.col);
        comps.push_back(ind.complement);
    }
    if (rows.size() == inds.size() &&
        problem_call(p, NVRAsetindicators, "NVRAsetindicators", static_cast<int>(rows.size()),
                     rows.data(), cols.data(), comps.data()) == 0)
        Py_RETURN_NONE;
    // Only an exhausted machine gets here (everything was checked): the rows of this call go.
    AutoSavedException keep;
    int rowsAfter = rowsBefore;
    if (problem_intAttrib(p, NVRA_ATTR_ROWS, &rowsAfter) == 0 && rowsAfter > rowsBefore) {
        std::vector<int> added;
        for (int r = rowsBefore; r < rowsAfter; ++r)
            added.push_back(r);
        problem_call(p, NVRAdelrows, "NVRAdelrows", static_cast<int>(added.size()), added.data());
    }
    for (Py_ssize_t i = listed; i < PyList_GET_SIZE(p->cons); ++i)
        problem_markObjectDeleted(PyList_GET_ITEM(p->cons, i));
    PyList_SetSlice(p->cons, listed, PyList_GET_SIZE(p->cons), nullptr);
    PyErr_Clear();
    return nullptr;
}
NVR_CATCH(nullptr)

} // namespace

int problem_addExistingSOS(problem_s *p, PyObject *leaves) NVR_TRY {
    const Py_ssize_t n = PyList_GET_SIZE(leaves);
    std::vector<char> types;
    std::vector<int> starts, cols;
    std::vector<double> refs;
    for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject *leaf = PyList_GET_ITEM(leaves, i);
        starts.push_back(static_cast<int>(cols.size()));
        if (admitExisting(p, leaf, cols, refs) != 0) return -1;
        types.push_back(as_sos(leaf)->type == 2 ? '2' : '1');
        for (Py_ssize_t k = 0; k < i; ++k)
            if (PyList_GET_ITEM(leaves, k) == leaf)
                return nvr_model_error("SOS already added to problem");
    }
    int first = 0;
    if (n == 0 || problem_intAttrib(p, NVRA_ATTR_SETS, &first) != 0) return n == 0 ? 0 : -1;
    if (problem_call(p, NVRAaddsets, "NVRAaddsets", static_cast<int>(n),
                     static_cast<int>(cols.size()), types.data(), starts.data(), cols.data(),
                     refs.data()) != 0)
        return -1;
    const bool mapExisted = p->sos_index_map != nullptr;
    const Py_ssize_t listed = PyList_GET_SIZE(p->sets);
    bool ok = mapExisted || (p->sos_index_map = rowcolmap_new()) != nullptr;
    for (Py_ssize_t i = 0; ok && i < n; ++i) {
        PyObject *leaf = PyList_GET_ITEM(leaves, i);
        ok = rowcolmap_set(p->sos_index_map, static_cast<uint64_t>(as_sos(leaf)->index),
                           first + i) == 0 &&
             PyList_Append(p->sets, leaf) == 0;
    }
    if (ok) return 0;
    for (Py_ssize_t i = 0; i < n; ++i)
        rowcolmap_del(p->sos_index_map,
                      static_cast<uint64_t>(as_sos(PyList_GET_ITEM(leaves, i))->index));
    if (!mapExisted) rowcolmap_free(&p->sos_index_map);
    PyList_SetSlice(p->sets, listed, PyList_GET_SIZE(p->sets), nullptr);
    std::vector<int> added;
    for (Py_ssize_t i = 0; i < n; ++i)
        added.push_back(first + static_cast<int>(i));
    problem_call(p, NVRAdelsets, "NVRAdelsets", static_cast<int>(n), added.data());
    PyErr_Clear();
    return nvr_model_error("Could not amend SOS map");
}
NVR_CATCH(-1)

PyMethodDef problem_entities_methods[] = {
    {"addSOS", nvr_method(problem_addSOS), METH_VARARGS | METH_KEYWORDS,
     PyDoc_STR("addSOS(indices, weights, type=1, name=None) -> sos\n\n"
               "Adds a special ordered set of type 1 (at most one variable non-zero) or 2 (at\n"
               "most two, adjacent in the order of the weights) over the variables (or column\n"
               "indices) in the list indices, ordered by the distinct weights.")},
    {"addIndicator", nvr_method(problem_addIndicator), METH_VARARGS,
     PyDoc_STR("addIndicator(*indicators)\n\n"
               "Adds indicator constraints: each a tuple (condition, constraint), where the\n"
               "condition is a binary variable x (meaning x == 1), x == 1 or x == 0; the\n"
               "constraint (added as a row when it is not one yet) must hold when the\n"
               "condition does. Two constraints as arguments make one indicator.")},
    {nullptr, nullptr, 0, nullptr},
};
