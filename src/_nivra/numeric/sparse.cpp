// numeric/sparse.cpp: products of SciPy sparse matrices (csr or csc) with vectors of model
// objects. The matrix is read through its format, shape, dtype, data, indices and indptr
// attributes and checked in full (a malformed matrix must not make us read out of bounds).
// Each result element is the sum over one row (matrix·vector) or one column (vector·matrix);
// when these are not the compressed direction the stored entries are first regrouped with a
// counting sort, so that every result element is built in one pass, its entries in order.
#include "sparse.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "accumulate.h"
#include "elements.h"
#include "runtime/alloc.h"
#include "runtime/env.h"
#include "runtime/ref.h"
#include "tensor.h"

namespace {

// Takes the base classes of scipy.sparse from sys.modules when they are there and not yet
// taken. 0, or -1 with an exception when the lookup fails.
int findScipySparse() {
    if (nvr_py_env.scipy_sparray || nvr_py_env.scipy_spmatrix) return 0;
    static PyObject *name;
    if (!name && !(name = PyUnicode_InternFromString("scipy.sparse"))) return -1;
    PyObject *sparse = PyImport_GetModule(name);
    if (!sparse) return PyErr_Occurred() ? -1 : 0;
    // An older SciPy has no sparray; either class may be missing.
    for (auto [attr, slot] : {std::pair{"sparray", &nvr_py_env.scipy_sparray},
                              std::pair{"spmatrix", &nvr_py_env.scipy_spmatrix}})
        if (!(*slot = PyObject_GetAttrString(sparse, attr))) PyErr_Clear();
    Py_DECREF(sparse); // its classes keep it alive
    return 0;
}

} // namespace

int nvy_Sparse_IsSparseMat(PyObject *x) {
    if (findScipySparse() != 0) return -1;
    for (PyObject *cls : {nvr_py_env.scipy_sparray, nvr_py_env.scipy_spmatrix}) {
        const int rc = cls ? PyObject_IsInstance(x, cls) : 0;
        if (rc != 0) return rc;
    }
    return 0;
}

namespace {

PyObject *interfaceError(const char *msg) {
    PyErr_SetString(nvy_interf_exc, msg);
    return nullptr;
}

int missing(const char *attribute) {
    PyErr_Format(nvy_interf_exc,
                 "Invalid sparse matrix in dot product: missing or incorrect %s attribute",
                 attribute);
    return -1;
}

PyArrayObject *asArray(const Ref &r) {
    return reinterpret_cast<PyArrayObject *>(r.get());
}

// A sparse matrix in compressed form: entries indptr[i] .. indptr[i+1]-1 belong to major index
// i (rows for csr, columns for csc); indices holds their minor index. The arrays are
// contiguous, in native byte order, data converted to double.
struct Compressed {
    bool csr = true;
    npy_intp rows = 0, cols = 0;
    Ref data, indices, indptr;

    npy_intp major() const { return csr ? rows : cols; }
    npy_intp minor() const { return csr ? cols : rows; }
    const double *coef() const { return static_cast<const double *>(PyArray_DATA(asArray(data))); }
    const npy_int32 *index() const {
        return static_cast<const npy_int32 *>(PyArray_DATA(asArray(indices)));
    }
    const npy_int32 *start() const {
        return static_cast<const npy_int32 *>(PyArray_DATA(asArray(indptr)));
    }
};

int readFormat(PyObject *m, Compressed *s) {
    Ref f = Ref::steal(PyObject_GetAttrString(m, "format"));
    const char *text = f && PyUnicode_Check(f.get()) ? PyUnicode_AsUTF8(f.get()) : nullptr;
    if (!text) {
        PyErr_Clear();
        return missing("format");
    }
    if (strcmp(text, "csr") != 0 && strcmp(text, "csc") != 0) {
        PyErr_Format(nvy_interf_exc,
                     "Dot product only supports sparse matrices in csc or csr format, but found %s",
                     text);
        return -1;
    }
    s->csr = text[2] == 'r';
    return 0;
}

int readShape(PyObject *m, Compressed *s) {
    Ref shape = Ref::steal(PyObject_GetAttrString(m, "shape"));
    if (shape && PyTuple_Check(shape.get()) && PyTuple_GET_SIZE(shape.get()) == 2) {
        s->rows = PyLong_AsSsize_t(PyTuple_GET_ITEM(shape.get(), 0));
        s->cols = PyLong_AsSsize_t(PyTuple_GET_ITEM(shape.get(), 1));
        if (s->rows >= 0 && s->cols >= 0) return 0;
    }
    PyErr_Clear();
    return missing("shape");
}

int readDtype(PyObject *m) {
    Ref dtype = Ref::steal(PyObject_GetAttrString(m, "dtype"));
    if (!dtype || !PyArray_DescrCheck(dtype.get())) {
        PyErr_Clear();
        return missing("dtype");
    }
    const PyArray_Descr *d = reinterpret_cast<PyArray_Descr *>(dtype.get());
    const auto size = PyDataType_ELSIZE(d);
    if ((d->kind == 'f' || d->kind == 'i') && (size == 4 || size == 8)) return 0;
    PyErr_Format(nvy_interf_exc,
                 "Dot product only supports sparse matrices with dtype float32, float64, int32 or "
                 "int64, but found %S",
                 dtype.get());
    return -1;
}

// The attribute name of m, which must be a 1-dimensional NumPy array. Null on failure.
Ref vectorAttribute(PyObject *m, const char *name) {
    Ref v = Ref::steal(PyObject_GetAttrString(m, name));
    if (v && PyArray_Check(v.get()) && PyArray_NDIM(asArray(v)) == 1) return v;
    PyErr_Clear();
    missing(name);
    return Ref();
}

bool isInt32(const Ref &v) {
    const PyArray_Descr *d = PyArray_DESCR(asArray(v));
    return d->kind == 'i' && PyDataType_ELSIZE(d) == 4;
}

// A contiguous native copy (or v itself) of type typenum.
Ref contiguous(const Ref &v, int typenum) {
    return Ref::steal(
        PyArray_FROMANY(v.get(), typenum, 1, 1, NPY_ARRAY_IN_ARRAY | NPY_ARRAY_FORCECAST));
}

// indptr: non-decreasing from 0 up to at most the number of stored entries; indices: within
// the minor dimension. 0 or -1.
int checkStructure(const Compressed &s) {
    const npy_intp n = PyArray_DIM(asArray(s.indptr), 0);
    if (n != s.major() + 1) {
        PyErr_Format(
            nvy_interf_exc,
            "Invalid sparse matrix in dot product: expected indptr array to have length %zd "
            "but it was %zd",
            static_cast<Py_ssize_t>(s.major() + 1), static_cast<Py_ssize_t>(n));
        return -1;
    }
    const npy_intp stored =
        std::min(PyArray_DIM(asArray(s.indices), 0), PyArray_DIM(asArray(s.data), 0));
    const npy_int32 *start = s.start();
    bool ordered = start[0] >= 0;
    for (npy_intp i = 0; ordered && i < s.major(); ++i)
        ordered = start[i] <= start[i + 1];
    if (!ordered || start[s.major()] > stored) {
        interfaceError("Invalid sparse matrix in dot product: indptr array must be non-decreasing "
                       "and within the stored entries");
        return -1;
    }
    const npy_int32 *index = s.index();
    for (npy_intp p = start[0]; p < start[s.major()]; ++p)
        if (index[p] < 0 || index[p] >= s.minor()) {
            PyErr_Format(
                nvy_interf_exc,
                "Invalid sparse matrix in dot product: index out of range in indices array: %d",
                static_cast<int>(index[p]));
            return -1;
        }
    return 0;
}

int readMatrix(PyObject *m, Compressed *s) {
    if (readFormat(m, s) != 0 || readShape(m, s) != 0) return -1;
    Ref data = vectorAttribute(m, "data");
    if (!data || readDtype(m) != 0) return -1;
    Ref indices = vectorAttribute(m, "indices");
    Ref indptr = indices ? vectorAttribute(m, "indptr") : Ref();
    if (!indptr) return -1;
    if (!isInt32(indices) || !isInt32(indptr)) {
        PyErr_Format(
            nvy_interf_exc,
            "Only sparse matrices with int32 indices are supported, but found dtypes %d and %d",
            PyArray_TYPE(asArray(indices)), PyArray_TYPE(asArray(indptr)));
        return -1;
    }
    s->data = contiguous(data, NPY_DOUBLE);
    s->indices = s->data ? contiguous(indices, NPY_INT32) : Ref();
    s->indptr = s->indices ? contiguous(indptr, NPY_INT32) : Ref();
    return s->indptr ? checkStructure(*s) : -1;
}

// The other operand: a vector of objects of the length the product needs. 0 or -1.
int checkVector(PyArrayObject *v, npy_intp length, const Compressed &s) {
    if (PyArray_NDIM(v) != 1) {
        PyErr_Format(nvy_interf_exc,
                     "Dot product with a sparse matrix requires the other argument to be a 1D "
                     "array, but it is %dD",
                     PyArray_NDIM(v));
        return -1;
    }
    const PyArray_Descr *d = PyArray_DESCR(v);
    if (!nvr_is_object_like(d) && !nvr_is_npvar(d)) {
        interfaceError("Dot product with a sparse matrix requires the other argument to be an "
                       "array of objects");
        return -1;
    }
    if (PyArray_DIM(v, 0) != length) {
        PyErr_Format(nvy_interf_exc,
                     "Incompatible objects in dot product: array of shape (%zd,) is not compatible "
                     "with matrix of shape (%zd, %zd)",
                     static_cast<Py_ssize_t>(PyArray_DIM(v, 0)), static_cast<Py_ssize_t>(s.rows),
                     static_cast<Py_ssize_t>(s.cols));
        return -1;
    }
    return 0;
}

// The result array: out (checked) or a new array of the expression element type, as for the
// dense products, so that comparing it with numbers builds constraints element by element
// (NumPy compares plain object arrays into booleans). New reference or null.
PyObject *resultVector(PyArrayObject *out, npy_intp length, PyArrayObject *v) {
    if (!out) {
        Py_INCREF(nvr_py_env.npexpr_dtype);
        PyObject *r = PyArray_NewFromDescr(&PyArray_Type, nvr_py_env.npexpr_dtype, 1, &length,
                                           nullptr, nullptr, 0, nullptr);
        return r ? r : interfaceError("Could not initialize result of dot product");
    }
    if (PyArray_NDIM(out) != 1 || PyArray_DIM(out, 0) != length) {
        PyErr_Format(nvy_interf_exc,
                     "Invalid output argument: must be an array of dimension (%zd,)",
                     static_cast<Py_ssize_t>(length));
        return nullptr;
    }
    if (!nvr_is_object_like(PyArray_DESCR(out)))
        return interfaceError("Invalid output argument: must be an array of objects");
    if (nvr_check_output_memory(out, v, nullptr) != 0) return nullptr;
    Py_INCREF(out);
    return reinterpret_cast<PyObject *>(out);
}

// The entries grouped by minor index instead: start (minor + 1 entries), the major index and
// the coefficient of each entry, in order of major index within each group.
struct Regrouped {
    LibArray<npy_intp> start, other;
    LibArray<double> coef;
};

int regroup(const Compressed &s, Regrouped *g) {
    const npy_int32 *start = s.start(), *index = s.index();
    const double *coef = s.coef();
    const npy_intp groups = s.minor(), entries = start[s.major()] - start[0];
    if (g->start.alloc(groups + 1) != 0 || g->other.alloc(entries) != 0 ||
        g->coef.alloc(entries) != 0)
        return -1;
    npy_intp *pos = g->start.get();
    memset(pos, 0, (groups + 1) * sizeof *pos);
    for (npy_intp p = start[0]; p < start[s.major()]; ++p)
        ++pos[index[p] + 1];
    for (npy_intp j = 0; j < groups; ++j)
        pos[j + 1] += pos[j];
    for (npy_intp i = 0; i < s.major(); ++i)
        for (npy_intp p = start[i]; p < start[i + 1]; ++p) {
            const npy_intp q = pos[index[p]]++;
            g->other[q] = i;
            g->coef[q] = coef[p];
        }
    for (npy_intp j = groups; j > 0; --j)
        pos[j] = pos[j - 1]; // pos[j] ran to the end of group j
    pos[0] = 0;
    return 0;
}

// Result element g = Σ over entries p of group g of coef[p] times the vector element other[p]
// (in the order of the operands). 0 or -1.
template <class P, class I>
int contractGroups(const P *start, const I *other, const double *coef, npy_intp groups,
                   PyArrayObject *vector, PyArrayObject *result, bool matrixFirst) {
    const char *v = PyArray_BYTES(vector);
    const npy_intp vstride = PyArray_STRIDE(vector, 0), rstride = PyArray_STRIDE(result, 0);
    char *r = PyArray_BYTES(result);
    ExpressionAccumulator acc;
    for (npy_intp g = 0; g < groups; ++g, r += rstride) {
        acc.begin(start[g + 1] - start[g]);
        for (npy_intp p = start[g]; p < start[g + 1]; ++p) {
            PyObject *el = nvr_slot_get(v + other[p] * vstride);
            if (!el) el = Py_None;
            if ((matrixFirst ? acc.addProduct(coef[p], el) : acc.addProduct(el, coef[p])) != 0)
                return -1;
        }
        PyObject *element = acc.take();
        if (!element) return -1;
        nvr_slot_set(r, element);
    }
    return 0;
}

} // namespace

PyObject *nvy_Sparse_Product(PyObject *a, PyObject *b, PyObject *out) {
    const int first = nvy_Sparse_IsSparseMat(a);
    if (first < 0) return nullptr;
    const bool matrixFirst = first == 1;
    PyArrayObject *vector = reinterpret_cast<PyArrayObject *>(matrixFirst ? b : a);
    Compressed s;
    if (readMatrix(matrixFirst ? a : b, &s) != 0) return nullptr;
    const npy_intp length = matrixFirst ? s.rows : s.cols;
    if (checkVector(vector, matrixFirst ? s.cols : s.rows, s) != 0) return nullptr;
    Ref result = Ref::steal(resultVector(reinterpret_cast<PyArrayObject *>(out), length, vector));
    if (!result) return nullptr;
    PyArrayObject *r = asArray(result);
    int rc;
    if (matrixFirst == s.csr) { // the result elements are the compressed groups
        rc = contractGroups(s.start(), s.index(), s.coef(), length, vector, r, matrixFirst);
    } else {
        Regrouped g;
        rc = regroup(s, &g);
        if (rc == 0)
            rc = contractGroups(g.start.get(), g.other.get(), g.coef.get(), length, vector, r,
                                matrixFirst);
    }
    return rc == 0 ? result.release() : nullptr;
}
