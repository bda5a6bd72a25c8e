"""Reference counts of nonlinear nodes: failed constructions release what they took, repeated
building, printing and evaluation do not grow, deep trees are released, cycles are collected."""

import gc

import numpy as np
import pytest

import nivra
from helpers.leaks import assert_no_leak, counts
from helpers.model import algebra, new_vars
from nivra import _nivra
from helpers.nonlinear import MAX, PLUS, USER, node


def test_failures_release_their_operands():
    x, y = new_vars("x", "y")
    f = nivra.sin(x) + y
    t = nivra.sin(x) * nivra.cos(y)
    before = counts(x, y, f, t)
    failing = [lambda: f / 0, lambda: f + "a", lambda: nivra.sin([x]), lambda: f ** [1, 2],
               lambda: nivra.max(x, [y]), lambda: nivra.pwl({(0, 1): x, (1, 2): y}),
               lambda: nivra.pwl({(0, 2): x, (1, 3): 1}), lambda: node(USER, (x, y)),
               lambda: nivra.sin(np.array(["a"], dtype=object)), lambda: f < 1,
               lambda: nivra.evaluate(f, solution={x: 1}),
               lambda: nivra.evaluate(f / (t - t), solution={x: 1, y: 2}),
               lambda: nivra.pwl({None: 1})]
    for fail in failing:
        with pytest.raises(Exception):
            fail()
    g = t
    with pytest.raises(nivra.ModelError):
        g /= 0
    del g
    assert counts(x, y, f, t) == before


def test_live_nodes_return_to_baseline():
    gc.collect()
    base = _nivra._live_counts()
    x, y = new_vars("x", "y")
    objs = [nivra.sin(x) + y, x * y * x, nivra.pwl({(0, 1): x}), nivra.max(x, y) & x,
            algebra("general_copy", nivra.sin(x) * 3, -2.0)]
    assert _nivra._live_counts()["nonlinear"] > base["nonlinear"]
    del objs, x, y
    gc.collect()
    assert _nivra._live_counts() == base


def test_deep_trees_are_released_and_cycles_through_node_lists_collected():
    gc.collect()
    base = _nivra._live_counts()["nonlinear"]
    x, = new_vars("x")
    deep = x
    for _ in range(200000):
        deep = node(PLUS, [x, deep])
    del deep
    assert _nivra._live_counts()["nonlinear"] == base  # without the collector
    args = [x]
    n = node(MAX, args)               # max keeps the list given
    args.append(n)
    del n, args
    gc.collect()
    assert _nivra._live_counts()["nonlinear"] == base


def build_and_use():
    x, y, z = new_vars("x", "y", "z")
    f = nivra.sin(x) + nivra.cos(y) * z + 2 * x
    f += y
    f -= nivra.exp(z)
    t = nivra.sin(x) * y
    t *= 3
    t *= nivra.cos(z)
    t /= 2
    d = nivra.sin(x) / (nivra.cos(x) * y)
    d /= z
    p = nivra.sin(x) ** 2
    p **= 3
    a = x & y
    a &= z
    o = x | y | (z | x)
    m = nivra.max([x, y + 1, 2])
    w = nivra.pwl({(0, 1): x, (1, 1e20): 2 * x - 1, (-1e20, 0): 3})
    arr = nivra.log(np.array([1, x, y + 1], dtype=object))
    nivra.sqrt(np.arange(4.0))
    for obj in (f, t, d, p, a, o, m, w):
        str(obj)
        obj.extractLinear()
        obj.extractQuadratic()
        algebra("general_copy", obj, -1.5)
    nivra.evaluate(f, t, d, p, a, o, m, w, arr, solution={x: 0.5, y: 2.0, z: 1.0})
    nivra.is_equal([f, t, d], [f, t, d])
    (f + 1 <= 3).getBody()
    u = node(USER, (lambda *v: sum(v), x, y))
    nivra.evaluate(u, solution={x: 1, y: 2})
    try:
        f / 0
    except nivra.ModelError:
        pass


def test_repeated_use_does_not_grow():
    assert_no_leak(build_and_use)
