"""Exact first and second derivatives of a problem's formulation, for the peer solver.

Forward mode of second order: every value carries its gradient and its (dense) Hessian with
respect to the n variables, so one evaluation of the formulation gives the objective's and every
row's value, gradient and Hessian at once. The problems have at most a few variables, where
this is simpler and no slower than a reverse sweep. `MATH` is the namespace of functions the
formulations call (`m.exp`, `m.log`, ...), working on these values and on plain floats.
"""

import math
from types import SimpleNamespace

import numpy as np


class Value:
    """f, its gradient g (n) and Hessian h (n x n) at the point."""

    __slots__ = ("f", "g", "h")
    __array_priority__ = 1000  # NumPy scalars hand arithmetic with a Value to the Value

    def __init__(self, f, g, h):
        self.f, self.g, self.h = f, g, h

    def _chain(self, f, d1, d2):
        """phi(self) for phi with phi' = d1 and phi'' = d2 at self.f."""
        return Value(f, d1 * self.g, d1 * self.h + d2 * np.outer(self.g, self.g))

    def __add__(self, o):
        if isinstance(o, Value):
            return Value(self.f + o.f, self.g + o.g, self.h + o.h)
        return Value(self.f + o, self.g, self.h)

    __radd__ = __add__

    def __neg__(self):
        return Value(-self.f, -self.g, -self.h)

    def __sub__(self, o):
        return self + (-o)

    def __rsub__(self, o):
        return (-self) + o

    def __mul__(self, o):
        if isinstance(o, Value):
            cross = np.outer(self.g, o.g)
            return Value(self.f * o.f, self.g * o.f + o.g * self.f,
                         self.h * o.f + o.h * self.f + cross + cross.T)
        return Value(self.f * o, self.g * o, self.h * o)

    __rmul__ = __mul__

    def __truediv__(self, o):
        if isinstance(o, Value):
            return self * o._chain(1 / o.f, -1 / o.f ** 2, 2 / o.f ** 3)
        return self * (1 / o)

    def __rtruediv__(self, o):
        return self._chain(o / self.f, -o / self.f ** 2, 2 * o / self.f ** 3) if o else 0.0

    def __pow__(self, p):
        if isinstance(p, Value):
            return exp(p * log(self))
        if p == 0:
            return 1.0
        return self._chain(self.f ** p, p * self.f ** (p - 1), p * (p - 1) * self.f ** (p - 2))

    def __rpow__(self, base):
        return exp(self * math.log(base))


def variables(x):
    """The point x (a sequence of floats) as n independent values."""
    n = len(x)
    eye = np.eye(n)
    zero = np.zeros((n, n))
    return [Value(float(v), eye[i], zero) for i, v in enumerate(x)]


def _unary(fn, d1, d2):
    def apply(a):
        if not isinstance(a, Value):
            return fn(a)
        return a._chain(fn(a.f), d1(a.f), d2(a.f))

    apply.__name__ = fn.__name__
    return apply


exp = _unary(math.exp, math.exp, math.exp)
log = _unary(math.log, lambda t: 1 / t, lambda t: -1 / t ** 2)
sqrt = _unary(math.sqrt, lambda t: 0.5 / math.sqrt(t), lambda t: -0.25 * t ** -1.5)
sin = _unary(math.sin, math.cos, lambda t: -math.sin(t))
cos = _unary(math.cos, lambda t: -math.sin(t), lambda t: -math.cos(t))
_ERF = 2 / math.sqrt(math.pi)
erf = _unary(math.erf, lambda t: _ERF * math.exp(-t * t),
             lambda t: -2 * t * _ERF * math.exp(-t * t))


MATH = SimpleNamespace(exp=exp, log=log, sqrt=sqrt, sin=sin, cos=cos, erf=erf)
