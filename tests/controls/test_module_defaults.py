"""The module-level controls object: its values reach only problems created afterwards, and
setdefaultcontrol/setdefaults forget them."""

import subprocess
import sys
import textwrap

import numpy as np
import pytest

import nivra
from nivra import _nivra


@pytest.fixture(autouse=True)
def clean_defaults():
    nivra.setdefaults()
    yield
    nivra.setdefaults()


def test_controls_object_is_the_module_level_object():
    assert nivra.controls is _nivra._getcontrols()
    assert type(nivra.controls).__name__ == "control"
    assert nivra.controls.feastol == pytest.approx(1e-7)  # the library default
    assert nivra.controls.FEASTOL == pytest.approx(1e-7)
    assert nivra.controls.__dict__["presolve"] == 1


def test_values_reach_only_problems_created_afterwards():
    before = nivra.problem()
    nivra.controls.feastol = 1e-5
    nivra.controls.PRESOLVE = 0
    assert nivra.controls.feastol == 1e-5 and nivra.controls.presolve == 0
    after = nivra.problem()
    assert after.controls.feastol == pytest.approx(1e-5) and after.controls.presolve == 0
    assert before.controls.feastol == pytest.approx(1e-7) and before.controls.presolve == 1
    before.reset()  # a reset problem starts again with the module defaults
    assert before.controls.presolve == 0
    text = repr(nivra.controls)
    assert "'feastol': 1e-05" in text and "'presolve': 0" in text


def test_setdefaultcontrol_and_setdefaults_forget_values():
    nivra.controls.feastol = 1e-5
    nivra.controls.presolve = 0
    assert nivra.setdefaultcontrol("FEASTOL") is None
    assert nivra.controls.feastol == pytest.approx(1e-7)
    assert nivra.controls.presolve == 0
    assert nivra.problem().controls.feastol == pytest.approx(1e-7)
    nivra.setdefaultcontrol("feastol")  # not set: nothing to forget
    assert nivra.setdefaults() is None
    assert nivra.controls.presolve == 1
    assert nivra.problem().controls.presolve == 1
    with pytest.raises(nivra.InterfaceError, match="Incorrect control name"):
        nivra.setdefaultcontrol("nosuch")
    with pytest.raises(nivra.ModelError, match="neither all-lower nor all-upper"):
        nivra.setdefaultcontrol("FeasTol")
    with pytest.raises(TypeError):
        nivra.setdefaultcontrol(8511)
    nivra.setdefaultcontrol(ipar="presolve")


def test_module_values_are_checked_by_type():
    with pytest.raises(nivra.ModelError,
                       match="Cannot set non-integer value to an integer control"):
        nivra.controls.presolve = 1.0
    with pytest.raises(nivra.ModelError, match="floating-point control"):
        nivra.controls.feastol = np.float32(1e-5)
    with pytest.raises(nivra.InterfaceError, match="Incorrect control name"):
        nivra.controls.nosuch = 1
    with pytest.raises(nivra.InterfaceError, match="Incorrect control name"):
        nivra.controls.nosuch
    with pytest.raises(nivra.InterfaceError, match="Incorrect control name"):
        nivra.controls.cols  # attributes are no controls
    with pytest.raises(nivra.ModelError, match="Controls cannot be deleted"):
        del nivra.controls.feastol
    with pytest.raises(nivra.ModelError, match="must not contain a zero character"):
        nivra.controls.logfile = "x\0.log"
    nivra.controls.logfile = "x.log"
    assert nivra.problem().controls.logfile == "x.log"


def test_nonlinear_postsolve_default_in_a_fresh_process():
    # The first look at the module-level object builds the tables with the nonlinear solver's
    # lists and records its post-solve default, which every new problem then starts with.
    out = subprocess.run([sys.executable, "-c", textwrap.dedent("""
        import nivra
        from nivra import _nivra
        print("'nslp_postsolve': 1" in repr(_nivra._getcontrols()))
        p = nivra.problem()
        print(p.name(), p.controls.nslp_postsolve, nivra.controls.nslp_postsolve)
    """)], capture_output=True, text=True, timeout=120)
    assert out.returncode == 0, out.stderr
    assert out.stdout.splitlines() == ["True", "noname 1 1"]
