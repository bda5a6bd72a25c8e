"""Models proven convex keep the proven statuses of their solves (globally optimal, a MIP
optimum with its bound); models that are not stay local, and the log says which it is."""
import itertools
import math
import pathlib
import subprocess
import sys

import pytest
from helpers.transfer import quiet

import nivra

LOCALLY_OPTIMAL, GLOBALLY_OPTIMAL = 1, 2
OMEGA = 0.5671432904097838  # the root of x e^x = 1
SolStatus, MIPStatus = nivra.enums.SolStatus, nivra.enums.MIPStatus


def logged(p):
    """The problem's log lines from now on."""
    lines = []
    p.addcbmessage(lambda prob, data, msg, kind: lines.append(msg), None, 0)
    return lines


def verdict(lines):
    (line,) = [m for m in lines if m and m.startswith("Convexity:")]
    return line


def convex_row(p, x, y):
    p.addConstraint(nivra.log(y) >= x)


def exp_model(sense=nivra.minimize, rows=convex_row, user=False):
    """min exp(x) + x^2 + y s.t. log(y) >= x: y = e^x at the optimum, 2e^x + 2x = 0, x = -omega
    (a maximisation of the negation with sense maximize); rows adds the rows; user states the
    objective as a user function."""
    p = quiet()
    x = p.addVariable(lb=-5, ub=5)
    y = p.addVariable(lb=0.1, ub=5)
    rows(p, x, y)
    objective = (nivra.user(lambda a, b: math.exp(a) + a * a + b, x, y) if user
                 else nivra.exp(x) + x**2 + y)
    p.setObjective(objective if sense == nivra.minimize else -objective, sense=sense)
    return p, x, y


@pytest.mark.parametrize("sense", [nivra.minimize, nivra.maximize])
def test_convex_program_is_solved_to_its_global_optimum(sense):
    p, x, y = exp_model(sense)
    lines = logged(p)
    assert p.optimize() == (nivra.enums.SolveStatus.COMPLETED, SolStatus.OPTIMAL)
    assert verdict(lines) == "Convexity: the model is convex: a local optimum is a global one"
    assert p.getAttrib("nlp_status") == GLOBALLY_OPTIMAL
    assert p.getSolution([x, y]) == pytest.approx([-OMEGA, OMEGA], abs=1e-6)
    optimum = sense * (2 * OMEGA + OMEGA**2)
    assert p.attributes.objval == pytest.approx(optimum, abs=1e-8)
    assert p.attributes.bestbound == p.attributes.objval
    # The row prices y at its cost: d/dy (e^x + x^2 + y) = 1 against d/dy log(y) = 1/y.
    assert p.getDuals()[0] == pytest.approx(sense * OMEGA, abs=1e-6)


@pytest.mark.parametrize("solver", [1, 2])
def test_successive_linear_programming_proves_a_convex_optimum_too(solver):
    # max x + 2y s.t. e^x + y <= 4, x <= log(y): y = 4 - e^x, 1 = 2 e^x.
    p = quiet()
    x = p.addVariable(lb=-5, ub=5)
    y = p.addVariable(lb=0.1, ub=5)
    p.addConstraint(nivra.exp(x) + y <= 4, x - nivra.log(y) <= 0)
    p.setObjective(x + 2 * y, sense=nivra.maximize)
    p.setControl("nlp_solver", solver)
    assert p.optimize()[1] == SolStatus.OPTIMAL
    assert p.getAttrib("nlp_status") == GLOBALLY_OPTIMAL
    assert p.attributes.objval == pytest.approx(7 - math.log(2), abs=1e-6)
    assert p.getSolution([x, y]) == pytest.approx([-math.log(2), 3.5], abs=1e-5)


def equality_row(p, x, y):
    p.addConstraint(nivra.log(y) == x)  # the same optimum


def product_row(p, x, y):
    convex_row(p, x, y)
    p.addConstraint(x * nivra.sqrt(y) <= 1)


@pytest.mark.parametrize("rows, user, reason", [
    (equality_row, False, "row 0: an equality or range row needs an affine body; its formulas"),
    (product_row, False, "row 1: a '<=' row needs a convex body; the curvature of its formulas"),
    (convex_row, True, "the objective: a minimisation needs a convex objective; the curvature"),
])
def test_models_not_proven_convex_stay_local(rows, user, reason):
    p, x, y = exp_model(rows=rows, user=user)
    lines = logged(p)
    status = p.optimize()
    assert verdict(lines).startswith("Convexity: the model is not proven convex (" + reason)
    assert verdict(lines).endswith("): its solutions are local")
    assert status == (nivra.enums.SolveStatus.COMPLETED, SolStatus.FEASIBLE)
    assert p.getAttrib("nlp_status") == LOCALLY_OPTIMAL
    assert p.attributes.bestbound == -1e20
    assert p.getSolution([x, y]) == pytest.approx([-OMEGA, OMEGA], abs=1e-5)


def rounding_model(solver):
    """min (n - 2.4)^2 + (y - n)^2 - log(y + 1) with n integer in [0, 5]: convex."""
    p = quiet()
    n = p.addVariable(lb=0, ub=5, vartype=nivra.integer)
    y = p.addVariable(lb=0, ub=10)
    p.setObjective((n - 2.4) ** 2 + (y - n) ** 2 - nivra.log(y + 1))
    p.setControl("nlp_solver", solver)
    return p, n, y


def enumerated_rounding_optimum():
    """The optimum over n = 0..5, each y from 2 (y - n) = 1 / (y + 1) by bisection."""
    best = math.inf
    for n in range(6):
        lo, hi = 0.0, 10.0
        for _ in range(200):
            mid = 0.5 * (lo + hi)
            lo, hi = (mid, hi) if 2 * (mid - n) - 1 / (mid + 1) < 0 else (lo, mid)
        best = min(best, (n - 2.4) ** 2 + (lo - n) ** 2 - math.log(lo + 1))
    return best


def facility(fix=None):
    """Three sites that open at a cost and produce at a convex cost, a demand, a concave yield
    row and an integer purchase k; fix = (opened sites, k) fixes the integers."""
    cost, cap, rate = [3.0, 4.5, 2.5], [3.0, 4.0, 2.5], [0.45, 0.3, 0.5]
    p = quiet()
    open_ = p.addVariables(3, vartype=nivra.binary)
    make = [p.addVariable(ub=cap[i]) for i in range(3)]
    k = p.addVariable(ub=4, vartype=nivra.integer)
    p.addConstraint([make[i] <= cap[i] * open_[i] for i in range(3)])
    p.addConstraint(nivra.Sum(make) + k >= 5, nivra.Sum(nivra.log(1 + m) for m in make) >= 1)
    p.setObjective(nivra.Sum(cost[i] * open_[i] + nivra.exp(rate[i] * make[i]) for i in range(3))
                   + (k - 1.5) ** 2 - nivra.log(1 + make[0] + make[1]))
    if fix:
        for v, value in zip([*open_, k], [*fix[0], fix[1]]):
            v.lb = v.ub = value
    return p


def enumerated_facility_optimum():
    best = math.inf
    for sites, k in itertools.product(itertools.product([0, 1], repeat=3), range(5)):
        p = facility((sites, k))
        if p.optimize()[1] == SolStatus.OPTIMAL:  # each assignment is a convex program
            best = min(best, p.attributes.objval)
    return best


def assert_proven_mip_optimum(p, optimum):
    assert p.optimize() == (nivra.enums.SolveStatus.COMPLETED, SolStatus.OPTIMAL)
    a = p.attributes
    assert a.mipstatus == MIPStatus.OPTIMAL and p.getAttrib("nlp_status") == GLOBALLY_OPTIMAL
    assert a.objval == pytest.approx(optimum, abs=1e-6)
    gap = max(p.controls.mipabsstop, p.controls.miprelstop * abs(a.objval))
    assert a.objval - gap - 1e-9 <= a.bestbound <= a.objval + 1e-9


def test_convex_mixed_integer_models_are_proven_by_bonmin():
    p, n, y = rounding_model(0)
    assert_proven_mip_optimum(p, enumerated_rounding_optimum())
    assert p.getSolution(n) == 3
    assert_proven_mip_optimum(facility(), enumerated_facility_optimum())


def test_bonmin_search_that_aborted_the_process_finishes():
    # With Bonmin's default strong branching this model made Osi fail an assertion (a branch on
    # an integer column whose bounds were already equal), which aborted the interpreter; the
    # search must finish, at the optimum the library's own search finds too.
    bench = pathlib.Path(__file__).resolve().parents[2] / "bench"
    code = f"""
import sys
sys.path.insert(0, {str(bench)!r})
import bench_minlp, nivra
for solver in (0, 1):
    p = nivra.problem()
    p.setOutputEnabled(False)
    bench_minlp.facility(6, 15)(p)
    p.controls.nlp_solver = solver
    p.optimize()
    print(p.attributes.mipstatus, repr(p.attributes.objval))
"""
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          timeout=300)
    assert done.returncode == 0, done.stderr
    (bonmin_status, bonmin), (_, own) = [line.split() for line in done.stdout.splitlines()]
    assert int(bonmin_status) == MIPStatus.OPTIMAL
    assert float(bonmin) == pytest.approx(float(own), abs=1e-6)


def test_mixed_integer_statuses_that_are_not_proven():
    # The library's own branch and bound may drop a node whose solve fails: a solution only.
    p, *_ = rounding_model(1)
    p.optimize()
    assert p.attributes.mipstatus == MIPStatus.SOLUTION
    assert p.attributes.objval == pytest.approx(enumerated_rounding_optimum(), abs=1e-5)
    # A non-convex row makes Bonmin's search a heuristic one.
    p, n, y = rounding_model(0)
    p.addConstraint(n * y <= 7)
    lines = logged(p)
    assert p.optimize()[1] == SolStatus.FEASIBLE
    assert "a '<=' row needs a convex body; its quadratic part is not positive" in verdict(lines)
    assert p.attributes.mipstatus == MIPStatus.SOLUTION
    assert p.getAttrib("nlp_status") == LOCALLY_OPTIMAL and p.attributes.bestbound == -1e20
