"""PuLP with its bundled CBC command-line solver (linear models only).

PuLP hands a model to CBC by writing an MPS file and starting CBC on it; that is the way it
gives the solver the model, so it is part of the timed section like every other peer's."""

from importlib.metadata import version as _dist_version

import pulp

from common import FAC_M, Unsupported
from data import coefficients


def version():
    return _dist_version("PuLP")


def submit(prob):
    """Hands the model to CBC with solving suppressed."""
    prob.solve(pulp.PULP_CBC_CMD(msg=False, timeLimit=0))


def counts(prob):
    rows = prob.constraints.values()
    return {"vars": prob.numVariables(), "rows": prob.numConstraints(),
            "nz": sum(len(c) for c in rows), "qrows": 0, "qnz": 0}


def fac_lin(n, clock):
    clock.start()
    prob = pulp.LpProblem("fac", pulp.LpMinimize)
    G = F = n
    grid, facs = range(G + 1), range(1, F + 1)
    y = pulp.LpVariable.dicts("y", (facs, (1, 2)), lowBound=0, upBound=1)
    s = pulp.LpVariable.dicts("s", (grid, grid, facs), lowBound=0)
    z = pulp.LpVariable.dicts("z", (grid, grid, facs), cat=pulp.LpBinary)
    r = pulp.LpVariable.dicts("r", (grid, grid, facs, (1, 2)))
    d = pulp.LpVariable("d")
    prob += d
    for i in grid:
        for j in grid:
            prob += pulp.lpSum(z[i][j][f] for f in facs) == 1
    for i in grid:
        for j in grid:
            for f in facs:
                prob += s[i][j][f] == d + FAC_M * (1 - z[i][j][f])
                prob += r[i][j][f][1] == i / G - y[f][1]
                prob += r[i][j][f][2] == j / G - y[f][2]
    submit(prob)
    clock.stop()
    return counts(prob) if clock.count else None


def no_quadratic(n, clock):
    raise Unsupported("PuLP has no quadratic constraints or objectives")


def expr(n, clock):
    x = [pulp.LpVariable(f"x{i}") for i in range(n)]
    c = coefficients(n)
    clock.start()
    e = pulp.LpAffineExpression()
    for i in range(n):
        e.addterm(x[i], c[i])
    clock.stop()
    return {"elements": n}


def sum_(n, clock):
    x = [pulp.LpVariable(f"x{i}") for i in range(n)]
    clock.start()
    pulp.lpSum(x)
    clock.stop()
    return {"elements": n}


def addcons(n, clock):
    prob = pulp.LpProblem("addcons", pulp.LpMinimize)
    x = [pulp.LpVariable(f"x{i}") for i in range(n + 1)]
    cons = [x[i] + 2 * x[i + 1] >= 1 for i in range(n)]
    clock.start()
    prob.extend(cons)
    clock.stop()
    assert prob.numConstraints() == n
    return {"elements": n}


def solution(n, clock):
    prob = pulp.LpProblem("solution", pulp.LpMinimize)
    x = [pulp.LpVariable(f"x{i}", lowBound=0, upBound=1) for i in range(n)]
    prob += pulp.lpSum(x)
    prob.solve(pulp.PULP_CBC_CMD(msg=False))
    clock.start()
    vals = [v.value() for v in x]
    clock.stop()
    assert len(vals) == n
    return {"elements": n}


BENCHES = {
    "fac": no_quadratic, "fac-lin": fac_lin, "lqcp": no_quadratic, "expr": expr,
    "sum": sum_, "addcons": addcons, "solution": solution,
}
