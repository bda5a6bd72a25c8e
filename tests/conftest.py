import warnings

import pytest

import nivra
from helpers.model import new_vars, set_owner
from helpers.transfer import quiet


@pytest.fixture
def deprecations_as_errors():
    """Turns nivra.DeprecationWarning into an exception for the duration of a test."""
    with warnings.catch_warnings():
        warnings.simplefilter("error", nivra.DeprecationWarning)
        yield


@pytest.fixture
def xyz():
    """Three unlinked variables x, y, z, in identifier order."""
    return new_vars("x", "y", "z")


@pytest.fixture
def xs():
    """Four unlinked variables x0..x3, in identifier order."""
    return new_vars("x0", "x1", "x2", "x3")


@pytest.fixture
def pxy():
    """A quiet problem with variables x and y in [-10, 10]."""
    p = quiet()
    return p, p.addVariable(name="x", lb=-10, ub=10), p.addVariable(name="y", lb=-10, ub=10)


@pytest.fixture
def owned():
    """Yields set_owner and makes every touched variable unlinked again afterwards."""
    touched = []

    def setter(v, owner, index=None):
        touched.append(v)
        set_owner(v, owner, index)

    yield setter
    for v in touched:
        set_owner(v, 0)
