"""The converters between Python objects and the library's arrays, seen through the members
that use them."""

import numpy as np
import pytest

import nivra
from nivra import _nivra

from helpers.api import out, quiet


@pytest.fixture
def p3():
    p = quiet()
    x = p.addVariables(3, name="x")
    p.addConstraint(x[0] + x[1] <= 1, x[2] >= 0)
    p.getConstraint(1).name = "c1"
    return p, x


def test_indices_from_ints_arrays_objects_and_names_agree(p3):
    p, x = p3
    ways = [[0, 1, 2], np.array([0, 1, 2], dtype=np.int32), np.arange(3), list(x),
            [x[0], np.int64(1), "x(2)"], range(3), (i for i in range(3))]
    for k, cols in enumerate(ways):
        p.chgobj(cols, np.array([1.0, 2.0, 3.0]) * (k + 1))
        assert out(p.getobj, 0, 2) == [k + 1.0, 2 * (k + 1.0), 3 * (k + 1.0)]


def test_length_and_value_errors(p3):
    p, x = p3
    with pytest.raises(nivra.InterfaceError, match="Mismatched lengths in arguments: expected 2, found 3"):
        p.chgobj([0, 1], [1.0, 2.0, 3.0])
    with pytest.raises(nivra.InterfaceError, match="Mismatched lengths in arguments: expected 2, found 1"):
        p.chgobj(iter([0, 1]), (v for v in [1.0]))
    with pytest.raises(nivra.InterfaceError, match="Index out of range: 2147483648"):
        p.chgobj([2147483648], [1.0])
    with pytest.raises(nivra.InterfaceError, match="Index out of range: 4294967296"):
        p.chgobj(np.array([2**32]), [1.0])
    with pytest.raises(nivra.InterfaceError, match="Invalid sequence of objects"):
        p.chgobj(1, [1.0])
    with pytest.raises(nivra.InterfaceError, match="Element 1 of argument 'complement' is not an integer"):
        p.setindicators([0, 1], [0, 0], [1, 1.5])
    with pytest.raises(nivra.InterfaceError, match="Element 0 of argument 'obj' is not a number"):
        p.chgobj([0], ["a"])
    with pytest.raises(nivra.InterfaceError, match="Element 0 of argument 'bndtype' is not a character"):
        p.chgbounds([0], [""], [1.0])
    with pytest.raises(nivra.ModelError, match="Invalid variable object"):
        p.chgobj([p.getConstraint(0)], [1.0])
    with pytest.raises(nivra.InterfaceError, match="There is no column named 'nope'"):
        p.chgobj(["nope"], [1.0])
    q = quiet()
    other = q.addVariable()
    with pytest.raises(nivra.ModelError, match="different problem"):
        p.chgobj([other], [1.0])


def test_long_generators_and_numpy_doubles(p3):
    p, _ = p3
    p.addVariables(997)
    p.chgobj(range(1000), (float(i) / 2 for i in range(1000)))
    assert out(p.getobj, 0, 999)[999] == 499.5
    p.chgobj(np.arange(1000), np.arange(1000, dtype=np.float32))
    assert out(p.getobj, 998, 999) == [998.0, 999.0]


def test_a_single_name_is_one_name(p3):
    p, _ = p3
    p.chgrhs("c1", [5.0])
    assert out(p.getrhs, 1, 1) == [5.0]
    p.delConstraint("c1")
    assert len(p.getConstraint()) == 1
    p.chgbounds([0, 1], "UL", [1.0, 2.0])  # characters: a string is a sequence of them
    assert out(p.getub, 0, 0) == [1.0] and out(p.getlb, 1, 1) == [2.0]


def test_sets_are_found_by_their_own_names():
    p = quiet()
    x = p.addVariables(2, name="s")  # columns named like sets would be
    p.addSOS(list(x), [1, 2], name="s(1)")
    p.addSOS(list(x), [1, 2], name="s(0)")
    p.delSOS("s(0)")
    assert [s.name for s in p.getSOS()] == ["s(1)"]


def test_full_length_arguments_are_checked_against_the_count(p3):
    p, _ = p3
    assert _nivra._conv_full(p, [1, 2, 3], False) == [1.0, 2.0, 3.0]
    assert _nivra._conv_full(p, None, True) == []
    with pytest.raises(nivra.InterfaceError, match="Argument 'values' must have 2 elements, one "
                                                   "for each of the 2 rows of the problem, but has 3"):
        _nivra._conv_full(p, [1, 2, 3], True)


def test_index_vectors(p3):
    p, x = p3
    assert _nivra._index_vector(p, 1, [0, x[2]]) == ([0, 2], True)
    assert _nivra._index_vector(p, 0, iter([1])) == ([1], False)
    with pytest.raises(nivra.InterfaceError, match="Argument 'values' must be iterable"):
        _nivra._index_vector(p, 1, 3)
    with pytest.raises(nivra.InterfaceError, match="Error in element 1 of argument 'values': "
                                                   "Value is not a constraint or constraint index"):
        _nivra._index_vector(p, 0, [0, x[0]])
    with pytest.raises(nivra.InterfaceError, match="Error in element 0 of argument 'values': "
                                                   "Invalid SOS index"):
        _nivra._index_vector(p, 2, [2**31])


def test_results_become_model_objects_or_values(p3):
    p, x = p3
    b = p.addVariable(vartype=nivra.binary)
    p.setindicators([1], [b], [-1])
    ind, comp = [1, 2, 3], []
    p.getindicators(ind, comp, 0, 1)
    assert ind == [None, b] and comp == [0, -1]
    start, rows, vals = [], [], []
    p.getcols(start, rows, vals, 10, x[0], x[1])
    assert rows == [p.getConstraint(0)] * 2 and start == [0, 1, 2]
    types = []
    p.getcoltype(types, 0, 3)
    assert types == ["C", "C", "C", "B"]
