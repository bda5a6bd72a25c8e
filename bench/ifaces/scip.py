"""PySCIPOpt: SCIP's Python interface (quadratic rows supported)."""

from importlib.metadata import version as _dist_version

import pyscipopt as scip
from pyscipopt import quicksum

from common import FAC_M, QSOLVE_ABSGAP, QSOLVE_FEASTOL, QSOLVE_GAP, Lqcp
from data import coefficients, dense, least_norm, portfolio


def version():
    return _dist_version("PySCIPOpt")


def new_model():
    m = scip.Model()
    m.hideOutput()
    return m


def submit(m):
    """Hands the model to SCIP with solving suppressed."""
    m.setParam("limits/time", 0.0)
    m.optimize()


def counts(m, epigraph=None):
    """Counts of the original (untransformed) problem, read back from SCIP; the epigraph
    row and column of a quadratic objective are SCIP's form of the objective, not model rows."""
    c = {"vars": m.getNVars(transformed=False) - (epigraph is not None),
         "rows": 0, "nz": 0, "qrows": 0, "qnz": 0}
    for cons in m.getConss(transformed=False):
        if epigraph is not None and cons.name == epigraph.name:
            continue
        if cons.isLinear():
            c["rows"] += 1
            c["nz"] += len(m.getValsLinear(cons))
        else:
            bilinear, quadratic, linear = m.getTermsQuadratic(cons)
            c["qrows"] += 1
            c["qnz"] += len(bilinear) + len(quadratic)
            c["nz"] += len(linear)
    return c


def _fac_model(m, n, quadratic):
    G = F = n
    grid, facs = range(G + 1), range(1, F + 1)
    y = {(f, k): m.addVar(lb=0.0, ub=1.0) for f in facs for k in (1, 2)}
    s = {(i, j, f): m.addVar(lb=0.0) for i in grid for j in grid for f in facs}
    z = {(i, j, f): m.addVar(vtype="B") for i in grid for j in grid for f in facs}
    r = {(i, j, f, k): m.addVar(lb=None) for i in grid for j in grid for f in facs for k in (1, 2)}
    d = m.addVar(lb=None)
    m.setObjective(d, "minimize")
    for i in grid:
        for j in grid:
            m.addCons(quicksum(z[i, j, f] for f in facs) == 1)
    for i in grid:
        for j in grid:
            for f in facs:
                m.addCons(s[i, j, f] == d + FAC_M * (1 - z[i, j, f]))
                m.addCons(r[i, j, f, 1] == i / G - y[f, 1])
                m.addCons(r[i, j, f, 2] == j / G - y[f, 2])
                if quadratic:
                    m.addCons(r[i, j, f, 1] * r[i, j, f, 1] + r[i, j, f, 2] * r[i, j, f, 2]
                              <= s[i, j, f] * s[i, j, f])


def _fac(n, clock, quadratic):
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
    p = Lqcp(n)
    m_, dx, dt, h2 = p.m, p.dx, p.dt, p.h2
    yt = p.yt
    wy, wu = p.objective_weights()
    clock.start()
    m = new_model()
    y = {(i, j): m.addVar(lb=0.0, ub=1.0) for i in range(m_ + 1) for j in range(n + 1)}
    u = {i: m.addVar(lb=-1.0, ub=1.0) for i in range(1, m_ + 1)}
    # SCIP takes only linear objectives: the quadratic one goes through an epigraph variable
    t = m.addVar(lb=None)
    epi = m.addCons(
        quicksum(wy[j] * (y[m_, j] - yt[j]) * (y[m_, j] - yt[j]) for j in range(n + 1))
        + quicksum(wu[i - 1] * u[i] * u[i] for i in range(1, m_ + 1)) <= t)
    m.setObjective(t, "minimize")
    for i in range(m_):
        for j in range(1, n):
            m.addCons(h2 * (y[i + 1, j] - y[i, j]) == 0.5 * dt * (
                y[i, j - 1] - 2 * y[i, j] + y[i, j + 1]
                + y[i + 1, j - 1] - 2 * y[i + 1, j] + y[i + 1, j + 1]))
    for j in range(n + 1):
        m.addCons(y[0, j] == 0)
    for i in range(1, m_ + 1):
        m.addCons(y[i, 2] - 4 * y[i, 1] + 3 * y[i, 0] == 0)
        m.addCons(y[i, n - 2] - 4 * y[i, n - 1] + 3 * y[i, n] == 2 * dx * (u[i] - y[i, n]))
    submit(m)
    clock.stop()
    return counts(m, epi) if clock.count else None


def expr(n, clock):
    m = new_model()
    x = [m.addVar() for _ in range(n)]
    c = coefficients(n)
    clock.start()
    e = scip.Expr()
    for i in range(n):
        e += c[i] * x[i]
    clock.stop()
    return {"elements": n}


def xqx(n, clock):
    m = new_model()
    x = m.addMatrixVar(n)
    Q = dense(n)
    clock.start()
    x @ Q @ x
    clock.stop()
    return {"elements": n * n}


def dense_mv(n, clock):
    m = new_model()
    x = m.addMatrixVar(n)
    A = dense(n)
    clock.start()
    A @ x
    clock.stop()
    return {"elements": n * n}


def sum_(n, clock):
    m = new_model()
    x = [m.addVar() for _ in range(n)]
    clock.start()
    quicksum(x)
    clock.stop()
    return {"elements": n}


def compare(n, clock):
    m = new_model()
    x = m.addMatrixVar(n)
    clock.start()
    x >= 0
    clock.stop()
    return {"elements": n}


def addcons(n, clock):
    m = new_model()
    x = [m.addVar() for _ in range(n + 1)]
    cons = [x[i] + 2 * x[i + 1] >= 1 for i in range(n)]
    clock.start()
    m.addConss(cons)
    clock.stop()
    return {"elements": n}


def solution(n, clock):
    m = new_model()
    x = m.addMatrixVar(n, lb=0.0, ub=1.0)
    m.setObjective(quicksum(x.flat))
    m.optimize()
    clock.start()
    vals = m.getVal(x)
    clock.stop()
    assert len(vals) == n
    return {"elements": n}


# ---- quadratic models solved to optimality ------------------------------------------------

def _qsolve(clock, build):
    """Builds a model with build(m) and solves it to optimality with the settings every side
    uses (gaps and feasibility tolerance of common.py; SCIP runs one thread)."""
    clock.start()
    m = new_model()
    m.setParam("limits/gap", QSOLVE_GAP)
    m.setParam("limits/absgap", QSOLVE_ABSGAP)
    m.setParam("numerics/feastol", QSOLVE_FEASTOL)
    build(m)
    m.optimize()
    clock.stop()
    # Stopped by the gap limit is solved to optimality within the gaps, as on the other sides.
    status = "optimal" if m.getStatus() in ("optimal", "gaplimit") else m.getStatus()
    return {"status": status, "objective": m.getObjVal() if status == "optimal" else None,
            "nodes": m.getNNodes()}


def fac_opt(n, clock):
    return _qsolve(clock, lambda m: _fac_model(m, n, True))


def _quad(S, w):
    n = len(w)
    return quicksum(S[i, j] * w[i] * w[j] for i in range(n) for j in range(n))


def _portfolio(m, n, cardinality, risk_row):
    d = portfolio(n)
    S, mu = d["S"], d["mu"]
    w = [m.addVar(lb=0.0, ub=1.0) for _ in range(n)]
    m.addCons(quicksum(w) == 1)
    if cardinality:
        z = [m.addVar(vtype="B") for _ in range(n)]
        for i in range(n):
            m.addCons(w[i] <= z[i])
        m.addCons(quicksum(z) <= d["k"])
    if risk_row:
        m.addCons(_quad(S, w) <= d["risk"])
        m.setObjective(quicksum(mu[i] * w[i] for i in range(n)), "maximize")
    else:
        m.addCons(quicksum(mu[i] * w[i] for i in range(n)) >= d["target"])
        t = m.addVar(lb=None)  # SCIP takes only linear objectives: an epigraph variable
        m.addCons(_quad(S, w) <= t)
        m.setObjective(t, "minimize")


def miqp(n, clock):
    return _qsolve(clock, lambda m: _portfolio(m, n, True, False))


def miqcqp(n, clock):
    return _qsolve(clock, lambda m: _portfolio(m, n, True, True))


def qcqp(n, clock):
    return _qsolve(clock, lambda m: _portfolio(m, n, False, True))


def socp(n, clock):
    A, b = least_norm(n)

    def build(m):
        x = [m.addVar(lb=None) for _ in range(n)]
        t = m.addVar(lb=0.0)
        for i in range(A.shape[0]):
            m.addCons(quicksum(A[i, j] * x[j] for j in range(n)) == b[i])
        m.addCons(quicksum(x[j] * x[j] for j in range(n)) <= t * t)
        m.setObjective(t, "minimize")
    return _qsolve(clock, build)


BENCHES = {
    "fac": fac, "fac-lin": fac_lin, "lqcp": lqcp, "expr": expr, "xqx": xqx,
    "dense-mv": dense_mv, "sum": sum_, "compare": compare, "addcons": addcons,
    "solution": solution,
    "fac-opt": fac_opt, "miqp": miqp, "miqcqp": miqcqp, "qcqp": qcqp, "socp": socp,
}
