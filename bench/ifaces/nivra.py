"""Nivra, written the way a user writes it: NumPy arrays of variables, element-wise operators,
Sum and Dot, and one addConstraint call per family of rows.

Variables are created without names (name=""), as every peer creates them."""

from importlib.metadata import version as _dist_version

import numpy as np

import nivra

from common import FAC_M, SOLVE_THREADS, Lqcp, instance_path
from data import coefficients, csr, dense


def version():
    return _dist_version("nivra")


def new_problem():
    p = nivra.problem()
    p.setOutputEnabled(False)
    return p


def submit(p, quadratic_rows=False):
    """Hands the model to the solver with solving suppressed. The engine has no quadratic rows,
    so the library refuses to solve a model with them: the model is then complete in the
    library when the refusal comes back, and the refusal is returned as a note."""
    p.controls.timelimit = 0.0
    try:
        p.optimize()
    except nivra.SolverError as exc:
        if not quadratic_rows:
            raise
        return f"solve refused ({exc}); timed until the library held the model"
    return None


def counts(p, qcons=()):
    """Counts read back from the library (rows without quadratic parts as rows). The quadratic
    entries are read from the bodies of the quadratic constraints `qcons`, which the library
    hands back once they are linked."""
    a = p.attributes
    qnz = sum(len(c.getBody().extractQuadratic()[0]) for c in np.ravel(qcons))
    return {"vars": a.originalcols, "rows": a.originalrows - a.qconstraints, "nz": a.elems,
            "qrows": a.qconstraints, "qnz": qnz}


def _fac(n, clock, quadratic):
    clock.start()
    p = new_problem()
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
    note = submit(p, quadratic)
    clock.stop()
    info = counts(p, qcons) if clock.count else {}
    return dict(info, note=note) if note else info


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


BENCHES = {
    "fac": fac, "fac-lin": fac_lin, "lqcp": lqcp, "expr": expr, "xqx": xqx,
    "dot-csr": dot_csr, "dense-mv": dense_mv, "sum": sum_, "compare": compare,
    "addcons": addcons, "solution": solution, "solve": solve,
}
