"""Reference counts and memory: the maps own exactly one reference per key, failed operations
release what they took, and repeated model building does not grow."""

import numpy as np
import pytest

import nivra
from helpers.leaks import assert_no_leak, counts
from helpers.model import algebra, assert_nonlinear, new_vars
from nivra import _nivra


def test_adding_and_cancelling_releases_the_keys():
    x, y = new_vars("x", "y")
    e = nivra.expression()
    before = counts(x, y)
    e += 2.5 * x
    assert counts(x, y) == [before[0] + 1, before[1]]
    e -= 2.5 * x
    assert counts(x, y) == before and e.extractLinear() == ([], [])
    e += 3 * x * y
    e += y * y
    assert counts(x, y) == [before[0] + 1, before[1] + 3]
    e -= 3 * y * x
    e -= y ** 2
    assert counts(x, y) == before
    algebra("expression_setLinTerm", e, x, 1.0)
    algebra("expression_setLinTerm", e, x, 0.0)
    assert counts(x, y) == before
    del e
    assert counts(x, y) == before


def test_objects_hold_one_reference_per_variable():
    x, y = new_vars("x", "y")
    before = counts(x, y)
    held = [2 * x, x * y, x * x, x + y + x * y, (x + 1) * (y + 1), -(x + y), (x + y) / 2]
    assert counts(x, y)[0] > before[0]
    del held
    assert counts(x, y) == before


def test_failed_operations_release_everything():
    x, y, z = new_vars("x", "y", "z")
    e = x + y
    before = counts(x, y, z, e)
    failing = [lambda: x + "a", lambda: e * "a", lambda: (x + 1) / 0,
               lambda: x / 0, lambda: (x * y) / 0, lambda: e ** np.array([1, 2]),
               lambda: e + 10 ** 400]
    for f in failing:
        with pytest.raises((nivra.ModelError, OverflowError)):
            f()
    assert counts(x, y, z, e) == before
    f = e
    f *= x * y
    assert_nonlinear(f)
    del f
    assert counts(x, y, z, e) == before


def test_live_objects_return_to_baseline():
    base = _nivra._live_counts()
    x, y = new_vars("x", "y")
    objs = [2 * x, x * y, x + y, (x + y) ** 2, x + y + x * y]
    live = _nivra._live_counts()
    assert live["var"] == base["var"] + 2
    assert live["linterm"] >= base["linterm"] + 1 and live["quadterm"] >= base["quadterm"] + 1
    del objs, x, y
    assert _nivra._live_counts() == base


def build_model():
    x, y, z = new_vars("x", "y", "z")
    e = nivra.expression()
    for v in (x, y, z):
        e += 2 * v
        e += v * x
    f = (e - 1) * 0.5 + (x + 1) * (y - 2)
    f *= 3
    f /= 2
    g = algebra("general_iadd", None, f)
    g = algebra("general_iadd", g, x * z)
    str(f), repr(g), f.extractLinear(), g.extractQuadratic()
    e -= e
    for bad in (lambda: f * f, lambda: x + "a", lambda: f / x):
        try:
            bad()
        except nivra.ModelError:
            pass
    x + np.array([1.0, 2.0])


def test_repeated_building_does_not_grow():
    assert_no_leak(build_model)
