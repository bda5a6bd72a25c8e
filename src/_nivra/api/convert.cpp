// api/convert.cpp: the converters between Python objects and the library's arrays.
#include "runtime/npy.h"

#include "api/convert.h"

#include <climits>
#include <cstring>

#include "callbacks/generic.h"
#include "callbacks/poolcut.h"
#include "model/constraint.h"
#include "model/sos.h"
#include "model/var.h"
#include "problem/problib.h"
#include "runtime/args.h"
#include "runtime/env.h"
#include "runtime/errors.h"

namespace {

// Room of an iterator's buffer before it first grows.
constexpr size_t kIteratorStart = 256;

bool isIntegerScalar(PyObject *o) {
    return PyLong_Check(o) || PyArray_IsScalar(o, Integer);
}

// The value of an integer object as a 64-bit int; anything out of that range is reported with
// "Index out of range: <value>". 0 or -1.
int integerValue(PyObject *o, long long *v) {
    int overflow = 0;
    Ref index;
    if (!PyLong_Check(o)) {
        index = Ref::steal(PyNumber_Index(o));
        if (!index) return -1;
        o = index.get();
    }
    *v = PyLong_AsLongLongAndOverflow(o, &overflow);
    if (overflow) {
        PyErr_Format(nvy_interf_exc, "Index out of range: %S", o);
        return -1;
    }
    return *v == -1 && PyErr_Occurred() ? -1 : 0;
}

int int32Value(PyObject *o, int *out) {
    long long v = 0;
    if (integerValue(o, &v) != 0) return -1;
    if (v < INT_MIN || v > INT_MAX) {
        PyErr_Format(nvy_interf_exc, "Index out of range: %lld", v);
        return -1;
    }
    *out = static_cast<int>(v);
    return 0;
}

int attrib(problem_s *p, int id) {
    int v = 0;
    return problem_intAttrib(p, id, &v) == 0 ? v : -1;
}

// The offset of column indices in the combined row-or-column index: rows plus cuts. -1 on error.
int rowColOffset(problem_s *p) {
    const int rows = attrib(p, NVRA_ATTR_ROWS);
    const int cuts = rows < 0 ? -1 : attrib(p, NVRA_ATTR_CUTS);
    return cuts < 0 ? -1 : rows + cuts;
}

// The index of the entry named by the str or bytes object name (rows, columns or sets). A name
// that no entry has is an error. 0 or -1.
int nameIndex(problem_s *p, PyObject *name, int type, int *out) {
    Ref keep;
    PyObject *owner = nullptr;
    const char *text = pyStrToStr(name, nullptr, &owner);
    keep.reset(owner);
    if (!text) return -1;
    *out = -1;
    if (problem_call(p, NVRAgetindex, "NVRAgetindex", type, text, out) != 0) return -1;
    if (*out >= 0) return 0;
    static const char *const what[] = {"", "row", "column", "set"};
    PyErr_Format(nvy_interf_exc, "There is no %s named '%s'", what[type], text);
    return -1;
}

int rowColNameIndex(problem_s *p, PyObject *name, int *out) {
    int row = -1;
    if (nameIndex(p, name, NVRA_NAMES_ROWS, &row) == 0) {
        *out = row;
        return 0;
    }
    PyErr_Clear();
    const int offset = rowColOffset(p);
    if (offset < 0 || nameIndex(p, name, NVRA_NAMES_COLUMNS, out) != 0) return -1;
    *out += offset;
    return 0;
}

const char *const kInvalidObject[] = {"Invalid constraint object %S", "Invalid variable object %S",
                                      "Invalid SOS object %S"};

} // namespace

int ObjInt2int(PyObject *obj, problem_s *p, int *out, int kind) {
    if (isIntegerScalar(obj) || (kind == kElemInt && !PyUnicode_Check(obj) && !PyBytes_Check(obj)))
        return int32Value(obj, out);
    if (PyUnicode_Check(obj) || PyBytes_Check(obj)) {
        // Sets are found by their own names (not among the columns, which would give the
        // index of whatever column happens to bear the name); a combined index by a row name,
        // else a column name.
        if (kind == kElemRowCol) return rowColNameIndex(p, obj, out);
        const int type = kind == kElemRow   ? NVRA_NAMES_ROWS
                         : kind == kElemSet ? NVRA_NAMES_SETS
                                            : NVRA_NAMES_COLUMNS;
        return nameIndex(p, obj, type, out);
    }
    if (var_Check(obj) && (kind == kElemCol || kind == kElemRowCol)) {
        if (get_var_col(p, obj, out, nullptr) != 0) return -1;
        if (kind == kElemRowCol) {
            const int offset = rowColOffset(p);
            if (offset < 0) return -1;
            *out += offset;
        }
        return 0;
    }
    if (constraint_Check(obj) && (kind == kElemRow || kind == kElemRowCol))
        return get_con_row(p, as_constraint(obj), out);
    if (sos_Check(obj) && kind == kElemSet) {
        int64_t index = 0;
        if (get_sos_index(p, as_sos(obj), &index) != 0) return -1;
        *out = static_cast<int>(index);
        return 0;
    }
    PyErr_Format(nvy_model_exc, kind <= kElemSet ? kInvalidObject[kind] : "Invalid object %S", obj);
    return -1;
}

int conv_obj2cut(PyObject *obj, NVRAcut *out, const char *argname) {
    if (poolcut_Check(obj) && poolcut_getcut(obj)) {
        *out = poolcut_getcut(obj);
        return 0;
    }
    PyErr_Format(nvy_interf_exc, "Argument '%s' must be a cut of the cut pool (nivra.poolcut): %R",
                 argname, obj);
    return -1;
}

// ---- arrays from Python -------------------------------------------------------------------------

namespace {

// "Element 3 of argument 'rowcoef' ..." (or "Element 3 ..." without a name).
void elementError(const char *argname, Py_ssize_t i, const char *what, PyObject *item) {
    if (argname)
        PyErr_Format(nvy_interf_exc, "Element %zd of argument '%s' %s: %R", i, argname, what, item);
    else
        PyErr_Format(nvy_interf_exc, "Element %zd %s: %R", i, what, item);
}

// One element of kind K from item (position i of argument argname). 0 or -1.
template <int K> struct Elem {
    static int convert(problem_s *p, PyObject *item, ElemType<K> *dst, PyObject *keep,
                       const char *argname, Py_ssize_t i) {
        if constexpr (isIndexKind(K)) {
            (void)keep;
            if (PyLong_CheckExact(item)) return int32Value(item, dst);
            return ObjInt2int(item, p, dst, K);
        } else if constexpr (K == kElemInt || K == kElemInt64 || K == kElemByte) {
            (void)keep;
            if (!isIntegerScalar(item)) {
                elementError(argname, i, "is not an integer", item);
                return -1;
            }
            long long v = 0;
            if (integerValue(item, &v) != 0) return -1;
            if (K == kElemInt && (v < INT_MIN || v > INT_MAX)) {
                elementError(argname, i, "is out of the range of 32-bit integers", item);
                return -1;
            }
            *dst = static_cast<ElemType<K>>(v);
            return 0;
        } else if constexpr (K == kElemDouble) {
            (void)keep;
            if (PyFloat_CheckExact(item)) {
                *dst = PyFloat_AS_DOUBLE(item);
                return 0;
            }
            const double v = PyFloat_AsDouble(item);
            if (v == -1.0 && PyErr_Occurred()) {
                if (!PyErr_ExceptionMatches(PyExc_TypeError)) return -1;
                PyErr_Clear();
                elementError(argname, i, "is not a number", item);
                return -1;
            }
            *dst = v;
            return 0;
        } else if constexpr (K == kElemChar) {
            (void)keep;
            if (PyUnicode_Check(item) && PyUnicode_GET_LENGTH(item) > 0) {
                *dst = static_cast<char>(PyUnicode_READ_CHAR(item, 0));
                return 0;
            }
            if (PyBytes_Check(item) && PyBytes_GET_SIZE(item) > 0) {
                *dst = PyBytes_AS_STRING(item)[0];
                return 0;
            }
            elementError(argname, i, "is not a character", item);
            return -1;
        } else if constexpr (K == kElemString) {
            if (!PyUnicode_Check(item)) {
                elementError(argname, i, "is not a string", item);
                return -1;
            }
            *dst = PyUnicode_AsUTF8(item);
            return *dst && PyList_Append(keep, item) == 0 ? 0 : -1;
        } else if constexpr (K == kElemPoolCut) {
            (void)p, (void)keep;
            if (!poolcut_Check(item) || !poolcut_getcut(item)) {
                elementError(argname, i, "is not a cut of the cut pool (nivra.poolcut)", item);
                return -1;
            }
            *dst = poolcut_getcut(item);
            return 0;
        } else if constexpr (K == kElemObject) {
            (void)keep;
            if (!PyObject_TypeCheck(item, &nvraobject_type)) {
                elementError(argname, i, "is not a nivra.nvraobject", item);
                return -1;
            }
            *dst = nvraobject_getobj(item);
            return 0;
        } else {
            (void)p, (void)item, (void)dst, (void)keep, (void)argname, (void)i;
            PyErr_SetString(nvy_interf_exc, "Invalid sequence of objects");
            return -1;
        }
    }
};

int lengthMismatch(int64_t expected, int64_t found) {
    PyErr_Format(nvy_interf_exc, "Mismatched lengths in arguments: expected %lld, found %lld",
                 static_cast<long long>(expected), static_cast<long long>(found));
    return -1;
}

// Fixes *count at n, or checks n against it. 0 or -1.
int settleCount(int64_t *count, int64_t n) {
    if (*count >= 0 && *count != n) return lengthMismatch(*count, n);
    *count = n;
    return 0;
}

template <int K>
int fromItems(problem_s *p, int64_t *count, PyObject *const *items, Py_ssize_t n, ConvArray<K> &out,
              const char *argname) {
    if (settleCount(count, n) != 0) return -1;
    if (out.data.alloc(static_cast<size_t>(n)) != 0) return -1;
    ElemType<K> *dst = out.data.get();
    for (Py_ssize_t i = 0; i < n; ++i)
        if (Elem<K>::convert(p, items[i], dst + i, out.keep.get(), argname, i) != 0) return -1;
    return 0;
}

template <int K>
int fromIterator(problem_s *p, int64_t *count, PyObject *it, ConvArray<K> &out,
                 const char *argname) {
    size_t cap = 0, n = 0;
    for (;;) {
        Ref item = Ref::steal(PyIter_Next(it));
        if (!item) {
            if (PyErr_Occurred()) return -1;
            break;
        }
        if (n == cap) {
            cap = cap ? 2 * cap : kIteratorStart;
            if (out.data.alloc(cap) != 0) return -1;
        }
        if (Elem<K>::convert(p, item.get(), out.data.get() + n, out.keep.get(), argname,
                             static_cast<Py_ssize_t>(n)) != 0)
            return -1;
        ++n;
    }
    if (settleCount(count, static_cast<int64_t>(n)) != 0) return -1;
    return n == 0 ? out.data.alloc(0) : 0;
}

// A one-dimensional NumPy array of numbers, cast in one step where the kind allows it: integer
// arrays for index and integer kinds (range-checked), any numeric array for doubles. 1 when
// done, 0 when the element-wise path must be taken, -1 on error.
template <int K> int fromNumpy(problem_s *, int64_t *count, PyObject *obj, ConvArray<K> &out) {
    if constexpr (K == kElemDouble || K == kElemInt64 || K == kElemInt || isIndexKind(K)) {
        auto *a = reinterpret_cast<PyArrayObject *>(obj);
        if (PyArray_NDIM(a) != 1) return 0;
        const bool integral = PyArray_ISINTEGER(a);
        if (!integral && !(K == kElemDouble && (PyArray_ISFLOAT(a) || PyArray_ISBOOL(a)))) return 0;
        const int target = K == kElemDouble ? NPY_DOUBLE : NPY_INT64;
        Ref cast = Ref::steal(PyArray_FROMANY(obj, target, 1, 1, NPY_ARRAY_CARRAY_RO));
        if (!cast) return -1;
        auto *c = reinterpret_cast<PyArrayObject *>(cast.get());
        const npy_intp n = PyArray_DIM(c, 0);
        if (settleCount(count, n) != 0 || out.data.alloc(static_cast<size_t>(n)) != 0) return -1;
        if constexpr (K == kElemDouble || K == kElemInt64) {
            if (n)
                memcpy(out.data.get(), PyArray_DATA(c),
                       static_cast<size_t>(n) * sizeof(*out.get()));
        } else {
            const auto *src = static_cast<const int64_t *>(PyArray_DATA(c));
            for (npy_intp i = 0; i < n; ++i) {
                if (src[i] < INT_MIN || src[i] > INT_MAX) {
                    PyErr_Format(nvy_interf_exc, "Index out of range: %lld",
                                 static_cast<long long>(src[i]));
                    return -1;
                }
                out.data[i] = static_cast<int>(src[i]);
            }
        }
        return 1;
    } else {
        (void)count, (void)obj, (void)out;
        return 0;
    }
}

template <int K>
int convertArray(problem_s *p, int64_t *count, PyObject *obj, ConvArray<K> &out,
                 const char *argname) {
    if constexpr (K == kElemString) {
        out.keep = Ref::steal(PyList_New(0));
        if (!out.keep) return -1;
    }
    if constexpr (isIndexKind(K) || K == kElemString)
        if (PyUnicode_Check(obj) || PyBytes_Check(obj)) // one name, not its characters
            return fromItems<K>(p, count, &obj, 1, out, argname);
    if (PyList_Check(obj) || PyTuple_Check(obj))
        return fromItems<K>(p, count, PySequence_Fast_ITEMS(obj), PySequence_Fast_GET_SIZE(obj),
                            out, argname);
    if (PyArray_Check(obj)) {
        const int done = fromNumpy<K>(p, count, obj, out);
        if (done != 0) return done < 0 ? -1 : 0;
    }
    if (PyIter_Check(obj)) return fromIterator<K>(p, count, obj, out, argname);
    if (!PySequence_Check(obj)) {
        PyErr_SetString(nvy_interf_exc, "Invalid sequence of objects");
        return -1;
    }
    Ref fast = Ref::steal(PySequence_Fast(obj, "Unable to scan sequence"));
    if (!fast) return -1;
    return fromItems<K>(p, count, PySequence_Fast_ITEMS(fast.get()),
                        PySequence_Fast_GET_SIZE(fast.get()), out, argname);
}

} // namespace

template <int K>
int conv_obj2arr(problem_s *p, int64_t *count, PyObject *obj, ConvArray<K> &out,
                 const char *argname) {
    if (!obj || obj == Py_None) return 0;
    if (K == kElemRowCol) {
        PyErr_SetString(nvy_interf_exc, "Invalid sequence of objects");
        return -1;
    }
    if (convertArray<K>(p, count, obj, out, argname) == 0) return 0;
    out.data.alloc(0);
    out.keep.reset();
    return -1;
}

template <int K>
int conv_obj2arr_full(problem_s *p, PyObject *obj, ConvArray<K> &out, int64_t expected,
                      const char *argname, const char *what) {
    int64_t n = -1;
    if (conv_obj2arr<K>(p, &n, obj, out, argname) != 0) return -1;
    if (!out.get() || n == expected) return 0;
    out.data.alloc(0);
    out.keep.reset();
    PyErr_Format(nvy_interf_exc,
                 "Argument '%s' must have %lld elements, one for each of the %lld %s of the "
                 "problem, but has %lld",
                 argname, static_cast<long long>(expected), static_cast<long long>(expected), what,
                 static_cast<long long>(n));
    return -1;
}

#define NVR_CONV_INSTANCES(K)                                                                      \
    template int conv_obj2arr<K>(problem_s *, int64_t *, PyObject *, ConvArray<K> &,               \
                                 const char *);                                                    \
    template int conv_obj2arr_full<K>(problem_s *, PyObject *, ConvArray<K> &, int64_t,            \
                                      const char *, const char *);                                 \
    template int conv_arr2obj<K>(problem_s *, int64_t, const ElemType<K> *, PyObject *);

// ---- names
// ---------------------------------------------------------------------------------------

int conv_names2arr(problem_s *, PyObject *obj, int64_t count, std::string &out) NVR_TRY {
    out.clear();
    if (count <= 0) return 0;
    if (!obj || obj == Py_None) return nvr_raise(nvy_interf_exc, "Invalid sequence of strings");
    Ref items;
    if (PyUnicode_Check(obj)) { // one name
        items = Ref::steal(PyTuple_Pack(1, obj));
    } else if (PyIter_Check(obj) || PySequence_Check(obj)) {
        items = Ref::steal(PySequence_Fast(obj, "Invalid sequence of strings"));
    } else {
        return nvr_raise(nvy_interf_exc, "Invalid sequence of strings");
    }
    if (!items) return -1;
    const Py_ssize_t n = PySequence_Fast_GET_SIZE(items.get());
    if (n < count) {
        PyErr_Format(nvy_interf_exc, "Expected %lld strings but found %zd",
                     static_cast<long long>(count), n);
        return -1;
    }
    out.reserve(static_cast<size_t>(count) * 9);
    PyObject *const *item = PySequence_Fast_ITEMS(items.get());
    for (int64_t i = 0; i < count; ++i) {
        if (!PyUnicode_Check(item[i])) {
            PyErr_Format(nvy_interf_exc, "Name %lld is not a string: %R", static_cast<long long>(i),
                         item[i]);
            return -1;
        }
        Py_ssize_t len = 0;
        const char *text = PyUnicode_AsUTF8AndSize(item[i], &len);
        if (!text) return -1;
        if (memchr(text, '\0', static_cast<size_t>(len))) {
            PyErr_Format(nvy_interf_exc, "Name %lld contains a zero character",
                         static_cast<long long>(i));
            return -1;
        }
        out.append(text, static_cast<size_t>(len) + 1);
    }
    return 0;
}
NVR_CATCH(-1)

// ---- results into lists
// --------------------------------------------------------------------------

namespace {

// The list item at position i of list, or the integer i when the list is shorter (rows of cuts,
// columns without objects yet). New reference.
PyObject *objectOrIndex(PyObject *list, long i) {
    if (i < 0) return Py_NewRef(Py_None);
    if (list && i < PyList_GET_SIZE(list)) return Py_NewRef(PyList_GET_ITEM(list, i));
    return PyLong_FromLong(i);
}

template <int K> PyObject *toPython(problem_s *p, ElemType<K> v) {
    if constexpr (K == kElemRow) {
        return objectOrIndex(p->cons, v);
    } else if constexpr (K == kElemCol) {
        return objectOrIndex(p->vars, v);
    } else if constexpr (K == kElemInt || K == kElemInt64) {
        return PyLong_FromLongLong(v);
    } else if constexpr (K == kElemDouble) {
        return PyFloat_FromDouble(v);
    } else if constexpr (K == kElemChar) {
        return PyUnicode_FromOrdinal(static_cast<unsigned char>(v));
    } else if constexpr (K == kElemByte) {
        return PyUnicode_FromFormat("%d", static_cast<int>(v));
    } else if constexpr (K == kElemString) {
        return PyUnicode_FromString(v ? v : "");
    } else if constexpr (K == kElemPoolCut) {
        (void)p;
        return poolcut_create(static_cast<NVRAcut>(v));
    } else if constexpr (K == kElemObject) {
        return nvraobject_create(v);
    } else if constexpr (K == kElemRowCol) {
        return v < 0 ? PyLong_FromLong(-1) : convSeqToRowCol(p, v);
    } else {
        (void)p, (void)v;
        PyErr_Format(nvy_interf_exc, "Wrong item returned from API call, type %d", K);
        return nullptr;
    }
}

} // namespace

template <int K>
int conv_arr2obj(problem_s *p, int64_t count, const ElemType<K> *arr, PyObject *list) {
    if (!arr || !list || list == Py_None) return 0;
    if (!PyList_Check(list)) return nvr_model_error("Unexpected argument to conv_arr2obj");
    Ref fresh = Ref::steal(PyList_New(static_cast<Py_ssize_t>(count)));
    if (!fresh) return -1;
    for (int64_t i = 0; i < count; ++i) {
        PyObject *item = toPython<K>(p, arr[i]);
        if (!item) return -1;
        PyList_SET_ITEM(fresh.get(), static_cast<Py_ssize_t>(i), item);
    }
    return PyList_SetSlice(list, 0, PyList_GET_SIZE(list), fresh.get());
}

NVR_CONV_INSTANCES(kElemRow)
NVR_CONV_INSTANCES(kElemCol)
NVR_CONV_INSTANCES(kElemSet)
NVR_CONV_INSTANCES(kElemInt)
NVR_CONV_INSTANCES(kElemInt64)
NVR_CONV_INSTANCES(kElemDouble)
NVR_CONV_INSTANCES(kElemChar)
NVR_CONV_INSTANCES(kElemByte)
NVR_CONV_INSTANCES(kElemString)
NVR_CONV_INSTANCES(kElemPoolCut)
NVR_CONV_INSTANCES(kElemObject)
NVR_CONV_INSTANCES(kElemRowCol)
#undef NVR_CONV_INSTANCES

PyObject *convSeqToRowCol(problem_s *p, int index) {
    const int rows = attrib(p, NVRA_ATTR_ROWS);
    const int offset = rows < 0 ? -1 : rowColOffset(p);
    if (offset < 0) return nullptr;
    if (index < offset) return objectOrIndex(index < rows ? p->cons : nullptr, index);
    return objectOrIndex(p->vars, index - offset);
}

// ---- index vectors
// -------------------------------------------------------------------------------

namespace {

template <class T> struct IndexOf;
template <> struct IndexOf<var_s> {
    static constexpr const char *invalid = "Invalid variable index";
    static constexpr const char *notOne = "Value is not a variable or variable index";
    static bool check(PyObject *o) { return var_Check(o); }
    static int get(problem_s *p, PyObject *o, int *i) { return get_var_col(p, o, i, nullptr); }
};
template <> struct IndexOf<constraint_s> {
    static constexpr const char *invalid = "Invalid constraint index";
    static constexpr const char *notOne = "Value is not a constraint or constraint index";
    static bool check(PyObject *o) { return constraint_Check(o); }
    static int get(problem_s *p, PyObject *o, int *i) {
        return get_con_row(p, as_constraint(o), i);
    }
};
template <> struct IndexOf<sos_s> {
    static constexpr const char *invalid = "Invalid SOS index";
    static constexpr const char *notOne = "Value is not a SOS or SOS index";
    static bool check(PyObject *o) { return sos_Check(o); }
    static int get(problem_s *p, PyObject *o, int *i) {
        int64_t index = 0;
        if (get_sos_index(p, as_sos(o), &index) != 0) return -1;
        *i = static_cast<int>(index);
        return 0;
    }
};

template <class T> int vectorItem(problem_s *p, PyObject *item, int *out, bool *isObject) {
    if (PyLong_Check(item) || (PyIndex_Check(item) && !IndexOf<T>::check(item))) {
        Ref number = Ref::steal(PyNumber_Index(item)); // NumPy integers too
        if (!number) return -1;
        int overflow = 0;
        const long long v = PyLong_AsLongLongAndOverflow(number.get(), &overflow);
        if (v == -1 && PyErr_Occurred()) return -1;
        if (overflow || v > INT_MAX || v < INT_MIN)
            return nvr_raise(nvy_interf_exc, IndexOf<T>::invalid);
        *out = static_cast<int>(v);
        return 0;
    }
    if (IndexOf<T>::check(item)) {
        if (isObject) *isObject = true;
        return IndexOf<T>::get(p, item, out);
    }
    return nvr_raise(nvy_interf_exc, IndexOf<T>::notOne);
}

void wrapElementError(Py_ssize_t i, const char *argname) {
    const std::string where =
        "Error in element " + std::to_string(i) + " of argument '" + argname + "'";
    nvy_prefixError(where.c_str());
}

} // namespace

void nvy_prefixError(const char *prefix, PyObject *as) {
    PyObject *type, *value, *tb;
    PyErr_Fetch(&type, &value, &tb);
    PyErr_NormalizeException(&type, &value, &tb);
    Ref text = Ref::steal(nvr_exception_text(type, value));
    PyErr_Format(as     ? as
                 : type ? type
                        : nvy_interf_exc,
                 "%s: %S", prefix, text ? text.get() : Py_None);
    Py_XDECREF(type);
    Py_XDECREF(value);
    Py_XDECREF(tb);
}

template <class T>
int nvy_PyObject_to_index(problem_s *p, const char *argname, int *out, PyObject *obj,
                          bool *isObject) NVR_TRY {
    if (vectorItem<T>(p, obj, out, isObject) == 0) return 0;
    const std::string where = std::string("Error in argument '") + argname + "'";
    nvy_prefixError(where.c_str());
    return -1;
}
NVR_CATCH(-1)

template int nvy_PyObject_to_index<constraint_s>(problem_s *, const char *, int *, PyObject *,
                                                 bool *);

template <class T>
int nvy_PyObject_to_vector(problem_s *p, const char *argname, std::vector<int> &out, PyObject *obj,
                           bool *isObject) NVR_TRY {
    return nvy_iterableToVector(
        obj, argname, out,
        [&](PyObject *item, int *index) { return vectorItem<T>(p, item, index, isObject); },
        [&](Py_ssize_t i) { wrapElementError(i, argname); });
}
NVR_CATCH(-1)

template int nvy_PyObject_to_vector<var_s>(problem_s *, const char *, std::vector<int> &,
                                           PyObject *, bool *);
template int nvy_PyObject_to_vector<constraint_s>(problem_s *, const char *, std::vector<int> &,
                                                  PyObject *, bool *);
template int nvy_PyObject_to_vector<sos_s>(problem_s *, const char *, std::vector<int> &,
                                           PyObject *, bool *);

// ---- the unlinked argument ----------------------------------------------------------------------

int check_unlinked_arg(problem_s *p, PyObject *arg, int *unlinked) {
    const bool holdsUnlinked = problem_holdsUnlinked(p);
    if (!arg || arg == Py_None) {
        *unlinked = holdsUnlinked ? 1 : 0;
        return 0;
    }
    if (!PyBool_Check(arg)) return nvr_model_error("The unlinked argument must be a Boolean value");
    if (arg == Py_True) {
        const bool linkedVars = PyList_GET_SIZE(p->vars) && !p->var_index_map;
        const bool linkedCons = PyList_GET_SIZE(p->cons) && !p->con_index_map;
        const bool linkedSets = PyList_GET_SIZE(p->sets) && !p->sos_index_map;
        if (linkedVars || linkedCons || linkedSets)
            return nvr_model_error("Argument unlinked=True not permitted: the problem already "
                                   "contains linked objects");
        if (warnDeprec(9, 5, "unlinked variables and constraints are deprecated") != 0) return -1;
        *unlinked = 1;
        return 0;
    }
    if (holdsUnlinked)
        return nvr_model_error(
            "Argument unlinked=False not permitted: the problem already contains unlinked objects");
    *unlinked = 0;
    return 0;
}
