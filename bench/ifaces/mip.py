"""python-mip with its bundled CBC (linear models only)."""

from importlib.metadata import version as _dist_version

import mip

from common import FAC_M, Unsupported
from data import coefficients

INF = mip.INF


def version():
    return _dist_version("mip")


def new_model():
    m = mip.Model(solver_name=mip.CBC)
    m.verbose = 0
    return m


def submit(m):
    """Hands the model to CBC with solving suppressed."""
    m.optimize(max_seconds=0)


def counts(m):
    return {"vars": m.num_cols, "rows": m.num_rows, "nz": m.num_nz, "qrows": 0, "qnz": 0}


def fac_lin(n, clock):
    clock.start()
    m = new_model()
    G = F = n
    grid, facs = range(G + 1), range(1, F + 1)
    y = {(f, k): m.add_var(lb=0.0, ub=1.0) for f in facs for k in (1, 2)}
    s = {(i, j, f): m.add_var(lb=0.0) for i in grid for j in grid for f in facs}
    z = {(i, j, f): m.add_var(var_type=mip.BINARY) for i in grid for j in grid for f in facs}
    r = {(i, j, f, k): m.add_var(lb=-INF) for i in grid for j in grid for f in facs
         for k in (1, 2)}
    d = m.add_var(lb=-INF)
    m.objective = mip.minimize(d)
    for i in grid:
        for j in grid:
            m += mip.xsum(z[i, j, f] for f in facs) == 1
    for i in grid:
        for j in grid:
            for f in facs:
                m += s[i, j, f] == d + FAC_M * (1 - z[i, j, f])
                m += r[i, j, f, 1] == i / G - y[f, 1]
                m += r[i, j, f, 2] == j / G - y[f, 2]
    submit(m)
    clock.stop()
    return counts(m) if clock.count else None


def no_quadratic(n, clock):
    raise Unsupported("python-mip has no quadratic constraints or objectives")


def expr(n, clock):
    m = new_model()
    x = [m.add_var() for _ in range(n)]
    c = coefficients(n)
    clock.start()
    e = mip.LinExpr()
    for i in range(n):
        e.add_term(x[i], c[i])
    clock.stop()
    return {"elements": n}


def sum_(n, clock):
    m = new_model()
    x = [m.add_var() for _ in range(n)]
    clock.start()
    mip.xsum(x)
    clock.stop()
    return {"elements": n}


def solution(n, clock):
    m = new_model()
    x = [m.add_var(lb=0.0, ub=1.0) for _ in range(n)]
    m.objective = mip.minimize(mip.xsum(x))
    m.optimize()
    clock.start()
    vals = [v.x for v in x]
    clock.stop()
    assert len(vals) == n
    return {"elements": n}


BENCHES = {
    "fac": no_quadratic, "fac-lin": fac_lin, "lqcp": no_quadratic, "expr": expr,
    "sum": sum_, "solution": solution,
}
