"""The cost of Python callbacks in a MIP solve: the same instance solved with no-op intsol,
miplog and checktime callbacks against the same solve without callbacks, in one process, the
two kinds of solve interleaved.

    .venv/bin/python bench/callbacks.py [--instance bell5.mps] [--reps 7] [--write-results]

Each solve uses one engine thread and the same settings, so that both do the same search (the
node counts are compared). Reported (medians over the repetitions): wall and CPU time of each
kind and the overhead of the callbacks as a ratio; the number of callback calls per solve.
The machine may be shared: the load average is printed with the result, and the CPU-time
ratio is the one to judge then. --write-results puts the result into RESULTS.md under
"Callback overhead" (bench/run.py keeps that section when it rewrites the file)."""

import argparse
import os
import pathlib
import platform
import statistics
import time

import nivra

HERE = pathlib.Path(__file__).resolve().parent
DATA = HERE.parent / "tests" / "data"
SECTION = "## Callback overhead"


def load(instance):
    p = nivra.problem()
    p.setOutputEnabled(False)
    p.read(str(DATA / instance))
    p.controls.threads = 1
    return p


def solve(instance, with_callbacks):
    """Wall and CPU seconds of one solve, its node count and the number of callback calls."""
    p = load(instance)
    calls = [0]

    def noop(cb, data):
        calls[0] += 1

    if with_callbacks:
        for kind in ("intsol", "miplog", "checktime"):
            getattr(p, "addcb" + kind)(noop)
    w, c = time.perf_counter(), time.process_time()
    p.optimize()
    wall, cpu = time.perf_counter() - w, time.process_time() - c
    return wall, cpu, p.attributes.nodes, calls[0]


def measure(instance, reps):
    runs = {False: [], True: []}
    solve(instance, True)  # warm up: library start, page cache
    for _ in range(reps):
        for kind in (False, True):
            runs[kind].append(solve(instance, kind))
    nodes = {r[2] for rs in runs.values() for r in rs}
    if len(nodes) != 1:
        raise SystemExit(f"the solves differ (node counts {sorted(nodes)}): not comparable")
    med = {k: (statistics.median(r[0] for r in rs), statistics.median(r[1] for r in rs))
           for k, rs in runs.items()}
    return med, nodes.pop(), statistics.median(r[3] for r in runs[True])


def report(instance, reps, med, nodes, calls):
    (w0, c0), (w1, c1) = med[False], med[True]
    return [
        f"- {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}, {os.cpu_count()} cores, "
        f"load average {os.getloadavg()[0]:.1f}, Python {platform.python_version()}; "
        f"command: `bench/callbacks.py --instance {instance} --reps {reps}`",
        f"- {instance}, one engine thread, {nodes} nodes; no-op intsol, miplog and checktime "
        f"callbacks called {calls:.0f} times per solve",
        f"- without callbacks: wall {w0:.4f} s, CPU {c0:.4f} s (medians of {reps})",
        f"- with callbacks: wall {w1:.4f} s, CPU {c1:.4f} s",
        f"- overhead: wall {100 * (w1 / w0 - 1):+.2f} %, CPU {100 * (c1 / c0 - 1):+.2f} % "
        f"(target: at most 2 % wall time)",
    ]


def write_section(lines):
    path = HERE / "RESULTS.md"
    text = path.read_text()
    head = text.split(SECTION)[0].rstrip("\n")
    path.write_text(f"{head}\n\n{SECTION}\n\n" + "\n".join(lines) + "\n")


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--instance", default="bell5.mps", help="a MIP of tests/data")
    ap.add_argument("--reps", type=int, default=7, help="solves of each kind (default 7)")
    ap.add_argument("--write-results", action="store_true", help="update bench/RESULTS.md")
    args = ap.parse_args()
    lines = report(args.instance, args.reps, *measure(args.instance, args.reps))
    print("\n".join(lines))
    if args.write_results:
        write_section(lines)


if __name__ == "__main__":
    main()
