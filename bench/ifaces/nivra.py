"""Nivra, written the way a user writes it: NumPy arrays of variables, element-wise operators,
Sum and Dot, and one addConstraint call per family of rows.

Variables are created without names (name=""), as every peer creates them."""

from importlib.metadata import version as _dist_version

import numpy as np

import nivra

from common import (API_DIM, FAC_M, QSOLVE_ABSGAP, QSOLVE_FEASTOL, QSOLVE_GAP, SOLVE_THREADS,
                    Lqcp, instance_path)
from data import (coefficient_changes, coefficients, csr, dense, least_norm, portfolio,
                  sparse_lp)


def version():
    return _dist_version("nivra")


def new_problem():
    p = nivra.problem()
    p.setOutputEnabled(False)
    return p


def submit(p):
    """Hands the model to the solver with solving suppressed (a time limit of 0)."""
    p.controls.timelimit = 0.0
    p.optimize()


def counts(p, qcons=()):
    """Counts read back from the library (rows without quadratic parts as rows). The quadratic
    entries are read from the bodies of the quadratic constraints `qcons`, which the library
    hands back once they are linked."""
    a = p.attributes
    qnz = sum(len(c.getBody().extractQuadratic()[0]) for c in np.ravel(qcons))
    return {"vars": a.originalcols, "rows": a.originalrows - a.qconstraints, "nz": a.elems,
            "qrows": a.qconstraints, "qnz": qnz}


def _fac_model(p, n, quadratic):
    G = F = n
    y = p.addVariables(F, 2, lb=0, ub=1, name="")
    s = p.addVariables(G + 1, G + 1, F, lb=0, name="")
    z = p.addVariables(G + 1, G + 1, F, vartype=nivra.binary, name="")
    r = p.addVariables(G + 1, G + 1, F, 2, lb=-nivra.infinity, name="")
    d = p.addVariable(lb=-nivra.infinity)
    p.setObjective(d)
    p.addConstraint(nivra.Sum(z[i, j, :]) == 1 for i in range(G + 1) for j in range(G + 1))
    p.addConstraint(s == d + FAC_M * (1 - z))
    grid = np.arange(G + 1) / G
    p.addConstraint(r[:, :, :, 0] == grid[:, None, None] - y[:, 0])
    p.addConstraint(r[:, :, :, 1] == grid[None, :, None] - y[:, 1])
    qcons = ()
    if quadratic:
        qcons = r[..., 0] * r[..., 0] + r[..., 1] * r[..., 1] <= s * s
        p.addConstraint(qcons)
    return qcons


def _fac(n, clock, quadratic):
    clock.start()
    p = new_problem()
    qcons = _fac_model(p, n, quadratic)
    submit(p)
    clock.stop()
    return counts(p, qcons) if clock.count else {}


def fac(n, clock):
    return _fac(n, clock, True)


def fac_lin(n, clock):
    return _fac(n, clock, False)


def lqcp(n, clock):
    q = Lqcp(n)
    m, dx, dt, h2 = q.m, q.dx, q.dt, q.h2
    yt = np.array(q.yt)
    wy, wu = (np.array(w) for w in q.objective_weights())
    clock.start()
    p = new_problem()
    y = p.addVariables(m + 1, n + 1, lb=0, ub=1, name="")
    u = p.addVariables(m, lb=-1, ub=1, name="")  # u[i - 1] is u_i, i = 1..m
    e = y[m, :] - yt
    p.setObjective(nivra.Dot(wy, e * e) + nivra.Dot(wu, u * u))
    p.addConstraint(h2 * (y[1:, 1:-1] - y[:-1, 1:-1]) == 0.5 * dt * (
        y[:-1, :-2] - 2 * y[:-1, 1:-1] + y[:-1, 2:] + y[1:, :-2] - 2 * y[1:, 1:-1] + y[1:, 2:]))
    p.addConstraint(y[0, :] == 0)
    p.addConstraint(y[1:, 2] - 4 * y[1:, 1] + 3 * y[1:, 0] == 0)
    p.addConstraint(y[1:, n - 2] - 4 * y[1:, n - 1] + 3 * y[1:, n] == 2 * dx * (u - y[1:, n]))
    submit(p)
    clock.stop()
    return counts(p) if clock.count else None


def expr(n, clock):
    p = new_problem()
    x = list(p.addVariables(n, name=""))
    c = coefficients(n)
    clock.start()
    e = nivra.expression()
    for i in range(n):
        e += c[i] * x[i]
    clock.stop()
    return {"elements": n}


def xqx(n, clock):
    p = new_problem()
    x = p.addVariables(n, name="")
    Q = dense(n)
    clock.start()
    nivra.Dot(x, Q, x)
    clock.stop()
    return {"elements": n * n}


def dot_csr(n, clock):
    A = csr(n)
    p = new_problem()
    x = p.addVariables(n, name="")
    clock.start()
    p.addConstraint(nivra.Dot(A, x) <= 1)
    clock.stop()
    return {"elements": A.nnz}


def dense_mv(n, clock):
    p = new_problem()
    x = p.addVariables(n, name="")
    A = dense(n)
    clock.start()
    nivra.Dot(A, x)
    clock.stop()
    return {"elements": n * n}


def sum_(n, clock):
    p = new_problem()
    x = p.addVariables(n, name="")
    clock.start()
    nivra.Sum(x)
    clock.stop()
    return {"elements": n}


def compare(n, clock):
    p = new_problem()
    x = p.addVariables(n, name="")
    clock.start()
    x >= 0
    clock.stop()
    return {"elements": n}


def addcons(n, clock):
    p = new_problem()
    x = list(p.addVariables(n + 1, name=""))
    cons = [x[i] + 2 * x[i + 1] >= 1 for i in range(n)]
    clock.start()
    p.addConstraint(cons)
    clock.stop()
    assert p.attributes.originalrows == n
    return {"elements": n}


def solution(n, clock):
    p = new_problem()
    x = p.addVariables(n, lb=0, ub=1, name="")
    p.setObjective(nivra.Sum(x))
    p.optimize()
    clock.start()
    vals = p.getSolution(x)
    clock.stop()
    assert len(vals) == n
    return {"elements": n}


def empty_rows(p, dim):
    """dim variables and dim empty rows <= 1, through the optimizer API."""
    p.addVariables(dim, name="")
    p.addrows(["L"] * dim, [1.0] * dim, [0] * dim, [], [])


def chgmcoef(n, clock):
    """n new coefficients of a 1000 x 1000 problem in one chgmcoef call (NumPy arrays)."""
    rows, cols, vals = coefficient_changes(n, API_DIM)
    p = new_problem()
    empty_rows(p, API_DIM)
    clock.start()
    p.chgmcoef(rows, cols, vals)
    clock.stop()
    assert p.attributes.elems == n
    return {"elements": n}


def chgcoef(n, clock):
    """n single chgcoef calls (row and column indices as ints)."""
    rows, cols, vals = (a.tolist() for a in coefficient_changes(n, API_DIM))
    p = new_problem()
    empty_rows(p, API_DIM)
    clock.start()
    for r, c, v in zip(rows, cols, vals):
        p.chgcoef(r, c, v)
    clock.stop()
    assert p.attributes.elems == n
    return {"elements": n}


def getrows(n, clock):
    """Every row of an LP with n non-zeros, read with one getrows call into lists."""
    d = sparse_lp(n)
    p = new_problem()
    p.loadproblem("lp", ["G"] * d["nrows"], d["rlb"], None, d["cost"], d["start"], None,
                  d["index"], d["value"], d["lb"], d["ub"])
    start, cols, vals = [], [], []
    clock.start()
    p.getrows(start, cols, vals, n, 0, d["nrows"] - 1)
    clock.stop()
    assert len(vals) == n and start[-1] == n
    return {"elements": n}


def solve(instance, clock):
    """Reads a public instance and solves it with the settings every solve interface uses
    (common.SOLVE_THREADS engine threads, no output); the problem object exists before the
    clock starts, as highspy's Highs object does."""
    p = new_problem()
    p.controls.outputlog = 0
    p.controls.threads = SOLVE_THREADS
    clock.start()
    p.read(instance_path(instance))
    p.optimize()
    clock.stop()
    a = p.attributes
    status = a.solstatus.name.lower()
    return {"status": status, "objective": a.objval if status == "optimal" else None,
            "iterations": a.simplexiter, "nodes": a.nodes}


def _solved_lp(instance):
    p = new_problem()
    p.controls.outputlog = 0
    p.controls.threads = SOLVE_THREADS
    p.read(instance_path(instance))
    p.lpoptimize()
    return p


def iis(instance, clock):
    """One irreducible infeasible subsystem of an infeasible LP, after its solve."""
    p = _solved_lp(instance)
    clock.start()
    status = p.iisfirst(1)
    clock.stop()
    rows, cols = [], []
    if status == 0:
        p.getiisdata(1, rows, cols)
    return {"status": "found" if status == 0 else f"status {status}", "iis_rows": len(rows),
            "iis_cols": len(cols)}


def ranging(instance, clock):
    """The ranges of every cost and every row bound of an LP, after its solve."""
    p = _solved_lp(instance)
    cols, rows = list(range(p.attributes.cols)), list(range(p.attributes.rows))
    lower, upper, rlower, rupper = [], [], [], []
    clock.start()
    p.objsa(cols, lower, upper)
    p.rhssa(rows, rlower, rupper)
    clock.stop()
    return {"status": "ranged", "cols": len(lower), "rows": len(rlower)}


# ---- quadratic models solved to optimality ------------------------------------------------

# The algorithm for mixed-integer problems with quadratic parts (control miqcqpalg); the
# interface nivra-bonmin sets 2.
MIQCQP_ALG = 0


def _qsolve(clock, build):
    """Builds a model with build(p) and solves it to optimality with the settings every side
    uses; the problem's creation and the solve are timed."""
    clock.start()
    p = new_problem()
    c = p.controls
    c.outputlog, c.threads, c.miqcqpalg = 0, SOLVE_THREADS, MIQCQP_ALG
    c.miprelstop, c.mipabsstop, c.feastol = QSOLVE_GAP, QSOLVE_ABSGAP, QSOLVE_FEASTOL
    build(p)
    p.optimize()
    clock.stop()
    a = p.attributes
    status = a.solstatus.name.lower()
    return {"status": status, "objective": a.objval if status == "optimal" else None,
            "nodes": a.nodes}


def fac_opt(n, clock):
    return _qsolve(clock, lambda p: _fac_model(p, n, True))


def _portfolio(p, n, cardinality, risk_row):
    d = portfolio(n)
    S, mu = d["S"], d["mu"]
    w = p.addVariables(n, ub=1, name="")
    p.addConstraint(nivra.Sum(w) == 1)
    if cardinality:
        z = p.addVariables(n, vartype=nivra.binary, name="")
        p.addConstraint(w <= z, nivra.Sum(z) <= d["k"])
    if risk_row:
        p.addConstraint(nivra.Dot(w, S, w) <= d["risk"])
        p.setObjective(nivra.Dot(mu, w), sense=nivra.maximize)
    else:
        p.addConstraint(nivra.Dot(mu, w) >= d["target"])
        p.setObjective(nivra.Dot(w, S, w))


def miqp(n, clock):
    return _qsolve(clock, lambda p: _portfolio(p, n, True, False))


def miqcqp(n, clock):
    return _qsolve(clock, lambda p: _portfolio(p, n, True, True))


def qcqp(n, clock):
    return _qsolve(clock, lambda p: _portfolio(p, n, False, True))


def socp(n, clock):
    A, b = least_norm(n)

    def build(p):
        x = p.addVariables(n, lb=-nivra.infinity, name="")
        t = p.addVariable(name="")
        p.addConstraint(nivra.Dot(A, x) == b, nivra.Dot(x, x) <= t * t)
        p.setObjective(t)
    return _qsolve(clock, build)


BENCHES = {
    "fac": fac, "fac-lin": fac_lin, "lqcp": lqcp, "expr": expr, "xqx": xqx,
    "dot-csr": dot_csr, "dense-mv": dense_mv, "sum": sum_, "compare": compare,
    "addcons": addcons, "solution": solution, "solve": solve,
    "chgmcoef": chgmcoef, "chgcoef": chgcoef, "getrows": getrows, "iis": iis,
    "ranging": ranging,
    "fac-opt": fac_opt, "miqp": miqp, "miqcqp": miqcqp, "qcqp": qcqp, "socp": socp,
}
