#!/usr/bin/env python3
"""bench_multistart.py: a multistart solve of 8 random-start jobs by the successive linear
programming solver, one run after another (ms_threads = 1) and side by side (ms_threads = 0:
one worker per core), in one process. Wall and CPU time (process time, all threads) of
optimize(), medians over --reps fresh problems; the winners must agree exactly.

The model: n columns in [-3, 3] with a double well each, sum_j 10 (x_j^2 - 1)^2 + c_j x_j,
coupled by n/2 rows x_j^2 + x_{j+1}^2 <= 3 (2^n local minima).

    .venv/bin/python bench/bench_multistart.py [--cols 60] [--reps 5]
"""

import argparse
import statistics
import time

import nivra


def build(n):
    p = nivra.problem()
    p.setOutputEnabled(False)
    x = p.addVariables(n, lb=-3, ub=3)
    p.setObjective(nivra.Sum(10 * (x[j] ** 2 - 1) ** 2 + (0.1 + 0.01 * j) * x[j]
                             for j in range(n)))
    p.addConstraint([nivra.exp(0.1 * x[j]) * x[j] ** 2 + x[j + 1] ** 2 <= 3
                     for j in range(0, n - 1, 2)])
    p.setControl("nlp_solver", 1)
    p.msaddpreset("random", 1, 8, None)
    return p, x


def run(n, threads):
    p, x = build(n)
    p.setControl("ms_threads", threads)
    wall, cpu = time.perf_counter(), time.process_time()
    p.optimize()
    wall, cpu = time.perf_counter() - wall, time.process_time() - cpu
    return wall, cpu, p.attributes.objval, list(p.getSolution(x))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cols", type=int, default=60)
    ap.add_argument("--reps", type=int, default=5)
    args = ap.parse_args()
    results = {}
    for label, threads in (("serial", 1), ("parallel", 0)):
        runs = [run(args.cols, threads) for _ in range(args.reps)]
        results[label] = runs
        print(f"{label:8s} wall {statistics.median(r[0] for r in runs):.3f} s  "
              f"CPU {statistics.median(r[1] for r in runs):.3f} s  objective {runs[-1][2]:.9g}")
    same = all(a[2:] == b[2:] for a, b in zip(results["serial"], results["parallel"]))
    ratio = (statistics.median(r[0] for r in results["serial"])
             / statistics.median(r[0] for r in results["parallel"]))
    print(f"same winner and point: {same}; wall-time speed-up {ratio:.2f}")


if __name__ == "__main__":
    main()
