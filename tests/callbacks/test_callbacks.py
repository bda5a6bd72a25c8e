"""Python callbacks on a problem: what each honoured kind sees, the stops and refusals, the rules
for registering and removing, the problem object a callback is given, exceptions raised inside
the solve, references held, and the kinds the engine cannot honour."""

import gc
import re
import sys
import threading
import time
from pathlib import Path

import numpy as np
import pytest

import nivra
from nivra.enums import CallbackKind

from helpers.api import dense, out

DATA = Path(__file__).resolve().parents[1] / "data"
DOCS = Path(__file__).resolve().parents[2] / "docs" / "CALLBACKS.md"


def mip(name="egout.mps"):
    p = nivra.problem()
    p.setOutputEnabled(False)
    p.read(str(DATA / name))
    return p


def optimizer_kinds():
    return [k for k in CallbackKind if k < CallbackKind.CASCADEEND]


def refused_kinds():
    """The kinds the documentation's table marks as not supported."""
    rows = re.findall(r"^\| (\d+) \| `(\w+)` \| ([^|]+) \|", DOCS.read_text(), re.M)
    assert len(rows) == len(optimizer_kinds())
    return [name for _, name, how in rows if how.strip() == "not supported"]


def test_documented_table_matches_the_library():
    """Every optimizer kind registers, or is refused at registration, as the table says."""
    refused = set(refused_kinds())
    for kind in optimizer_kinds():
        name = kind.name.lower()
        p = nivra.problem()
        add = getattr(p, "addcb" + name)
        if name in refused:
            with pytest.raises(nivra.NotSupportedError,
                               match=f"The {name} callback is not supported by this engine"):
                add(lambda *a: None)
            assert isinstance(nivra.NotSupportedError(), nivra.SolverError)
        else:
            add(lambda *a: None)
            getattr(p, "removecb" + name)()


def test_intsol_sees_improving_incumbents_and_their_solution():
    p = mip()
    x = p.getVariable()
    seen = []

    A = dense(p)[0]
    rhs = np.array(out(p.getrhs, 0, p.attributes.rows - 1))

    def intsol(cb, data):
        assert cb is not p and isinstance(cb, nivra.problem)
        sol = cb.getCallbackSolution(x)
        # the callback's slacks are those of its solution
        assert cb.getCallbackSlacks() == pytest.approx(rhs - A @ np.array(sol), abs=1e-9)
        seen.append((cb.attributes.mipobjval, sol, data))

    p.addcbintsol(intsol, "token")
    p.optimize()
    assert seen, "no incumbent reported"
    objs = [s[0] for s in seen]
    assert all(b < a for a, b in zip(objs, objs[1:]))
    assert objs[-1] == pytest.approx(p.attributes.mipobjval)
    assert objs[-1] == pytest.approx(568.1007, abs=1e-3)
    assert seen[-1][1] == pytest.approx(p.getSolution(x))
    assert {s[2] for s in seen} == {"token"}


def test_an_exception_in_a_callback_is_raised_by_optimize():
    p = mip()
    handler = __import__("signal").getsignal(__import__("signal").SIGINT)

    def fails(cb, data):
        raise ValueError("from the callback")

    def fails_too(cb, data):
        raise KeyError("second")

    p.addcbintsol(fails)
    p.addcbintsol(fails_too)
    with pytest.warns(RuntimeWarning, match="Exception masked by another exception in intsol "
                                            "callback"):
        with pytest.raises(ValueError, match="from the callback"):
            p.optimize()
    assert __import__("signal").getsignal(__import__("signal").SIGINT) is handler
    # The solve was stopped where the callback failed.
    assert p.attributes.stopstatus == nivra.enums.StopStatus.INTERRUPT
    p.removecbintsol()
    p.optimize()  # nothing left over from the failure
    assert p.attributes.solstatus == nivra.enums.SolStatus.OPTIMAL


def test_stops_asked_by_miplog_and_checktime():
    p = mip("bell5.mps")
    lines = []
    p.addcbmiplog(lambda cb, data: lines.append(cb.attributes.nodes) or (len(lines) >= 2))
    p.optimize()
    assert 2 <= len(lines) <= 3  # the search may write one closing line as it stops
    assert p.attributes.stopstatus == nivra.enums.StopStatus.INTERRUPT
    p.removecbmiplog()

    p.controls.checktimeperiod = 0.02
    calls = []

    def checktime(cb, data):
        calls.append(time.perf_counter())
        return 1 if len(calls) == 3 else 0

    p.addcbchecktime(checktime)
    p.optimize()
    ended = time.perf_counter()
    assert len(calls) == 3
    assert min(b - a for a, b in zip(calls, calls[1:])) >= 0.02 - 1e-3
    assert ended - calls[-1] < 0.5  # the stop takes effect at once, not after a long wait
    assert p.attributes.stopstatus == nivra.enums.StopStatus.INTERRUPT


def test_gapnotify_targets_and_its_return_value():
    p = mip("bell5.mps")
    p.controls.miprelgapnotify = 0.05
    p.controls.miprelstop = 0.0
    seen = []

    def gapnotify(cb, data):
        seen.append(cb.attributes.mipgap)
        # The first call sets an absolute-gap target that the next check reaches at once.
        return (None, 1e19 if len(seen) == 1 else None, None, None)

    p.addcbgapnotify(gapnotify)
    p.optimize()
    # Called when the gap reached 5 % (the target then switched off), once more for the new
    # target, then never again.
    assert len(seen) == 2 and seen[1] <= seen[0] <= 0.05
    assert p.attributes.solstatus == nivra.enums.SolStatus.OPTIMAL

    p.removecbgapnotify()
    p.addcbgapnotify(lambda cb, data: "no")
    with pytest.raises(nivra.InterfaceError, match="Problem in gapnotify callback: must return "
                                                  "tuple of four elements"):
        p.optimize()


def test_answers_the_engine_cannot_act_on_fail_the_solve():
    p = mip("bell5.mps")
    p.controls.maxnodes = 200
    p.addcboptnode(lambda cb, data: None)  # None: the node stays feasible
    p.optimize()
    p.addcboptnode(lambda cb, data: 1)
    with pytest.raises(nivra.NotSupportedError, match="the optnode callback marked a node "
                                                      "infeasible"):
        p.optimize()
    p.removecboptnode()

    p.addcbpreintsol(lambda cb, data, soltype, cutoff: (1, None))
    with pytest.raises(nivra.NotSupportedError, match="preintsol callback rejected a solution"):
        p.optimize()
    p.removecbpreintsol()

    p = mip("p0548.mps")
    p.addcbcutround(lambda cb, data, ifcuts: "x")
    with pytest.raises(nivra.InterfaceError, match="Problem in cutround callback: must return an "
                                                  "Int or None"):
        p.optimize()


def test_solutions_given_during_the_search_are_reported_by_usersolnotify():
    p = mip()
    p.controls.presolve = 0
    p.optimize()
    best, optimum = p.getSolution(), p.attributes.mipobjval
    bad = [-1.0] + best[1:]  # below its bound
    notes = []

    def give(cb):
        notes.append("given")
        cb.addmipsol(bad, None, "bad")
        cb.addmipsol(best, name="best")

    def usersolnotify(cb, data, name, status):
        notes.append((isinstance(cb, nivra.problem), data, name, status))
        if status == nivra.enums.UserSolStatus.ACCEPTED:
            cb.interrupt(nivra.enums.StopStatus.INTERRUPT)  # ends the search with it

    p.addcbmiplog(lambda cb, data: None if notes else give(cb))
    p.addcbusersolnotify(usersolnotify, "token")
    p.optimize()
    S = nivra.enums.UserSolStatus
    assert notes == ["given", (True, "token", "bad", S.INFEASIBLE),
                     (True, "token", "best", S.ACCEPTED)]
    assert p.attributes.mipobjval == pytest.approx(optimum)
    # Solutions a solve does not take are reported as not used.
    notes.clear()
    p.removecbmiplog()
    p.addcbbeforeobjective(lambda cb, data: give(cb))
    p.lpoptimize()
    assert notes == ["given", (True, "token", "bad", S.NOT_USED),
                     (True, "token", "best", S.NOT_USED)]


def test_continuous_kinds_and_the_solve_bracket():
    p = nivra.problem()
    p.setOutputEnabled(False)
    p.read(str(DATA / "25fv47.mps"))
    p.controls.lplogfreq = 100
    events = []
    p.addcblplog(lambda cb, data: events.append(("lplog", cb.attributes.simplexiter)))
    p.addcbbeforeobjective(lambda cb, data: events.append(("before", None)))
    p.addcbafterobjective(lambda cb, data: events.append(("after", cb.attributes.lpobjval)))
    p.addcbpresolve(lambda cb, data: events.append(
        ("presolve", cb.getCallbackPresolveSolution())))
    p.optimize("d")
    kinds = [e[0] for e in events]
    assert kinds[0] == "before" and kinds[-1] == "after"
    assert kinds.count("presolve") == kinds.count("after") == 1 and ("presolve", None) in events
    iters = [e[1] for e in events if e[0] == "lplog"]
    assert len(iters) >= 3 and min(b - a for a, b in zip(iters, iters[1:])) >= 100
    assert events[-1][1] == pytest.approx(5501.845888, rel=1e-8)

    bar = []
    p.addcbbarlog(lambda cb, data: bar.append(cb.attributes.bariter))
    p.addcbbariteration(lambda cb, data: 1 if len(bar) >= 3 else None)
    p.optimize("b")
    # bariteration asks to stop in the fourth iteration, after which barlog still runs once.
    assert bar == [1, 2, 3, 4]
    assert p.attributes.stopstatus == nivra.enums.StopStatus.INTERRUPT
    # A non-zero barlog return stops the barrier as well.
    p.removecbbariteration()
    p.addcbbarlog(lambda cb, data: len(bar) >= 6)
    p.optimize("b")
    assert bar == [1, 2, 3, 4, 1, 2]  # stopped in the iteration that asked
    assert p.attributes.stopstatus == nivra.enums.StopStatus.INTERRUPT


def test_the_callback_problem_queries_but_does_not_change():
    p = mip()
    x = p.getVariable()
    kept = []

    def intsol(cb, data):
        kept.append(cb)
        for change in (lambda: cb.setObjective(x[0]), lambda: cb.addcbmiplog(lambda *a: 0),
                       lambda: cb.removecbintsol()):
            with pytest.raises(nivra.BusyError, match="being solved"):
                change()
        assert cb.getCallbackSlacks() and len(cb.getCallbackSolution()) == len(x)
        with pytest.raises(nivra.ModelError, match="Dual values are not available"):
            cb.getCallbackDuals()
        cb.interrupt(nivra.enums.StopStatus.INTERRUPT)  # a stop is no change

    p.addcbintsol(intsol)
    p.optimize()
    assert kept and p.attributes.stopstatus == nivra.enums.StopStatus.INTERRUPT
    p.removecbintsol()  # idle again
    with pytest.raises(nivra.ModelError, match="Problem is not initialized"):
        kept[0].getCallbackSolution()
    assert p.getSolution(x[0]) is not None  # the problem itself is unharmed


def test_registration_rules():
    p = nivra.problem()

    def f(cb, data):
        return 0

    def g(cb, data):
        return 0

    with pytest.raises(nivra.InterfaceError, match="Cannot add callback"):
        p.addcbintsol(42)
    with pytest.raises(nivra.InterfaceError, match="Cannot add callback"):
        p.addcbintsol(f, None, 2**40)
    with pytest.raises(nivra.InterfaceError, match="Cannot remove callback from an empty set"):
        p.removecbintsol(f)
    p.removecbintsol()  # nothing named: nothing to do
    with pytest.raises(nivra.InterfaceError, match="Cannot remove callback$"):
        p.removecbintsol("f")
    p.addcbintsol(f, "a")
    p.addcbintsol(f, "b", 3)
    p.addcbintsol(g, "a")
    p.removecbintsol(None, "a")  # f and g with data "a"
    with pytest.raises(nivra.InterfaceError, match="Callback not found"):
        p.removecbintsol(g)
    p.removecbintsol(f)
    with pytest.raises(nivra.InterfaceError, match="Cannot remove callback from an empty set"):
        p.removecbintsol(f)
    with pytest.raises(nivra.InterfaceError, match="copycallbacks\\(\\) must be called with the "
                                                  "source problem as argument"):
        p.copycallbacks(42)
    with nivra.problem() as q:
        pass
    with pytest.raises(nivra.ModelError, match="Problem is not initialized"):
        q.addcbintsol(f)


def test_copies_and_copycallbacks_register_the_same_callbacks():
    p = mip()
    seen = []
    p.addcbintsol(lambda cb, data: seen.append(data), "original", 1)
    q = p.copy()
    r = mip()
    r.copycallbacks(p)
    for prob in (q, r):
        seen.clear()
        prob.optimize()
        assert seen and set(seen) == {"original"}


def test_removed_callbacks_and_dead_problems_hold_no_references():
    def f(cb, data):
        return 0

    data = object()
    base_f, base_d = sys.getrefcount(f), sys.getrefcount(data)
    p = nivra.problem()
    for kind in ("intsol", "miplog", "checktime", "message"):
        getattr(p, "addcb" + kind)(f, data)
    assert sys.getrefcount(f) == base_f + 4
    p.removecbintsol(f)
    p.removecbmiplog()
    assert sys.getrefcount(f) == base_f + 2
    q = p.copy()
    assert sys.getrefcount(data) == base_d + 4
    del p, q
    gc.collect()
    assert (sys.getrefcount(f), sys.getrefcount(data)) == (base_f, base_d)

    # A callback that closes over its own problem is collected with it (and so is its data).
    def solve_a_problem_in_a_cycle():
        q = mip()
        q.addcbintsol(lambda cb, data: q.name(), data)
        q.optimize()
        assert sys.getrefcount(data) == base_d + 1

    solve_a_problem_in_a_cycle()
    gc.collect()
    assert sys.getrefcount(data) == base_d


def test_other_threads_run_during_a_solve_with_callbacks():
    p = mip("bell5.mps")
    ticks = []
    stop = threading.Event()

    def ticker():
        while not stop.is_set():
            ticks.append(1)
            time.sleep(0.001)

    calls = []
    p.addcbmiplog(lambda cb, data: calls.append(threading.get_ident()) and 0)
    t = threading.Thread(target=ticker)
    t.start()
    try:
        p.optimize()
    finally:
        stop.set()
        t.join()
    assert calls and len(ticks) > 10


def test_message_callbacks_receive_the_log():
    p = mip()
    p.setOutputEnabled(False)
    lines = []
    p.addcbmessage(lambda cb, data, text, kind: lines.append((text, kind)))
    p.optimize()
    assert any("Solving report" in text or "Objective" in text for text, _ in lines)
    assert all(isinstance(t, str) and isinstance(k, int) for t, k in lines)


def test_the_quadratic_route_reports_its_incumbents():
    """A mixed-integer problem with a quadratic row is solved by the library's own outer
    approximation around the engine: its incumbents reach intsol, and the solve is bracketed
    once by before- and afterobjective (the engine's runs inside are not solves of their own)."""
    p = nivra.problem()
    p.setOutputEnabled(False)
    x = p.addVariables(4, vartype=nivra.integer, lb=-5, ub=5)
    p.addConstraint(nivra.Sum(x[i] ** 2 for i in range(4)) <= 20)
    p.setObjective(-nivra.Sum((i + 1) * x[i] for i in range(4)))
    events = []
    p.addcbintsol(lambda cb, data: events.append(
        ("intsol", cb.attributes.mipobjval, cb.getCallbackSolution(list(x)))))
    p.addcbbeforeobjective(lambda cb, data: events.append(("before",)))
    p.addcbafterobjective(lambda cb, data: events.append(("after", cb.attributes.objval)))
    p.optimize()
    assert p.attributes.mastersolves > 0  # the outer approximation did the work
    assert events[0] == ("before",) and events[-1][0] == "after"
    assert [e[0] for e in events].count("before") == 1
    found = [e for e in events if e[0] == "intsol"]
    objs = [e[1] for e in found]
    assert objs and all(b < a for a, b in zip(objs, objs[1:]))
    assert objs[-1] == pytest.approx(p.attributes.objval) == pytest.approx(events[-1][1])
    assert found[-1][2] == pytest.approx(p.getSolution(list(x)))
