"""A production plan whose data come from CSV files.

How many units of each product to make in a week, to earn the most, given the hours each
unit needs in each workshop and the hours each workshop has. Units are whole numbers, so the
model is a MIP. The data directory holds two files:
  - products.csv: product, profit per unit, most units that can be sold, then one column of
    hours per unit for every workshop;
  - resources.csv: resource (the workshop, named as a column of products.csv), hours.
By default the files in data/production next to this script are used.

Run:  python examples/production.py [data directory]
"""

import csv
import pathlib
import sys

import nivra

folder = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else
                      pathlib.Path(__file__).parent / "data" / "production")

with open(folder / "resources.csv", newline="") as f:
    hours = {row["resource"]: float(row["hours"]) for row in csv.DictReader(f)}
with open(folder / "products.csv", newline="") as f:
    products = {row.pop("product"): {key: float(value) for key, value in row.items()}
                for row in csv.DictReader(f)}

p = nivra.problem(name="production")
p.setOutputEnabled(False)  # comment this out to see the solver log

# make[product]: whole units, at most what can be sold (a dict keyed by product name).
make = {name: p.addVariable(name=f"make_{name}", vartype=nivra.integer, ub=data["max_sales"])
        for name, data in products.items()}

# Each workshop's hours are limited; the constraints are named after the workshops.
for resource, available in hours.items():
    used = nivra.Sum(data[resource] * make[name] for name, data in products.items())
    p.addConstraint(nivra.constraint(used <= available, name=resource))

p.setObjective(nivra.Sum(data["profit"] * make[name] for name, data in products.items()),
               sense=nivra.maximize)
p.optimize()

print(f"Weekly profit: {p.attributes.objval:g}")
for name, units in zip(make, p.getSolution(list(make.values()))):
    print(f"  {name:<8} {round(units):4d} units")
