"""nivra.parallel: scenarios mapped over a Dask cluster come back in order, each with its value
or its own exception."""

import socket
import sys
import warnings

import pytest

import nivra
import nivra.parallel

distributed = pytest.importorskip("dask.distributed")


def solve(scenario):
    """max x subject to x <= scenario; a negative scenario is infeasible for x >= 0."""
    p = nivra.problem()
    p.setOutputEnabled(False)
    x = p.addVariable()
    p.addConstraint(x <= scenario)
    p.setObjective(x, sense=nivra.maximize)
    p.optimize()
    if p.attributes.solstatus != nivra.enums.SolStatus.OPTIMAL:
        raise ValueError(f"scenario {scenario} is infeasible")
    return p.attributes.objval


def test_map_keeps_order_and_reports_errors_per_scenario():
    scenarios = [5, 3, -1, 8, 3]
    with distributed.Client(processes=False, n_workers=2, threads_per_worker=1,
                            dashboard_address=None) as client:
        outcomes = nivra.parallel.map(solve, scenarios, client=client)
    assert [o.scenario for o in outcomes] == scenarios
    assert [o.value for o in outcomes if o.ok] == [5, 3, 8, 3]
    failed = [o for o in outcomes if not o.ok]
    assert len(failed) == 1 and isinstance(failed[0].error, ValueError)
    with pytest.raises(ValueError, match="scenario -1 is infeasible"):
        failed[0].result()


def test_a_local_cluster_leaves_a_taken_port_8787_alone():
    # The scheduler's HTTP server used to try 8787 and warn when another cluster held it.
    with socket.socket() as held:
        try:
            held.bind(("", 8787))
        except OSError:
            pytest.skip("port 8787 is taken by another process")
        held.listen()
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            outcomes = nivra.parallel.map(solve, [2, 7], n_workers=1)
    assert [o.value for o in outcomes] == [2, 7]
    assert not [w for w in caught if "8787" in str(w.message)]


def test_map_refuses_a_non_callable_and_names_the_missing_package(monkeypatch):
    with pytest.raises(TypeError, match="func must be callable, not int"):
        nivra.parallel.map(3, [1])
    monkeypatch.setitem(sys.modules, "dask.distributed", None)
    with pytest.raises(ImportError, match='pip install "dask\\[distributed\\]"'):
        nivra.parallel.map(solve, [1])
