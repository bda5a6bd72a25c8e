"""Threads: two problems solve at the same time in two threads (the interpreter lock is released
during the solve), and a problem being solved refuses changes from another thread with the
library's "being solved" error, leaving the model intact.

Both tests meet inside the solve through the log: a problem's log lines are printed by the
thread that called optimize(), with the interpreter lock taken back for each line, so a write to
sys.stdout can wait there for the other thread (Event.wait releases the lock)."""

import io
import sys
import threading

import pytest

import nivra

TIMEOUT = 60


class MeetingPoint(io.StringIO):
    """sys.stdout for the test: the first log line written by thread `waiter` sets `arrived` and
    waits (at most TIMEOUT seconds) for `go`; the first line of thread `other` sets `go`."""

    def __init__(self, waiter, other=None):
        super().__init__()
        self.waiter, self.other = waiter, other
        self.arrived, self.go = threading.Event(), threading.Event()
        self.met = None

    def write(self, text):
        name = threading.current_thread().name
        if name == self.waiter and not self.arrived.is_set():
            self.arrived.set()
            self.met = self.go.wait(TIMEOUT)
        elif name == self.other:
            self.go.set()
        return len(text)


def knapsack(seed):
    """A small MIP whose solve logs from the calling thread."""
    p = nivra.problem()
    n = 30
    x = p.addVariables(n, vartype=nivra.binary)
    w = [(seed * 7 + 13 * i) % 23 + 1 for i in range(n)]
    p.addConstraint(nivra.Sum(w[i] * x[i] for i in range(n)) <= sum(w) // 2)
    p.setObjective(nivra.Sum((w[i] + i % 5) * x[i] for i in range(n)), sense=nivra.maximize)
    return p, x


@pytest.fixture
def stdout(monkeypatch):
    def install(meeting):
        monkeypatch.setattr(sys, "stdout", meeting)
        return meeting
    return install


def run(threads):
    for t in threads:
        t.start()
    for t in threads:
        t.join(2 * TIMEOUT)
    assert not any(t.is_alive() for t in threads)


def test_two_problems_solve_at_the_same_time(stdout):
    meeting = stdout(MeetingPoint("A", "B"))
    problems = [knapsack(1), knapsack(2)]
    alone = []
    for p, _ in problems:  # the answers when solved one after the other
        p.optimize()
        alone.append(p.attributes.objval)
    errors = []

    def solve(k):
        try:
            if k == 1:
                assert meeting.arrived.wait(TIMEOUT)
            p, _ = problems[k]
            p.controls.miprelstop = 0
            p.optimize()
        except BaseException as e:  # reported by the main thread
            errors.append(e)

    run([threading.Thread(target=solve, args=(k,), name=n) for k, n in ((0, "A"), (1, "B"))])
    assert errors == []
    # A waited inside its solve until B's solve had printed: the two solves overlapped.
    assert meeting.met is True
    assert [p.attributes.objval for p, _ in problems] == alone


def test_a_problem_being_solved_refuses_changes_from_another_thread(stdout):
    meeting = stdout(MeetingPoint("solver"))
    p, x = knapsack(3)
    refused = []

    def solve():
        p.optimize()

    solver = threading.Thread(target=solve, name="solver")
    solver.start()
    try:
        assert meeting.arrived.wait(TIMEOUT)
        attempts = [lambda: p.addVariable(), lambda: setattr(x[0], "ub", 0),
                    lambda: p.addConstraint(x[0] + x[1] <= 1), lambda: p.optimize(),
                    lambda: p.setObjective(x[0]),
                    lambda: setattr(x[2], "name", "renamed")]
        for attempt in attempts:
            with pytest.raises(nivra.SolverError, match="being solved") as e:
                attempt()
            refused.append(str(e.value))
        # Queries are answered meanwhile.
        assert x[0].ub == 1 and str(x[2]) == "x(2)"
    finally:
        meeting.go.set()
        solver.join(2 * TIMEOUT)
    assert len(refused) == 6 and not solver.is_alive()
    # Nothing of the refused changes reached the model, which solves as before.
    assert p.attributes.cols == 30 and p.attributes.rows == 1
    assert x[0].ub == 1 and str(x[2]) == "x(2)"
    best = p.attributes.objval
    p.optimize()
    assert p.attributes.objval == best
