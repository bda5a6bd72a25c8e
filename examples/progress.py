"""Watch a MIP solve make progress, and stop it once the gap is small enough.

A generalized assignment problem: every job goes to exactly one machine, each machine can take
jobs up to its capacity, and each (machine, job) pair has its cost. Two callbacks follow the
search: `intsol` runs at every new incumbent (a better assignment), `miplog` at every line of
the search's log (the bound moves there). Both print the incumbent, the bound and the gap when
one of them changed; `miplog` returns 1, which stops the search, once the gap is at most the
target. The solve then ends with stop status INTERRUPT and keeps the best assignment found.

Run:  python examples/progress.py [jobs [target gap]]     (default: 60 jobs, 0.5 %)
"""

import sys

import numpy as np

import nivra


def make_data(jobs, seed=3):
    """Costs and loads of every (machine, job) pair, and machine capacities (tight: about 80 %
    of what an even share of the loads needs)."""
    rng = np.random.default_rng(seed)
    machines = max(2, jobs // 8)
    cost = rng.integers(10, 50, (machines, jobs)).astype(float)
    load = rng.integers(5, 25, (machines, jobs)).astype(float)
    capacity = np.floor(0.8 * load.sum(axis=1) / machines)
    return cost, load, capacity


def solve(cost, load, capacity, target_gap):
    machines, jobs = cost.shape
    p = nivra.problem(name="assignment")
    p.setOutputEnabled(False)  # comment this out to see the solver log
    x = p.addVariables(machines, jobs, vartype=nivra.binary)
    p.addConstraint(nivra.Sum(x[:, j]) == 1 for j in range(jobs))
    p.addConstraint(nivra.Dot(x[i, :], load[i]) <= capacity[i] for i in range(machines))
    p.setObjective(nivra.Sum(cost * x))
    p.controls.miprelstop = 0  # the callback decides when the gap is small enough

    shown = []

    def number(v, scale=1.0):
        return f"{scale * v:10.2f}" if abs(v) < nivra.infinity else f"{'none':>10s}"

    def progress(cb, event):
        """Prints the state when the incumbent, the bound or the gap changed (as printed); asks
        to stop (miplog) once an incumbent is within the target gap."""
        a = cb.attributes
        has_incumbent = abs(a.mipobjval) < nivra.infinity
        state = (f"incumbent {number(a.mipobjval)}  bound {number(a.bestbound)}  "
                 f"gap {number(a.mipgap, 100)} %")
        if has_incumbent and (not shown or shown[-1] != state):
            shown.append(state)
            print(f"{event:7s} {state}")
        return 1 if has_incumbent and a.mipgap <= target_gap else 0

    p.addcbintsol(progress, "intsol")
    p.addcbmiplog(progress, "miplog")
    p.optimize()
    return p


if __name__ == "__main__":
    jobs = int(sys.argv[1]) if len(sys.argv) > 1 else 60
    target = float(sys.argv[2]) if len(sys.argv) > 2 else 0.005
    p = solve(*make_data(jobs), target)
    print(f"Stop status: {p.attributes.stopstatus.name}")
    print(f"Objective: {p.attributes.mipobjval:.6f}")
    print(f"Bound: {p.attributes.bestbound:.6f}")
    print(f"Gap: {p.attributes.mipgap:.6f}")
