"""Helpers for the modelling-layer tests: unlinked variables without the deprecation noise, the
nonlinear check, a way to put a variable into the states that only a problem can
create (deleted, or owned by some problem), and the leak check of tests/conftest.py."""

import ctypes
import importlib.util
import pathlib
import warnings

import nivra
from nivra import _nivra

DELETED_OWNER = 0xDEAD

# Layout of the variable record after the object header (reference count and type pointer).
_OWNER_OFFSET = 2 * ctypes.sizeof(ctypes.c_void_p)


def new_vars(*names):
    """Unlinked variables with the given names, created in order (so ordered by identifier)."""
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nivra.DeprecationWarning)
        return [nivra.var(name=n) for n in names]


def set_column(v, column):
    """Writes the identifier of a variable (a linked variable's column index)."""
    ctypes.c_uint32.from_address(id(v) + _OWNER_OFFSET + ctypes.sizeof(ctypes.c_void_p)).value = column


def set_owner(v, owner):
    """Writes the owner field of a variable: 0 unlinked, DELETED_OWNER deleted, any other
    value pretends that a problem at that address owns it."""
    ctypes.c_void_p.from_address(id(v) + _OWNER_OFFSET).value = owner or None


def assert_nonlinear(r):
    """Checks that a result that is no longer quadratic became a nonlinear expression."""
    assert type(r).__name__ == "nonlinear", r
    return r


def algebra(name, *args):
    """Calls an internal routine of the algebra by name."""
    return _nivra._algebra(name, *args)


def _root_conftest():
    path = pathlib.Path(__file__).parents[1] / "conftest.py"
    spec = importlib.util.spec_from_file_location("nivra_tests_conftest", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


assert_no_leak = _root_conftest().assert_no_leak
