import gc
import sys
import warnings

import pytest

import nivra


@pytest.fixture
def deprecations_as_errors():
    """Turns nivra.DeprecationWarning into an exception for the duration of a test."""
    with warnings.catch_warnings():
        warnings.simplefilter("error", nivra.DeprecationWarning)
        yield


def assert_no_leak(fn, warmup=3, runs=5):
    """Runs fn repeatedly and fails only if every measured run left allocated blocks behind."""
    for _ in range(warmup):
        fn()
    deltas = []
    for _ in range(runs):
        gc.collect()
        before = sys.getallocatedblocks()
        fn()
        gc.collect()
        deltas.append(sys.getallocatedblocks() - before)
    assert not all(d >= 1 for d in deltas), f"allocated blocks grow on every run: {deltas}"


@pytest.fixture
def leak_check():
    """assert_no_leak as a fixture, for tests that cannot import this file."""
    return assert_no_leak
