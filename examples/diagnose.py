"""Diagnosing an infeasible production plan, then a sensitivity report of an LP.

A workshop makes three products on three resources. Its delivery contracts ask for more than
the labour and the timber allow, so the plan is infeasible. The example
  1. finds an irreducible infeasible subsystem (IIS): a smallest set of constraints that cannot
     hold together, and prints it;
  2. repairs the plan by relaxing the contracts, weighted by how readily each customer accepts
     a smaller delivery, and prints which contracts to renegotiate and by how much;
  3. solves the plan on the resources alone (no contracts) and prints its sensitivity report:
     for each product the range of its profit over which the plan stays optimal, and for each
     resource its shadow price and the range of its capacity over which that price holds.

Run:  python examples/diagnose.py
"""

import nivra

PRODUCTS = {"chairs": 45.0, "tables": 80.0, "shelves": 30.0}  # profit per unit
RESOURCES = {  # capacity, then the use per unit of each product
    "machine hours": (400.0, {"chairs": 2.0, "tables": 3.0, "shelves": 1.0}),
    "labour hours": (250.0, {"chairs": 3.0, "tables": 4.0, "shelves": 2.0}),
    "timber m3": (120.0, {"chairs": 1.0, "tables": 2.0, "shelves": 1.5}),
}
CONTRACTS = {"chairs": 40.0, "tables": 30.0, "shelves": 20.0}  # units promised
# How readily each customer accepts a smaller delivery: the repair's cost of one unit less is
# 1 / preference.
PREFERENCE = {"chairs": 1.0, "tables": 2.0, "shelves": 1.0}


def build(contracts=True):
    p = nivra.problem(name="workshop")
    p.setOutputEnabled(False)  # comment this out to see the solver log
    make = {n: p.addVariable(name=n) for n in PRODUCTS}
    for r, (capacity, use) in RESOURCES.items():
        p.addConstraint(nivra.constraint(nivra.Sum(use[n] * make[n] for n in PRODUCTS)
                                         <= capacity, name=r))
    for n, units in CONTRACTS.items() if contracts else ():
        p.addConstraint(nivra.constraint(make[n] >= units, name=f"contract {n}"))
    p.setObjective(nivra.Sum(PRODUCTS[n] * make[n] for n in PRODUCTS), sense=nivra.maximize)
    return p, make


def print_iis(p):
    if p.iisfirst(1) != 0:
        print("The plan is feasible")
        return
    rows, cols, contype, bndtype = [], [], [], []
    p.getiisdata(1, rows, cols, contype, bndtype)
    print("Infeasible together:")
    for con in rows:
        print(f"  {con.name}")
    for var, bound in zip(cols, bndtype):
        print(f"  the {'lower' if bound == 'L' else 'upper'} bound of {var.name}")


def repair(p):
    """Relaxes the contracts (rows 'contract ...', all >=) by the least weighted shortfall."""
    cons = p.getConstraint()
    gepref = [PREFERENCE[c.name[len("contract "):]] if c.name.startswith("contract ") else 0.0
              for c in cons]
    none_rows, none_cols = [0.0] * len(cons), [0.0] * p.attributes.cols
    if p.repairweightedinfeas(none_rows, gepref, none_cols, none_cols, "n", 0.0, "") != 0:
        raise SystemExit("The plan cannot be repaired by relaxing the contracts")
    print("Renegotiate:")
    for con, slack in zip(cons, p.getSlacks(cons)):
        if gepref[con.index] and slack > 1e-7:  # a >= row short of its right-hand side
            print(f"  {con.name}: by {slack:g} units")


def sensitivity():
    p, make = build(contracts=False)
    p.optimize()
    print(f"Profit: {p.attributes.objval:g}")
    lower, upper = [], []
    p.objsa(list(make.values()), lower, upper)
    print("Profit per unit, range keeping the plan optimal:")
    for (n, var), lo, up in zip(make.items(), lower, upper):
        print(f"  {n}: make {p.getSolution(var):g}; {PRODUCTS[n]:g} in [{lo:g}, {up:g}]")
    resources = p.getConstraint()
    lower, upper = [], []
    p.rhssa(resources, lower, upper)
    print("Capacity, range keeping its shadow price:")
    for con, price, lo, up in zip(resources, p.getDuals(resources), lower, upper):
        capacity = RESOURCES[con.name][0]
        print(f"  {con.name}: price {price:g}; {capacity:g} in [{lo:g}, {up:g}]")


if __name__ == "__main__":
    plan, _ = build()
    print_iis(plan)
    repair(plan)
    sensitivity()
