"""Facility location in the plane: place a few facilities anywhere in the unit square and assign
every customer to one of them, so that the largest distance from a customer to its facility is
as small as possible.

Distances are second-order cones: with r = (customer - facility) as two free variables, the row
r0^2 + r1^2 <= s^2 says ||r|| <= s for a non-negative s. Each customer and facility pair gets
such a row with s = d + M (1 - z), where the binary z assigns the customer to the facility and
M is larger than any distance in the square, so the row only bites for the chosen facility.
Minimising d is then a mixed-integer second-order cone problem (MISOCP), solved to proven
optimality.

Run:  python examples/facility_cones.py [customers]
"""

import sys

import numpy as np

import nivra

FACILITIES = 2
BIG_M = 2.0 * np.sqrt(2.0)  # twice the diagonal of the unit square


def make_data(customers, seed=5):
    """Customer positions in the unit square."""
    return np.random.default_rng(seed).uniform(0.0, 1.0, (customers, 2))


def locate(points, facilities):
    n = len(points)
    p = nivra.problem(name="facility location with cones")
    p.setOutputEnabled(False)  # comment this out to see the solver log

    site = p.addVariables(facilities, 2, ub=1, name="site")  # positions in the square
    assign = p.addVariables(n, facilities, vartype=nivra.binary, name="assign")
    radius = p.addVariable(name="radius")  # the largest distance
    reach = p.addVariables(n, facilities, name="reach")  # s >= 0: the cone's right-hand side
    diff = p.addVariables(n, facilities, 2, lb=-nivra.infinity, name="diff")

    p.addConstraint(nivra.Sum(assign[c, :]) == 1 for c in range(n))
    p.addConstraint(reach == radius + BIG_M * (1 - assign))
    for k in range(2):  # diff = customer - site, coordinate by coordinate
        p.addConstraint(diff[:, :, k] == points[:, k, None] - site[None, :, k])
    # The cone rows: ||diff|| <= reach for every customer and facility.
    p.addConstraint(diff[..., 0] * diff[..., 0] + diff[..., 1] * diff[..., 1] <= reach * reach)
    p.setObjective(radius)
    p.optimize()
    chosen = np.array(p.getSolution(assign)).argmax(axis=1)
    return p.attributes.objval, np.array(p.getSolution(site)), chosen


if __name__ == "__main__":
    customers = int(sys.argv[1]) if len(sys.argv) > 1 else 8
    points = make_data(customers)
    radius, sites, chosen = locate(points, FACILITIES)
    print(f"Largest distance: {radius:.6f}")
    for f in range(FACILITIES):
        served = " ".join(str(c) for c in np.flatnonzero(chosen == f))
        print(f"Facility {f} at ({sites[f, 0]:.4f}, {sites[f, 1]:.4f}) serves: {served}")
