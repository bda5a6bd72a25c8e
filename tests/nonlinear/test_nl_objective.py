"""Nonlinear objectives: the transfer row and column that hold them, their replacement and
removal, the read-back, the refusals, and failed calls that leave the model as it was."""

import sys

import pytest
from helpers.leaks import assert_no_leak
from helpers.transfer import ncols, nrows, quiet

import nivra

ROW, COL = "objtransferrow", "objtransfercol"


def names(p):
    return [v.name for v in p.getVariable()], [c.name for c in p.getConstraint()]


def model(p):
    """What a failed call must not change: sizes, names, the objective and every row body."""
    return (nrows(p), ncols(p), names(p), str(p.getObjective()),
            [str(c.getBody()) for c in p.getConstraint()])


def test_transfer_row_and_column_come_and_go(pxy):
    p, x, y = pxy
    p.addConstraint(x + y <= 3)
    p.setObjective(x + 2 * y + 3)
    assert (nrows(p), ncols(p)) == (1, 2)
    f = nivra.sin(x) + y
    p.setObjective(f)
    assert (nrows(p), ncols(p)) == (2, 3)
    assert names(p) == (["x", "y", COL], ["R0", ROW])
    t, row = p.getVariable()[2], p.getConstraint()[1]
    coefs = []
    p.getobj(coefs, 0, 2)
    assert coefs == [0, 1, 1] and (t.lb, t.ub) == (-1e20, 1e20)
    assert (row.type, row.rhs) == (nivra.eq, 0)
    assert nivra.is_equal(p.getObjective(), f)
    body = p.getConstraint()[1].getBody()  # sin(x) - t = 0
    assert nivra.evaluate(body, solution=[0.5, 0, 0.25], problem=p) == \
        pytest.approx(nivra.evaluate(nivra.sin(x), solution=[0.5, 0], problem=p) - 0.25)
    # a second nonlinear objective replaces the first: still one transfer row and column
    g = nivra.exp(x) * y + 2 * x * x + 3 * x * y + 4
    p.setObjective(g)
    assert (nrows(p), ncols(p)) == (2, 3)
    assert nivra.is_equal(p.getObjective(), g)
    # a linear objective removes them
    p.setObjective(x - y)
    assert (nrows(p), ncols(p)) == (1, 2) and names(p) == (["x", "y"], ["R0"])
    assert nivra.is_equal(p.getObjective(), x - y)
    p.optimize()  # a linear problem again
    assert p.attributes.objval == pytest.approx(-20)


def test_entries_added_after_the_transfer_keep_their_objects(pxy):
    p, x, y = pxy
    p.setObjective(nivra.cos(x) + y)
    z = p.addVariable(name="z")
    c = z >= 1
    p.addConstraint(c)
    p.setObjective(nivra.exp(z))
    assert names(p) == (["x", "y", "z", COL], ["R0", ROW])
    assert (z.index, c.index) == (2, 0)
    assert nivra.is_equal(p.getObjective(), nivra.exp(z))
    p.setObjective(z + x)
    assert (z.index, c.index, ncols(p), nrows(p)) == (2, 0, 3, 1)
    assert nivra.is_equal(c.getBody(), 1.0 * z)
    # a deleted transfer row is found by its name no more: the column alone goes
    p.setObjective(nivra.sin(z))
    p.delConstraint(p.getConstraint()[-1])
    p.setObjective(x)
    assert (ncols(p), nrows(p)) == (3, 1)


def test_unlinked_variables(recwarn):
    p = quiet()
    x, y = nivra.var(name="x"), nivra.var(name="y")
    p.addVariable(x, y)
    f = nivra.sin(x) * y + x
    p.setObjective(f)
    assert names(p)[0] == ["x", "y", COL] and nivra.is_equal(p.getObjective(), f)
    p.setObjective(y)
    assert names(p)[0] == ["x", "y"] and p.getIndex(y) == 1


def test_refusals_and_sense(pxy):
    p, x, y = pxy
    p.setObjective(nivra.log(x + 11), sense=nivra.maximize)
    assert p.attributes.objsense == -1
    p.setObjective(sense=nivra.minimize)
    assert p.attributes.objsense == 1
    with pytest.raises(nivra.ModelError, match="not supported in multi-objective problems"):
        p.addObjective(y)  # the transfer column makes objective 0 non-empty
    with pytest.raises(nivra.ModelError, match="not supported in multi-objective problems"):
        p.setObjective(y, objidx=1)
    q = quiet()
    a = q.addVariable()
    q.addObjective(a, 2 * a)
    with pytest.raises(nivra.ModelError, match="not supported in multi-objective problems"):
        q.setObjective(nivra.exp(a))
    with pytest.raises(nivra.ModelError, match="not supported in multi-objective problems"):
        q.setObjective(nivra.exp(a), objidx=1)
    assert (nrows(q), ncols(q), q.attributes.objectives) == (0, 1, 2)


def test_failed_objectives_leave_the_model_as_it_was(pxy):
    p, x, y = pxy
    p.addConstraint(x * nivra.exp(y) <= 4)
    other = quiet()
    w = other.addVariable()
    for first in [nivra.cos(x) + 3 * y + 1, x * y + 2]:
        p.setObjective(first)
        before = model(p)
        deep = x
        for _ in range(70):
            deep = nivra.exp(deep)
        failing = {"depth reached the maximum limit": deep + y,
                   "must be finite": nivra.log(nivra.sin(x) * 0 - 1) + y,
                   "not finite": nivra.exp(x) ** nivra.log(-2 + 0 * x) + y,
                   "different problem": nivra.sin(w)}
        for message, bad in failing.items():
            with pytest.raises((nivra.ModelError, nivra.SolverError), match=message):
                p.setObjective(bad)
            assert model(p) == before, message


def test_reference_counts(pxy):
    p, x, y = pxy
    f = nivra.exp(x) * y + nivra.sin(y)
    before = [sys.getrefcount(o) for o in (f, x, y)]
    p.setObjective(f)
    p.getObjective()
    p.setObjective(x)
    assert [sys.getrefcount(o) for o in (f, x, y)] == before

    def cycle():
        p.setObjective(nivra.exp(x) * y + nivra.sin(y))
        p.getObjective()
        p.setObjective(x + y)

    assert_no_leak(cycle)
