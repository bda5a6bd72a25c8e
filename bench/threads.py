"""Two problems solved in two threads against the same two solved one after the other: the
speedup from releasing the interpreter lock during solves.

    .venv/bin/python bench/threads.py [--instance 25fv47.mps] [--reps 5]

Each problem solves with the engine's threads control at 1, so that two solves can use two
cores. Reported per mode (medians over the repetitions): wall time, the process's CPU time and
their ratio (the cores kept busy), and the speedup of two threads over one. The machine may be
shared: the load average before the run is printed with the result, and the CPU-time ratio tells
how much of the speedup the machine allowed."""

import argparse
import os
import pathlib
import statistics
import threading
import time

import nivra

DATA = pathlib.Path(__file__).resolve().parent.parent / "tests" / "data"


def load(instance):
    p = nivra.problem()
    p.setOutputEnabled(False)
    p.read(str(DATA / instance))
    p.controls.threads = 1
    p.controls.presolve = 0  # the same work every repetition
    return p


def timed(fn):
    w, c = time.perf_counter(), time.process_time()
    fn()
    return time.perf_counter() - w, time.process_time() - c


def sequential(problems):
    for p in problems:
        p.optimize()


def threaded(problems):
    threads = [threading.Thread(target=p.optimize) for p in problems]
    for t in threads:
        t.start()
    for t in threads:
        t.join()


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--instance", default="dcmulti.mps")
    ap.add_argument("--reps", type=int, default=5)
    args = ap.parse_args()
    sequential([load(args.instance)])  # warm-up: the engine's first solve starts its threads
    load_before = os.getloadavg()
    runs = {"one thread": [], "two threads": []}
    for _ in range(args.reps):
        # Fresh problems every time: a solved problem would start from its last basis.
        for mode, solve in (("one thread", sequential), ("two threads", threaded)):
            problems = [load(args.instance), load(args.instance)]
            runs[mode].append(timed(lambda solve=solve, problems=problems: solve(problems)))
    print(f"instance {args.instance}, {args.reps} repetitions, {os.cpu_count()} cores, "
          f"load average before {load_before[0]:.2f} {load_before[1]:.2f} {load_before[2]:.2f}")
    med = {}
    for mode, samples in runs.items():
        wall = statistics.median(w for w, _ in samples)
        cpu = statistics.median(c for _, c in samples)
        med[mode] = wall
        print(f"{mode:12s} wall {wall:7.3f} s   cpu {cpu:7.3f} s   cpu/wall {cpu / wall:5.2f}")
    print(f"speedup of two threads over one (wall): {med['one thread'] / med['two threads']:.2f}")


if __name__ == "__main__":
    main()
