"""The leak check of the reference-count tests."""

import gc
import sys


def counts(*objs):
    """The reference counts of objs."""
    return [sys.getrefcount(o) for o in objs]


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
