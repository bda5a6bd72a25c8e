"""Helpers of the NumPy and aggregate tests."""

import numpy as np

import nivra
from helpers.model import algebra, new_vars, set_owner  # noqa: F401
from nivra import _nivra


def var_array(vs, shape=None):
    """An array of the variable element type holding vs (reshaped when shape is given)."""
    a = np.array(vs, dtype=_nivra.npvar)
    return a.reshape(shape) if shape is not None else a


def obj_array(items):
    """A 1-dimensional NumPy object array holding items as they are."""
    a = np.empty(len(items), dtype=object)
    a[:] = items
    return a


def lin(e):
    """The linear part of an expression as {variable name: coefficient}."""
    vs, cs = e.extractLinear()
    return {str(v): c for v, c in zip(vs, cs)}


def quad(e):
    """The quadratic part of an expression as {(name, name): coefficient}."""
    us, vs, cs = e.extractQuadratic()
    return {(str(u), str(v)): c for u, v, c in zip(us, vs, cs)}


def const_of(e):
    """The constant of an expression, read from its printed form (printed with %g)."""
    assert type(e) is nivra.expression, type(e)
    tokens = str(e).split()
    if len(tokens) > 1 and tokens[1] == "*":
        return 0.0
    try:
        return float(tokens[0])
    except ValueError:
        return 0.0


def is_nonlinear(obj):
    """True for a nivra.nonlinear object (the type is not a module attribute)."""
    return type(obj).__name__ == "nonlinear" and type(obj).__module__ == "nivra"
