"""Cutting stock by column generation: cut rolls of width W into pieces of given widths so
that every demand is met with as few rolls as possible.

The master problem chooses how often to cut each pattern (a pattern says how many pieces of
each width one roll gives). It starts with one simple pattern per width and grows: after each
solve of its LP relaxation, the duals of the demand rows price the pieces, and a knapsack MIP
finds the pattern of greatest value. If that value exceeds the cost of a roll (1), the
pattern improves the LP and joins the master as a new column (problem.addcols); otherwise the
LP is optimal over all patterns. Finally the master is solved with integer pattern counts
(problem.chgcoltype). The size argument is the number of piece widths.

Run:  python examples/cutting_stock.py [widths]
"""

import sys

import numpy as np

import nivra

ROLL_WIDTH = 100


def make_data(widths, seed=3):
    """Piece widths (distinct, between 10 and 45) and their demands."""
    rng = np.random.default_rng(seed)
    width = np.sort(rng.choice(np.arange(10, 46), size=widths, replace=False)).astype(float)
    demand = rng.integers(20, 80, widths).astype(float)
    return width, demand


def pricing_problem(width):
    """The knapsack: how many pieces of each width fit one roll; its objective is set per
    round from the duals."""
    k = nivra.problem(name="pricing", sense=nivra.maximize)
    k.setOutputEnabled(False)
    pieces = k.addVariables(len(width), vartype=nivra.integer, name="a")
    k.addConstraint(nivra.Dot(width, pieces) <= ROLL_WIDTH)
    return k, pieces


def solve(width, demand):
    n = len(width)
    master = nivra.problem(name="cutting stock")
    master.setOutputEnabled(False)
    # One row per width: the pieces cut must cover the demand. Patterns are added as columns.
    master.addrows(["G"] * n, demand, [0] * n, [], [])
    rows = master.getConstraint()
    first = [float(ROLL_WIDTH // w) for w in width]  # pattern i: only width i
    master.addcols([1.0] * n, list(range(n)), list(range(n)), first, [0.0] * n, [1e20] * n)
    pricing, pieces = pricing_problem(width)
    rounds = 0
    while True:
        master.optimize()
        duals = master.getDuals(rows)
        pricing.chgobj(pieces, duals)
        pricing.optimize()
        if pricing.attributes.objval <= 1 + 1e-9:  # no pattern has a negative reduced cost
            break
        pattern = np.round(pricing.getSolution(pieces))
        used = np.flatnonzero(pattern)
        master.addcols([1.0], [0], used.tolist(), pattern[used].tolist(), [0.0], [1e20])
        rounds += 1
    lp_bound = master.attributes.objval
    patterns = master.getVariable()
    master.chgcoltype(patterns, ["I"] * len(patterns))
    master.optimize()
    counts = master.getSolution(patterns)
    start, members, amounts = [], [], []
    master.getcols(start, members, amounts, 10 * n * len(patterns), 0, len(patterns) - 1)
    cut = [(int(round(counts[j])), {rows.index(members[k]): int(amounts[k])
                                   for k in range(start[j], start[j + 1])})
           for j in range(len(patterns)) if counts[j] > 0.5]
    return lp_bound, master.attributes.objval, rounds, len(patterns), cut


if __name__ == "__main__":
    widths = int(sys.argv[1]) if len(sys.argv) > 1 else 12
    width, demand = make_data(widths)
    lp_bound, rolls, rounds, columns, cut = solve(width, demand)
    print(f"LP bound: {lp_bound:.6f}")
    print(f"Rolls: {rolls:.0f}")
    print(f"Pricing rounds: {rounds} ({columns} patterns)")
    for times, pattern in cut:
        pieces = " + ".join(f"{n} x {width[i]:.0f}" for i, n in sorted(pattern.items()))
        print(f"  {times:3d} rolls cut as {pieces}")
