"""Strong branching with a solve callback: the same results as strongbranch, the callback called
once per bound change with that change's LP in view, stops asked by a non-zero return, an
interrupt or an exception, bad arguments, and the references it holds."""

import math
import signal
import sys
from pathlib import Path

import pytest

import nivra
from nivra.enums import LPStatus

from helpers.api import snapshot

DATA = Path(__file__).resolve().parents[1] / "data"


def branching():
    """egout's relaxation solved, and both branches of its first fractional columns."""
    p = nivra.problem()
    p.setOutputEnabled(False)
    p.read(str(DATA / "egout.mps"))
    p.lpoptimize()
    x = p.getSolution()
    frac = [j for j, v in enumerate(x) if abs(v - round(v)) > 1e-6][:3]
    assert len(frac) == 3
    cols = frac + frac
    types = ["U"] * 3 + ["L"] * 3
    vals = [math.floor(x[j]) for j in frac] + [math.ceil(x[j]) for j in frac]
    return p, (cols, types, vals, 1000)


def test_results_equal_strongbranch_the_callback_sees_each_change_and_can_stop():
    p, args = branching()
    obj, status = [], []
    p.strongbranch(*args, obj, status)
    seen = []

    def cb(prob, data, ibnd):
        seen.append((prob is not p and isinstance(prob, nivra.problem), data, ibnd,
                     prob.attributes.lpstatus, prob.attributes.lpobjval))
        with pytest.raises(nivra.BusyError, match="being solved"):
            prob.chgbounds([0], ["U"], [0.0])

    cbobj, cbstatus = [], []
    before = snapshot(p)
    assert p.strongbranchcb(*args, cbobj, cbstatus, cb, "token") is None
    assert (cbobj, cbstatus) == (obj, status)
    assert [s[:3] for s in seen] == [(True, "token", k) for k in range(6)]
    assert [s[3] for s in seen] == status and [s[4] for s in seen] == obj
    assert snapshot(p) == before
    assert p.attributes.lpstatus == LPStatus.OPTIMAL
    # A non-zero return stops the remaining changes.
    calls = []
    p.strongbranchcb(*args, cbobj, cbstatus, lambda prob, data, k: calls.append(k) or k == 1)
    assert calls == [0, 1]
    assert cbstatus == status[:2] + [LPStatus.UNSTARTED] * 4
    assert cbobj[:2] == obj[:2]
    # So does an interrupt.
    p.strongbranchcb(*args, cbobj, cbstatus,
                     lambda prob, data, k: prob.interrupt(nivra.enums.StopStatus.INTERRUPT))
    assert cbstatus == status[:1] + [LPStatus.UNSTARTED] * 5


def test_an_exception_is_raised_by_the_member_and_the_problem_is_unchanged():
    p, args = branching()
    handler = signal.getsignal(signal.SIGINT)
    before, x = snapshot(p), p.getSolution()
    calls = []

    def fails(prob, data, k):
        calls.append(k)
        raise ValueError("from the solve callback")

    cbobj, cbstatus = ["untouched"], []
    with pytest.raises(ValueError, match="from the solve callback"):
        p.strongbranchcb(*args, cbobj, cbstatus, fails)
    assert calls == [0]
    assert cbobj == ["untouched"]
    assert signal.getsignal(signal.SIGINT) is handler
    assert snapshot(p) == before and p.getSolution() == x
    # Nothing is left over: the next call runs every change.
    p.strongbranchcb(*args, cbobj, cbstatus, lambda *a: None)
    assert LPStatus.UNSTARTED not in cbstatus


def test_bad_arguments_are_refused():
    p, (cols, types, vals, iterlim) = branching()
    before = snapshot(p)
    for callback in (None, 3):
        with pytest.raises(nivra.InterfaceError, match="Argument 'callback' must be callable"):
            p.strongbranchcb(cols, types, vals, iterlim, [], [], callback)
    with pytest.raises(nivra.InterfaceError, match="Mismatched lengths in arguments"):
        p.strongbranchcb(cols, types[:-1], vals, iterlim, [], [], lambda *a: 0)
    with pytest.raises(nivra.SolverValueError, match="bndtype\\[0\\] is 'X'"):
        p.strongbranchcb(cols, ["X"] * 6, vals, iterlim, [], [], lambda *a: 0)
    with pytest.raises(TypeError):
        p.strongbranchcb(cols, types, vals, iterlim, [], [])  # no callback
    assert snapshot(p) == before


def test_the_call_holds_no_references_afterwards():
    p, args = branching()

    def cb(prob, data, k):
        return 0

    def fails(prob, data, k):
        raise KeyError(k)

    data = object()
    base = sys.getrefcount(cb), sys.getrefcount(fails), sys.getrefcount(data)
    p.strongbranchcb(*args, [], [], cb, data)
    with pytest.raises(KeyError):
        p.strongbranchcb(*args, [], [], fails, data)
    assert (sys.getrefcount(cb), sys.getrefcount(fails), sys.getrefcount(data)) == base
