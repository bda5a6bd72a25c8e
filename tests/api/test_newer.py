"""The newer problem methods (mixed-case names): their effect on the model and its objects,
results against the older members and NumPy, and the arguments and problems they refuse."""

import numpy as np
import pytest

import nivra

from helpers.api import quiet, snapshot
from helpers.leaks import assert_no_leak


def lp():
    """max 3x + 2y + 2z over three rows: a single optimum (4, 3, 3) that leaves a row basic."""
    p = quiet()
    x, y = p.addVariable(ub=4), p.addVariable()
    z = p.addVariable(lb=-nivra.infinity)
    p.addConstraint(x + y + z <= 10, x - y >= -2, x - z == 1)
    p.setObjective(3 * x + 2 * y + 2 * z, sense=nivra.maximize)
    p.optimize()
    return p


def test_deletions_keep_the_objects_in_step():
    p = quiet()
    x = p.addVariables(6, name="x")
    p.addConstraint([x[i] + x[i + 1] <= i + 1 for i in range(4)])
    c = p.getConstraint()
    p.delCols([x[1], 4])
    assert [v.index for v in p.getVariable()] == list(range(4))
    assert p.getVariable(1) is x[2] and x[5].index == 3
    with pytest.raises(nivra.ModelError, match="deleted"):
        x[1].lb
    p.delRows(np.array([2]))
    assert [k.index for k in p.getConstraint()] == [0, 1, 2] and c[3].index == 2
    p.addSets(["1", "2"], [0, 2, 4], [x[0], x[2], x[3], x[5]], [1.0, 2.0, 1.0, 2.0])
    sets = p.getSOS()
    assert len(sets) == 2 and p.attributes.sets == 2
    p.delSets([sets[0]])
    assert p.getSOS() == [sets[1]] and sets[1].index == 0
    # A set the library refuses leaves no object behind.
    before = snapshot(p)
    with pytest.raises(nivra.SolverError):
        p.addSets(["X"], [0, 1], [x[0]], [1.0])
    assert snapshot(p) == before and p.getSOS() == [sets[1]]


def test_sparse_transforms_agree_with_the_dense_ones():
    p = lp()
    m = p.attributes.rows
    val, ind = [2.0, -1.0], [0, 2]
    dense = [0.0] * m
    for v, i in zip(val, ind):
        dense[i] = v
    for sparse, full in ((p.sparseFTran, p.ftran), (p.sparseBTran, p.btran)):
        got = list(dense)
        full(got)
        values, indices = sparse(val, ind)
        back = np.zeros(m)
        back[indices] = values
        assert np.allclose(back, got) and all(v != 0 for v in values)
    with pytest.raises(nivra.InterfaceError, match="Argument 'val' must be the same size as "
                                                   "argument 'ind'"):
        p.sparseFTran([1.0, 2.0], [0, 1, 2])
    with pytest.raises(nivra.InterfaceError, match="Error in argument 'ind'.*out of range"):
        p.sparseFTran([1.0], [m])
    with pytest.raises(nivra.InterfaceError, match="Error in argument 'val': Value is not a "
                                                   "number"):
        p.sparseBTran(["a"], [0])
    assert_no_leak(lambda: p.sparseFTran(val, ind))


def test_pivot_exchanges_one_basic_entry():
    p = lp()
    rows, cols = [], []
    p.getbasis(rows, cols)
    m = p.attributes.rows
    # A non-basic entry and the first basic one it can replace (the basis must stay regular).
    enter = next(i for i, s in enumerate(rows + cols) if s != 1)
    for leave in (i for i, s in enumerate(rows + cols) if s == 1):
        try:
            p.pivot(enter, leave)
            break
        except nivra.SolverError:
            continue
    r2, c2 = [], []
    p.getbasis(r2, c2)
    after = r2 + c2
    assert after[enter] == 1 and after[leave] != 1
    assert sum(s == 1 for s in after) == m
    with pytest.raises(nivra.InterfaceError, match="Error in argument 'enter': Invalid variable "
                                                   "or constraint index"):
        p.pivot(m + 3, 0)
    with pytest.raises(nivra.InterfaceError, match="Value is not a variable, constraint or index"):
        p.pivot("x", 0)


def test_row_flags_scales_and_presolved_solutions():
    p = lp()
    c = p.getConstraint()
    p.loaddelayedrows([c[1]])
    assert p.getRowFlags(c[0], c[2]) == [0, 1, 0]
    p.clearRowFlags(1, 0, 2)
    assert p.getRowFlags(0, 2) == [0, 0, 0]
    assert p.getScale() == ([1.0] * 3, [1.0] * 3)
    x = p.getSolution()
    p.lpoptimize("r")
    with pytest.raises(nivra.InterfaceError, match="Cannot pass objects in arg 'colind' when "
                                                   "problem is presolved or in a callback"):
        p.delCols([p.getVariable(0)])
    prex = []
    p.getpresolvesol(prex)
    assert p.postSolveSol(prex) == pytest.approx(x)


def test_managed_cuts_and_refusals():
    p = lp()
    x, y, _ = p.getVariable()
    p.addManagedCuts(1, ["L"], [1.0], [0, 1], [y], [1.0])
    p.optimize()
    assert p.getSolution(y) == pytest.approx(1.0)
    with pytest.raises(nivra.SolverError, match="globalvalid"):
        p.addManagedCuts(0, ["L"], [1.0], [0, 1], [y], [1.0])
    with pytest.raises(nivra.InterfaceError, match="Argument 'rhs' must be the same size as "
                                                   "argument 'rowtype'"):
        p.addManagedCuts(1, ["L"], [1.0, 2.0], [0, 1], [y], [1.0])
    with pytest.raises(nivra.InterfaceError, match="Value is not a single character"):
        p.addManagedCuts(1, ["LE"], [1.0], [0, 1], [y], [1.0])
    with pytest.raises(nivra.InterfaceError, match="Argument 'colind' must be iterable"):
        p.delCols(3)
    p.iisfirst(1)  # feasible: no subsystem to print
    with pytest.raises(nivra.SolverError):
        p.printIIS(1)

    u = quiet()
    with pytest.warns(nivra.DeprecationWarning):
        u.addcols([1.0], [0], [], [], [0.0], [1.0], unlinked=True)
    with pytest.raises(nivra.InterfaceError, match="Cannot call problem.delCols on problems with "
                                                   "unlinked objects"):
        u.delCols([0])
