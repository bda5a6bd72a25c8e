"""max, min, abs, And, Or and pwl as general and piecewise-linear constraints: optima checked by
enumeration, the constraints read back through the API, refusals that name the constraint."""

import itertools

import numpy as np
import pytest

import nivra

from helpers.transfer import quiet

# (model expression, the same on numbers) of three integer variables in [-2, 3]
CASES = [
    (lambda x, y, z: nivra.max(x, y + z, 1) <= 2, lambda x, y, z: max(x, y + z, 1) <= 2),
    (lambda x, y, z: nivra.min(x, 2 * y) >= z - 1, lambda x, y, z: min(x, 2 * y) >= z - 1),
    (lambda x, y, z: abs(x - y) + abs(z) <= 3, lambda x, y, z: abs(x - y) + abs(z) <= 3),
    (lambda x, y, z: 2 * nivra.max(x, nivra.min(y, z)) - x == 2,
     lambda x, y, z: 2 * max(x, min(y, z)) - x == 2),
]


@pytest.mark.parametrize("case", range(len(CASES)))
def test_constraints_match_enumeration(case):
    model, numbers = CASES[case]
    c = np.array([3.0, -2.0, 1.5])
    p = quiet()
    v = p.addVariables(3, lb=-2, ub=3, vartype=nivra.integer)
    p.addConstraint(model(*v))
    p.setObjective(nivra.Dot(c, v), sense=nivra.maximize)
    p.optimize()
    best = max(c @ pt for pt in itertools.product(range(-2, 4), repeat=3) if numbers(*pt))
    assert p.attributes.objval == pytest.approx(best)
    assert p.attributes.gencons >= 1 and len(p.getVariable()) == p.attributes.cols


def test_logical_constraints_match_enumeration():
    p = quiet()
    b = p.addVariables(4, vartype=nivra.binary)
    p.addConstraint(nivra.Or(nivra.And(b[0], b[1]), b[2]) == 1, nivra.And(b[1], b[3]) == 0)
    w = np.array([4.0, -1.0, -3.0, 2.0])
    p.setObjective(nivra.Dot(w, b), sense=nivra.maximize)
    p.optimize()
    best = max(w @ bits for bits in itertools.product((0, 1), repeat=4)
               if ((bits[0] and bits[1]) or bits[2]) and not (bits[1] and bits[3]))
    assert p.attributes.objval == pytest.approx(best)


def test_piecewise_linear_costs_with_a_jump_and_end_slopes():
    p = quiet()
    x = p.addVariable(lb=-3, ub=12)
    cost = nivra.pwl({(0, 4): 2 * x, (4, 8): x + 10, (8, 10): 3 * x - 6})  # jump at 4
    p.setObjective(cost - 1.5 * x)
    p.optimize()
    f = lambda t: (2 * t if t <= 4 else t + 10 if t <= 8 else 3 * t - 6)  # noqa: E731
    # beyond the breakpoints the end slopes continue: 2 below 0, 3 above 10
    g = lambda t: 2 * t if t < 0 else (3 * t - 6 if t > 10 else f(t))  # noqa: E731
    grid = np.linspace(-3, 12, 1501)
    assert p.attributes.objval == pytest.approx(min(g(t) - 1.5 * t for t in grid), abs=1e-6)
    start, xs, ys = [], [], []
    col, res = [], []
    p.getpwlcons(col, res, start, xs, ys, 100, 0, 0)
    assert col == [x] and xs == [0.0, 4.0, 4.0, 8.0, 10.0] and ys == [0.0, 8.0, 14.0, 18.0, 24.0]


def test_unbounded_operands_are_refused_naming_the_constraint():
    p = quiet()
    x, y = p.addVariable(lb=-nivra.infinity, ub=10), p.addVariable(ub=5)
    p.addConstraint(nivra.max(x, y) >= 1)
    with pytest.raises(nivra.SolverValueError, match="general constraint 0 \\(max\\) needs a "
                                                     "finite lower bound on column 0"):
        p.optimize()
    x.lb = -4  # now a big-M exists
    p.setObjective(x)
    p.optimize()
    assert p.attributes.objval == pytest.approx(-4.0)


def test_implied_bounds_of_auxiliary_columns_give_the_big_m():
    p = quiet()
    a, b = p.addVariable(lb=-5, ub=5), p.addVariable(lb=-5, ub=5)
    p.addConstraint(a + b == 3)
    p.setObjective(abs(a - 2 * b))  # the operand is a column t == a - 2b without bounds
    p.optimize()
    assert p.attributes.objval == pytest.approx(0.0) and p.getSolution(a) == pytest.approx(2.0)


def test_a_failed_addition_takes_its_general_constraints_back():
    p = quiet()
    x, y = p.addVariables(2, ub=3)
    counts = (p.attributes.cols, p.attributes.rows, p.attributes.gencons)
    other = quiet()
    with pytest.raises(nivra.ModelError, match="different problem"):
        p.addConstraint(x <= 1, nivra.max(x + y, 1) + nivra.exp(other.addVariable()) <= 3)
    assert (p.attributes.cols, p.attributes.rows, p.attributes.gencons) == counts
    assert len(p.getVariable()) == 2 and p.getConstraint() == []


def test_general_constraints_through_the_api():
    p = quiet()
    x = p.addVariables(4, lb=-2, ub=2)
    p.addgencons([0, 4], [x[3], x[2]], [0, 2], [x[0], x[1], x[0]], [0, 1], [1.5])
    types, res, cs, cols, vs, vals = [], [], [], [], [], []
    p.getgencons(types, res, cs, cols, 10, vs, vals, 10, 0, 1)
    assert (types, res, cs, cols, vs, vals) == ([0, 4], [x[3], x[2]], [0, 2, 3],
                                                 [x[0], x[1], x[0]], [0, 1, 1], [1.5])
    p.setObjective(x[3] - x[2])  # x3 = max(x0, x1, 1.5), x2 = |x0|
    p.optimize()
    assert p.attributes.objval == pytest.approx(min(max(a, b, 1.5) - abs(a)
                                                    for a in np.linspace(-2, 2, 41)
                                                    for b in np.linspace(-2, 2, 41)))
    p.delgencons([0])
    assert p.attributes.gencons == 1
    p.addpwlcons([x[0]], [x[1]], [0], [0, 1], [0, 2])
    p.delpwlcons([0])
    assert p.attributes.pwlcons == 0
    with pytest.raises(nivra.SolverValueError, match="must have exactly one column"):
        p.addgencons([4], [x[3]], [0], [x[0], x[1]])
    with pytest.raises(nivra.NotSupportedError, match="general constraints"):
        p.write("never.lp")
