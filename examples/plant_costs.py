"""Production with piecewise-linear costs and indicator constraints: which plants to run, and
how much each makes, to meet a demand at least cost.

Each plant's variable cost is piecewise linear in its output, with quantity discounts (the
cost per unit falls at two breakpoints), written with nivra.pwl. A running plant pays a fixed
cost and makes at least its minimum run; a plant that does not run makes nothing. Both rules
are indicator constraints on the plant's binary "runs" variable (problem.addIndicator). The
library solves the piecewise-linear costs and the indicators exactly as a mixed-integer
program. The size argument is the number of plants.

Run:  python examples/plant_costs.py [plants]
"""

import sys

import numpy as np

import nivra


def make_data(plants, seed=11):
    """Per plant: capacity, minimum run, fixed cost, and the cost breakpoints (0, 0), (b1,
    c1), (b2, c2), (capacity, c3) with falling unit costs; and the demand."""
    rng = np.random.default_rng(seed)
    capacity = rng.integers(30, 60, plants)
    minimum = rng.integers(5, 12, plants)
    fixed = rng.integers(80, 200, plants).astype(float)
    rates = np.sort(rng.uniform(2.0, 6.0, (plants, 3)), axis=1)[:, ::-1]  # falling
    breaks = np.sort(rng.integers(8, 26, (plants, 2)), axis=1) + [0, 1]
    demand = int(0.55 * capacity.sum())
    return capacity, minimum, fixed, rates, breaks, demand


def cost_points(capacity, rates, breaks):
    """The breakpoints (x, cost) of one plant's variable cost."""
    xs = [0, int(breaks[0]), int(breaks[1]), int(capacity)]
    ys = [0.0]
    for k in range(3):
        ys.append(ys[-1] + rates[k] * (xs[k + 1] - xs[k]))
    return xs, ys


def solve(capacity, minimum, fixed, rates, breaks, demand):
    plants = len(capacity)
    p = nivra.problem(name="plants")
    p.setOutputEnabled(False)  # comment this out to see the solver log
    runs = p.addVariables(plants, vartype=nivra.binary, name="runs")
    make = p.addVariables(plants, vartype=nivra.integer, name="make")
    p.chgbounds(make, ["U"] * plants, capacity)
    cost = []
    for i in range(plants):
        xs, ys = cost_points(capacity[i], rates[i], breaks[i])
        # on each interval, the line through its two breakpoints
        pieces = {(xs[k], xs[k + 1]): ys[k] + (ys[k + 1] - ys[k]) / (xs[k + 1] - xs[k])
                  * (make[i] - xs[k]) for k in range(3)}
        cost.append(nivra.pwl(pieces))
    p.addIndicator([(runs[i] == 0, make[i] <= 0) for i in range(plants)],
                   [(runs[i] == 1, make[i] >= minimum[i]) for i in range(plants)])
    p.addConstraint(nivra.Sum(make) >= demand)
    p.setObjective(nivra.Sum(cost) + nivra.Dot(fixed, runs))
    p.optimize()
    return p.attributes.objval, p.getSolution(runs), p.getSolution(make)


if __name__ == "__main__":
    plants = int(sys.argv[1]) if len(sys.argv) > 1 else 6
    data = make_data(plants)
    total, running, made = solve(*data)
    capacity, minimum, fixed, rates, breaks, demand = data
    print(f"Demand: {demand}")
    print(f"Total cost: {total:.4f}")
    for i in range(plants):
        state = "runs" if running[i] > 0.5 else "idle"
        print(f"  plant {i}: {state}, makes {made[i]:.0f} of {capacity[i]} (minimum {minimum[i]})")
