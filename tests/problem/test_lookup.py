"""Looking up a problem's objects by position and positions by object."""

import sys

import numpy as np
import pytest

import nivra

from helpers.transfer import quiet


@pytest.fixture
def model():
    p = quiet()
    x = list(p.addVariables(6, name="x"))
    cons = [x[i] + x[i + 1] <= i for i in range(4)]
    p.addConstraint(cons)
    return p, x, cons


def test_positions_select_objects_in_every_form(model):
    p, x, cons = model
    assert p.getVariable() == x
    assert p.getVariable() is not p.getVariable()  # a new list each time
    assert p.getVariable(2) is x[2]
    assert p.getVariable(np.int32(5)) is x[5]
    assert p.getVariable([3, [1, 2]]) == [x[3], x[1], x[2]]
    assert p.getVariable(np.array([4, 0])) == [x[4], x[0]]
    assert p.getVariable(np.array([[1], [2]], dtype=np.int16)) == [x[1], x[2]]
    assert p.getVariable([np.array([3, 4], dtype=np.int32)]) == [x[3], x[4]]
    assert p.getVariable((i for i in (5, 5))) == [x[5], x[5]]
    assert p.getVariable(first=0, last=2) == x[:3]
    assert p.getConstraint(first=1, last=3) == cons[1:]
    assert p.getConstraint(3) is cons[3]
    assert p.getSOS() == []


def test_bad_positions_and_ranges(model):
    p, x, _ = model
    with pytest.raises(IndexError):
        p.getVariable(6)
    with pytest.raises(IndexError):
        p.getVariable([0, -1])
    with pytest.raises(TypeError):
        p.getVariable([1.5])
    with pytest.raises(TypeError):
        p.getVariable(["x(0)"])
    with pytest.raises(nivra.ModelError, match="must be both nonnegative"):
        p.getVariable(first=1)
    with pytest.raises(nivra.ModelError, match="cannot be specified if 'index'"):
        p.getVariable(1, first=0, last=1)
    with pytest.raises(nivra.ModelError, match="out of range"):
        p.getConstraint(first=0, last=4)
    with pytest.raises(nivra.ModelError, match="Maximum recursion"):
        nested = 0
        for _ in range(40):
            nested = [nested]
        p.getVariable(nested)


def test_lookups_hold_exact_references(model):
    p, x, _ = model
    v = x[1]
    before = sys.getrefcount(v)
    for _ in range(100):
        p.getVariable(1), p.getVariable([1, 1]), p.getVariable(np.array([1])), p.getVariable()
    assert sys.getrefcount(v) == before
    with pytest.raises(IndexError):
        p.getVariable(np.array([1, 9]))
    with pytest.raises(IndexError):
        p.getVariable([1, 9])
    assert sys.getrefcount(v) == before


def test_get_index_is_the_inverse(model):
    p, x, cons = model
    assert [p.getIndex(v) for v in p.getVariable()] == list(range(6))
    assert [p.getIndex(c) for c in p.getConstraint()] == list(range(4))
    with pytest.raises(nivra.ModelError, match="need variable, constraint, or SOS"):
        p.getIndex(3)
    other = quiet()
    with pytest.raises(nivra.ModelError):
        other.getIndex(x[0])


def test_objects_of_a_read_problem_carry_the_file_names(tmp_path, model):
    p, _, _ = model
    path = tmp_path / "m.lp"
    p.write(str(path))
    q = quiet()
    q.read(str(path))
    assert [v.name for v in q.getVariable()] == [f"x({i})" for i in range(6)]
    assert [q.getIndex(c) for c in q.getConstraint()] == list(range(4))
    assert q.getConstraint(2).ub == 2
