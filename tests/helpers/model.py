"""Helpers of the modelling-layer tests: unlinked variables without the deprecation noise, the
nonlinear check, the internal routines of the algebra, and a way to put a model object into the
states that only a problem can create (deleted, or owned by some problem)."""

import warnings

import nivra
from nivra import _nivra

DELETED_OWNER = 0xDEAD

def new_vars(*names):
    """Unlinked variables with the given names, created in order (so ordered by identifier)."""
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nivra.DeprecationWarning)
        return [nivra.var(name=n) for n in names]


def set_owner(obj, owner, index=None):
    """Sets the owner of a variable, SOS or block-less constraint: 0 unlinked, DELETED_OWNER
    deleted, id(p) linked to problem p, or any other value as a stand-in owner that the code
    under test only compares; index, when given, becomes its column, set or row."""
    extra = () if index is None else (index,)
    _nivra._algebra("set_owner", obj, owner, *extra)


def assert_nonlinear(r):
    """Checks that a result that is no longer quadratic became a nonlinear expression."""
    assert type(r).__name__ == "nonlinear", r
    return r


def algebra(name, *args):
    """Calls an internal routine of the algebra by name."""
    return _nivra._algebra(name, *args)
