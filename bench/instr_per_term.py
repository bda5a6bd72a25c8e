"""Instructions per term of the model-building loops, for callgrind.

    python bench/instr_per_term.py CASE N REPS      runs the loop of N terms REPS times
    python bench/instr_per_term.py --measure [CASE ...]

--measure runs each case under callgrind once with one pass of its loop and once with two, over
the same setup (variables, coefficients), and prints the difference of the instruction counts
divided by N: the cost of one term of the loop in a warm process. The machine is shared and
noisy; these counts are not.
"""

import sys

import numpy as np
from common import print_instructions_per_unit

import nivra


class Setup:
    """What every case starts from: n variables x and y, as arrays and x as a list, and n
    coefficients as a list and as an array."""

    def __init__(self, n):
        self.p = nivra.problem()
        self.x = self.p.addVariables(n, name="")
        self.y = self.p.addVariables(n, name="")
        self.xl = list(self.x)
        self.cl = [1.0 + (i % 7) for i in range(n)]
        self.ca = np.array(self.cl)


def iadd(s):
    e = nivra.expression()
    for c, x in zip(s.cl, s.xl):
        e += c * x


def qadd(s):
    e = nivra.expression()
    for x, y in zip(s.xl, s.y):
        e += x * y


def term(s):
    for c, x in zip(s.cl, s.xl):
        c * x


def sum_(s):
    nivra.Sum(s.x)


def sum_cx(s):
    nivra.Sum(s.ca * s.x)


def dot(s):
    nivra.Dot(s.ca, s.x)


def elem_cx(s):
    s.ca * s.x


def elem_axpy(s):
    s.ca * s.x + 2 * s.y - 1


def pde(s):
    # the element-wise rows of lqcp (bench/ifaces/nivra.py) over two rows of n // 2 columns
    y = s.x.reshape(2, -1)
    _ = 2.0 * (y[1:, 1:-1] - y[:-1, 1:-1]) == 0.5 * (
        y[:-1, :-2] - 2 * y[:-1, 1:-1] + y[:-1, 2:] + y[1:, :-2] - 2 * y[1:, 1:-1] + y[1:, 2:])


CASES = {"iadd": iadd, "qadd": qadd, "term": term, "sum": sum_, "sum_cx": sum_cx, "dot": dot,
         "elem_cx": elem_cx, "elem_axpy": elem_axpy, "pde": pde}


if __name__ == "__main__":
    if sys.argv[1] == "--measure":
        print_instructions_per_unit(__file__, sys.argv[2:] or list(CASES), 10000, "term")
    else:
        setup = Setup(int(sys.argv[2]))
        for _ in range(int(sys.argv[3])):
            CASES[sys.argv[1]](setup)
