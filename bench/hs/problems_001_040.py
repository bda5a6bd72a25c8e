"""Hock-Schittkowski problems 1 to 40.

Source: W. Hock and K. Schittkowski, "Test Examples for Nonlinear Programming Codes", Lecture
Notes in Economics and Mathematical Systems 187, Springer, 1981. Formulations, starting points
and optima as published there, read from the public transcriptions of the collection in the
CasADi test suite (test/python/hock_schittkowski/hsNNN.py) and Princeton's CUTE AMPL models
(R. Vanderbei, H. Benson; hsNNN.mod). Where a transcription departs from the book's data as the
other one and the book's own comments quoted there give it, the book's data is used and the
difference is noted at the problem. Each function returns (objective, constraint rows).
"""

import math

from .model import eq, ge, hs, le

SQRT3 = math.sqrt(3.0)


def rosenbrock(x):
    return 100 * (x[1] - x[0] ** 2) ** 2 + (1 - x[0]) ** 2


@hs(1, x0=(-2, 1), fstar=0, xstar=(1, 1), lb=(None, -1.5))
def hs001(x, m):
    return rosenbrock(x), []


@hs(2, x0=(-2, 1), fstar=0.0504261879, xstar=(1.224370749, 1.5), lb=(None, 1.5), digits=10,
    note="local methods started at x0 often stop at the local minimum (-1.2210, 1.5), f 4.9412")
def hs002(x, m):
    return rosenbrock(x), []


@hs(3, x0=(10, 1), fstar=0, xstar=(0, 0), lb=(None, 0))
def hs003(x, m):
    return x[1] + 1e-5 * (x[1] - x[0]) ** 2, []


@hs(4, x0=(1.125, 0.125), fstar=8 / 3, xstar=(1, 0), lb=(1, 0))
def hs004(x, m):
    return (x[0] + 1) ** 3 / 3 + x[1], []


@hs(5, x0=(0, 0), fstar=-SQRT3 / 2 - math.pi / 3,
    xstar=(0.5 - math.pi / 3, -0.5 - math.pi / 3), lb=(-1.5, -3), ub=(4, 3))
def hs005(x, m):
    return m.sin(x[0] + x[1]) + (x[0] - x[1]) ** 2 - 1.5 * x[0] + 2.5 * x[1] + 1, []


@hs(6, x0=(-1.2, 1), fstar=0, xstar=(1, 1))
def hs006(x, m):
    return (1 - x[0]) ** 2, [eq(10 * (x[1] - x[0] ** 2), 0)]


@hs(7, x0=(2, 2), fstar=-SQRT3, xstar=(0, SQRT3))
def hs007(x, m):
    return m.log(1 + x[0] ** 2) - x[1], [eq((1 + x[0] ** 2) ** 2 + x[1] ** 2, 4)]


_A8 = math.sqrt((25 + math.sqrt(301)) / 2)


@hs(8, x0=(2, 1), fstar=-1, xstar=(_A8, 9 / _A8),
    note="a feasibility problem (constant objective) with four solutions")
def hs008(x, m):
    return -1.0, [eq(x[0] ** 2 + x[1] ** 2, 25), eq(x[0] * x[1], 9)]


@hs(9, x0=(0, 0), fstar=-0.5, xstar=(-3, -4), note="solutions (12k - 3, 16k - 4) for every k")
def hs009(x, m):
    return m.sin(math.pi * x[0] / 12) * m.cos(math.pi * x[1] / 16), [eq(4 * x[0] - 3 * x[1], 0)]


@hs(10, x0=(-10, 10), fstar=-1, xstar=(0, 1))
def hs010(x, m):
    return x[0] - x[1], [ge(-3 * x[0] ** 2 + 2 * x[0] * x[1] - x[1] ** 2, -1)]


_A11 = (7.5 * math.sqrt(6) + math.sqrt(338.5)) ** (1 / 3)  # x1* in closed form, from the book


@hs(11, x0=(4.9, 0.1), fstar=-8.498464223,
    xstar=((_A11 - 1 / _A11) / math.sqrt(6), (_A11 ** 2 - 2 + _A11 ** -2) / 6))
def hs011(x, m):
    return (x[0] - 5) ** 2 + x[1] ** 2 - 25, [ge(x[1] - x[0] ** 2, 0)]


@hs(12, x0=(0, 0), fstar=-30, xstar=(2, 3))
def hs012(x, m):
    obj = 0.5 * x[0] ** 2 + x[1] ** 2 - x[0] * x[1] - 7 * x[0] - 7 * x[1]
    return obj, [le(4 * x[0] ** 2 + x[1] ** 2, 25)]


@hs(13, x0=(-2, -2), fstar=1, xstar=(1, 0), lb=(0, 0),
    note="x0 lies outside the bounds; the constraints are not regular at x*")
def hs013(x, m):
    return (x[0] - 2) ** 2 + x[1] ** 2, [ge((1 - x[0]) ** 3 - x[1], 0)]


@hs(14, x0=(2, 2), fstar=9 - 2.875 * math.sqrt(7),
    xstar=((math.sqrt(7) - 1) / 2, (math.sqrt(7) + 1) / 4))
def hs014(x, m):
    obj = (x[0] - 2) ** 2 + (x[1] - 1) ** 2
    return obj, [le(x[0] ** 2 / 4 + x[1] ** 2, 1), eq(x[0] - 2 * x[1], -1)]


@hs(15, x0=(-2, 1), fstar=306.5, xstar=(0.5, 2), ub=(0.5, None))
def hs015(x, m):
    return rosenbrock(x), [ge(x[0] * x[1], 1), ge(x[0] + x[1] ** 2, 0)]


@hs(16, x0=(-2, 1), fstar=0.25, xstar=(0.5, 0.25), lb=(-0.5, None), ub=(0.5, 1),
    note="x0 lies outside the bounds; Ipopt scales the objective by its gradient at the start it "
    "is given: at x0 itself (factor 0.042) it reaches x*, at x0 moved into the bounds (0.67) "
    "the local minimum (-0.5, 0.7071), f 23.145")
def hs016(x, m):
    return rosenbrock(x), [ge(x[0] + x[1] ** 2, 0), ge(x[0] ** 2 + x[1], 0)]


@hs(17, x0=(-2, 1), fstar=1, xstar=(0, 0), lb=(-0.5, None), ub=(0.5, 1))
def hs017(x, m):
    return rosenbrock(x), [ge(x[1] ** 2 - x[0], 0), ge(x[0] ** 2 - x[1], 0)]


@hs(18, x0=(2, 2), fstar=5, xstar=(math.sqrt(250), math.sqrt(2.5)), lb=(2, 0), ub=(50, 50))
def hs018(x, m):
    return 0.01 * x[0] ** 2 + x[1] ** 2, [ge(x[0] * x[1], 25), ge(x[0] ** 2 + x[1] ** 2, 25)]


# Both constraints are active: x1 = 14.095 exactly, x2 from the first one.
@hs(19, x0=(20.1, 5.84), fstar=-6961.81381, xstar=(14.095, 5 - math.sqrt(100 - 9.095 ** 2)),
    lb=(13, 0), ub=(100, 100))
def hs019(x, m):
    obj = (x[0] - 10) ** 3 + (x[1] - 20) ** 3
    return obj, [ge((x[0] - 5) ** 2 + (x[1] - 5) ** 2, 100),
                 le((x[1] - 5) ** 2 + (x[0] - 6) ** 2, 82.81)]


@hs(20, x0=(-2, 1), fstar=81.5 - 25 * SQRT3, xstar=(0.5, SQRT3 / 2), lb=(-0.5, None),
    ub=(0.5, None),
    note="local methods started at x0 often stop at the local minimum (-0.5, 0.866), f 40.199")
def hs020(x, m):
    return rosenbrock(x), [ge(x[0] + x[1] ** 2, 0), ge(x[0] ** 2 + x[1], 0),
                           ge(x[0] ** 2 + x[1] ** 2, 1)]


@hs(21, x0=(-1, -1), fstar=-99.96, xstar=(2, 0), lb=(2, -50), ub=(50, 50))
def hs021(x, m):
    return 0.01 * x[0] ** 2 + x[1] ** 2 - 100, [ge(10 * x[0] - x[1], 10)]


@hs(22, x0=(2, 2), fstar=1, xstar=(1, 1))
def hs022(x, m):
    obj = (x[0] - 2) ** 2 + (x[1] - 1) ** 2
    return obj, [le(x[0] + x[1], 2), ge(x[1] - x[0] ** 2, 0)]


@hs(23, x0=(3, 1), fstar=2, xstar=(1, 1), lb=(-50, -50), ub=(50, 50))
def hs023(x, m):
    return x[0] ** 2 + x[1] ** 2, [
        ge(x[0] + x[1], 1), ge(x[0] ** 2 + x[1] ** 2, 1), ge(9 * x[0] ** 2 + x[1] ** 2, 9),
        ge(x[0] ** 2 - x[1], 0), ge(x[1] ** 2 - x[0], 0)]


@hs(24, x0=(1, 0.5), fstar=-1, xstar=(3, SQRT3), lb=(0, 0))
def hs024(x, m):
    obj = ((x[0] - 3) ** 2 - 9) * x[1] ** 3 / (27 * SQRT3)
    return obj, [ge(x[0] / SQRT3 - x[1], 0), ge(x[0] + SQRT3 * x[1], 0),
                 le(x[0] + SQRT3 * x[1], 6)]


_U25 = [25 + (-50 * math.log(0.01 * i)) ** (2 / 3) for i in range(1, 100)]


@hs(25, x0=(100, 12.5, 3), fstar=0, xstar=(50, 25, 1.5), lb=(0.1, 0, 0), ub=(100, 25.6, 5))
def hs025(x, m):
    return sum((-0.01 * i + m.exp(-((u - x[1]) ** x[2]) / x[0])) ** 2
               for i, u in enumerate(_U25, start=1)), []


@hs(26, x0=(-2.6, 2, 2), fstar=0, xstar=(1, 1, 1))
def hs026(x, m):
    return (x[0] - x[1]) ** 2 + (x[1] - x[2]) ** 4, [eq((1 + x[1] ** 2) * x[0] + x[2] ** 4, 3)]


@hs(27, x0=(2, 2, 2), fstar=0.04, xstar=(-1, 1, 0))
def hs027(x, m):
    return 0.01 * (x[0] - 1) ** 2 + (x[1] - x[0] ** 2) ** 2, [eq(x[0] + x[2] ** 2, -1)]


@hs(28, x0=(-4, 1, 1), fstar=0, xstar=(0.5, -0.5, 0.5))
def hs028(x, m):
    return (x[0] + x[1]) ** 2 + (x[1] + x[2]) ** 2, [eq(x[0] + 2 * x[1] + 3 * x[2], 1)]


@hs(29, x0=(1, 1, 1), fstar=-16 * math.sqrt(2), xstar=(4, 2 * math.sqrt(2), 2),
    note="four optima with the same objective (signs of the components)")
def hs029(x, m):
    return -x[0] * x[1] * x[2], [le(x[0] ** 2 + 2 * x[1] ** 2 + 4 * x[2] ** 2, 48)]


@hs(30, x0=(1, 1, 1), fstar=1, xstar=(1, 0, 0), lb=(1, -10, -10), ub=(10, 10, 10))
def hs030(x, m):
    return x[0] ** 2 + x[1] ** 2 + x[2] ** 2, [ge(x[0] ** 2 + x[1] ** 2, 1)]


@hs(31, x0=(1, 1, 1), fstar=6, xstar=(1 / SQRT3, SQRT3, 0), lb=(-10, 1, -10), ub=(10, 10, 1))
def hs031(x, m):
    return 9 * x[0] ** 2 + x[1] ** 2 + 9 * x[2] ** 2, [ge(x[0] * x[1], 1)]


@hs(32, x0=(0.1, 0.7, 0.2), fstar=1, xstar=(0, 0, 1), lb=(0, 0, 0))
def hs032(x, m):
    obj = (x[0] + 3 * x[1] + x[2]) ** 2 + 4 * (x[0] - x[1]) ** 2
    return obj, [ge(6 * x[1] + 4 * x[2] - x[0] ** 3, 3), eq(x[0] + x[1] + x[2], 1)]


@hs(33, x0=(0, 0, 3), fstar=math.sqrt(2) - 6, xstar=(0, math.sqrt(2), math.sqrt(2)),
    lb=(0, 0, 0), ub=(None, None, 5))
def hs033(x, m):
    obj = (x[0] - 1) * (x[0] - 2) * (x[0] - 3) + x[2]
    return obj, [ge(x[2] ** 2 - x[0] ** 2 - x[1] ** 2, 0),
                 ge(x[0] ** 2 + x[1] ** 2 + x[2] ** 2, 4)]


@hs(34, x0=(0, 1.05, 2.9), fstar=-math.log(math.log(10)),
    xstar=(math.log(math.log(10)), math.log(10), 10), lb=(0, 0, 0), ub=(100, 100, 10))
def hs034(x, m):
    return -x[0], [ge(x[1] - m.exp(x[0]), 0), ge(x[2] - m.exp(x[1]), 0)]


@hs(35, x0=(0.5, 0.5, 0.5), fstar=1 / 9, xstar=(4 / 3, 7 / 9, 4 / 9), lb=(0, 0, 0))
def hs035(x, m):
    obj = (9 - 8 * x[0] - 6 * x[1] - 4 * x[2] + 2 * x[0] ** 2 + 2 * x[1] ** 2 + x[2] ** 2
           + 2 * x[0] * x[1] + 2 * x[0] * x[2])
    return obj, [le(x[0] + x[1] + 2 * x[2], 3)]


@hs(36, x0=(10, 10, 10), fstar=-3300, xstar=(20, 11, 15), lb=(0, 0, 0), ub=(20, 11, 42))
def hs036(x, m):
    return -x[0] * x[1] * x[2], [le(x[0] + 2 * x[1] + 2 * x[2], 72)]


@hs(37, x0=(10, 10, 10), fstar=-3456, xstar=(24, 12, 12), lb=(0, 0, 0), ub=(42, 42, 42))
def hs037(x, m):
    body = x[0] + 2 * x[1] + 2 * x[2]
    return -x[0] * x[1] * x[2], [le(body, 72), ge(body, 0)]


@hs(38, x0=(-3, -1, -3, -1), fstar=0, xstar=(1, 1, 1, 1), lb=(-10,) * 4, ub=(10,) * 4)
def hs038(x, m):
    return (100 * (x[1] - x[0] ** 2) ** 2 + (1 - x[0]) ** 2 + 90 * (x[3] - x[2] ** 2) ** 2
            + (1 - x[2]) ** 2 + 10.1 * ((x[1] - 1) ** 2 + (x[3] - 1) ** 2)
            + 19.8 * (x[1] - 1) * (x[3] - 1)), []


@hs(39, x0=(2, 2, 2, 2), fstar=-1, xstar=(1, 1, 0, 0))
def hs039(x, m):
    return -x[0], [eq(x[1] - x[0] ** 3 - x[2] ** 2, 0), eq(x[0] ** 2 - x[1] - x[3] ** 2, 0)]


# The CasADi transcription gives x2* = 2^(1/2), which violates the first constraint; the book's
# 2^(-1/2) is used.
@hs(40, x0=(0.8,) * 4, fstar=-0.25, xstar=(2 ** (-1 / 3), 2 ** -0.5, 2 ** (-11 / 12), 2 ** -0.25))
def hs040(x, m):
    return -x[0] * x[1] * x[2] * x[3], [
        eq(x[0] ** 3 + x[1] ** 2, 1), eq(x[0] ** 2 * x[3] - x[2], 0), eq(x[3] ** 2 - x[1], 0)]
