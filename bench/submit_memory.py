"""submit_memory.py: where an interface's memory goes when it hands a model to the solver.

    python bench/submit_memory.py IFACE BENCH SIZE

Runs one benchmark of one interface (as worker.py does) with its `submit` wrapped, and prints
the resident set (VmRSS) and its peak (VmHWM) at the start of the timed build, before the
submit and after it, with the CPU seconds of the build and of the submit. The peak reached
inside the submit less the resident set before it is what the solver's hand-over and set-up
cost on top of the model as the interface holds it.
"""

import argparse
import importlib
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from common import Clock  # noqa: E402


def memory_mib():
    """(VmRSS, VmHWM) of this process in MiB."""
    fields = {}
    with open("/proc/self/status") as status:
        for line in status:
            key, _, value = line.partition(":")
            if key in ("VmRSS", "VmHWM"):
                fields[key] = int(value.split()[0]) / 1024
    return fields["VmRSS"], fields["VmHWM"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("iface")
    parser.add_argument("bench")
    parser.add_argument("size", type=int)
    args = parser.parse_args()
    mod = importlib.import_module(f"ifaces.{args.iface}")
    marks = []

    def mark(what):
        marks.append((what, time.process_time(), *memory_mib()))

    submit = mod.submit

    def measured_submit(model):
        mark("built")
        submit(model)
        mark("submitted")

    mod.submit = measured_submit
    mark("start")
    mod.BENCHES[args.bench](args.size, Clock(False))
    previous = marks[0][1]
    for what, cpu, rss, hwm in marks:
        print(f"{what:10s} cpu {cpu - previous:7.3f} s  rss {rss:7.0f} MiB  peak {hwm:7.0f} MiB")
        previous = cpu
    (_, _, rss_built, _), (_, _, _, hwm_after) = marks[1], marks[2]
    print(f"submit peak over the built model: {hwm_after - rss_built:.0f} MiB")


if __name__ == "__main__":
    main()
