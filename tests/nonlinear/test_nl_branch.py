"""Mixed-integer nonlinear models by the successive linear programming branch and bound
(nlp_solver = 1): the optimum of a published model, and the nonlinear node callbacks."""
import pytest
from helpers.transfer import quiet

import nivra

LOCALLY_OPTIMAL, UNFINISHED = 1, 6
SYNTHESIS_OPTIMUM = 6.009759  # Duran and Grossmann (1986), example 1


def synthesis(solver):
    """The process-synthesis model of examples/process_synthesis.py."""
    p = quiet()
    p.setControl("nlp_solver", solver)
    x1 = p.addVariable(lb=0, ub=2)
    x2 = p.addVariable(lb=0, ub=2)
    x3 = p.addVariable(lb=0, ub=1)
    y = p.addVariables(3, vartype=nivra.binary)
    first, second = nivra.log(x2 + 1), nivra.log(x1 - x2 + 1)
    p.addConstraint(0.8 * first + 0.96 * second - 0.8 * x3 >= 0,
                    first + 1.2 * second - x3 - 2 * y[2] >= -2,
                    x2 - x1 <= 0,
                    x2 - 2 * y[0] <= 0,
                    x1 - x2 - 2 * y[1] <= 0,
                    y[0] + y[1] <= 1)
    p.setObjective(5 * y[0] + 6 * y[1] + 8 * y[2] + 10 * x1 - 7 * x3 - 18 * first
                   - 19.2 * second + 10)
    return p, y


@pytest.mark.parametrize("solver", [1, 0])
def test_process_synthesis_by_either_branch_and_bound(solver):
    p, y = synthesis(solver)
    status = p.optimize()
    assert status == (nivra.enums.SolveStatus.COMPLETED, nivra.enums.SolStatus.FEASIBLE)
    assert p.getAttrib("nlp_status") == LOCALLY_OPTIMAL
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


def test_node_limit_keeps_the_incumbent():
    p, _ = synthesis(1)
    p.setControl("maxmipsols", 1)
    status = p.optimize()
    assert status == (nivra.enums.SolveStatus.STOPPED, nivra.enums.SolStatus.FEASIBLE)
    assert p.attributes.stopstatus == nivra.enums.StopStatus.NODELIMIT
    assert p.attributes.objval >= SYNTHESIS_OPTIMUM - 1e-6
