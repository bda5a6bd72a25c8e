"""Instructions per element or row of a constraint benchmark, counted by callgrind: one run of
profile_cons.py's set-up and timed part and one of its set-up only, both leaving at once
(nothing freed); the difference divided by the size. Counts do not depend on the machine's
load, so two builds compare even on a busy machine.

    python bench/count_instructions.py compare 100000
    python bench/count_instructions.py addcons 20000 --profile out.callgrind

With --profile the full run's callgrind file is kept for callgrind_annotate.
"""

import argparse
from pathlib import Path

from common import callgrind_instructions

HERE = Path(__file__).resolve().parent

# Runs the set-up of a benchmark and, unless told not to, its timed part; then leaves without
# freeing anything, so that only the building is counted.
DRIVER = """
import os, sys
sys.path.insert(0, sys.argv[1])
import profile_cons as pc
bench, n, timed = sys.argv[2], int(sys.argv[3]), sys.argv[4] == "1"
args = getattr(pc, "setup_" + bench)(n)
out = getattr(pc, "timed_" + bench)(*args) if timed else None
sys.stdout.flush()
os._exit(0)
"""


def instructions(args, keep=None):
    return callgrind_instructions(["-c", DRIVER, str(HERE), *args], keep or "/dev/null")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("bench", choices=["compare", "addcons"])
    ap.add_argument("size", type=int)
    ap.add_argument("--profile", help="keep the full run's callgrind file here")
    a = ap.parse_args()
    base = instructions([a.bench, str(a.size), "0"])
    full = instructions([a.bench, str(a.size), "1"], keep=a.profile)
    print(f"{a.bench}-{a.size}: {(full - base) / a.size:.0f} instructions per unit "
          f"(full {full}, set-up {base})")


if __name__ == "__main__":
    main()
