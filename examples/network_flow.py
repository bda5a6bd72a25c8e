"""Minimum-cost flow on a grid, written with NumPy arrays, Dot and a SciPy sparse matrix.

The whole model is array algebra: x is a NumPy array of flow variables (one per arc), the
flow balance of every node is the sparse node-arc incidence matrix times x, and the cost is
the dot product of the cost vector with x. F units enter at the top-left corner of a k x k
grid and leave at the bottom-right one; every arc has a cost and a capacity. The size
argument is k. Needs SciPy.

Run:  python examples/network_flow.py [k]
"""

import sys

import numpy as np
import scipy.sparse as sp

import nivra


def make_data(k, seed=5):
    """Arcs of the grid (both directions between neighbours), costs, capacities, supplies."""
    node = np.arange(k * k, dtype=np.int32).reshape(k, k)
    pairs = np.vstack([
        np.column_stack([node[:, :-1].ravel(), node[:, 1:].ravel()]),  # horizontal
        np.column_stack([node[:-1, :].ravel(), node[1:, :].ravel()]),  # vertical
    ])
    tail = np.concatenate([pairs[:, 0], pairs[:, 1]])
    head = np.concatenate([pairs[:, 1], pairs[:, 0]])
    arcs = len(tail)
    # Incidence matrix: +1 where an arc leaves a node, -1 where it enters. Dot takes sparse
    # matrices with int32 indices, which SciPy keeps when the coordinates are int32.
    incidence = sp.csr_array(
        (np.concatenate([np.ones(arcs), -np.ones(arcs)]),
         (np.concatenate([tail, head]), np.concatenate([np.arange(arcs, dtype=np.int32)] * 2))),
        shape=(k * k, arcs))
    rng = np.random.default_rng(seed)
    flow = 10.0 * k
    cost = rng.integers(1, 10, arcs).astype(float)
    capacity = rng.uniform(0.5, 1.0, arcs) * flow  # every cut has two arcs: feasible
    supply = np.zeros(k * k)
    supply[0], supply[-1] = flow, -flow
    return incidence, cost, capacity, supply


def solve(incidence, cost, capacity, supply):
    p = nivra.problem(name="network_flow")
    p.setOutputEnabled(False)  # comment this out to see the solver log

    x = p.addVariables(incidence.shape[1], name="flow")  # NumPy array of variables, lb 0
    p.addConstraint(x <= capacity)  # an array of constraints, one per arc
    # Flow out minus flow in equals the supply, at every node: one array comparison.
    p.addConstraint(nivra.Dot(incidence, x) == supply)
    p.setObjective(nivra.Dot(cost, x))
    p.optimize()
    return p.attributes.objval, np.array(p.getSolution(x))


if __name__ == "__main__":
    k = int(sys.argv[1]) if len(sys.argv) > 1 else 30
    total, flow = solve(*make_data(k))
    print(f"Minimum cost: {total:.6f}")
    print(f"Arcs carrying flow: {int((flow > 1e-6).sum())} of {len(flow)}")
