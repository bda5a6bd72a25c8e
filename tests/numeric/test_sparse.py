"""Products of SciPy sparse matrices with vectors of model objects through Dot: both orders, all
four compressed classes, accumulation, the checks of the matrix, the vector and out."""

import sys

import numpy as np
import pytest

import nivra
from helpers.numeric import const_of, lin, new_vars, obj_array, quad, var_array
from nivra import _nivra

sp = pytest.importorskip("scipy.sparse")

CLASSES = [sp.csr_array, sp.csc_array, sp.csr_matrix, sp.csc_matrix]
A = np.array([[1.0, 0.0, 2.0, 0.0], [0.0, 0.0, 0.0, 0.0], [0.0, -3.0, 0.5, 4.0]])


@pytest.fixture
def x():
    return var_array(new_vars("x0", "x1", "x2", "x3"))


@pytest.mark.parametrize("cls", CLASSES, ids=lambda c: c.__name__)
def test_both_orders_match_the_dense_product(x, cls):
    m = cls(A)
    r = nivra.Dot(m, x)
    assert r.dtype == _nivra.npexpr and r.shape == (3,)
    assert [lin(t) for t in r] == [lin(t) for t in nivra.Dot(A, x)]
    assert str(r[1]) == "0" and type(r[1]) is nivra.expression
    # compared with numbers the result gives constraints, as a dense product does (a plain
    # object array would compare into booleans)
    rows = r <= np.array([1.0, 2.0, 3.0])
    assert all(type(c) is nivra.constraint for c in rows) and rows[2].ub == 3.0
    y = x[:3]
    r = nivra.Dot(y, m)
    assert r.shape == (4,) and [lin(t) for t in r] == [lin(t) for t in nivra.Dot(y, A)]
    r = nivra.Dot(m.astype(np.int64), x)  # integer data
    assert [lin(t) for t in r] == [lin(t) for t in nivra.Dot(A.astype(np.int64), x)]


@pytest.mark.parametrize("cls", [sp.csr_array, sp.csc_array])
def test_objects_and_repeated_entries(x, cls):
    x0, x1 = x[0], x[1]
    v = obj_array([x0 + 1, x1, 2.0])
    m = cls(np.array([[1.0, 2.0, 3.0], [0.0, 0.0, -1.0]]))
    r = nivra.Dot(m, v)
    assert str(r[0]) == str(x0 + 1 + 2 * x1 + 6.0) and const_of(r[1]) == -2.0
    # duplicate stored entries of one position accumulate, as do variables met twice
    i32 = np.int32
    dup = sp.csr_array((np.array([1.0, 2.0, 4.0]), np.array([0, 0, 2], i32), np.array([0, 3], i32)),
                       shape=(1, 3))
    r = nivra.Dot(dup, var_array([x0, x1, x0]))
    assert lin(r[0]) == {"x0": 7.0}
    r = nivra.Dot(obj_array([x0, x1 * x1]), sp.csc_array(np.array([[1.0], [2.0]])))
    assert lin(r[0]) == {"x0": 1.0} and quad(r[0]) == {("x1", "x1"): 2.0}
    with pytest.raises(TypeError):  # not a model object: the general operations refuse it
        nivra.Dot(sp.csr_array(np.array([[2.5]])), obj_array(["a"]))


def test_two_sparse_matrices(x):
    m = sp.csr_array(A)
    r = nivra.Dot(m, m.T)
    assert sp.issparse(r) and np.array_equal(r.toarray(), A @ A.T)
    with pytest.raises(nivra.InterfaceError, match="Cannot specify output argument when computing "
                                                   "dot product between two sparse matrices"):
        nivra.Dot(m, m.T, out=np.empty((3, 3)))


def test_matrix_checks(x):
    def dot(m):
        return nivra.Dot(m, x)

    with pytest.raises(nivra.InterfaceError, match="only supports sparse matrices in csc or csr "
                                                   "format, but found coo"):
        dot(sp.coo_array(A))
    for dtype in (complex, bool, np.int16):
        with pytest.raises(nivra.InterfaceError,
                           match="with dtype float32, float64, int32 or int64, but found"):
            dot(sp.csr_array(A.astype(dtype)))
    wide = sp.csr_array(A)
    wide.indices = wide.indices.astype(np.int64)
    wide.indptr = wide.indptr.astype(np.int64)
    with pytest.raises(nivra.InterfaceError,
                       match="Only sparse matrices with int32 indices are supported, but found dtypes "
                             f"{np.dtype(np.int64).num} and {np.dtype(np.int64).num}"):
        dot(wide)
    short = sp.csr_array(A)
    short.indptr = short.indptr[:-1]
    with pytest.raises(nivra.InterfaceError,
                       match="expected indptr array to have length 4 but it was 3"):
        dot(short)
    outside = sp.csr_array(A)
    outside.indices = outside.indices.copy()
    outside.indices[1] = 4
    with pytest.raises(nivra.InterfaceError, match="index out of range in indices array: 4"):
        dot(outside)
    unordered = sp.csr_array(A)
    unordered.indptr = np.array([0, 3, 2, 5], dtype=np.int32)
    with pytest.raises(nivra.InterfaceError, match="indptr array must be non-decreasing"):
        dot(unordered)
    beyond = sp.csr_array(A)
    beyond.indptr = np.array([0, 2, 2, 9], dtype=np.int32)
    with pytest.raises(nivra.InterfaceError, match="indptr array must be non-decreasing"):
        dot(beyond)


class Broken(sp.csr_array):
    """A sparse matrix whose attribute `broken` is missing."""

    broken = None

    def __getattribute__(self, name):
        if name == type(self).broken:
            raise AttributeError(name)
        return super().__getattribute__(name)


@pytest.mark.parametrize("name", ["format", "dtype", "shape", "data", "indices", "indptr"])
def test_missing_attributes(x, name):
    m = sp.csr_array(A)
    m.__class__ = type("Broken_" + name, (Broken,), {"broken": name})
    with pytest.raises(nivra.InterfaceError, match=f"Invalid sparse matrix in dot product: missing or "
                                                   f"incorrect {name} attribute"):
        nivra.Dot(m, x)


def test_vector_and_output_checks(x):
    m = sp.csr_array(A)
    with pytest.raises(nivra.InterfaceError,
                       match="requires the other argument to be a 1D array, but it is 2D"):
        nivra.Dot(m, x.reshape(2, 2))
    with pytest.raises(nivra.InterfaceError,
                       match="requires the other argument to be an array of objects"):
        nivra.Dot(m, np.ones(4))
    with pytest.raises(nivra.InterfaceError, match=r"array of shape \(3,\) is not compatible with matrix "
                                                   r"of shape \(3, 4\)"):
        nivra.Dot(m, x[:3].copy())
    with pytest.raises(nivra.InterfaceError, match=r"array of shape \(4,\) is not compatible"):
        nivra.Dot(x, m)
    held, = new_vars("held")
    out = np.array([held] * 3, dtype=object)
    n = sys.getrefcount(held)
    assert nivra.Dot(m, x, out=out) is out and lin(out[2]) == {"x1": -3.0, "x2": 0.5, "x3": 4.0}
    after = sys.getrefcount(held)
    assert after == n - 3  # the elements are replaced
    e = np.empty(4, dtype=_nivra.npexpr)
    assert nivra.Dot(x[:3], m, out=e) is e and lin(e[3]) == {"x2": 4.0}
    with pytest.raises(nivra.InterfaceError,
                       match=r"Invalid output argument: must be an array of dimension \(3,\)"):
        nivra.Dot(m, x, out=np.empty(4, dtype=object))
    with pytest.raises(nivra.InterfaceError,
                       match="Invalid output argument: must be an array of objects"):
        nivra.Dot(m, x, out=np.empty(3))
    same = x.astype(object)
    with pytest.raises(nivra.InterfaceError, match="must not share memory"):
        nivra.Dot(sp.csr_array(np.eye(4)), same, out=same)


def test_reference_counts(x):
    vs = list(x)
    before = [sys.getrefcount(v) for v in vs]
    m = sp.csc_array(A)
    r = [nivra.Dot(m, x), nivra.Dot(x[:3], m), nivra.Dot(sp.csr_array(A), x)]
    del r
    bad = sp.csr_array(A)
    bad.indices = bad.indices.copy()
    bad.indices[-1] = 9
    with pytest.raises(nivra.InterfaceError):
        nivra.Dot(bad, x)
    assert [sys.getrefcount(v) for v in vs] == before
