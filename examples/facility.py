"""Capacitated facility location: which warehouses to open, and who serves whom.

A mixed-integer program (MIP): a binary variable per site says whether the warehouse opens
(at a fixed cost); continuous variables say what share of each customer's demand a site
serves (at a cost per unit and distance). Sites and customers lie at random points of the
unit square; the size argument is the number of customers (sites: a quarter of that, at
least three).

Run:  python examples/facility.py [customers]
"""

import sys

import numpy as np

import nivra


def make_data(customers, seed=7):
    """Site and customer positions, fixed costs, capacities, demands and serving costs."""
    rng = np.random.default_rng(seed)
    sites = max(3, customers // 4)
    site_xy, customer_xy = rng.random((sites, 2)), rng.random((customers, 2))
    demand = rng.integers(5, 20, customers).astype(float)
    capacity = np.full(sites, 2.5 * demand.sum() / sites)  # enough with about half open
    fixed = rng.integers(200, 400, sites).astype(float)
    distance = np.linalg.norm(site_xy[:, None, :] - customer_xy[None, :, :], axis=2)
    serve_cost = 10.0 * distance * demand  # serving all of customer j from site i
    return fixed, capacity, demand, serve_cost


def solve(fixed, capacity, demand, serve_cost):
    sites, customers = serve_cost.shape
    p = nivra.problem(name="facility")
    p.setOutputEnabled(False)  # comment this out to see the solver log

    open_ = p.addVariables(sites, name="open", vartype=nivra.binary)
    share = p.addVariables(sites, customers, name="share", ub=1)  # 2-D NumPy array

    # Every customer is served in full.
    p.addConstraint(nivra.Sum(share[:, j]) == 1 for j in range(customers))
    # A closed site serves nobody (this per-pair form gives a tight LP relaxation) ...
    p.addConstraint(share[i, j] <= open_[i] for i in range(sites) for j in range(customers))
    # ... and an open one no more than its capacity.
    p.addConstraint(nivra.Dot(share[i, :], demand) <= capacity[i] * open_[i]
                    for i in range(sites))

    p.setObjective(nivra.Dot(fixed, open_) + nivra.Sum(serve_cost * share))
    p.optimize()
    return p.attributes.objval, p.getSolution(open_), p.getSolution(share)


if __name__ == "__main__":
    customers = int(sys.argv[1]) if len(sys.argv) > 1 else 40
    cost, opened, shares = solve(*make_data(customers))
    chosen = [i for i, y in enumerate(opened) if y > 0.5]
    print(f"Total cost: {cost:.4f}")
    print(f"Open sites: {' '.join(map(str, chosen))}")
    for i in chosen:
        print(f"  site {i} serves {int((shares[i] > 1e-6).sum())} customers")
