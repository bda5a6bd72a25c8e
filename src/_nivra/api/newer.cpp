// api/newer.cpp: the newer problem methods, named in mixed case (delRows, sparseFTran, ...).
// They call the library's size-checked functions (each array with its length), take plain
// keyword names, convert each argument into a vector by a typed converter that names the
// argument in its errors, and return their results as new objects. A problem holding unlinked
// objects is refused, and model objects are accepted as indices only on the original problem
// (not presolved, not a callback's problem). Deleting and adding keep the problem's lists of
// objects in step with the library.
#include "api/methods.h"

#include <climits>
#include <cmath>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "api/convert.h"
#include "model/constraint.h"
#include "model/sos.h"
#include "model/var.h"
#include "problem/problem.h"
#include "problem/delobjs.h"
#include "problem/problib.h"
#include "runtime/calllib.h"
#include "runtime/env.h"
#include "runtime/ref.h"

namespace {

// The frame of every member: the initialisation and unlinked-object checks, then body(p).
// Memory exhaustion raises MemoryError, any other C++ exception "Exception in problem.NAME: ...".
template <class F> PyObject *member(PyObject *self, const char *name, F &&body) {
    problem_s *p = as_problem(self);
    if (checkProblemIsInitialized(p) != 0) return nullptr;
    if (problem_holdsUnlinked(p)) {
        PyErr_Format(nvy_interf_exc, "Cannot call problem.%s on problems with unlinked objects",
                     name);
        return nullptr;
    }
    try {
        return body(p);
    } catch (const std::bad_alloc &) {
        return PyErr_NoMemory();
    } catch (const std::exception &e) {
        PyErr_Format(nvy_interf_exc, "Exception in problem.%s: %s", name, e.what());
        return nullptr;
    }
}

// ---- typed converters: 0, or -1 with an exception ---------------------------------------------

int int64Value(PyObject *o, int64_t *out) {
    if (!PyLong_Check(o) && !PyIndex_Check(o))
        return nvr_raise(nvy_interf_exc, "Value is not an integer");
    Ref v = Ref::steal(PyNumber_Index(o));
    if (!v) return -1;
    int overflow = 0;
    const long long x = PyLong_AsLongLongAndOverflow(v.get(), &overflow);
    if (x == -1 && PyErr_Occurred()) return -1;
    if (overflow) return nvr_raise(nvy_interf_exc, "int too big to convert");
    *out = x;
    return 0;
}

int intValue(PyObject *o, int *out) {
    int64_t v = 0;
    if (int64Value(o, &v) != 0) return -1;
    if (v > INT_MAX || v < INT_MIN) return nvr_raise(nvy_interf_exc, "int too big to convert");
    *out = static_cast<int>(v);
    return 0;
}

int doubleValue(PyObject *o, double *out) {
    if (!PyFloat_Check(o) && !PyLong_Check(o) && !PyNumber_Check(o))
        return nvr_raise(nvy_interf_exc, "Value is not a number");
    *out = PyFloat_AsDouble(o);
    return *out == -1.0 && PyErr_Occurred() ? -1 : 0;
}

int charValue(PyObject *o, char *out) {
    if (!PyUnicode_Check(o)) return nvr_raise(nvy_interf_exc, "Value is not an character");
    if (PyUnicode_GetLength(o) != 1 || PyUnicode_READ_CHAR(o, 0) > 127)
        return nvr_raise(nvy_interf_exc, "Value is not a single character");
    *out = static_cast<char>(PyUnicode_READ_CHAR(o, 0));
    return 0;
}

// The elements of an iterable argument through conv into out; an element's error becomes
// "Error in argument 'NAME': ...".
template <class T, class Conv>
int toVector(PyObject *obj, const char *argname, std::vector<T> &out, Conv conv) {
    return nvy_iterableToVector(obj, argname, out, conv, [&](Py_ssize_t) {
        const std::string where = std::string("Error in argument '") + argname + "'";
        nvy_prefixError(where.c_str());
    });
}

// Model objects stand for indices only on the original problem (not presolved, not a
// callback's problem): their index is that of the original problem.
int objectsAllowed(problem_s *p, bool isObject, const char *argname) {
    if (!isObject) return 0;
    const int original = nvy_isOriginalProb(p);
    if (original == 1) return 0;
    if (original == 0)
        PyErr_Format(nvy_interf_exc,
                     "Cannot pass objects in arg '%s' when problem is presolved or in a callback",
                     argname);
    return -1;
}

// Index vectors of the model object class T.
template <class T>
int indexVector(problem_s *p, PyObject *obj, const char *argname, std::vector<int> &out) {
    bool isObject = false;
    if (nvy_PyObject_to_vector<T>(p, argname, out, obj, &isObject) != 0) return -1;
    return objectsAllowed(p, isObject, argname);
}

int sameSize(size_t a, size_t b, const char *aname, const char *bname) {
    if (a == b) return 0;
    PyErr_Format(nvy_interf_exc, "Argument '%s' must be the same size as argument '%s'", aname,
                 bname);
    return -1;
}

int countOf(problem_s *p, int attrib) {
    int n = 0;
    return problem_intAttrib(p, attrib, &n) != 0 ? -1 : n;
}

PyObject *intList(const std::vector<int> &v) {
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(v.size())));
    for (size_t k = 0; list && k < v.size(); ++k) {
        PyObject *x = PyLong_FromLong(v[k]);
        if (!x) return nullptr;
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(k), x);
    }
    return list.release();
}

PyObject *floatList(const double *v, size_t n) {
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(n)));
    for (size_t k = 0; list && k < n; ++k) {
        PyObject *x = PyFloat_FromDouble(v[k]);
        if (!x) return nullptr;
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(k), x);
    }
    return list.release();
}

// A combined row-or-column index given as an int, a variable or a constraint.
int rowColIndex(problem_s *p, PyObject *obj, const char *argname, int *out) {
    int rc = 0;
    if (var_Check(obj) || constraint_Check(obj)) {
        if (objectsAllowed(p, true, argname) != 0) return -1;
        rc = ObjInt2int(obj, p, out, kElemRowCol);
    } else if (PyLong_Check(obj) || PyIndex_Check(obj)) {
        const int rows = countOf(p, NVRA_ATTR_ROWS), cols = countOf(p, NVRA_ATTR_COLS);
        if (rows < 0 || cols < 0) return -1;
        rc = intValue(obj, out);
        if (rc == 0 && (*out < 0 || *out >= rows + cols))
            rc = nvr_raise(nvy_interf_exc, "Invalid variable or constraint index");
    } else {
        rc = nvr_raise(nvy_interf_exc, "Value is not a variable, constraint or index");
    }
    if (rc == 0) return 0;
    const std::string where = std::string("Error in argument '") + argname + "'";
    nvy_prefixError(where.c_str());
    return -1;
}

// The keyword list as the interpreter's parser takes it.
char **kwlist(const char *const *kw) {
    return const_cast<char **>(kw);
}

// ---- members
// -------------------------------------------------------------------------------------

PyObject *printIIS(PyObject *self, PyObject *args, PyObject *kwargs) {
    return member(self, "printIIS", [&](problem_s *p) -> PyObject * {
        static const char *const kw[] = {"iis", nullptr};
        PyObject *iis = nullptr;
        int num = 0;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O", kwlist(kw), &iis)) return nullptr;
        if (intValue(iis, &num) != 0) {
            nvy_prefixError("Error in argument 'iis'");
            return nullptr;
        }
        if (problem_call(p, NVRAiisprint, "NVRAiisprint", num) != 0) return nullptr;
        Py_RETURN_NONE;
    });
}

PyObject *pivot(PyObject *self, PyObject *args, PyObject *kwargs) {
    return member(self, "pivot", [&](problem_s *p) -> PyObject * {
        static const char *const kw[] = {"enter", "leave", nullptr};
        PyObject *enter = nullptr, *leave = nullptr;
        int in = 0, out = 0;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OO", kwlist(kw), &enter, &leave) ||
            rowColIndex(p, enter, "enter", &in) != 0 || rowColIndex(p, leave, "leave", &out) != 0 ||
            problem_call(p, NVRApivot, "NVRApivot", in, out) != 0)
            return nullptr;
        Py_RETURN_NONE;
    });
}

// The row range of getRowFlags and clearRowFlags.
int rowRange(problem_s *p, PyObject *first, PyObject *last, int *lo, int *hi) {
    bool objFirst = false, objLast = false;
    return nvy_PyObject_to_index<constraint_s>(p, "first", lo, first, &objFirst) != 0 ||
                   objectsAllowed(p, objFirst, "first") != 0 ||
                   nvy_PyObject_to_index<constraint_s>(p, "last", hi, last, &objLast) != 0 ||
                   objectsAllowed(p, objLast, "last") != 0
               ? -1
               : 0;
}

PyObject *getRowFlags(PyObject *self, PyObject *args, PyObject *kwargs) {
    return member(self, "getRowFlags", [&](problem_s *p) -> PyObject * {
        static const char *const kw[] = {"first", "last", nullptr};
        PyObject *first = nullptr, *last = nullptr;
        int lo = 0, hi = 0;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OO", kwlist(kw), &first, &last) ||
            rowRange(p, first, last, &lo, &hi))
            return nullptr;
        std::vector<int> flags(hi >= lo ? static_cast<size_t>(hi - lo + 1) : 0);
        if (problem_call(p, NVRAgetrowflags_witharraysizes, "NVRAgetrowflags_witharraysizes",
                         flags.data(), static_cast<int>(flags.size()), lo, hi) != 0)
            return nullptr;
        return intList(flags);
    });
}

PyObject *clearRowFlags(PyObject *self, PyObject *args, PyObject *kwargs) {
    return member(self, "clearRowFlags", [&](problem_s *p) -> PyObject * {
        static const char *const kw[] = {"flags", "first", "last", nullptr};
        PyObject *flags = nullptr, *first = nullptr, *last = nullptr;
        int bits = 0, lo = 0, hi = 0;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OOO", kwlist(kw), &flags, &first, &last))
            return nullptr;
        if (intValue(flags, &bits) != 0) {
            nvy_prefixError("Error in argument 'flags'");
            return nullptr;
        }
        if (rowRange(p, first, last, &lo, &hi) != 0 ||
            problem_call(p, NVRAclearrowflags_witharraysizes, "NVRAclearrowflags_witharraysizes",
                         bits, lo, hi) != 0)
            return nullptr;
        Py_RETURN_NONE;
    });
}

PyObject *getScale(PyObject *self, PyObject *args, PyObject *kwargs) {
    return member(self, "getScale", [&](problem_s *p) -> PyObject * {
        static const char *const kw[] = {nullptr};
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "", kwlist(kw))) return nullptr;
        const int rows = countOf(p, NVRA_ATTR_ROWS), cols = countOf(p, NVRA_ATTR_COLS);
        if (rows < 0 || cols < 0) return nullptr;
        std::vector<double> r(rows), c(cols);
        if (problem_call(p, NVRAgetscale_witharraysizes, "NVRAgetscale_witharraysizes", r.data(),
                         rows, c.data(), cols) != 0)
            return nullptr;
        Ref rl = Ref::steal(floatList(r.data(), r.size())), cl;
        if (!rl || !(cl = Ref::steal(floatList(c.data(), c.size())))) return nullptr;
        return PyTuple_Pack(2, rl.get(), cl.get());
    });
}

using SparseFn = int (*)(NVRAprob, double *, int, int *, int, int *);

// sparseFTran and sparseBTran: (val, ind) expanded to a dense vector of row length, transformed,
// and given back as a tuple (values, indices) of the non-zeros.
PyObject *sparseTransform(PyObject *self, PyObject *args, PyObject *kwargs, const char *name,
                          SparseFn fn, const char *libName) {
    return member(self, name, [&](problem_s *p) -> PyObject * {
        static const char *const kw[] = {"val", "ind", nullptr};
        PyObject *valObj = nullptr, *indObj = nullptr;
        std::vector<double> val;
        std::vector<int> ind;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OO", kwlist(kw), &valObj, &indObj) ||
            toVector(valObj, "val", val, doubleValue) != 0 ||
            toVector(indObj, "ind", ind, intValue) != 0 ||
            sameSize(val.size(), ind.size(), "val", "ind") != 0)
            return nullptr;
        const int rows = countOf(p, NVRA_ATTR_ROWS);
        if (rows < 0) return nullptr;
        std::vector<double> dense(rows, 0.0);
        std::vector<int> nz(rows);
        std::vector<char> seen(rows, 0);
        for (size_t k = 0; k < ind.size(); ++k) {
            const int i = ind[k];
            if (i < 0 || i >= rows || seen[i]) {
                PyErr_Format(nvy_interf_exc, "Error in argument 'ind': index %d %s", i,
                             i < 0 || i >= rows ? "is out of range" : "appears twice");
                return nullptr;
            }
            seen[i] = 1;
            dense[i] = val[k];
        }
        int nnz = 0;
        for (int i = 0; i < rows; ++i)
            if (dense[i] != 0.0) nz[nnz++] = i;
        if (problem_call(p, fn, libName, dense.data(), rows, nz.data(), rows, &nnz) != 0)
            return nullptr;
        std::vector<double> values(nnz);
        nz.resize(nnz);
        for (int k = 0; k < nnz; ++k)
            values[k] = dense[nz[k]];
        Ref vl = Ref::steal(floatList(values.data(), values.size())), il;
        if (!vl || !(il = Ref::steal(intList(nz)))) return nullptr;
        return PyTuple_Pack(2, vl.get(), il.get());
    });
}

PyObject *sparseFTran(PyObject *self, PyObject *args, PyObject *kwargs) {
    return sparseTransform(self, args, kwargs, "sparseFTran", NVRAsparseftran_witharraysizes,
                           "NVRAsparseftran_witharraysizes");
}

PyObject *sparseBTran(PyObject *self, PyObject *args, PyObject *kwargs) {
    return sparseTransform(self, args, kwargs, "sparseBTran", NVRAsparsebtran_witharraysizes,
                           "NVRAsparsebtran_witharraysizes");
}

PyObject *postSolveSol(PyObject *self, PyObject *args, PyObject *kwargs) {
    return member(self, "postSolveSol", [&](problem_s *p) -> PyObject * {
        static const char *const kw[] = {"prex", nullptr};
        PyObject *prexObj = nullptr;
        std::vector<double> prex;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O", kwlist(kw), &prexObj) ||
            toVector(prexObj, "prex", prex, doubleValue) != 0)
            return nullptr;
        const int cols = countOf(p, NVRA_ATTR_ORIGINALCOLS);
        if (cols < 0) return nullptr;
        std::vector<double> x(cols);
        if (problem_call(p, NVRApostsolvesol_witharraysizes, "NVRApostsolvesol_witharraysizes",
                         prex.data(), static_cast<int>(prex.size()), x.data(), cols) != 0)
            return nullptr;
        return floatList(x.data(), x.size());
    });
}

using DelFn = int (*)(NVRAprob, int, const int *, int);

// delRows, delCols and delSets: the library deletes, then the problem's list of objects of the
// kind is compacted (the deleted objects marked, the others renumbered).
template <class T>
PyObject *deleteEntries(PyObject *self, PyObject *args, PyObject *kwargs, const char *name,
                        const char *argname, PyObject *problem_s::*list, DelFn fn,
                        const char *libName) {
    return member(self, name, [&](problem_s *p) -> PyObject * {
        const char *const kw[] = {argname, nullptr};
        PyObject *obj = nullptr;
        std::vector<int> ind;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O", kwlist(kw), &obj) ||
            indexVector<T>(p, obj, argname, ind) != 0)
            return nullptr;
        const int n = static_cast<int>(ind.size());
        if (problem_call(p, fn, libName, n, ind.data(), n) != 0 ||
            nvy_delModelObjs(p, p->*list, ind) != 0)
            return nullptr;
        Py_RETURN_NONE;
    });
}

PyObject *delRows(PyObject *self, PyObject *args, PyObject *kwargs) {
    return deleteEntries<constraint_s>(self, args, kwargs, "delRows", "rowind", &problem_s::cons,
                                       NVRAdelrows_witharraysizes, "NVRAdelrows_witharraysizes");
}

PyObject *delCols(PyObject *self, PyObject *args, PyObject *kwargs) {
    return deleteEntries<var_s>(self, args, kwargs, "delCols", "colind", &problem_s::vars,
                                NVRAdelcols_witharraysizes, "NVRAdelcols_witharraysizes");
}

PyObject *delSets(PyObject *self, PyObject *args, PyObject *kwargs) {
    return deleteEntries<sos_s>(self, args, kwargs, "delSets", "setind", &problem_s::sets,
                                NVRAdelsets_witharraysizes, "NVRAdelsets_witharraysizes");
}

// The rows or sets of addSets and addManagedCuts: per entry a start, then the column lists.
struct RowData {
    std::vector<char> type;
    std::vector<int64_t> start;
    std::vector<int> colind;
    std::vector<double> coef;
};

int convertRowData(problem_s *p, PyObject *type, PyObject *start, PyObject *colind, PyObject *coef,
                   const char *typeName, const char *coefName, RowData &d) {
    return toVector(type, typeName, d.type, charValue) != 0 ||
                   toVector(start, "start", d.start, int64Value) != 0 ||
                   indexVector<var_s>(p, colind, "colind", d.colind) != 0 ||
                   toVector(coef, coefName, d.coef, doubleValue) != 0 ||
                   sameSize(d.coef.size(), d.colind.size(), coefName, "colind") != 0
               ? -1
               : 0;
}

// Removes the set objects from position `from` of the problem's list again, after a failed
// addSets; the pending error stays the one raised.
void dropNewSets(problem_s *p, Py_ssize_t from) {
    PyObject *type, *value, *tb;
    PyErr_Fetch(&type, &value, &tb);
    if (PyList_SetSlice(p->sets, from, PyList_GET_SIZE(p->sets), nullptr) != 0) {
        PyObject *etype, *evalue, *etb;
        PyErr_Fetch(&etype, &evalue, &etb);
        Ref text = Ref::steal(evalue ? PyObject_Str(evalue) : nullptr);
        PyErr_Clear();
        Py_XDECREF(etype);
        Py_XDECREF(evalue);
        Py_XDECREF(etb);
        if (PyErr_WarnFormat(PyExc_RuntimeWarning, 1,
                             "Failed to clean up while handling an error in addSets: %S",
                             text ? text.get() : Py_None) != 0)
            PyErr_Clear();
    }
    PyErr_Restore(type, value, tb);
}

PyObject *addSets(PyObject *self, PyObject *args, PyObject *kwargs) {
    return member(self, "addSets", [&](problem_s *p) -> PyObject * {
        static const char *const kw[] = {"settype", "start", "colind", "refval", nullptr};
        PyObject *o[4] = {};
        RowData d;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OOOO", kwlist(kw), &o[0], &o[1], &o[2],
                                         &o[3]) ||
            convertRowData(p, o[0], o[1], o[2], o[3], "settype", "refval", d) != 0)
            return nullptr;
        const int first = countOf(p, NVRA_ATTR_SETS);
        if (first < 0) return nullptr;
        // The new sets' objects first: the library call is the last step that can fail.
        const Py_ssize_t listed = PyList_GET_SIZE(p->sets);
        for (size_t k = 0; k < d.type.size(); ++k) {
            Ref set = Ref::steal(sos_new_linked(p, first + static_cast<int64_t>(k)));
            if (!set || PyList_Append(p->sets, set.get()) != 0) {
                dropNewSets(p, listed);
                return nullptr;
            }
        }
        const int n = static_cast<int>(d.type.size());
        if (problem_call(p, NVRAaddsets64_witharraysizes, "NVRAaddsets64_witharraysizes", n,
                         static_cast<int64_t>(d.colind.size()), d.type.data(), n, d.start.data(),
                         static_cast<int>(d.start.size()), d.colind.data(),
                         static_cast<int64_t>(d.colind.size()), d.coef.data(),
                         static_cast<int64_t>(d.coef.size())) != 0) {
            dropNewSets(p, listed);
            return nullptr;
        }
        Py_RETURN_NONE;
    });
}

PyObject *addManagedCuts(PyObject *self, PyObject *args, PyObject *kwargs) {
    return member(self, "addManagedCuts", [&](problem_s *p) -> PyObject * {
        static const char *const kw[] = {"globalvalid", "rowtype", "rhs",  "start",
                                         "colind",      "cutcoef", nullptr};
        PyObject *o[6] = {};
        int globalvalid = 0;
        RowData d;
        std::vector<double> rhs;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OOOOOO", kwlist(kw), &o[0], &o[1], &o[2],
                                         &o[3], &o[4], &o[5]))
            return nullptr;
        if (intValue(o[0], &globalvalid) != 0) {
            nvy_prefixError("Error in argument 'globalvalid'");
            return nullptr;
        }
        if (convertRowData(p, o[1], o[3], o[4], o[5], "rowtype", "cutcoef", d) != 0 ||
            toVector(o[2], "rhs", rhs, doubleValue) != 0 ||
            sameSize(rhs.size(), d.type.size(), "rhs", "rowtype") != 0)
            return nullptr;
        const int n = static_cast<int>(d.type.size());
        if (problem_call(p, NVRAaddmanagedcuts64_witharraysizes,
                         "NVRAaddmanagedcuts64_witharraysizes", globalvalid, n, d.type.data(), n,
                         rhs.data(), n, d.start.data(), static_cast<int>(d.start.size()),
                         d.colind.data(), static_cast<int64_t>(d.colind.size()), d.coef.data(),
                         static_cast<int64_t>(d.coef.size())) != 0)
            return nullptr;
        Py_RETURN_NONE;
    });
}

// ---- row formulas of the nonlinear solver ------------------------------------------------------

// The rows of rowind (constraints or indices; -1 the objective) into out.
int formulaRows(problem_s *p, PyObject *obj, std::vector<int> &out) {
    return indexVector<constraint_s>(p, obj, "rowind", out);
}

using FormulasFn = int (*)(NVRAprob, int, const int *, int, const int64_t *, int, int, const int *,
                           int64_t, const double *, int64_t);

// nlpAddFormulas and nlpLoadFormulas: formula k is tokens formulastart[k] .. formulastart[k+1]-1
// (formulastart None: each up to its end token) of rows rowind[k]; the library checks every
// range against the sizes.
PyObject *formulas(PyObject *self, PyObject *args, PyObject *kwargs, const char *name,
                   FormulasFn fn, const char *libName) {
    return member(self, name, [&](problem_s *p) -> PyObject * {
        static const char *const kw[] = {"rowind", "formulastart", "parsed",
                                         "type",   "value",        nullptr};
        PyObject *o[5] = {};
        std::vector<int> rows, type;
        std::vector<int64_t> start;
        std::vector<double> value;
        int parsed = 0;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OOOOO", kwlist(kw), &o[0], &o[1], &o[2],
                                         &o[3], &o[4]) ||
            formulaRows(p, o[0], rows) != 0 ||
            (o[1] != Py_None && toVector(o[1], "formulastart", start, int64Value) != 0))
            return nullptr;
        if (intValue(o[2], &parsed) != 0) {
            nvy_prefixError("Error in argument 'parsed'");
            return nullptr;
        }
        if (toVector(o[3], "type", type, intValue) != 0 ||
            toVector(o[4], "value", value, doubleValue) != 0 ||
            sameSize(value.size(), type.size(), "value", "type") != 0)
            return nullptr;
        const int n = static_cast<int>(rows.size());
        if (problem_call(p, fn, libName, n, rows.data(), n,
                         o[1] == Py_None ? nullptr : start.data(), static_cast<int>(start.size()),
                         parsed, type.data(), static_cast<int64_t>(type.size()), value.data(),
                         static_cast<int64_t>(value.size())) != 0)
            return nullptr;
        Py_RETURN_NONE;
    });
}

PyObject *nlpAddFormulas(PyObject *self, PyObject *args, PyObject *kwargs) {
    return formulas(self, args, kwargs, "nlpAddFormulas", NVRAnlpaddformulas_witharraysizes,
                    "NVRAnlpaddformulas_witharraysizes");
}

PyObject *nlpLoadFormulas(PyObject *self, PyObject *args, PyObject *kwargs) {
    return formulas(self, args, kwargs, "nlpLoadFormulas", NVRAnlploadformulas_witharraysizes,
                    "NVRAnlploadformulas_witharraysizes");
}

PyObject *nlpDelFormulas(PyObject *self, PyObject *args, PyObject *kwargs) {
    return member(self, "nlpDelFormulas", [&](problem_s *p) -> PyObject * {
        static const char *const kw[] = {"rowind", nullptr};
        PyObject *obj = nullptr;
        std::vector<int> rows;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O", kwlist(kw), &obj) ||
            formulaRows(p, obj, rows) != 0)
            return nullptr;
        const int n = static_cast<int>(rows.size());
        if (problem_call(p, NVRAnlpdelformulas_witharraysizes, "NVRAnlpdelformulas_witharraysizes",
                         n, rows.data(), n) != 0)
            return nullptr;
        Py_RETURN_NONE;
    });
}

PyObject *nlpGetFormulaRows(PyObject *self, PyObject *args, PyObject *kwargs) {
    return member(self, "nlpGetFormulaRows", [&](problem_s *p) -> PyObject * {
        static const char *const kw[] = {nullptr};
        int n = 0;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "", kwlist(kw)) ||
            problem_call(p, NVRAnlpgetformularows, "NVRAnlpgetformularows", &n,
                         static_cast<int *>(nullptr)) != 0)
            return nullptr;
        // The library refuses an array that no longer holds them all, should rows change between.
        std::vector<int> rows(static_cast<size_t>(n));
        if (problem_call(p, NVRAnlpgetformularows_witharraysizes,
                         "NVRAnlpgetformularows_witharraysizes", &n, rows.data(), n) != 0)
            return nullptr;
        rows.resize(static_cast<size_t>(n));
        return intList(rows);
    });
}

PyObject *slpSetDetRow(PyObject *self, PyObject *args, PyObject *kwargs) {
    return member(self, "slpSetDetRow", [&](problem_s *p) -> PyObject * {
        static const char *const kw[] = {"colind", "rowind", nullptr};
        PyObject *colObj = nullptr, *rowObj = nullptr;
        std::vector<int> cols, rows;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OO", kwlist(kw), &colObj, &rowObj) ||
            indexVector<var_s>(p, colObj, "colind", cols) != 0 ||
            formulaRows(p, rowObj, rows) != 0 ||
            sameSize(rows.size(), cols.size(), "rowind", "colind") != 0)
            return nullptr;
        const int n = static_cast<int>(cols.size());
        if (problem_call(p, NVRAslpsetdetrow_witharraysizes, "NVRAslpsetdetrow_witharraysizes", n,
                         cols.data(), n, rows.data(), n) != 0)
            return nullptr;
        Py_RETURN_NONE;
    });
}

} // namespace

#define NVR_NEWER(name, doc)                                                                       \
    { #name, nvr_method(name), METH_VARARGS | METH_KEYWORDS, PyDoc_STR(doc) }

PyMethodDef nvr_api_newer_methods[] = {
    NVR_NEWER(printIIS, "printIIS(iis)\n\nSends a description of IIS iis to the log."),
    NVR_NEWER(pivot, "pivot(enter, leave)\n\n"
                     "Exchanges the non-basic variable or constraint enter for the basic leave,\n"
                     "and computes the solution of the new basis without further iterations."),
    NVR_NEWER(getRowFlags, "getRowFlags(first, last) -> list of int\n\n"
                           "The flags of rows first..last (1 delayed, 2 model cut)."),
    NVR_NEWER(clearRowFlags, "clearRowFlags(flags, first, last)\n\n"
                             "Clears the given flag bits of rows first..last."),
    NVR_NEWER(getScale, "getScale() -> (rowscale, colscale)\n\nThe row and column scale factors."),
    NVR_NEWER(sparseFTran, "sparseFTran(val, ind) -> (val, ind)\n\n"
                           "B^-1 v for the sparse vector v (values val at rows ind)."),
    NVR_NEWER(sparseBTran, "sparseBTran(val, ind) -> (val, ind)\n\n"
                           "B^-T v for the sparse vector v (values val at basis positions ind)."),
    NVR_NEWER(postSolveSol, "postSolveSol(prex) -> list of float\n\n"
                            "The original solution for a solution prex of the presolved problem."),
    NVR_NEWER(delRows,
              "delRows(rowind)\n\nDeletes rows; the remaining constraints are renumbered."),
    NVR_NEWER(delCols,
              "delCols(colind)\n\nDeletes columns; the remaining variables are renumbered."),
    NVR_NEWER(delSets, "delSets(setind)\n\nDeletes sets; the remaining SOS are renumbered."),
    NVR_NEWER(addSets, "addSets(settype, start, colind, refval)\n\n"
                       "Adds sets ('1' or '2'); set k has the members start[k] .. start[k+1]-1."),
    NVR_NEWER(addManagedCuts,
              "addManagedCuts(globalvalid, rowtype, rhs, start, colind, cutcoef)\n\n"
              "Adds cuts valid for the whole problem (globalvalid 1) to the cut\n"
              "pool, active for every solve."),
    NVR_NEWER(nlpAddFormulas,
              "nlpAddFormulas(rowind, formulastart, parsed, type, value)\n\n"
              "Adds formula k (tokens formulastart[k] .. formulastart[k+1]-1 of type and value;\n"
              "formulastart None: each up to its end token 0) to row rowind[k] (-1: the\n"
              "objective)."),
    NVR_NEWER(nlpLoadFormulas, "nlpLoadFormulas(rowind, formulastart, parsed, type, value)\n\n"
                               "nlpAddFormulas after removing every row formula."),
    NVR_NEWER(nlpDelFormulas, "nlpDelFormulas(rowind)\n\n"
                              "Removes the formulas of rows (rows without one are skipped)."),
    NVR_NEWER(nlpGetFormulaRows, "nlpGetFormulaRows() -> list of int\n\n"
                                 "The rows with a formula in increasing order (-1: the "
                                 "objective)."),
    NVR_NEWER(slpSetDetRow, "slpSetDetRow(colind, rowind)\n\n"
                            "The determining row of each column (-1: none)."),
    {nullptr, nullptr, 0, nullptr},
};
