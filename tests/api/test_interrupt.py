"""Ctrl-C during the long analysis calls (IIS searches, repairs, tuning): the call stops and
returns what it has, the process lives on, and the interpreter's own handler is back. Each
scenario runs in a child process, since a Ctrl-C that reached no handler would end it."""

import subprocess
import sys
import textwrap
from pathlib import Path

import pytest

DATA = str(Path(__file__).resolve().parents[1] / "data")

PRELUDE = """
import os, signal, threading, time
import nivra

# As in an interactive interpreter (a child of a background job starts with SIGINT ignored).
signal.signal(signal.SIGINT, signal.default_int_handler)

def ctrl_c():
    os.kill(os.getpid(), signal.SIGINT)

def ctrl_c_on_first_message(p, word=""):
    sent = []
    def message(prob, data, text, kind):
        if not sent and word in (text or ""):
            sent.append(text)
            ctrl_c()
    p.addcbmessage(message)
    return sent

def after_the_call():
    assert signal.getsignal(signal.SIGINT) is signal.default_int_handler
    try:
        ctrl_c()
        time.sleep(1)
    except KeyboardInterrupt:
        print("KeyboardInterrupt")
"""

SCENARIOS = {
    # Many disjoint conflicts: finding them all takes minutes; the search stops at Ctrl-C with
    # the subsystems found so far, and a later call goes on from there.
    "iisall": """
        n = 150
        p = nivra.problem(name="conflicts")
        p.controls.outputlog = 0
        x = p.addVariables(n, ub=10)
        for i in range(n):
            p.addConstraint(x[i] >= 4, x[i] <= 2)
        def later():
            time.sleep(0.3)
            ctrl_c()
        threading.Thread(target=later, daemon=True).start()
        p.iisall()
        found = p.attributes.numiis
        assert 1 <= found < n, found
        assert p.attributes.iissolstatus == nivra.enums.IISSolStatus.COMPLETED
        assert p.iisnext() == 0 and p.attributes.numiis == found + 1
        after_the_call()
    """,
    # The repair's first phase stops at once: a stopped status, not a failure or a repair.
    "repair": """
        import numpy as np
        rng = np.random.default_rng(1)
        m = n = 40
        p = nivra.problem(name="transport")
        p.controls.outputlog = 1
        p.controls.presolve = 0
        x = p.addVariables(m, n)
        p.addConstraint(nivra.Sum(x[i, :]) <= rng.uniform(5, 10) for i in range(m))
        p.addConstraint(nivra.Sum(x[:, j]) >= rng.uniform(10, 20) for j in range(n))
        p.setObjective(nivra.Sum(rng.uniform(1, 9, (m, n)) * x))
        sent = ctrl_c_on_first_message(p)
        assert p.repairinfeas("c", "n", "n", 0.0, 1.0, 0.0, 0.0, 0.0) == 3
        assert sent and p.attributes.stopstatus == nivra.enums.StopStatus.INTERRUPT
        p.removecbmessage()
        p.controls.outputlog = 0
        assert p.repairinfeas("c", "n", "n", 0.0, 1.0, 0.0, 0.0, 0.0) == 0
        after_the_call()
    """,
    # Ctrl-C between two of the tuner's runs ends the tuning, keeping the controls.
    "tune": """
        p = nivra.problem(name="tuned")
        p.read(DATA + "/bell5.mps")
        lines = []
        p.addcbmessage(lambda prob, data, text, kind: lines.append(text))
        ctrl_c_on_first_message(p, "Tuner:")
        before = p.controls.presolve, p.controls.miprelstop
        p.tune()
        assert any("interrupted" in line for line in lines), lines
        assert (p.controls.presolve, p.controls.miprelstop) == before
        after_the_call()
    """,
}


@pytest.mark.parametrize("scenario", sorted(SCENARIOS))
def test_ctrl_c_stops_the_long_call_and_nothing_else(scenario):
    code = PRELUDE + f"DATA = {DATA!r}\n" + textwrap.dedent(SCENARIOS[scenario])
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          timeout=120)
    assert done.returncode == 0, done.stderr[-2000:]
    assert done.stdout.splitlines()[-1] == "KeyboardInterrupt"
