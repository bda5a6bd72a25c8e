"""Variables as columns: addVariable, addVariables, the module function vars, the older
addition of unlinked variables, and the rollback of failed additions."""

import gc
import sys
import warnings

import numpy as np
import pytest

import nivra
from nivra import _nivra

from helpers.transfer import ncols, quiet


def names(vs):
    return [str(v) for v in vs]


def test_integer_indices_give_an_array_in_column_order():
    p = quiet()
    first = p.addVariable()
    x = p.addVariables(3, 2)
    assert isinstance(x, np.ndarray) and x.shape == (3, 2) and x.dtype == nivra.npvar
    assert names(x.flat) == ["x(0,0)", "x(0,1)", "x(1,0)", "x(1,1)", "x(2,0)", "x(2,1)"]
    assert [v.index for v in x.flat] == list(range(1, 7))
    assert first.index == 0 and ncols(p) == 7
    assert p.addVariables(np.int32(2), name="t").shape == (2,)


def test_collections_give_dicts_keyed_by_index():
    p = quiet()
    y = p.addVariables(["a", "b"], name="y")
    assert list(y) == ["a", "b"] and names(y.values()) == ["y(a)", "y(b)"]
    z = p.addVariables([1, 2], ("u", "v"), name="z")
    assert list(z) == [(1, "u"), (1, "v"), (2, "u"), (2, "v")]
    assert str(z[2, "v"]) == "z(2,v)" and z[2, "v"].index == 5
    mixed = p.addVariables(range(2), [0.5, 2.5], name="m")
    assert str(mixed[1, 2.5]) == "m(1,2.5)"
    assert set(p.addVariables({3, 4}, name="s")) == {3, 4}


@pytest.mark.parametrize("args, message", [
    (([1, 2, 1],), "Duplicate item in argument 1"),
    ((2, ["a", "a"]), "Duplicate item in argument 2"),
    ((0,), "integer argument must be positive"),
    (([],), "empty dimension"),
    ((1.5,), "arguments must be lists, sets, iterable objects, or integer numbers"),
])
def test_bad_index_arguments(args, message):
    p = quiet()
    with pytest.raises(nivra.ModelError, match=message):
        p.addVariables(*args)
    assert ncols(p) == 0


def test_names_off_and_on():
    p = quiet()
    unnamed = p.addVariables(2, name="")
    assert names(unnamed) == ["C0", "C1"]  # the library's default names
    assert names(p.addVariables(1, name=None)) == ["C2"]
    with pytest.raises(nivra.ModelError, match="Variable name must be a string"):
        p.addVariables(2, name=5)
    # a zero byte would end the name early in the library
    with pytest.raises(nivra.ModelError, match="must not contain a zero character"):
        p.addVariables(2, name="a\0b")
    with pytest.raises(nivra.ModelError, match="must not contain a zero character"):
        p.addVariable(name="a\0b")
    with pytest.raises(nivra.ModelError, match="Bad index tuple"):
        p.addVariables(["a\0b"])
    assert ncols(p) == 3


def test_names_are_sent_in_batches():
    """More than a megabyte of names goes to the library in several batches."""
    p = quiet()
    x = p.addVariables(40000, name="n" * 30)
    assert str(x[0]) == "n" * 30 + "(0)" and str(x[-1]) == "n" * 30 + "(39999)"
    assert str(x[26000]) == "n" * 30 + "(26000)"


def test_bounds_types_and_thresholds():
    p = quiet()
    b = p.addVariable(vartype=nivra.binary)
    assert (b.lb, b.ub, b.vartype) == (0.0, 1.0, nivra.binary)
    fixed = p.addVariables(2, vartype=nivra.binary, lb=1)
    assert [(v.lb, v.ub) for v in fixed] == [(1.0, 1.0)] * 2
    i = p.addVariable(vartype=nivra.integer, lb=0.5, ub=3.7)
    assert (i.lb, i.ub) == (1.0, 3.0)
    free = p.addVariable(lb=-nivra.infinity)
    assert free.lb == -nivra.infinity and free.ub == nivra.infinity
    s = p.addVariables(2, vartype=nivra.semicontinuous, lb=1, ub=5, threshold=2)
    assert [(v.lb, v.ub, v.vartype) for v in s] == [(1.0, 5.0, nivra.semicontinuous)] * 2
    before = ncols(p)
    with pytest.raises(nivra.ModelError, match="threshold is between its lower and upper"):
        p.addVariable(vartype=nivra.semicontinuous, lb=0, ub=10, threshold=20)
    with pytest.raises(nivra.ModelError, match="Invalid variable type"):
        p.addVariables(2, vartype=9)
    assert ncols(p) == before


def test_add_variable_arguments():
    p = quiet()
    x = p.addVariable("x", -1, 2)
    assert (str(x), x.lb, x.ub) == ("x", -1.0, 2.0)
    assert str(p.addVariables(name="single")) == "single"  # no index: one variable
    with pytest.raises(nivra.ModelError, match="Cannot use problem.addVariable to add existing"):
        p.addVariable(name=[x])
    with pytest.raises(nivra.ModelError, match="Variable name must be a string"):
        p.addVariable(name=3)
    q = quiet()
    with pytest.raises(nivra.ModelError,
                       match="Linked variables cannot be added to another problem"):
        q.addVariable(x)
    assert ncols(q) == 0 and ncols(p) == 2


class Unprintable:
    def __str__(self):
        raise RuntimeError("no text")


def test_failed_additions_leave_the_problem_unchanged():
    p = quiet()
    keep = p.addVariables(2)
    with pytest.raises(nivra.ModelError, match="Element of index tuple cannot be represented"):
        p.addVariables([Unprintable()])
    # A name the library refuses fails after the columns were made: they are deleted again by
    # library calls made while the library's error is pending, which the call frame keeps
    # aside and puts back (no warning about a masked exception).
    with warnings.catch_warnings():
        warnings.simplefilter("error", RuntimeWarning)
        with pytest.raises(nivra.SolverError, match="name"):
            p.addVariables(3, name="n" * 2000)
        with pytest.raises(nivra.SolverError, match="name"):
            p.addVariable(name="n" * 2000)
    assert ncols(p) == 2 and [v.index for v in keep] == [0, 1]
    assert names(p.addVariables(2)) == ["x(0)", "x(1)"]
    assert [v.index for v in p.addVariables(1)] == [4]


def test_variables_outlive_their_problem():
    gc.collect()
    base = _nivra._live_counts()["var"]
    p = quiet()
    x = p.addVariables(3)
    v = x[1]
    refs = sys.getrefcount(v)
    del x
    assert sys.getrefcount(v) == refs - 1
    del p
    gc.collect()
    assert str(v) == "(deleted variable)" and v.index == -1
    with pytest.raises(nivra.ModelError, match="deleted"):
        v.lb
    del v
    gc.collect()
    assert _nivra._live_counts()["var"] == base


def test_module_function_vars(deprecations_as_errors):
    with pytest.raises(nivra.DeprecationWarning, match="problem.addVariables"):
        nivra.vars(2)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nivra.DeprecationWarning)
        u = nivra.vars(2, ["a"], name="u", lb=1, ub=4, vartype=nivra.integer)
        one = nivra.vars(lb=2)
    assert list(u) == [(0, "a"), (1, "a")] and str(u[1, "a"]) == "u(1,a)"
    assert all(v.index is None and (v.lb, v.ub, v.vartype) == (1, 4, nivra.integer)
               for v in u.values())
    assert isinstance(one, nivra.var) and one.lb == 2


@pytest.fixture
def unlinked():
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nivra.DeprecationWarning)
        u = nivra.var(name="u", lb=1, ub=3)
        w = nivra.var(vartype=nivra.semicontinuous, lb=0, ub=8, threshold=2)
        yield u, w


def test_unlinked_variables_become_columns(unlinked):
    u, w = unlinked
    p = quiet()
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nivra.DeprecationWarning)
        assert p.addVariable(u, [w]) is None
    assert ncols(p) == 2 and u.index is None
    c = u + w <= 3.5
    p.addConstraint(c)
    p.setObjective(2 * u + w, sense=nivra.maximize)
    p.optimize()
    # w is 0 or in [2, 8]: u = 3 with w = 0 beats u = 1.5 with w = 2
    assert p.getSolution(u, w) == pytest.approx((3.0, 0.0)) and p.getSolution("u") == 3.0
    assert p.getSlacks(c) == pytest.approx(0.5)
    with pytest.raises(nivra.InterfaceError, match="Variable already added to problem"):
        p.addVariable(u)
    with pytest.raises(nivra.ModelError, match="this problem already contains unlinked objects"):
        p.addVariable(name="z")
    with pytest.raises(nivra.ModelError, match="this problem already contains unlinked objects"):
        p.addVariables(2)
    assert ncols(p) == 2


def test_admission_of_unlinked_variables(unlinked, deprecations_as_errors):
    u, w = unlinked
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nivra.DeprecationWarning)
        quiet().addVariable(u)
    p = quiet()
    with pytest.raises(nivra.DeprecationWarning, match="do not share variables"):
        p.addVariable(w, u)  # w is admitted, u is refused: nothing stays
    assert ncols(p) == 0
    with pytest.raises(nivra.ModelError, match="Variable is not initialized"):
        p.addVariable(nivra.var.__new__(nivra.var))
    with pytest.raises(nivra.DeprecationWarning, match="no arguments on an unlinked problem"):
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", nivra.DeprecationWarning)
            p.addVariable(w)
        p.addVariable()
    gone = quiet()
    d = gone.addVariable()
    del gone
    gc.collect()
    with pytest.raises(nivra.ModelError, match="Deleted variables cannot be re-used"):
        p.addVariable(d)
    linked = quiet()
    linked.addVariable()
    with pytest.raises(nivra.ModelError, match="add existing variables"):
        linked.addVariable(u)
