#!/usr/bin/env python3
"""bench_hs.py: the Hock-Schittkowski problems of bench/hs solved from their published starting
points by Nivra's nonlinear engines and by Ipopt driven from Python, in one run.

Engines: `slp` and `ipm` are Nivra with the control nlp_solver = 1 (successive linear
programming) and 2 (interior point), each in its own fresh problem; `ipopt` is the peer, cyipopt
on the same formulation with exact first and second derivatives (bench/hs/autodiff.py). Every
(problem, engine) runs in a fresh process (a crash or hang costs one entry), `--reps` times with
a new model each time; the CPU time of the solve call (process time, all threads) is the median.

A problem counts as solved when the objective at the returned point is within 1e-6 of f*
relative to max(1, |f*|) and no constraint or bound is violated by more than 1e-6 relative to
max(1, |bound|); objective and violations are computed from the formulation at the returned
point, not taken from the engine. An engine that this build of Nivra does not have is reported
as not available and the others still run.

    .venv/bin/python bench/bench_hs.py                        # every problem, every engine
    .venv/bin/python bench/bench_hs.py --problems 1,71 --engines ipopt --reps 1
    .venv/bin/python bench/bench_hs.py --write-results        # also into bench/RESULTS.md
"""

import argparse
import datetime
import json
import os
import platform
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from hs import PROBLEMS  # noqa: E402

ENGINES = ("slp", "ipm", "ipopt")
NLP_SOLVER = {"slp": 1, "ipm": 2}
TOL = 1e-6
TAG = "HSRESULT "
SECTION = "## Hock-Schittkowski collection (nonlinear solves from x0)"
# Failures that mean "this build has no such engine" rather than "the engine failed", besides
# NotImplementedError (nivra.NotSupportedError is one).
UNAVAILABLE = ("not available", "does not have", "no nonlinear solving engine")


# ---- measuring a point ------------------------------------------------------------------------

def relative_error(value, fstar):
    return abs(value - fstar) / max(1.0, abs(fstar))


def max_violation(problem, x):
    """Largest violation of a row or bound at x, each relative to max(1, |bound|)."""
    _, rows = problem.evaluate(x)
    worst = 0.0
    for row in rows:
        if row.lo is not None:
            worst = max(worst, (row.lo - row.body) / max(1.0, abs(row.lo)))
        if row.hi is not None:
            worst = max(worst, (row.body - row.hi) / max(1.0, abs(row.hi)))
    for v, lo, hi in zip(x, problem.lb, problem.ub):
        worst = max(worst, (lo - v) / max(1.0, abs(lo)), (v - hi) / max(1.0, abs(hi)))
    return worst


def assess(problem, x):
    x = [float(v) for v in x]
    objective = float(problem.evaluate(x)[0])
    error, violation = relative_error(objective, problem.fstar), float(max_violation(problem, x))
    return {"objective": objective, "relerr": error, "violation": violation,
            "solved": bool(error <= TOL and violation <= TOL)}


# ---- the engines (run in the child process) ---------------------------------------------------

def solve_nivra(problem, engine):
    import nivra
    from hs.nivra_model import build, set_start

    p = nivra.problem()
    p.setOutputEnabled(False)
    x, _, _ = build(problem, p)
    p.controls.nlp_solver = NLP_SOLVER[engine]
    set_start(p, x, problem.x0)
    t0 = time.process_time()
    p.optimize()
    seconds = time.process_time() - t0
    iterations = p.attributes.slp_iterations if engine == "slp" else p.attributes.ipm_iterations
    status = getattr(p.attributes.nlp_status, "name", p.attributes.nlp_status)
    return seconds, str(status).lower(), iterations, list(p.getSolution(x))


class IpoptModel:
    """The formulation as cyipopt's problem object: values on floats, derivatives from one
    second-order forward evaluation per point (kept for the calls at the same point)."""

    def __init__(self, problem):
        self.problem = problem
        self.n = problem.n
        self.m = len(problem.evaluate(problem.x0)[1])
        self.iterations = 0
        self._at, self._derivs = None, None

    def _derivatives(self, x):
        import numpy as np

        from hs import autodiff

        key = x.tobytes()
        if key != self._at:
            objective, rows = self.problem.evaluate(autodiff.variables(x), autodiff.MATH)
            parts = [objective] + [r.body for r in rows]
            grads = np.array([getattr(v, "g", np.zeros(self.n)) for v in parts])
            hessians = [getattr(v, "h", np.zeros((self.n, self.n))) for v in parts]
            self._at, self._derivs = key, (grads, hessians)
        return self._derivs

    def objective(self, x):
        return float(self.problem.evaluate(x)[0])

    def gradient(self, x):
        return self._derivatives(x)[0][0]

    def constraints(self, x):
        import numpy as np

        return np.array([float(r.body) for r in self.problem.evaluate(x)[1]])

    def jacobian(self, x):
        return self._derivatives(x)[0][1:].ravel()

    def hessianstructure(self):
        import numpy as np

        return np.tril_indices(self.n)

    def hessian(self, x, multipliers, obj_factor):
        import numpy as np

        hessians = self._derivatives(x)[1]
        total = obj_factor * hessians[0]
        for weight, h in zip(multipliers, hessians[1:]):
            total = total + weight * h
        return total[np.tril_indices(self.n)]

    def intermediate(self, alg_mod, iter_count, *args):
        self.iterations = iter_count


# Ipopt's return codes, in the words of Nivra's statuses where they mean the same.
IPOPT_STATUS = {0: "locally_optimal", 1: "acceptable", 2: "infeasible", 3: "step_too_small",
                4: "diverging", 5: "user_stop", 6: "feasible_point", -1: "iteration_limit",
                -2: "restoration_failed", -3: "step_error", -4: "time_limit",
                -10: "too_few_dof", -11: "invalid_problem", -13: "invalid_number"}


def ipopt_bounds(values, sign):
    return [sign * 2e19 if abs(v) == float("inf") else v for v in values]


def solve_ipopt(problem, engine):
    import cyipopt

    model = IpoptModel(problem)
    rows = problem.evaluate(problem.x0)[1]
    nlp = cyipopt.Problem(
        n=model.n, m=model.m, problem_obj=model,
        lb=ipopt_bounds(problem.lb, -1), ub=ipopt_bounds(problem.ub, 1),
        cl=[-2e19 if r.lo is None else r.lo for r in rows],
        cu=[2e19 if r.hi is None else r.hi for r in rows])
    nlp.add_option("print_level", 0)
    nlp.add_option("sb", "yes")
    nlp.add_option("max_cpu_time", 60.0)
    t0 = time.process_time()
    x, info = nlp.solve(list(problem.x0))
    seconds = time.process_time() - t0
    status = IPOPT_STATUS.get(info["status"], f"status {info['status']}")
    return seconds, status, model.iterations, list(x)


SOLVERS = {"slp": solve_nivra, "ipm": solve_nivra, "ipopt": solve_ipopt}


def run_child(number, engine, reps):
    """Solves one problem with one engine reps times; prints the result as one tagged line."""
    problem = PROBLEMS[number]
    times = []
    try:
        for _ in range(reps):
            seconds, status, iterations, x = SOLVERS[engine](problem, engine)
            times.append(seconds)
    except ImportError as e:
        result = {"unavailable": f"not installed ({e})"}
    except Exception as e:  # noqa: BLE001  (every failure is reported in the table)
        text = f"{type(e).__name__}: {e}"
        missing = isinstance(e, NotImplementedError) or any(s in text for s in UNAVAILABLE)
        key = "unavailable" if missing else "error"
        result = {key: text}
    else:
        result = {"status": status, "iterations": iterations, "cpu": statistics.median(times),
                  **assess(problem, x)}
    print(TAG + json.dumps(result), flush=True)


# ---- the driver -------------------------------------------------------------------------------

def run_entry(python, number, engine, reps, timeout):
    cmd = [python, os.path.abspath(__file__), "--child", engine, str(number), "--reps", str(reps)]
    try:
        out = subprocess.run(cmd, capture_output=True, text=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        return {"error": f"timed out after {timeout:.0f} s"}
    for line in out.stdout.splitlines():
        if line.startswith(TAG):
            return json.loads(line[len(TAG):])
    tail = (out.stderr or out.stdout).strip().splitlines()[-1:] or [""]
    return {"error": f"process ended with status {out.returncode} {tail[0]}".strip()}


def state(entry):
    if "status" in entry:
        return "solved" if entry["solved"] else "not solved"
    return "not available" if "unavailable" in entry else "error"


def available_engines(results, engines):
    """The engines that ran on at least one problem, and why each of the others did not."""
    running, absent = [], {}
    for engine in engines:
        entries = [r[engine] for r in results.values()]
        if all("unavailable" in e for e in entries):
            absent[engine] = entries[0]["unavailable"]
        else:
            running.append(engine)
    return running, absent


def cell(entry):
    if "status" not in entry:
        return ["not available" if "unavailable" in entry else "error"] + [""] * 5
    mark = "" if entry["solved"] else " (x)"
    return [entry["status"] + mark, f"{entry['objective']:.9g}", f"{entry['relerr']:.1e}",
            f"{entry['violation']:.0e}" if entry["violation"] > 0 else "0",
            str(entry["iterations"]), f"{entry['cpu']:.4f}"]


def table(results, engines):
    head = ["problem", "n", "m", "f*"]
    for engine in engines:
        head += [f"{engine} status", f"{engine} objective", f"{engine} rel err",
                 f"{engine} viol", f"{engine} iter", f"{engine} CPU s"]
    lines = ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    for number, entries in results.items():
        problem = PROBLEMS[number]
        m = len(problem.evaluate(problem.x0)[1])
        row = [problem.name, str(problem.n), str(m), f"{problem.fstar:.9g}"]
        for engine in engines:
            row += cell(entries[engine])
        lines.append("| " + " | ".join(row) + " |")
    return lines


def summary(results, engines):
    lines = []
    for engine in engines:
        entries = [r[engine] for r in results.values()]
        ran = [e for e in entries if "status" in e]
        solved = [e for e in ran if e["solved"]]
        cpu = sum(e["cpu"] for e in ran)
        iters = sum(e["iterations"] or 0 for e in ran)
        per_iter = f", {1e3 * cpu / iters:.3f} ms per iteration" if iters else ""
        lines.append(f"- {engine}: solved {len(solved)} of {len(entries)} (1e-6 criteria); "
                     f"{len(entries) - len(ran)} errors; total CPU {cpu:.3f} s over the "
                     f"{len(ran)} that ran, {iters} iterations{per_iter}")
    both = [r for r in results.values()
            if all("status" in r[e] and r[e]["solved"] for e in engines)]
    if len(engines) > 1 and both:
        sums = ", ".join(f"{e} {sum(r[e]['cpu'] for r in both):.3f} s" for e in engines)
        lines.append(f"- over the {len(both)} problems every engine solved: CPU {sums}")
    for engine in engines:
        failed = [PROBLEMS[n].name for n, r in results.items()
                  if not ("status" in r[engine] and r[engine]["solved"])]
        if failed:
            lines.append(f"- not solved by {engine}: {', '.join(failed)}")
    return lines


def notes(results):
    return [f"- {PROBLEMS[n].name}: {PROBLEMS[n].note}" for n in results if PROBLEMS[n].note]


def errors(results, engines):
    return [f"- {PROBLEMS[n].name}, {e}: {r[e]['error']}" for n, r in results.items()
            for e in engines if "error" in r[e]]


def report(results, engines, args):
    running, absent = available_engines(results, engines)
    when = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    command = "bench/bench_hs.py " + " ".join(args)
    lines = [f"- {when}, {os.cpu_count()} cores, {platform.platform()}, Python "
             f"{platform.python_version()}, {versions()}; command: `{command}`",
             f"- {len(results)} problems; CPU time of the solve call, median of the repetitions; "
             "(x): not solved to 1e-6 (objective relative to max(1, |f*|), violation relative "
             "to max(1, |bound|), both computed from the formulation at the returned point)"]
    lines += [f"- {engine}: not available in this build ({why})" for engine, why in absent.items()]
    lines += ["", *table(results, running), "", "Summary:", "", *summary(results, running)]
    extra = errors(results, running)
    if extra:
        lines += ["", "Errors:", "", *extra]
    lines += ["", "Notes on the problems:", "", *notes(results)]
    return lines


def versions():
    found = []
    for name in ("nivra", "cyipopt"):
        try:
            module = __import__(name)
            found.append(f"{name} {getattr(module, '__version__', '?')}")
        except ImportError:
            found.append(f"{name} not installed")
    try:
        ipopt = subprocess.run(["pkg-config", "--modversion", "ipopt"], capture_output=True,
                               text=True).stdout.strip()
        found.append(f"Ipopt {ipopt or '?'}")
    except OSError:
        pass
    return ", ".join(found)


def write_results(lines, path):
    """Puts the section into RESULTS.md in place of an earlier one, else at the end (after the
    heading from which run.py keeps hand-written sections)."""
    with open(path) as f:
        text = f.read()
    body = SECTION + "\n\n" + "\n".join(lines) + "\n"
    at = text.find(SECTION)
    if at < 0:
        text = text.rstrip("\n") + "\n\n" + body
    else:
        end = text.find("\n## ", at + len(SECTION))
        text = text[:at] + body + ("\n" + text[end + 1:] if end >= 0 else "")
    with open(path, "w") as f:
        f.write(text)


def parse_list(text, known, what):
    items = [t.strip() for t in text.split(",") if t.strip()]
    unknown = [t for t in items if t not in known]
    if unknown:
        raise SystemExit(f"unknown {what}: {', '.join(unknown)}")
    return items


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--problems", help="comma-separated problem numbers (default: all)")
    ap.add_argument("--engines", default=",".join(ENGINES),
                    help=f"comma-separated engines (default: {','.join(ENGINES)})")
    ap.add_argument("--reps", type=int, default=3, help="solves per entry (default 3)")
    ap.add_argument("--timeout", type=float, default=300, help="seconds per entry")
    ap.add_argument("--json", metavar="PATH", help="also save the raw results")
    ap.add_argument("--write-results", action="store_true", help="write into bench/RESULTS.md")
    ap.add_argument("--child", nargs=2, metavar=("ENGINE", "NUMBER"), help=argparse.SUPPRESS)
    args = ap.parse_args()
    if args.reps < 1:
        raise SystemExit("--reps must be at least 1")
    if args.child:
        return run_child(int(args.child[1]), args.child[0], args.reps)

    numbers = ([int(n) for n in parse_list(args.problems, {str(n) for n in PROBLEMS}, "problems")]
               if args.problems else list(PROBLEMS))
    engines = parse_list(args.engines, ENGINES, "engines")
    results = {}
    for number in numbers:
        results[number] = {e: run_entry(sys.executable, number, e, args.reps, args.timeout)
                           for e in engines}
        states = ", ".join(f"{e} {state(r)}" for e, r in results[number].items())
        print(f"{PROBLEMS[number].name}: {states}", file=sys.stderr, flush=True)
        if args.json:
            with open(args.json, "w") as f:
                json.dump({str(k): v for k, v in results.items()}, f, indent=1)
    lines = report(results, engines, sys.argv[1:])
    print("\n".join(lines))
    if args.write_results:
        write_results(lines, os.path.join(HERE, "RESULTS.md"))


if __name__ == "__main__":
    sys.exit(main())
