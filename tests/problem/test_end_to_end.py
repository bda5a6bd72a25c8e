"""Complete models built through the modelling interface, solved, and read back."""

import gc
import pathlib
import re
import sys

import numpy as np
import pytest

import nivra
from nivra import _nivra
from nivra.enums import SolStatus, SolveStatus

from helpers.transfer import quiet

OPTIMAL = (SolveStatus.COMPLETED, SolStatus.OPTIMAL)


def test_lp_with_known_duals_and_slacks():
    """The textbook product-mix LP: max 3x + 5y, x <= 4, 2y <= 12, 3x + 2y <= 18."""
    p = quiet()
    x, y = p.addVariables(2)
    plant = [x <= 4, 2 * y <= 12, 3 * x + 2 * y <= 18]
    p.addConstraint(plant)
    p.setObjective(3 * x + 5 * y, sense=nivra.maximize)
    assert p.optimize() == OPTIMAL
    assert p.attributes.objval == pytest.approx(36)
    assert p.getSolution([x, y]) == pytest.approx([2, 6])
    assert p.getDuals(plant) == pytest.approx([0, 1.5, 1])  # the shadow prices
    assert p.getSlacks(plant) == pytest.approx([2, 0, 0])
    assert p.getRedCosts() == pytest.approx([0, 0])
    assert [c.getDual() for c in plant] == pytest.approx([0, 1.5, 1])


def test_transport_lp_with_arrays():
    supply = np.array([20.0, 30.0])
    demand = np.array([10.0, 25.0, 15.0])
    cost = np.array([[8.0, 6.0, 10.0], [9.0, 12.0, 13.0]])
    p = quiet()
    ship = p.addVariables(2, 3, name="ship")
    p.addConstraint(nivra.Sum(ship[i, :]) <= supply[i] for i in range(2))
    p.addConstraint(nivra.Sum(ship[:, j]) >= demand[j] for j in range(3))
    p.setObjective(nivra.Sum(cost * ship))
    assert p.optimize() == OPTIMAL
    flows = p.getSolution(ship)
    assert flows.shape == (2, 3)
    assert flows.sum(axis=0) == pytest.approx(demand)
    assert (flows.sum(axis=1) <= supply + 1e-9).all()
    assert p.attributes.objval == pytest.approx((cost * flows).sum())
    assert p.attributes.objval == pytest.approx(465)


def test_mip_knapsack():
    value = [10, 13, 7, 8, 9]
    weight = [5, 6, 4, 3, 4]
    p = quiet()
    take = p.addVariables(5, vartype=nivra.binary)
    p.addConstraint(nivra.Dot(np.array(weight), take) <= 12)
    p.setObjective(nivra.Dot(np.array(value), take), sense=nivra.maximize)
    assert p.optimize() == OPTIMAL
    chosen = [round(v) for v in p.getSolution(take.tolist())]
    assert chosen == [1, 0, 0, 1, 1] and p.attributes.objval == pytest.approx(27)
    with pytest.raises(nivra.ModelError, match="Dual values are not available"):
        p.getDuals()  # a MIP has no duals


def test_convex_qp():
    """min (x - 1)^2 + (y - 2)^2  s.t.  x + y <= 2: the projection (0.5, 1.5)."""
    p = quiet()
    x = p.addVariable(lb=-nivra.infinity)
    y = p.addVariable(lb=-nivra.infinity)
    c = x + y <= 2
    p.addConstraint(c)
    p.setObjective((x - 1) ** 2 + (y - 2) ** 2)
    assert p.optimize() == OPTIMAL
    assert p.getSolution(x, y) == pytest.approx((0.5, 1.5), abs=1e-6)
    assert p.attributes.objval == pytest.approx(0.5, abs=1e-6)
    assert abs(p.getDuals(c)) == pytest.approx(1.0, abs=1e-5)


def test_infeasible_and_unbounded():
    p = quiet()
    x = p.addVariable()
    p.addConstraint(x >= 2, x <= 1)
    assert p.optimize() == (SolveStatus.COMPLETED, SolStatus.INFEASIBLE)
    with pytest.raises(nivra.ModelError, match="Solution is not available"):
        p.getSolution(x)
    q = quiet()
    y = q.addVariable()
    q.addConstraint(y >= 1)
    q.setObjective(y, sense=nivra.maximize)
    assert q.optimize() == (SolveStatus.COMPLETED, SolStatus.UNBOUNDED)


def test_two_objective_lexicographic_mip():
    """max x + y first (priority 2), then max x: among the optima of x + y = 10 with
    2x + y <= 15, x = 5. With the priorities swapped x comes first: x = 7, y = 1."""
    p = quiet()
    x = p.addVariable(vartype=nivra.integer, ub=10)
    y = p.addVariable(vartype=nivra.integer, ub=10)
    p.addConstraint(x + y <= 10, 2 * x + y <= 15)
    p.setObjective(sense=nivra.maximize)
    p.addObjective(x + y, priority=2)
    p.addObjective(x, priority=1)
    assert p.attributes.objectives == 2
    assert p.optimize() == OPTIMAL
    assert p.getSolution(x, y) == (5.0, 5.0)
    p.setControl("priority", 3, objidx=1)
    assert p.optimize() == OPTIMAL
    assert p.getSolution(x, y) == (7.0, 1.0)


def test_model_objects_outlive_their_problem():
    gc.collect()
    base = _nivra._live_counts()
    p = quiet()
    x = p.addVariables(4)
    rows = [x[i] + x[i + 1] <= 1 for i in range(3)]
    p.addConstraint(rows)
    p.setObjective(nivra.Sum(x), sense=nivra.maximize)
    p.optimize()
    kept_var, kept_row = x[2], rows[1]
    refs = sys.getrefcount(kept_var), sys.getrefcount(kept_row)
    del p
    gc.collect()
    # the problem's lists held one reference to each
    assert (sys.getrefcount(kept_var), sys.getrefcount(kept_row)) == (refs[0] - 1, refs[1] - 1)
    assert str(kept_var) == "(deleted variable)" and str(kept_row) == "(deleted constraint)"
    del x, rows, kept_var, kept_row
    gc.collect()
    assert _nivra._live_counts() == base


def test_readme_quick_start_runs_as_written(capsys):
    readme = pathlib.Path(__file__).parents[2] / "README.md"
    code = re.search(r"## Quick start\s+```python\n(.*?)```", readme.read_text(), re.S).group(1)
    exec(compile(code, "README.md", "exec"), {})
    last = capsys.readouterr().out.strip().splitlines()[-1]
    assert [float(v) for v in last.split()] == [34.0, 6.0, 4.0]


def test_building_and_failing_repeatedly_does_not_leak():
    """Every object a scenario makes is released. The interpreter and the solver fill caches
    for a while (a few blocks now and then), so the check is that forty scenarios leave
    fewer than forty blocks behind: a leak of anything per scenario shows as more."""
    def scenario():
        p = quiet()
        x = p.addVariables(20)
        y = p.addVariables(["a", "b"])
        rows = [x[i] + 2 * x[i + 1] >= 1 for i in range(19)]
        p.addConstraint(rows, nivra.constraint(body=y["a"] - y["b"], lb=0, name="r"))
        p.setObjective(nivra.Sum(x) + y["a"] * y["a"])
        p.optimize()
        p.getSolution(x), p.getDuals(rows), p.getSolution({"k": x[0] + 1})
        for fail, error in [(lambda: p.addConstraint(x[0] <= 1, "bad"), nivra.ModelError),
                            (lambda: p.addVariables(3, name="n" * 2000), nivra.SolverError)]:
            try:
                fail()
            except error:
                continue
            raise AssertionError("the call did not fail")

    for _ in range(200):
        scenario()
    growth = []
    for _ in range(3):
        gc.collect()
        before = sys.getallocatedblocks()
        for _ in range(40):
            scenario()
        gc.collect()
        growth.append(sys.getallocatedblocks() - before)
    assert min(growth) < 40, f"allocated blocks per forty scenarios: {growth}"
