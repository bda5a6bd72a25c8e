"""Helpers of the optimizer API tests: quiet problems, the model as the reading members report
it, and independent solutions of the same data with SciPy."""

import numpy as np

import nivra


def quiet():
    p = nivra.problem()
    p.setOutputEnabled(False)
    return p


def out(method, *args):
    """Calls a reading member with one fresh output list first and returns that list."""
    lst = []
    method(lst, *args)
    return lst


def snapshot(p):
    """Everything the reading members report about p, for comparisons before and after a call
    that must change nothing."""
    m, n = p.attributes.rows, p.attributes.cols
    s = {"name": p.name(), "sense": p.attributes.objsense}
    for what, first, last in (("rows", 0, m - 1), ("cols", 0, n - 1)):
        start, ind, val = [], [], []
        getattr(p, "get" + what)(start, ind, val, 10**7, first, last)
        s[what] = (start, [getattr(i, "index", i) for i in ind], val)
    s["lb"], s["ub"] = out(p.getlb), out(p.getub)
    s["obj"] = out(p.getobj, -1, n - 1)
    s["coltype"] = out(p.getcoltype, 0, n - 1)
    s["rowtype"], s["rhs"], s["rng"] = (out(p.getrowtype, 0, m - 1), out(p.getrhs, 0, m - 1),
                                        out(p.getrhsrange, 0, m - 1))
    ind, comp = [], []
    p.getindicators(ind, comp, 0, m - 1)
    s["indicators"] = ([getattr(i, "index", i) for i in ind], comp)
    ent = [[] for _ in range(7)]
    p.getmipentities(*ent)
    s["entities"] = [[getattr(i, "index", i) for i in e] for e in ent]
    q = [[], [], []]
    p.getmqobj(q[0], q[1], q[2], 10**6, 0, n - 1)
    s["q"] = (q[0], [v.index for v in q[1]], q[2])
    s["names"] = [p.getnamelist(t) for t in (1, 2, 3)]
    s["objects"] = ([v.index for v in p.getVariable()], [c.index for c in p.getConstraint()],
                    [x.index for x in p.getSOS()])
    s["counts"] = (p.attributes.pwlcons, p.attributes.gencons, p.attributes.qconstraints)
    return s


def dense(p):
    """The matrix, row bounds (lower, upper), column bounds and costs of an LP read back through
    the API: the data SciPy gets."""
    m, n = p.attributes.rows, p.attributes.cols
    A = np.zeros((m, n))
    start, ind, val = [], [], []
    p.getrows(start, ind, val, 10**7, 0, m - 1)
    for i in range(m):
        for k in range(start[i], start[i + 1]):
            A[i, ind[k].index] = val[k]
    types, rhs, rng = out(p.getrowtype, 0, m - 1), out(p.getrhs, 0, m - 1), out(p.getrhsrange, 0, m - 1)
    lo = [r - g if t == "R" else r if t in "GE" else -np.inf for t, r, g in zip(types, rhs, rng)]
    up = [r if t in "LER" else np.inf for t, r in zip(types, rhs)]
    return A, np.array(lo), np.array(up), out(p.getlb), out(p.getub), out(p.getobj, 0, n - 1)


def scipy_optimum(A, row_lo, row_up, lb, ub, c, integrality=None, sense=1):
    """The optimal objective of min (or max, sense -1) c'x over row_lo <= Ax <= row_up,
    lb <= x <= ub (with integrality, as scipy.optimize.milp takes it), or None when infeasible."""
    from scipy.optimize import Bounds, LinearConstraint, milp

    c = np.asarray(c, dtype=float) * sense
    cons = [LinearConstraint(A, row_lo, row_up)] if len(row_lo) else []
    lb = np.array([-np.inf if v <= -1e20 else v for v in lb], dtype=float)
    ub = np.array([np.inf if v >= 1e20 else v for v in ub], dtype=float)
    res = milp(c, constraints=cons, bounds=Bounds(lb, ub), integrality=integrality)
    return None if res.status == 2 else sense * res.fun
