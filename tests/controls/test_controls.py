"""Controls and attributes of a problem: names in either case, ids, the forms of getControl,
setControl and getAttrib, value checks, the view objects, and reference counts."""

import sys

import numpy as np
import pytest

import nivra
from nivra import enums

FEASTOL_ID = 8511
PRESOLVE_ID = 8011


@pytest.fixture
def p():
    return nivra.problem(name="ctl")


def test_names_in_either_case_reach_the_same_control(p):
    p.controls.FEASTOL = 1e-6
    assert p.controls.feastol == p.controls.FEASTOL == pytest.approx(1e-6)
    assert p.getControl("FeasTol".lower()) == p.getControl("FEASTOL")
    p.setControl("PRESOLVE", 0)
    assert p.controls.presolve == 0
    assert p.attributes.COLS == p.attributes.cols == 0
    for access in (lambda: p.controls.FeasTol, lambda: p.getControl("FeasTol"),
                   lambda: p.attributes.Cols, lambda: p.setControl("FeasTol", 1e-6),
                   lambda: setattr(p.controls, "FeasTol", 1e-6)):
        with pytest.raises(nivra.ModelError,
                           match="Control or attribute is neither all-lower nor all-upper case"):
            access()
    with pytest.raises(nivra.ModelError, match="Control or attribute name is too long"):
        p.getControl("x" * 1025)
    with pytest.raises(nivra.InterfaceError, match="Incorrect control name"):
        p.getControl("x" * 1024)


def test_getcontrol_forms(p):
    everything = p.getControl()
    assert isinstance(everything, dict) and len(everything) > 50
    assert all(k == k.lower() for k in everything)
    assert everything["feastol"] == pytest.approx(1e-7) and everything["logfile"] == ""
    assert p.getControl(["presolve", "FEASTOL"]).keys() == {"presolve", "feastol"}
    assert p.getControl(("presolve",)).keys() == {"presolve"}
    assert p.getControl("presolve", "feastol").keys() == {"presolve", "feastol"}
    assert p.getControl(k for k in ["feastol"]) == {"feastol": pytest.approx(1e-7)}
    assert p.getControl(iter(["feastol"])) == {"feastol": pytest.approx(1e-7)}
    assert isinstance(p.getControl("feastol"), float)
    assert isinstance(p.getControl("threads"), int)
    assert p.getControl(FEASTOL_ID) == pytest.approx(1e-7)
    assert p.getControl([FEASTOL_ID, "presolve"]).keys() == {FEASTOL_ID, "presolve"}
    assert p.getControl([]) == {}


def test_getattrib_forms(p):
    attrs = p.getAttrib()
    assert attrs["cols"] == 0 and attrs["probname"] == "ctl" and attrs["objsense"] == 1.0
    assert p.getAttrib("rows", "cols") == {"rows": 0, "cols": 0}
    assert p.getAttrib(1001) == 0
    with pytest.raises(nivra.InterfaceError, match="Invalid solve index"):
        p.getAttrib("cols", solveidx=-1)
    with pytest.raises(TypeError):
        p.getAttrib("cols", solveidx="0")
    with pytest.raises(TypeError):
        p.getAttrib("cols", index=0)
    assert p.getAttrib("cols", solveidx=None) == 0


UNKNOWN_KEYS = [
    (nivra.InterfaceError, "Incorrect control name", lambda p: p.getControl("nosuchcontrol")),
    (nivra.InterfaceError, "Incorrect control name", lambda p: p.getControl("cols")),
    (nivra.InterfaceError, "Incorrect attribute name", lambda p: p.getAttrib("feastol")),
    (nivra.InterfaceError, "Unknown control ID 4242", lambda p: p.getControl(4242)),
    (nivra.InterfaceError, "Unknown control ID", lambda p: p.getControl(2 ** 40)),
    # an attribute id: the library refuses it as a control
    (nivra.SolverError, "1001", lambda p: p.getControl(1001)),
    (nivra.InterfaceError, "Incorrect control name", lambda p: p.getControl(1.5)),
    (nivra.InterfaceError, "Incorrect control name", lambda p: p.controls.nosuchcontrol),
    (nivra.InterfaceError, "Incorrect attribute name", lambda p: p.attributes.feastol),
    (nivra.InterfaceError, "Incorrect control name",
     lambda p: setattr(p.controls, "nosuchcontrol", 1)),
]


def test_unknown_keys(p):
    for exc, message, access in UNKNOWN_KEYS:
        with pytest.raises(exc, match=message):
            access(p)


def test_enumeration_members(p):
    presolve = p.controls.presolve
    assert type(presolve) is enums.Presolve and presolve == enums.Presolve.ON == 1
    assert type(p.getControl(PRESOLVE_ID)) is enums.Presolve
    assert type(p.attributes.lpstatus) is enums.LPStatus
    assert type(p.attributes.solstatus) is enums.SolStatus
    assert type(p.attributes.stopstatus) is enums.StopStatus
    assert p.getControl("heursearchroot") == enums.HeuristicSearchSelect(19)
    p.controls.presolve = 0
    assert p.controls.presolve is enums.Presolve.OFF
    p.controls.presolve = enums.Presolve.FORCED
    assert p.controls.presolve is enums.Presolve.FORCED
    p.controls.backtrack = 0  # a value within the bounds that the class does not name
    assert type(p.controls.backtrack) is int and p.controls.backtrack == 0
    assert type(p.controls.threads) is int


def test_value_checks(p):
    p.controls.feastol = 1  # an int for a double control
    assert p.controls.feastol == 1.0
    for ok in (np.float64(1e-5), np.int32(1), np.int64(1), np.int8(1), True):
        p.controls.feastol = ok
    view = p.controls
    for message, call in [
            ("non-numerical value to a floating-point",
             lambda: setattr(view, "feastol", np.float32(1e-5))),
            ("non-numerical value to a floating-point", lambda: p.setControl("feastol", "1e-5")),
            ("non-integer value to an integer", lambda: setattr(view, "threads", 1.0)),
            ("non-integer value to an integer", lambda: setattr(view, "threads", np.uint8(1))),
            ("non-string value to a string", lambda: setattr(view, "logfile", 3))]:
        with pytest.raises(nivra.ModelError, match=f"Cannot set {message} control"):
            call()
    for ok in (2, np.int16(2), np.int64(2), True):
        p.controls.threads = ok
    p.controls.logfile = "run.log"
    assert p.controls.logfile == "run.log"
    with pytest.raises(nivra.ModelError, match="must not contain a zero character"):
        p.controls.logfile = "run\0.log"
    p.controls.logfile = "ünï.log"
    assert p.controls.logfile == "ünï.log"
    with pytest.raises(OverflowError):
        p.controls.threads = 2 ** 70
    assert p.controls.threads == 1


def test_library_bounds_are_enforced_and_failures_change_nothing(p):
    with pytest.raises(nivra.SolverError, match="feastol"):
        p.controls.feastol = 5.0
    with pytest.raises(nivra.SolverError, match="presolve"):
        p.setControl("presolve", 7)
    assert p.controls.feastol == pytest.approx(1e-7) and p.controls.presolve == 1


def test_setcontrol_forms(p):
    assert p.setControl("feastol", 1e-6) is None
    p.setControl(FEASTOL_ID, 2e-6)
    assert p.controls.feastol == pytest.approx(2e-6)
    p.setControl({"presolve": 0, "FEASTOL": 3e-6})
    assert p.getControl("presolve", "feastol") == {"presolve": 0, "feastol": pytest.approx(3e-6)}
    # A failing pair stops the dictionary: the pairs before it stay set.
    with pytest.raises(nivra.ModelError):
        p.setControl({"presolve": 2, "threads": 1.5, "feastol": 4e-6})
    assert p.controls.presolve == 2 and p.controls.feastol == pytest.approx(3e-6)
    with pytest.raises(nivra.ModelError, match="setControl requires at least one argument"):
        p.setControl()
    with pytest.raises(nivra.ModelError,
                       match="Single argument to setControl must be a dictionary"):
        p.setControl(42)
    with pytest.raises(nivra.ModelError, match="setControl: arguments mismatch"):
        p.setControl("feastol", 1e-6, 3)
    with pytest.raises(nivra.InterfaceError, match="Control name cannot be interpreted as string"):
        p.setControl(None, 1)
    with pytest.raises(nivra.InterfaceError, match="Incorrect control name"):
        p.setControl("nosuch", 1)


def test_views_are_read_only_members(p):
    with pytest.raises(nivra.ModelError, match="A problem's attribute cannot be set"):
        p.attributes.cols = 3
    with pytest.raises(nivra.ModelError, match="A problem's attribute cannot be set"):
        del p.attributes.cols
    with pytest.raises(nivra.ModelError, match="Controls cannot be deleted"):
        del p.controls.feastol
    for member in ("controls", "attributes", "objattribs"):
        with pytest.raises(AttributeError):
            setattr(p, member, None)
    with pytest.raises(TypeError):
        type(p.controls)()
    with pytest.raises(TypeError):
        type(p.attributes)()


def test_view_introspection(p):
    assert "feastol" in dir(p.controls) and "cols" in dir(p.attributes)
    assert p.controls.__dict__["feastol"] == (FEASTOL_ID, 2, 0)
    assert p.controls.__class__.__name__ == "control"
    assert p.attributes.__class__.__name__ == "attribute"
    text = repr(p.controls)
    assert "'feastol': 1e-07" in text and "'presolve': <Presolve.ON: 1>" in text
    assert "'probname': 'ctl'" in str(p.attributes)
    assert not hasattr(p.controls, "__nonexistent_special__")


def test_enumeration_members_are_not_leaked():
    member = nivra.enums.Presolve.ON
    before = sys.getrefcount(member)
    for _ in range(50):
        q = nivra.problem()
        q.controls.presolve, q.getControl("presolve"), q.getControl(["presolve"]), repr(q.controls)
    del q
    assert sys.getrefcount(member) == before


def test_reference_counts(p):
    key, value = "feastol", 1e-6
    counts = sys.getrefcount(key), sys.getrefcount(value), sys.getrefcount(p)
    for _ in range(20):
        p.setControl(key, value)
        p.getControl(key)
        p.getControl([key, "presolve"])
        p.setControl({key: value})
        with pytest.raises(nivra.ModelError):
            p.setControl(key, "bad")
    assert (sys.getrefcount(key), sys.getrefcount(value), sys.getrefcount(p)) == counts
