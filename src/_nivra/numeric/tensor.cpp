// numeric/tensor.cpp: tensor products of NumPy arrays (the rules of numpy.dot) and the dispatch
// of tensor_mult between dense, sparse and scalar operands.
//
// An array product contracts the last axis of a with the second-to-last axis of b (its only
// axis for a vector). There is one routine per ordered pair of element kinds (seven numeric
// types, variables, objects), all instances of one template over the two element readers; the
// accumulation (numeric/accumulate.h) picks the fastest exact way to add each product. The
// result is built element by element in C order, each element's whole sum (ascending along
// the contracted axis) before the next, so that a variable met twice accumulates its
// coefficients in one map entry and each element checks its variables' problem on its own.
#include "tensor.h"

#include <array>
#include <utility>

#include "accumulate.h"
#include "elements.h"
#include "model/algebra.h"
#include "model/expression.h"
#include "model/operand.h"
#include "runtime/ref.h"
#include "nonlinear/nonlinear.h"
#include "sparse.h"

namespace {

PyObject *interfaceError(const char *msg) {
    PyErr_SetString(nvy_interf_exc, msg);
    return nullptr;
}

// ---- element kinds and readers -----------------------------------------------------------------

enum KindCode : int {
    kInt8,
    kInt16,
    kInt32,
    kInt64,
    kHalf,
    kFloat,
    kDouble,
    kVarElem,
    kObjElem,
    kNumCodes
};

constexpr bool isNumeric(int code) {
    return code < kVarElem;
}

// The kind code of arr's element type, or -1 for types outside the table.
int kindCode(PyArrayObject *arr) {
    const PyArray_Descr *d = PyArray_DESCR(arr);
    if (nvr_is_npvar(d)) return kVarElem;
    if (nvr_is_object_like(d)) return kObjElem;
    const auto elsize = PyDataType_ELSIZE(d);
    if (d->kind == 'i') switch (elsize) {
        case 1:
            return kInt8;
        case 2:
            return kInt16;
        case 4:
            return kInt32;
        case 8:
            return kInt64;
        }
    if (d->kind == 'f') switch (elsize) {
        case 2:
            return kHalf;
        case 4:
            return kFloat;
        case 8:
            return kDouble;
        }
    return -1;
}

template <class T> struct NumberReader {
    static constexpr bool numeric = true;
    static double read(const char *p) { return nvr_read_number<T>(p); }
};
struct RefReader {
    static constexpr bool numeric = false;
    static PyObject *read(const char *p) {
        PyObject *o = nvr_slot_get(p);
        return o ? o : Py_None;
    }
};

template <int Code> struct ReaderOf { using type = RefReader; };
template <> struct ReaderOf<kInt8> { using type = NumberReader<npy_int8>; };
template <> struct ReaderOf<kInt16> { using type = NumberReader<npy_int16>; };
template <> struct ReaderOf<kInt32> { using type = NumberReader<npy_int32>; };
template <> struct ReaderOf<kInt64> { using type = NumberReader<npy_int64>; };
template <> struct ReaderOf<kHalf> { using type = NumberReader<npy_half>; };
template <> struct ReaderOf<kFloat> { using type = NumberReader<float>; };
template <> struct ReaderOf<kDouble> { using type = NumberReader<double>; };

// ---- the array product -------------------------------------------------------------------------

// Result axes are those of a without its last, then those of b without the contracted one.
constexpr int kMaxResultDims = 2 * NPY_MAXDIMS;

struct Layout {
    int nd = 0;
    npy_intp dims[kMaxResultDims];
    npy_intp strideA[kMaxResultDims], strideB[kMaxResultDims], strideOut[kMaxResultDims];
    npy_intp size = 0, stepA = 0, stepB = 0; // the contracted axis
    const char *a = nullptr, *b = nullptr;
    char *out = nullptr;
};

// The number of non-zero numbers along the contracted axis at p: the linear terms to expect.
template <class R> Py_ssize_t nonzeros(const char *p, npy_intp step, npy_intp n) {
    Py_ssize_t count = 0;
    for (npy_intp k = 0; k < n; ++k, p += step)
        count += R::read(p) != 0.0;
    return count;
}

template <class RA, class RB>
Py_ssize_t termsHint(const Layout &L, const char *pa, const char *pb) {
    if constexpr (RA::numeric)
        return nonzeros<RA>(pa, L.stepA, L.size);
    else if constexpr (RB::numeric)
        return nonzeros<RB>(pb, L.stepB, L.size);
    else
        return 0;
}

// Fills every element of the result. 0, or -1 with the error of the failing product (the
// elements done so far stay in the result).
template <class RA, class RB> int contract(const Layout &L) {
    ExpressionAccumulator acc;
    npy_intp index[kMaxResultDims] = {};
    npy_intp total = 1;
    for (int i = 0; i < L.nd; ++i)
        total *= L.dims[i];
    const char *pa = L.a, *pb = L.b;
    char *po = L.out;
    for (npy_intp n = 0; n < total; ++n) {
        acc.begin(termsHint<RA, RB>(L, pa, pb));
        const char *qa = pa, *qb = pb;
        for (npy_intp k = 0; k < L.size; ++k, qa += L.stepA, qb += L.stepB)
            if (acc.addProduct(RA::read(qa), RB::read(qb)) != 0) return -1;
        PyObject *element = acc.take();
        if (!element) return -1;
        nvr_slot_set(po, element);
        for (int ax = L.nd - 1; ax >= 0; --ax) { // next result element in C order
            if (++index[ax] < L.dims[ax]) {
                pa += L.strideA[ax], pb += L.strideB[ax], po += L.strideOut[ax];
                break;
            }
            index[ax] = 0;
            const npy_intp back = L.dims[ax] - 1;
            pa -= back * L.strideA[ax], pb -= back * L.strideB[ax], po -= back * L.strideOut[ax];
        }
    }
    return 0;
}

using Routine = int (*)(const Layout &);

template <int A, int B> constexpr Routine routineFor() {
    if constexpr (isNumeric(A) && isNumeric(B))
        return nullptr; // NumPy's own product
    else
        return contract<typename ReaderOf<A>::type, typename ReaderOf<B>::type>;
}

template <size_t... I> constexpr auto routineTable(std::index_sequence<I...>) {
    return std::array<Routine, sizeof...(I)>{routineFor<I / kNumCodes, I % kNumCodes>()...};
}

// One routine per ordered pair of kinds: 7·2 + 2·7 + 4 = 32 (numeric pairs are NumPy's).
constexpr auto kRoutines = routineTable(std::make_index_sequence<kNumCodes * kNumCodes>{});

// The shape of a·b; InterfaceError when the contracted lengths differ. 0 or -1.
int layoutOf(PyArrayObject *a, PyArrayObject *b, Layout *L) {
    const int m = PyArray_NDIM(a), n = PyArray_NDIM(b), kb = n == 1 ? 0 : n - 2;
    L->size = PyArray_DIM(a, m - 1);
    if (PyArray_DIM(b, kb) != L->size) {
        interfaceError("Dot product must occur between NumPy vectors with matching sizes in the "
                       "multiplying dimension");
        return -1;
    }
    L->stepA = PyArray_STRIDE(a, m - 1);
    L->stepB = PyArray_STRIDE(b, kb);
    L->nd = 0;
    for (int i = 0; i < m - 1; ++i, ++L->nd) {
        L->dims[L->nd] = PyArray_DIM(a, i);
        L->strideA[L->nd] = PyArray_STRIDE(a, i);
        L->strideB[L->nd] = 0;
    }
    for (int j = 0; j < n; ++j) {
        if (j == kb) continue;
        L->dims[L->nd] = PyArray_DIM(b, j);
        L->strideA[L->nd] = 0;
        L->strideB[L->nd] = PyArray_STRIDE(b, j);
        ++L->nd;
    }
    L->a = PyArray_BYTES(a);
    L->b = PyArray_BYTES(b);
    return 0;
}

// An output argument for a product of model objects: of the expression element type, with the
// result's shape, writeable and apart from the operands. 0 or -1.
int checkOutput(PyArrayObject *out, const Layout &L, PyArrayObject *a, PyArrayObject *b) {
    const PyTypeObject *scalar = PyArray_DESCR(out)->typeobj;
    if (scalar != &expression_type && scalar != &nonlinear_type) {
        interfaceError("Output argument set with wrong type: must be float/int for products of "
                       "floats/ints and expression/nonlin for products of "
                       "variables/expressions/nonlinear");
        return -1;
    }
    bool same = PyArray_NDIM(out) == L.nd;
    for (int i = 0; same && i < L.nd; ++i)
        same = PyArray_DIM(out, i) == L.dims[i];
    if (!same) {
        interfaceError("Output argument of dot product must have the shape of the result");
        return -1;
    }
    return nvr_check_output_memory(out, a, b);
}

// The result array: out, or a new array of the expression element type with empty elements.
PyArrayObject *resultArray(PyArrayObject *out, const Layout &L) {
    if (out) {
        Py_INCREF(out);
        return out;
    }
    PyArray_Descr *descr = nvr_py_env.npexpr_dtype;
    Py_INCREF(descr);
    PyObject *r = PyArray_NewFromDescr(&PyArray_Type, descr, L.nd, const_cast<npy_intp *>(L.dims),
                                       nullptr, nullptr, 0, nullptr);
    if (!r) interfaceError("Could not initialize result of dot product");
    return reinterpret_cast<PyArrayObject *>(r);
}

// Two numeric arrays: NumPy's matrix product; a 0-dimensional result as a Python number.
PyObject *numericProduct(PyArrayObject *a, PyArrayObject *b, PyArrayObject *out) {
    Ref r = Ref::steal(PyArray_MatrixProduct2(reinterpret_cast<PyObject *>(a),
                                              reinterpret_cast<PyObject *>(b), out));
    if (!r || out ||
        (PyArray_Check(r.get()) && PyArray_NDIM(reinterpret_cast<PyArrayObject *>(r.get())) > 0))
        return r.release();
    return PyObject_CallMethod(r.get(), "item", nullptr);
}

// Stores a scalar result in a 0-dimensional output argument and returns the argument.
PyObject *deliverScalar(PyObject *value, PyArrayObject *out) {
    Ref v = Ref::steal(value);
    if (!v || !out) return v.release();
    Layout L;
    if (checkOutput(out, L, nullptr, nullptr) != 0) return nullptr;
    nvr_slot_set(PyArray_BYTES(out), v.release());
    Py_INCREF(out);
    return reinterpret_cast<PyObject *>(out);
}

// Two 0-dimensional arrays: the product of their single elements.
PyObject *scalarProduct(PyArrayObject *a, PyArrayObject *b, PyArrayObject *out) {
    Ref x = Ref::steal(PyArray_GETITEM(a, PyArray_BYTES(a)));
    Ref y = Ref::steal(x ? PyArray_GETITEM(b, PyArray_BYTES(b)) : nullptr);
    if (!y) return nullptr;
    double u, v;
    if (exprKindOf(x.get()) == kConst && exprKindOf(y.get()) == kConst) {
        if (isConstOfKind(x.get(), kConst, &u) < 0 || isConstOfKind(y.get(), kConst, &v) < 0)
            return nullptr;
        return deliverScalar(PyFloat_FromDouble(u * v), out);
    }
    return deliverScalar(general_mul(x.get(), y.get()), out);
}

PyObject *arrayProduct(PyArrayObject *a, PyArrayObject *b, PyArrayObject *out) {
    const int m = PyArray_NDIM(a), n = PyArray_NDIM(b);
    if (m == 0 && n == 0) return scalarProduct(a, b, out);
    if (m == 0)
        return interfaceError("Dot product between incompatible objects: first one is a scalar");
    if (n == 0)
        return interfaceError("Dot product between incompatible objects: second one is a scalar");
    const int ka = kindCode(a), kb = kindCode(b);
    if (ka < 0 || kb < 0)
        return interfaceError(
            "Dot product must be between long, double, and expressions/variables");
    if (isNumeric(ka) && isNumeric(kb)) return numericProduct(a, b, out);
    auto native = [](PyArrayObject *x) {
        return Ref::steal(reinterpret_cast<PyObject *>(nvr_native_array(x)));
    };
    Ref na = native(a), nb = native(b);
    if (!na || !nb) return nullptr;
    a = reinterpret_cast<PyArrayObject *>(na.get());
    b = reinterpret_cast<PyArrayObject *>(nb.get());
    Layout L;
    if (layoutOf(a, b, &L) != 0 || (out && checkOutput(out, L, a, b) != 0)) return nullptr;
    Ref result = Ref::steal(reinterpret_cast<PyObject *>(resultArray(out, L)));
    if (!result) return nullptr;
    PyArrayObject *r = reinterpret_cast<PyArrayObject *>(result.get());
    L.out = PyArray_BYTES(r);
    for (int i = 0; i < L.nd; ++i)
        L.strideOut[i] = PyArray_STRIDE(r, i);
    if (kRoutines[ka * kNumCodes + kb](L) != 0) return nullptr;
    if (L.nd == 0 && !out) return Py_NewRef(nvr_slot_get(L.out));
    return result.release();
}

PyObject *notArrays() {
    return interfaceError(
        "Dot product can only occur between NumPy arrays and SciPy sparse matrices");
}

// The byte range [lo, hi) that arr's elements occupy (empty for an empty array).
void extent(PyArrayObject *arr, const char **lo, const char **hi) {
    const char *base = PyArray_BYTES(arr);
    npy_intp low = 0, high = PyArray_ITEMSIZE(arr);
    for (int i = 0; i < PyArray_NDIM(arr); ++i) {
        const npy_intp dim = PyArray_DIM(arr, i), span = PyArray_STRIDE(arr, i) * (dim - 1);
        if (dim == 0) {
            *lo = *hi = base;
            return;
        }
        (span < 0 ? low : high) += span;
    }
    *lo = base + low;
    *hi = base + high;
}

bool overlaps(PyArrayObject *x, PyArrayObject *y) {
    if (!y) return false;
    const char *xl, *xh, *yl, *yh;
    extent(x, &xl, &xh);
    extent(y, &yl, &yh);
    return xl < xh && yl < yh && xl < yh && yl < xh;
}

} // namespace

int nvr_check_output_memory(PyArrayObject *out, PyArrayObject *a, PyArrayObject *b) {
    if (PyArray_FailUnlessWriteable(out, "output argument of dot product") < 0) return -1;
    if (overlaps(out, a) || overlaps(out, b)) {
        interfaceError("Output argument of dot product must not share memory with its operands");
        return -1;
    }
    return 0;
}

PyObject *tensor_mult(PyObject *a, PyObject *b, PyObject *out) {
    if (out == Py_None) out = nullptr;
    if (out && !PyArray_Check(out)) return interfaceError("Output argument must be a NumPy array");
    PyArrayObject *outArr = reinterpret_cast<PyArrayObject *>(out);
    const int sparseA = a == Py_None ? 0 : nvy_Sparse_IsSparseMat(a);
    const int sparseB = sparseA < 0 ? -1 : nvy_Sparse_IsSparseMat(b);
    if (sparseA < 0 || sparseB < 0) return nullptr;
    if (sparseA && sparseB) {
        if (out)
            return interfaceError("Cannot specify output argument when computing dot product "
                                  "between two sparse matrices");
        return PyNumber_MatrixMultiply(a, b);
    }
    if (a == Py_None) return PyArray_Check(b) || sparseB ? Py_NewRef(b) : notArrays();
    if (PyArray_Check(a) && PyArray_Check(b))
        return arrayProduct(reinterpret_cast<PyArrayObject *>(a),
                            reinterpret_cast<PyArrayObject *>(b), outArr);
    if ((sparseA && PyArray_Check(b)) || (sparseB && PyArray_Check(a)))
        return nvy_Sparse_Product(a, b, out);
    return notArrays();
}
