"""Pickling problems through the library's save format in memory, model objects pickled along
with their problem, and copy.deepcopy as problem.copy()."""

import copy
import pickle
import sys

import numpy as np
import pytest

import nivra
from helpers.leaks import assert_no_leak


def model_text(p, tmp_path):
    """The model as LP text (names included) and the objectives beyond the first, which LP
    files do not hold."""
    single, extra = p.copy(), []
    for k in range(p.attributes.objectives - 1, 0, -1):
        extra.append([])
        p.getobjn(k, extra[-1], 0, p.attributes.cols - 1)
        single.delobj(k)
    path = tmp_path / "model.lp"
    single.write(str(path), "l")
    return path.read_text(), extra


def round_trip(obj):
    return pickle.loads(pickle.dumps(obj))


@pytest.fixture
def mip():
    """A named MIP with a quadratic row, changed controls and a second objective, not solved."""
    p = nivra.problem(name="plan_a")
    p.setOutputEnabled(False)
    x = p.addVariables(3, name="x", ub=4, vartype=nivra.integer)
    y = p.addVariable(name="y", lb=-2, ub=10)
    p.addConstraint(x[0] + 2 * x[1] - x[2] <= 5, 3 * x[1] + y >= 2, x[0] * x[0] + y * y <= 20)
    p.setObjective(x[0] + x[1] + 2 * y, sense=nivra.maximize)
    p.addObjective(x[2] - y, priority=1, weight=0.5)
    p.controls.miprelstop = 1e-6
    return p


def test_a_problem_round_trips_with_names_controls_and_objectives(mip, tmp_path):
    q = round_trip(mip)
    assert q is not mip and q.name() == "plan_a"
    assert model_text(q, tmp_path) == model_text(mip, tmp_path)
    assert q.controls.miprelstop == 1e-6 and q.attributes.objsense == -1
    assert (q.getControl("priority", objidx=1), q.getControl("weight", objidx=1)) == (1, 0.5)
    assert q.attributes.qconstraints == 1
    q.chgbounds([0], ["U"], [1.0])  # independent of the original
    assert mip.getVariable(0).ub == 4


def test_a_solved_problem_keeps_its_solution_statuses_and_duals():
    p = nivra.problem()
    p.setOutputEnabled(False)
    x = p.addVariables(2, ub=5)
    p.addConstraint(x[0] + x[1] <= 6, x[0] - x[1] <= 1)
    p.setObjective(2 * x[0] + x[1] - x[0] * x[0] / 10, sense=nivra.maximize)
    p.optimize()
    q = round_trip(p)
    for a in ("solvestatus", "solstatus", "objval", "solvetime"):
        assert q.getAttrib(a) == p.getAttrib(a), a
    assert (q.getSolution(), q.getDuals(), q.getSlacks(), q.getRedCosts()) == \
        (p.getSolution(), p.getDuals(), p.getSlacks(), p.getRedCosts())
    q.optimize()
    np.testing.assert_allclose(q.getSolution(), p.getSolution(), atol=1e-6)


def test_objects_pickled_with_their_problem_belong_to_the_restored_problem(mip):
    x, c = mip.getVariable(1), mip.getConstraint(0)
    s = mip.addSOS([mip.getVariable(0), mip.getVariable(2)], [1, 2])
    other = nivra.problem()
    z = other.addVariable(name="z")
    for protocol in (0, pickle.HIGHEST_PROTOCOL):
        q, x2, c2, s2, again, q2, z2 = pickle.loads(pickle.dumps([mip, x, c, s, x, other, z],
                                                                 protocol))
        assert q.getVariable(1) is x2 is again and x2.name == x.name
        assert q.getConstraint(0) is c2 and q.getSOS(0) is s2
        assert q2.getVariable(0) is z2


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
    pickle.dumps(mip)  # a finished pickling leaves no session behind
    with pytest.raises(TypeError, match="on its own"):
        pickle.dumps(mip.getVariable(0))


def test_deleted_objects_expressions_and_formulas_are_refused(mip):
    x = mip.getVariable(0)
    mip.delVariable(x)
    with pytest.raises(TypeError, match="belongs to no problem"):
        pickle.dumps([mip, x])
    with pytest.raises(TypeError, match="nivra.expression"):
        pickle.dumps([mip, 2 * mip.getVariable(0) + 1])
    # Formulas are not part of a saved problem: such a problem is refused, not cut short.
    mip.addConstraint(nivra.sin(mip.getVariable(0)) <= 0.5)
    with pytest.raises(nivra.InterfaceError, match="nonlinear constraints"):
        pickle.dumps(mip)


def test_deepcopy_is_the_copy_method(mip, tmp_path):
    mip.delobj(1)  # one objective, so that it solves with its quadratic row
    mip.optimize()
    x, c = mip.getVariable(1), mip.getConstraint(1)
    q, x2, c2 = copy.deepcopy([mip, x, c])
    assert model_text(q, tmp_path) == model_text(mip.copy(), tmp_path)
    assert q.controls.miprelstop == 1e-6
    # As copy(): the model and controls, not the solution.
    assert q.attributes.solstatus == mip.copy().attributes.solstatus == 0
    assert q.getVariable(1) is x2 and q.getConstraint(1) is c2
    assert isinstance(copy.copy(mip), nivra.problem)


def test_damaged_data_is_refused_and_changes_nothing(mip, tmp_path):
    data = mip.savetobuffer()
    p = nivra.problem(name="kept")
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
    assert model_text(p, tmp_path) == model_text(mip, tmp_path)
    assert v.index == -1  # objects of the model before became deleted objects


def test_reference_counts_and_no_leaks(mip):
    x = mip.getVariable(0)
    before = sys.getrefcount(mip), sys.getrefcount(x)
    data = pickle.dumps([mip, x])
    copy.deepcopy([mip, x])
    assert (sys.getrefcount(mip), sys.getrefcount(x)) == before
    q, x2 = pickle.loads(data)
    assert sys.getrefcount(q) == 2  # only q: the restored problem holds no cycle to itself
    del q
    assert x2.index == -1  # its problem is gone: a deleted variable

    # The pickle module itself keeps a few blocks per load of a global: the leak check is on
    # the extension's part.
    def cycle():
        nivra.problem().restorefrombuffer(mip.savetobuffer())
        mip.restorefrombuffer(mip.savetobuffer())
    assert_no_leak(cycle)
