"""Re-solve loops: Nivra's optimizer API against the same loop written directly on highspy (one
Highs object kept live), in one process, the two interleaved.

    .venv/bin/python bench/bench_resolve.py [--reps 3] [--rounds-cuts 200] [--rounds-cols 500]

- cuts: an LP of --rows random rows over --cols columns; each round adds the 10 rows of a fixed
  pool most violated by the current solution and re-solves.
- columns: the cutting-stock master LP (one row per item width); each round prices one
  pattern by a knapsack over the duals (same code for both sides, not timed) and adds it.
- fixed cost: the cutting-stock master LP re-solved --rounds-fixed times, one cost changed before
  each solve (the same edits on both sides): the time per re-solve, whose difference between the
  two sides is the interface's fixed cost per solve (target at most 50 microseconds).
- bound: each Netlib instance of tests/data solved, then one bound changed (the upper bound of
  the column with the largest value halved) and re-solved: the re-solve's simplex iterations
  against the cold solve's.

Reported: CPU time of the interface calls (medians over --reps), simplex iterations summed
over the loop, and the ratios Nivra/highspy (targets: time at most 1.10, iterations within
10 %; the bound re-solve at most 10 % of the cold iterations on average)."""

import argparse
import pathlib
import statistics
import time

import highspy
import numpy as np

import nivra

DATA = pathlib.Path(__file__).resolve().parent.parent / "tests" / "data"
NETLIB = ("afiro", "adlittle", "e226", "israel", "scrs8", "shell", "stair", "25fv47")


class Clock:
    def __init__(self):
        self.cpu = 0.0

    def __enter__(self):
        self.start = time.process_time()

    def __exit__(self, *exc):
        self.cpu += time.process_time() - self.start


def cut_data(rows, cols, pool, seed=7):
    rng = np.random.default_rng(seed)
    dens = 5.0 / cols
    A = np.where(rng.random((rows, cols)) < dens, rng.uniform(0.1, 1.0, (rows, cols)), 0.0)
    b = rng.uniform(1.0, 3.0, rows)
    P = np.where(rng.random((pool, cols)) < 0.01, rng.uniform(0.1, 1.0, (pool, cols)), 0.0)
    q = rng.uniform(0.5, 1.0, pool)
    c = -rng.uniform(0.5, 1.5, cols)
    return A, b, P, q, c


def most_violated(P, q, x, used, k=10):
    viol = P @ x - q
    viol[list(used)] = -np.inf
    best = [i for i in np.argsort(-viol)[:k] if viol[i] > 1e-7]
    used.update(best)
    return best


def sparse_rows(M, idx):
    start, ind, val = [0], [], []
    for i in idx:
        nz = np.nonzero(M[i])[0]
        ind.extend(int(j) for j in nz)
        val.extend(float(M[i, j]) for j in nz)
        start.append(len(ind))
    return start, ind, val


def cuts_nivra(p, A, b, P, q, rounds):
    clock, iters, used = Clock(), 0, set()
    with clock:
        p.optimize()
    iters += p.attributes.simplexiter
    for _ in range(rounds):
        with clock:
            x = np.asarray(p.getSolution())
        new = most_violated(P, q, x, used)
        if not new:
            break
        start, ind, val = sparse_rows(P, new)
        with clock:
            p.addrows(["L"] * len(new), q[new].tolist(), start[:-1], ind, val)
            p.optimize()
        iters += p.attributes.simplexiter
    return clock.cpu, iters, p.attributes.objval


def build_nivra_lp(A, b, c):
    m, n = A.shape
    p = nivra.problem()
    p.controls.outputlog = 0
    p.controls.threads = 1
    cols = [np.nonzero(A[:, j])[0] for j in range(n)]
    start = np.cumsum([0] + [len(r) for r in cols]).tolist()
    rowind = [int(i) for r in cols for i in r]
    coef = [float(A[i, j]) for j, r in enumerate(cols) for i in r]
    p.loadproblem("cuts", ["L"] * m, b.tolist(), None, c.tolist(), start, None, rowind, coef,
                  [0.0] * n, [1.0] * n)
    return p


def build_highs_lp(A, b, c):
    m, n = A.shape
    h = highspy.Highs()
    h.setOptionValue("output_flag", False)
    h.setOptionValue("threads", 1)
    cols = [np.nonzero(A[:, j])[0] for j in range(n)]
    start = np.cumsum([0] + [len(r) for r in cols])
    rowind = np.array([i for r in cols for i in r], dtype=np.int32)
    coef = np.array([A[i, j] for j, r in enumerate(cols) for i in r])
    h.addRows(m, np.full(m, -highspy.kHighsInf), b, 0, np.zeros(1, np.int32),
              np.zeros(0, np.int32), np.zeros(0))
    h.addCols(n, c, np.zeros(n), np.ones(n), len(rowind), start[:-1].astype(np.int32), rowind,
              coef)
    return h


def cuts_highs(h, P, q, rounds):
    clock, iters, used = Clock(), 0, set()
    with clock:
        h.run()
    iters += h.getInfo().simplex_iteration_count
    for _ in range(rounds):
        with clock:
            x = np.asarray(h.getSolution().col_value)
        new = most_violated(P, q, x, used)
        if not new:
            break
        start, ind, val = sparse_rows(P, new)
        k = len(new)
        with clock:
            h.addRows(k, np.full(k, -highspy.kHighsInf), q[new], len(ind),
                      np.array(start[:-1], np.int32), np.array(ind, np.int32), np.array(val))
            h.run()
        iters += h.getInfo().simplex_iteration_count
    return clock.cpu, iters, h.getInfo().objective_function_value


# ---- cutting stock by column generation -------------------------------------------------------

def stock_data(items=40, roll=1000, seed=3):
    rng = np.random.default_rng(seed)
    w = rng.integers(50, 400, items)
    d = rng.integers(5, 60, items).astype(float)
    return w, d, roll


def price(w, duals, roll):
    """The pattern of largest dual value (unbounded knapsack by dynamic programming)."""
    best = np.zeros(roll + 1)
    take = np.full(roll + 1, -1)
    for cap in range(1, roll + 1):
        for i, wi in enumerate(w):
            if wi <= cap and best[cap - wi] + duals[i] > best[cap]:
                best[cap], take[cap] = best[cap - wi] + duals[i], i
    pattern, cap = np.zeros(len(w)), int(np.argmax(best))
    while cap > 0 and take[cap] >= 0:
        pattern[take[cap]] += 1
        cap -= w[take[cap]]
    return pattern, best.max()


def stock_master_nivra(data):
    """The master LP with one pattern per item (as many as fit) to start."""
    w, d, roll = data
    k = len(w)
    p = nivra.problem()
    p.controls.outputlog = 0
    p.controls.threads = 1
    counts = [float(roll // wi) for wi in w]
    p.loadproblem("stock", ["G"] * k, d.tolist(), None, [1.0] * k, list(range(k + 1)), None,
                  list(range(k)), counts, [0.0] * k, [1e20] * k)
    return p


def stock_master_highs(data):
    w, d, roll = data
    k = len(w)
    h = highspy.Highs()
    h.setOptionValue("output_flag", False)
    h.setOptionValue("threads", 1)
    counts = np.array([float(roll // wi) for wi in w])
    h.addRows(k, d, np.full(k, highspy.kHighsInf), 0, np.zeros(1, np.int32),
              np.zeros(0, np.int32), np.zeros(0))
    h.addCols(k, np.ones(k), np.zeros(k), np.full(k, highspy.kHighsInf), k,
              np.arange(k, dtype=np.int32), np.arange(k, dtype=np.int32), counts)
    return h


def stock_nivra(data, rounds):
    w, d, roll = data
    p = stock_master_nivra(data)
    clock, iters = Clock(), 0
    for _ in range(rounds):
        with clock:
            p.optimize()
            duals = np.asarray(p.getDuals())
        iters += p.attributes.simplexiter
        objective = p.attributes.objval
        pattern, value = price(w, duals, roll)
        if value <= 1 + 1e-9:
            break
        nz = np.nonzero(pattern)[0]
        with clock:
            p.addcols([1.0], [0], nz.tolist(), pattern[nz].tolist(), [0.0], [1e20])
    return clock.cpu, iters, objective


def stock_highs(data, rounds):
    w, d, roll = data
    h = stock_master_highs(data)
    clock, iters = Clock(), 0
    for _ in range(rounds):
        with clock:
            h.run()
            duals = np.asarray(h.getSolution().row_dual)
        iters += h.getInfo().simplex_iteration_count
        objective = h.getInfo().objective_function_value
        pattern, value = price(w, duals, roll)
        if value <= 1 + 1e-9:
            break
        nz = np.nonzero(pattern)[0]
        with clock:
            h.addCol(1.0, 0.0, highspy.kHighsInf, len(nz), nz.astype(np.int32), pattern[nz])
    return clock.cpu, iters, objective


# ---- the fixed cost of a re-solve ---------------------------------------------------------------

def fixed_nivra(data, rounds):
    p = stock_master_nivra(data)
    p.optimize()
    k = len(data[0])
    clock = Clock()
    with clock:
        for r in range(rounds):
            p.chgobj([r % k], [1.0 + 0.01 * (r % 3)])
            p.optimize()
    return clock.cpu / rounds, p.attributes.simplexiter, p.attributes.objval


def fixed_highs(data, rounds):
    h = stock_master_highs(data)
    k = len(data[0])
    h.run()
    clock = Clock()
    with clock:
        for r in range(rounds):
            h.changeColCost(r % k, 1.0 + 0.01 * (r % 3))
            h.run()
    info = h.getInfo()
    return clock.cpu / rounds, info.simplex_iteration_count, info.objective_function_value


# ---- one bound changed --------------------------------------------------------------------------

def bound_resolve(name):
    p = nivra.problem()
    p.controls.outputlog = 0
    p.controls.threads = 1
    p.read(str(DATA / f"{name}.mps"))
    p.optimize()
    cold = p.attributes.simplexiter
    x = p.getSolution()
    j = int(np.argmax(x))
    p.chgbounds([j], ["U"], [x[j] / 2])
    p.optimize()
    return cold, p.attributes.simplexiter


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--reps", type=int, default=3)
    ap.add_argument("--rows", type=int, default=10000)
    ap.add_argument("--cols", type=int, default=1000)
    ap.add_argument("--rounds-cuts", type=int, default=200)
    ap.add_argument("--rounds-cols", type=int, default=500)
    ap.add_argument("--rounds-fixed", type=int, default=2000)
    args = ap.parse_args()

    runs = {"nivra": [], "highspy": []}
    for _ in range(args.reps):
        runs["nivra"].append(fixed_nivra(stock_data(), args.rounds_fixed))
        runs["highspy"].append(fixed_highs(stock_data(), args.rounds_fixed))
    med = {k: 1e6 * statistics.median(r[0] for r in v) for k, v in runs.items()}
    print(f"fixed cost: CPU per re-solve nivra {med['nivra']:.1f} us, highspy "
          f"{med['highspy']:.1f} us, difference {med['nivra'] - med['highspy']:+.1f} us (target "
          f"at most 50); objective {runs['nivra'][0][2]:.9g} vs {runs['highspy'][0][2]:.9g}")

    data = cut_data(args.rows, args.cols, pool=args.rounds_cuts * 20)
    A, b, P, q, c = data
    runs = {"nivra": [], "highspy": []}
    for _ in range(args.reps):
        runs["nivra"].append(cuts_nivra(build_nivra_lp(A, b, c), A, b, P, q, args.rounds_cuts))
        runs["highspy"].append(cuts_highs(build_highs_lp(A, b, c), P, q, args.rounds_cuts))
    report("cutting planes", runs)

    sdata = stock_data()
    runs = {"nivra": [], "highspy": []}
    for _ in range(args.reps):
        runs["nivra"].append(stock_nivra(sdata, args.rounds_cols))
        runs["highspy"].append(stock_highs(sdata, args.rounds_cols))
    report("column generation", runs)

    shares = []
    for name in NETLIB:
        cold, warm = bound_resolve(name)
        shares.append(warm / max(cold, 1))
        print(f"  {name:10s} cold {cold:6d} iterations, after one bound {warm:5d} "
              f"({100 * warm / max(cold, 1):.1f} %)")
    print(f"one-bound re-solve: {100 * statistics.mean(shares):.1f} % of the cold iterations "
          f"on average (target at most 10 %)")


def report(what, runs):
    med = {k: statistics.median(r[0] for r in v) for k, v in runs.items()}
    it = {k: v[0][1] for k, v in runs.items()}
    obj = {k: v[0][2] for k, v in runs.items()}
    print(f"{what}: CPU nivra {med['nivra']:.3f} s, highspy {med['highspy']:.3f} s, "
          f"Nivra/highspy {med['nivra'] / med['highspy']:.2f} (target at most 1.10); "
          f"iterations {it['nivra']} vs {it['highspy']} "
          f"({100 * (it['nivra'] / max(it['highspy'], 1) - 1):+.1f} %); "
          f"objective {obj['nivra']:.9g} vs {obj['highspy']:.9g}")


if __name__ == "__main__":
    main()
