"""Callbacks of the nonlinear solver (setcb<kind>, kinds 24 to 45): registration and the
references it holds, the points of a successive linear programming solve where they are called
and with what, stops and exceptions, and the nonlinear log printed once."""

import sys

import pytest

import nivra
from nivra.enums import CallbackKind, StopStatus

UNFINISHED = 6  # nlp_status of a solve that a stop ended
NONLINEAR_KINDS = [k.name.lower().removeprefix("nl_") for k in CallbackKind
                   if k >= CallbackKind.CASCADEEND]


def hs71(solver=1):
    """Hock-Schittkowski 71 (f* = 17.0140173), solved by the SLP solver unless told otherwise."""
    p = nivra.problem()
    p.setOutputEnabled(False)
    p.setControl("nlp_solver", solver)
    x = [p.addVariable(lb=1, ub=5) for _ in range(4)]
    p.addConstraint(x[0] * x[1] * x[2] * x[3] >= 25, nivra.Sum(v**2 for v in x) == 40)
    p.setObjective(x[0] * x[3] * (x[0] + x[1] + x[2]) + x[2])
    return p, x


def recorder(events, result=None):
    """A callback that records (its data, its extra arguments) and returns result."""
    def callback(problem, data, *args):
        assert isinstance(problem, nivra.problem) and problem.attributes.cols >= 2
        events.append((data, *args))
        return result
    return callback


def test_every_nonlinear_kind_registers_and_holds_exact_references():
    assert len(NONLINEAR_KINDS) == 22
    p, _ = hs71()
    f, data = (lambda *a: 0), object()
    base = sys.getrefcount(f), sys.getrefcount(data)
    for kind in NONLINEAR_KINDS:
        getattr(p, "setcb" + kind)(f, data)
        getattr(p, "setcb" + kind)(f, data, 5)  # the second one replaces the first in the solver
    assert (sys.getrefcount(f), sys.getrefcount(data)) == (base[0] + 44, base[1] + 44)
    q = nivra.problem()
    q.copycallbacks(p)
    assert (sys.getrefcount(f), sys.getrefcount(data)) == (base[0] + 88, base[1] + 88)
    r = p.copy()
    del p, q
    assert (sys.getrefcount(f), sys.getrefcount(data)) == (base[0] + 44, base[1] + 44)
    r.optimize()  # the copy's callbacks are registered with its own nonlinear problem
    del r
    assert (sys.getrefcount(f), sys.getrefcount(data)) == base
    s, _ = hs71()
    with pytest.raises(nivra.InterfaceError, match="Cannot add callback"):
        s.setcbiterend("not callable")


def test_slp_solve_calls_its_points_in_order():
    p, x = hs71()
    events = []
    for kind in ("slpstart", "iterstart", "iterend", "slpend", "preupdatelinearization",
                 "itervar"):
        getattr(p, "setcb" + kind)(recorder(events, 0 if kind == "itervar" else None), kind)
    status = p.optimize()
    assert status[0] == nivra.enums.SolveStatus.COMPLETED
    assert p.getAttrib("nlp_status") == 1
    assert p.attributes.objval == pytest.approx(17.0140173, rel=1e-7)
    names = [e[0] for e in events]
    assert names[0] == "slpstart" and names[-1] == "slpend"
    brackets = [n for n in names if n in ("iterstart", "iterend")]
    iterations = p.getAttrib("slp_iterations")  # LPs solved: second-order corrections count too
    pairs = len(brackets) // 2
    assert brackets == ["iterstart", "iterend"] * pairs and 1 < pairs <= iterations
    # Linearised at the start and after every accepted step, each time before the LP that uses it.
    updates = [e for e in events if e[0] == "preupdatelinearization"]
    assert 1 < len(updates) <= pairs + 1 and all(e[1:] == (0,) for e in updates)
    assert names.index("preupdatelinearization") < names.index("iterstart")
    # itervar asks about every column of the library's problem at each convergence check.
    ncols = p.attributes.cols
    columns = [e[1] for e in events if e[0] == "itervar"]
    assert columns and len(columns) % ncols == 0
    assert columns[:ncols] == list(range(ncols))


@pytest.mark.parametrize("kind, stop_on_call, iterations", [
    ("slpstart", 1, 0),  # the solve stops before its first LP
    ("iterstart", 3, 2),  # the third iteration is skipped
    ("iterend", 3, 3),
])
def test_a_nonzero_return_stops_the_solve(kind, stop_on_call, iterations):
    p, x = hs71()
    calls = []

    def stop(problem, data):
        calls.append(data)
        return 1 if len(calls) == stop_on_call else None

    getattr(p, "setcb" + kind)(stop)
    p.optimize()
    assert p.attributes.stopstatus == StopStatus.INTERRUPT
    assert p.getAttrib("nlp_status") == UNFINISHED
    assert p.getAttrib("slp_iterations") == iterations
    assert len(calls) == stop_on_call


def test_a_callback_cannot_set_callbacks_during_the_solve():
    p, _ = hs71()
    errors = []

    def once(problem, data):
        try:
            problem.setcbiterend(once)
        except nivra.BusyError as e:
            errors.append(str(e))

    p.setcbiterstart(once)
    p.optimize()
    assert errors and errors[0].startswith("The problem is being solved")
    assert p.getAttrib("nlp_status") == 1


def test_interior_point_solve_calls_iterend_per_iteration():
    p, _ = hs71(solver=2)
    events = []
    p.setcbiterend(recorder(events), "iterend")
    p.setcbslpend(recorder(events), "slpend")
    p.optimize()
    assert p.getAttrib("nlp_status") == 1
    iterations = p.getAttrib("ipm_iterations")
    assert iterations > 0 and events == [("iterend",)] * iterations + [("slpend",)]


def test_coefevalerror_names_the_coefficient_and_may_stop():
    def model():
        # min x - 2 log(x): from a start far to the right the first LP step reaches x = 0.
        p = nivra.problem()
        p.setOutputEnabled(False)
        p.setControl("nlp_solver", 1)
        x = p.addVariable(lb=-50, ub=50)
        p.setObjective(x - 2 * nivra.log(x))
        return p, x

    def outcome(p, x):
        p.optimize()
        return p.getAttrib("nlp_status"), p.attributes.stopstatus, p.getSolution(x)

    alone = outcome(*model())
    p, x = model()
    events = []
    p.setcbcoefevalerror(recorder(events, 0), "err")
    # 0 lets the solver shorten its step as it does without the callback.
    assert outcome(p, x) == alone and alone[2] == pytest.approx(2, abs=1e-4)
    # The objective's formula is the coefficient of its transfer row (0) with no column (-1000).
    assert events and set(events) == {("err", 0, -1000)}
    q, _ = model()
    q.setcbcoefevalerror(recorder([], 1))
    q.optimize()
    assert q.attributes.stopstatus == StopStatus.INTERRUPT
    assert q.getAttrib("nlp_status") == UNFINISHED


class Boom(Exception):
    pass


def boom(*args):
    raise Boom("raised in a nonlinear callback")


@pytest.mark.parametrize("kind, callback, error, match", [
    ("slpstart", boom, Boom, "raised in a nonlinear callback"),
    ("iterend", boom, Boom, "raised in a nonlinear callback"),
    ("preupdatelinearization", boom, Boom, "raised in a nonlinear callback"),
    ("message", boom, Boom, "raised in a nonlinear callback"),
    ("itervar", lambda *a: "yes", nivra.SolverError,
     "itervar callback did not return an integer"),
])
def test_exception_in_a_nonlinear_callback_is_raised_by_optimize(kind, callback, error, match):
    p, _ = hs71()
    getattr(p, "setcb" + kind)(callback)
    with pytest.raises(error, match=match):
        p.optimize()
    assert p.attributes.stopstatus == StopStatus.INTERRUPT
    assert p.getAttrib("nlp_status") == UNFINISHED


def slp_lines(text):
    return [line for line in text.splitlines() if line.startswith("SLP ")]


def logged(capsys, setup=None, module_output=True):
    """The SLP log lines printed by a solve of a fresh hs71, and what setup(p) returns."""
    p, _ = hs71()
    p.setOutputEnabled(True)
    extra = setup(p) if setup else None
    nivra.setOutputEnabled(module_output)
    try:
        p.optimize()
    finally:
        nivra.setOutputEnabled(True)
    return slp_lines(capsys.readouterr().out), extra


def test_nonlinear_log_is_printed_once_and_follows_the_output_switches(capsys):
    lines, _ = logged(capsys)
    iterations = [int(line.split()[1]) for line in lines]
    assert len(iterations) > 5 and iterations == sorted(set(iterations))  # each line once
    # A message callback of the user's sees the same lines; the log is still printed, once.
    def watch(p):
        seen = []
        p.setcbmessage(lambda cb, data, text, msgtype: seen.append((text, msgtype)))
        return seen

    again, seen = logged(capsys, watch)
    assert again == lines and [t for t, _ in seen] == lines and {m for _, m in seen} == {1}
    # Either switch off: nothing printed, the user's callback still called.
    quiet, seen = logged(capsys, lambda p: (p.setOutputEnabled(False), watch(p))[1])
    assert quiet == [] and [t for t, _ in seen] == lines
    assert logged(capsys, module_output=False)[0] == []
