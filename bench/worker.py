"""worker.py: runs one benchmark of one interface in this process and prints one result line.

    python bench/worker.py IFACE BENCH SIZE [--count]
    python bench/worker.py IFACE --probe

run.py starts a fresh process for every run. The result is the last line of standard output
that starts with RESULT_TAG, followed by a JSON object; everything else the interface prints
(banners, logs) is ignored.
"""

import argparse
import importlib
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from common import Clock, Unsupported  # noqa: E402

RESULT_TAG = "BENCHRESULT "


def emit(result):
    sys.stdout.flush()
    print(RESULT_TAG + json.dumps(result), flush=True)


def load_interface(name):
    """The interface module, or an error text saying why it cannot be used."""
    try:
        return importlib.import_module(f"ifaces.{name}"), None
    except Exception as exc:  # an uninstalled or broken peer is reported, not raised
        return None, f"{type(exc).__name__}: {exc}"


def probe(name):
    mod, error = load_interface(name)
    if mod is None:
        return {"error": error}
    return {"benches": sorted(mod.BENCHES), "version": mod.version()}


def run(name, bench, size, count):
    mod, error = load_interface(name)
    if mod is None:
        return {"error": error}
    fn = mod.BENCHES.get(bench)
    if fn is None:
        return {"unsupported": f"no {bench} benchmark"}
    clock = Clock(count)
    try:
        info = fn(size, clock) or {}
    except Unsupported as exc:
        return {"unsupported": str(exc)}
    except Exception as exc:
        return {"error": f"{type(exc).__name__}: {exc}"}
    return {"seconds": clock.seconds, "cpu_seconds": clock.cpu_seconds,
            "rss_base_kib": clock.rss_base_kib, "info": info}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("iface")
    ap.add_argument("bench", nargs="?")
    ap.add_argument("size", nargs="?")
    ap.add_argument("--count", action="store_true")
    ap.add_argument("--probe", action="store_true")
    args = ap.parse_args()
    if args.probe:
        emit(probe(args.iface))
        return
    size = int(args.size) if args.size.isdigit() else args.size
    emit(run(args.iface, args.bench, size, args.count))


if __name__ == "__main__":
    main()
