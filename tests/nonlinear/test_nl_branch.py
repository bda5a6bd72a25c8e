"""Mixed-integer nonlinear models by the successive linear programming branch and bound
(nlp_solver = 1): the optimum of a published model, and the nonlinear node callbacks (the limits
are tested in the library's tests, tests/libnvra/test_nl_branch.cpp)."""
import importlib.util
import pathlib

import pytest

import nivra

_SCRIPT = pathlib.Path(__file__).parents[2] / "examples" / "process_synthesis.py"
_SPEC = importlib.util.spec_from_file_location("process_synthesis", _SCRIPT)
EXAMPLE = importlib.util.module_from_spec(_SPEC)
_SPEC.loader.exec_module(EXAMPLE)

LOCALLY_OPTIMAL, GLOBALLY_OPTIMAL, UNFINISHED = 1, 2, 6
SYNTHESIS_OPTIMUM = 6.009759  # Duran and Grossmann (1986), example 1


def synthesis(solver):
    """The process-synthesis model of examples/process_synthesis.py, for solver nlp_solver."""
    p, y, _ = EXAMPLE.build()
    p.setControl("nlp_solver", solver)
    return p, y


@pytest.mark.parametrize("solver", [1, 0])
def test_process_synthesis_by_either_branch_and_bound(solver):
    p, y = synthesis(solver)
    status = p.optimize()
    # The model is convex: Bonmin's search over its relaxations proves its optimum; the SLP
    # search, which drops a node whose solve fails, reports a solution.
    proven = solver == 0
    solstatus = nivra.enums.SolStatus.OPTIMAL if proven else nivra.enums.SolStatus.FEASIBLE
    assert status == (nivra.enums.SolveStatus.COMPLETED, solstatus)
    assert p.getAttrib("nlp_status") == (GLOBALLY_OPTIMAL if proven else LOCALLY_OPTIMAL)
    mipstatus = nivra.enums.MIPStatus.OPTIMAL if proven else nivra.enums.MIPStatus.SOLUTION
    assert p.attributes.mipstatus == mipstatus
    assert p.attributes.objval == pytest.approx(SYNTHESIS_OPTIMUM, abs=1e-6)
    assert list(p.getSolution(y)) == [0, 1, 0]
    if solver == 1:
        assert p.attributes.nodes > 1
        assert p.getAttrib("slp_iterations") > 0 and p.getAttrib("ipm_iterations") == 0


def with_callbacks(**returns):
    """The synthesis model with every node callback counting its calls; returns[kind] is the
    value the callback returns at its first call (0 after)."""
    p, _ = synthesis(1)
    calls = {"prenode": 0, "slpnode": 0, "optnode": 0, "intsol": 0}

    def recorder(kind):
        def callback(problem, data):
            assert data == kind and isinstance(problem, nivra.problem)
            calls[kind] += 1
            return returns.get(kind) if calls[kind] == 1 else None
        return callback

    for kind in calls:
        getattr(p, "setcb" + kind)(recorder(kind), kind)
    return p, calls


def test_node_callbacks_are_called_at_every_node():
    p, calls = with_callbacks()
    p.optimize()
    assert p.attributes.objval == pytest.approx(SYNTHESIS_OPTIMUM, abs=1e-6)
    nodes = p.attributes.nodes
    assert calls["prenode"] == calls["slpnode"] >= nodes
    assert calls["optnode"] == nodes
    assert calls["intsol"] >= 1


def test_node_callback_out_values_change_the_search():
    # slpnode returning 1 drops the root: nothing is solved.
    p, calls = with_callbacks(slpnode=1)
    status = p.optimize()
    assert status[1] == nivra.enums.SolStatus.INFEASIBLE
    assert p.attributes.nodes == 0 and calls["optnode"] == 0
    # optnode returning 1 marks the root infeasible: one node.
    p, calls = with_callbacks(optnode=1)
    status = p.optimize()
    assert status[1] == nivra.enums.SolStatus.INFEASIBLE
    assert p.attributes.nodes == 1 and calls["intsol"] == 0
    # intsol returning 1 stops the search at the first incumbent, which is kept.
    p, calls = with_callbacks(intsol=1)
    status = p.optimize()
    assert status == (nivra.enums.SolveStatus.STOPPED, nivra.enums.SolStatus.FEASIBLE)
    assert p.attributes.stopstatus == nivra.enums.StopStatus.INTERRUPT
    assert p.getAttrib("nlp_status") == UNFINISHED and calls["intsol"] == 1
    assert p.attributes.objval >= SYNTHESIS_OPTIMUM - 1e-6


def test_node_callback_exception_is_raised_by_optimize():
    p, _ = synthesis(1)

    def failing(problem, data):
        raise ValueError("from optnode")

    p.setcboptnode(failing, None)
    with pytest.raises(ValueError, match="from optnode"):
        p.optimize()


def test_bonmin_route_announces_its_solution_once():
    p, calls = with_callbacks()
    p.setControl("nlp_solver", 0)
    p.optimize()
    assert calls == {"prenode": 0, "slpnode": 0, "optnode": 0, "intsol": 1}
