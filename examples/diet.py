"""The diet problem: the cheapest daily menu that meets nutritional needs.

A linear program (LP) with named variables and constraints. After solving, the dual value
(shadow price) of each nutrient constraint says how much the cost would rise per extra unit
of that nutrient required, and its slack how far the menu goes beyond the requirement.
The data follow the classic textbook diet example (Chvatal, Linear Programming, 1983):
prices in cents per serving.

Run:  python examples/diet.py
"""

import nivra

# food: (price, energy in kcal, protein in g, calcium in mg, most servings a day)
FOODS = {
    "oatmeal": (3, 110, 4, 2, 4),
    "chicken": (24, 205, 32, 12, 3),
    "eggs": (13, 160, 13, 54, 2),
    "milk": (9, 160, 8, 285, 8),
    "cherry_pie": (20, 420, 4, 22, 2),
    "pork_beans": (19, 260, 14, 80, 2),
}
# nutrient: (column in the table above, daily requirement)
NEEDS = {"energy": (1, 2000), "protein": (2, 55), "calcium": (3, 800)}

p = nivra.problem(name="diet")

# One variable per food: servings a day, between 0 and the food's limit. Each gets the
# food's name, which shows in the solver log and in files written from the problem.
servings = {food: p.addVariable(name=food, lb=0, ub=data[4]) for food, data in FOODS.items()}

# One named constraint per nutrient: the menu must provide at least the requirement.
needs = {}
for nutrient, (column, required) in NEEDS.items():
    intake = nivra.Sum(FOODS[food][column] * servings[food] for food in FOODS)
    needs[nutrient] = nivra.constraint(intake >= required, name=nutrient)
p.addConstraint(needs.values())

p.setObjective(nivra.Sum(FOODS[food][0] * servings[food] for food in FOODS),
               sense=nivra.minimize)

# The solver log is printed as the problem solves (nivra.setOutputEnabled(False) or
# p.setOutputEnabled(False) would silence it).
solvestatus, solstatus = p.optimize()
if solstatus != nivra.enums.SolStatus.OPTIMAL:
    raise SystemExit(f"no optimal menu: {solvestatus.name}, {solstatus.name}")

print(f"\nCheapest menu: {p.attributes.objval:.2f} cents a day")
for food, x in servings.items():
    amount = p.getSolution(x)
    if amount > 1e-9:
        print(f"  {food:<12} {amount:6.2f} servings")

# Duals and slacks come back in the order the constraints are given. A constraint that does
# not bind has dual 0; its slack, the requirement minus the intake, is then negative: the menu
# provides that much more than needed.
duals = p.getDuals(list(needs.values()))
slacks = p.getSlacks(list(needs.values()))
print("nutrient      dual (cents/unit)   slack")
for nutrient, dual, slack in zip(needs, duals, slacks):
    print(f"  {nutrient:<12} {dual:12.6f} {slack:12.4f}")
