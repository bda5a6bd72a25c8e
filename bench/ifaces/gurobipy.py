"""gurobipy with the size-limited licence of its pip package: a model handed to the solver may
have at most 2000 variables and 2000 constraints, and at most 200 variables when it has
quadratic parts. The model benchmarks therefore run only at the small sizes (marked in the
table) and no benchmark that solves a larger model runs at all. Building expressions and
constraints without solving is not limited."""

from importlib.metadata import version as _dist_version

import gurobipy as gp
from gurobipy import GRB

from common import (FAC_M, GUROBI_QUADRATIC_VARS, QSOLVE_ABSGAP, QSOLVE_FEASTOL, QSOLVE_GAP,
                    SOLVE_THREADS, Lqcp, Unsupported, expected_counts)
from data import coefficients, csr, dense, least_norm, portfolio

LIMIT = 2000
QUADRATIC_LIMIT = 200

# The environment (licence check, banner) is started once per process, outside every timed
# section, like an import.
ENV = gp.Env(params={"OutputFlag": 0})


def version():
    return _dist_version("gurobipy")


def check_licence(bench, n):
    c = expected_counts(bench, n)
    quadratic = bench in ("fac", "lqcp")
    if c["vars"] > (QUADRATIC_LIMIT if quadratic else LIMIT) or c["rows"] + c["qrows"] > LIMIT:
        raise Unsupported("size-limited licence")


def new_model():
    return gp.Model(env=ENV)


def submit(m):
    """Hands the model to Gurobi with solving suppressed."""
    m.Params.TimeLimit = 0.0
    m.optimize()


def counts(m):
    qrows = [m.getQCRow(q) for q in m.getQConstrs()]
    return {"vars": m.NumVars, "rows": m.NumConstrs,
            "nz": m.NumNZs + sum(q.getLinExpr().size() for q in qrows),
            "qrows": len(qrows), "qnz": sum(q.size() for q in qrows)}


def _fac_model(m, n, quadratic):
    G = F = n
    grid, facs = range(G + 1), range(1, F + 1)
    y = m.addVars(facs, (1, 2), lb=0.0, ub=1.0)
    s = m.addVars(grid, grid, facs, lb=0.0)
    z = m.addVars(grid, grid, facs, vtype=GRB.BINARY)
    r = m.addVars(grid, grid, facs, (1, 2), lb=-GRB.INFINITY)
    d = m.addVar(lb=-GRB.INFINITY)
    m.setObjective(d, GRB.MINIMIZE)
    m.addConstrs(z.sum(i, j, "*") == 1 for i in grid for j in grid)
    m.addConstrs(s[i, j, f] == d + FAC_M * (1 - z[i, j, f])
                 for i in grid for j in grid for f in facs)
    m.addConstrs(r[i, j, f, 1] == i / G - y[f, 1] for i in grid for j in grid for f in facs)
    m.addConstrs(r[i, j, f, 2] == j / G - y[f, 2] for i in grid for j in grid for f in facs)
    if quadratic:
        m.addConstrs(r[i, j, f, 1] * r[i, j, f, 1] + r[i, j, f, 2] * r[i, j, f, 2]
                     <= s[i, j, f] * s[i, j, f] for i in grid for j in grid for f in facs)


def _fac(n, clock, quadratic):
    check_licence("fac" if quadratic else "fac-lin", n)
    clock.start()
    m = new_model()
    _fac_model(m, n, quadratic)
    submit(m)
    clock.stop()
    return counts(m) if clock.count else None


def fac(n, clock):
    return _fac(n, clock, True)


def fac_lin(n, clock):
    return _fac(n, clock, False)


def lqcp(n, clock):
    check_licence("lqcp", n)
    p = Lqcp(n)
    mm, dx, dt, h2 = p.m, p.dx, p.dt, p.h2
    yt = p.yt
    wy, wu = p.objective_weights()
    clock.start()
    m = new_model()
    y = m.addVars(range(mm + 1), range(n + 1), lb=0.0, ub=1.0)
    u = m.addVars(range(1, mm + 1), lb=-1.0, ub=1.0)
    m.setObjective(gp.quicksum(wy[j] * (y[mm, j] - yt[j]) * (y[mm, j] - yt[j])
                               for j in range(n + 1))
                   + gp.quicksum(wu[i - 1] * u[i] * u[i] for i in range(1, mm + 1)),
                   GRB.MINIMIZE)
    m.addConstrs(h2 * (y[i + 1, j] - y[i, j]) == 0.5 * dt * (
        y[i, j - 1] - 2 * y[i, j] + y[i, j + 1] + y[i + 1, j - 1] - 2 * y[i + 1, j]
        + y[i + 1, j + 1]) for i in range(mm) for j in range(1, n))
    m.addConstrs(y[0, j] == 0 for j in range(n + 1))
    for i in range(1, mm + 1):
        m.addConstr(y[i, 2] - 4 * y[i, 1] + 3 * y[i, 0] == 0)
        m.addConstr(y[i, n - 2] - 4 * y[i, n - 1] + 3 * y[i, n] == 2 * dx * (u[i] - y[i, n]))
    submit(m)
    clock.stop()
    return counts(m) if clock.count else None


def expr(n, clock):
    m = new_model()
    x = list(m.addVars(n).values())
    c = coefficients(n)
    clock.start()
    e = gp.LinExpr()
    for i in range(n):
        e.addTerms(c[i], x[i])
    clock.stop()
    return {"elements": n}


def xqx(n, clock):
    m = new_model()
    x = m.addMVar(n)
    Q = dense(n)
    clock.start()
    x @ Q @ x
    clock.stop()
    return {"elements": n * n}


def dot_csr(n, clock):
    A = csr(n)
    m = new_model()
    x = m.addMVar(n)
    clock.start()
    m.addConstr(A @ x <= 1.0)
    m.update()
    clock.stop()
    return {"elements": A.nnz}


def dense_mv(n, clock):
    m = new_model()
    x = m.addMVar(n)
    A = dense(n)
    clock.start()
    A @ x
    clock.stop()
    return {"elements": n * n}


def sum_(n, clock):
    m = new_model()
    x = list(m.addVars(n).values())
    clock.start()
    gp.quicksum(x)
    clock.stop()
    return {"elements": n}


def compare(n, clock):
    m = new_model()
    x = m.addMVar(n)
    clock.start()
    x >= 0
    clock.stop()
    return {"elements": n}


def addcons(n, clock):
    m = new_model()
    x = list(m.addVars(n + 1).values())
    cons = [x[i] + 2 * x[i + 1] >= 1 for i in range(n)]
    clock.start()
    m.addConstrs(c for c in cons)
    m.update()
    clock.stop()
    assert m.NumConstrs == n
    return {"elements": n}


def solution(n, clock):
    raise Unsupported(f"size-limited licence (at most {LIMIT} variables)")


# ---- quadratic models solved to optimality ------------------------------------------------

def _qsolve(clock, nvars, build):
    """Builds a model with build(m) and solves it to optimality with the settings every side
    uses; models beyond the pip licence's limit for quadratic models are not run."""
    if nvars > GUROBI_QUADRATIC_VARS:
        raise Unsupported("size-limited licence")
    clock.start()
    m = new_model()
    m.Params.MIPGap, m.Params.MIPGapAbs = QSOLVE_GAP, QSOLVE_ABSGAP
    m.Params.FeasibilityTol, m.Params.Threads = QSOLVE_FEASTOL, SOLVE_THREADS
    build(m)
    m.optimize()
    clock.stop()
    optimal = m.Status == GRB.OPTIMAL
    return {"status": "optimal" if optimal else f"status {m.Status}",
            "objective": m.ObjVal if optimal else None, "nodes": int(m.NodeCount)}


def fac_opt(n, clock):
    return _qsolve(clock, 1 + 2 * n + 4 * (n + 1) ** 2 * n, lambda m: _fac_model(m, n, True))


def _portfolio(m, n, cardinality, risk_row):
    d = portfolio(n)
    S, mu = d["S"], d["mu"]
    w = m.addMVar(n, lb=0.0, ub=1.0)
    m.addConstr(w.sum() == 1)
    if cardinality:
        z = m.addMVar(n, vtype=GRB.BINARY)
        m.addConstr(w <= z)
        m.addConstr(z.sum() <= d["k"])
    if risk_row:
        m.addConstr(w @ S @ w <= d["risk"])
        m.setObjective(mu @ w, GRB.MAXIMIZE)
    else:
        m.addConstr(mu @ w >= d["target"])
        m.setObjective(w @ S @ w, GRB.MINIMIZE)


def miqp(n, clock):
    return _qsolve(clock, 2 * n, lambda m: _portfolio(m, n, True, False))


def miqcqp(n, clock):
    return _qsolve(clock, 2 * n, lambda m: _portfolio(m, n, True, True))


def qcqp(n, clock):
    return _qsolve(clock, n, lambda m: _portfolio(m, n, False, True))


def socp(n, clock):
    A, b = least_norm(n)

    def build(m):
        x = m.addMVar(n, lb=-GRB.INFINITY)
        t = m.addVar()
        m.addConstr(A @ x == b)
        m.addConstr(x @ x <= t * t)
        m.setObjective(t, GRB.MINIMIZE)
    return _qsolve(clock, n + 1, build)


BENCHES = {
    "fac": fac, "fac-lin": fac_lin, "lqcp": lqcp, "expr": expr, "xqx": xqx,
    "dot-csr": dot_csr, "dense-mv": dense_mv, "sum": sum_, "compare": compare,
    "addcons": addcons, "solution": solution,
    "fac-opt": fac_opt, "miqp": miqp, "miqcqp": miqcqp, "qcqp": qcqp, "socp": socp,
}
