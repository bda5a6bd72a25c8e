"""The nested-object walker behind the problem methods: which objects it enters, the order of
the leaves, the depth limit and its messages, and the indicator pairs of its variant."""

import numpy as np
import pytest

import nivra
from helpers.numeric import var_array
from nivra import _nivra

walk = _nivra._walk
TOO_DEEP = "Maximum recursion \\(inclusion\\) level reached"


def in_array(leaf):
    a = np.empty(1, dtype=object)
    a[0] = leaf
    return a


def nested(leaf, levels, kind=list):
    for _ in range(levels):
        leaf = kind([leaf])
    return leaf


def test_leaves_in_walk_order(xs):
    x0, x1, x2, x3 = xs
    gen = (v for v in (x2, x3))
    obj = [x0, (x1, "ab", b"cd"), {"k": [x2], "j": 4}, gen, {x3}, np.array([1.5, 2.0]),
           np.array([[True, False]]), np.array([7], dtype=np.int32), range(2)]
    leaves = walk(obj)
    assert leaves[:7] == [x0, x1, "ab", b"cd", x2, 4, x2]
    assert leaves[7:] == [x3, x3, 1.5, 2.0, 1.0, 0.0, 7.0, 0, 1]
    assert all(type(v) is float for v in leaves[9:14])
    assert walk(x0) == [x0] and walk("text") == ["text"] and walk([]) == []


def test_arrays_of_model_elements_are_read_without_descending(xs):
    a = var_array(xs, (2, 2))
    assert walk(a) == xs
    assert walk(np.asfortranarray(a)) == [xs[0], xs[2], xs[1], xs[3]]  # memory order
    c = [xs[0] <= 1, xs[1] >= 2]
    assert walk(np.array(c, dtype=_nivra.npconstraint)) == c
    # object elements are walked further
    assert walk(in_array([xs[0], in_array((xs[1], xs[2]))])) == xs[:3]
    for bad in (np.array([1, 2], dtype=np.int64), np.array([1.0], dtype=np.float32)):
        with pytest.raises(nivra.ModelError,
                           match="Incorrect objects used in Sum, Dot, Prod, or aggregate functions"):
            walk(bad)


@pytest.mark.parametrize("kind", [list, tuple, lambda items: in_array(items[0])])
def test_depth_limit(xs, kind):
    assert walk(nested(xs[0], 32, kind)) == [xs[0]]
    with pytest.raises(nivra.ModelError, match=TOO_DEEP):
        walk(nested(xs[0], 33, kind))


def test_every_collection_counts_one_level(xs):
    def mixed():  # 32 levels: 15 lists, 15 tuples, a dictionary and an iterator
        return nested(nested({"a": iter([xs[1]])}, 15, tuple), 15)

    assert walk(mixed()) == [xs[1]]
    with pytest.raises(nivra.ModelError, match=TOO_DEEP):
        walk([mixed()])
    with pytest.raises(nivra.ModelError, match=TOO_DEEP):
        walk(in_array(mixed()))


def test_self_containing_list_stops_at_the_limit():
    loop = []
    loop.append(loop)
    with pytest.raises(nivra.ModelError, match=TOO_DEEP):
        walk(loop)


class Unreadable:
    def __len__(self):
        return 1

    def __getitem__(self, i):
        raise ValueError("unreadable")


def test_failures_of_nested_objects(xs):
    with pytest.raises(nivra.ModelError, match="Cannot iterate over sequence"):
        walk([xs[0], Unreadable()])

    def failing():
        yield xs[0]
        raise KeyError("from the iterator")

    with pytest.raises(KeyError, match="from the iterator"):
        walk([failing()])


def test_indicator_pairs_are_leaves(xs):
    c1, c2, c3 = xs[0] <= 1, xs[1] >= 1, xs[0] + xs[1] == 1
    x = xs[0]
    obj = [(x, c1), [(c2, c3)], (c1, x), (x, c1, c2), in_array((c1, c2)), in_array(None)]
    assert walk(obj, indicators=True) == [(x, c1), (c2, c3), c1, x, x, c1, c2, (c1, c2), None]
    assert walk([(x, c1)]) == [x, c1]
    assert walk(nested((x, c1), 32, list), indicators=True) == [(x, c1)]
    with pytest.raises(nivra.ModelError, match=TOO_DEEP):
        walk(nested((x, c1), 33, list), indicators=True)
