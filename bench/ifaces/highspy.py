"""highspy: HiGHS's own Python modelling layer."""

from importlib.metadata import version as _dist_version

import highspy
import numpy as np

from common import API_DIM, FAC_M, SOLVE_THREADS, Lqcp, Unsupported, instance_path
from data import coefficient_changes, coefficients, csr, sparse_lp

INF = highspy.kHighsInf


def version():
    return _dist_version("highspy")


def new_model():
    h = highspy.Highs()
    h.setOptionValue("output_flag", False)
    return h


def submit(h):
    """Hands the model to HiGHS with solving suppressed."""
    h.setOptionValue("time_limit", 0.0)
    h.run()


def counts(h):
    return {"vars": h.getNumCol(), "rows": h.getNumRow(), "nz": h.getNumNz(),
            "qrows": 0, "qnz": 0}


def pass_diagonal_hessian(h, diag):
    """Hands HiGHS the diagonal Hessian {column: value} (column-wise, triangular)."""
    ncol = h.getNumCol()
    cols = np.array(sorted(diag), dtype=np.int32)
    start = np.searchsorted(cols, np.arange(ncol + 1)).astype(np.int32)
    values = np.array([diag[c] for c in cols.tolist()])
    h.passHessian(ncol, len(cols), highspy.HessianFormat.kTriangular, start, cols, values)


def fac_lin(n, clock):
    clock.start()
    h = new_model()
    G = F = n
    grid, facs = range(G + 1), range(1, F + 1)
    y = h.addVariables(facs, (1, 2), lb=0.0, ub=1.0)
    s = h.addVariables(grid, grid, facs, lb=0.0)
    z = h.addBinaries(grid, grid, facs)
    r = h.addVariables(grid, grid, facs, (1, 2), lb=-INF)
    d = h.addVariable(lb=-INF)
    h.setObjective(d)
    h.addConstrs(h.qsum(z[i, j, f] for f in facs) == 1 for i in grid for j in grid)
    for i in grid:
        for j in grid:
            for f in facs:
                h.addConstr(s[i, j, f] == d + FAC_M * (1 - z[i, j, f]))
                h.addConstr(r[i, j, f, 1] == i / G - y[f, 1])
                h.addConstr(r[i, j, f, 2] == j / G - y[f, 2])
    submit(h)
    clock.stop()
    return counts(h) if clock.count else None


def fac(n, clock):
    raise Unsupported("HiGHS has no quadratic constraints")


def lqcp(n, clock):
    p = Lqcp(n)
    m, dx, dt, h2 = p.m, p.dx, p.dt, p.h2
    yt = p.yt
    wy, wu = p.objective_weights()
    clock.start()
    h = new_model()
    y = h.addVariables(range(m + 1), range(n + 1), lb=0.0, ub=1.0)
    u = h.addVariables(range(1, m + 1), lb=-1.0, ub=1.0)
    # highspy expressions are linear: the squares go in as the Hessian (obj = c'x + x'Qx/2)
    h.setObjective(h.qsum(-2 * wy[j] * yt[j] * y[m, j] for j in range(n + 1))
                   + sum(wy[j] * yt[j] ** 2 for j in range(n + 1)))
    diag = {y[m, j].index: 2 * wy[j] for j in range(n + 1)}
    diag.update({u[i].index: 2 * wu[i - 1] for i in range(1, m + 1)})
    pass_diagonal_hessian(h, diag)
    for i in range(m):
        for j in range(1, n):
            h.addConstr(h2 * (y[i + 1, j] - y[i, j]) == 0.5 * dt * (
                y[i, j - 1] - 2 * y[i, j] + y[i, j + 1]
                + y[i + 1, j - 1] - 2 * y[i + 1, j] + y[i + 1, j + 1]))
    for j in range(n + 1):
        h.addConstr(y[0, j] == 0)
    for i in range(1, m + 1):
        h.addConstr(y[i, 2] - 4 * y[i, 1] + 3 * y[i, 0] == 0)
        h.addConstr(y[i, n - 2] - 4 * y[i, n - 1] + 3 * y[i, n] == 2 * dx * (u[i] - y[i, n]))
    submit(h)
    clock.stop()
    return counts(h) if clock.count else None


def expr(n, clock):
    h = new_model()
    x = h.addVariables(n)
    x = [x[i] for i in range(n)]
    c = coefficients(n)
    clock.start()
    e = highspy.highs.highs_linear_expression()
    for i in range(n):
        e += c[i] * x[i]
    clock.stop()
    return {"elements": n}


def dot_csr(n, clock):
    """HiGHS's matrix call (addRows) is the highspy way to add a sparse matrix of rows."""
    A = csr(n)
    h = new_model()
    h.addVariables(n)
    clock.start()
    h.addRows(n, np.full(n, -INF), np.ones(n), A.nnz, A.indptr, A.indices, A.data)
    clock.stop()
    return {"elements": A.nnz}


def sum_(n, clock):
    h = new_model()
    x = h.addVariables(n)
    x = [x[i] for i in range(n)]
    clock.start()
    h.qsum(x)
    clock.stop()
    return {"elements": n}


def compare(n, clock):
    h = new_model()
    x = h.addVariables(n)
    clock.start()
    x >= 0
    clock.stop()
    return {"elements": n}


def addcons(n, clock):
    h = new_model()
    x = h.addVariables(n + 1)
    x = [x[i] for i in range(n + 1)]
    cons = [x[i] + 2 * x[i + 1] >= 1 for i in range(n)]
    clock.start()
    h.addConstrs(cons)
    clock.stop()
    assert h.getNumRow() == n
    return {"elements": n}


def solution(n, clock):
    h = new_model()
    x = h.addVariables(n, lb=0.0, ub=1.0)
    h.minimize(h.qsum(x))
    clock.start()
    vals = h.vals(x)
    clock.stop()
    assert len(vals) == n
    return {"elements": n}


def empty_rows(h, dim):
    h.addVariables(dim)
    h.addRows(dim, np.full(dim, -INF), np.ones(dim), 0, np.zeros(dim, dtype=np.int32),
              np.zeros(0, dtype=np.int32), np.zeros(0))


def chgmcoef(n, clock):
    """highspy has no call that sets many coefficients: changeCoeff per coefficient."""
    rows, cols, vals = (a.tolist() for a in coefficient_changes(n, API_DIM))
    h = new_model()
    empty_rows(h, API_DIM)
    clock.start()
    for r, c, v in zip(rows, cols, vals):
        h.changeCoeff(r, c, v)
    clock.stop()
    assert h.getNumNz() == n
    return {"elements": n}


def chgcoef(n, clock):
    return chgmcoef(n, clock)


def getrows(n, clock):
    """getRowsEntries over every row: NumPy arrays of starts, indices and values."""
    import scipy.sparse as sp
    d = sparse_lp(n)
    A = sp.csc_matrix((d["value"], d["index"], d["start"]), shape=(d["nrows"], d["ncols"])).tocsr()
    h = new_model()
    ncols = d["ncols"]
    h.addCols(ncols, np.zeros(ncols), np.asarray(d["lb"], float), np.asarray(d["ub"], float), 0,
              np.zeros(ncols, np.int32), np.zeros(0, np.int32), np.zeros(0))
    h.addRows(d["nrows"], d["rlb"], np.full(d["nrows"], INF), A.nnz, A.indptr.astype(np.int32),
              A.indices.astype(np.int32), A.data)
    rows = np.arange(d["nrows"], dtype=np.int32)
    clock.start()
    _, start, index, value = h.getRowsEntries(d["nrows"], rows)
    clock.stop()
    assert len(value) == n
    return {"elements": n}


# model status -> the status names the solve benchmark compares across interfaces
STATUS = {highspy.HighsModelStatus.kOptimal: "optimal",
          highspy.HighsModelStatus.kInfeasible: "infeasible",
          highspy.HighsModelStatus.kUnbounded: "unbounded"}


def solve(instance, clock):
    h = new_model()
    h.setOptionValue("threads", SOLVE_THREADS)
    clock.start()
    h.readModel(instance_path(instance))
    h.run()
    clock.stop()
    status = STATUS.get(h.getModelStatus(), str(h.getModelStatus()))
    info = h.getInfo()
    return {"status": status,
            "objective": info.objective_function_value if status == "optimal" else None,
            "iterations": info.simplex_iteration_count, "nodes": max(0, info.mip_node_count)}


IIS_FROM_LP_ROW_PRIORITY = 6  # kIisStrategyFromLp + kIisStrategyIrreducible


def _solved_lp(instance):
    h = new_model()
    h.setOptionValue("threads", SOLVE_THREADS)
    h.readModel(instance_path(instance))
    h.run()
    return h


def iis(instance, clock):
    """One irreducible infeasible subsystem of an infeasible LP, after its solve."""
    h = _solved_lp(instance)
    # The same search as Nivra's iisfirst(1): from the LP, irreducible, rows preferred (the
    # default, light strategy finds only obvious conflicts and returns none on these).
    h.setOptionValue("iis_strategy", IIS_FROM_LP_ROW_PRIORITY)
    clock.start()
    status, found = h.getIis()
    clock.stop()
    ok = status == highspy.HighsStatus.kOk and found.valid_ and \
        len(found.row_index_) + len(found.col_index_) > 0
    return {"status": "found" if ok else f"status {status}", "iis_rows": len(found.row_index_),
            "iis_cols": len(found.col_index_)}


def ranging(instance, clock):
    """The ranges of every cost and every row bound of an LP, after its solve."""
    h = _solved_lp(instance)
    clock.start()
    status, r = h.getRanging()
    lower, upper = r.col_cost_dn.value_, r.col_cost_up.value_
    rlower, rupper = r.row_bound_dn.value_, r.row_bound_up.value_
    clock.stop()
    assert len(lower) == len(upper) and len(rlower) == len(rupper)
    return {"status": "ranged" if status == highspy.HighsStatus.kOk else f"status {status}",
            "cols": len(lower), "rows": len(rlower)}


BENCHES = {
    "fac": fac, "fac-lin": fac_lin, "lqcp": lqcp, "expr": expr, "dot-csr": dot_csr,
    "sum": sum_, "compare": compare, "addcons": addcons, "solution": solution, "solve": solve,
    "chgmcoef": chgmcoef, "chgcoef": chgcoef, "getrows": getrows, "iis": iis,
    "ranging": ranging,
}
