"""Transfer of a nonlinear model: N rows built and handed over, Nivra against pyoptinterface's
nonlinear API and Pyomo writing the same model as an .nl file.

    .venv/bin/python bench/bench_nltransfer.py [--reps 3] [--sizes 10000,100000]

Row r (r = 0..N-1) over N columns x in [-10, 10], indices and data from one seeded generator,
so every side builds the same rows:

    a_r * exp(x[i_r]) + b_r * x[j_r] * sin(x[k_r]) + log(1 + x[h_r]^2) <= c_r

Timed (CPU time of the process, time.process_time), from the call that creates the model to
the return of the call that adds the last row; the data is generated before the clock starts:

- nivra: `problem`, `addVariables`, the rows built with `nivra.exp/sin/log` and added by one
  `addConstraint` of a list; the formulas reach the library inside `addConstraint`. Also
  reported apart: build (model, variables, the row objects) and add (`addConstraint`).
- nivra-array: the same, the rows built as one NumPy array expression over indexed variable
  arrays and added by one `addConstraint`.
- pyoptinterface: its Ipopt model, one `nl.graph()` context and one `add_nl_constraint` per
  row (its documented way). It analyses and compiles the graphs at `optimize`, which is not run.
- pyomo: a `ConcreteModel` with a `ConstraintList` (build), then `write(..., format="nl")`
  (write), timed separately.

Each side and repetition runs in a fresh child process; the parent takes the child's peak
resident set from its resource usage. The unit of the per-token column is Nivra's token count
(the library attribute `nlp_tokens`), the same for every side; ratios are peer / nivra, for
a part (build, add) against the same part of nivra."""

import argparse
import json
import os
import platform
import resource
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np

SIDES = ("nivra", "nivra-array", "pyoptinterface", "pyomo")
PARTS = ("build", "add", "write")  # the parts of the timed span a side reports separately
# NumPy's BLAS threads spin after their first use and their spinning counts as process CPU time;
# nothing here needs them.
CHILD_ENV = {**os.environ, "OPENBLAS_NUM_THREADS": "1"}
BOUND = 10.0


def rows_data(n, seed=11):
    """Coefficients and column indices of the n rows, as Python lists for the scalar builders."""
    rng = np.random.default_rng(seed)
    a, b = rng.uniform(0.5, 2.0, n), rng.uniform(-1.0, 1.0, n)
    c = rng.uniform(5.0, 50.0, n)
    idx = rng.integers(0, n, (4, n))
    return a, b, c, idx


def peak_mib():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0


# ---- the builders: each returns {"cpu": s, "base": MiB, ...} -----------------------------------
# "base" is the peak resident set when the clock starts (interpreter, imports, data), so the
# parent can give the growth while timed.

def build_nivra(n):
    import nivra

    a, b, c, idx = rows_data(n)
    a, b, c = a.tolist(), b.tolist(), c.tolist()
    i, j, k, h = idx.tolist()
    exp, sin, log = nivra.exp, nivra.sin, nivra.log
    base, start = peak_mib(), time.process_time()
    p = nivra.problem()
    x = p.addVariables(n, lb=-BOUND, ub=BOUND).tolist()
    rows = [a[r] * exp(x[i[r]]) + b[r] * x[j[r]] * sin(x[k[r]]) + log(1 + x[h[r]] ** 2) <= c[r]
            for r in range(n)]
    built = time.process_time()
    p.addConstraint(rows)
    return nivra_result(p, base, start, built)


def build_nivra_array(n):
    import nivra

    a, b, c, (i, j, k, h) = rows_data(n)
    base, start = peak_mib(), time.process_time()
    p = nivra.problem()
    x = p.addVariables(n, lb=-BOUND, ub=BOUND)
    rows = a * nivra.exp(x[i]) + b * x[j] * nivra.sin(x[k]) + nivra.log(1 + x[h] ** 2) <= c
    built = time.process_time()
    p.addConstraint(rows)
    return nivra_result(p, base, start, built)


def nivra_result(p, base, start, built):
    """Times of building the rows and of adding them (the transfer into the library)."""
    added = time.process_time()
    return {"cpu": added - start, "base": base, "build": built - start, "add": added - built,
            "tokens": p.attributes.nlp_tokens, "rows": p.attributes.rows}


def build_pyoptinterface(n):
    import pyoptinterface as poi
    from pyoptinterface import ipopt, nl

    a, b, c, idx = rows_data(n)
    a, b, c = a.tolist(), b.tolist(), c.tolist()
    i, j, k, h = idx.tolist()
    base, start = peak_mib(), time.process_time()
    m = ipopt.Model()
    x = [m.add_variable(lb=-BOUND, ub=BOUND) for _ in range(n)]
    for r in range(n):
        with nl.graph():
            m.add_nl_constraint(a[r] * nl.exp(x[i[r]]) + b[r] * x[j[r]] * nl.sin(x[k[r]])
                                + nl.log(1 + x[h[r]] ** 2), poi.Leq, c[r])
    cpu = time.process_time() - start
    return {"cpu": cpu, "base": base, "rows": len(m.graph_instances)}


def build_pyomo(n):
    import pyomo.environ as pyo

    a, b, c, idx = rows_data(n)
    a, b, c = a.tolist(), b.tolist(), c.tolist()
    i, j, k, h = idx.tolist()
    base, start = peak_mib(), time.process_time()
    m = pyo.ConcreteModel()
    m.x = pyo.Var(range(n), bounds=(-BOUND, BOUND))
    m.rows = pyo.ConstraintList()
    x = m.x
    for r in range(n):
        m.rows.add(a[r] * pyo.exp(x[i[r]]) + b[r] * x[j[r]] * pyo.sin(x[k[r]])
                   + pyo.log(1 + x[h[r]] ** 2) <= c[r])
    built = time.process_time()
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "model.nl")
        m.write(path, format="nl")
        written = time.process_time()
        with open(path) as f:
            header = [f.readline() for _ in range(2)][1].split()
    return {"cpu": written - start, "base": base, "build": built - start, "write": written - built,
            "rows": int(header[1])}


BUILDERS = {"nivra": build_nivra, "nivra-array": build_nivra_array,
            "pyoptinterface": build_pyoptinterface, "pyomo": build_pyomo}


# ---- the parent: children, medians, the table --------------------------------------------------

def run_child(side, n):
    """One fresh process; its measurements and its peak resident set in MiB."""
    with tempfile.TemporaryFile("w+") as errors:
        proc = subprocess.Popen([sys.executable, __file__, "--child", side, str(n)],
                                stdout=subprocess.PIPE, stderr=errors, text=True, env=CHILD_ENV)
        with proc.stdout:
            out = proc.stdout.read()
        _, status, usage = os.wait4(proc.pid, 0)
        proc.returncode = os.waitstatus_to_exitcode(status)
        errors.seek(0)
        err = errors.read()
    if proc.returncode != 0:
        return {"error": (err.strip().splitlines() or [f"exit {proc.returncode}"])[-1]}
    result = json.loads(out.strip().splitlines()[-1])
    result["peak"] = usage.ru_maxrss / 1024.0
    return result


def measure(sides, n, reps):
    runs = {side: [run_child(side, n) for _ in range(reps)] for side in sides}
    table = {}
    for side, results in runs.items():
        good = [r for r in results if "error" not in r]
        if not good:
            table[side] = {"error": results[0]["error"]}
            continue
        table[side] = {key: statistics.median(r[key] for r in good)
                       for key in good[0] if key != "rows"}
        table[side]["rows"] = good[0]["rows"]
        table[side]["runs"] = len(good)
    return table


def render(n, table):
    ref = table.get("nivra", {})
    tokens = ref.get("tokens")
    lines = ["| N | side | cpu s | runs | ns/token | peer/nivra | peak MiB | growth MiB | rows |",
             "|---|---|---|---|---|---|---|---|---|"]
    for side, m in table.items():
        if "error" in m:
            lines.append(f"| {n} | {side} | - | - | - | - | - | - | {m['error']} |")
            continue
        memory = f"{m['peak']:.0f} | {m['peak'] - m['base']:.0f}"
        parts = [(side, "cpu", memory)] + [(f"{side} {part}", part, "|") for part in PARTS
                                           if part in m]
        for name, key, mem in parts:
            per = f"{1e9 * m[key] / tokens:.0f}" if tokens else "-"
            ratio = f"{m[key] / ref[key]:.2f}" if key in ref and side != "nivra" else "-"
            rows = m["rows"] if m["rows"] == n else f"{m['rows']} (CHECK FAILED: {n} expected)"
            lines.append(f"| {n} | {name} | {m[key]:.3f} | {m['runs']} | {per} | {ratio} | "
                         f"{mem} | {rows} |")
    if tokens:
        lines.append(f"\nNivra's formula writer: {tokens:.0f} tokens, {tokens / n:.1f} per row.")
        other = table.get("nivra-array", {}).get("tokens")
        if other is not None and other != tokens:
            lines.append(f"CHECK FAILED: the array form wrote {other:.0f} tokens.")
    return "\n".join(lines)


def versions():
    from importlib.metadata import PackageNotFoundError, version

    out = []
    for name in ("nivra", "pyoptinterface", "pyomo"):
        try:
            out.append(f"{name} {version(name)}")
        except PackageNotFoundError:
            out.append(f"{name} not installed")
    return ", ".join(out)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--reps", type=int, default=3)
    ap.add_argument("--sizes", default="10000,100000")
    ap.add_argument("--sides", default=",".join(SIDES))
    ap.add_argument("--child", nargs=2, metavar=("SIDE", "N"), help=argparse.SUPPRESS)
    args = ap.parse_args()
    if args.child:
        side, n = args.child
        print(json.dumps(BUILDERS[side](int(n))))
        return
    sides = [s for s in args.sides.split(",") if s]
    unknown = set(sides) - set(SIDES)
    if unknown:
        ap.error(f"unknown sides: {', '.join(sorted(unknown))} (known: {', '.join(SIDES)})")
    print(f"{os.cpu_count()} cores, {platform.processor() or platform.machine()}, "
          f"Python {platform.python_version()}; {versions()}; "
          f"load average {os.getloadavg()[1]:.1f}")
    sizes = [int(s) for s in args.sizes.split(",") if s]
    if not sizes or min(sizes) < 1 or args.reps < 1:
        ap.error("--sizes needs positive row counts and --reps a positive count")
    for n in sizes:
        print()
        print(render(n, measure(sides, n, args.reps)), flush=True)
    print(f"\nload average at the end {os.getloadavg()[1]:.1f}")


if __name__ == "__main__":
    main()
