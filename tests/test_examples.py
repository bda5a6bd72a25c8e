"""Every example runs end to end in its own interpreter (at a small size) and prints the result
that a second, independent computation gives: SciPy's LP/MIP solvers on the same data, brute
force over the discrete choices, an active-set enumeration for the QP, published values."""

import ast
import csv
import importlib.util
import itertools
import pathlib
import re
import subprocess
import sys

import numpy as np
import pytest

import nivra

optimize = pytest.importorskip("scipy.optimize")

EXAMPLES = pathlib.Path(__file__).parents[1] / "examples"
TESTED = {"diet.py", "transport.py", "facility.py", "portfolio.py", "lexicographic.py",
          "network_flow.py", "mps_file.py", "production.py", "facility_cones.py",
          "cutting_stock.py", "plant_costs.py", "progress.py", "scenarios.py", "diagnose.py",
          "chemical_equilibrium.py", "process_synthesis.py"}


def run(script, *args):
    """The example's standard output; it must end well and write nothing to stderr."""
    done = subprocess.run([sys.executable, str(EXAMPLES / script), *map(str, args)],
                          capture_output=True, text=True, timeout=120, check=False)
    assert done.returncode == 0 and done.stderr == "", done.stderr
    return done.stdout


def value(out, label):
    """The number printed after "label:"."""
    return float(re.search(rf"^{label}:\s*(\S+)", out, re.M).group(1))


def constants(script, *names):
    """Top-level literal constants of an example, read without running it."""
    tree = ast.parse((EXAMPLES / script).read_text())
    found = {t.id: ast.literal_eval(node.value) for node in tree.body
             if isinstance(node, ast.Assign) for t in node.targets
             if isinstance(t, ast.Name) and t.id in names}
    return [found[n] for n in names]


def load(script):
    """An example with a main guard, imported as a module (for its data)."""
    spec = importlib.util.spec_from_file_location(script[:-3], EXAMPLES / script)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def test_every_example_is_tested():
    assert {p.name for p in EXAMPLES.glob("*.py")} == TESTED


def test_diet_shows_the_log_and_the_duals_of_the_lp():
    foods, needs = constants("diet.py", "FOODS", "NEEDS")
    out = run("diet.py")
    head, result = out.split("Cheapest menu:")
    assert "Optimal" in head and len(head.splitlines()) > 5  # the solver log came first
    names = list(foods)
    price = np.array([foods[f][0] for f in names], float)
    content = np.array([[foods[f][col] for f in names] for col, _ in needs.values()], float)
    required = np.array([req for _, req in needs.values()], float)
    lp = optimize.linprog(price, A_ub=-content, b_ub=-required,
                          bounds=[(0, foods[f][4]) for f in names], method="highs")
    assert float(result.split()[0]) == pytest.approx(lp.fun, abs=0.005)
    menu = dict.fromkeys(names, 0.0)
    menu.update((m[1], float(m[2])) for m in re.finditer(r"^  (\w+)\s+(\S+) servings$", out, re.M))
    amounts = np.array([menu[f] for f in names])
    assert price @ amounts == pytest.approx(lp.fun, abs=0.05)
    rows = re.findall(r"^  (\w+)\s+(\S+)\s+(\S+)$", out.split("nutrient")[-1], re.M)
    assert [r[0] for r in rows] == list(needs)
    # linprog's marginals are d cost / d b_ub, with b_ub = -requirement
    assert [float(r[1]) for r in rows] == pytest.approx(-lp.ineqlin.marginals, abs=1e-6)
    # slack = requirement - intake (negative: the menu gives more than needed)
    assert [float(r[2]) for r in rows] == pytest.approx(required - content @ amounts, abs=0.05)


def test_transport_ships_at_the_least_cost():
    supply, demand, cost = constants("transport.py", "SUPPLY", "DEMAND", "COST")
    out = run("transport.py")
    plants, markets = list(supply), list(demand)
    c = [cost[i][j] for i in plants for j in markets]
    a_ub = [[1.0 if k // len(markets) == i else 0.0 for k in range(len(c))]
            for i in range(len(plants))]
    a_eq = [[1.0 if k % len(markets) == j else 0.0 for k in range(len(c))]
            for j in range(len(markets))]
    lp = optimize.linprog(c, A_ub=a_ub, b_ub=list(supply.values()), A_eq=a_eq,
                          b_eq=list(demand.values()), method="highs")
    assert value(out, "Total cost") == pytest.approx(lp.fun) == 365  # also by hand
    flows = re.findall(r"^  ship\((\w+),(\w+)\)\s+(\S+)$", out, re.M)
    assert sum(cost[i][j] * float(u) for i, j, u in flows) == pytest.approx(lp.fun)
    for j in markets:
        assert sum(float(u) for _, m, u in flows if m == j) == pytest.approx(demand[j])


def test_facility_location_against_every_choice_of_open_sites():
    fixed, capacity, demand, serve_cost = load("facility.py").make_data(16)
    out = run("facility.py", 16)
    sites, customers = serve_cost.shape
    best = (np.inf, None)
    for k in range(1, sites + 1):
        for chosen in itertools.combinations(range(sites), k):
            # with the sites fixed, what remains is an LP over the shares
            n = len(chosen)
            a_eq = np.kron(np.ones(n), np.eye(customers))
            a_ub = np.kron(np.eye(n), demand)
            lp = optimize.linprog(serve_cost[list(chosen)].ravel(), A_ub=a_ub,
                                  b_ub=capacity[list(chosen)], A_eq=a_eq,
                                  b_eq=np.ones(customers), bounds=(0, 1), method="highs")
            if lp.status == 0 and fixed[list(chosen)].sum() + lp.fun < best[0]:
                best = (fixed[list(chosen)].sum() + lp.fun, chosen)
    assert value(out, "Total cost") == pytest.approx(best[0], abs=1e-3)
    opened = re.search(r"^Open sites: (.*)$", out, re.M).group(1)
    assert tuple(map(int, opened.split())) == best[1]
    served = re.findall(r"serves (\d+) customers", out)
    assert len(served) == len(best[1]) and sum(map(int, served)) >= customers


def least_variance(mean, covariance, target):
    """Exact optimum by enumeration: on every face of {w >= 0}, with the return constraint
    active or not, solve the equality-constrained stationarity conditions; the best feasible
    point found is the optimum of the convex QP."""
    n = len(mean)
    best = (np.inf, None)
    for k in range(1, n + 1):
        for support in itertools.combinations(range(n), k):
            s = list(support)
            for rows in ([np.ones(k)], [np.ones(k), mean[s]]):
                a = np.array(rows)
                kkt = np.block([[2 * covariance[np.ix_(s, s)], a.T],
                                [a, np.zeros((len(a), len(a)))]])
                rhs = np.concatenate([np.zeros(k), [1.0, target][:len(a)]])
                try:
                    w_s = np.linalg.solve(kkt, rhs)[:k]
                except np.linalg.LinAlgError:
                    continue
                w = np.zeros(n)
                w[s] = w_s
                if w.min() >= -1e-12 and mean @ w >= target - 1e-12 and \
                        w @ covariance @ w < best[0]:
                    best = (w @ covariance @ w, w)
    return best


def test_portfolio_matches_the_enumerated_optimum():
    example = load("portfolio.py")
    mean, covariance = example.make_data(8)
    out = run("portfolio.py", 8)
    target = value(out, "Target return")
    assert target == pytest.approx(0.5 * (mean.mean() + mean.max()), abs=1e-6)
    variance, weights = least_variance(mean, covariance, 0.5 * (mean.mean() + mean.max()))
    assert value(out, "Variance") == pytest.approx(variance, rel=1e-5)
    printed = np.array(re.search(r"^Weights: (.*)$", out, re.M).group(1).split(), float)
    assert printed == pytest.approx(weights, abs=2e-5)
    assert 0 < np.count_nonzero(weights > 1e-9) < len(weights)  # some bounds are active
    # The risk-limited portfolio of at most MAX_ASSETS assets: every support of that size,
    # each a small convex problem for SciPy.
    limit = value(out, "Risk limit")
    assert limit == pytest.approx(2 * variance, rel=1e-5)
    (k,) = constants("portfolio.py", "MAX_ASSETS")
    best = -np.inf
    for size in range(1, k + 1):
        for support in itertools.combinations(range(len(mean)), size):
            s = list(support)
            S, m = covariance[np.ix_(s, s)], mean[s]
            res = optimize.minimize(
                lambda w: -m @ w, np.full(size, 1 / size), jac=lambda w: -m, method="SLSQP",
                bounds=[(0, 1)] * size, options={"ftol": 1e-14, "maxiter": 500},
                constraints=[{"type": "eq", "fun": lambda w: w.sum() - 1},
                             {"type": "ineq", "fun": lambda w: limit - w @ S @ w,
                              "jac": lambda w: -2 * S @ w}])
            if res.success and res.x @ S @ res.x <= limit * (1 + 1e-9):
                best = max(best, -res.fun)
    assert value(out, f"Best return with at most {k} assets") == pytest.approx(best, rel=1e-4)
    holdings = re.search(r"^Holdings: (.*)$", out, re.M).group(1).split()
    assert 0 < len(holdings) <= k


def enclosing_radius(points):
    """Radius of the smallest circle around the points: the best of the circles through two
    of them (as diameter) or three of them (circumscribed) that contain all of them."""
    if len(points) == 1:
        return 0.0
    centers = [(a + b) / 2 for a, b in itertools.combinations(points, 2)]
    for a, b, c in itertools.combinations(points, 3):
        m = np.array([b - a, c - a])
        if abs(np.linalg.det(m)) > 1e-12:
            centers.append(np.linalg.solve(2 * m, [b @ b - a @ a, c @ c - a @ a]))
    return min(np.max(np.linalg.norm(points - c, axis=1)) for c in centers)


def test_facility_with_cones_against_every_assignment():
    points = load("facility_cones.py").make_data(7)
    out = run("facility_cones.py", 7)
    # Two facilities: every split of the customers into two groups, each group served from
    # the centre of its smallest enclosing circle.
    best = np.inf
    n = len(points)
    for mask in range(1, 2 ** (n - 1)):
        group = np.array([(mask >> c) & 1 for c in range(n)], bool)
        best = min(best, max(enclosing_radius(points[group]), enclosing_radius(points[~group])))
    assert value(out, "Largest distance") == pytest.approx(best, rel=1e-4)
    served = re.findall(r"^Facility (\d) at \((\S+), (\S+)\) serves: (.*)$", out, re.M)
    assert len(served) == 2
    for _, x, y, customers in served:
        members = [int(c) for c in customers.split()]
        distances = np.linalg.norm(points[members] - [float(x), float(y)], axis=1)
        assert distances.max() <= best * (1 + 1e-4) + 1e-4


def test_lexicographic_objectives_against_brute_force():
    profit, cost, staff, budget = load("lexicographic.py").make_data(11)
    out = run("lexicographic.py", 11)
    best = max((profit @ x, -(staff @ x)) for x in itertools.product((0, 1), repeat=11)
               if cost @ np.array(x) <= budget)
    assert (value(out, "Profit"), value(out, "Staff")) == (best[0], -best[1])
    # the second objective mattered: the most profitable selections differ in staff
    staffs = {staff @ x for x in itertools.product((0, 1), repeat=11)
              if cost @ np.array(x) <= budget and profit @ x == best[0]}
    assert len(staffs) > 1
    chosen = [int(j) for j in re.search(r"^Projects: (.*)$", out, re.M).group(1).split()]
    assert cost[chosen].sum() <= budget and profit[chosen].sum() == best[0]


def test_network_flow_matches_the_lp_of_the_same_arrays():
    incidence, cost, capacity, supply = load("network_flow.py").make_data(4)
    out = run("network_flow.py", 4)
    lp = optimize.linprog(cost, A_eq=incidence.toarray(), b_eq=supply,
                          bounds=list(zip(np.zeros_like(capacity), capacity)), method="highs")
    assert value(out, "Minimum cost") == pytest.approx(lp.fun, abs=1e-5)
    assert f"of {len(cost)}" in out


def objective_of_mps(path):
    """Objective coefficients of a fixed-format MPS file with one N row, by column."""
    section, objective_row, coefficients = None, None, {}
    for line in path.read_text().splitlines():
        if line and not line[0].isspace():
            section = line.split()[0]
            continue
        fields = line.split()
        if section == "ROWS" and fields[0] == "N":
            objective_row = fields[1]
        elif section == "COLUMNS":
            coefficients.setdefault(fields[0], 0.0)
            for row, number in zip(fields[1::2], fields[2::2]):
                if row == objective_row:
                    coefficients[fields[0]] += float(number)
    return coefficients  # in the order the columns appear


def test_mps_file_is_solved_and_written(tmp_path):
    out = run("mps_file.py", EXAMPLES / "data" / "afiro.mps", tmp_path)
    published = -4.6475314286e02  # Netlib
    assert "32 columns, 27 rows" in out and "Status: OPTIMAL" in out
    assert value(out, "Objective") == pytest.approx(published, rel=1e-9)
    with open(tmp_path / "afiro.sol.csv", newline="") as f:
        rows = list(csv.reader(f))
    costs = objective_of_mps(EXAMPLES / "data" / "afiro.mps")
    assert rows[0] == ["variable", "value"] and [r[0] for r in rows[1:]] == list(costs)
    x = np.array([float(r[1]) for r in rows[1:]])
    assert np.array(list(costs.values())) @ x == pytest.approx(published)
    again = nivra.problem()  # the written LP file holds the same problem
    again.setOutputEnabled(False)
    again.read(str(tmp_path / "afiro.lp"))
    again.optimize()
    assert again.attributes.objval == pytest.approx(published, rel=1e-9)


def read_plan(folder):
    with open(folder / "resources.csv", newline="") as f:
        hours = {r["resource"]: float(r["hours"]) for r in csv.DictReader(f)}
    with open(folder / "products.csv", newline="") as f:
        products = list(csv.DictReader(f))
    return hours, products


def test_production_plan_from_the_shipped_csv_files():
    out = run("production.py")
    hours, products = read_plan(EXAMPLES / "data" / "production")
    use = np.array([[float(p[r]) for p in products] for r in hours])
    plan = optimize.milp(-np.array([float(p["profit"]) for p in products]),
                         constraints=optimize.LinearConstraint(use, ub=list(hours.values())),
                         integrality=np.ones(len(products)),
                         bounds=optimize.Bounds(0, [float(p["max_sales"]) for p in products]))
    assert value(out, "Weekly profit") == pytest.approx(-plan.fun)
    units = dict(re.findall(r"^  (\w+)\s+(\d+) units$", out, re.M))
    made = np.array([float(units[p["product"]]) for p in products])
    assert (use @ made <= np.array(list(hours.values())) + 1e-9).all()


def test_production_plan_from_a_csv_given_on_the_command_line(tmp_path):
    (tmp_path / "products.csv").write_text("product,profit,max_sales,oven\nbread,3,10,2\n")
    (tmp_path / "resources.csv").write_text("resource,hours\noven,9\n")
    out = run("production.py", tmp_path)
    # 9 oven hours at 2 hours a loaf: 4 whole loaves, 12 in profit
    assert value(out, "Weekly profit") == 12 and re.search(r"^  bread\s+4 units$", out, re.M)


def test_cutting_stock_reaches_the_lp_bound_over_all_patterns():
    example = load("cutting_stock.py")
    width, demand = example.make_data(6)
    out = run("cutting_stock.py", 6)
    # the LP over every maximal pattern, enumerated
    patterns = [a for a in itertools.product(*(range(int(example.ROLL_WIDTH // w) + 1)
                                               for w in width))
                if np.dot(a, width) <= example.ROLL_WIDTH]
    A = np.array(patterns, float).T
    lp = optimize.linprog(np.ones(A.shape[1]), A_ub=-A, b_ub=-demand, method="highs")
    assert value(out, "LP bound") == pytest.approx(lp.fun, abs=1e-6)
    rolls = value(out, "Rolls")
    assert rolls >= np.ceil(lp.fun - 1e-9)
    cut, used = np.zeros(len(width)), 0
    for times, pieces in re.findall(r"^\s+(\d+) rolls cut as (.+)$", out, re.M):
        counts = {float(w): int(n) for n, w in re.findall(r"(\d+) x (\d+)", pieces)}
        assert sum(n * w for w, n in counts.items()) <= example.ROLL_WIDTH
        cut += [int(times) * counts.get(w, 0) for w in width]
        used += int(times)
    assert used == rolls and (cut >= demand).all()


def test_plant_costs_match_dynamic_programming_over_the_plants():
    example = load("plant_costs.py")
    capacity, minimum, fixed, rates, breaks, demand = example.make_data(4)
    out = run("plant_costs.py", 4)
    best = {0: 0.0}  # units made so far (capped at the demand) -> least cost
    for i in range(4):
        xs, ys = example.cost_points(capacity[i], rates[i], breaks[i])
        options = [(0, 0.0)] + [(q, fixed[i] + np.interp(q, xs, ys))
                                for q in range(minimum[i], capacity[i] + 1)]
        step = {}
        for made, cost in best.items():
            for q, c in options:
                key = min(demand, made + q)
                step[key] = min(step.get(key, np.inf), cost + c)
        best = step
    assert value(out, "Total cost") == pytest.approx(best[demand], abs=1e-4)
    made = [int(m) for m in re.findall(r"makes (\d+) of", out)]
    assert sum(made) >= demand


def test_progress_stops_at_the_target_gap_around_the_true_optimum():
    jobs, target = 60, 0.005
    cost, load_, capacity = load("progress.py").make_data(jobs)
    out = run("progress.py", jobs, target)
    machines = cost.shape[0]
    # The same assignment problem solved to optimality by SciPy (x[i, j] at i * jobs + j).
    rows = [optimize.LinearConstraint(np.kron(np.ones(machines), np.eye(jobs)), 1, 1),
            optimize.LinearConstraint(np.kron(np.eye(machines), np.ones(jobs)) * load_.ravel(),
                                      -np.inf, capacity)]
    best = optimize.milp(cost.ravel(), constraints=rows, integrality=np.ones(cost.size),
                         bounds=optimize.Bounds(0, 1)).fun
    shown = re.findall(r"^(?:intsol|miplog) +incumbent +(\S+) +bound +(\S+) +gap", out, re.M)
    incumbents = [float(i) for i, _ in shown]
    bounds = [float(b) for _, b in shown if b != "none"]
    assert len(incumbents) >= 2 and incumbents == sorted(incumbents, reverse=True)
    assert bounds and bounds == sorted(bounds) and bounds[-1] <= best + 1e-6
    objective, bound, gap = value(out, "Objective"), value(out, "Bound"), value(out, "Gap")
    assert objective == incumbents[-1] and bound <= best + 1e-6 <= objective + 2e-6
    assert gap <= target and (objective - best) / objective <= target
    assert "Stop status: INTERRUPT" in out or gap == 0


def test_scenarios_on_a_local_cluster_agree_with_scipy():
    pytest.importorskip("dask.distributed")
    example = load("scenarios.py")
    out = run("scenarios.py", 6, 2)
    assert value(out, "scenarios") == 6
    assert value(out, "largest difference from serial solves") < 1e-9
    nP, nM, nT = example.NPRODUCTS, example.NMACHINES, example.NPERIODS
    costs = []
    for s in range(6):
        # columns: make[i, t] then stock[i, t], row-major as in the example
        need = example.demand(s)
        c = np.concatenate([np.repeat(example.MAKE_COST, nT), np.full(nP * nT, example.HOLD_COST)])
        eq = np.zeros((nP * nT, 2 * nP * nT))
        for i, t in itertools.product(range(nP), range(nT)):
            k = i * nT + t
            eq[k, k], eq[k, nP * nT + k] = 1, -1
            if t:
                eq[k, nP * nT + k - 1] = 1
        cap = np.zeros((nM * nT, 2 * nP * nT))
        for m, t, i in itertools.product(range(nM), range(nT), range(nP)):
            cap[m * nT + t, i * nT + t] = example.RATE[i, m]
        lp = optimize.linprog(c, A_ub=cap, b_ub=np.full(nM * nT, example.CAPACITY), A_eq=eq,
                              b_eq=need.ravel(), method="highs")
        costs.append(lp.fun)
    assert value(out, "mean cost") == pytest.approx(np.mean(costs), rel=1e-9)


def test_diagnosing_an_infeasible_plan_and_its_sensitivity_report():
    example = load("diagnose.py")
    out = run("diagnose.py")
    products, resources = list(example.PRODUCTS), example.RESOURCES
    use = np.array([[resources[r][1][n] for n in products] for r in resources])
    capacity = np.array([resources[r][0] for r in resources])
    contracts = np.array([example.CONTRACTS[n] for n in products])

    def feasible(rows, floors):
        res = optimize.linprog(np.zeros(len(products)), A_ub=use[rows], b_ub=capacity[rows],
                               bounds=list(zip(floors, [None] * len(products))), method="highs")
        return res.status == 0

    # The IIS printed: infeasible together, feasible without any one of its members.
    names = re.search(r"Infeasible together:\n((?:  .+\n)+)", out).group(1).split("\n  ")
    names = [n.strip() for n in names if n.strip()]
    rows = [list(resources).index(n) for n in names if n in resources]
    floors = [example.CONTRACTS[n] if f"contract {n}" in names else 0.0 for n in products]
    assert not feasible(rows, floors)
    for k in range(len(rows)):
        assert feasible(rows[:k] + rows[k + 1:], floors)
    for j, f in enumerate(floors):
        if f:
            assert feasible(rows, floors[:j] + [0.0] + floors[j + 1:])
    # The repair: the least weighted shortfall, found by SciPy over the shortfalls s >= 0 of the
    # contracts (x = contracts - s within the resources).
    weights = [1 / example.PREFERENCE[n] for n in products]
    lp = optimize.linprog(weights, A_ub=-use, b_ub=capacity - use @ contracts,
                          bounds=[(0, c) for c in contracts], method="highs")
    cut = dict(re.findall(r"^  contract (\w+): by (\S+) units$", out, re.M))
    shortfall = np.array([float(cut.get(n, 0.0)) for n in products])
    assert weights @ shortfall == pytest.approx(lp.fun, abs=1e-6)
    # The sensitivity report: the optimum, and re-solving inside each profit range keeps the
    # plan (SciPy), outside it changes it.
    profit = np.array([example.PRODUCTS[n] for n in products])

    def plan(c):
        return optimize.linprog(-c, A_ub=use, b_ub=capacity, method="highs").x

    best = plan(profit)
    assert value(out, "Profit") == pytest.approx(profit @ best)
    ranges = re.findall(r"^  (\w+): make (\S+); \S+ in \[(\S+), (\S+)\]$", out, re.M)
    assert [r[0] for r in ranges] == products
    for j, (_, made, lo, up) in enumerate(ranges):
        assert float(made) == pytest.approx(best[j], abs=1e-6)
        for end, inward in ((float(lo), 1), (float(up), -1)):
            if abs(end) >= 1e19:
                continue
            inside, outside = profit.copy(), profit.copy()
            inside[j] = end + inward * 1e-3 * max(1.0, abs(end))
            outside[j] = end - inward * 0.05 * max(1.0, abs(end))
            assert np.allclose(plan(inside), best, atol=1e-6)
            assert not np.allclose(plan(outside), best, atol=1e-6)


def test_chemical_equilibrium_meets_the_equilibrium_conditions():
    example = load("chemical_equilibrium.py")
    out = run("chemical_equilibrium.py")
    assert value(out, "Free energy") == pytest.approx(-47.761090859, abs=1e-8)  # published
    moles = np.array([float(v) for v in re.findall(r"^  \w+\s+(\S+)$", out, re.M)])
    atoms = np.array([example.ATOMS[e] for e in example.ATOMS], dtype=float)
    assert atoms @ moles == pytest.approx([example.AMOUNT[e] for e in example.ATOMS], abs=1e-5)
    # At equilibrium every species' chemical potential c_j + ln(x_j / total) is the sum of its
    # atoms' element potentials: a least-squares fit of those leaves no residual.
    potential = np.array(example.ENERGY) + np.log(moles / moles.sum())
    fit = np.linalg.lstsq(atoms.T, potential, rcond=None)
    assert np.abs(atoms.T @ fit[0] - potential).max() < 1e-3  # the printed moles have 6 digits


def test_process_synthesis_matches_enumeration_of_the_units():
    out = run("process_synthesis.py")
    cost = value(out, "Cost")

    def best_for(y):
        # The continuous problem with the units fixed, by SciPy from several starts.
        def f(x):
            return (5 * y[0] + 6 * y[1] + 8 * y[2] + 10 * x[0] - 7 * x[2]
                    - 18 * np.log(x[1] + 1) - 19.2 * np.log(x[0] - x[1] + 1) + 10)
        rows = [lambda x: 0.8 * np.log(x[1] + 1) + 0.96 * np.log(x[0] - x[1] + 1) - 0.8 * x[2],
                lambda x: np.log(x[1] + 1) + 1.2 * np.log(x[0] - x[1] + 1) - x[2] - 2 * y[2] + 2,
                lambda x: x[0] - x[1], lambda x: 2 * y[0] - x[1],
                lambda x: 2 * y[1] - x[0] + x[1]]
        found = [optimize.minimize(f, start, method="SLSQP", bounds=[(0, 2), (0, 2), (0, 1)],
                                   constraints=[{"type": "ineq", "fun": g} for g in rows])
                 for start in ([0.1, 0.05, 0.0], [1.0, 0.5, 0.5], [2.0, 0.0, 1.0])]
        values = [r.fun for r in found if r.success and min(g(r.x) for g in rows) > -1e-7]
        return min(values, default=np.inf)

    costs = {y: best_for(y) for y in itertools.product((0, 1), repeat=3) if y[0] + y[1] <= 1}
    assert cost == pytest.approx(min(costs.values()), abs=1e-5)
    assert cost == pytest.approx(6.009759, abs=1e-6)  # published
    best = min(costs, key=costs.get)
    assert re.search(r"^Units built: (.*)$", out, re.M).group(1) == \
        str([k + 1 for k in range(3) if best[k]])
