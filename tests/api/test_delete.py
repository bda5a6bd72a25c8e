"""Deleting variables, constraints and sets: marked objects, renumbered survivors, expressions
and solutions that keep referring to the right columns."""

import warnings

import numpy as np
import pytest

import nivra

from helpers.api import quiet, scipy_optimum, snapshot


def test_deleting_variables_marks_and_renumbers():
    p = quiet()
    x = p.addVariables(20, name="x")
    p.delVariable([x[2], 3])
    assert [v.index for v in p.getVariable()] == list(range(18))
    assert p.getVariable(2) is x[4] and x[4].name == "x(4)"
    for gone in (x[2], x[3]):
        with pytest.raises(nivra.ModelError, match="deleted"):
            gone.lb
    with pytest.raises(nivra.ModelError, match="deleted"):
        p.delVariable(x[2])  # the same object twice
    p.delVariable(np.array([5, 1, 3]))  # unsorted
    assert [v.name for v in p.getVariable()][:6] == ["x(0)", "x(4)", "x(6)", "x(8)", "x(9)", "x(10)"]
    p.delVariable(first=10, last=14)
    assert len(p.getVariable()) == 10 and p.attributes.cols == 10


def test_argument_errors():
    p = quiet()
    p.addVariables(3)
    for kwargs, message in [({}, "At least one parameter must be specified"),
                            ({"index": 0, "first": 0, "last": 1}, "cannot be specified if 'index'"),
                            ({"first": 1}, "must be both nonnegative"),
                            ({"first": 1, "last": 3}, "out of range"),
                            ({"first": 2, "last": 1}, "less than, or equal to")]:
        with pytest.raises(nivra.ModelError, match=message):
            p.delVariable(**kwargs)
    with pytest.raises(nivra.InterfaceError, match="Invalid sequence of objects"):
        p.delConstraint(1.5)
    assert p.attributes.cols == 3


def test_expressions_and_solutions_follow_the_columns():
    rng = np.random.default_rng(3)
    p = quiet()
    x = p.addVariables(8, ub=5)
    A = rng.integers(-3, 4, (5, 8)).astype(float)
    cons = [nivra.Dot(A[i], x) <= float(rng.integers(3, 9)) for i in range(5)]
    p.addConstraint(cons)
    c = rng.uniform(-1, 1, 8)
    obj = nivra.Dot(c, x)
    p.setObjective(obj)
    p.delVariable([x[1], x[6]])
    p.delConstraint([cons[0], 3])
    p.optimize()
    got = p.attributes.objval
    kept = [i for i in range(8) if i not in (1, 6)]
    # an expression over the kept variables reads the columns they moved to
    assert p.getSolution(nivra.Dot(c[kept], x[kept])) == pytest.approx(got)
    rows = [1, 2, 4]
    row_up = [cons[i].rhs for i in rows]
    expected = scipy_optimum(A[np.ix_(rows, kept)], [-np.inf] * 3, row_up, [0] * 6, [5] * 6,
                             c[kept])
    assert got == pytest.approx(expected, abs=1e-8)
    assert p.getSolution(x[7]) == p.getSolution()[5]
    assert [c.index for c in p.getConstraint()] == [0, 1, 2]


def test_sets_and_their_members():
    p = quiet()
    x = p.addVariables(4, ub=1)
    s0, s1 = p.addSOS(list(x[:2]), [1, 2]), p.addSOS(list(x[1:]), [1, 2, 3], type=2)
    p.delVariable(x[1])  # leaves both sets, which keep their other members
    ent = [[] for _ in range(7)]
    p.getmipentities(*ent)
    assert ent[4] == [0, 1, 3] and [v.index for v in ent[5]] == [0, 1, 2]
    p.delSOS(s0)
    assert s1.index == 0 and p.getSOS() == [s1]
    with pytest.raises(nivra.ModelError, match="deleted"):
        p.delSOS(s0)


def test_columns_used_by_indicators_and_general_constraints_are_kept():
    p = quiet()
    x, b = p.addVariable(ub=4), p.addVariable(vartype=nivra.binary)
    p.addIndicator(b, x <= 2)
    p.addConstraint(nivra.max(x, 1) <= 3)
    before = snapshot(p)
    with pytest.raises(nivra.SolverValueError, match="indicator column"):
        p.delVariable(b)
    with pytest.raises(nivra.SolverValueError, match="used by general constraint 0"):
        p.delVariable(x)
    assert snapshot(p) == before


def test_unlinked_objects_are_renumbered_through_the_maps():
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nivra.DeprecationWarning)
        xs = [nivra.var(name=f"u{i}") for i in range(4)]
        p = nivra.problem(xs)
    p.setOutputEnabled(False)
    p.delVariable([xs[0], 2])
    assert [p.getIndex(v) for v in (xs[1], xs[3])] == [0, 1]
    with pytest.raises(nivra.ModelError, match="does not belong to this problem"):
        p.getIndex(xs[0])
    assert len(p.getVariable()) == 2
