"""Solving and reading results: optimize, getSolution in all its forms, duals, slacks, reduced
costs, their callback variants and the deprecated queries."""

import signal
import warnings

import numpy as np
import pytest

import nivra
from nivra.enums import SolStatus, SolveStatus

from helpers.transfer import quiet


@pytest.fixture
def solved():
    """max x + 2y  s.t.  c1: x + y <= 4,  c2: y <= 3  (x, y >= 0): x = 1, y = 3."""
    p = quiet()
    x = p.addVariable(name="x")
    y = p.addVariable(name="y")
    c1 = nivra.constraint(body=x + y, ub=4, name="c1")
    c2 = nivra.constraint(body=y, ub=3, name="c2")
    p.addConstraint(c1, c2)
    p.setObjective(x + 2 * y, sense=nivra.maximize)
    assert p.optimize() == (SolveStatus.COMPLETED, SolStatus.OPTIMAL)
    return p, x, y, c1, c2


def test_nothing_before_a_solve():
    p = quiet()
    x = p.addVariable()
    c = x <= 1
    p.addConstraint(c)
    with pytest.raises(nivra.ModelError, match="Solution is not available"):
        p.getSolution()
    with pytest.raises(nivra.ModelError, match="Dual values are not available"):
        p.getDuals()
    with pytest.raises(nivra.ModelError, match="Slack values are not available"):
        p.getSlacks(c)
    with pytest.raises(nivra.ModelError, match="Reduced costs are not available"):
        p.getRedCosts()
    # Outside a callback the library reports no callback solution.
    for method, message in [(p.getCallbackSolution, "Solution"), (p.getCallbackDuals, "Dual values"),
                            (p.getCallbackSlacks, "Slack values"), (p.getCallbackRedCosts, "Reduced costs")]:
        with pytest.raises(nivra.ModelError, match=message + " (is|are) not available"):
            method()


def test_optimize_returns_enumeration_members():
    p = quiet()
    status = p.solve()
    assert isinstance(status, tuple) and len(status) == 2
    assert isinstance(status[0], SolveStatus) and isinstance(status[1], SolStatus)
    assert status[0] == SolveStatus.COMPLETED
    with pytest.raises(nivra.SolverError):
        p.optimize("z")  # an unknown algorithm letter


def test_solution_forms(solved):
    p, x, y, _, _ = solved
    assert p.getSolution() == [1.0, 3.0]
    assert p.getSolution(x) == 1.0 and isinstance(p.getSolution(x), float)
    assert p.getSolution([x, y]) == [1.0, 3.0]
    assert p.getSolution((x, y)) == (1.0, 3.0)
    assert p.getSolution({"a": x, "b": (y,)}) == {"a": 1.0, "b": (3.0,)}
    assert p.getSolution([[x], [y]]) == [[1.0], [3.0]]
    assert p.getSolution([[x], [y]], flatten=True) == [1.0, 3.0]
    assert p.getSolution([[x], [y]], flatten=1) == [[1.0], [3.0]]  # only True flattens
    assert p.getSolution(x + 2 * y) == 7.0
    assert p.getSolution(x * y - 1) == 2.0
    assert p.getSolution(0) == 1.0 and p.getSolution("y") == 3.0
    assert p.getSolution(x, [y]) == (1.0, [3.0])
    arr = p.getSolution(np.array([[x, y], [y, x]]))
    assert arr.dtype == np.float64 and arr.tolist() == [[1.0, 3.0], [3.0, 1.0]]
    with pytest.raises(nivra.InterfaceError, match="out-of-range index"):
        p.getSolution(2)
    with pytest.raises(nivra.ModelError, match="Index out of range"):
        p.getSolution(5, flatten=True)


def test_values_per_row_and_column(solved):
    p, x, y, c1, c2 = solved
    assert p.getDuals() == [1.0, 1.0]
    assert p.getDuals(c2) == 1.0
    assert p.getDuals(c1, c2) == [1.0, 1.0]
    assert p.getDuals("c1") == [1.0]  # a name is a sequence: a list
    assert p.getDuals([c2, (c1,)], {"k": 0}) == [1.0, 1.0, 1.0]
    assert p.getSlacks() == [0.0, 0.0]
    assert p.getRedCosts(x, y) == [0.0, 0.0]
    assert p.getRedCosts(np.int64(1)) == 0.0
    for bad in (-1, 2, "nosuchcolumn"):
        with pytest.raises(nivra.ModelError, match="Index out of range"):
            p.getRedCosts(bad)
    with pytest.raises(nivra.ModelError, match="Incorrect object"):
        p.getDuals(x)  # a variable does not name a row
    with pytest.raises(nivra.ModelError, match="Incorrect object"):
        p.getRedCosts(c1)


def test_deprecated_queries(solved, deprecations_as_errors):
    p, x, y, c1, c2 = solved
    for call in (p.getObjVal, p.getProbStatus, p.getProbStatusString, lambda: p.getDual(c1),
                 lambda: p.getSlack(), lambda: p.getRCost(x)):
        with pytest.raises(nivra.DeprecationWarning, match="Deprecated in Nivra 9.5: use"):
            call()
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nivra.DeprecationWarning)
        assert p.getObjVal() == 7.0
        assert (p.getProbStatus(), p.getProbStatusString()) == (1, "lp_optimal")
        assert p.getDual(c1) == 1.0 and p.getSlack() == [0.0, 0.0] and p.getRCost(x) == 0.0
        x.vartype = nivra.integer
        p.optimize()
        assert (p.getProbStatus(), p.getProbStatusString()) == (6, "mip_optimal")
        assert p.getObjVal() == 7.0


def test_the_interpreter_sigint_handler_is_back_after_a_solve(solved):
    p = solved[0]
    handler = signal.getsignal(signal.SIGINT)
    p.optimize()
    assert signal.getsignal(signal.SIGINT) is handler


def test_zero_duals_and_values_are_plain_zeros():
    """The engine's negative zeros do not reach the user (they print as -0.0)."""
    import math

    p = quiet()
    x = p.addVariables(3, ub=10)
    rows = [nivra.Sum(x) >= 2, x[0] + x[1] <= 50, x[1] - x[2] >= -40, x[2] <= 30]
    p.addConstraint(rows)
    p.setObjective(x[0] + 3 * x[1] + 2 * x[2])
    p.optimize()
    values = p.getDuals() + p.getRedCosts() + p.getSolution()
    assert values.count(0.0) >= 5
    assert all(math.copysign(1.0, v) > 0 for v in values if v == 0.0)
