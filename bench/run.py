#!/usr/bin/env python3
"""run.py: Nivra against its peer interfaces, side by side, in one run on one machine.

Every (benchmark, size, interface) is run --reps times, each time in a fresh Python process
(bench/worker.py). The table gives the median of the timed sections, the ratio peer/Nivra
(above 1 means Nivra is faster), the peak resident memory of each process and, for the
models, the memory per non-zero. See bench/README.md.

    .venv/bin/python bench/run.py                          # everything
    .venv/bin/python bench/run.py --bench fac-lin,lqcp --sizes fac-lin=25,50 --reps 1
    .venv/bin/python bench/run.py --iface nivra,pyoptinterface --write-results
"""

import argparse
import datetime
import json
import os
import platform
import resource
import shlex
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from common import BENCHMARKS, INSTANCES, SMALL, expected_counts  # noqa: E402
from worker import RESULT_TAG  # noqa: E402

# Display name -> module in bench/ifaces. The first two are Nivra's own.
INTERFACES = {
    "nivra": "nivra",
    "nivra-bonmin": "nivra_bonmin",
    "libnvra": "libnvra",
    "pyoptinterface": "poi",
    "highspy": "highspy",
    "pyscipopt": "scip",
    "python-mip": "mip",
    "pulp": "pulp",
    "linopy": "linopy",
    "gurobipy": "gurobipy",
    "highs-c": "highs_c",
}
NIVRA_SIDE = ("nivra", "nivra-bonmin", "libnvra")
# The Nivra interface each benchmark's ratios are taken against (first one that ran).
REFERENCE = {"load": ("libnvra",), "load-submit": ("libnvra",), "solve": ("nivra", "libnvra")}
DEFAULT_REFERENCE = ("nivra",)
# Targets: the largest time ratio Nivra/peer allowed, for the peers named.
TARGETS = {"load": ("highs-c", 1.10), "load-submit": ("highs-c", 1.10),
           "solve": ("highspy", 1.05), "iis": ("highspy", 1.05), "ranging": ("highspy", 1.05)}
# Quadratic solves: Nivra's CPU time summed over the instances it and this peer solved to
# optimality, at most this multiple of the peer's.
QSOLVE_TARGET = ("pyscipopt", 2.0)
COUNT_KEYS = ("vars", "rows", "nz", "qrows", "qnz")
OBJECTIVE_RTOL = 1e-6


# ---- running ---------------------------------------------------------------------------------

MEMORY_CAP = None  # bytes of address space a run may use (set from --max-memory-gib)


def limit_memory():
    if MEMORY_CAP:
        resource.setrlimit(resource.RLIMIT_AS, (MEMORY_CAP, MEMORY_CAP))


def run_child(python, args, timeout):
    """Runs worker.py with args in a new process; returns (result dict, peak RSS in KiB)."""
    with tempfile.TemporaryFile() as out:
        proc = subprocess.Popen([python, os.path.join(HERE, "worker.py"), *args], stdout=out,
                                stderr=subprocess.STDOUT, start_new_session=True,
                                preexec_fn=limit_memory)
        deadline = time.monotonic() + timeout
        while True:
            pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
            if pid:
                break
            if time.monotonic() > deadline:
                os.killpg(proc.pid, signal.SIGKILL)
                pid, status, usage = os.wait4(proc.pid, 0)
                proc.returncode = -signal.SIGKILL
                return {"error": f"timeout after {timeout:.0f} s", "timeout": True}, None
            time.sleep(0.02)
        proc.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        text = out.read().decode(errors="replace")
    lines = [ln for ln in text.splitlines() if ln.startswith(RESULT_TAG)]
    if not lines:
        tail = " | ".join(text.strip().splitlines()[-3:])
        return {"error": f"process ended with code {proc.returncode}: {tail[-300:]}"}, \
            usage.ru_maxrss
    return json.loads(lines[-1][len(RESULT_TAG):]), usage.ru_maxrss


def probe(python, names, timeout):
    """name -> {"benches": [...], "version": str} or {"error": str}."""
    found = {}
    for name in names:
        found[name], _ = run_child(python, [INTERFACES[name], "--probe"], timeout)
    return found


def measure(python, iface, bench, size, reps, timeout, log, rep_budget=0.0):
    """Runs one (interface, benchmark, size) reps times, or fewer once its processes have taken
    more than rep_budget seconds together (0: no budget); returns its record."""
    rec = {"iface": iface, "bench": bench, "size": size, "seconds": [], "cpu_seconds": [],
           "maxrss_kib": [], "base_kib": [], "info": None}
    started = time.monotonic()
    for rep in range(reps):
        if rep and rep_budget and time.monotonic() - started > rep_budget:
            break
        args = [INTERFACES[iface], bench, str(size)] + (["--count"] if rep == 0 else [])
        res, maxrss = run_child(python, args, timeout)
        if "seconds" not in res:
            rec.update({k: v for k, v in res.items() if k in ("error", "unsupported", "timeout")})
            log(f"  {iface:15s} {res.get('unsupported') or res.get('error')}")
            break
        rec["seconds"].append(res["seconds"])
        rec["cpu_seconds"].append(res["cpu_seconds"])
        rec["maxrss_kib"].append(maxrss)
        rec["base_kib"].append(res["rss_base_kib"])
        if rep == 0:
            rec["info"] = res["info"]
        log(f"  {iface:15s} rep {rep + 1}/{reps}: {res['seconds']:.4f} s "
            f"(cpu {res['cpu_seconds']:.4f} s), peak {maxrss / 1024:.0f} MiB")
    return rec


def plan(args):
    """[(bench, size)] in run order."""
    benches = args.bench.split(",") if args.bench else list(BENCHMARKS)
    sizes = {}
    for spec in args.sizes or []:
        name, _, values = spec.partition("=")
        sizes[name] = [int(v) if v.isdigit() else v for v in values.split(",") if v]
    out = []
    for bench in benches:
        if bench not in BENCHMARKS:
            sys.exit(f"unknown benchmark {bench!r}; known: {', '.join(BENCHMARKS)}")
        default = BENCHMARKS[bench][1] or INSTANCES
        for rank, size in enumerate(sizes.get(bench, default)):
            if args.small and BENCHMARKS[bench][0] == "model" and (bench, size) not in SMALL:
                continue
            out.append((rank if BENCHMARKS[bench][0] == "model" else 0, bench, size))
    # the models' smaller sizes first, so that a long run has every benchmark early on
    return [(bench, size) for _, bench, size in sorted(out, key=lambda t: t[0])]


def size_limits(specs):
    """{(interface, benchmark): largest size} from "IFACE:BENCH=N" texts."""
    out = {}
    for spec in specs or []:
        key, _, n = spec.partition("=")
        iface, _, bench = key.partition(":")
        if iface not in INTERFACES or BENCHMARKS.get(bench, (0, None))[1] is None \
                or not n.isdigit():
            sys.exit(f"--max-size wants IFACE:BENCH=N with a known interface and a benchmark "
                     f"with numeric sizes, not {spec!r}")
        out[(iface, bench)] = int(n)
    return out


# Presets of options (--plan NAME): expanded in front of the command line's own options, which
# therefore override them. "standard" is the full comparison sized to take about 35 minutes on
# a 2-core machine (see bench/README.md): every benchmark and size, three repetitions unless an
# entry's processes have taken 20 s together, and the slow peers left out of the large models.
PLANS = {
    "standard": [
        "--reps", "3", "--rep-budget", "20", "--timeout", "300",
        "--bench", "fac,fac-lin,lqcp,expr,xqx,dot-csr,dense-mv,sum,compare,addcons,solution,"
                   "load,load-submit,solve",
        # gurobipy's pip licence: the licence sizes only
        "--max-size", "gurobipy:fac=3", "--max-size", "gurobipy:fac-lin=7",
        "--max-size", "gurobipy:lqcp=12",
        # SCIP needs more than 16 GiB at fac-100; the slowest builders stop early
        "--max-size", "pyscipopt:fac=75", "--max-size", "pyscipopt:fac-lin=75",
        "--max-size", "pyscipopt:lqcp=1000",
        "--max-size", "python-mip:fac-lin=25", "--max-size", "pulp:fac-lin=25",
        "--max-size", "pyoptinterface:fac-lin=75", "--max-size", "highspy:lqcp=1500",
    ],
    # The quadratic solves alone, with the peers that solve them (see README.md).
    "quadratic": [
        "--reps", "3", "--rep-budget", "60", "--timeout", "900",
        "--bench", "fac-opt,miqp,miqcqp,qcqp,socp",
        "--iface", "nivra,nivra-bonmin,pyscipopt,gurobipy",
    ],
}


def save(data, path):
    if path:
        with open(path + ".tmp", "w") as f:
            json.dump(data, f, indent=1)
        os.replace(path + ".tmp", path)


def merge(files):
    """The measurements of several saved runs; a later file's entry replaces an earlier one
    for the same interface, benchmark and size."""
    data, index = None, {}
    for path in files:
        with open(path) as f:
            d = json.load(f)
        if data is None:
            data = dict(d, records=[], machine=dict(d.get("machine", {})))
        else:
            data["interfaces"].update({k: v for k, v in d["interfaces"].items()
                                       if "version" in v or k not in data["interfaces"]})
            data["command"] += " ; " + d["command"]
            for key in ("load_at_start", "load_at_end"):
                if key in d.get("machine", {}):
                    data["machine"][key] = max(d["machine"][key],
                                               data["machine"].get(key, 0))
        for rec in d["records"]:
            key = (rec["iface"], rec["bench"], str(rec["size"]))
            if key in index:
                data["records"][index[key]] = rec
            else:
                index[key] = len(data["records"])
                data["records"].append(rec)
    return data


def run_all(args, log):
    names = args.iface.split(",") if args.iface else list(INTERFACES)
    for n in names:
        if n not in INTERFACES:
            sys.exit(f"unknown interface {n!r}; known: {', '.join(INTERFACES)}")
    log(f"probing {len(names)} interfaces ...")
    found = probe(args.python, names, args.timeout)
    for name, p in found.items():
        if "error" in p:
            what = "not available" if name in NIVRA_SIDE else "not installed, skipped"
            log(f"{name}: {what} ({p['error']})")
    records = []
    data = {"interfaces": found, "records": records, "machine": machine(),
            "date": datetime.datetime.now().astimezone().isoformat(timespec="seconds"),
            "command": " ".join(shlex.quote(a) for a in sys.argv), "reps": args.reps}
    timed_out = set()
    limits = size_limits(args.max_size)
    for bench, size in plan(args):
        log(f"{bench} {size}")
        for name in names:
            if bench not in found[name].get("benches", ()):
                continue
            if (name, bench) in timed_out:
                records.append({"iface": name, "bench": bench, "size": size, "seconds": [],
                                "error": "skipped: a smaller size timed out"})
                continue
            limit = limits.get((name, bench))
            if limit is not None and size > limit:
                records.append({"iface": name, "bench": bench, "size": size, "seconds": [],
                                "unsupported": f"not run above {bench}-{limit} in this run"})
                continue
            rec = measure(args.python, name, bench, size, args.reps, args.timeout, log,
                          args.rep_budget)
            if rec.get("timeout"):
                timed_out.add((name, bench))
            records.append(rec)
            save(data, args.json)  # after every entry, so that a stopped run keeps its part
    data["machine"]["load_at_end"] = round(os.getloadavg()[1], 1)
    save(data, args.json)
    return data


# ---- results -----------------------------------------------------------------------------------

def machine():
    mem_kib = 0
    cpu = platform.processor()
    with open("/proc/meminfo") as f:
        for line in f:
            if line.startswith("MemTotal:"):
                mem_kib = int(line.split()[1])
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    return {"cores": os.cpu_count(), "memory_gib": round(mem_kib / 2**20, 1), "cpu": cpu,
            "python": platform.python_version(), "system": platform.platform(),
            "load_at_start": round(os.getloadavg()[1], 1)}


def median(xs):
    return statistics.median(xs) if xs else None


def reference_time(group, bench):
    for name in REFERENCE.get(bench, DEFAULT_REFERENCE):
        t = median(group.get(name, {}).get("seconds", []))
        if t:
            return name, t
    return None, None


def count_check(rec):
    """"ok", "-" (nothing to check) or a text naming the counts that differ."""
    want = expected_counts(rec["bench"], rec["size"])
    got = rec.get("info") or {}
    if want is None:
        return "-"
    if not any(k in got for k in COUNT_KEYS):
        return "-"
    bad = [f"{k} {got[k]} != {want[k]}" for k in COUNT_KEYS if k in got and got[k] != want[k]]
    return "MISMATCH " + ", ".join(bad) if bad else "ok"


def objective_check(group):
    """Checks the solve records of one instance against highspy's (or the first one's): the
    same status, and for optimal solves the same objective within OBJECTIVE_RTOL."""
    infos = {n: r.get("info") for n, r in group.items() if r.get("info")}
    if len(infos) < 2:
        return {n: "-" for n in infos}
    ref = infos.get("highspy") or infos.get("pyscipopt") or next(iter(infos.values()))
    out = {}
    for n, info in infos.items():
        o, want = info.get("objective"), ref.get("objective")
        if info.get("status") != ref.get("status"):
            out[n] = f"MISMATCH status {info.get('status')}"
        elif o is not None and want is not None and \
                abs(o - want) > OBJECTIVE_RTOL * max(1.0, abs(want)):
            out[n] = f"MISMATCH {o:.10g}"
        elif not same_path(info, ref):
            out[n] = (f"ok; engine path differs: {info['iterations']} simplex iterations, "
                      f"{info['nodes']} nodes against {ref['iterations']}, {ref['nodes']}")
        else:
            out[n] = "ok"
    return out


def same_path(a, b):
    """Whether two solves took the same engine path, as far as their simplex iteration and node
    counts tell (true when either lacks them)."""
    keys = ("iterations", "nodes")
    return any(a.get(k) is None or b.get(k) is None for k in keys) or \
        all(a[k] == b[k] for k in keys)


def rows_of(data):
    """Table rows (lists of strings) plus the lists of problems and target misses."""
    groups = {}
    for rec in data["records"]:
        groups.setdefault((rec["bench"], rec["size"]), {})[rec["iface"]] = rec
    rows, problems, misses = [], [], []
    order = list(BENCHMARKS)
    for (bench, size), group in sorted(groups.items(), key=lambda g: order.index(g[0][0])):
        kind, _, unit = BENCHMARKS[bench]
        ref_name, ref_t = reference_time(group, bench)
        solves = bench == "solve" or kind == "qsolve"
        checks = objective_check(group) if solves else {}
        label = f"{bench}-{size}" + (" (gurobipy licence size)" if (bench, size) in SMALL else "")
        for name in INTERFACES:
            rec = group.get(name)
            if rec is None:
                continue
            t = median(rec["seconds"])
            info = rec.get("info") or {}
            if t is None:
                status = rec.get("unsupported") or rec.get("error", "")
                if name in NIVRA_SIDE and "unsupported" not in rec:
                    status = f"not available ({status})"
                rows.append([label, name, "-", "-", "-", "-", "-", "-", "-", "-", status])
                continue
            ratio = f"{t / ref_t:.2f}" if ref_t and name != ref_name else "-"
            peak = median(rec["maxrss_kib"])
            elements = nz_of(info, bench, size) if kind == "model" else info.get("elements")
            per = per_unit(t, kind, info, bench, size, elements)
            bytes_per_nz = "-"
            if kind == "model" and elements:
                grown = statistics.median(m - b for m, b in zip(rec["maxrss_kib"], rec["base_kib"]))
                bytes_per_nz = f"{grown * 1024 / elements:.0f}"
            check = checks.get(name) if solves else count_check(rec)
            if info.get("note"):
                check = f"{check}; {info['note']}"
            if check and check.startswith("MISMATCH"):
                problems.append(f"{label} {name}: {check}")
            cpu = median(rec.get("cpu_seconds", []))
            rows.append([label, name, f"{t:.4f}", "-" if cpu is None else f"{cpu:.4f}",
                         str(len(rec["seconds"])), ratio, per,
                         f"{peak / 1024:.0f}", bytes_per_nz,
                         counts_text(info, bench), check or "-"])
        misses += target_misses(bench, label, group, ref_name, ref_t)
    misses += solve_overhead(data)[1] + growth_misses(data) + qsolve_summary(data)[1]
    return rows, problems, misses


# Allowance for noise in the rule that Nivra's time per variable does not grow with fac's size.
GROWTH_ALLOWANCE = 1.15


def growth_misses(data):
    """Nivra's build-and-submit time per variable on fac and fac-lin, from size 25 up, against
    that of the smallest such size measured. Judged on CPU time where recorded: the sizes run
    minutes apart, under whatever load the machine has then, which the wall time follows."""
    out = []
    for bench in ("fac", "fac-lin"):
        recs = [rec for rec in data["records"] if rec["bench"] == bench
                and rec["iface"] == "nivra" and rec["seconds"] and rec["size"] >= 25]
        key = "cpu_seconds" if all(rec.get("cpu_seconds") for rec in recs) else "seconds"
        per_var = sorted((rec["size"], median(rec[key]) / expected_counts(bench, rec["size"])
                          ["vars"]) for rec in recs)
        for size, per in per_var[1:]:
            base_size, base = per_var[0]
            if per > GROWTH_ALLOWANCE * base:
                what = "CPU " if key == "cpu_seconds" else ""
                out.append(f"{bench}-{size}: nivra takes {per * 1e6:.2f} {what}us/var, "
                           f"{bench}-{base_size} {base * 1e6:.2f} (target: no growth "
                           f"with size; allowance {GROWTH_ALLOWANCE:.2f}x)")
    return out


def memory_summary(data):
    """One line per model and size: Nivra's peak and bytes per non-zero against the leanest
    peers by peak and by bytes per non-zero."""
    groups = {}
    for rec in data["records"]:
        if BENCHMARKS[rec["bench"]][0] == "model" and rec["seconds"]:
            groups.setdefault((rec["bench"], rec["size"]), {})[rec["iface"]] = rec
    order = list(BENCHMARKS)
    out = []
    for (bench, size), group in sorted(groups.items(),
                                       key=lambda g: (order.index(g[0][0]), g[0][1])):
        stats = {}
        for name, rec in group.items():
            nz = nz_of(rec.get("info") or {}, bench, size)
            grown = statistics.median(m - b for m, b in zip(rec["maxrss_kib"], rec["base_kib"]))
            stats[name] = (median(rec["maxrss_kib"]) / 1024, grown * 1024 / nz if nz else 0.0)
        peers = {n: v for n, v in stats.items() if n not in NIVRA_SIDE}
        own = stats.get("nivra")
        text = f"{bench}-{size}: nivra " + (f"{own[0]:.0f} MiB, {own[1]:.0f} B/nz" if own
                                             else "did not run")
        if peers:
            lean = min(peers, key=lambda n: peers[n][0])
            dense = min(peers, key=lambda n: peers[n][1])
            text += (f"; leanest peer {lean} {peers[lean][0]:.0f} MiB; fewest B/nz {dense} "
                     f"{peers[dense][1]:.0f} B/nz")
        out.append(text)
    return out


def peer_summary(data):
    """One line per benchmark and size: the fastest and the leanest peer."""
    groups = {}
    for rec in data["records"]:
        if rec["iface"] not in NIVRA_SIDE and rec["seconds"]:
            groups.setdefault((rec["bench"], rec["size"]), []).append(rec)
    order = list(BENCHMARKS)
    out = []
    for (bench, size), recs in sorted(groups.items(), key=lambda g: order.index(g[0][0])):
        fast = min(recs, key=lambda r: median(r["seconds"]))
        lean = min(recs, key=lambda r: median(r["maxrss_kib"]))
        out.append(f"{bench}-{size}: fastest {fast['iface']} {median(fast['seconds']):.4f} s; "
                   f"leanest {lean['iface']} {median(lean['maxrss_kib']) / 1024:.0f} MiB")
    return out


def nz_of(info, bench, size):
    c = info if "nz" in info else (expected_counts(bench, size) or {})
    return (c.get("nz") or 0) + (c.get("qnz") or 0)


def per_unit(t, kind, info, bench, size, elements):
    if kind == "model":
        nvars = info.get("vars") or expected_counts(bench, size)["vars"]
        return f"{t / nvars * 1e6:.2f} us/var"
    if elements:
        return f"{t / elements * 1e9:.0f} ns/{BENCHMARKS[bench][2]}"
    return "-"


def counts_text(info, bench):
    if "vars" not in info:
        return "-"
    text = f"{info['vars']}/{info['rows']}"
    if "nz" in info:
        text += f"/{info['nz']}"
    if info.get("qrows"):
        text += f" +{info['qrows']}q/{info.get('qnz', '?')}"
    return text


def target_misses(bench, label, group, ref_name, ref_t):
    """Texts for the targets Nivra misses in this group: time, and for the models peak memory
    at most that of the leanest peer."""
    if not ref_t or BENCHMARKS[bench][0] == "qsolve":  # judged on sums: qsolve_summary
        return []
    peer, limit = TARGETS.get(bench, (None, 1.0))
    out = []
    if BENCHMARKS[bench][0] == "model":
        peaks = {n: median(r.get("maxrss_kib", [])) for n, r in group.items()}
        peer_peaks = {n: p for n, p in peaks.items() if p and n not in NIVRA_SIDE}
        own = peaks.get(ref_name)
        if own and peer_peaks:
            lean = min(peer_peaks, key=peer_peaks.get)
            if own > peer_peaks[lean]:
                out.append(f"{label}: {ref_name} peaks at {own / 1024:.0f} MiB, {lean} at "
                           f"{peer_peaks[lean] / 1024:.0f} MiB (target: at most the leanest peer)")
    key = target_measure(bench)
    ref_t = median(group[ref_name].get(key, []))
    for name, rec in group.items():
        t = median(rec.get(key, []))
        if name in NIVRA_SIDE or not t or not ref_t or (peer and name != peer):
            continue
        if ref_t / t > limit:
            what = "CPU time" if key == "cpu_seconds" else "time"
            out.append(f"{label}: {ref_name} takes {ref_t / t:.2f}x the {what} of {name} "
                       f"(target at most {limit:.2f}x)")
    return out


def target_measure(bench):
    """The solves and the analysis after a solve are judged on CPU time (one engine thread on
    both sides: the work done, which other load on a shared machine disturbs far less than the
    wall time of a millisecond solve); everything else on wall time."""
    return "cpu_seconds" if bench in ("solve", "iis", "ranging") or \
        BENCHMARKS[bench][0] == "qsolve" else "seconds"


def qsolve_summary(data):
    """(lines, misses) of the quadratic solves: per benchmark and over all of them, the CPU
    time of Nivra (its default algorithm and Bonmin) and of each peer summed over the instances
    that both solved to optimality, with the ratio peer / Nivra; then per instance which of
    Nivra's two algorithms for mixed-integer problems was faster. The target is the summed time
    against QSOLVE_TARGET's peer."""
    solved = {}
    for rec in data["records"]:
        if BENCHMARKS[rec["bench"]][0] == "qsolve" and rec["seconds"] and \
                (rec.get("info") or {}).get("status") == "optimal":
            solved.setdefault((rec["bench"], rec["size"]), {})[rec["iface"]] = \
                median(rec["cpu_seconds"])
    if not solved:
        return [], []
    lines, misses = [], []
    peers = sorted({n for g in solved.values() for n in g if n not in NIVRA_SIDE})
    families = list(dict.fromkeys(b for b, _ in solved)) + [None]
    for fam in families:
        groups = {k: g for k, g in solved.items() if fam is None or k[0] == fam}
        parts = []
        for peer in peers:
            both = [g for g in groups.values() if "nivra" in g and peer in g]
            if not both:
                continue
            nv, pt = sum(g["nivra"] for g in both), sum(g[peer] for g in both)
            parts.append(f"{peer} {pt:.2f} s vs nivra {nv:.2f} s over {len(both)} "
                         f"(ratio {pt / nv:.2f})")
            if fam is None and peer == QSOLVE_TARGET[0] and nv > QSOLVE_TARGET[1] * pt:
                misses.append(f"quadratic solves: nivra's summed CPU time is {nv / pt:.2f}x "
                              f"{peer}'s (target at most {QSOLVE_TARGET[1]:.1f}x)")
        lines.append(f"{fam or 'all quadratic solves'}: " + ("; ".join(parts) or "no pairs"))
    wins = []
    for (bench, size), g in sorted(solved.items()):
        if "nivra" in g and "nivra-bonmin" in g:
            faster = "outer approximation" if g["nivra"] <= g["nivra-bonmin"] else "Bonmin"
            wins.append(f"{bench}-{size} {faster} ({g['nivra']:.2f} s vs "
                        f"{g['nivra-bonmin']:.2f} s)")
    if wins:
        lines.append("faster algorithm per instance (outer approximation vs Bonmin): "
                     + "; ".join(wins))
    missing = [f"{b}-{s}" for (b, s), g in sorted(solved.items()) if "nivra" not in g]
    if missing:
        misses.append("quadratic solves not solved to optimality by nivra: " + ", ".join(missing))
    return lines, misses


def solve_overhead(data):
    """(lines, misses) comparing Nivra's solves with highspy's: over all instances both solved
    (sums of the medians), over those where the engine took the same path on both sides, and
    per instance, in wall and in CPU time; then Nivra against libnvra called directly (the same
    engine path: the module's own cost). The target is judged on all instances."""
    lines, misses = overhead_lines(data, "highspy", with_target=True)
    libnvra_lines = overhead_lines(data, "libnvra")[0]
    if libnvra_lines:
        lines.append("against libnvra called directly: " + libnvra_lines[0])
    return lines, misses


def overhead_lines(data, other, with_target=False):
    by_inst = {}
    for rec in data["records"]:
        if rec["bench"] == "solve" and rec["iface"] in ("nivra", other) and rec["seconds"]:
            by_inst.setdefault(rec["size"], {})[rec["iface"]] = rec
    pairs = {i: p for i, p in by_inst.items() if len(p) == 2}
    if not pairs:
        return [], []
    same = {i: p for i, p in pairs.items()
            if same_path(p["nivra"].get("info") or {}, p[other].get("info") or {})}
    lines, misses = [], []
    for title, subset in ((f"all instances ({len(pairs)})", pairs),
                          (f"instances with the same engine path ({len(same)})", same)):
        if not subset:
            continue
        parts = []
        for key in ("seconds", "cpu_seconds"):
            nv = sum(median(p["nivra"].get(key, [])) or 0.0 for p in subset.values())
            ot = sum(median(p[other].get(key, [])) or 0.0 for p in subset.values())
            what = "CPU" if key == "cpu_seconds" else "wall"
            if ot:
                parts.append(f"{what} {nv:.3f} s vs {ot:.3f} s ({(nv / ot - 1) * 100:+.1f} %)")
                limit = TARGETS["solve"][1]
                if with_target and subset is pairs and nv / ot > limit:
                    misses.append(f"solve, all instances: Nivra takes {nv / ot:.3f}x the {what} "
                                  f"time of {other} (target at most {limit:.2f}x)")
        lines.append(f"{title}: " + "; ".join(parts))
        if not with_target:
            break
    if with_target:
        for inst, p in pairs.items():
            parts = []
            for key in ("seconds", "cpu_seconds"):
                nv, ot = median(p["nivra"].get(key, [])), median(p[other].get(key, []))
                if nv and ot:
                    parts.append(f"{'cpu' if key == 'cpu_seconds' else 'wall'} {nv:.4f} s vs "
                                 f"{ot:.4f} s ({(nv / ot - 1) * 100:+.1f} %)")
            lines.append(f"{inst}: " + "; ".join(parts))
    return lines, misses


HEADER = ["benchmark", "interface", "median s", "cpu s", "runs", "peer/Nivra", "per unit",
          "peak MiB", "B/nz", "vars/rows/nz", "check"]


def render_text(rows):
    widths = [max(len(str(r[i])) for r in rows + [HEADER]) for i in range(len(HEADER))]
    fmt = lambda r: "  ".join(str(c).ljust(w) for c, w in zip(r, widths)).rstrip()  # noqa: E731
    lines, last = [fmt(HEADER), fmt(["-" * w for w in widths])], None
    for r in rows:
        if last is not None and r[0] != last:
            lines.append("")
        lines.append(fmt(r if r[0] != last else [""] + r[1:]))
        last = r[0]
    return "\n".join(lines)


def render_markdown(rows):
    esc = lambda s: str(s).replace("|", "\\|")  # noqa: E731
    lines = ["| " + " | ".join(HEADER) + " |", "|" + "---|" * len(HEADER)]
    lines += ["| " + " | ".join(esc(c) for c in r) + " |" for r in rows]
    return "\n".join(lines)


def versions_text(data):
    out = []
    for name, p in data["interfaces"].items():
        out.append(f"- {name}: {p['version']}" if "version" in p
                   else f"- {name}: not available ({p['error']})")
    return "\n".join(out)


def _load(machine_record, key):
    value = machine_record.get(key)
    return "?" if value is None else f"{value:.1f}"


def write_results(data, rows, problems, misses, path, note=None):
    m = data["machine"]
    text = [
        "# Benchmark results", "",
        "Written by `bench/run.py --write-results`; see bench/README.md for what each benchmark "
        "measures and how. Ratios are peer time / Nivra time: above 1 means Nivra is faster.", "",
        f"- date: {data['date']}",
        f"- machine: {m['cores']} cores, {m['memory_gib']} GiB memory, {m['cpu']}",
        f"- system: {m['system']}, Python {m['python']}",
        f"- load average (5 min) at the start and end of the run: "
        f"{_load(m, 'load_at_start')}, {_load(m, 'load_at_end')} "
        f"(anything near or above the core count means the timings are disturbed)",
        f"- repetitions: up to {data['reps']} per entry (column runs), each in a fresh "
        f"process; times are medians",
        f"- command: `{data['command']}`", "",
        *(["## Notes", "", note, ""] if note else []),
        "## Versions", "", versions_text(data), "",
        "## Table", "", render_markdown(rows), "",
        "## Quadratic solves (CPU time summed over the instances solved to optimality)", "",
        "\n".join(f"- {x}" for x in qsolve_summary(data)[0]) or "Not measured.", "",
        "## Solve overhead (Nivra against highspy, same file, same settings)", "",
        "\n".join(f"- {x}" for x in solve_overhead(data)[0]) or "Not measured.", "",
        "## Memory (peak resident set; bytes per non-zero of the growth while timed)", "",
        "\n".join(f"- {x}" for x in memory_summary(data)) or "Not measured.", "",
        "## Fastest and leanest peer", "",
        "\n".join(f"- {x}" for x in peer_summary(data)), "",
        "## Count and objective checks", "",
        "\n".join(f"- {p}" for p in problems) or "All reported counts and objectives agree.", "",
        "## Targets missed", "",
        "\n".join(f"- {x}" for x in misses) or
        "None among the entries measured (a target needs the Nivra entry to have run).", "",
    ]
    kept = kept_sections(path)
    with open(path, "w") as f:
        f.write("\n".join(text) + kept)


# Sections written by hand from the C++ benchmark programs (bench/lib_*.cpp), which this script
# does not run: everything from this heading on survives a rewrite of the file.
KEPT_HEADING = "## C++ library programs"


def kept_sections(path):
    try:
        with open(path) as f:
            old = f.read()
    except OSError:
        return ""
    at = old.find(KEPT_HEADING)
    return "" if at < 0 else "\n" + old[at:]


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--bench", help="comma-separated benchmarks (default: all): "
                    + ", ".join(BENCHMARKS))
    ap.add_argument("--iface", help="comma-separated interfaces (default: all): "
                    + ", ".join(INTERFACES))
    ap.add_argument("--sizes", action="append", metavar="BENCH=N,N",
                    help="sizes of one benchmark (repeatable); for solve, instance names")
    ap.add_argument("--small", action="store_true",
                    help="models only at the sizes that fit gurobipy's licence")
    ap.add_argument("--plan", choices=sorted(PLANS),
                    help="a preset of the options below (they override it); see README.md")
    ap.add_argument("--reps", type=int, default=3, help="repetitions (default 3)")
    ap.add_argument("--rep-budget", type=float, default=0, metavar="S",
                    help="no further repetition of an entry once its processes have taken S "
                    "seconds together (default 0: always --reps)")
    ap.add_argument("--max-size", action="append", metavar="IFACE:BENCH=N",
                    help="largest size IFACE runs of BENCH (repeatable)")
    ap.add_argument("--timeout", type=float, default=1800,
                    help="seconds one process may take; larger sizes are then skipped")
    ap.add_argument("--max-memory-gib", type=float, default=16,
                    help="address space one run may use (default 16); 0 for no limit")
    ap.add_argument("--python", default=sys.executable, help="interpreter for the runs")
    ap.add_argument("--json", metavar="PATH",
                    help="also save the raw measurements (rewritten after every entry)")
    ap.add_argument("--from-json", metavar="PATH[,PATH]",
                    help="render saved measurements, run nothing; with several files, later "
                    "entries replace earlier ones for the same interface, benchmark and size")
    ap.add_argument("--write-results", action="store_true", help="write bench/RESULTS.md")
    ap.add_argument("--note", help="a paragraph to put into RESULTS.md")
    args = ap.parse_args()
    if args.plan:
        args = ap.parse_args(PLANS[args.plan] + sys.argv[1:])

    global MEMORY_CAP
    MEMORY_CAP = int(args.max_memory_gib * 2**30) or None
    log = lambda s: print(s, flush=True)  # noqa: E731
    if args.from_json:
        data = merge(args.from_json.split(","))
    else:
        data = run_all(args, log)
    rows, problems, misses = rows_of(data)
    print()
    print(render_text(rows))
    for title, items in (("quadratic solves", qsolve_summary(data)[0]),
                         ("solve overhead", solve_overhead(data)[0]),
                         ("memory", memory_summary(data)),
                         ("count/objective problems", problems), ("targets missed", misses)):
        if items:
            print(f"\n{title}:")
            print("\n".join(f"  {x}" for x in items))
    if args.write_results:
        write_results(data, rows, problems, misses, os.path.join(HERE, "RESULTS.md"),
                      args.note)
        print(f"\nwrote {os.path.join(HERE, 'RESULTS.md')}")
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
