"""The solver log on sys.stdout: module switch, problem switch, the output control, flushes."""

import io
import sys

import pytest

import nivra


class CountingStdout(io.StringIO):
    def __init__(self):
        super().__init__()
        self.flushes = 0

    def flush(self):
        self.flushes += 1
        super().flush()


def small_lp(name):
    p = nivra.problem(name=name)
    x = p.addVariable(name="x", ub=4)
    y = p.addVariable(name="y", ub=3)
    p.addConstraint(x + y <= 5)
    p.setObjective(x + 2 * y, sense=nivra.maximize)
    return p


def solve_and_read(p, out):
    """Solves p and returns what it printed to out since the last call."""
    out.seek(0)
    out.truncate()
    p.optimize()
    return out.getvalue()


@pytest.fixture
def stdout(monkeypatch):
    """sys.stdout replaced by a counting buffer (installed in the test body, where pytest's own
    capture does not put its stream back)."""
    out = CountingStdout()

    def install():
        monkeypatch.setattr(sys, "stdout", out)
        return out

    yield install
    nivra.setOutputEnabled(True)


def test_the_log_flushes_and_its_three_switches(stdout):
    stdout = stdout()
    log = solve_and_read(small_lp("a"), stdout)
    assert log.count("\n") >= 3 and "Optimal" in log
    assert stdout.flushes >= 1
    # The problem switch silences one problem only.
    quiet, loud = small_lp("quiet"), small_lp("loud")
    quiet.setOutputEnabled(False)
    assert solve_and_read(quiet, stdout) == ""
    assert solve_and_read(loud, stdout) != ""
    quiet.setOutputEnabled(True)
    assert solve_and_read(quiet, stdout) != ""
    # The module switch silences every problem.
    nivra.setOutputEnabled(False)
    flushes = stdout.flushes
    assert solve_and_read(loud, stdout) == ""
    assert stdout.flushes == flushes  # no flush requests reach stdout either
    nivra.setOutputEnabled(True)
    assert solve_and_read(loud, stdout) != ""
    # So does the output control.
    p = small_lp("control")
    p.controls.outputlog = 0
    assert solve_and_read(p, stdout) == ""
    assert p.getSolution("y") == 3.0


def test_free_sides_reach_the_engine_as_infinite(stdout):
    """Unbounded sides are the engine's own infinity: no note about huge bounds in the log."""
    stdout = stdout()
    p = nivra.problem()
    x = p.addVariable(lb=-nivra.infinity, ub=nivra.infinity)
    y = p.addVariable(ub=nivra.infinity)
    p.addConstraint(x + y >= 1, x - y <= 3)
    p.setObjective(x + 2 * y)
    log = solve_and_read(p, stdout)
    assert "Optimal" in log and "treated as" not in log


def test_an_exception_in_a_handler_during_a_solve_is_raised_after_it():
    """A Python message handler that raises while the library solves: the exception is kept
    until the library call returns, no further message reaches Python meanwhile, and the solve
    itself completes."""
    seen = []

    def handler(obj, data, thread, msg, msgtype, msgcode):
        seen.append(msg)
        raise KeyError("from handler")

    p = small_lp("raising")
    p.setOutputEnabled(False)
    nivra.addcbmsghandler(handler, None, 0)
    try:
        with pytest.raises(KeyError, match="from handler"):
            p.optimize()
    finally:
        nivra.removecbmsghandler(handler, None)
    assert len(seen) == 1
    assert p.attributes.solstatus == nivra.enums.SolStatus.OPTIMAL
    assert p.getSolution("y") == 3.0
    p.optimize()  # nothing left pending
