"""Reference-leak loops over the public API: each scenario runs whole (building, solving, reading
results, failing on bad input) again and again, and no run may leave allocated blocks behind."""

import warnings

import numpy as np
import pytest

import nivra
from helpers.api import quiet
from helpers.leaks import assert_no_leak

nan = float("nan")


def lp_round():
    p = quiet()
    x = p.addVariables(4, ub=10, name="x")
    y = p.addVariables(["a", "b"], name="y")
    p.addConstraint(nivra.Sum(x) + y["a"] <= 12, x[0] - x[1] >= -2,
                    nivra.constraint(body=x[2] + y["b"], lb=1, ub=4, name="rng"))
    p.setObjective(nivra.Dot(np.arange(1, 5), x) + y["a"], sense=nivra.maximize)
    p.optimize()
    p.getSolution(x), p.getSolution(), p.getDuals(), p.getSlacks(), p.getRedCosts()
    c = p.getConstraint()[0]
    c.getSlack(), c.getDual(), c.getBody(), str(c), x[0].getSolution(), x[0].getRedCost()
    p.attributes.objval, p.attributes.lpstatus, p.controls.feastol


def mip_and_qp_round():
    p = quiet()
    x = p.addVariables(3, vartype=nivra.integer, ub=5)
    b = p.addVariable(vartype=nivra.binary)
    p.addConstraint(x[0] + x[1] + x[2] <= 7 * b, x[0] - x[1] >= -1)
    p.setObjective(x[0] + 2 * x[1] + 3 * x[2] + b, sense=nivra.maximize)
    p.optimize()
    q = quiet()
    z = q.addVariables(2, lb=-5)
    q.setObjective(z[0] * z[0] + z[1] ** 2 - z[0] * z[1] + z[0])
    q.optimize()
    q.getSolution()


def edit_round():
    p = quiet()
    x = p.addVariables(5, name="v")
    cons = [x[i] + x[i + 1] <= i for i in range(4)]
    p.addConstraint(cons)
    x[0].lb, x[0].ub, x[0].name, x[1].vartype = -1, 3, "first", nivra.integer
    cons[0].rhs, cons[0].name = 2, "c0"
    p.getVariable(), p.getConstraint(), p.getIndex(x[3]), str(x[0]), str(cons[0])


def failure_round():
    p = quiet()
    x = p.addVariable(ub=4)
    refused = [lambda: p.addVariable(ub=nan), lambda: x <= nan, lambda: x + nan >= 1,
               lambda: p.addVariables(3, lb=nan), lambda: setattr(x, "ub", nan),
               lambda: setattr(x, "name", "a\0b"), lambda: p.addVariable(name="a\0b"),
               lambda: nivra.constraint(body=x, rhs=nan, type=nivra.leq),
               lambda: p.addConstraint(x < 1), lambda: p.addConstraint("x"),
               lambda: p.addVariables(0), lambda: p.getSolution(x),
               lambda: p.read("/nonexistent/file.lp"), lambda: p.optimize("q")]
    for f in refused:
        with pytest.raises((nivra.ModelError, nivra.SolverError, nivra.InterfaceError)):
            f()


def files_round(tmp_dir):
    p = quiet()
    x = p.addVariables(3)
    x2 = p.addVariables(2)  # repeated names: written as default names
    p.addConstraint(nivra.Sum(x) + nivra.Sum(x2) <= 4, x[0] >= 1e-12)
    p.setObjective(nivra.Sum(x), sense=nivra.maximize)
    # Warnings (default names in the files, the dropped coefficient) would be recorded, and the
    # record grows.
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", RuntimeWarning)
        for ext in ("lp", "mps"):
            path = str(tmp_dir / f"leak.{ext}")
            p.write(path)
            q = quiet()
            q.read(path)
            q.getVariable(), q.getConstraint()
        p.optimize()


def array_and_nonlinear_round():
    p = quiet()
    x = p.addVariables(3, 3)
    a = np.arange(9.0).reshape(3, 3)
    p.addConstraint(nivra.Dot(x, np.ones(3)) <= 3, x.sum(axis=0) >= 0.5, a * x <= 10)
    e = nivra.sin(x[0, 0]) + nivra.exp(x[1, 1] * 2) / (1 + x[2, 2] ** 2)
    str(e), nivra.evaluate(e, solution={v: 0.5 for v in x.flat})
    p.setObjective(nivra.Sum(x * a))
    p.optimize()


def unlinked_round():
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nivra.DeprecationWarning)
        x, y = nivra.var(name="ux", ub=3), nivra.var(lb=-1)
        c = nivra.constraint(body=x + 2 * y, lb=0, ub=4, name="uc")
        p = quiet()
        p.addVariable(x, y)
        p.addConstraint(c)
        p.setObjective(x - y)
        p.optimize()
        p.getSolution([x, y]), p.getSlacks(c)


SCENARIOS = [lp_round, mip_and_qp_round, edit_round, failure_round,
             array_and_nonlinear_round, unlinked_round]


@pytest.mark.parametrize("scenario", SCENARIOS, ids=lambda f: f.__name__)
def test_scenario_leaks_nothing(scenario):
    assert_no_leak(scenario)


def test_file_scenario_leaks_nothing(tmp_path):
    assert_no_leak(lambda: files_round(tmp_path))
