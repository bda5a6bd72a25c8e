"""Process synthesis: which of three units to build, and how to run them, for the best
profit of a small chemical flowsheet (Duran and Grossmann, 1986, example 1).

Binary variables y choose the units; continuous flows x run them. The conversion of the
units follows logarithmic laws, so both the objective and two of the rows are nonlinear;
the rest are logical links between the units and their flows (a flow needs its unit, the
two reactors exclude each other). The model is convex, so the library's branch and bound,
which solves a nonlinear relaxation at every node, finds its optimum: 6.009759 in the
published solution, with unit 2 built.

Run:  python examples/process_synthesis.py
"""

import nivra


def build():
    """The model, unsolved: the problem, the unit choices y and the flows [x1, x2, x3]."""
    p = nivra.problem(name="synthesis")
    p.setOutputEnabled(False)  # comment this out to see the solver log
    x1 = p.addVariable(lb=0, ub=2, name="x1")
    x2 = p.addVariable(lb=0, ub=2, name="x2")
    x3 = p.addVariable(lb=0, ub=1, name="x3")
    y = p.addVariables(3, vartype=nivra.binary, name="y")
    first, second = nivra.log(x2 + 1), nivra.log(x1 - x2 + 1)
    p.addConstraint(0.8 * first + 0.96 * second - 0.8 * x3 >= 0,
                    first + 1.2 * second - x3 - 2 * y[2] >= -2,
                    x2 - x1 <= 0,
                    x2 - 2 * y[0] <= 0,
                    x1 - x2 - 2 * y[1] <= 0,
                    y[0] + y[1] <= 1)
    p.setObjective(5 * y[0] + 6 * y[1] + 8 * y[2] + 10 * x1 - 7 * x3 - 18 * first
                   - 19.2 * second + 10)
    return p, y, [x1, x2, x3]


def solve():
    p, y, flows = build()
    p.optimize()
    return p.attributes.objval, p.getSolution(y), p.getSolution(flows)


if __name__ == "__main__":
    profit, built, flows = solve()
    print(f"Cost: {profit:.6f}")
    print("Units built:", [k + 1 for k in range(3) if built[k] > 0.5])
    print("Flows:", [round(v, 6) for v in flows])
