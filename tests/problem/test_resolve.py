"""Re-solves after edits: the engine receives the edits as changes and keeps its basis, and
every re-solve must agree with a cold solve of a copy of the edited problem."""

import numpy as np
import pytest

import nivra


def random_lp(seed, m=40, n=60):
    """A feasible, bounded LP: min c'x, A x <= b with b > 0, 0 <= x <= 10, dense-ish A."""
    rng = np.random.default_rng(seed)
    p = nivra.problem(name=f"lp{seed}")
    p.controls.outputlog = 0
    x = p.addVariables(n, ub=10)
    A = np.where(rng.random((m, n)) < 0.3, rng.uniform(-1, 3, (m, n)), 0.0)
    b = rng.uniform(5, 20, m)
    for i in range(m):
        p.addConstraint(nivra.Sum(A[i, j] * x[j] for j in range(n) if A[i, j]) <= b[i])
    p.setObjective(nivra.Sum(rng.uniform(-5, 1) * x[j] for j in range(n)))
    return p, x, rng


def cold(p):
    """The same problem solved by a fresh engine."""
    q = p.copy()
    q.controls.outputlog = 0
    q.optimize()
    return q


def assert_same_as_cold(p):
    p.optimize()
    q = cold(p)
    assert p.attributes.solstatus == q.attributes.solstatus
    if p.attributes.solstatus in (nivra.enums.SolStatus.OPTIMAL, nivra.enums.SolStatus.FEASIBLE):
        assert p.attributes.objval == pytest.approx(q.attributes.objval, rel=1e-9, abs=1e-9)
    return p.attributes.simplexiter


# The larger model has more matrix entries than the library keeps a record of between solves
# (about 72,000): its re-solves read the engine's model back instead.
@pytest.mark.parametrize("m, n", [(40, 60), (300, 800)])
def test_every_kind_of_edit_re_solves_to_the_cold_optimum(m, n):
    p, x, rng = random_lp(1, m, n)
    p.optimize()
    n, m = p.attributes.cols, p.attributes.rows
    edits = [
        lambda: p.chgbounds([3, 7], ["U", "L"], [2.5, 1.0]),
        lambda: p.chgobj([0, 5, -1], [-7.0, 2.0, -3.5]),
        lambda: p.chgrhs([0, 4], [3.0, 30.0]),
        lambda: p.chgcoef(2, 9, 4.0),
        lambda: p.chgcoef(2, 9, 0.0),  # an entry removed
        lambda: p.chgmcoef([1, 1, 6], [0, 2, 59], [1.5, -0.5, 2.0]),
        lambda: p.addrows(["L", "G"], [4.0, 1.0], [0, 3], [0, 1, 2, 10, 11], [1, 1, 1, 1, 1]),
        lambda: p.addcols([-9.0], [0], [0, 5], [1.0, 2.0], [0.0], [4.0]),
        lambda: p.chgrowtype([1], ["E"]),
        lambda: p.chgcoltype([0, 1], ["I", "I"]),  # a MIP now
        lambda: p.chgcoltype([0, 1], ["C", "C"]),
        lambda: p.delConstraint([m + 1]),  # the last row
        lambda: p.delVariable([n]),  # the last column
        lambda: p.delConstraint([3]),  # a row in the middle: the rows after it move
        lambda: p.delVariable([10, 20]),
        lambda: p.chgobjsense(-1),  # the maximum is bounded too (0 <= x <= 10)
        lambda: p.addConstraint(nivra.Sum(x[30:40]) <= 5),
    ]
    for edit in edits:
        edit()
        assert_same_as_cold(p)


def test_infeasible_after_an_edit_and_back():
    p, x, _ = random_lp(2)
    p.optimize()
    p.addConstraint(nivra.Sum(x) >= 10_000)  # beyond every upper bound
    p.optimize()
    assert p.attributes.solstatus == cold(p).attributes.solstatus
    assert p.attributes.lpstatus == nivra.enums.LPStatus.INFEAS
    p.delConstraint(p.attributes.rows - 1)
    assert_same_as_cold(p)


def test_a_small_edit_starts_from_the_last_basis():
    p, x, _ = random_lp(3, m=120, n=200)
    p.optimize()
    full = p.attributes.simplexiter
    assert full > 20
    # One bound and one cut: a handful of iterations from the last optimum.
    sol = p.getSolution()
    j = int(np.argmax(sol))
    p.chgbounds([j], ["U"], [sol[j] / 2])
    assert assert_same_as_cold(p) <= full // 4
    p.addConstraint(nivra.Sum(x[:50]) <= 0.9 * sum(p.getSolution()[:50]))
    assert assert_same_as_cold(p) <= full // 4


def infeasible_then_repaired(p, x):
    """An infeasible row, analysed by the engine (IIS, then repair) and deleted again."""
    p.addConstraint(x[0] + x[1] >= 100)  # beyond both upper bounds: one small subsystem
    p.optimize()
    p.iisfirst(1)
    p.iisnext()  # searches with members of the first subsystem relaxed in the engine
    p.iisisolations(1)
    p.repairinfeas("q", "n", "n", 0.0, 1.0, 0.0, 0.0, 0.0)  # on an elastic problem of its own
    p.delConstraint(p.attributes.rows - 1)


def second_objective_solved_then_dropped(p, x):
    """A lexicographic run adds its tolerance row and blended costs to the engine's model."""
    p.addobj(list(x[:20]), [1.0] * 20, 5, 1.0)  # above the first objective's priority
    assert_same_as_cold(p)
    p.delobj(1)


def delayed_row_restored_then_moved(p, x):
    """A delayed row that the solve had to restore; its right-hand side is then loosened. A
    MIP (one integer column, fixed) restores only the rows its solutions violate."""
    p.chgcoltype([59], ["I"])
    p.chgbounds([59, 59], ["L", "U"], [2.0, 2.0])
    p.addConstraint(nivra.Sum(x[:30]) <= 1)
    row = p.attributes.rows - 1
    p.loaddelayedrows([row])
    assert_same_as_cold(p)
    p.chgrhs([row], [4.0])


def ranged_and_analysed(p, x):
    """Ranging moves row ends in the engine and puts them back."""
    p.optimize()
    p.rhssa(list(range(5)), [], [])
    p.objsa(list(x[:5]), [], [])


def matrixtol_raised_and_lowered(p, x):
    """A row that only a coefficient below matrixtol makes binding: gone, then back."""
    p.addrows(["G"], [5e-4], [0], [0], [1e-4])
    p.controls.matrixtol = 1e-3
    with pytest.warns(RuntimeWarning, match="taken as zero"):
        assert_same_as_cold(p)
    p.controls.matrixtol = 1e-6


@pytest.mark.parametrize("other", [infeasible_then_repaired, second_objective_solved_then_dropped,
                                   delayed_row_restored_then_moved, ranged_and_analysed,
                                   matrixtol_raised_and_lowered])
def test_re_solves_after_the_engine_model_was_changed_elsewhere(other):
    """Analyses, multi-objective runs and held rows change the engine's model outside the
    hand-over; the re-solves after them must still be the cold solves."""
    p, x, _ = random_lp(4)
    p.optimize()
    other(p, x)
    assert_same_as_cold(p)
    p.chgobj([0, 1], [-6.0, -6.0])
    assert_same_as_cold(p)
