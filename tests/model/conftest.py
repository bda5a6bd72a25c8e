"""Fixtures of the modelling-layer tests."""

import pytest

from model_helpers import new_vars, set_owner


@pytest.fixture
def xyz():
    return new_vars("x", "y", "z")


@pytest.fixture
def owned():
    """Yields set_owner and makes every touched variable unlinked again afterwards."""
    touched = []

    def setter(v, owner):
        touched.append(v)
        set_owner(v, owner)

    yield setter
    for v in touched:
        set_owner(v, 0)
