"""Helpers of the tests of the model transfer: quiet problems and the sizes the library reports."""

import nivra


def quiet(**kwargs):
    """A problem whose log is not printed."""
    p = nivra.problem(**kwargs)
    p.setOutputEnabled(False)
    return p


def ncols(p):
    return p.attributes.originalcols


def nrows(p):
    return p.attributes.originalrows


def objective_at(p, fixed):
    """The objective value with the variables fixed at the given values (a dict var -> value),
    found by solving: this reads back what the library holds as the objective."""
    for v, x in fixed.items():
        v.lb = v.ub = x
    p.optimize()
    return p.attributes.objval
