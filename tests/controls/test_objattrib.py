"""problem.objattribs: the attribute views of each solve, their cache, and their lifetime."""

import sys

import pytest

import nivra


def test_no_solves_yet():
    p = nivra.problem()
    oa = p.objattribs
    assert type(oa).__name__ == "objattrib" and p.objattribs is oa
    assert len(oa) == 0 and repr(oa) == "[]" and list(oa) == []
    for bad in (0, -1, 5):
        with pytest.raises(IndexError, match="Invalid objective index"):
            oa[bad]
    with pytest.raises(TypeError):
        oa["0"]
    with pytest.raises(TypeError):
        type(oa)()


def test_views_outliving_their_problem_fail_cleanly():
    p = nivra.problem()
    oa = p.objattribs
    refs = sys.getrefcount(oa)
    del p
    assert sys.getrefcount(oa) == refs - 1
    with pytest.raises(nivra.InterfaceError, match="Object is not initialized"):
        len(oa)
    with pytest.raises(nivra.InterfaceError, match="Object is not initialized"):
        repr(oa)


@pytest.fixture
def two_levels():
    """max x (priority 2), then max y (priority 1), over x + y <= 12, x <= 10, y <= 5."""
    p = nivra.problem()
    p.setOutputEnabled(False)
    x = p.addVariable(name="x", ub=10)
    y = p.addVariable(name="y", ub=5)
    p.addConstraint(x + y <= 12)
    p.setObjective(x, sense=nivra.maximize, priority=2)
    p.addObjective(y, priority=1)
    p.optimize()
    return p


def test_views_of_each_solve(two_levels):
    p = two_levels
    oa = p.objattribs
    assert len(oa) == p.attributes.solves == 2
    first, second = oa[0], oa[1]
    assert oa[0] is first  # the cache keeps one view per solve
    assert (first.objval, second.objval) == (10.0, 2.0)
    assert first.OBJVAL == p.getAttrib("objval", solveidx=0)
    assert [a.objval for a in oa] == [10.0, 2.0]
    assert type(first.solstatus) is nivra.enums.SolStatus
    assert first.cols == 2  # entries not kept per solve give their current value
    text = repr(oa)
    assert text.startswith("[{") and "'objval': 10.0" in text and "'objval': 2.0" in text
    assert "'probname':" not in text and "'probname':" not in str(first)
    with pytest.raises(nivra.InterfaceError,
                       match="Multi-objective string attributes are not supported"):
        first.probname
    with pytest.raises(nivra.ModelError, match="A problem's attribute cannot be set"):
        first.objval = 1
    with pytest.raises(IndexError, match="Invalid objective index"):
        oa[2]
    with pytest.raises(nivra.SolverError, match="out of range"):
        p.getAttrib("objval", solveidx=2)
    assert p.getAttrib(["objval", "mipgap"], solveidx=1).keys() == {"objval", "mipgap"}


def test_solve_views_outliving_their_problem(two_levels):
    p = two_levels
    view = p.objattribs[1]
    refs = sys.getrefcount(view)
    p.reset()  # the objattrib object is let go with the model
    assert sys.getrefcount(view) == refs - 1
    with pytest.raises(nivra.ModelError, match="Problem is not initialized"):
        view.objval
    with pytest.raises(nivra.ModelError, match="Problem is not initialized"):
        repr(view)
    assert len(p.objattribs) == 0
