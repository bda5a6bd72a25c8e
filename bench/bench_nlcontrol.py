"""A large nonlinear model: the lqcp boundary-control problem (bench/common.py's Lqcp: heat
equation on an (n+1) x (n+1) space-time grid, Robin control at x = 1, least-squares target) with
a nonlinear state equation, a cubic reaction term -c y^3 added to each interior grid point's
heat balance. About n^2 columns, n^2 rows of which (n-1) n nonlinear.

    .venv/bin/python bench/bench_nlcontrol.py [--sizes 50 100 200 300] [--slp-sizes 20 50]

Each size runs in a child process of its own (peak memory is that child's): build (the model
in Nivra's modelling layer and its transfer into the library), solve (the interior-point
solver, and the SLP solver on the sizes given), and the solution's objective, iterations and
peak resident set. Printed as the rows of the RESULTS.md table "Nonlinear optimal control"."""

import argparse
import json
import pathlib
import resource
import subprocess
import sys
import time

import numpy as np

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
REACTION = 1.0


def build(n):
    import nivra
    from common import Lqcp

    q = Lqcp(n)
    m, dx, dt, h2 = q.m, q.dx, q.dt, q.h2
    yt = np.array(q.yt)
    wy, wu = (np.array(w) for w in q.objective_weights())
    p = nivra.problem()
    p.setOutputEnabled(False)
    y = p.addVariables(m + 1, n + 1, lb=0, ub=1, name="")
    u = p.addVariables(m, lb=-1, ub=1, name="")
    e = y[m, :] - yt
    p.setObjective(nivra.Dot(wy, e * e) + nivra.Dot(wu, u * u))
    heat = 0.5 * dt * (y[:-1, :-2] - 2 * y[:-1, 1:-1] + y[:-1, 2:] + y[1:, :-2]
                       - 2 * y[1:, 1:-1] + y[1:, 2:])
    p.addConstraint(h2 * (y[1:, 1:-1] - y[:-1, 1:-1])
                    == heat - REACTION * dt * h2 * y[1:, 1:-1] ** 3)
    p.addConstraint(y[0, :] == 0)
    p.addConstraint(y[1:, 2] - 4 * y[1:, 1] + 3 * y[1:, 0] == 0)
    p.addConstraint(y[1:, n - 2] - 4 * y[1:, n - 1] + 3 * y[1:, n] == 2 * dx * (u - y[1:, n]))
    return p


def child(n, solver):
    start = time.process_time()
    p = build(n)
    built = time.process_time() - start
    p.setControl("nlp_solver", solver)
    start = time.process_time()
    solve_status, sol_status = p.optimize()
    solved = time.process_time() - start
    print(json.dumps({
        "n": n, "solver": "slp" if solver == 1 else "ipm", "cols": p.attributes.cols,
        "rows": p.attributes.rows, "build": built, "solve": solved,
        "status": int(p.getAttrib("nlp_status")), "objective": p.attributes.objval,
        "iterations": int(p.getAttrib("slp_iterations") or p.getAttrib("ipm_iterations")),
        "rss_mb": resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024}))


def run(n, solver):
    done = subprocess.run([sys.executable, __file__, "--child", str(n), str(solver)],
                          capture_output=True, text=True, check=True)
    return json.loads(done.stdout.strip().splitlines()[-1])


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--sizes", type=int, nargs="*", default=[50, 100, 200, 300])
    ap.add_argument("--slp-sizes", type=int, nargs="*", default=[20, 50])
    ap.add_argument("--child", type=int, nargs=2, help=argparse.SUPPRESS)
    args = ap.parse_args()
    if args.child:
        return child(*args.child)
    print("| n | solver | columns | rows | build s | solve s | iterations | s/iteration | "
          "objective | nlp_status | peak RSS MB |")
    print("|---|---|---|---|---|---|---|---|---|---|---|")
    for solver, sizes in ((2, args.sizes), (1, args.slp_sizes)):
        for n in sizes:
            r = run(n, solver)
            print(f"| {r['n']} | {r['solver']} | {r['cols']} | {r['rows']} | {r['build']:.2f} | "
                  f"{r['solve']:.2f} | {r['iterations']} | "
                  f"{r['solve'] / max(1, r['iterations']):.4f} | {r['objective']:.10g} | "
                  f"{r['status']} | {r['rss_mb']:.0f} |", flush=True)
    return None


if __name__ == "__main__":
    main()
