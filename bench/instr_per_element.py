"""Instructions per element of the element-wise operators on arrays of variables and
expressions, for callgrind.

    python bench/instr_per_element.py CASE N REPS      runs the operation on N elements REPS times
    python bench/instr_per_element.py --measure [CASE ...]

--measure runs each case under callgrind with one and with two repetitions over the same
operands and prints the difference divided by N: one element's operation in a warm process,
the release of the previous result included (as in a chain of operators, where each temporary
array is freed after the next operation).
"""

import sys

import numpy as np
from common import print_instructions_per_unit

import nivra


class Setup:
    """Operands of n elements: variables x and y, linear terms 2·y, expressions x - y and
    x - 2·y + x + y - 2·y + x (six terms, five distinct)."""

    def __init__(self, n):
        self.p = nivra.problem()
        v = self.p.addVariables(2, n, name="")
        self.x, self.y = v[0], v[1]
        self.t = 2 * self.y
        self.e2 = self.x - self.y
        self.e6 = self.x - 2 * self.y + self.p.addVariables(n, name="") + self.y - self.t + \
            self.p.addVariables(n, name="")
        self.c = np.linspace(1.0, 2.0, n)


CASES = {
    "var-var": lambda s: s.x - s.y,
    "num*var": lambda s: 2 * s.x,
    "var-lin": lambda s: s.x - s.t,
    "expr+var": lambda s: s.e2 + s.x,
    "expr-lin": lambda s: s.e2 - s.t,
    "num*expr": lambda s: 0.5 * s.e6,
    "arr*var": lambda s: s.c * s.x,
    "expr+expr": lambda s: s.e2 + s.e6,
    "neg expr": lambda s: -s.e2,
}


if __name__ == "__main__":
    if sys.argv[1] == "--measure":
        print_instructions_per_unit(__file__, sys.argv[2:] or list(CASES), 20000, "element")
    else:
        setup = Setup(int(sys.argv[2]))
        r = None
        for _ in range(int(sys.argv[3])):
            r = CASES[sys.argv[1]](setup)
        del r
