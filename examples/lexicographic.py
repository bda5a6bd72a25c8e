"""Two objectives, one after the other: project selection by profit, then by staff.

A MIP with two objectives solved lexicographically. The objective with the higher priority
(the total profit) is optimised first; then, among the selections with that profit, the
objective with the lower priority is optimised. All objectives of a problem share one sense
(here maximise), so the staff count enters with weight -1: maximising minus the staff means
using as few people as possible. Profits are round numbers, so many selections tie on profit
and the second objective decides. The size argument is the number of candidate projects.

Run:  python examples/lexicographic.py [projects]
"""

import sys

import numpy as np

import nivra


def make_data(projects, seed=11):
    """Profit, budget need and staff of each project, and the budget."""
    rng = np.random.default_rng(seed)
    profit = 10.0 * rng.integers(2, 8, projects)
    cost = rng.integers(10, 40, projects).astype(float)
    staff = rng.integers(1, 9, projects).astype(float)
    return profit, cost, staff, 0.4 * cost.sum()


def solve(profit, cost, staff, budget):
    p = nivra.problem(name="projects")
    p.setOutputEnabled(False)  # comment this out to see the solver log

    pick = p.addVariables(len(profit), name="pick", vartype=nivra.binary)
    p.addConstraint(nivra.Dot(cost, pick) <= budget)

    # The sense is set once for the problem; then one objective per call, with its priority
    # (higher first) and weight. The first addObjective on an empty objective replaces it.
    p.setObjective(sense=nivra.maximize)
    p.addObjective(nivra.Dot(profit, pick), priority=2)
    p.addObjective(nivra.Dot(staff, pick), priority=1, weight=-1.0)
    p.optimize()

    chosen = [j for j, v in enumerate(p.getSolution(pick)) if v > 0.5]
    return chosen, p.getSolution(nivra.Dot(profit, pick)), p.getSolution(nivra.Dot(staff, pick))


if __name__ == "__main__":
    projects = int(sys.argv[1]) if len(sys.argv) > 1 else 25
    chosen, total_profit, total_staff = solve(*make_data(projects))
    print(f"Projects: {' '.join(map(str, chosen))}")
    print(f"Profit: {total_profit:g}")
    print(f"Staff: {total_staff:g}")
