"""The command line, run in this process through nivra._cli.main and once as `python -m nivra`."""

import csv
import pathlib
import subprocess
import sys

import numpy as np
import pytest

import nivra
from nivra import _cli

DATA = pathlib.Path(__file__).parent / "data"


def read(path):
    p = nivra.problem()
    p.setOutputEnabled(False)
    p.read(str(path))
    return p


def test_solve_writes_the_solution_and_row_activities_as_csv(tmp_path, capsys):
    out = tmp_path / "afiro.csv"
    assert _cli.main(["solve", "-q", str(DATA / "afiro.mps"), "-s", str(out)]) == 0
    assert "optimal, objective -464.753142857" in capsys.readouterr().out
    with open(out, newline="") as f:
        lines = list(csv.DictReader(f))
    p = read(DATA / "afiro.mps")
    p.optimize()
    columns = [line for line in lines if line["kind"] == "column"]
    rows = [line for line in lines if line["kind"] == "row"]
    assert [c["name"] for c in columns] == [v.name for v in p.getVariable()]
    x = np.array([float(c["value"]) for c in columns])
    np.testing.assert_allclose(x, p.getSolution(), atol=1e-9)
    np.testing.assert_allclose([float(c["dual"]) for c in columns], p.getRedCosts(), atol=1e-9)
    # A row's value is its activity: the row's body at the written solution.
    activity = [float(r["value"]) for r in rows]
    bodies = [c.getBody() for c in p.getConstraint()]
    np.testing.assert_allclose(activity, np.ravel(nivra.evaluate(bodies, problem=p, solution=x)), atol=1e-7)
    np.testing.assert_allclose([float(r["dual"]) for r in rows], p.getDuals(), atol=1e-9)


def test_solve_writes_the_slx_solution_file_that_reads_back(tmp_path, capsys):
    out = tmp_path / "lseu.slx"
    assert _cli.main(["solve", "-q", str(DATA / "lseu.mps"), "-s", str(out)]) == 0
    assert "optimal, objective 1120\n" in capsys.readouterr().out
    lines = out.read_text().splitlines()
    assert lines[0].startswith("NAME") and lines[-1] == "ENDATA"
    p = read(DATA / "lseu.mps")
    # Columns by name (those at zero may be left out).
    columns = {line.split()[1] for line in lines[1:-1] if line.startswith("C ")}
    assert columns and columns <= {v.name for v in p.getVariable()}
    # Read back as the problem's solution: the optimum the command line found.
    p.readslxsol(str(out), "l")
    x = np.array(p.getSolution())
    np.testing.assert_allclose(x, np.round(x), atol=1e-9)
    c = []
    p.getobj(c, 0, p.attributes.cols - 1)
    assert np.dot(c, x) == pytest.approx(1120)


@pytest.mark.parametrize("args, code", [
    (["woodinfe.mps"], 4),
    (["qpunbounded.lp"], 5),
    (["p0548.mps", "-c", "maxmipsols=1"], 3),
    (["bell5.mps", "--time-limit", "0"], 6),
])
def test_solve_exit_code_follows_the_solution_status(args, code, capsys):
    assert _cli.main(["solve", "-q", str(DATA / args[0]), *args[1:]]) == code
    capsys.readouterr()


def test_convert_and_stats(tmp_path, capsys):
    lp = tmp_path / "lseu.lp"
    assert _cli.main(["convert", str(DATA / "lseu.mps"), str(lp)]) == 0
    assert lp.read_text().lstrip().startswith("\\")
    assert _cli.main(["stats", str(lp)]) == 0
    stats = dict(line.split(None, 1) for line in capsys.readouterr().out.splitlines())
    p = read(DATA / "lseu.mps")
    for name in ("rows", "cols", "elems", "intcols", "mipents"):
        assert int(stats[name]) == p.getAttrib(name), name
    assert _cli.main(["solve", "-q", str(lp)]) == 0
    assert "optimal, objective 1120\n" in capsys.readouterr().out


@pytest.mark.parametrize("args, message", [
    (["solve", "missing.mps"], "missing.mps"),
    (["solve", "afiro.mps", "-c", "nosuchcontrol=1"], "nosuchcontrol"),
    (["solve", "afiro.mps", "-c", "feastol"], "not of the form name=value"),
    (["solve", "afiro.mps", "-s", "out.txt"], "unknown solution format '.txt'"),
])
def test_errors_exit_with_1_and_a_message(args, message, tmp_path, monkeypatch, capsys):
    monkeypatch.chdir(tmp_path)
    args = [str(DATA / a) if a.endswith(".mps") and a != "missing.mps" else a for a in args]
    assert _cli.main([args[0], "-q", *args[1:]]) == 1
    err = capsys.readouterr().err
    assert err.startswith("python -m nivra solve: ") and message in err


def test_module_entry_point_and_help():
    run = subprocess.run([sys.executable, "-m", "nivra", "solve", "--help"],
                         capture_output=True, text=True, check=False)
    assert run.returncode == 0 and "Exit codes: 0 optimal" in run.stdout
    run = subprocess.run([sys.executable, "-m", "nivra"], capture_output=True, text=True,
                         check=False)
    assert run.returncode == 2 and "solve" in run.stderr
