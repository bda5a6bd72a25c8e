"""Tests of the benchmark harness itself (not of any interface's speed):

    .venv/bin/python -m pytest bench/test_harness.py
"""

import os
import sys
from types import SimpleNamespace

import pytest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import run  # noqa: E402
from common import FAC_M, Lqcp, fac_expected, lqcp_expected  # noqa: E402


class Rows:
    """A model written out term by term, independently of every interface: duplicate terms
    in a row are merged and zero coefficients dropped, as a solver receives them."""

    def __init__(self):
        self.vars, self.rows, self.qrows = set(), [], []

    def var(self, *key):
        self.vars.add(key)
        return key

    def row(self, *terms):
        merged = {}
        for coef, key in terms:
            merged[key] = merged.get(key, 0.0) + coef
        self.rows.append({k: c for k, c in merged.items() if c != 0.0})

    def counts(self):
        return {"vars": len(self.vars), "rows": len(self.rows),
                "nz": sum(len(r) for r in self.rows), "qrows": len(self.qrows),
                "qnz": sum(len(q) for q in self.qrows)}


def fac_terms(n, quadratic):
    m, G, F = Rows(), n, n
    grid, facs = range(G + 1), range(1, F + 1)
    y = {(f, k): m.var("y", f, k) for f in facs for k in (1, 2)}
    d = m.var("d")
    for i in grid:
        for j in grid:
            m.row(*((1.0, m.var("z", i, j, f)) for f in facs))
            for f in facs:
                s, z = m.var("s", i, j, f), m.var("z", i, j, f)
                r1, r2 = m.var("r", i, j, f, 1), m.var("r", i, j, f, 2)
                m.row((1.0, s), (-1.0, d), (FAC_M, z))
                m.row((1.0, r1), (1.0, y[f, 1]))
                m.row((1.0, r2), (1.0, y[f, 2]))
                if quadratic:
                    m.qrows.append({(r1, r1): 1.0, (r2, r2): 1.0, (s, s): -1.0})
    return m.counts()


def lqcp_terms(n):
    p, m = Lqcp(n), Rows()
    y = {(i, j): m.var("y", i, j) for i in range(p.m + 1) for j in range(n + 1)}
    u = {i: m.var("u", i) for i in range(1, p.m + 1)}
    for i in range(p.m):
        for j in range(1, n):
            a, b = p.h2, 0.5 * p.dt
            m.row((a, y[i + 1, j]), (-a, y[i, j]), (-b, y[i, j - 1]), (2 * b, y[i, j]),
                  (-b, y[i, j + 1]), (-b, y[i + 1, j - 1]), (2 * b, y[i + 1, j]),
                  (-b, y[i + 1, j + 1]))
    for j in range(n + 1):
        m.row((1.0, y[0, j]))
    for i in range(1, p.m + 1):
        m.row((1.0, y[i, 2]), (-4.0, y[i, 1]), (3.0, y[i, 0]))
        m.row((1.0, y[i, n - 2]), (-4.0, y[i, n - 1]), (3.0, y[i, n]), (-2 * p.dx, u[i]),
              (2 * p.dx, y[i, n]))
    return m.counts()


@pytest.mark.parametrize("n", [1, 2, 3, 7])
def test_fac_counts_match_the_formulation(n):
    assert fac_expected(n, False) == fac_terms(n, False)
    assert fac_expected(n, True) == fac_terms(n, True)


@pytest.mark.parametrize("n", [3, 4, 12, 25])
def test_lqcp_counts_match_the_formulation(n):
    assert lqcp_expected(n) == lqcp_terms(n)


def test_published_variable_counts():
    # the variable counts the published benchmark reports for its largest models
    assert fac_expected(100, True)["vars"] == 4080601
    assert lqcp_expected(2000)["vars"] == 4006001


def record(iface, bench, size, seconds, info=None, cpu=None, **extra):
    """A measured entry; its CPU times are half its wall times unless given."""
    cpu = [t / 2 for t in seconds] if cpu is None else cpu
    return dict({"iface": iface, "bench": bench, "size": size, "seconds": seconds,
                 "cpu_seconds": cpu, "maxrss_kib": [2048] * len(seconds),
                 "base_kib": [1024] * len(seconds), "info": info}, **extra)


def test_table_ratios_counts_and_targets():
    good = fac_expected(25, False)
    data = {"records": [
        record("nivra", "fac-lin", 25, [2.0, 1.0, 3.0], good),
        record("pyoptinterface", "fac-lin", 25, [4.0, 4.0, 5.0], good),
        record("highspy", "fac-lin", 25, [1.0, 1.0, 1.0], dict(good, nz=good["nz"] - 1)),
        record("pulp", "fac-lin", 25, [], unsupported="no quadratic rows"),
    ]}
    rows, problems, misses = run.rows_of(data)
    by_iface = {r[1]: r for r in rows}
    assert by_iface["nivra"][2:6] == ["2.0000", "1.0000", "3", "-"]
    assert by_iface["pyoptinterface"][5] == "2.00"
    assert by_iface["highspy"][5] == "0.50"
    assert by_iface["pyoptinterface"][-1] == "ok"
    assert by_iface["highspy"][-1].startswith("MISMATCH nz")
    assert by_iface["pulp"][-1] == "no quadratic rows"
    # 1 MiB growth over 135200 non-zeros
    assert by_iface["nivra"][8] == f"{1024 * 1024 / good['nz']:.0f}"
    assert problems == [f"fac-lin-25 highspy: MISMATCH nz {good['nz'] - 1} != {good['nz']}"]
    assert len(misses) == 1 and "highspy" in misses[0] and "2.00x" in misses[0]
    data["records"][1]["maxrss_kib"] = [1024] * 3
    misses = run.rows_of(data)[2]
    assert len(misses) == 2 and "leanest peer" in misses[0] and "pyoptinterface" in misses[0]
    assert run.peer_summary(data) == [
        "fac-lin-25: fastest highspy 1.0000 s; leanest pyoptinterface 1 MiB"]


def test_solve_objectives_are_cross_checked_and_nivra_failures_named():
    data = {"records": [
        record("nivra", "solve", "afiro", [], error="AttributeError: no read"),
        record("libnvra", "solve", "afiro", [1.0], {"objective": -464.7531428571}),
        record("highspy", "solve", "afiro", [1.0], {"objective": -464.7531428571}),
        record("libnvra", "solve", "bell5", [1.0], {"objective": 1.0}),
        record("highspy", "solve", "bell5", [1.2], {"objective": 2.0}),
    ]}
    rows, problems, misses = run.rows_of(data)
    assert rows[0][-1] == "not available (AttributeError: no read)"
    assert [r[-1] for r in rows[1:3]] == ["ok", "ok"]
    assert problems == ["solve-bell5 libnvra: MISMATCH 1"]
    assert misses == []  # libnvra is faster than highspy on bell5, equal on afiro


def test_plan_sizes_and_small():
    args = SimpleNamespace(bench="fac,lqcp,solve", sizes=["fac=25,50", "solve=afiro"],
                           small=False)
    assert run.plan(args) == [("fac", 25), ("lqcp", 12), ("solve", "afiro"), ("fac", 50),
                              ("lqcp", 500), ("lqcp", 1000), ("lqcp", 1500), ("lqcp", 2000)]
    args = SimpleNamespace(bench="fac-lin,expr", sizes=None, small=True)
    assert run.plan(args) == [("fac-lin", 7), ("expr", 10**6)]


def test_a_missing_interface_is_reported_not_raised():
    res, _ = run.run_child(sys.executable, ["no_such_interface", "--probe"], 60)
    assert res["error"].startswith("ModuleNotFoundError")
    res, _ = run.run_child(sys.executable, ["highs_c", "no-such-bench", "1"], 60)
    assert res == {"unsupported": "no no-such-bench benchmark"}


def test_saved_runs_merge_later_entries_over_earlier(tmp_path):
    first = {"interfaces": {"highspy": {"version": "1"}, "nivra": {"error": "x"}},
             "command": "a", "records": [record("highspy", "sum", 10, [1.0]),
                                         record("nivra", "sum", 10, [], error="x")]}
    second = {"interfaces": {"nivra": {"version": "2"}}, "command": "b",
              "records": [record("nivra", "sum", 10, [0.5])]}
    paths = []
    for i, d in enumerate((first, second)):
        paths.append(str(tmp_path / f"{i}.json"))
        run.save(d, paths[-1])
    merged = run.merge(paths)
    assert merged["interfaces"]["nivra"] == {"version": "2"}
    assert [(r["iface"], r["seconds"]) for r in merged["records"]] == [
        ("highspy", [1.0]), ("nivra", [0.5])]


def test_solves_are_checked_on_status_then_objective():
    data = {"records": [
        record("nivra", "solve", "galenet", [1.0], {"status": "infeasible", "objective": None}),
        record("highspy", "solve", "galenet", [1.0], {"status": "infeasible", "objective": None}),
        record("nivra", "solve", "afiro", [1.0], {"status": "unbounded", "objective": None}),
        record("highspy", "solve", "afiro", [1.0], {"status": "optimal", "objective": -464.75}),
        record("nivra", "solve", "lseu", [1.0], {"status": "optimal", "objective": 1120.0000001}),
        record("highspy", "solve", "lseu", [1.0], {"status": "optimal", "objective": 1120.0}),
    ]}
    rows, problems, _ = run.rows_of(data)
    assert [r[-1] for r in rows] == ["ok", "ok", "MISMATCH status unbounded", "ok", "ok", "ok"]
    assert problems == ["solve-afiro nivra: MISMATCH status unbounded"]


def test_solve_overhead_sums_instances_and_judges_cpu_time():
    path = lambda it, nodes: {"status": "optimal", "iterations": it, "nodes": nodes}  # noqa: E731
    data = {"records": [
        record("nivra", "solve", "afiro", [1.1, 1.3, 1.2], path(6, 0), cpu=[0.5, 0.5, 0.5]),
        record("highspy", "solve", "afiro", [1.0, 1.0, 1.0], path(6, 0), cpu=[0.5, 0.5, 0.5]),
        record("libnvra", "solve", "afiro", [1.0], path(6, 0), cpu=[0.4]),
        record("nivra", "solve", "bell5", [2.0], path(90, 7), cpu=[1.0]),
        record("highspy", "solve", "bell5", [2.0], path(80, 9), cpu=[0.9]),
        record("highspy", "solve", "lseu", [5.0]),  # no Nivra entry: left out of the sums
    ]}
    lines, misses = run.solve_overhead(data)
    assert lines == [
        "all instances (2): wall 3.200 s vs 3.000 s (+6.7 %); CPU 1.500 s vs 1.400 s (+7.1 %)",
        "instances with the same engine path (1): wall 1.200 s vs 1.000 s (+20.0 %); "
        "CPU 0.500 s vs 0.500 s (+0.0 %)",
        "afiro: wall 1.2000 s vs 1.0000 s (+20.0 %); cpu 0.5000 s vs 0.5000 s (+0.0 %)",
        "bell5: wall 2.0000 s vs 2.0000 s (+0.0 %); cpu 1.0000 s vs 0.9000 s (+11.1 %)",
        "against libnvra called directly: all instances (1): wall 1.200 s vs 1.000 s (+20.0 %); "
        "CPU 0.500 s vs 0.400 s (+25.0 %)"]
    assert len(misses) == 2 and "1.067x the wall" in misses[0] and "1.071x the CPU" in misses[1]
    # per instance the target is judged on CPU time: afiro's 20 % in wall time is not a miss
    rows, _, all_misses = run.rows_of(data)
    assert [m for m in all_misses if not m.startswith("solve, all")] == [
        "solve-bell5: nivra takes 1.11x the CPU time of highspy (target at most 1.05x)"]
    # a different engine path is named, not counted as a mismatch
    assert [r[-1] for r in rows if r[0] == "solve-bell5"] == [
        "ok; engine path differs: 90 simplex iterations, 7 nodes against 80, 9", "ok"]


def test_time_per_variable_must_not_grow_with_fac_size():
    def fac_lin(size, us_per_var):
        t = us_per_var * 1e-6 * fac_expected(size, False)["vars"]
        return record("nivra", "fac-lin", size, [t])
    data = {"records": [fac_lin(7, 50.0), fac_lin(25, 2.0), fac_lin(50, 2.2), fac_lin(75, 3.0)]}
    # judged on CPU time (half the wall time in these records)
    assert run.growth_misses(data) == [
        "fac-lin-75: nivra takes 1.50 CPU us/var, fac-lin-25 1.00 (target: no growth with "
        "size; allowance 1.15x)"]
    # in wall time where a record lacks its CPU time
    del data["records"][2]["cpu_seconds"]
    assert run.growth_misses(data) == [
        "fac-lin-75: nivra takes 3.00 us/var, fac-lin-25 2.00 (target: no growth with "
        "size; allowance 1.15x)"]


def test_rep_budget_and_size_limits(tmp_path):
    log = lambda s: None  # noqa: E731
    full = run.measure(sys.executable, "highs-c", "load", 1000, 3, 60, log)
    cut = run.measure(sys.executable, "highs-c", "load", 1000, 3, 60, log, rep_budget=1e-3)
    assert len(full["seconds"]) == len(full["cpu_seconds"]) == 3 and len(cut["seconds"]) == 1
    assert run.size_limits(["gurobipy:lqcp=12"]) == {("gurobipy", "lqcp"): 12}
    with pytest.raises(SystemExit):
        run.size_limits(["highspy:solve=3"])
    args = SimpleNamespace(iface="highs-c", bench="load", sizes=["load=1000,2000"], small=False,
                           timeout=60, python=sys.executable, reps=1, rep_budget=0,
                           max_size=["highs-c:load=1000"], json=str(tmp_path / "r.json"))
    records = run.run_all(args, log)["records"]
    assert [len(r["seconds"]) for r in records] == [1, 0]
    assert records[1]["unsupported"] == "not run above load-1000 in this run"


def test_a_rewrite_keeps_the_hand_written_library_section(tmp_path):
    path = tmp_path / "RESULTS.md"
    assert run.kept_sections(str(path)) == ""
    path.write_text("# Benchmark results\n\nold table\n\n## C++ library programs\n\n| x | 1 |\n")
    assert run.kept_sections(str(path)) == "\n## C++ library programs\n\n| x | 1 |\n"
    path.write_text("# Benchmark results\n\nno such section\n")
    assert run.kept_sections(str(path)) == ""
