"""linopy, handing its model to HiGHS through highspy in memory (io_api="direct").

linopy builds whole arrays of variables and constraints at once (xarray broadcasting), so its
models are written that way; it has no quadratic constraints."""

from importlib.metadata import version as _dist_version

import linopy
import numpy as np
import pandas as pd
import xarray as xr

from common import FAC_M, Lqcp, Unsupported
from data import dense


def version():
    return _dist_version("linopy")


def submit(m):
    """Hands the model to HiGHS with solving suppressed."""
    m.solve(solver_name="highs", io_api="direct", time_limit=0.0, output_flag=False)


def counts(m):
    h = m.solver_model
    return {"vars": h.getNumCol(), "rows": h.getNumRow(), "nz": h.getNumNz(),
            "qrows": 0, "qnz": 0}


def fac_lin(n, clock):
    clock.start()
    m = linopy.Model()
    G = F = n
    i = pd.RangeIndex(G + 1, name="i")
    j = pd.RangeIndex(G + 1, name="j")
    f = pd.RangeIndex(1, F + 1, name="f")
    k = pd.RangeIndex(1, 3, name="k")
    y = m.add_variables(lower=0, upper=1, coords=[f, k], name="y")
    s = m.add_variables(lower=0, coords=[i, j, f], name="s")
    z = m.add_variables(binary=True, coords=[i, j, f], name="z")
    r = m.add_variables(coords=[i, j, f, k], name="r")
    d = m.add_variables(name="d")
    m.add_objective(1 * d)
    m.add_constraints(z.sum("f") == 1, name="assign")
    m.add_constraints(s == d + FAC_M * (1 - z), name="link")
    # grid point coordinates: (i/G, j/G) along k
    point = xr.concat([xr.DataArray(i / G, coords=[i]) + 0 * xr.DataArray(j, coords=[j]),
                       0 * xr.DataArray(i, coords=[i]) + xr.DataArray(j / G, coords=[j])],
                      dim=k)
    m.add_constraints(r == point - y, name="dist")
    submit(m)
    clock.stop()
    return counts(m) if clock.count else None


def fac(n, clock):
    raise Unsupported("linopy has no quadratic constraints")


def lqcp(n, clock):
    p = Lqcp(n)
    mm, dx, dt, h2 = p.m, p.dx, p.dt, p.h2
    wy, wu = p.objective_weights()
    clock.start()
    m = linopy.Model()
    i = pd.RangeIndex(mm + 1, name="i")
    j = pd.RangeIndex(n + 1, name="j")
    y = m.add_variables(lower=0, upper=1, coords=[i, j], name="y")
    u = m.add_variables(lower=-1, upper=1, coords=[pd.RangeIndex(1, mm + 1, name="i")], name="u")
    yt = xr.DataArray(np.array(p.yt), coords=[j])
    e = y.sel(i=mm) - yt
    obj = ((xr.DataArray(wy, coords=[j]) * e * e).sum()
           + (xr.DataArray(wu, coords=[u.indexes["i"]]) * u * u).sum())
    m.add_objective(obj - float(obj.const))  # linopy refuses objective constants
    ii = xr.DataArray(np.arange(mm + 1), coords=[i])
    jj = xr.DataArray(np.arange(n + 1), coords=[j])
    up, left, right = y.shift(i=-1), y.shift(j=1), y.shift(j=-1)
    m.add_constraints(
        h2 * (up - y) == 0.5 * dt * (left - 2 * y + right
                                     + up.shift(j=1) - 2 * up + up.shift(j=-1)),
        mask=(ii < mm) & (jj >= 1) & (jj <= n - 1), name="pde")
    m.add_constraints(y.sel(i=0) == 0, name="ic")
    yb = y.sel(i=slice(1, None))
    m.add_constraints(yb.sel(j=2) - 4 * yb.sel(j=1) + 3 * yb.sel(j=0) == 0, name="bc0")
    m.add_constraints(yb.sel(j=n - 2) - 4 * yb.sel(j=n - 1) + 3 * yb.sel(j=n)
                      == 2 * dx * (u - yb.sel(j=n)), name="bcn")
    submit(m)
    clock.stop()
    return counts(m) if clock.count else None


def xqx(n, clock):
    m = linopy.Model()
    a = pd.RangeIndex(n, name="a")
    b = pd.RangeIndex(n, name="b")
    x = m.add_variables(coords=[a], name="x")
    Q = xr.DataArray(dense(n), coords=[a, b])
    clock.start()
    (Q * x * x.rename(a="b")).sum()
    clock.stop()
    return {"elements": n * n}


def dense_mv(n, clock):
    m = linopy.Model()
    a = pd.RangeIndex(n, name="a")
    b = pd.RangeIndex(n, name="b")
    x = m.add_variables(coords=[b], name="x")
    A = xr.DataArray(dense(n), coords=[a, b])
    clock.start()
    (A * x).sum("b")
    clock.stop()
    return {"elements": n * n}


def sum_(n, clock):
    m = linopy.Model()
    x = m.add_variables(coords=[pd.RangeIndex(n, name="a")], name="x")
    clock.start()
    x.sum()
    clock.stop()
    return {"elements": n}


def compare(n, clock):
    m = linopy.Model()
    x = m.add_variables(coords=[pd.RangeIndex(n, name="a")], name="x")
    clock.start()
    x >= 0
    clock.stop()
    return {"elements": n}


def addcons(n, clock):
    m = linopy.Model()
    x = m.add_variables(coords=[pd.RangeIndex(n + 1, name="a")], name="x")
    lhs = x.isel(a=slice(0, n)) + 2 * x.shift(a=-1).isel(a=slice(0, n))
    cons = lhs >= 1
    clock.start()
    m.add_constraints(cons, name="c")
    clock.stop()
    assert m.ncons == n
    return {"elements": n}


def solution(n, clock):
    m = linopy.Model()
    x = m.add_variables(lower=0, upper=1, coords=[pd.RangeIndex(n, name="a")], name="x")
    m.add_objective(x.sum())
    m.solve(solver_name="highs", io_api="direct", output_flag=False)
    clock.start()
    vals = x.solution.values
    clock.stop()
    assert len(vals) == n
    return {"elements": n}


BENCHES = {
    "fac": fac, "fac-lin": fac_lin, "lqcp": lqcp, "xqx": xqx, "dense-mv": dense_mv,
    "sum": sum_, "compare": compare, "addcons": addcons, "solution": solution,
}
