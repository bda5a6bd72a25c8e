"""The cut-pool members: cuts stored, made active, measured, read back, deactivated and removed,
each checked by what the next solve does; and the arguments they refuse."""

import pytest

import nivra

from helpers.api import quiet, snapshot
from helpers.leaks import assert_no_leak


def square():
    """max x + 2y over 0 <= x, y <= 1 and x + y <= 1.5: optimum 2.5 at (0.5, 1)."""
    p = quiet()
    x, y = p.addVariable(ub=1), p.addVariable(ub=1)
    p.addConstraint(x + y <= 1.5)
    p.setObjective(x + 2 * y, sense=nivra.maximize)
    p.optimize()
    return p, x, y


def objective(p):
    p.optimize()
    return p.attributes.objval


def test_cuts_join_the_solves_while_they_are_active():
    p, x, y = square()
    assert p.attributes.objval == pytest.approx(2.5)
    # Two cuts of types 1 and 2: x + y <= 1 and y <= 0.5 (the second stored only).
    handles = []
    p.storecuts([1, 2], ["L", "L"], [1.0, 0.5], [0, 2, 3], [x, y, y], [1.0, 1.0, 1.0], handles)
    assert len(handles) == 2 and all(isinstance(h, nivra.poolcut) for h in handles)
    assert objective(p) == pytest.approx(2.5)  # stored cuts change nothing
    cuts, viol = [], []
    assert p.getcpcutlist(-1, -1, 0.0, 10, cuts, viol) == 2  # both cut the solution off
    assert viol == pytest.approx([0.5, 0.5])
    assert p.getcpcutlist(1, 1, 0.0, 10, cuts, viol) == 1  # the cut of type 1 only
    assert p.attributes.cuts == 0
    p.loadcuts(1, 1)  # the cuts of type 1
    assert p.attributes.cuts == 1
    assert objective(p) == pytest.approx(2.0)
    active = []
    assert p.getcutlist(-1, -1, 10, active) == 1
    rows = p.attributes.rows
    cutmap = []
    p.getcutmap(handles, cutmap)
    assert cutmap == [rows, -1]
    assert p.getcutslack(active[0]) == pytest.approx(0.0, abs=1e-9)  # binding
    p.loadcuts(0, -1, [handles[1]])
    assert objective(p) == pytest.approx(1.5)
    # Read back as stored: types, row types, starts, columns, coefficients, right-hand sides.
    data = [[], [], [], [], [], []]
    assert p.getcpcuts(handles, 10, *data) == 3
    assert data[0] == [1, 2] and data[1] == ["L", "L"] and data[2] == [0, 2, 3]
    assert [v.index for v in data[3]] == [0, 1, 1] and data[4] == [1.0] * 3
    assert data[5] == [1.0, 0.5]
    # Deactivated, the cuts stay in the pool; deleted, they are gone and their handles invalid.
    p.delcuts(0, -1, -1, -1e20)
    assert p.attributes.cuts == 0
    assert objective(p) == pytest.approx(2.5) and p.getcutlist(-1, -1, 10, []) == 0
    p.delcpcuts(2, 1)
    assert p.getcpcutlist(-1, -1, -1e20, 10, [], []) == 1
    with pytest.raises(nivra.SolverError):
        p.getcutmap([handles[1]], [])
    p.addcuts([0], ["G"], [1.0], [0, 1], [x], [1.0])  # x >= 1, active at once
    assert objective(p) == pytest.approx(2.0) and p.getSolution(x) == pytest.approx(1.0)
    assert_no_leak(lambda: p.getcutlist(-1, -1, 10, []))
    assert_no_leak(lambda: p.getcpcuts(handles[:1], 10, *[[] for _ in range(6)]))
    assert p.getcpcutlist(-1, -1, -1e20, 10, [], []) == 2  # with the one addcuts made
    p.delcpcuts(0, -1, handles[:1])  # by handle
    assert p.getcpcutlist(-1, -1, -1e20, 10, [], []) == 1
    with pytest.raises(nivra.SolverError):
        p.getcutslack(handles[0])


def test_cut_arguments_are_checked_before_the_library():
    p, x, y = square()
    before = snapshot(p)
    with pytest.raises(nivra.InterfaceError, match="'start' must have one element per entry plus"):
        p.addcuts([0], ["L"], [1.0], [0], [x], [1.0])
    with pytest.raises(nivra.InterfaceError, match="starts refer to 3"):
        p.addcuts([0], ["L"], [1.0], [0, 3], [x, y], [1.0, 1.0])
    with pytest.raises(nivra.InterfaceError, match="Mismatched lengths"):
        p.addcuts([0, 1], ["L"], [1.0], [0, 1], [x], [1.0])
    with pytest.raises(nivra.InterfaceError, match="nivra.poolcut"):
        p.getcutslack(x)
    with pytest.raises(nivra.InterfaceError, match="nivra.poolcut"):
        p.loadcuts(0, -1, [nivra.poolcut()])
    with pytest.raises(nivra.SolverError, match="row type"):
        p.addcuts([0], ["N"], [1.0], [0, 1], [x], [1.0])
    assert p.getcpcutlist(-1, -1, -1e20, 10, [], []) == 0  # nothing stored by a refused call
    assert snapshot(p) == before
