"""Profiles the building of constraints: one benchmark of bench/ifaces/nivra.py at one size,
with its timed part in a function of its own so that callgrind can count it alone.

    python bench/profile_cons.py compare 1000000
    valgrind --tool=callgrind --collect-atstart=no --toggle-collect='*timed_part*' ...

(callgrind needs the Python frames to resolve the toggle: run it with
``--toggle-collect=_PyEval_EvalFrameDefault`` off and use the CPU time printed here, or use
``perf stat -e instructions`` on two runs, ``--only-setup`` and the full one, and subtract.)

Also prints the CPU time of the timed part per element, the peak resident set and, with
``--phases``, the resident set after each step of the fac-lin and lqcp models.
"""

import argparse
import gc
import resource
import sys
import time
from pathlib import Path

import numpy as np

sys.path.insert(0, str(Path(__file__).resolve().parent))

import nivra  # noqa: E402

from common import FAC_M, Lqcp  # noqa: E402


def rss_mib():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * resource.getpagesize() / 2**20


def peak_mib():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024


class Phases:
    def __init__(self, on):
        self.on = on

    def __call__(self, what):
        if self.on:
            print(f"  {what:<28} rss {rss_mib():8.1f} MiB  peak {peak_mib():8.1f} MiB  "
                  f"py blocks {sys.getallocatedblocks():>10}", flush=True)


def new_problem():
    p = nivra.problem()
    p.setOutputEnabled(False)
    return p


def setup_compare(n):
    p = new_problem()
    return p, p.addVariables(n, name="")


def timed_compare(p, x):
    return x >= 0


def setup_addcons(n):
    p = new_problem()
    x = list(p.addVariables(n + 1, name=""))
    return p, [x[i] + 2 * x[i + 1] >= 1 for i in range(n)]


def timed_addcons(p, cons):
    p.addConstraint(cons)


def fac_model(n, quadratic, phase):
    G = F = n
    p = new_problem()
    y = p.addVariables(F, 2, lb=0, ub=1, name="")
    s = p.addVariables(G + 1, G + 1, F, lb=0, name="")
    z = p.addVariables(G + 1, G + 1, F, vartype=nivra.binary, name="")
    r = p.addVariables(G + 1, G + 1, F, 2, lb=-nivra.infinity, name="")
    d = p.addVariable(lb=-nivra.infinity)
    phase("variables")
    p.setObjective(d)
    p.addConstraint(nivra.Sum(z[i, j, :]) == 1 for i in range(G + 1) for j in range(G + 1))
    phase("assignment rows")
    c = s == d + FAC_M * (1 - z)
    phase("s == d + M(1 - z) built")
    p.addConstraint(c)
    del c
    phase("  added")
    grid = np.arange(G + 1) / G
    p.addConstraint(r[:, :, :, 0] == grid[:, None, None] - y[:, 0])
    p.addConstraint(r[:, :, :, 1] == grid[None, :, None] - y[:, 1])
    phase("r rows")
    if quadratic:
        p.addConstraint(r[..., 0] * r[..., 0] + r[..., 1] * r[..., 1] <= s * s)
        phase("cone rows")
    p.controls.timelimit = 0.0
    p.optimize()
    phase("submitted")
    return p


def lqcp_model(n, phase):
    q = Lqcp(n)
    m, dx, dt, h2 = q.m, q.dx, q.dt, q.h2
    yt = np.array(q.yt)
    wy, wu = (np.array(w) for w in q.objective_weights())
    p = new_problem()
    y = p.addVariables(m + 1, n + 1, lb=0, ub=1, name="")
    u = p.addVariables(m, lb=-1, ub=1, name="")
    phase("variables")
    e = y[m, :] - yt
    p.setObjective(nivra.Dot(wy, e * e) + nivra.Dot(wu, u * u))
    phase("objective")
    c = h2 * (y[1:, 1:-1] - y[:-1, 1:-1]) == 0.5 * dt * (
        y[:-1, :-2] - 2 * y[:-1, 1:-1] + y[:-1, 2:] + y[1:, :-2] - 2 * y[1:, 1:-1] + y[1:, 2:])
    phase("pde rows built")
    p.addConstraint(c)
    phase("  added")
    del c
    phase("  released")
    p.addConstraint(y[0, :] == 0)
    p.addConstraint(y[1:, 2] - 4 * y[1:, 1] + 3 * y[1:, 0] == 0)
    p.addConstraint(y[1:, n - 2] - 4 * y[1:, n - 1] + 3 * y[1:, n] == 2 * dx * (u - y[1:, n]))
    phase("boundary rows")
    p.controls.timelimit = 0.0
    p.optimize()
    phase("submitted")
    return p


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("bench", choices=["compare", "addcons", "fac", "fac-lin", "lqcp"])
    ap.add_argument("size", type=int)
    ap.add_argument("--only-setup", action="store_true",
                    help="build the inputs and stop (for subtracting instruction counts)")
    ap.add_argument("--phases", action="store_true", help="resident set after each step")
    ap.add_argument("--reps", type=int, default=1)
    a = ap.parse_args()
    phase = Phases(a.phases)
    phase("start")
    times = []
    for _ in range(a.reps):
        gc.collect()
        if a.bench in ("compare", "addcons"):
            args = (setup_compare if a.bench == "compare" else setup_addcons)(a.size)
            if a.only_setup:
                return
            part = timed_compare if a.bench == "compare" else timed_addcons
            c0 = time.process_time()
            out = part(*args)
            times.append(time.process_time() - c0)
            del out, args
            unit = a.size
        else:
            if a.only_setup:
                return
            c0 = time.process_time()
            if a.bench == "lqcp":
                p = lqcp_model(a.size, phase)
                unit = p.attributes.elems
            else:
                p = fac_model(a.size, a.bench == "fac", phase)
                unit = p.attributes.originalcols
            times.append(time.process_time() - c0)
            del p
    times.sort()
    t = times[len(times) // 2]
    print(f"{a.bench}-{a.size}: cpu {t:.4f} s, {t / unit * 1e9:.1f} ns per unit, "
          f"peak {peak_mib():.0f} MiB")


if __name__ == "__main__":
    main()
