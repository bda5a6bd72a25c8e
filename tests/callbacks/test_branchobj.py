"""nivra.branchobj and nivra.poolcut: building a branching decision, checking it against the
problem, reading it back, the older constructor form, the end of its library object, and the
engine's refusal to take it."""

import sys

import pytest

import nivra


@pytest.fixture
def prob():
    p = nivra.problem()
    x = p.addVariables(2, vartype=nivra.integer, ub=10)
    return p, x


def read_bounds(bo, branch):
    types, cols, vals = [], [], []
    n = bo.getbounds(branch, 10, types, cols, vals)
    assert n == len(types)
    return list(zip(types, cols, vals))


def read_rows(bo, branch):
    types, rhs, start, cols, coefs = [], [], [], [], []
    bo.getrows(branch, 10, 10, types, rhs, start, cols, coefs)
    return types, rhs, start, list(zip(cols, coefs))


def test_build_validate_read_back_and_free(prob):
    p, x = prob
    base = sys.getrefcount(p)
    with nivra.branchobj(p) as bo:
        assert sys.getrefcount(p) == base + 1 and bo.isoriginal
        assert bo.getbranches() == 0 and bo.validate() == 1  # no branches
        bo.addbranches(2)
        assert bo.validate() == 2  # a branch that restricts nothing
        bo.addbounds(0, ["U"], [x[0]], [4])
        bo.addbounds(1, ["L"], [1], [5.5])  # columns by index or by variable
        bo.addrows(1, ["L", "E"], [8, 3], [0, 2], [x[0], x[1], x[1]], [1, 2, 1])
        assert bo.validate() == 0
        assert read_bounds(bo, 0) == [("U", x[0], 4.0)]
        assert read_bounds(bo, 1) == [("L", x[1], 5.5)]
        assert read_rows(bo, 1) == (["L", "E"], [8.0, 3.0], [0, 2, 3],
                                    [(x[0], 1.0), (x[1], 2.0), (x[1], 1.0)])
        assert bo.getbounds(1, 0) == 1  # the count alone

        # Refused additions raise, add nothing, and are the object's last error.
        with pytest.raises(nivra.SolverIndexError, match="branch 2 is out of range") as failed:
            bo.addbounds(2, ["L"], [x[0]], [1])
        assert bo.getlasterror() == (failed.value.errorcode, str(failed.value))
        with pytest.raises(nivra.SolverValueError):
            bo.addbounds(0, ["X"], [x[0]], [1])
        with pytest.raises(nivra.InterfaceError, match="Mismatched lengths"):
            bo.addbounds(0, ["L", "U"], [x[0]], [1])
        assert read_bounds(bo, 0) == [("U", x[0], 4.0)]

        # The engine takes no branching decisions: the object stays the caller's.
        with pytest.raises(nivra.NotSupportedError):
            bo.store()
        assert bo.getbranches() == 2 and bo.getid() > 0
        bo.setpriority(3)
        bo.setpreferredbranch(1)
        with pytest.raises(nivra.SolverIndexError):
            bo.setpreferredbranch(2)
    # Freed at the end of the block: no library object, no reference to the problem.
    assert bo.getid() is None and bo.getbranches() == 0
    assert sys.getrefcount(p) == base
    with pytest.raises(nivra.InterfaceError, match="stored or freed"):
        bo.addbranches(1)


def test_validation_follows_the_problem(prob):
    p, x = prob
    bo = nivra.branchobj(p, isoriginal=False)
    assert not bo.isoriginal
    bo.addbranches(1)
    bo.addbounds(0, ["B"], [x[1]], [2])
    assert bo.validate() == 0
    p.delVariable(x[1])
    assert bo.validate() == 3  # its column no longer exists
    p.reset()
    with pytest.raises(nivra.SolverError, match="destroyed"):
        bo.addbranches(1)
    assert bo.getid() > 0
    del bo  # a branching object of a freed problem goes quietly


def test_the_older_constructor_with_branches(prob):
    p, x = prob
    with pytest.warns(nivra.DeprecationWarning):
        bo = nivra.branchobj(p, [x[0] <= 4, [2 * x[0] >= 10, x[0] + x[1] <= 8],
                                 (x[1] == 3, -x[0] >= -7)])
    assert bo.getbranches() == 3
    assert read_bounds(bo, 0) == [("U", x[0], 4.0)]
    assert read_bounds(bo, 1) == [("L", x[0], 5.0)]
    assert read_rows(bo, 1) == (["L"], [8.0], [0, 2], [(x[0], 1.0), (x[1], 1.0)])
    assert read_bounds(bo, 2) == [("B", x[1], 3.0), ("U", x[0], 7.0)]
    assert bo.validate() == 0

    with pytest.raises(nivra.ModelError, match="Cannot define the branches of a branching "
                                               "object if the isoriginal flag is false"):
        nivra.branchobj(p, [x[0] <= 1], False)
    cases = [
        (x[0] <= 1, "The branches parameter must be a list or a tuple"),
        ([3], "Branch 0 is invalid: must be a constraint or tuple/list of constraints"),
        ([[x[0] <= 1, 3]], "Branch 0 is invalid: must be a tuple/list of constraints"),
        ([x[0] * x[1] <= 1], "Branch 0 contains a quadratic or nonlinear constraint"),
    ]
    for branches, text in cases:
        with pytest.raises(nivra.ModelError, match=text):
            with pytest.warns(nivra.DeprecationWarning):
                nivra.branchobj(p, branches)
    linked = x[0] + x[1] <= 5
    p.addConstraint(linked)
    with pytest.raises(nivra.ModelError, match="has been added to a problem"):
        with pytest.warns(nivra.DeprecationWarning):
            nivra.branchobj(p, [linked])
    for args in [(), (42,), (p, None, True, 4)]:
        with pytest.raises(nivra.ModelError, match="Incorrect creation of branching object"):
            nivra.branchobj(*args)


def test_poolcut_objects_and_the_refused_branching_callback():
    p = nivra.problem()
    p.addVariable()
    with nivra.branchobj(p) as bo:
        bo.addbranches(1)
        # A poolcut made by its constructor holds no cut: nothing to branch on.
        with pytest.raises(nivra.InterfaceError, match="is not a cut of the cut pool"):
            bo.addcuts(0, [nivra.poolcut()])
        assert bo.validate() == 2
    with pytest.raises(nivra.NotSupportedError, match="The chgbranchobject callback is not "
                                                      "supported by this engine"):
        p.addcbchgbranchobject(lambda prob, data, bo: None)
