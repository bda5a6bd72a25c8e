"""Inputs that used to give a wrong model without a word: NaN bounds and right-hand sides, names
with a zero character, coefficients the solver drops, and names a file cannot hold."""

import math
import warnings

import numpy as np
import pytest

import nivra

from helpers.transfer import ncols, nrows, quiet

nan = float("nan")


@pytest.mark.parametrize("make", [
    lambda p: p.addVariable(ub=nan),
    lambda p: p.addVariable(lb=nan),
    lambda p: p.addVariable(ub=nan, vartype=nivra.integer),
    lambda p: p.addVariable(lb=nan, vartype=nivra.binary),
    lambda p: p.addVariable(vartype=nivra.semicontinuous, threshold=nan),
    lambda p: p.addVariables(3, ub=nan),
    lambda p: p.addVariables(["a"], lb=np.float64(nan)),
])
def test_nan_is_no_variable_bound(make):
    p = quiet()
    with pytest.raises(nivra.ModelError, match="is NaN"):
        make(p)
    assert ncols(p) == 0 and len(p.getVariable()) == 0


def test_nan_is_no_variable_bound_when_set():
    p = quiet()
    x = p.addVariable(lb=1, ub=2)
    for attr in ("lb", "ub", "threshold"):
        with pytest.raises(nivra.ModelError, match=f"{attr} is NaN"):
            setattr(x, attr, nan)
    assert (x.lb, x.ub) == (1, 2)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nivra.DeprecationWarning)
        u = nivra.var(lb=1, ub=2)
        with pytest.raises(nivra.ModelError, match="ub is NaN"):
            u.ub = np.float32(nan)
        with pytest.raises(nivra.ModelError, match="is NaN"):
            nivra.var(ub=nan)
    assert (u.lb, u.ub) == (1, 2)


def constraint_forms(x):
    yield lambda: x <= nan
    yield lambda: x >= nan
    yield lambda: x == nan
    yield lambda: nan <= x
    yield lambda: x + nan <= 1
    yield lambda: x <= np.float64(nan)
    yield lambda: 2 * x + x * x <= nan
    yield lambda: nivra.sin(x) <= nan
    yield lambda: nivra.constraint(body=x, ub=nan)
    yield lambda: nivra.constraint(body=x, lb=nan)
    yield lambda: nivra.constraint(body=x, rhs=nan, type=nivra.leq)
    yield lambda: nivra.constraint(body=x, rhs=1, type=nivra.rng, rhsrange=nan)


def test_nan_is_no_right_hand_side():
    p = quiet()
    x = p.addVariable(ub=10)
    forms = list(constraint_forms(x))
    for make in forms:
        with pytest.raises(nivra.ModelError, match="NaN"):
            make()
    # Element-wise comparisons of arrays go through the same check.
    with pytest.raises(nivra.ModelError, match="NaN"):
        p.addVariables(2) <= np.array([1.0, nan])
    assert nrows(p) == 0 and len(forms) == 12


def test_nan_is_no_right_hand_side_when_set():
    p = quiet()
    x = p.addVariable(ub=10)
    linked = x <= 4
    unlinked = x <= 4
    p.addConstraint(linked)
    for c in (linked, unlinked):
        for attr in ("rhs", "rhsrange"):
            with pytest.raises(nivra.ModelError, match="NaN"):
                setattr(c, attr, nan)
        assert (c.lb, c.ub) == (-nivra.infinity, 4)
    for attr in ("lb", "ub"):
        with pytest.raises(nivra.ModelError, match=f"{attr} is NaN"):
            setattr(unlinked, attr, nan)
    p.setObjective(x, sense=nivra.maximize)
    p.optimize()
    assert p.getSolution(x) == 4


def test_a_name_with_a_zero_character_is_refused_on_every_path(tmp_path):
    path = tmp_path / "s.lp"
    path.write_text("Minimize\n x + y\nSubject To\n c: x + y >= 1\nSOS\n s: S1:: x:1 y:2\nEnd\n")
    p = quiet()
    p.read(str(path))
    (x, _), (c,), (s,) = p.getVariable(), p.getConstraint(), p.getSOS()
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nivra.DeprecationWarning)
        unlinked = [nivra.var(name="u"), nivra.sos([x], [1.0], name="t")]
        with pytest.raises(nivra.ModelError, match="zero character"):
            nivra.var(name="a\0b")
    for obj in [x, c, s, x >= 0] + unlinked:
        old = obj.name
        with pytest.raises(nivra.ModelError, match="name must not contain a zero character"):
            obj.name = "a\0b"
        assert obj.name == old
    with pytest.raises(nivra.ModelError, match="zero character"):
        p.addVariable(name="a\0b")
    with pytest.raises(nivra.ModelError, match="zero character"):
        nivra.constraint(body=x, ub=1, name="a\0b")
    assert (x.name, c.name, s.name) == ("x", "c", "s")


def test_dropped_coefficients_warn_and_are_counted():
    p = quiet()
    x = p.addVariable(ub=1e15)
    row = 1e-10 * x <= 1
    p.addConstraint(row, 2e-10 * x >= -5)
    # the square's coefficient is below the threshold too
    p.setObjective(x - 5e-12 * x * x, sense=nivra.maximize)
    with pytest.warns(RuntimeWarning, match=r"3 coefficients of the model are at or below 1e-09 "
                                            r".*the largest is 2e-10"):
        p.optimize()
    assert p.attributes.droppedcoefs == 3 and p.attributes.maxdroppedcoef == 2e-10
    assert p.getSolution(x) == 1e15  # what the solver saw: no rows, no square
    p.setObjective(x, sense=nivra.maximize)
    p.controls.matrixtol = 1e-12
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        p.optimize()
    assert p.attributes.droppedcoefs == 0
    assert math.isclose(p.getSolution(x), 1e10)
    p.controls.matrixtol = 1e-9
    with warnings.catch_warnings():
        warnings.simplefilter("error", RuntimeWarning)
        with pytest.raises(RuntimeWarning, match="rescale the model"):
            p.optimize()
    assert p.attributes.droppedcoefs == 2
    row.rhs = 2  # a change discards the counts with the solution
    assert (p.attributes.droppedcoefs, p.attributes.maxdroppedcoef) == (0, 0)


@pytest.mark.parametrize("ext", ["lp", "mps"])
def test_unnamed_and_badly_named_objects_write_and_read_back(tmp_path, ext):
    p = quiet()
    x = p.addVariables(2, ub=5)
    y = p.addVariables(2, ub=5)  # the same names again: x(0), x(1)
    z = p.addVariable(name="1st", ub=5)  # no LP name starts with a digit
    p.addConstraint(nivra.constraint(body=x[0] + y[1] + z, ub=3, name="0row"),
                    x[1] + 2 * y[0] >= 1, nivra.constraint(body=z - x[0], lb=-1, name="0row"))
    p.setObjective(x[0] + x[1] + y[0] + y[1] + z, sense=nivra.maximize)
    path = tmp_path / f"m.{ext}"
    # Two duplicated variable names, one duplicated row name; and in LP files the names that
    # start with a digit.
    replaced = 5 if ext == "lp" else 3
    with pytest.warns(RuntimeWarning, match=f"^{replaced} names .* as default names"):
        p.write(str(path))
    assert p.attributes.replacednames == replaced
    q = quiet()
    q.read(str(path))
    assert (ncols(q), nrows(q)) == (5, 3)
    names = [v.name for v in q.getVariable()]
    assert names[:2] == ["x(0)", "x(1)"] and names[2:4] == ["C2", "C3"]
    assert names[4] == ("C4" if ext == "lp" else "1st")
    for prob in (p, q):
        prob.optimize()
    assert q.attributes.objval == p.attributes.objval == 13
    assert q.getSolution() == p.getSolution()
