"""Many scenarios of a planning model, solved on a local Dask cluster.

A plant makes NPRODUCTS products on NMACHINES machines over NPERIODS periods; each scenario
draws its own demand (seeded by the scenario number, so a scenario gives the same model
wherever it runs). Each solve is an LP: how much to make and to hold in stock per period, to
meet demand at least cost. The scenarios go to worker processes with nivra.parallel.map; the
same scenarios are then solved one after another in this process, and both must agree.

Run:  python examples/scenarios.py [scenarios] [workers]     (needs dask[distributed])
"""

import sys

import numpy as np

import nivra
import nivra.parallel

NPRODUCTS, NMACHINES, NPERIODS = 4, 3, 6
RATE = np.array([[1.0, 2.0, 1.5], [2.0, 1.0, 1.0], [1.5, 1.5, 2.0], [1.0, 0.5, 3.0]])  # h/unit
SEASON = np.array([0.6, 0.8, 1.0, 1.3, 1.6, 1.0])  # demand peaks late: stock is built early
CAPACITY = 240.0      # hours per machine and period
MAKE_COST = np.array([4.0, 5.0, 6.0, 3.5])
HOLD_COST = 0.6       # per unit in stock at the end of a period


def demand(scenario):
    return np.random.default_rng(scenario).uniform(5, 30, size=(NPRODUCTS, NPERIODS)) * SEASON


def solve(scenario):
    """The least cost of meeting this scenario's demand."""
    need = demand(scenario)
    p = nivra.problem(name=f"plan{scenario}")
    p.setOutputEnabled(False)
    p.controls.threads = 1
    make = p.addVariables(NPRODUCTS, NPERIODS, name="make")
    stock = p.addVariables(NPRODUCTS, NPERIODS, name="stock")
    for t in range(NPERIODS):
        for i in range(NPRODUCTS):
            before = stock[i, t - 1] if t else 0
            p.addConstraint(before + make[i, t] - stock[i, t] == need[i, t])
        for m in range(NMACHINES):
            p.addConstraint(nivra.Sum(RATE[i, m] * make[i, t] for i in range(NPRODUCTS))
                            <= CAPACITY)
    p.setObjective(nivra.Sum(MAKE_COST[i] * make[i, t] + HOLD_COST * stock[i, t]
                             for i in range(NPRODUCTS) for t in range(NPERIODS)))
    p.optimize()
    if p.attributes.solstatus != nivra.enums.SolStatus.OPTIMAL:
        raise RuntimeError(f"scenario {scenario}: {p.attributes.solstatus.name.lower()}")
    return p.attributes.objval


def main():
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 200
    workers = int(sys.argv[2]) if len(sys.argv) > 2 else None
    outcomes = nivra.parallel.map(solve, range(count), n_workers=workers)
    costs = np.array([o.result() for o in outcomes])
    serial = np.array([solve(s) for s in range(count)])
    print(f"scenarios: {count}")
    print(f"mean cost: {costs.mean():.6f}")
    print(f"highest cost: {costs.max():.6f} (scenario {costs.argmax()})")
    print(f"largest difference from serial solves: {np.abs(costs - serial).max():.3g}")


if __name__ == "__main__":
    main()
