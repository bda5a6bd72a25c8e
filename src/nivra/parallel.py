"""Many solves at once: a function that builds and solves one model, mapped over scenarios.

``nivra.parallel.map(solve_one, scenarios)`` runs ``solve_one(scenario)`` for every scenario on
a Dask cluster (``dask.distributed``, installed with ``pip install "dask[distributed]"``): a
local cluster of worker processes unless a ``client`` of an existing cluster is given. Results
come back in the order of the scenarios, each as an :class:`Outcome` that holds the function's
value or the exception it raised, so one failing scenario does not lose the others.

The function runs in the workers: it must be importable there (defined in a module, not in an
interactive session, when the cluster runs on other machines) and must return picklable data
(numbers, NumPy arrays, lists), not nivra objects. Each call builds its own problem.

A solve releases the GIL while the optimizer runs, so on a single machine a thread pool also
works, with no cluster and no pickling::

    from concurrent.futures import ThreadPoolExecutor
    with ThreadPoolExecutor(4) as pool:
        results = list(pool.map(solve_one, scenarios))

Give each problem ``threads=1`` (``p.controls.threads = 1``) when many solves share the cores.
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import Any, Callable, Iterable

__all__ = ["Outcome", "map"]


@dataclass(frozen=True)
class Outcome:
    """What one scenario gave: its value, or the exception that its call raised."""

    scenario: Any
    value: Any = None
    error: BaseException | None = None

    @property
    def ok(self) -> bool:
        return self.error is None

    def result(self) -> Any:
        """The value, or the scenario's exception raised again."""
        if self.error is not None:
            raise self.error
        return self.value


def _run(func: Callable[[Any], Any], scenario: Any) -> tuple[bool, Any]:
    # Runs in a worker: the exception travels back as a value, so that the map goes on.
    try:
        return True, func(scenario)
    except Exception as e:  # noqa: BLE001 - every scenario's failure is reported, not raised
        return False, e


def _distributed():
    try:
        import dask.distributed
    except ImportError as e:
        raise ImportError('nivra.parallel needs Dask: pip install "dask[distributed]"') from e
    return dask.distributed


def map(func: Callable[[Any], Any], scenarios: Iterable[Any], *, client: Any = None,
        n_workers: int | None = None) -> list[Outcome]:
    """``func(scenario)`` for every scenario on a Dask cluster, as Outcomes in scenario order.

    ``client``: a ``dask.distributed.Client`` of the cluster to use; without one, a local
    cluster of ``n_workers`` single-threaded worker processes (default: one per core) is
    started for this call and shut down afterwards."""
    scenarios = list(scenarios)
    if not callable(func):
        raise TypeError(f"func must be callable, not {type(func).__name__}")
    if client is not None:
        return _gather(client, func, scenarios)
    distributed = _distributed()
    # No dashboard; the scheduler's own HTTP server (health, metrics) takes a free port rather
    # than 8787, which another cluster may hold (the scheduler would warn and move).
    with distributed.LocalCluster(n_workers=n_workers, threads_per_worker=1, processes=True,
                                  dashboard_address=None,
                                  scheduler_kwargs={"dashboard_address": ":0"}) as cluster, \
            distributed.Client(cluster) as local:
        return _gather(local, func, scenarios)


def _gather(client: Any, func: Callable[[Any], Any], scenarios: list[Any]) -> list[Outcome]:
    # pure=False: two equal scenarios are still two solves (a model may draw random numbers).
    futures = client.map(_run, [func] * len(scenarios), scenarios, pure=False)
    done = client.gather(futures)
    return [Outcome(s, value=v) if ok else Outcome(s, error=v)
            for s, (ok, v) in zip(scenarios, done)]
