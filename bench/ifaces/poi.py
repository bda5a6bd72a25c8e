"""pyoptinterface with its HiGHS backend (HiGHS loaded from highsbox)."""

from importlib.metadata import version as _dist_version

import pyoptinterface as poi
from pyoptinterface import highs

from common import FAC_M, Lqcp, Unsupported
from data import capsule_pointer, coefficients, csr, highs_counts

if not highs.autoload_library():
    raise ImportError("pyoptinterface could not load the HiGHS library")

EQ = poi.ConstraintSense.Equal


def version():
    return _dist_version("pyoptinterface")


def new_model():
    m = highs.Model()
    m.set_model_attribute(poi.ModelAttribute.Silent, True)
    return m


def submit(m):
    """Hands the model to HiGHS with solving suppressed."""
    m.set_model_attribute(poi.ModelAttribute.TimeLimitSec, 0.0)
    m.optimize()


def counts(m):
    return highs_counts(capsule_pointer(m.get_raw_model(), b"nb_handle"))


def fac_lin(n, clock):
    clock.start()
    m = new_model()
    G = F = n
    grid, facs = range(G + 1), range(1, F + 1)
    y = m.add_variables(facs, range(1, 3), lb=0.0, ub=1.0)
    s = m.add_variables(grid, grid, facs, lb=0.0)
    z = m.add_variables(grid, grid, facs, domain=poi.VariableDomain.Binary)
    r = m.add_variables(grid, grid, facs, range(1, 3))
    d = m.add_variable()
    m.set_objective(d * 1.0)
    for i in grid:
        for j in grid:
            m.add_linear_constraint(poi.quicksum(z[i, j, f] for f in facs), EQ, 1.0)
    for i in grid:
        for j in grid:
            for f in facs:
                m.add_linear_constraint(s[i, j, f] - d - FAC_M * (1 - z[i, j, f]), EQ, 0.0)
                m.add_linear_constraint(r[i, j, f, 1] + y[f, 1], EQ, i / G)
                m.add_linear_constraint(r[i, j, f, 2] + y[f, 2], EQ, j / G)
    submit(m)
    clock.stop()
    return counts(m) if clock.count else None


def fac(n, clock):
    raise Unsupported("HiGHS has no quadratic constraints")


def lqcp(n, clock):
    p = Lqcp(n)
    m_, dx, dt, h2 = p.m, p.dx, p.dt, p.h2
    yt = p.yt
    wy, wu = p.objective_weights()
    clock.start()
    m = new_model()
    y = m.add_variables(range(m_ + 1), range(n + 1), lb=0.0, ub=1.0)
    u = m.add_variables(range(1, m_ + 1), lb=-1.0, ub=1.0)
    obj = poi.ExprBuilder()
    for j in range(n + 1):
        e = y[m_, j] - yt[j]
        obj += wy[j] * (e * e)
    for i in range(1, m_ + 1):
        obj += wu[i - 1] * (u[i] * u[i])
    m.set_objective(obj, sense=poi.ObjectiveSense.Minimize)
    for i in range(m_):
        for j in range(1, n):
            lhs = h2 * (y[i + 1, j] - y[i, j])
            rhs = 0.5 * dt * (y[i, j - 1] - 2 * y[i, j] + y[i, j + 1]
                              + y[i + 1, j - 1] - 2 * y[i + 1, j] + y[i + 1, j + 1])
            m.add_linear_constraint(lhs - rhs, EQ, 0.0)
    for j in range(n + 1):
        m.add_linear_constraint(y[0, j] * 1.0, EQ, 0.0)
    for i in range(1, m_ + 1):
        m.add_linear_constraint(y[i, 2] - 4 * y[i, 1] + 3 * y[i, 0], EQ, 0.0)
        m.add_linear_constraint(
            y[i, n - 2] - 4 * y[i, n - 1] + 3 * y[i, n] - 2 * dx * (u[i] - y[i, n]), EQ, 0.0)
    submit(m)
    clock.stop()
    return counts(m) if clock.count else None


def expr(n, clock):
    m = new_model()
    x = [m.add_variable() for _ in range(n)]
    c = coefficients(n)
    clock.start()
    e = poi.ExprBuilder()
    for i in range(n):
        e.add_affine_term(x[i], c[i])
    clock.stop()
    return {"elements": n}


def xqx(n, clock):
    from data import dense
    m = new_model()
    x = [m.add_variable() for _ in range(n)]
    Q = dense(n).tolist()
    clock.start()
    e = poi.ExprBuilder()
    for i in range(n):
        Qi, xi = Q[i], x[i]
        for j in range(n):
            e.add_quadratic_term(xi, x[j], Qi[j])
    clock.stop()
    return {"elements": n * n}


def dot_csr(n, clock):
    import numpy as np
    import scipy.sparse as sp
    A = sp.csr_array(csr(n))
    m = new_model()
    x = m.add_m_variables(n)
    b = np.ones(n)
    clock.start()
    m.add_m_linear_constraints(A, x, poi.ConstraintSense.LessEqual, b)
    clock.stop()
    return {"elements": A.nnz}


def sum_(n, clock):
    m = new_model()
    x = [m.add_variable() for _ in range(n)]
    clock.start()
    poi.quicksum(x)
    clock.stop()
    return {"elements": n}


def solution(n, clock):
    m = new_model()
    x = [m.add_variable(lb=0.0, ub=1.0) for _ in range(n)]
    m.set_objective(poi.quicksum(x))
    m.optimize()
    clock.start()
    vals = [m.get_value(v) for v in x]
    clock.stop()
    assert len(vals) == n
    return {"elements": n}


BENCHES = {
    "fac": fac, "fac-lin": fac_lin, "lqcp": lqcp, "expr": expr, "xqx": xqx,
    "dot-csr": dot_csr, "sum": sum_, "solution": solution,
}
