"""The time `import nivra` takes against `import numpy` (which it needs), each in a fresh
interpreter, the two interleaved; also a bare interpreter, for the start-up both include.

    .venv/bin/python bench/import_time.py [--runs 21]

Reported: medians of the CPU time (user + system) of the child processes, and the modules that
`import nivra` brings beyond numpy's. Target: `import nivra` at most numpy's own import time
plus 0.05 s."""

import argparse
import os
import statistics
import subprocess
import sys

CODES = {"python": "pass", "numpy": "import numpy", "nivra": "import nivra"}

EXTRA = ("import sys; import numpy; before = set(sys.modules); import nivra; "
         "print(' '.join(sorted(m for m in set(sys.modules) - before "
         "if not m.startswith('nivra'))))")


def cpu_seconds(code, python):
    """CPU time of one fresh interpreter running code."""
    proc = subprocess.Popen([python, "-c", code])
    _, status, usage = os.wait4(proc.pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{code!r} failed")
    return usage.ru_utime + usage.ru_stime


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--runs", type=int, default=21)
    ap.add_argument("--python", default=sys.executable)
    args = ap.parse_args()
    times = {name: [] for name in CODES}
    for _ in range(args.runs):
        for name, code in CODES.items():
            times[name].append(cpu_seconds(code, args.python))
    med = {name: statistics.median(t) for name, t in times.items()}
    extra = subprocess.run([args.python, "-c", EXTRA], capture_output=True, text=True,
                           check=True).stdout.split()
    print(f"CPU medians of {args.runs} runs: interpreter {med['python']:.3f} s, import numpy "
          f"{med['numpy']:.3f} s, import nivra {med['nivra']:.3f} s; nivra - numpy "
          f"{med['nivra'] - med['numpy']:+.3f} s (target at most +0.050 s)")
    print(f"modules beyond numpy's: {' '.join(extra) or 'none'}")


if __name__ == "__main__":
    main()
