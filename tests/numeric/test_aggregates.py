"""Sum, Prod, Dot, And and Or: the argument rule, every collection form, None skipping, the
empty results, the in-place Sum and the normalisation of results."""

import sys

import numpy as np
import pytest

import nivra
from helpers.leaks import assert_no_leak
from helpers.numeric import const_of, is_nonlinear, lin, new_vars, obj_array, quad, var_array
from nivra import _nivra

INCORRECT = "Incorrect objects used in Sum, Dot, Prod, or aggregate functions"


def test_empty_results():
    for r in (nivra.Sum(), nivra.Sum([]), nivra.Sum([None, None]), nivra.Sum(None)):
        assert type(r) is nivra.expression and str(r) == "0"
    assert nivra.Prod([]) == 0.0 and type(nivra.Prod()) is float
    assert nivra.Dot() == 0.0 and type(nivra.Dot([None])) is float
    assert nivra.And([]) is True and nivra.Or([]) is True and nivra.Or(None) is True


def test_sum_turns_numbers_into_expressions(xs):
    for r, text in ((nivra.Sum(3), "3"), (nivra.Sum([1, 2.5]), "3.5"), (nivra.Sum(True, 2), "3"),
                    (nivra.Sum(np.float32(1.5)), "1.5")):
        assert type(r) is nivra.expression and str(r) == text
    x = xs[0]
    r = nivra.Sum(x)
    assert type(r) is nivra.expression and str(r) == "x0"
    thing = object()
    assert nivra.Sum(thing) is thing


def test_every_collection_form_gives_the_same_sum(xs):
    x0, x1, x2, x3 = xs
    terms = [x0, 2 * x1, None, x1 * x2, x3 + 1, 2.5, x0]
    expected = str(nivra.Sum(terms))
    assert expected == "3.5 + 2 * x0 + 2 * x1 + x3 + x1 * x2"
    forms = [tuple(terms), (t for t in terms), iter(terms),
             {i: t for i, t in enumerate(terms)}, {i: t for i, t in enumerate(terms)}.values(),
             obj_array(terms), obj_array(terms + [None]).reshape(2, 4),
             np.asfortranarray(obj_array(terms + [None]).reshape(2, 4))]
    for form in forms:
        assert str(nivra.Sum(form)) == expected, type(form)
    assert str(nivra.Sum(*terms)) == expected
    assert str(nivra.Sum(set(xs))) == "x0 + x1 + x2 + x3"
    assert str(nivra.Sum(var_array(xs, (2, 2)))) == "x0 + x1 + x2 + x3"
    r = nivra.Sum([3, np.array([1.0, 2.0])])  # a number and a numeric array: an array of numbers
    assert r.dtype == float and r.tolist() == [4.0, 5.0]


def test_numeric_arrays(xs):
    assert str(nivra.Sum(np.array([1.5, 2.0]))) == "3.5"
    assert str(nivra.Sum(np.array([1, 2], dtype=np.int32))) == "3"
    assert str(nivra.Sum(np.array([True, True, False]))) == "2"
    assert str(nivra.Sum(np.array([1.5, 2.0], dtype=">f8"))) == "3.5"
    for bad in (np.array([1, 2], dtype=np.int64), np.array([1.0], dtype=np.float32),
                np.array([1], dtype=np.uint8), np.array(["a"])):
        with pytest.raises(nivra.ModelError, match=INCORRECT):
            nivra.Sum(bad)
    assert str(nivra.Sum(np.empty(2, dtype=_nivra.npvar))) == "0"  # elements read as None
    constraints = np.array([xs[0] <= 1], dtype=_nivra.npconstraint)
    with pytest.raises(nivra.ModelError, match=INCORRECT):
        nivra.Sum(constraints)


def test_sum_works_in_place_without_touching_operands(xs):
    x0, x1, x2, x3 = xs
    e = x0 + x1
    f = 2 * x2 + x3 * x3 + 1
    r = nivra.Sum([e, f, x0, 3 * x0, x1 * x2, 4, e])
    assert str(e) == "x0 + x1" and str(f) == "1 + 2 * x2 + x3 ** 2"
    assert r is not e
    assert lin(r) == {"x0": 6.0, "x1": 2.0, "x2": 2.0}
    assert quad(r) == {("x1", "x2"): 1.0, ("x3", "x3"): 1.0} and const_of(r) == 5.0
    # a long run of one kind, then the other kinds: the ranking must keep every kind right
    ops = [x0] * 50 + [2 * x1] * 30 + [x2 * x3] * 10 + [1.0] * 5 + [x0 + x3]
    r = nivra.Sum(ops)
    assert lin(r) == {"x0": 51.0, "x1": 60.0, "x3": 1.0} and quad(r) == {("x2", "x3"): 10.0}
    assert const_of(r) == 5.0
    assert str(nivra.Sum([x0, -1 * x0])) == "0"


def test_sum_of_arrays_is_element_wise(xs):
    a = var_array(xs[:2])
    r = nivra.Sum([a, a, 1])
    assert [str(t) for t in r] == ["1 + 2 * x0", "1 + 2 * x1"]
    assert [str(t) for t in a] == ["x0", "x1"]


def test_prod(xs):
    x0, x1 = xs[:2]
    assert nivra.Prod([2, 3]) == 6.0 and nivra.Prod(2.5) == 2.5
    assert str(nivra.Prod(x0, 2)) == "2 * x0"
    assert quad(nivra.Prod([x0, x1, 3])) == {("x0", "x1"): 3.0}
    assert str(nivra.Prod(x0)) == "x0" and nivra.Prod(x0) is not x0
    with pytest.raises(nivra.ModelError, match="Invalid object in Sum or Prod operators"):
        nivra.Prod(object())
    r = nivra.Prod(x0, x1, xs[2])
    assert is_nonlinear(r) and str(r) == "x0 * x1 * x2"


def test_and_or(xs):
    assert nivra.And(True, False) is False and nivra.And([True, True]) is True
    assert nivra.Or(False, True) is True and nivra.Or(6, 3) == 7 and nivra.And((6, 3)) == 2
    with pytest.raises(TypeError):
        nivra.And(1.0, 2.0)
    for f in (nivra.And, nivra.Or):
        with pytest.raises(nivra.ModelError, match="Invalid object in Sum or Prod operators"):
            f(object())
        r = f(xs[0], xs[1], xs[2], None)
        name = f.__name__.lower()
        assert is_nonlinear(r) and str(r) == f"{name}(x0, x1, x2)"
        assert str(f(var_array(xs[:2]))) == f"{name}(x0, x1)"


def test_dot_folds_left_to_right_and_writes_out_last(xs):
    a = np.array([[1.0, 2.0, 0.0], [0.0, 1.0, 1.0]])
    b = np.array([[1.0, 0.0, 0.0], [0.0, 2.0, 0.0], [0.0, 0.0, 3.0]])
    x = var_array(xs[:3])
    out = np.empty(2, dtype=_nivra.npexpr)
    r = nivra.Dot(a, b, x, out=out)
    assert r is out
    assert [lin(t) for t in out] == [{"x0": 1.0, "x1": 4.0}, {"x1": 2.0, "x2": 3.0}]
    assert [lin(t) for t in nivra.Dot([a, b, x])] == [lin(t) for t in out]
    assert nivra.Dot([a]) is a and nivra.Dot(None, a, None) is a
    for bad in ([xs[0], xs[1]], (3,), (x, [1.0, 2.0, 3.0])):
        with pytest.raises(nivra.InterfaceError,
                           match="Dot product can only occur between NumPy arrays and SciPy sparse matrices"):
            nivra.Dot(*bad)
    with pytest.raises(TypeError):
        nivra.Dot(a, x, output=out)


def test_dot_results_hold_model_objects_only(xs):
    r = nivra.Dot(np.array([[1.0, 2.0]]), obj_array([1.5, 2.0]))
    assert r.dtype == _nivra.npexpr and type(r[0]) is nivra.expression and str(r[0]) == "5.5"
    assert nivra.Dot(np.array([1.0, 2.0]), np.array([3.0, 4.0])) == 11.0


class BadLength:
    def __getitem__(self, i):
        return i

    def __len__(self):
        raise ValueError("no length")


class BadItems:
    def __len__(self):
        return 2

    def __getitem__(self, i):
        raise ValueError("no items")


def test_collections_that_cannot_be_read(xs):
    with pytest.raises(nivra.ModelError, match="Invalid sequence of objects"):
        nivra.Sum(BadLength())
    with pytest.raises(nivra.ModelError, match="Cannot iterate over sequence"):
        nivra.Prod(BadItems())

    def failing():
        yield xs[0]
        raise KeyError("from the generator")

    with pytest.raises(KeyError, match="from the generator"):
        nivra.Sum(failing())


def test_failures_release_everything(xs):
    x0, x1 = xs[:2]
    e = x0 + x1
    before = [sys.getrefcount(o) for o in (x0, x1, e)]
    for bad in ([x0, e, "a"], [e, x0, x1, object()], (t for t in [x0, "b"])):
        with pytest.raises(nivra.ModelError):
            nivra.Sum(bad)
    del bad  # a suspended generator holds its list
    with pytest.raises(nivra.ModelError):
        nivra.Prod([x0, e, "a"])
    assert [sys.getrefcount(o) for o in (x0, x1, e)] == before


def test_repeated_aggregates_do_not_grow():
    x = new_vars(*[f"y{i}" for i in range(20)])
    a = var_array(x)
    c = np.arange(20.0)

    def build():
        nivra.Sum(x), nivra.Sum(a), nivra.Sum(t for t in x), nivra.Sum({1: x[0], 2: 2 * x[1]})
        nivra.Prod([x[0], x[1]]), nivra.Dot(c, a), nivra.Dot(a, a)
        try:
            nivra.Sum([x[0], "bad"])
        except nivra.ModelError:
            pass

    assert_no_leak(build)
