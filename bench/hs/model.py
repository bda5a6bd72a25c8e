"""The record of one test problem and the registry the problem files fill.

A problem's formulation is one function `model(x, m)`: given its variables `x` (a list) and a
namespace `m` of mathematical functions (`exp`, `log`, `sin`, `cos`, `sqrt`, `erf`, ...), it
returns the objective and the list of constraint rows. The same function builds the Nivra model
(x: Nivra variables, m: the nivra module), evaluates the published point (x: floats, m: math)
and gives the peer exact derivatives (x and m from bench/hs/autodiff.py), so every side solves
the same formulation.
"""

import math
from dataclasses import dataclass
from typing import Callable, NamedTuple, Optional


class Row(NamedTuple):
    """A constraint lo <= body <= hi; None stands for an absent bound."""

    body: object
    lo: Optional[float]
    hi: Optional[float]


def eq(body, rhs):
    return Row(body, rhs, rhs)


def ge(body, lo):
    return Row(body, lo, None)


def le(body, hi):
    return Row(body, None, hi)


def between(lo, body, hi):
    return Row(body, lo, hi)


@dataclass(frozen=True)
class Problem:
    """One problem of the collection with its published data.

    digits: significant digits to which the published x* is given, or None when x* is exact
    (closed form or integers); the data check allows the rounding this implies.
    note: what a reader of the results should know (several optima, a known local solution).
    """

    number: int
    model: Callable
    x0: tuple
    fstar: float
    xstar: tuple
    lb: tuple
    ub: tuple
    digits: Optional[int] = None
    note: str = ""

    @property
    def name(self):
        return f"hs{self.number:03d}"

    @property
    def n(self):
        return len(self.x0)

    def evaluate(self, x, m=math):
        """(objective, rows) of the formulation at the point or variables x."""
        return self.model(list(x), m)


PROBLEMS = {}


def _per_variable(values, n, default):
    if values is None:
        return (default,) * n
    if len(values) != n:
        raise ValueError(f"{len(values)} bounds for {n} variables")
    return tuple(default if v is None else float(v) for v in values)


def hs(number, x0, fstar, xstar, lb=None, ub=None, digits=None, note=""):
    """Registers the decorated formulation as problem `number` of the collection; lb and ub
    list one bound per variable (None: unbounded), or are None when no variable has one."""
    n = len(x0)

    def register(model):
        if number in PROBLEMS:
            raise ValueError(f"problem {number} registered twice")
        if len(xstar) != n:
            raise ValueError(f"problem {number}: x* has {len(xstar)} entries, x0 {n}")
        PROBLEMS[number] = Problem(number, model, tuple(float(v) for v in x0), float(fstar),
                                   tuple(float(v) for v in xstar),
                                   _per_variable(lb, n, -math.inf),
                                   _per_variable(ub, n, math.inf), digits, note)
        return model

    return register
