"""Tensor products of NumPy arrays through Dot: the shape rule of numpy.dot, the element kinds,
coefficient accumulation, the quadratic fast path, half precision, the out argument and the
failure messages."""

import sys

import numpy as np
import pytest

import nivra
from helpers.numeric import (const_of, is_nonlinear, lin, new_vars, obj_array, quad, set_owner,
                             var_array)
from nivra import _nivra

NUMERIC = [np.int8, np.int16, np.int32, np.int64, np.float16, np.float32, np.float64]
SIZES = "Dot product must occur between NumPy vectors with matching sizes in the multiplying dimension"


def consts(a):
    """The constants of an array of expressions, as a float array of the same shape."""
    return np.vectorize(const_of, otypes=[float])(a)


def test_matrix_times_variables(xs):
    x = var_array(xs[:3])
    r = nivra.Dot(np.array([[1.0, 2.0, 3.0], [0.0, -1.0, 0.5]]), x)
    assert r.dtype == _nivra.npexpr and r.shape == (2,)
    assert [lin(t) for t in r] == [{"x0": 1.0, "x1": 2.0, "x2": 3.0}, {"x1": -1.0, "x2": 0.5}]
    r = nivra.Dot(x, np.array([[1.0, 2.0], [3.0, 4.0], [0.0, 1.0]]))  # variables on the left
    assert [lin(t) for t in r] == [{"x0": 1.0, "x1": 3.0}, {"x0": 2.0, "x1": 4.0, "x2": 1.0}]


@pytest.mark.parametrize("dtype", NUMERIC, ids=lambda t: np.dtype(t).name)
def test_every_numeric_type(xs, dtype):
    x = var_array(xs[:3])
    a = np.array([[1, -2, 3], [4, 0, 6]], dtype=dtype)
    for r in (nivra.Dot(a, x), nivra.Dot(x, a.T.copy())):
        assert [lin(t) for t in r] == [{"x0": 1.0, "x1": -2.0, "x2": 3.0}, {"x0": 4.0, "x2": 6.0}]
    objects = obj_array([xs[0], 2 * xs[1], 1.5])
    r = nivra.Dot(a, objects)
    assert [lin(t) for t in r] == [{"x0": 1.0, "x1": -4.0}, {"x0": 4.0}]
    assert [const_of(t) for t in r] == [4.5, 9.0]


def test_repeated_variable_accumulates(xs):
    x0, x1 = xs[:2]
    r = nivra.Dot(np.array([1.0, 2.0, 3.0]), var_array([x0, x1, x0]))
    assert type(r) is nivra.expression and lin(r) == {"x0": 4.0, "x1": 2.0}
    r = nivra.Dot(np.array([1.0, 2.0, -1.0]), var_array([x0, x1, x0]))
    assert lin(r) == {"x1": 2.0} and str(r) == "2 * x1"
    n = sys.getrefcount(x0)
    del r
    assert sys.getrefcount(x0) == n


def test_half_precision_coefficients(xs):
    values = np.array([0.1, 1 / 3, 6e-8, -2.0 ** -20, 65504.0, -0.0], dtype=np.float16)
    x = var_array(xs[:1] * 0 + new_vars(*[f"h{i}" for i in range(6)]))
    r = nivra.Dot(values, x)
    expected = {f"h{i}": float(np.float32(v)) for i, v in enumerate(values) if v != 0}
    assert lin(r) == expected
    assert lin(r)["h2"] == 2.0 ** -24 * 1  # the smallest subnormal, exactly
    inf = nivra.Dot(np.array([np.inf], dtype=np.float16), x[:1])
    assert lin(inf) == {"h0": float("inf")}


def test_variables_times_variables(xs):
    x = var_array(xs[:3])
    r = nivra.Dot(x, x)
    assert type(r) is nivra.expression and str(r) == "x0 ** 2 + x1 ** 2 + x2 ** 2"
    assert quad(r) == {("x0", "x0"): 1.0, ("x1", "x1"): 1.0, ("x2", "x2"): 1.0} and not lin(r)
    m = var_array(xs, (2, 2))
    r = nivra.Dot(m, m)  # [[x0 x1] [x2 x3]] squared
    assert quad(r[0, 1]) == {("x0", "x1"): 1.0, ("x1", "x3"): 1.0}
    assert quad(r[1, 1]) == {("x1", "x2"): 1.0, ("x3", "x3"): 1.0}


def test_quadratic_fast_path_with_linear_expressions(xs):
    x0, x1, x2 = xs[:3]
    a = obj_array([x0 + 1, 2 * x1, x2, 3.0])
    b = obj_array([x1, x2 - 2, 0.5 * x0 + 1, x0])
    r = nivra.Dot(a, b)
    expected = (x0 + 1) * x1 + (2 * x1) * (x2 - 2) + x2 * (0.5 * x0 + 1) + 3.0 * x0
    assert str(r) == str(expected)
    assert str(nivra.Dot(b, a)) == str(expected)
    # a product that is no longer quadratic goes through the general operations
    r = nivra.Dot(obj_array([x0 * x1, x0]), obj_array([x2 + 1, x1]))
    assert is_nonlinear(r) and str(r) == str(x0 * x1 * (x2 + 1) + x0 * x1)
    r = nivra.Dot(obj_array([x0 * x1, x0 + x1]), obj_array([2.0, x0 + x1]))
    assert str(r) == str(2 * x0 * x1 + (x0 + x1) * (x0 + x1))


def shaped_objects(shape, rng):
    values = rng.integers(-3, 4, size=shape).astype(float)
    objs = np.empty(shape, dtype=object)
    for idx in np.ndindex(*shape):
        objs[idx] = float(values[idx])
    return values, objs


@pytest.mark.parametrize("shapes", [((3,), (3,)), ((2, 3), (3,)), ((3,), (3, 4)), ((2, 3), (3, 4)),
                                    ((2, 2, 3), (4, 3, 5)), ((3,), (2, 3, 4)), ((2, 1, 3), (3,)),
                                    ((2, 0), (0, 3)), ((0, 3), (3,))])
def test_shape_rule_of_numpy_dot(shapes):
    rng = np.random.default_rng(7)
    (va, oa), (vb, ob) = shaped_objects(shapes[0], rng), shaped_objects(shapes[1], rng)
    expected = np.dot(va, vb)
    for a, b in ((va, ob), (oa, vb), (oa, ob)):
        r = nivra.Dot(a, b)
        if np.ndim(expected) == 0:
            assert type(r) is nivra.expression and const_of(r) == expected
        else:
            assert r.shape == expected.shape and np.array_equal(consts(r), expected)


def test_strided_and_foreign_layouts(xs):
    rng = np.random.default_rng(3)
    va, _ = shaped_objects((4, 6), rng)
    vb, ob = shaped_objects((3, 4), rng)
    views = [(va[:, ::2], ob[::-1, ::-1]), (np.asfortranarray(va)[1:, 1:4], ob.T[:3, :]),
             (va.astype(">f8")[:2, :3], ob[:, :2][::-1])]
    for a, b in views:
        b_values = np.vectorize(float)(b)
        assert np.array_equal(consts(nivra.Dot(a, b)), np.dot(a, b_values))


def test_scalars_and_numeric_products(xs):
    x0 = xs[0]
    r = nivra.Dot(np.array(2.0), np.array(3))
    assert r == 6.0 and type(r) is float
    r = nivra.Dot(np.array(2.0), np.array(x0, dtype=_nivra.npvar))
    assert str(r) == "2 * x0"
    with pytest.raises(nivra.InterfaceError, match="first one is a scalar"):
        nivra.Dot(np.array(2.0), var_array(xs))
    with pytest.raises(nivra.InterfaceError, match="second one is a scalar"):
        nivra.Dot(var_array(xs), np.array(2.0))
    r = nivra.Dot(np.array([1, 2]), np.array([3, 4]))
    assert r == 11 and type(r) is int
    r = nivra.Dot(np.eye(2), np.array([[1.0], [2.0]]))
    assert isinstance(r, np.ndarray) and r.dtype == float and r.tolist() == [[1.0], [2.0]]


def test_refused_operands(xs):
    x = var_array(xs[:3])
    with pytest.raises(nivra.InterfaceError, match=SIZES):
        nivra.Dot(np.ones(3), var_array(xs[:4]))
    with pytest.raises(nivra.InterfaceError, match=SIZES):
        nivra.Dot(var_array(xs, (2, 2)), np.ones((3, 2)))
    kinds = "Dot product must be between long, double, and expressions/variables"
    constraints = np.array([xs[0] <= 1] * 3, dtype=_nivra.npconstraint)
    for bad in (np.ones(3, dtype=bool), np.ones(3, dtype=np.uint8), np.ones(3, dtype=complex),
                np.ones(3, dtype=np.longdouble), constraints):
        with pytest.raises(nivra.InterfaceError, match=kinds):
            nivra.Dot(bad, x)
    for a, b in (([1.0, 2.0, 3.0], x), (x, list(xs[:3])), (x, 2.0), ("ab", x)):
        with pytest.raises(nivra.InterfaceError, match="Dot product can only occur between"):
            nivra.Dot(a, b)


def test_out_argument(xs):
    x = var_array(xs[:2])
    a = np.array([[1.0, 2.0], [3.0, 4.0]])
    held = xs[3]
    out = np.array([held, held], dtype=_nivra.npexpr)
    n = sys.getrefcount(held)
    r = nivra.Dot(a, x, out=out)
    assert r is out and [lin(t) for t in out] == [{"x0": 1.0, "x1": 2.0}, {"x0": 3.0, "x1": 4.0}]
    assert sys.getrefcount(held) == n - 2  # the elements are replaced, not added to
    nivra.Dot(a, x, out=out)
    assert [lin(t) for t in out] == [{"x0": 1.0, "x1": 2.0}, {"x0": 3.0, "x1": 4.0}]
    column = np.empty((2, 3), dtype=_nivra.npexpr)[:, 1]  # a strided output
    assert nivra.Dot(a, x, out=column) is column and lin(column[1]) == {"x0": 3.0, "x1": 4.0}
    scalar = np.empty((), dtype=_nivra.npexpr)
    assert nivra.Dot(np.ones(2), x, out=scalar) is scalar and str(scalar[()]) == "x0 + x1"
    with pytest.raises(nivra.InterfaceError, match="Output argument must be a NumPy array"):
        nivra.Dot(a, x, out=[None, None])
    with pytest.raises(nivra.InterfaceError, match="Output argument set with wrong type"):
        nivra.Dot(a, x, out=np.empty(2, dtype=object))
    with pytest.raises(nivra.InterfaceError, match="must have the shape of the result"):
        nivra.Dot(a, x, out=np.empty(3, dtype=_nivra.npexpr))
    e = x.astype(_nivra.npexpr)
    with pytest.raises(nivra.InterfaceError, match="must not share memory"):
        nivra.Dot(a, e, out=e)
    readonly = np.empty(2, dtype=_nivra.npexpr)
    readonly.flags.writeable = False
    with pytest.raises(ValueError):
        nivra.Dot(a, x, out=readonly)
    numeric_out = np.empty(2)
    assert nivra.Dot(a, np.ones(2), out=numeric_out) is numeric_out and numeric_out.tolist() == [3.0, 7.0]


def test_variables_of_different_problems(xs):
    x0, x1, x2 = xs[:3]
    set_owner(x2, 0x1000)
    try:
        with pytest.raises(nivra.ModelError, match="Linked variables and unlinked variables"):
            nivra.Dot(np.ones(3), var_array([x0, x1, x2]))
        # each result element is checked on its own: rows that do not mix problems are fine
        r = nivra.Dot(np.array([[1.0, 1.0, 0.0], [0.0, 0.0, 2.0]]), var_array([x0, x1, x2]))
        assert lin(r[0]) == {"x0": 1.0, "x1": 1.0}
        vs, cs = r[1].extractLinear()  # no str() here: x2's pretended problem does not exist
        assert len(vs) == 1 and vs[0] is x2 and cs == [2.0]
        with pytest.raises(nivra.ModelError, match="Linked variables and unlinked variables"):
            nivra.Dot(var_array([x0, x1]), var_array([x2, x0]))
        set_owner(x1, 0xDEAD)
        with pytest.raises(nivra.ModelError, match="Deleted variable in expression"):
            nivra.Dot(np.ones(1), var_array([x1]))
    finally:
        set_owner(x1, 0)
        set_owner(x2, 0)


def test_empty_slots_and_bad_objects(xs):
    x = np.empty(2, dtype=_nivra.npvar)
    with pytest.raises(TypeError):
        nivra.Dot(np.ones(2), x)
    with pytest.raises(nivra.ModelError, match="Invalid object in operation"):
        nivra.Dot(obj_array([xs[0], "a"]), obj_array([xs[1], xs[2]]))


def test_reference_counts(xs):
    x = var_array(xs[:3])
    before = [sys.getrefcount(v) for v in xs]
    a = np.arange(6.0).reshape(2, 3)
    results = [nivra.Dot(a, x), nivra.Dot(x, x), nivra.Dot(obj_array([xs[0] + 1, xs[1], 2.0]), x)]
    del results
    for bad in (lambda: nivra.Dot(np.ones(3), var_array(xs[:2])),
                lambda: nivra.Dot(obj_array([xs[0] * xs[1], xs[2], xs[0]]), obj_array([xs[2], xs[1], "a"]))):
        with pytest.raises((nivra.InterfaceError, nivra.ModelError)):
            bad()
    assert [sys.getrefcount(v) for v in xs] == before
