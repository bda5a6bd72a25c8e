"""Module runtime: import, constants, counted library starts, global settings, errors and
message handlers."""

import ctypes

import numpy as np
import pytest

import nivra
from nivra import _nivra

from helpers.process import run_fresh


def test_constants_and_exported_names():
    assert isinstance(nivra.infinity, float) and nivra.infinity == 1e20
    assert (nivra.continuous, nivra.binary, nivra.integer) == (0, 1, 2)
    assert (nivra.semicontinuous, nivra.semiinteger, nivra.partiallyinteger) == (3, 4, 5)
    assert (nivra.minimize, nivra.maximize) == (1, -1)
    for name in ("var", "expression", "sos", "constraint", "problem", "branchobj", "poolcut",
                 "npvar", "npexpr", "npconstraint"):
        assert hasattr(_nivra, name), name
    for hidden in ("control", "attribute", "linterm", "quadterm", "nonlinear", "generic"):
        assert not hasattr(_nivra, hidden), hidden
    assert issubclass(nivra.ModelError, Exception)
    assert issubclass(nivra.SolverError, Exception)
    assert issubclass(nivra.InterfaceError, Exception)
    assert issubclass(nivra.DeprecationWarning, FutureWarning)


def test_version():
    major, minor, build = nivra.getversionnumbers()
    assert nivra.getversion() == f"{major}.{minor}.{build}"
    assert nivra.__version__ == nivra.getversion()
    assert "Nivra" in nivra.getbanner()


def test_second_initialisation_fails_cleanly():
    lib = ctypes.PyDLL(_nivra.__file__)
    init = lib.PyInit__nivra
    init.restype = ctypes.py_object
    with pytest.raises(ImportError, match="already initialized"):
        init()
    assert nivra.getversion()  # the first instance still works


def test_counted_starts():
    out = run_fresh("""
        import nivra
        print(nivra.free())                   # no start: False, nothing happens
        nivra._init(None); nivra._init(None)
        print(nivra.free(), nivra.free())      # True then False
        p = nivra.problem()                    # implicit start
        nivra._init(None)
        print(nivra.free())                    # the implicit start is still there
        print(nivra.free())                    # the last start frees every problem
        try:
            p.setOutputEnabled(True)
        except nivra.ModelError as e:
            print(e)
    """)
    assert out.split("\n")[:5] == ["False", "True False", "True", "False",
                                   "Problem is not initialized"]


def test_init_rejects_bad_arguments():
    with pytest.raises(nivra.InterfaceError):
        nivra._init(3)
    out = run_fresh("""
        import nivra
        try:
            nivra._init("/nonexistent/nivra-data")
        except nivra.InterfaceError as e:
            print(e)
        print(nivra.free())
    """)
    assert "/nonexistent/nivra-data" in out.splitlines()[0]
    assert out.splitlines()[1] == "False"


def test_checked_mode_only_true_enables():
    nivra.setcheckedmode(True)
    assert nivra.getcheckedmode() is True
    nivra.setcheckedmode(1)
    assert nivra.getcheckedmode() is False
    nivra.setcheckedmode(checked_mode=True)
    assert nivra.getcheckedmode() is True


def test_compute_allowed_argument_types():
    nivra.setcomputeallowed(np.int32(0))
    assert nivra.getcomputeallowed() == 0
    nivra.setcomputeallowed(1)
    with pytest.raises(nivra.ModelError, match="should be 0, 1 or -1"):
        nivra.setcomputeallowed(1.0)
    with pytest.raises(nivra.InterfaceError, match="5"):
        nivra.setcomputeallowed(5)  # the library's own check and text
    assert nivra.getcomputeallowed() == 1


def test_truth_valued_switches():
    class Bad:
        def __bool__(self):
            raise ValueError("no truth")

    assert nivra.getOutputEnabled() is True
    nivra.setOutputEnabled(0)
    assert nivra.getOutputEnabled() is False
    nivra.setOutputEnabled("yes")
    assert nivra.getOutputEnabled() is True
    with pytest.raises(nivra.ModelError, match="setOutputEnabled: should be True or False"):
        nivra.setOutputEnabled(Bad())
    with pytest.raises(nivra.ModelError, match="setdebugmode: should be True or False"):
        nivra.setdebugmode(Bad())
    with pytest.raises(nivra.ModelError, match="setConstraintOperatorsEnabled"):
        nivra._setConstraintOperatorsEnabled(Bad())
    nivra.setdebugmode(True)
    assert nivra.getdebugmode() == 1
    nivra.setdebugmode(False)
    assert nivra.getConstraintOperatorsEnabled() is True


def test_featurequery_and_last_error():
    assert nivra.featurequery("lp") is True
    assert nivra.featurequery(feature="nonsense") is False
    with pytest.raises(TypeError):
        nivra.featurequery(3)
    with pytest.raises(nivra.InterfaceError):
        nivra.setcomputeallowed(9)
    code, msg = nivra.getlasterror()
    assert code != 0 and "9" in msg


def test_message_handlers_receive_global_messages():
    seen = []

    def handler(obj, data, thread, msg, msgtype, number):
        seen.append((type(obj).__name__, data, msg, msgtype))

    nivra.addcbmsghandler(handler, "tag", 0)
    try:
        with pytest.raises(nivra.InterfaceError):
            nivra.setcomputeallowed(7)
    finally:
        nivra.removecbmsghandler(None, None)
    assert seen and seen[-1][:2] == ("nvraobject", "tag") and "7" in seen[-1][2]
    assert seen[-1][3] == 4
    seen.clear()
    with pytest.raises(nivra.InterfaceError):
        nivra.setcomputeallowed(8)
    assert seen == []  # removed with both arguments None


def test_message_handler_argument_errors():
    with pytest.raises(nivra.InterfaceError, match="three arguments"):
        nivra.addcbmsghandler(print)
    with pytest.raises(nivra.InterfaceError, match="two arguments"):
        nivra.removecbmsghandler(print)
    nivra.addcbmsghandler(print, None, 0)
    with pytest.raises(nivra.InterfaceError, match="Callback not found"):
        nivra.removecbmsghandler(len, None)
    nivra.removecbmsghandler(print, None)
    with pytest.raises(nivra.InterfaceError, match="empty set"):
        nivra.removecbmsghandler(print, None)


def test_handler_exception_reaches_the_caller():
    def handler(*args):
        raise KeyError("from handler")

    nivra.addcbmsghandler(handler, None, 0)
    try:
        with pytest.raises((KeyError, nivra.InterfaceError)):
            nivra.setcomputeallowed(6)
    finally:
        nivra.removecbmsghandler(handler, None)


def test_problem_output_switch_arguments():
    p = nivra.problem()
    assert p.getOutputEnabled() is True
    p.setOutputEnabled(np.int8(0))
    assert p.getOutputEnabled() is False
    with pytest.raises(nivra.ModelError, match="should be True or False"):
        p.setOutputEnabled(1.5)
    with p:
        pass
    with pytest.raises(nivra.ModelError, match="Problem is not initialized"):
        p.setOutputEnabled(True)
