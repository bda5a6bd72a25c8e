#!/usr/bin/env python3
"""bench_minlp.py: small mixed-integer nonlinear test problems with published optima, solved by
both of Nivra's branch and bounds: `slp` (control nlp_solver = 1: the library's own search, each
node solved by successive linear programming) and `bonmin` (nlp_solver = 0: Bonmin's search over
the interior-point solver). Each (problem, engine) is solved --reps times, each time in a fresh
problem; the CPU time of optimize() (process time, all threads) is the median.

Problems (MINLPLib, with the optima published there): the process synthesis of
examples/process_synthesis.py (Duran and Grossmann 1986, 6.009759), ex1221 (7.667180),
ex1225 (31.0), gkocis (-1.923099).

    .venv/bin/python bench/bench_minlp.py [--reps 5]
"""

import argparse
import statistics
import time

import nivra

ENGINES = {"slp": 1, "bonmin": 0}


def synthesis(p):
    x1, x2 = p.addVariable(ub=2), p.addVariable(ub=2)
    x3 = p.addVariable(ub=1)
    y = p.addVariables(3, vartype=nivra.binary)
    first, second = nivra.log(x2 + 1), nivra.log(x1 - x2 + 1)
    p.addConstraint(0.8 * first + 0.96 * second - 0.8 * x3 >= 0,
                    first + 1.2 * second - x3 - 2 * y[2] >= -2,
                    x2 - x1 <= 0, x2 - 2 * y[0] <= 0, x1 - x2 - 2 * y[1] <= 0, y[0] + y[1] <= 1)
    p.setObjective(5 * y[0] + 6 * y[1] + 8 * y[2] + 10 * x1 - 7 * x3 - 18 * first
                   - 19.2 * second + 10)


def ex1221(p):
    x1, x2 = p.addVariable(ub=10), p.addVariable(ub=10)
    b3, b4, b5 = p.addVariables(3, vartype=nivra.binary)
    p.addConstraint(x1**2 + b3 == 1.25, x2**1.5 + 1.5 * b4 == 3, x1 + b3 <= 1.6,
                    1.333 * x2 + b4 <= 3, -b3 - b4 + b5 <= 0)
    p.setObjective(2 * x1 + 3 * x2 + 1.5 * b3 + 2 * b4 - 0.5 * b5)
    p.nlpsetinitval([x1, x2], [1, 1])


def ex1225(p):
    x1, x2 = p.addVariable(lb=1, ub=5), p.addVariable(lb=1, ub=5)
    b = p.addVariables(6, vartype=nivra.binary)
    p.addConstraint(x1**1.2 * x2**1.7 - 7 * x1 - 9 * x2 <= -24, -x1 - 2 * x2 <= -5,
                    -3 * x1 + x2 <= 1, 4 * x1 - 3 * x2 <= 11,
                    x1 - b[0] - 2 * b[1] - 4 * b[2] == 1, x2 - b[3] - 2 * b[4] - 4 * b[5] == 1,
                    b[0] + b[2] <= 1, b[3] + b[5] <= 1, b[1] + b[2] <= 1, b[4] + b[5] <= 1)
    p.setObjective(7 * x1 + 10 * x2)


def gkocis(p):
    x = [None] + [p.addVariable() for _ in range(8)]
    x[6].ub, x[8].ub = 5, 1
    b9, b10, b11 = p.addVariables(3, vartype=nivra.binary)
    p.addConstraint(x[6] == nivra.log(1 + x[2]), x[7] == 1.2 * nivra.log(1 + x[3]),
                    x[8] == 0.9 * x[4], x[4] == x[5] + x[6] + x[7], x[1] == x[2] + x[3],
                    x[4] <= 5 * b9, x[2] <= 5 * b10, x[3] <= 5 * b11)
    p.setObjective(1.8 * x[1] + 7 * x[5] + x[6] + 1.2 * x[7] - 11 * x[8] + 3.5 * b9 + b10
                   + 1.5 * b11)


PROBLEMS = {"synthesis": (synthesis, 6.009759), "ex1221": (ex1221, 7.667180),
            "ex1225": (ex1225, 31.0), "gkocis": (gkocis, -1.923099)}


def solve(build, engine):
    p = nivra.problem()
    p.setOutputEnabled(False)
    build(p)
    p.setControl("nlp_solver", ENGINES[engine])
    start = time.process_time()
    p.optimize()
    cpu = time.process_time() - start
    return p.attributes.objval, p.attributes.nodes, p.getAttrib("nlp_status"), cpu


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--reps", type=int, default=5)
    args = ap.parse_args()
    print("| problem | published | engine | objective | nodes | nlp_status | CPU s (median) |")
    print("|---|---|---|---|---|---|---|")
    for name, (build, optimum) in PROBLEMS.items():
        for engine in ENGINES:
            runs = [solve(build, engine) for _ in range(args.reps)]
            obj, nodes, status, _ = runs[-1]
            cpu = statistics.median(r[3] for r in runs)
            found = f"{obj:.6f}" if abs(obj) < 1e19 else "none"
            print(f"| {name} | {optimum} | {engine} | {found} | {nodes} | {status} | {cpu:.4f} |")


if __name__ == "__main__":
    main()
