"""pandas Series and Index as arguments, and solution values of a Series as a Series with its
index. pandas is optional: nothing imports it but the user."""

import gc
import operator
import subprocess
import sys
import textwrap

import pytest

import nivra

pd = pytest.importorskip("pandas")


@pytest.fixture
def plan():
    """A small LP over items a, b, c: x as a Series, solved."""
    p = nivra.problem()
    p.setOutputEnabled(False)
    items = pd.Index(["a", "b", "c"], name="item")
    x = pd.Series(list(p.addVariables(3, ub=5)), index=items, name="x")
    cost = pd.Series([3.0, 1.0, 2.0], index=items)
    cap = pd.Series([4.0, 1.0, 2.0], index=items)
    rows = x.combine(cap, operator.le)
    p.addConstraint(rows, nivra.Sum(x) >= 6)
    p.setObjective(nivra.Dot(cost, x))
    p.optimize()
    return p, x, rows


def test_solution_values_of_a_series_keep_its_index_and_name(plan):
    p, x, rows = plan
    sol = p.getSolution(x)
    assert isinstance(sol, pd.Series) and sol.name == "x"
    assert sol.index.equals(x.index)
    assert sol.to_dict() == {"a": 3.0, "b": 1.0, "c": 2.0}
    assert p.attributes.objval == 3 * 3 + 1 + 2 * 2
    slack, dual = p.getSlacks(rows), p.getDuals(rows)
    assert slack.index.equals(x.index) and slack.to_dict() == {"a": 1.0, "b": 0.0, "c": 0.0}
    assert dual.to_dict() == {"a": 0.0, "b": -2.0, "c": -1.0}
    assert p.getRedCosts(x).index.equals(x.index)
    # A Series of expressions, and the values through an Index or a Series of column indices.
    assert p.getSolution(2 * x).to_dict() == {"a": 6.0, "b": 2.0, "c": 4.0}
    assert p.getSolution(pd.Index(list(x))) == [3.0, 1.0, 2.0]
    by_column = p.getSolution(pd.Series([2, 0], index=[10, 20]))
    assert by_column.to_dict() == {10: 2.0, 20: 3.0}


def test_series_and_index_arguments_are_taken_by_position(plan):
    p, x, _ = plan
    # The Series' own index (labels 7, 8, 9) plays no part: values are taken in order.
    p.chgbounds(pd.Index(x.tolist()), pd.Series(["U", "U", "U"]),
                pd.Series([2.0, 3.0, 4.0], index=[7, 8, 9]))
    assert [v.ub for v in x] == [2.0, 3.0, 4.0]
    weights = pd.Series([1.0, 2.0, 3.0], index=["z", "y", "w"])
    assert str(nivra.Dot(weights, x)) == str(x.iloc[0] + 2 * x.iloc[1] + 3 * x.iloc[2])


def test_nivra_never_imports_pandas():
    code = textwrap.dedent("""
        import sys
        import nivra
        p = nivra.problem()
        p.setOutputEnabled(False)
        x = p.addVariables(2, ub=1)
        p.setObjective(x[0] + 2 * x[1])
        p.optimize()
        p.getSolution(x), p.getDuals(), p.getSolution(list(x))
        assert "pandas" not in sys.modules
    """)
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr


def test_reference_counts_and_no_leaks(plan):
    p, x, rows = plan
    before = sys.getrefcount(x), sys.getrefcount(rows), sys.getrefcount(x.iloc[0])
    p.getSolution(x), p.getDuals(rows), nivra.Dot(x, x)
    assert (sys.getrefcount(x), sys.getrefcount(rows), sys.getrefcount(x.iloc[0])) == before
    # pandas keeps a few blocks now and then (its caches, which fill during the first calls), so
    # the check is on growth over many calls after a warm-up rather than on every call.
    calls = 2000
    for _ in range(calls // 4):
        p.getSolution(x), p.getSlacks(rows), nivra.Dot(x, x)
    gc.collect()
    start = sys.getallocatedblocks()
    for _ in range(calls):
        p.getSolution(x), p.getSlacks(rows), nivra.Dot(x, x)
    gc.collect()
    assert sys.getallocatedblocks() - start < calls // 4
