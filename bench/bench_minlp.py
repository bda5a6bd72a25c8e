#!/usr/bin/env python3
"""bench_minlp.py: small mixed-integer nonlinear test problems with published optima, solved by
both of Nivra's branch and bounds: `slp` (control nlp_solver = 1: the library's own search, each
node solved by successive linear programming) and `bonmin` (nlp_solver = 0: Bonmin's search over
the interior-point solver). Each (problem, engine) is solved --reps times, each time in a fresh
problem; the CPU time of optimize() (process time, all threads) is the median.

Problems (MINLPLib, with the optima published there): the process synthesis of
examples/process_synthesis.py (Duran and Grossmann 1986, 6.009759), ex1221 (7.667180),
ex1225 (31.0), gkocis (-1.923099); and two generated convex facility models (sites that open
at a cost and produce at a convex cost, a demand, a concave yield row, an integer purchase),
whose optimum the script enumerates: every integer assignment fixed, each a convex program.
The columns `convex` (the solve's verdict on the model, from its log), `mipstatus` and
`bestbound` show what each engine proves.

    .venv/bin/python bench/bench_minlp.py [--reps 5]
"""

import argparse
import itertools
import random
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


def facility(n, seed):
    """n sites and an integer purchase k in [0, 4]; fix = (sites opened, k) fixes them."""
    rng = random.Random(seed)
    cost = [rng.uniform(2, 6) for _ in range(n)]
    cap = [rng.uniform(2, 5) for _ in range(n)]
    rate = [rng.uniform(0.2, 0.5) for _ in range(n)]

    def build(p, fix=None):
        y = p.addVariables(n, vartype=nivra.binary)
        x = [p.addVariable(ub=cap[i]) for i in range(n)]
        k = p.addVariable(ub=4, vartype=nivra.integer)
        p.addConstraint([x[i] <= cap[i] * y[i] for i in range(n)])
        p.addConstraint(nivra.Sum(x) + k >= 0.45 * sum(cap),
                        nivra.Sum(nivra.log(1 + v) for v in x) >= 0.3 * n)
        p.setObjective(nivra.Sum(cost[i] * y[i] + nivra.exp(rate[i] * x[i]) for i in range(n))
                       + (k - 1.5) ** 2 - nivra.log(1 + x[0] + x[1]))
        if fix:
            for v, value in zip([*y, k], [*fix[0], fix[1]]):
                v.lb = v.ub = value

    build.enumerate = lambda: enumerated(build, n)
    return build


def enumerated(build, n):
    best = None
    for sites, k in itertools.product(itertools.product([0, 1], repeat=n), range(5)):
        p = nivra.problem()
        p.setOutputEnabled(False)
        build(p, (sites, k))
        if p.optimize()[1] == nivra.enums.SolStatus.OPTIMAL:
            best = p.attributes.objval if best is None else min(best, p.attributes.objval)
    return best


PROBLEMS = {"synthesis": (synthesis, 6.009759), "ex1221": (ex1221, 7.667180),
            "ex1225": (ex1225, 31.0), "gkocis": (gkocis, -1.923099),
            "facility5": (facility(5, 1), None), "facility8": (facility(8, 2), None)}


def solve(build, engine):
    p = nivra.problem()
    p.setOutputEnabled(False)
    log = []
    p.addcbmessage(lambda prob, data, msg, kind: log.append(msg or ""), None, 0)
    build(p)
    p.setControl("nlp_solver", ENGINES[engine])
    start = time.process_time()
    p.optimize()
    cpu = time.process_time() - start
    convex = any(line.startswith("Convexity: the model is convex") for line in log)
    a = p.attributes
    return (a.objval, a.nodes, p.getAttrib("nlp_status"), cpu, convex, a.mipstatus.name,
            a.bestbound)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--reps", type=int, default=5)
    args = ap.parse_args()
    print("| problem | optimum | engine | convex | objective | bestbound | mipstatus | nodes | "
          "nlp_status | CPU s (median) |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    for name, (build, optimum) in PROBLEMS.items():
        if optimum is None:
            optimum = f"{build.enumerate():.6f} (enumerated)"
        for engine in ENGINES:
            runs = [solve(build, engine) for _ in range(args.reps)]
            obj, nodes, status, _, convex, mipstatus, bound = runs[-1]
            cpu = statistics.median(r[3] for r in runs)
            found = f"{obj:.6f}" if abs(obj) < 1e19 else "none"
            shown = f"{bound:.6f}" if abs(bound) < 1e19 else "none"
            print(f"| {name} | {optimum} | {engine} | {'yes' if convex else 'no'} | {found} | "
                  f"{shown} | {mipstatus} | {nodes} | {status} | {cpu:.4f} |")


if __name__ == "__main__":
    main()
