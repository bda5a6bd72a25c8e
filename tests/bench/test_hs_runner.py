"""bench/bench_hs.py: one entry per engine through its own process, the 1e-6 judgement, and the
RESULTS.md section written in place of the previous one."""

import importlib.util
import os
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "bench"))

import bench_hs  # noqa: E402
from hs import PROBLEMS  # noqa: E402


def test_judged_from_the_returned_point():
    hs071 = PROBLEMS[71]
    exact = bench_hs.assess(hs071, hs071.xstar)
    assert exact["solved"] and exact["relerr"] < 1e-7
    # a point 1e-5 off in x1 misses the equality row by more than 1e-6
    moved = list(hs071.xstar)
    moved[1] += 1e-5
    off = bench_hs.assess(hs071, moved)
    assert not off["solved"] and off["violation"] > 1e-6
    # above the bound x1 <= 1 of a problem with bounds only; relative to |bound| beyond 1
    assert bench_hs.assess(PROBLEMS[45], [1.001, 2, 3, 4, 5])["violation"] == pytest.approx(1e-3)
    assert bench_hs.assess(PROBLEMS[45], [1, 2, 3, 4, 5.01])["violation"] == pytest.approx(2e-3)


def test_each_engine_runs_or_says_it_is_not_available():
    nivra_side = bench_hs.run_entry(sys.executable, 71, "slp", 1, 120)
    assert "status" in nivra_side or "unavailable" in nivra_side, nivra_side
    if importlib.util.find_spec("cyipopt") is None:
        pytest.skip("cyipopt not installed")
    peer = bench_hs.run_entry(sys.executable, 71, "ipopt", 1, 120)
    assert peer["solved"] and peer["iterations"] > 0 and peer["cpu"] > 0, peer


def test_results_section_replaces_the_previous_one(tmp_path):
    path = tmp_path / "RESULTS.md"
    path.write_text("# Results\n\n## C++ library programs\n\ntext\n")
    bench_hs.write_results(["first"], str(path))
    bench_hs.write_results(["second"], str(path))
    text = path.read_text()
    assert text.count(bench_hs.SECTION) == 1 and "second" in text and "first" not in text
    assert text.index("## C++ library programs") < text.index(bench_hs.SECTION)
    path.write_text(text + "\n## Later section\n\nkept\n")
    bench_hs.write_results(["third"], str(path))
    text = path.read_text()
    assert "third" in text and "second" not in text and text.endswith("## Later section\n\nkept\n")
