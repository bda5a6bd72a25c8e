"""Constraints as rows: the conversion of bodies, the row form, batches, names, modes, and the
rollback of failed calls."""

import gc
import sys
import warnings

import numpy as np
import pytest

import nivra
from nivra import _nivra

from helpers.transfer import nrows, quiet


@pytest.fixture
def pxy():
    p = quiet()
    x = p.addVariable(name="x")
    y = p.addVariable(name="y")
    return p, x, y


def test_conversion_of_bodies(pxy):
    p, x, y = pxy
    p.addVariables(2)
    z = p.addVariable()  # column 4
    assert p._convert(3 + 2 * z) == (3.0, [4], [2.0], [], [], [])
    assert p._convert(-(x + y) - 1) == (-1.0, [0, 1], [-1.0, -1.0], [], [], [])
    assert p._convert(x * y + 2 * x**2) == (0.0, [], [], [0, 0], [0, 1], [2.0, 0.5])
    assert p._convert(x * y + 2 * x**2, objective=True) == (0.0, [], [], [0, 0], [0, 1], [4.0, 1.0])
    assert p._convert(5) == (5.0, [], [], [], [], [])
    assert p._convert(0 * x) == (0.0, [], [], [], [], [])
    # linear entries come sorted by column whatever the order of the terms
    assert p._convert(z + 3 * x + 2 * y)[1:3] == ([0, 1, 4], [3.0, 2.0, 1.0])


def test_conversion_refusals(pxy):
    p, x, _ = pxy
    q = quiet()
    other = q.addVariable()
    with pytest.raises(nivra.ModelError,
                       match="Variable in linear part of constraint is from a different problem"):
        p._convert(other + 1)
    with pytest.raises(nivra.ModelError,
                       match="Variable in linear term defining constraint is from a different problem"):
        p._convert(2 * other)
    with pytest.raises(nivra.ModelError, match="Invalid expression"):
        p._convert("x")
    for nonlinear in (nivra.exp(x), nivra.exp(x) - (x + 1)):
        with pytest.raises(nivra.ModelError,
                           match="need the nonlinear solver, which is not available"):
            p._convert(nonlinear)


def test_rows_in_walk_order(pxy):
    p, x, y = pxy
    c = [x <= 5, y >= 1, x + y == 3]
    p.addConstraint(c[0], [c[1], (c[2],)])
    assert [k.index for k in c] == [0, 1, 2] and nrows(p) == 3
    assert [(k.type, k.rhs) for k in c] == [(1, 5.0), (2, 1.0), (3, 3.0)]
    assert nivra.is_equal(c[2].getBody(), x + y)
    p.addConstraint(k for k in [2 * x + y <= 4])
    z = p.addVariables(2)
    rows = z >= np.array([0.5, 0.25])
    p.addConstraint(rows)
    assert nrows(p) == 6 and [c.index for c in rows] == [4, 5] and rows[1].rhs == 0.25


def test_row_forms(pxy):
    p, x, y = pxy
    ranged = nivra.constraint(body=x + 2, lb=1, ub=4)
    free = nivra.constraint(body=x + y, lb=-nivra.infinity, ub=nivra.infinity)
    eq = 2 * x - 3 == y + 1
    p.addConstraint(ranged, free, eq)
    assert (ranged.type, ranged.rhs, ranged.rhsrange) == (nivra.rng, 2.0, 3.0)
    assert (ranged.lb, ranged.ub) == (-1.0, 2.0)
    assert free.type == nivra.nonbinding
    assert (eq.type, eq.rhs) == (nivra.eq, 4.0)
    assert nivra.is_equal(eq.getBody(), 2 * x - y)


def test_quadratic_rows_keep_their_products(pxy):
    p, x, y = pxy
    q = x * y + 2 * x**2 + y <= 3
    lin = x + y >= 1
    p.addConstraint(q, lin)
    assert nivra.is_equal(q.getBody(), x * y + 2 * x**2 + y)
    assert nivra.is_equal(lin.getBody(), x + y)
    assert p.attributes.qconstraints == 1


def test_names_stay_on_their_rows(pxy):
    p, x, y = pxy
    named = [nivra.constraint(body=x, lb=0, ub=k, name=f"c{k}") for k in range(3)]
    plain = [x + y <= k for k in range(3)]
    p.addConstraint(named[0], plain[0], plain[1], named[1], named[2], plain[2])
    assert [str(c) for c in named] == ["c0", "c1", "c2"]
    assert [c.index for c in named] == [0, 3, 4]
    assert [str(c) for c in plain] == ["R1", "R2", "R5"]
    assert [c.ub for c in named] == [0.0, 1.0, 2.0]
    with pytest.raises(nivra.ModelError, match="must not contain a zero character"):
        p.addConstraint(x >= 0, nivra.constraint(body=y, lb=0, name="a\0b"))
    assert p.attributes.originalrows == 6


def test_already_added(pxy):
    p, x, y = pxy
    c = x <= 5
    d = x + y >= 1
    with pytest.raises(nivra.ModelError, match="Constraint already added to this problem"):
        p.addConstraint(c, d, c)
    assert nrows(p) == 0 and c.index is None
    p.addConstraint(c)
    with pytest.raises(nivra.ModelError, match="Constraint already added to this problem"):
        p.addConstraint(c)
    with pytest.raises(nivra.ModelError, match="Constraint already added to another problem"):
        quiet().addConstraint(c)


def test_refusals(pxy):
    p, x, y = pxy
    with pytest.raises(nivra.ModelError, match="Invalid constraint"):
        p.addConstraint(x <= 1, 5)
    bodiless = x <= 1
    bodiless.body = None
    with pytest.raises(nivra.ModelError, match="has no body"):
        p.addConstraint(bodiless)
    with pytest.raises(nivra.ModelError, match="Constraint is not initialized"):
        p.addConstraint(nivra.constraint.__new__(nivra.constraint))
    q = quiet()
    with pytest.raises(nivra.ModelError, match="from a different problem"):
        p.addConstraint(q.addVariable() <= 1)
    assert nrows(p) == 0 and len([x, y]) == 2


def test_failures_leave_the_rows_as_they_were(pxy):
    p, x, y = pxy
    first = x + y <= 4
    p.addConstraint(first)
    q = quiet()
    other = q.addVariable()
    middle = [x <= 1, y <= 2, other >= 0, x - y == 0]
    with pytest.raises(nivra.ModelError):
        p.addConstraint(middle)
    assert nrows(p) == 1 and all(c.index is None for c in middle)

    # Names switching on and off flush the batch: the failure comes after rows were sent.
    def rows():
        yield nivra.constraint(body=x, lb=0, name="sent")
        yield y >= 0
        raise KeyError("generator failed")

    with pytest.raises(KeyError, match="generator failed"):
        p.addConstraint(rows())
    assert nrows(p) == 1 and first.index == 0
    p.addConstraint(x >= 0)
    assert nrows(p) == 2


def test_reference_counts_of_failed_and_added_constraints():
    p = quiet()
    x = p.addVariable()
    bad = x + 1 <= 0
    refs = sys.getrefcount(bad), sys.getrefcount(x)
    with pytest.raises(nivra.ModelError):
        p.addConstraint(bad, "no constraint")
    assert (sys.getrefcount(bad), sys.getrefcount(x)) == refs
    gc.collect()
    base = _nivra._live_counts()
    p.addConstraint(bad)
    assert str(bad) == "R0"
    del p
    gc.collect()
    assert str(bad) == "(deleted constraint)" and bad.index == -1
    with pytest.raises(nivra.ModelError, match="deleted"):
        bad.lb
    live = _nivra._live_counts()
    assert live["constraint"] == base["constraint"]
    assert live["expression"] <= base["expression"]  # the body went with the link


def test_unlinked_constraints_stay_unlinked():
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nivra.DeprecationWarning)
        u = nivra.var(name="u")
        w = nivra.var(name="w")
        p = quiet()
        p.addVariable(u, w)
    c = u + w <= 2
    named = nivra.constraint(body=u - w, lb=0, name="diff")
    p.addConstraint(c, named)
    assert c.index is None and str(named) == "diff" and nrows(p) == 2
    with pytest.raises(nivra.ModelError, match="Constraint already added to problem"):
        p.addConstraint(c)
    p.setObjective(u + 2 * w, sense=nivra.maximize)
    p.optimize()
    assert p.getSolution(u, w) == pytest.approx((1.0, 1.0))
    assert p.getDuals(c) == pytest.approx(1.5) and p.getSlacks("diff") == [pytest.approx(0.0)]
    linked = quiet()
    linked.addVariable()
    with pytest.raises(nivra.ModelError, match="contains unlinked variables"):
        linked.addConstraint(u <= 1)
    x = linked.addVariable()
    with pytest.raises(nivra.ModelError, match="linked to another problem"):
        p.addConstraint(x <= 1)
