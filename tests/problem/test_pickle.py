"""Pickling problems through the library's save format in memory, model objects pickled along
with their problem, and copy.deepcopy as problem.copy()."""

import copy
import pickle
import sys

import numpy as np
import pytest

import nivra
from helpers.leaks import assert_no_leak


def quiet(p):
    p.setOutputEnabled(False)
    return p


def as_lp(p, tmp_path, name):
    """The model as LP text (names included), with the coefficients of the objectives beyond
    the first, which LP files do not hold."""
    single, extra = p.copy(), []
    for k in range(p.attributes.objectives - 1, 0, -1):
        extra.append([])
        p.getobjn(k, extra[-1], 0, p.attributes.cols - 1)
        single.delobj(k)
    path = tmp_path / f"{name}.lp"
    single.write(str(path), "l")
    return path.read_text(), extra


def round_trip(obj):
    return pickle.loads(pickle.dumps(obj))


@pytest.fixture
def mip():
    """A named MIP with a changed control and a second objective, not solved."""
    p = quiet(nivra.problem(name="plan_a"))
    x = p.addVariables(3, name="x", ub=4, vartype=nivra.integer)
    y = p.addVariable(name="y", ub=10)
    p.addConstraint(x[0] + 2 * x[1] - x[2] <= 5, 3 * x[1] + y >= 2)
    p.setObjective(x[0] + x[1] + 2 * y, sense=nivra.maximize)
    p.addObjective(x[2] - y, priority=1, weight=0.5)
    p.controls.miprelstop = 1e-6
    p.controls.threads = 1
    return p


def test_an_lp_with_names_round_trips(tmp_path):
    p = quiet(nivra.problem(name="small"))
    x, y = p.addVariable(name="x_1", lb=-3), p.addVariable(name="y", ub=8)
    p.addConstraint((2 * x + y <= 7).copy(), nivra.constraint(body=x - y, lb=-1, ub=4,
                                                                name="band"))
    p.setObjective(x + 3 * y, sense=nivra.maximize)
    q = round_trip(p)
    assert q is not p and q.name() == "small"
    assert as_lp(q, tmp_path, "q") == as_lp(p, tmp_path, "p")
    assert [v.name for v in q.getVariable()] == ["x_1", "y"]
    assert q.getConstraint(1).name == "band" and q.getConstraint(1).ub == 4
    # The two are independent.
    q.chgbounds([0], ["U"], [1.0])
    assert p.getVariable(0).ub == nivra.infinity


def test_a_mip_keeps_controls_objectives_and_priorities(mip, tmp_path):
    q = round_trip(mip)
    assert as_lp(q, tmp_path, "q") == as_lp(mip, tmp_path, "p")
    assert q.controls.miprelstop == 1e-6 and q.controls.threads == 1
    assert q.attributes.objectives == mip.attributes.objectives == 2
    assert q.getControl("priority", objidx=1) == 1
    assert q.getControl("weight", objidx=1) == 0.5
    assert q.attributes.objsense == -1
    assert (q.optimize(), q.attributes.objval) == (mip.optimize(), mip.attributes.objval)


def test_a_solved_problem_keeps_its_solution_statuses_and_duals():
    p = quiet(nivra.problem())
    x = p.addVariables(2, ub=5)
    rows = [x[0] + x[1] <= 6, x[0] - x[1] <= 1]
    p.addConstraint(rows)
    p.setObjective(2 * x[0] + x[1], sense=nivra.maximize)
    p.optimize()
    q = round_trip(p)
    for a in ("solvestatus", "solstatus", "lpstatus", "objval", "simplexiter"):
        assert q.getAttrib(a) == p.getAttrib(a), a
    assert q.getSolution() == p.getSolution()
    assert q.getDuals() == p.getDuals() and q.getSlacks() == p.getSlacks()
    assert q.getRedCosts() == p.getRedCosts()


def test_quadratic_objective_and_rows_round_trip(tmp_path):
    p = quiet(nivra.problem())
    x, y = p.addVariable(name="x", ub=3), p.addVariable(name="y", ub=3)
    p.addConstraint(x * x + y * y <= 4, x + y >= 1)
    p.setObjective(x * x - x * y + 2 * y * y - x)
    q = round_trip(p)
    assert as_lp(q, tmp_path, "q") == as_lp(p, tmp_path, "p")
    assert q.attributes.qelems == p.attributes.qelems > 0
    assert q.attributes.qconstraints == 1
    p.optimize(), q.optimize()
    np.testing.assert_allclose(q.getSolution(), p.getSolution(), atol=1e-6)


def test_objects_pickled_with_their_problem_belong_to_the_restored_problem(mip):
    x, c, s = mip.getVariable(1), mip.getConstraint(0), mip.addSOS([mip.getVariable(0),
                                                                     mip.getVariable(2)], [1, 2])
    for protocol in (0, 2, pickle.HIGHEST_PROTOCOL):
        q, x2, c2, s2, again = pickle.loads(pickle.dumps([mip, x, c, s, x], protocol))
        assert q.getVariable(1) is x2 is again and x2.name == x.name
        assert q.getConstraint(0) is c2 and q.getSOS(0) is s2
        assert q.getIndex(c2) == 0 and x2.index == 1
    # Several problems in one pickle keep their objects apart.
    other = quiet(nivra.problem())
    z = other.addVariable(name="z")
    q1, q2, z2, x2 = round_trip((mip, other, z, x))
    assert q2.getVariable(0) is z2 and q1.getVariable(1) is x2


@pytest.mark.parametrize("make", [
    lambda p: p.getVariable(0),
    lambda p: p.getConstraint(0),
    lambda p: [p.getVariable(0), p],  # the problem must come first
])
def test_model_objects_are_refused_without_their_problem(mip, make):
    with pytest.raises(TypeError, match="cannot pickle a nivra (variable|constraint) on its own: "
                                        "pickle the problem that holds it"):
        pickle.dumps(make(mip))
    with pytest.raises(TypeError, match="on its own"):
        copy.deepcopy(make(mip))
    # A finished pickling leaves no session behind.
    pickle.dumps(mip)
    with pytest.raises(TypeError, match="on its own"):
        pickle.dumps(mip.getVariable(0))


def test_objects_of_no_problem_and_expressions_are_refused(mip):
    x = mip.getVariable(0)
    mip.delVariable(x)
    with pytest.raises(TypeError, match="belongs to no problem"):
        pickle.dumps([mip, x])
    with pytest.raises(TypeError, match="nivra.expression"):
        pickle.dumps([mip, 2 * mip.getVariable(0) + 1])


def test_deepcopy_is_the_copy_method(mip, tmp_path):
    mip.optimize()
    x, c = mip.getVariable(1), mip.getConstraint(1)
    q, x2, c2 = copy.deepcopy([mip, x, c])
    assert as_lp(q, tmp_path, "q") == as_lp(mip.copy(), tmp_path, "c")
    assert q.controls.miprelstop == 1e-6
    # As copy(): the model and controls, not the solution.
    assert q.attributes.solstatus == mip.copy().attributes.solstatus == 0
    assert q.getVariable(1) is x2 and q.getConstraint(1) is c2
    assert isinstance(copy.copy(mip), nivra.problem)


def test_damaged_data_is_refused_and_changes_nothing(mip, tmp_path):
    data = mip.savetobuffer()
    p = quiet(nivra.problem(name="kept"))
    v = p.addVariable(name="v")
    damaged = bytearray(data)
    damaged[len(data) // 2] ^= 0x10
    for bad in (bytes(damaged), data[:-3], b"", data + b"\0"):
        with pytest.raises(nivra.SolverValueError, match="NVRArestorefrombuffer"):
            p.restorefrombuffer(bad)
        assert p.name() == "kept" and p.getVariable(0) is v
    with pytest.raises(TypeError):
        p.restorefrombuffer("text")
    p.restorefrombuffer(data)
    assert as_lp(p, tmp_path, "p") == as_lp(mip, tmp_path, "m")
    with pytest.raises(nivra.ModelError):
        v.getSolution()  # objects of the model before became deleted objects


def test_reference_counts_and_no_leaks(mip):
    x = mip.getVariable(0)
    before = sys.getrefcount(mip), sys.getrefcount(x)
    data = pickle.dumps([mip, x])
    copy.deepcopy([mip, x])
    assert (sys.getrefcount(mip), sys.getrefcount(x)) == before
    q, x2 = pickle.loads(data)
    assert sys.getrefcount(q) == 2  # q only: the restored problem holds no cycle to itself
    del q
    assert x2.index == -1  # its problem is gone: a deleted variable

    # The pickle module itself keeps a few blocks per load of a global: the leak check is on the
    # extension's part.
    def cycle():
        nivra.problem().restorefrombuffer(mip.savetobuffer())
        mip.restorefrombuffer(mip.savetobuffer())
    assert_no_leak(cycle)
