"""Fixtures of the NumPy and aggregate tests; the helpers of the modelling-layer tests are
shared through tests/model."""

import pathlib
import sys

import pytest

sys.path.insert(0, str(pathlib.Path(__file__).parents[1] / "model"))

from model_helpers import new_vars  # noqa: E402


@pytest.fixture
def xs():
    """Four unlinked variables x0..x3, in identifier order."""
    return new_vars("x0", "x1", "x2", "x3")
