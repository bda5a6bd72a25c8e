"""Objectives: setObjective, addObjective, several objectives, and what reaches the library."""

import numpy as np
import pytest

import nivra

from helpers.transfer import objective_at, quiet


def test_quadratic_objective_replaces_the_old_one(pxy):
    p, x, y = pxy
    p.setObjective(7 * y**2 + x * y - 3 * y + 11)
    p.setObjective(2 * x**2 + 3 * x * y + 5 * y**2 + 4 * x + 4)
    assert p.attributes.qelems == 3
    f = lambda a, b: 2 * a * a + 3 * a * b + 5 * b * b + 4 * a + 4
    for a, b in [(0, 0), (1, 2), (-2, 3)]:
        assert objective_at(p, {x: a, y: b}) == pytest.approx(f(a, b))
    p.setObjective(x - y)
    assert p.attributes.qelems == 0
    assert objective_at(p, {x: 2, y: 5}) == pytest.approx(-3)


def test_sense_and_single_objectives(pxy):
    p, x, y = pxy
    p.setObjective(x, sense=nivra.maximize)
    assert p.attributes.objsense == -1
    p.optimize()
    assert p.getSolution(x) == 10
    with pytest.raises(nivra.ModelError, match="Invalid optimization sense: 0"):
        p.setObjective(y, sense=0)
    with pytest.raises(nivra.ModelError, match="Use addObjective to add more than one objective"):
        p.setObjective([x, y])
    with pytest.raises(nivra.ModelError, match="Use addObjective to add more than one objective"):
        p.setObjective(np.array([x, y]))
    p.setObjective([y], sense=nivra.minimize)
    p.optimize()
    assert p.getSolution(y) == -10
    p.setObjective(p.addVariables(1) * 0 + np.array([x + 0]))  # a one-element array
    p.optimize()
    assert p.getSolution(x) == -10
    with pytest.raises(nivra.ModelError, match="Invalid object set as objective"):
        p.setObjective("x")


def test_failed_objectives_keep_the_old_one(pxy):
    p, x, y = pxy
    p.setObjective(x + 2 * y)
    q = quiet()
    other = q.addVariable()
    with pytest.raises(nivra.ModelError, match="from a different problem"):
        p.setObjective(2 * other)
    assert objective_at(p, {x: 1, y: 1}) == pytest.approx(3)


def test_added_objectives(pxy):
    p, x, y = pxy
    p.addObjective(x)  # the empty objective 0 is replaced
    assert p.attributes.objectives == 1
    p.addObjective(y, [x + y], priority=2, weight=0.5)
    assert p.attributes.objectives == 3
    assert p.getControl(objidx=2) == {"priority": 2, "weight": 0.5, "abstol": 0.0,
                                      "reltol": 0.0, "rhs": 0.0}
    p.setObjective(x + y + 7, objidx=2)
    assert p.getControl("rhs", objidx=2) == 7.0 and p.getControl("priority", objidx=2) == 2
    with pytest.raises(nivra.ModelError,
                       match="Quadratic and nonlinear objectives are not supported"):
        p.addObjective(x * x)
    with pytest.raises(nivra.ModelError,
                       match="Quadratic and nonlinear objectives are not supported"):
        p.setObjective(x * x)
    with pytest.raises(nivra.ModelError, match="All objectives must have the same sense"):
        p.setObjective(x, objidx=1, sense=nivra.maximize)
    with pytest.raises(nivra.ModelError, match="Invalid objective index"):
        p.setObjective(x, objidx=-1)


def test_quadratic_objective_blocks_further_objectives(pxy):
    p, x, y = pxy
    p.setObjective(x * x)
    with pytest.raises(nivra.ModelError,
                       match="Quadratic and nonlinear objectives are not supported"):
        p.addObjective(y)
    q = quiet()
    a = q.addVariable()
    q.setObjective(a)
    with pytest.raises(nivra.ModelError,
                       match="Quadratic and nonlinear objectives are not supported"):
        q.addObjective(a * a)
    assert q.attributes.objectives == 1


def test_objective_controls(pxy):
    p, x, _ = pxy
    p.setObjective(x)
    assert p.getControl(objidx=0) == {"priority": 0, "weight": 1.0, "abstol": 0.0,
                                      "reltol": 0.0, "rhs": 0.0}
    p.setControl("WEIGHT", 2.0, objidx=0)
    p.setControl({"abstol": 0.5, 20001: 3}, objidx=0)
    assert p.getControl(["weight", 20004], objidx=0) == {"weight": 2.0, 20004: 0.0}
    assert p.getControl("weight", "priority", objidx=0) == {"weight": 2.0, "priority": 3}
    assert p.getControl(iter(["abstol"]), objidx=0) == {"abstol": 0.5}
    with pytest.raises(nivra.ModelError, match="Control 'weight' requires a float value"):
        p.setControl("weight", 1, objidx=0)
    with pytest.raises(nivra.ModelError, match="requires an integer value"):
        p.setControl("priority", 1.0, objidx=0)
    with pytest.raises(nivra.InterfaceError, match="Invalid objective control id: 20006"):
        p.getControl(20006, objidx=0)
    with pytest.raises(nivra.InterfaceError, match="Invalid objective control: speed"):
        p.getControl("speed", objidx=0)
    with pytest.raises(nivra.InterfaceError, match="Expected a string control name or integer id"):
        p.getControl(1.5, objidx=0)
    with pytest.raises(nivra.ModelError, match="Invalid objective index"):
        p.getControl(objidx=-1)
    with pytest.raises(nivra.ModelError, match="setControl requires at least one argument"):
        p.setControl(objidx=0)
    p.setObjective(objidx=0, weight=3, priority=4)
    assert p.getControl("weight", objidx=0) == 3.0 and p.getControl("priority", objidx=0) == 4
