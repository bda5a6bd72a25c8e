"""The Hock-Schittkowski problems of bench/hs against their published data, without a solver.

At the published optimum x*, the objective equals f* and every constraint and bound holds, within
what the published digits of x* allow; the Nivra model built from each formulation evaluates,
in the module and in the library, to the same numbers as the formulation on floats; and the
peer's derivatives are exact.
"""

import math
import os
import sys

import pytest

import nivra
from nivra import _nivra

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "bench"))

from hs import PROBLEMS  # noqa: E402
from hs import autodiff  # noqa: E402
from hs.nivra_model import build  # noqa: E402

ALL = list(PROBLEMS.values())
IDS = [p.name for p in ALL]
REL = 1e-5  # the published f* and exact points: relative agreement asked of the data


def rounding(problem):
    """Half a unit in the last published digit of each component of x* (0 when exact)."""
    if problem.digits is None:
        return [0.0] * problem.n
    return [0.5 * 10 ** (math.floor(math.log10(abs(v))) - problem.digits + 1) if v else 0.0
            for v in problem.xstar]


def slack(fn, x, delta):
    """How far fn may move when each x_i moves by delta_i (first order, doubled for safety)."""
    total = 0.0
    for i, d in enumerate(delta):
        if d:
            h = 1e-7 * max(1.0, abs(x[i]))
            up, down = list(x), list(x)
            up[i] += h
            down[i] -= h
            total += abs(fn(up) - fn(down)) / (2 * h) * d
    return 2 * total


def violation(row, value):
    low = row.lo - value if row.lo is not None else 0.0
    high = value - row.hi if row.hi is not None else 0.0
    return max(low, high, 0.0)


@pytest.mark.parametrize("problem", ALL, ids=IDS)
def test_published_optimum_has_the_published_value_and_is_feasible(problem):
    x, delta = list(problem.xstar), rounding(problem)
    objective, rows = problem.evaluate(x)
    allowed = REL * max(1.0, abs(problem.fstar)) + slack(lambda y: problem.evaluate(y)[0], x, delta)
    assert abs(objective - problem.fstar) <= allowed, (objective, problem.fstar, allowed)
    for k, row in enumerate(rows):
        allowed = 1e-6 * max(1.0, abs(row.lo or 0.0), abs(row.hi or 0.0)) + slack(
            lambda y, k=k: problem.evaluate(y)[1][k].body, x, delta)
        assert violation(row, row.body) <= allowed, (k, row, allowed)
    for v, lo, hi, d in zip(x, problem.lb, problem.ub, delta):
        assert lo - d <= v <= hi + d
    assert len(problem.lb) == len(problem.ub) == problem.n


def test_collection_size_and_problem_kinds():
    assert len(ALL) >= 70
    rows = [problem.evaluate(problem.x0)[1] for problem in ALL]
    bounded = [p for p in ALL if any(math.isfinite(b) for b in p.lb + p.ub)]
    assert sum(1 for r in rows if not r) >= 8  # unconstrained or bounds only
    assert sum(1 for r in rows if r and all(c.lo == c.hi for c in r)) >= 15  # equalities only
    assert sum(1 for r in rows if any(c.lo != c.hi for c in r)) >= 30  # with inequalities
    assert len(bounded) >= 35


def as_float(value):
    return value if isinstance(value, float) else float(value)


@pytest.mark.parametrize("problem", ALL, ids=IDS)
def test_nivra_model_evaluates_as_the_formulation(problem):
    p = nivra.problem()
    p.setOutputEnabled(False)
    x, objective, rows = build(problem, p)
    # a nonlinear objective goes to the library through one transfer column and row
    transfer = int(type(objective).__name__ == "nonlinear")
    assert p.attributes.originalcols == problem.n + transfer
    assert p.attributes.originalrows == len(rows) + transfer
    for point in (problem.x0, problem.xstar):
        expected, expected_rows = problem.evaluate(point)
        values = dict(zip(x, point))
        module = nivra.evaluate(objective, *[r.body for r in rows], solution=values)
        module = module if rows else (module,)
        library = [_nivra._algebra("formula_evaluate", p, t, list(point))
                   for t in [objective] + [r.body for r in rows]]
        want = [expected] + [r.body for r in expected_rows]
        assert list(map(as_float, module)) == pytest.approx(want, rel=1e-12, abs=1e-12)
        assert library == pytest.approx(want, rel=1e-12, abs=1e-12)
    for var, lo, hi in zip(x, problem.lb, problem.ub):
        assert (var.lb, var.ub) == (max(lo, -nivra.infinity), min(hi, nivra.infinity))


@pytest.mark.parametrize("problem", ALL, ids=IDS)
def test_peer_derivatives_match_differences(problem):
    point = [v + 0.1 * (i % 3 - 1) * max(1.0, abs(v)) * 0.01 for i, v in enumerate(problem.xstar)]
    objective, rows = problem.evaluate(autodiff.variables(point), autodiff.MATH)
    for k, value in enumerate([objective] + [r.body for r in rows]):
        if not isinstance(value, autodiff.Value):
            continue  # a constant
        assert value.f == pytest.approx(
            ([problem.evaluate(point)[0]] + [r.body for r in problem.evaluate(point)[1]])[k],
            rel=1e-12, abs=1e-12)
        for i in range(problem.n):
            h = 1e-6 * max(1.0, abs(point[i]))
            up, down = list(point), list(point)
            up[i] += h
            down[i] -= h
            g_up = problem.evaluate(autodiff.variables(up), autodiff.MATH)
            g_down = problem.evaluate(autodiff.variables(down), autodiff.MATH)
            pick = (lambda r: r[0]) if k == 0 else (lambda r, k=k: r[1][k - 1].body)
            diff_grad = (pick(g_up).f - pick(g_down).f) / (2 * h)
            diff_hess = (pick(g_up).g - pick(g_down).g) / (2 * h)
            scale = max(1.0, abs(value.g[i]), float(abs(value.h[i]).max()))
            assert value.g[i] == pytest.approx(diff_grad, abs=1e-5 * scale)
            assert value.h[i] == pytest.approx(diff_hess, abs=1e-5 * scale)
