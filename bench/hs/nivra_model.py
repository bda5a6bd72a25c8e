"""A problem of the collection as a Nivra model on a `nivra.problem`."""

import nivra


def _bound(value):
    return max(-nivra.infinity, min(nivra.infinity, value))


def _constraint(row):
    lo = -nivra.infinity if row.lo is None else row.lo
    hi = nivra.infinity if row.hi is None else row.hi
    return nivra.constraint(body=row.body, lb=lo, ub=hi)


def build(problem, p):
    """Adds the problem's variables, objective and constraints to p; returns (variables,
    objective, rows), the rows' bodies being the Nivra expressions that were added."""
    x = [p.addVariable(lb=_bound(lo), ub=_bound(hi)) for lo, hi in zip(problem.lb, problem.ub)]
    objective, rows = problem.evaluate(x, nivra)
    p.setObjective(objective)
    if rows:
        p.addConstraint([_constraint(row) for row in rows])
    return x, objective, rows


def set_start(p, x, x0):
    """Starts the nonlinear solve of p at x0. Raises NotImplementedError when this build of the
    module has no way to pass initial values (the nonlinear API's `nlpsetinitval`)."""
    setter = getattr(p, "nlpsetinitval", None)
    if setter is None:
        raise NotImplementedError("nivra.problem has no nlpsetinitval: cannot start at x0")
    setter(x, [float(v) for v in x0])
