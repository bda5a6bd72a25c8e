"""Nonlinear models solved to their known optima, and the solve's statuses and failures."""
import math

import numpy as np
import pytest
from helpers.transfer import quiet

import nivra

LOCALLY_OPTIMAL, GLOBALLY_OPTIMAL, LOCALLY_INFEASIBLE = 1, 2, 3


def solved(p):
    status = p.optimize()
    return status, p.getAttrib("nlp_status")


def test_rosenbrock_from_the_classic_start():
    p = quiet()
    x = p.addVariable(lb=-10, name="x")
    y = p.addVariable(lb=-10, name="y")
    p.setObjective((1 - x) ** 2 + 100 * (y - x**2) ** 2)
    p.nlpsetinitval([x, y], [-1.2, 1.0])
    status, nlp = solved(p)
    # A local solver proves no global optimum: feasible, locally optimal.
    assert status == (nivra.enums.SolveStatus.COMPLETED, nivra.enums.SolStatus.FEASIBLE)
    assert nlp == LOCALLY_OPTIMAL
    assert p.getSolution([x, y]) == pytest.approx([1.0, 1.0], abs=1e-6)
    assert p.attributes.objval == pytest.approx(0.0, abs=1e-10)
    assert p.getAttrib("ipm_iterations") > 0
    assert p.getAttrib("nlp_objval") == p.attributes.objval


def hs71(solver, point_tol):
    # min x1 x4 (x1 + x2 + x3) + x3  s.t.  x1 x2 x3 x4 >= 25,  sum x^2 = 40,  1 <= x <= 5
    # (Hock-Schittkowski 71: f* = 17.0140173, x* = (1, 4.7429994, 3.8211503, 1.3794082)).
    p = quiet()
    p.setControl("nlp_solver", solver)
    x = [p.addVariable(lb=1, ub=5) for _ in range(4)]
    prod = x[0] * x[1] * x[2] * x[3] >= 25
    ball = nivra.Sum(v**2 for v in x) == 40
    p.addConstraint(prod, ball)
    p.setObjective(x[0] * x[3] * (x[0] + x[1] + x[2]) + x[2])
    p.nlpsetinitval(x, [1, 5, 5, 1])
    status, nlp = solved(p)
    assert nlp == LOCALLY_OPTIMAL
    # The objective is flat near x*: a point within point_tol gives f* within 1e-7.
    assert p.getSolution(x) == pytest.approx([1.0, 4.7429994, 3.8211503, 1.3794082],
                                             rel=point_tol)
    assert p.attributes.objval == pytest.approx(17.0140173, rel=1e-7)
    return p, x, prod, ball


def test_successive_linear_programming_reaches_the_same_point():
    p, *_ = hs71(solver=1, point_tol=1e-4)
    assert p.getAttrib("slp_iterations") > 0 and p.getAttrib("ipm_iterations") == 0


def test_constrained_kkt_point_and_duals():
    p, x, prod, ball = hs71(solver=2, point_tol=1e-6)
    sol = p.getSolution(x)
    # Both rows are active: slack 0; the duals and reduced costs make the Lagrangian stationary:
    # grad f - y1 grad g1 - y2 grad g2 = d, with d = 0 for the columns inside their bounds.
    assert p.getSlacks([prod, ball]) == pytest.approx([0, 0], abs=1e-6)
    y1, y2 = p.getDuals([prod, ball])
    d = p.getRedCosts(x)
    a, b, c, e = sol
    grad_f = [e * (2 * a + b + c), a * e, a * e + 1, a * (a + b + c)]
    grad_g1 = [b * c * e, a * c * e, a * b * e, a * b * c]
    grad_g2 = [2 * v for v in sol]
    for j in range(4):
        assert grad_f[j] - y1 * grad_g1[j] - y2 * grad_g2[j] == pytest.approx(d[j], abs=1e-6)
    assert d[1:] == pytest.approx([0, 0, 0], abs=1e-6)  # x2..x4 lie inside their bounds
    assert d[0] > 0  # x1 at its lower bound of a minimisation


def test_user_function_objective_and_its_exception():
    calls = []

    def f(a, b):
        calls.append((a, b))
        return (a - 3) ** 2 + (b + 1) ** 2 + math.sin(a * b) ** 2

    p = quiet()
    x = p.addVariable(lb=0, ub=10)
    y = p.addVariable(lb=-5, ub=5)
    p.setObjective(nivra.user(f, x, y))
    p.addConstraint(x + y <= 1.5)
    _, nlp = solved(p)
    assert nlp == LOCALLY_OPTIMAL and calls
    a, b = p.getSolution([x, y])
    assert a + b <= 1.5 + 1e-6
    # A point where every nearby feasible point is worse: compare with a fine grid on x + y = 1.5.
    grid = min(f(t, 1.5 - t) for t in np.linspace(0, 6.5, 6501))
    assert p.attributes.objval == pytest.approx(min(grid, p.attributes.objval), abs=1e-6)
    assert p.attributes.objval <= grid + 1e-6

    def broken(a, b):
        raise ZeroDivisionError("broken on purpose")

    q = quiet()
    u = q.addVariable(lb=0, ub=1)
    q.setObjective(nivra.user(broken, u, u))
    with pytest.raises(ZeroDivisionError, match="broken on purpose"):
        q.optimize()


def test_domain_errors_shorten_the_step():
    # min x - log(x) over [-5, 5]: the solver's steps into x <= 0 cannot be evaluated.
    p = quiet()
    x = p.addVariable(lb=-5, ub=5)
    p.setObjective(x - nivra.log(x) + nivra.sqrt(x + 5))
    _, nlp = solved(p)
    assert nlp == LOCALLY_OPTIMAL
    v = p.getSolution(x)
    assert 1 - 1 / v + 0.5 / math.sqrt(v + 5) == pytest.approx(0, abs=1e-6)


def test_infeasible_model_is_not_reported_as_a_solution():
    p = quiet()
    x = p.addVariable(lb=-3, ub=3)
    y = p.addVariable(lb=-3, ub=3)
    p.addConstraint(nivra.exp(x) + y**2 <= 1)
    p.addConstraint(x + y >= 3)
    p.setObjective(x + y)
    for solver in (2, 1):
        p.setControl("nlp_solver", solver)
        status, nlp = solved(p)
        assert nlp == LOCALLY_INFEASIBLE
        assert status[1] == nivra.enums.SolStatus.INFEASIBLE
        with pytest.raises(nivra.ModelError, match="Solution is not available"):
            p.getSolution()


def test_mixed_integer_nonlinear_and_maximisation():
    # max -(n - 2.4)^2 - (y - n)^2 + log(y + 1), n integer: n = 3 (0.96 at n = 2, 1.04 at n = 3),
    # y solves 2(y - 3) = 1/(y + 1).
    p = quiet()
    n = p.addVariable(lb=0, ub=5, vartype=nivra.integer)
    y = p.addVariable(lb=0, ub=10)
    p.setObjective(-((n - 2.4) ** 2) - (y - n) ** 2 + nivra.log(y + 1), sense=nivra.maximize)
    for solver, tol in ((1, 1e-5), (0, 1e-6)):  # either branch and bound
        p.setControl("nlp_solver", solver)
        status, nlp = solved(p)
        # Concave: Bonmin's search (0) proves the optimum, the SLP search reports a solution.
        assert nlp == (GLOBALLY_OPTIMAL if solver == 0 else LOCALLY_OPTIMAL)
        sn, sy = p.getSolution([n, y])
        assert sn == 3 and 2 * (sy - 3) == pytest.approx(1 / (sy + 1), abs=tol)
        assert p.attributes.objval == pytest.approx(-0.36 - (sy - 3) ** 2 + math.log(sy + 1),
                                                    rel=1e-9)


def test_nonconvex_quadratic_rows_with_formulas():
    # A quadratic equality (refused by the quadratic solvers) is one more smooth row here.
    p = quiet()
    x = p.addVariable(lb=0, ub=4)
    y = p.addVariable(lb=0, ub=4)
    p.addConstraint(x * y == 2)
    p.setObjective(nivra.exp(x) + y)
    _, nlp = solved(p)
    assert nlp == LOCALLY_OPTIMAL
    a, b = p.getSolution([x, y])
    assert a * b == pytest.approx(2, abs=1e-6) and math.exp(a) == pytest.approx(2 / a**2, rel=1e-5)


def test_multistart_finds_the_better_of_two_local_minima():
    # 10 (x^2 - 1)^2 + x has local minima near x = 0.987 (0.99) and x = -1.012 (-1.01), a wall
    # of height 10 between them; from x = 2 a local solve ends at the first.
    def problem():
        p = quiet()
        x = p.addVariable(lb=-3, ub=3)
        p.setObjective(10 * (x**2 - 1) ** 2 + x)
        p.nlpsetinitval([x], [2.0])
        return p, x

    p, x = problem()
    p.optimize()
    assert p.getSolution(x) > 0
    p, x = problem()
    p.msaddpreset("random", 1, 8, "job")
    p.msaddjob("the start", [x], [2.0], {"nlp_solver": 1}, None)
    p.optimize()
    grid = np.linspace(-3, 3, 600001)
    assert p.attributes.objval == pytest.approx((10 * (grid**2 - 1) ** 2 + grid).min(), abs=1e-8)


def test_multistart_side_by_side_keeps_the_serial_winner():
    # 8 random starts of the SLP solver in a 6-column double well: the runs go side by side
    # (the module's message callback does not hold them back) and the winner is the serial one.
    lines = []

    def solve(threads):
        p = quiet()
        p.addcbmessage(lambda problem, data, msg, msgtype: lines.append(msg), None, 0)
        x = p.addVariables(6, lb=-3, ub=3)
        p.setObjective(nivra.Sum(10 * (v**2 - 1) ** 2 + 0.1 * (j + 1) * v
                                 for j, v in enumerate(x)))
        p.setControl({"nlp_solver": 1, "ms_threads": threads})
        p.msaddpreset("random", 1, 8, None)
        p.optimize()
        return p.attributes.objval, list(p.getSolution(x))

    side_by_side, serial = solve(0), solve(1)
    assert side_by_side == serial  # bit for bit
    assert all(abs(abs(v) - 1) < 0.05 for v in serial[1])  # a local minimum of every well
    summaries = [line for line in lines if line.startswith("Multistart:")]
    assert ["8 runs of 8 side by side" in line for line in summaries] == [True, False]
