"""The set-up of local solves: dependent linear equality rows left out of the interior-point
solve, and non-convex quadratic objectives solved locally when a local solver is chosen."""
import math

import pytest
from helpers.transfer import quiet

import nivra
from nivra.enums import LPStatus, SolStatus

LOCALLY_OPTIMAL, GLOBALLY_OPTIMAL, LOCALLY_INFEASIBLE = 1, 2, 3
INF = nivra.infinity


def stationary(grad_f, rows, duals, redcosts):
    """grad f - sum_i y_i a_i = d, column by column (the rows linear: a_i their coefficients)."""
    for j, g in enumerate(grad_f):
        assert g - sum(y * a[j] for y, a in zip(duals, rows)) == pytest.approx(redcosts[j],
                                                                              abs=1e-6)


# Along the rows' line of solutions f = x1/3 + 16/3 + exp(x1 - x1^2) has two local minima: the
# published optimum 19/3 at x1 = 0, and 20/3 at x1 = 1, where the published start lies.
HS055_MINIMA = {0: ([0, 4 / 3, 5 / 3, 1, 2 / 3, 1 / 3], 19 / 3),
                1: ([1, 5 / 3, 1 / 3, 0, 1 / 3, 5 / 3], 20 / 3)}


# The published start, and the point of the line at x1 = 0.2.
@pytest.mark.parametrize("start", [(1, 2, 0, 0, 0, 2), (0.2, 1.4, 1.4, 0.8, 0.6, 0.6)])
def test_dependent_equalities_do_not_make_a_square_system(start):
    # Hock-Schittkowski 55: six equality rows of rank 5 in six columns. Handed over whole, the
    # interior-point solver took them for a square system and returned a point of their line
    # of solutions with no regard to the objective (6.5002 from the published start), reported
    # as locally optimal.
    p = quiet()
    x = [p.addVariable(lb=0, ub=u) for u in (1, INF, INF, 1, INF, INF)]
    a = [[1, 2, 0, 0, 5, 0], [1, 1, 1, 0, 0, 0], [0, 0, 0, 1, 1, 1], [1, 0, 0, 1, 0, 0],
         [0, 1, 0, 0, 1, 0], [0, 0, 1, 0, 0, 1]]
    rows = [nivra.Sum(c * v for c, v in zip(coefs, x)) == rhs
            for coefs, rhs in zip(a, [6, 3, 2, 1, 2, 2])]
    p.addConstraint(rows)
    p.setObjective(x[0] + 2 * x[1] + 4 * x[4] + nivra.exp(x[0] * x[3]))
    p.nlpsetinitval(x, list(start))
    assert p.optimize()[1] == SolStatus.FEASIBLE
    assert p.getAttrib("nlp_status") == LOCALLY_OPTIMAL
    point, value = HS055_MINIMA[round(start[0])]
    sol = p.getSolution(x)
    assert sol == pytest.approx(point, abs=1e-6)
    assert p.attributes.objval == pytest.approx(value, rel=1e-8)
    assert p.getSlacks(rows) == pytest.approx([0] * 6, abs=1e-7)
    # The row left out has multiplier 0 and the others carry it: the KKT conditions hold with
    # the duals reported; x1 and x4 lie at a bound each (the sign of the reduced cost says
    # which), the others inside their bounds.
    e = math.exp(sol[0] * sol[3])
    d = p.getRedCosts(x)
    stationary([1 + sol[3] * e, 2, 0, sol[0] * e, 4, 0], a, p.getDuals(rows), d)
    for j in (0, 3):
        assert d[j] * (1 if sol[j] < 0.5 else -1) >= -1e-7
    assert d[1:3] + d[4:] == pytest.approx([0] * 4, abs=1e-6)


def test_dependent_rows_through_fixed_columns_and_inconsistent_ones():
    p = quiet()
    x = p.addVariable(lb=-10)
    y = p.addVariable(lb=-10)
    z = p.addVariable(lb=1, ub=1)  # fixed: x + y + z == 2 is x + y == 1
    rows = [x + y + z == 2, 2 * x + 2 * y == 2]
    p.addConstraint(rows)
    p.setObjective(nivra.exp(x) + (y - 2) ** 2)
    # A convex model: the local optimum is proven global.
    assert p.optimize()[1] == SolStatus.OPTIMAL
    assert p.getAttrib("nlp_status") == GLOBALLY_OPTIMAL
    u, v = p.getSolution([x, y])
    assert u + v == pytest.approx(1, abs=1e-9)
    assert math.exp(u) - 2 * (v - 2) == pytest.approx(0, abs=1e-7)  # stationary along the line
    stationary([math.exp(u), 2 * (v - 2), 0], [[1, 1, 1], [2, 2, 0]], p.getDuals(rows),
               p.getRedCosts([x, y, z]))
    # A dependent row whose right-hand side disagrees stays: the problem is infeasible, never
    # solved by leaving the row out.
    rows[1].rhs = 3
    assert p.optimize()[1] == SolStatus.INFEASIBLE
    assert p.getAttrib("nlp_status") == LOCALLY_INFEASIBLE


def hs044(p):
    x = [p.addVariable(lb=0) for _ in range(4)]
    rows = [x[0] + 2 * x[1] <= 8, 4 * x[0] + x[1] <= 12, 3 * x[0] + 4 * x[1] <= 12,
            2 * x[2] + x[3] <= 8, x[2] + 2 * x[3] <= 8, x[2] + x[3] <= 5]
    p.addConstraint(rows)
    p.setObjective(x[0] - x[1] - x[2] - x[0] * x[2] + x[0] * x[3] + x[1] * x[2] - x[1] * x[3])
    return x, rows


@pytest.mark.parametrize("solver", [1, 2])
def test_non_convex_quadratic_objective_solved_locally_on_request(solver):
    p = quiet()
    x, rows = hs044(p)
    # By default the non-convex objective is a status and nothing is solved.
    p.optimize()
    assert p.attributes.lpstatus == LPStatus.NONCONVEX
    assert p.attributes.solstatus == SolStatus.NOTFOUND
    said = []
    p.addcbmessage(lambda prob, data, msg, msgtype: said.append(msg))
    p.controls.nlp_solver = solver
    assert p.optimize()[1] == SolStatus.FEASIBLE
    # A local solution: the linear status still says the objective is not convex.
    assert p.attributes.lpstatus == LPStatus.NONCONVEX
    assert p.getAttrib("nlp_status") == LOCALLY_OPTIMAL
    assert any("not convex" in m and "locally" in m for m in said), said
    sol = p.getSolution(x)
    # From the origin both solvers reach a local minimum: -13 at (3, 0, 4, 0), or the global
    # one -15 at (0, 3, 0, 4); the value reported is the objective at the point.
    assert p.attributes.objval in (pytest.approx(-13, abs=1e-6), pytest.approx(-15, abs=1e-6))
    a, b, c, e = sol
    assert p.attributes.objval == pytest.approx(a - b - c - a * c + a * e + b * c - b * e,
                                                abs=1e-9)
    assert min(sol) >= -1e-9 and min(p.getSlacks(rows)) >= -1e-7
    p.controls.nlp_solver = 0
    p.optimize()
    assert p.attributes.lpstatus == LPStatus.NONCONVEX
    assert p.attributes.solstatus == SolStatus.NOTFOUND


def test_maximising_a_convex_objective_locally():
    p = quiet()
    u = p.addVariable(lb=-1, ub=2)
    p.setObjective(u * u - u, sense=nivra.maximize)
    p.controls.nlp_solver = 2
    p.nlpsetinitval([u], [1.5])
    assert p.optimize()[1] == SolStatus.FEASIBLE
    assert p.getSolution(u) == pytest.approx(2, abs=1e-7)
    assert p.attributes.objval == pytest.approx(2, abs=1e-7)


@pytest.mark.parametrize("solver", [1, 2])
def test_start_outside_the_bounds_is_moved_into_them(solver):
    # log(x) cannot be evaluated at the start given; the solve starts from it moved into the
    # column bounds, where it can.
    p = quiet()
    x = p.addVariable(lb=0.5, ub=10)
    y = p.addVariable(lb=-1, ub=1)
    p.setObjective((nivra.log(x) - 1) ** 2 + (y - 2) ** 2)
    p.controls.nlp_solver = solver
    p.nlpsetinitval([x, y], [-3, 5])
    assert p.optimize()[1] == SolStatus.FEASIBLE
    assert p.getAttrib("nlp_status") == LOCALLY_OPTIMAL
    assert p.getSolution([x, y]) == pytest.approx([math.e, 1], abs=1e-5)
