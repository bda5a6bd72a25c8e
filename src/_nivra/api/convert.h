// api/convert.h: Python objects to the library's arrays and back, for the optimizer API
// methods of nivra.problem: single indices, arrays of a given element kind (also checked against
// the row or column count when the library reads them by that count), packed name lists, results
// into caller-supplied lists, combined row-or-column indices and index vectors.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <string>
#include <vector>

#include "nvra.h"
#include "runtime/alloc.h"
#include "runtime/env.h"
#include "runtime/ref.h"

struct problem_s;

// Element kinds (the type_pyobj codes every caller passes).
enum ElemKind : int {
    kElemRow = 0,     // 32-bit row index: int, NumPy integer, nivra.constraint, row name
    kElemCol = 1,     // 32-bit column index: int, NumPy integer, nivra.var, column name
    kElemSet = 2,     // 32-bit set index: int, NumPy integer, nivra.sos, name
    kElemInt = 3,     // 32-bit integer
    kElemInt64 = 4,   // 64-bit integer
    kElemDouble = 5,  // double
    kElemChar = 6,    // one character
    kElemByte = 7,    // small number in a byte
    kElemString = 8,  // UTF-8 text
    kElemPoolCut = 9, // library cut handle: nivra.poolcut
    kElemObject = 10, // library object pointer (nivra.nvraobject)
    kElemRowCol = 11, // combined row-or-column index (single values and results only)
};

// The C element type of each kind.
template <int K> struct ElemTypeOf { using type = int; };
template <> struct ElemTypeOf<kElemInt64> { using type = int64_t; };
template <> struct ElemTypeOf<kElemDouble> { using type = double; };
template <> struct ElemTypeOf<kElemChar> { using type = char; };
template <> struct ElemTypeOf<kElemByte> { using type = char; };
template <> struct ElemTypeOf<kElemString> { using type = const char *; };
template <> struct ElemTypeOf<kElemPoolCut> { using type = NVRAcut; };
template <> struct ElemTypeOf<kElemObject> { using type = void *; };
template <int K> using ElemType = typename ElemTypeOf<K>::type;

constexpr bool isIndexKind(int kind) {
    return kind == kElemRow || kind == kElemCol || kind == kElemSet || kind == kElemRowCol;
}

// The converted array of one argument: the elements from the default heap, and (for strings)
// the objects that own the texts the elements point to.
template <int K> struct ConvArray {
    LibArray<ElemType<K>> data;
    Ref keep;
    ElemType<K> *get() const { return data.get(); }
    ElemType<K> &operator[](size_t i) const { return data[i]; }
};

// One index from obj (an int, a NumPy integer scalar, a name, or a model object of the kind).
// 0, or -1 with an exception.
int ObjInt2int(PyObject *obj, problem_s *p, int *out, int kind);

// One cut of the cut pool from obj (a nivra.poolcut holding a cut), else InterfaceError naming
// the argument. 0 or -1.
int conv_obj2cut(PyObject *obj, NVRAcut *out, const char *argname);

// A collection (list, tuple, other sequence, NumPy array, iterator) converted into out. None
// leaves out null and *count unchanged. *count < 0: the length is set from obj; otherwise obj
// must have *count elements ("Mismatched lengths in arguments: expected %d, found %d"). A str
// or bytes object where indices are wanted is one name, not a sequence of characters. argname
// (may be null) names the argument in element errors. 0, or -1 with an exception and out null.
template <int K>
int conv_obj2arr(problem_s *p, int64_t *count, PyObject *obj, ConvArray<K> &out,
                 const char *argname = nullptr);

// As conv_obj2arr for an argument the library reads by a count of its own (the row or column
// count): obj must have exactly `expected` elements, else InterfaceError naming the argument,
// what the count is of (what: "rows", "columns") and both lengths. None gives a null array.
template <int K>
int conv_obj2arr_full(problem_s *p, PyObject *obj, ConvArray<K> &out, int64_t expected,
                      const char *argname, const char *what);

// The packed name list of the library (each name followed by a zero byte) from count names
// in obj. 0, or -1 with InterfaceError.
int conv_names2arr(problem_s *p, PyObject *obj, int64_t count, std::string &out);

// count elements of arr (kind K) written into list, which ends up with exactly count items;
// nothing for a null arr or a list that is null or None; a non-list raises ModelError. 0 or -1.
template <int K>
int conv_arr2obj(problem_s *p, int64_t count, const ElemType<K> *arr, PyObject *list);

// The constraint (index below rows + cuts) or variable of a combined index: new reference or
// null with ModelError.
PyObject *convSeqToRowCol(problem_s *p, int index);

// Index vectors for the deletion methods and the newer methods: each item an int or a model
// object of the class of T (var_s, constraint_s, sos_s), whose index is taken (isObject, may be
// null, is set then). argname names the argument in the errors. 0, or -1 with InterfaceError.
template <class T>
int nvy_PyObject_to_vector(problem_s *p, const char *argname, std::vector<int> &out, PyObject *obj,
                           bool *isObject = nullptr);

// The items of the iterable obj appended to out through conv(item, &value) (0 or -1). An
// argument that is not iterable raises "Argument '...' must be iterable"; after an item's error
// onError(position) may reword it. 0 or -1.
template <class T, class Conv, class OnError>
int nvy_iterableToVector(PyObject *obj, const char *argname, std::vector<T> &out, Conv &&conv,
                         OnError &&onError) {
    out.clear();
    Ref it = Ref::steal(PyObject_GetIter(obj));
    if (!it) {
        PyErr_Clear();
        PyErr_Format(nvy_interf_exc, "Argument '%s' must be iterable", argname);
        return -1;
    }
    const Py_ssize_t hint = PyObject_LengthHint(obj, 0);
    if (hint < 0) return -1;
    out.reserve(static_cast<size_t>(hint));
    for (Py_ssize_t i = 0;; ++i) {
        Ref item = Ref::steal(PyIter_Next(it.get()));
        if (!item) return PyErr_Occurred() ? -1 : 0;
        T v{};
        if (conv(item.get(), &v) != 0) {
            onError(i);
            return -1;
        }
        out.push_back(v);
    }
}

// One index as nvy_PyObject_to_vector takes them; an error says "Error in argument '...': ...".
template <class T>
int nvy_PyObject_to_index(problem_s *p, const char *argname, int *out, PyObject *obj,
                          bool *isObject = nullptr);

// Replaces the pending error by one whose text is prefix, ": " and the old text, of the type
// `as` (null: the same type).
void nvy_prefixError(const char *prefix, PyObject *as = nullptr);

// The `unlinked` argument of addrows, addcols and loadproblem (None, True or False) checked
// against what the problem holds. 0, or -1 with ModelError or a deprecation error.
int check_unlinked_arg(problem_s *p, PyObject *arg, int *unlinked);
