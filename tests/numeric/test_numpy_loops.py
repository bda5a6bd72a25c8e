"""The NumPy element types npvar, npexpr and npconstraint: element functions, truth values,
casts with their reference counts, and the element loops of NumPy's arithmetic, logical and
comparison functions."""

import operator
import sys

import numpy as np
import pytest

import nivra
from helpers.leaks import assert_no_leak
from helpers.model import DELETED_OWNER
from helpers.numeric import new_vars, set_owner, var_array
from nivra import _nivra


def texts(a):
    return [str(t) for t in a]


def refcounts(objs):
    return [sys.getrefcount(o) for o in objs]


def test_element_types():
    for dtype, scalar, char in ((_nivra.npvar, nivra.var, "v"), (_nivra.npexpr, nivra.expression, "e"),
                                (_nivra.npconstraint, nivra.constraint, "c")):
        assert dtype.type is scalar and dtype.char == char and dtype.itemsize == 8
        a = np.empty(3, dtype=dtype)
        assert a[0] is None  # an element without object reads as None
        a[1] = "anything"  # elements are not type-checked
        assert a[1] == "anything"


def test_truth_values(xs):
    cancelled = (xs[0] + 1) - xs[0] - 1  # an expression whose maps are empty
    assert type(cancelled) is nivra.expression and str(cancelled) == "0"
    e = np.array([nivra.expression(), cancelled, xs[0] + 1, nivra.Sum(3), xs[1]], dtype=_nivra.npexpr)
    assert e.nonzero()[0].tolist() == [2, 3, 4]
    assert np.count_nonzero(var_array(xs)) == 4
    c = np.array([xs[0] <= 1, xs[1] >= 2], dtype=_nivra.npconstraint)
    assert np.count_nonzero(c) == 2


def test_casts_share_objects_and_count_references(xs):
    before = refcounts(xs)
    v = var_array(xs)
    assert refcounts(xs) == [n + 1 for n in before]
    o = v.astype(object)
    e = o.astype(_nivra.npexpr)
    back = e.astype(_nivra.npvar)
    assert o.dtype == object and all(a is b for a, b in zip(o, xs))
    assert all(a is b for a, b in zip(back, xs)) and all(a is b for a, b in zip(e, xs))
    assert refcounts(xs) == [n + 4 for n in before]
    v[0] = xs[1]
    assert refcounts(xs)[:2] == [before[0] + 3, before[1] + 5]
    del v, o, e, back
    assert refcounts(xs) == before


ARITHMETIC = [operator.add, operator.sub, operator.mul, operator.truediv, operator.pow]


@pytest.mark.parametrize("op", ARITHMETIC, ids=lambda f: f.__name__)
def test_arithmetic_element_by_element(xs, op):
    x = var_array(xs[:3])
    e = np.array([xs[0] + 1, 2 * xs[1], xs[2] - xs[0]], dtype=_nivra.npexpr)
    numbers = np.array([2.0, 1.0, 4.0])
    for a, b in ((x, numbers), (numbers, x), (e, numbers), (numbers, e), (x, 2), (2.5, e)):
        expected = []
        for i in range(3):
            ai = a[i] if isinstance(a, np.ndarray) else a
            bi = b[i] if isinstance(b, np.ndarray) else b
            try:
                expected.append(str(op(ai, float(bi) if not hasattr(bi, "extractLinear") else bi)))
            except nivra.ModelError:
                expected = None
                break
        if expected is None:
            with pytest.raises(nivra.ModelError):
                op(a, b)
            continue
        r = op(a, b)
        assert r.dtype == _nivra.npexpr and texts(r) == expected


def test_examples(xs):
    x = var_array(xs[:3])
    assert texts(3 - x) == ["3 - x0", "3 - x1", "3 - x2"]
    assert texts(np.subtract(x, 3)) == ["-3 + x0", "-3 + x1", "-3 + x2"]
    assert texts(x + x[::-1]) == ["x0 + x2", "2 * x1", "x0 + x2"]
    assert texts(x * x) == texts(np.square(x)) == texts(x ** 2) == ["x0 ** 2", "x1 ** 2", "x2 ** 2"]
    assert texts(-x) == ["-x0", "-x1", "-x2"]
    assert texts(np.negative(x + 1)) == ["-1 - x0", "-1 - x1", "-1 - x2"]
    assert texts(x * np.arange(3)) == ["0.0", "x1", "2 * x2"]  # integer arrays arrive as doubles
    assert texts(x / np.float16(2)) == ["0.5 * x0", "0.5 * x1", "0.5 * x2"]
    m = var_array(xs, (2, 2))
    assert texts((m + np.array([10, 20])).ravel()) == ["10 + x0", "20 + x1", "10 + x2", "20 + x3"]
    assert texts((x + xs[3])) == ["x0 + x3", "x1 + x3", "x2 + x3"]


def test_logical_operators(xs):
    x = var_array(xs[:2])
    assert texts(x & x[::-1]) == ["and(x0, x1)", "and(x1, x0)"]
    assert texts(x | np.array([1.0, 0.0])) == ["or(x0, 1.0)", "or(x1, 0.0)"]
    assert texts(np.bitwise_or(1.0, x)) == ["or(x0, 1.0)", "or(x1, 1.0)"]
    assert texts(x / x[::-1]) == ["x0 / x1", "x1 / x0"]


class Recorder:
    """An element that records the number operands it is multiplied by."""

    def __init__(self, seen):
        self.seen = seen

    def __mul__(self, other):
        self.seen.append(other)
        return 1.0

    __rmul__ = __mul__


def test_runs_of_equal_numbers_share_one_float():
    seen = []
    r = np.array([Recorder(seen) for _ in range(5)], dtype=_nivra.npexpr)
    r * np.array([2.0, 2.0, 3.0, 3.0, 2.0])
    assert [type(f) for f in seen] == [float] * 5 and seen == [2.0, 2.0, 3.0, 3.0, 2.0]
    assert seen[0] is seen[1] and seen[2] is seen[3]
    assert seen[1] is not seen[2] and seen[3] is not seen[4]
    seen.clear()
    np.array([0.0, -0.0]) * r[:2]  # same value, different number: two floats
    assert seen[0] is not seen[1]
    seen.clear()
    r * 7  # a scalar: one float for the whole array
    assert all(f is seen[0] for f in seen)


def test_failures_raise_and_release(xs):
    x = var_array(xs[:3])
    before = refcounts(xs)
    with pytest.raises(nivra.ModelError, match="Division of variable by zero"):
        x / np.array([1.0, 0.0, 2.0])
    with pytest.raises(nivra.ModelError,
                       match="Variables from different problems|Linked variables"):
        y = var_array(new_vars("y0", "y1", "y2"))
        set_owner(y[1], 0x1000)
        try:
            x + y
        finally:
            set_owner(y[1], 0)
    with pytest.raises(TypeError):
        np.empty(2, dtype=_nivra.npvar) + 1.0  # elements without objects are None
    out = np.array([xs[3]] * 3, dtype=_nivra.npexpr)
    with pytest.raises(nivra.ModelError):
        np.multiply(x, np.array([1.0, 2.0, 0.0]), out=out) / 0.0
    assert texts(out) == ["x0", "2 * x1", "0.0"]
    del out
    assert refcounts(xs) == before


def test_in_place_and_out_arguments(xs):
    x = var_array(xs[:2])
    out = np.array([xs[3], xs[3]], dtype=_nivra.npexpr)
    n = refcounts(xs[3:])[0]
    r = np.add(x, 1.0, out=out)
    assert r is out and texts(out) == ["1 + x0", "1 + x1"]
    assert refcounts(xs[3:])[0] == n - 2  # the replaced elements were released
    e = np.array([xs[0] + 1], dtype=_nivra.npexpr)
    e *= 2
    assert texts(e) == ["2 + 2 * x0"]


def bounds(constraints):
    return [(str(c.getBody()), c.lb, c.ub) for c in constraints]


def test_comparisons_build_constraint_arrays(xs):
    x = var_array(xs[:3])
    e = x + 1
    for r in (x >= 2, np.greater_equal(2, x), x <= x[::-1], e == np.arange(3.0), 2 >= e):
        assert r.dtype == object and r.shape == (3,)
        assert all(type(c) is nivra.constraint for c in r)
    assert bounds(x >= 2) == [("x0", 2.0, 1e20), ("x1", 2.0, 1e20), ("x2", 2.0, 1e20)]
    assert bounds(2 >= x) == bounds(x <= 2)  # Python reflects the operator
    # called with the number first, the general comparison keeps it there: 2 - x <= 0
    assert bounds(np.less_equal(2.0, x)) == [(f"-x{i}", -1e20, -2.0) for i in range(3)]
    assert bounds(np.equal(x, x[::-1]))[0] == ("x0 - x2", 0.0, 0.0)
    assert bounds(e <= np.array([1.0, 2.0, 3.0]))[2] == ("x2", -1e20, 2.0)
    with pytest.raises(nivra.ModelError, match="Deleted variable"):
        set_owner(xs[1], 0xDEAD)
        try:
            x >= 0
        finally:
            set_owner(xs[1], 0)


def test_comparisons_with_the_constraint_operators_off(xs):
    x = var_array(xs[:2])
    nivra._setConstraintOperatorsEnabled(False)
    try:
        assert (x == x).tolist() == [True, True] and (x == x[::-1]).tolist() == [False, False]
        with pytest.raises(TypeError):
            x <= 1
    finally:
        nivra._setConstraintOperatorsEnabled(True)


def test_loops_do_not_grow(xs):
    x = var_array(xs)
    e = x + 1
    c = np.arange(4.0)

    def build():
        x + c, c - x, x * x, e * 2, -e, np.square(e), x / 2, e + e, x.astype(object).astype(_nivra.npvar)
        x >= c, c <= e, x == x, x & e, x / x
        try:
            x / 0.0
        except nivra.ModelError:
            pass

    assert_no_leak(build)


def outcome(op, a, b):
    """What op(a, b) gives (its element, for arrays of one): its type, text, linear and quadratic
    parts, or the error it raises (as text, so that NaN coefficients compare)."""
    try:
        r = op(a, b)
        r = r[0] if isinstance(r, np.ndarray) else r
        parts = (r.extractLinear(), r.extractQuadratic()) if hasattr(r, "extractLinear") else ()
    except nivra.ModelError as exc:
        return ["ModelError", str(exc)]
    return [type(r).__name__, str(r), *map(repr, parts)]


def test_element_sums_and_scalings_are_what_the_operators_build():
    """The element loops decide sums of linear operands and a number times an expression without
    the operator tables; each element is what the scalar operator makes, also once grown in place
    past the inline room, and every other form (quadratic, long, pending, constant, one variable
    twice, other owners, deleted variables) gets the operator's result or error."""
    vs = new_vars(*[f"v{i:02d}" for i in range(24)])
    x, y, z = vs[:3]
    pending = nivra.Sum(vs[12:])
    pending += 2 * x  # appended to a long map, not merged yet
    cancelled = (x + 1) - x  # a constant expression whose map is empty
    operands = [x, 2 * y, x - y, 3 * y + x, nivra.Sum(vs[3:9]) + 5, nivra.Sum(vs[3:10]),
                x * y + z, cancelled, pending, 4.0]
    before = refcounts(vs)
    live = _nivra._live_counts()
    for a, b in ((a, b) for a in operands for b in operands):
        ea, eb = (np.array([o], dtype=_nivra.npexpr) for o in (a, b))
        for op in (operator.add, operator.sub, operator.mul):
            got = outcome(op, ea, eb)
            if op is not operator.sub and type(a) is nivra.var and type(b) is nivra.expression:
                # the operator puts the expression first; the element loop keeps the order
                assert got[2:] == outcome(op, b, a)[2:]
                continue
            assert got == outcome(op, a, b), (a, b, op)
            if got[0] == "expression":  # grown in place past the inline room
                r, s = op(ea, eb)[0], op(a, b)
                for v in vs[9:12] + vs[:12]:
                    r += v
                    s += v
                    assert str(r) == str(s)
    for c in (2.5, -0.0, 1e-320, float("nan"), float("inf"), 3):
        for e in operands[2:]:
            ee = np.array([e], dtype=_nivra.npexpr)
            with np.errstate(invalid="ignore"):  # inf times a zero constant
                mul = operator.mul
                assert outcome(mul, c, ee) == outcome(mul, c, e)
                assert outcome(mul, ee, c) == outcome(mul, e, c)
    del got, ea, eb, ee, r, s, v, a, b, e
    assert refcounts(vs) == before and _nivra._live_counts() == live

    p, q = nivra.problem(), nivra.problem()
    px, py = p.addVariables(2, name="")
    qz = q.addVariable()
    linked = [px, 2 * py, px - py, qz, 2 * qz, qz + 1, x, x - y]
    set_owner(py, DELETED_OWNER)
    try:
        for a, b in ((a, b) for a in linked for b in linked):
            ea, eb = (np.array([o], dtype=_nivra.npexpr) for o in (a, b))
            for op in (operator.add, operator.sub):
                if not (type(a) is nivra.var and type(b) is nivra.expression):
                    assert outcome(op, ea, eb) == outcome(op, a, b), (a, b)
    finally:
        set_owner(py, id(p))


def constraint_outcome(op, a, b):
    """What the comparison op(a, b) gives (its element, for arrays of one): body text and parts
    and bounds, or the error it raises."""
    try:
        c = op(a, b)
        c = c[0] if isinstance(c, np.ndarray) else c
        body = c.getBody()
        parts = (body.extractLinear(), body.extractQuadratic()) if hasattr(body, "extractLinear") \
            else ()
    except nivra.ModelError as exc:
        return ["ModelError", str(exc)]
    return [type(body).__name__, str(body), *map(repr, parts), c.lb, c.ub]


def test_comparisons_build_the_body_of_the_difference():
    """A comparison of two operands builds the body that the comparison of their difference
    with zero builds (short linear operands take a quicker sum than the general one), or raises
    its error: for mixed forms, constants, other problems and deleted variables, with exact
    reference counts."""
    vs = new_vars(*[f"v{i:02d}" for i in range(12)])
    x, y, z = vs[:3]
    p, q = nivra.problem(), nivra.problem()
    px, py = p.addVariables(2, name="")
    qz = q.addVariable()
    operands = [x, 2 * y, x - y + 1.5, 3 * y + x, nivra.Sum(vs[3:9]) + 5, nivra.Sum(vs[3:10]),
                x * y + z, (x + 1) - x, px, 2 * py, px - py, qz, qz + 1]
    tracked = vs + [px, py, qz]
    before = refcounts(tracked)
    live = _nivra._live_counts()
    set_owner(py, DELETED_OWNER)
    try:
        for a, b in ((a, b) for a in operands for b in operands):
            ea, eb = (np.array([o], dtype=_nivra.npexpr) for o in (a, b))
            for op in (operator.le, operator.ge, operator.eq):
                try:
                    d = a - b
                except nivra.ModelError as exc:
                    expected = ["ModelError", str(exc)]
                else:
                    if isinstance(d, float):  # one variable on both sides
                        continue
                    expected = constraint_outcome(op, d, 0.0)
                assert constraint_outcome(op, a, b) == expected, (a, b, op)
                assert constraint_outcome(op, ea, eb) == expected, (a, b, op)
    finally:
        set_owner(py, id(p))
    del a, b, d, ea, eb
    assert refcounts(tracked) == before and _nivra._live_counts() == live
