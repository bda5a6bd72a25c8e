"""Reference counts of constraints, SOS, evaluation and structural equality: failures release
what they took, the block owns exactly its body and name, cycles through a body are collected,
and repeated use does not grow."""

import gc
import sys
import warnings

import numpy as np

import nivra
from helpers.leaks import assert_no_leak
from helpers.model import new_vars
from nivra import _nivra


def counts(*objs):
    return [sys.getrefcount(o) for o in objs]


def test_the_block_owns_body_and_name():
    x, = new_vars("x")
    body, name, other = x + 1, "a name", "other"
    before = counts(body, name, other)
    c = nivra.constraint(body=body, lb=-2.5, ub=3.5, name=name)
    assert counts(body, name, other) == [before[0] + 1, before[1] + 1, before[2]]
    c.name = other
    assert counts(body, name, other) == [before[0] + 1, before[1], before[2] + 1]
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        c.body = None
    assert counts(body, name, other) == [before[0], before[1], before[2] + 1]
    del c
    assert counts(body, name, other) == before


def failed(fn):
    """Whether fn raised (the exception and its traceback are released at once)."""
    try:
        fn()
    except Exception:
        return True
    return False


def test_failures_release_their_arguments():
    x, y = new_vars("x", "y")
    body = x + y
    before = counts(x, y, body)
    for kwargs in (dict(body=body, lb=3, ub=2), dict(body=body, lb=0, name=3),
                   dict(body=body, rhs=1, type=9), dict(constraint=body),
                   dict(body=body, lb=np.array([1.0]))):
        assert failed(lambda kw=kwargs: nivra.constraint(**kw))
    del kwargs
    for fail in (lambda: x < 1, lambda: body != 2, lambda: x <= "a",
                 lambda: nivra.evaluate(body, solution={x: 1}),
                 lambda: nivra.evaluate([body, "s"], solution={x: 1, y: 1}),
                 lambda: nivra.is_equal(body, 10 ** 400)):
        assert failed(fail)
    assert counts(x, y, body) == before


def test_live_objects_return_to_baseline_and_cycles_are_collected():
    gc.collect()
    base = _nivra._live_counts()
    x, y = new_vars("x", "y")
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        objs = [x + y <= 1, nivra.sin(x) >= 0, nivra.constraint(body=x, lb=1, name="c"),
                nivra.sos([x, y], [1, 2]), (x <= 1).copy()]
        cyclic = nivra.constraint(body=x, lb=0)
        cyclic.body = [cyclic]
        s = nivra.sos([x], [1])
        s.name = "s"
        weights = [s]
        t = nivra.sos([x], weights)
    live = _nivra._live_counts()
    assert live["constraint"] == base["constraint"] + 5 and live["sos"] == base["sos"] + 3
    del objs, cyclic, s, t, weights, x, y
    gc.collect()
    assert _nivra._live_counts() == base


def test_only_constraints_that_can_be_in_a_cycle_are_tracked():
    x, y = new_vars("x", "y")
    assert not gc.is_tracked(x + y <= 1)
    assert not gc.is_tracked(nivra.constraint(body=x, lb=1, name="c"))
    assert gc.is_tracked(nivra.sin(x) >= 0)

    class Name(str):
        pass

    c = x + y <= 1
    name = Name("n")
    c.name = name
    assert gc.is_tracked(c)
    name.owner = c                 # a cycle through the name
    gc.collect()
    base = _nivra._live_counts()["constraint"]
    del c, name
    gc.collect()
    assert _nivra._live_counts()["constraint"] == base - 1


def use_constraints():
    x, y, z = new_vars("x", "y", "z")
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        cs = [x + 2 <= 5, x == y, nivra.sin(x) + y + 1 >= 2, 3 <= nivra.exp(z),
              nivra.constraint(body=x * y, type=4, rhs=5, rhsrange=2, name="r")]
        for c in cs:
            c.name = "n"
            c.lb = 0.5
            c.ub = 7.25
            c.rhs = 3
            c.rhsrange = 1.5
            c.type = 2
            c.__dict__
            c.getBody()
            c.copy()
            str(c)
            bool(c)
        c.body = x + z
        nivra.constraint(constraint=cs[0], name="k")
        s = nivra.sos([x, y], [1, 2], 2)
        s.copy()
        s.name = "t"
        str(s)
        s.__dict__
    nivra.evaluate(cs[0].getBody(), [x, {"a": (y, z)}], np.array([x, y], dtype=object),
                   solution={x: 1, y: 2, z: 3})
    nivra.is_equal({"a": [x + y, x * y]}, {"a": [y + x, y * x]})
    for fail in (lambda: x < 1, lambda: nivra.constraint(body=x, lb=2, ub=1)):
        try:
            fail()
        except nivra.ModelError:
            pass


def test_repeated_use_does_not_grow():
    assert_no_leak(use_constraints)
