"""A transportation problem: ship goods from plants to markets at least cost.

Variables indexed by names: `addVariables` over two lists returns a dict whose keys are
(plant, market) tuples, and the variables are named ship(plant,market).

Run:  python examples/transport.py
"""

import nivra

SUPPLY = {"hamburg": 40, "lyon": 35, "milan": 25}  # units available at each plant
DEMAND = {"berlin": 30, "paris": 30, "vienna": 20, "zurich": 15}  # units each market needs
COST = {  # cost of shipping one unit
    "hamburg": {"berlin": 3, "paris": 7, "vienna": 9, "zurich": 8},
    "lyon": {"berlin": 9, "paris": 4, "vienna": 8, "zurich": 3},
    "milan": {"berlin": 10, "paris": 6, "vienna": 5, "zurich": 2},
}
plants, markets = list(SUPPLY), list(DEMAND)

p = nivra.problem(name="transport")
p.setOutputEnabled(False)  # comment this out to see the solver log

# ship[plant, market] >= 0: the units sent from plant to market.
ship = p.addVariables(plants, markets, name="ship")

# A plant cannot send more than it has; every market receives what it needs.
p.addConstraint(nivra.Sum(ship[i, j] for j in markets) <= SUPPLY[i] for i in plants)
p.addConstraint(nivra.Sum(ship[i, j] for i in plants) == DEMAND[j] for j in markets)

p.setObjective(nivra.Sum(COST[i][j] * ship[i, j] for i in plants for j in markets))
p.optimize()

# getSolution of a dict gives a dict with the same keys.
flow = p.getSolution(ship)
print(f"Total cost: {p.attributes.objval:g}")
for (i, j), units in flow.items():
    if units > 1e-9:
        print(f"  {ship[i, j].name:<22} {units:g}")
