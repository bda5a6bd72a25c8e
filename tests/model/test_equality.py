"""Structural equality: nivra.is_equal, == and != with the constraint operators switched off,
and the switch itself."""

import pytest

import nivra
from helpers.model import new_vars
from nivra import _nivra

PLUS, MAX, USER = 0, 15, 27


@pytest.fixture
def operators_off():
    nivra._setConstraintOperatorsEnabled(False)
    yield
    nivra._setConstraintOperatorsEnabled(True)


def test_linear_and_quadratic_forms(xyz):
    x, y, z = xyz
    same = [(x + y, y + x), (2 * x, x + x), (x * y, y * x), (x, 1 * x), (x, x + 0),
            (x * y + 1, 1 + y * x), (3, 3.0), (2, nivra.expression() + 2), (x ** 2, x * x),
            (2 * x - x, x), (True, 1)]
    for a, b in same:
        assert nivra.is_equal(a, b) is True, (a, b)
        assert nivra.is_equal(b, a) is True, (b, a)
    different = [(x + 0.1 + 0.2, x + 0.3), (x, y), (x + y, x + z), (2 * x, 3 * x), (x * y, x * z),
                 (x * y, 2 * x * y), (x, x + 1), (x, "x"), (x + y, x), (x * y + x, x * y)]
    for a, b in different:
        assert nivra.is_equal(a, b) is False, (a, b)
        assert nivra.is_equal(b, a) is False, (b, a)
    assert nivra.is_equal(0 * (x * y), 0) is True        # a zero product is no term


def test_nonlinear_trees(xyz):
    x, y, _ = xyz
    f = nivra.sin(x) + y
    assert nivra.is_equal(f, nivra.sin(x) + y)
    assert nivra.is_equal(nivra.max(x, y), nivra.max(x, 1 * y))
    assert not nivra.is_equal(nivra.max(x, y), nivra.min(x, y))
    assert not nivra.is_equal(nivra.max(x, y), nivra.max(x, y, 1))
    assert not nivra.is_equal(nivra.sin(x), x)
    assert not nivra.is_equal(x, nivra.sin(x))
    assert nivra.is_equal(nivra.sin(x + x), nivra.sin(2 * x))
    assert not nivra.is_equal(nivra.sin(x), nivra.cos(x))
    assert nivra.is_equal(_nivra._nonlinear_node(MAX, []), _nivra._nonlinear_node(MAX, ()))
    assert not nivra.is_equal(nivra.sin(x), _nivra._nonlinear_node(MAX, [x]))
    fn, other = (lambda *a: 0), (lambda *a: 0)
    assert nivra.is_equal(_nivra._nonlinear_node(USER, (fn, x)), _nivra._nonlinear_node(USER, (fn, x)))
    assert not nivra.is_equal(_nivra._nonlinear_node(USER, (fn, x)),
                              _nivra._nonlinear_node(USER, (other, x)))


def test_containers_compare_element_by_element(xyz):
    x, y, _ = xyz
    assert nivra.is_equal([x, y], [x, y])
    assert nivra.is_equal((x + 1, [2 * y]), (1 + x, [y + y]))
    assert nivra.is_equal({"a": x * y}, {"a": y * x})
    assert not nivra.is_equal([x, y], [y, x])
    assert nivra.getConstraintOperatorsEnabled() is True


def test_switch_off_semantics(xyz, operators_off):
    x, y, _ = xyz
    assert (x == x) is True and (x == y) is False and (x != y) is True and (x != x) is False
    assert (x + y == y + x) is True and (nivra.sin(x) != nivra.sin(x)) is False
    assert x in [y, x] and x not in [y]
    for op in ("<", "<=", ">", ">="):
        with pytest.raises(TypeError, match=rf"'{op}' not supported between instances of "
                                            r"'nivra.var' and 'nivra.var'"):
            eval(f"x {op} y")
    with pytest.raises(TypeError, match="'nivra.nonlinear' and 'int'"):
        nivra.sin(x) < 1
    with pytest.raises(OverflowError):
        x == 10 ** 400          # the Python error raised inside the comparison propagates


def test_switch_and_is_equal_errors(xyz):
    x = xyz[0]
    with pytest.raises(nivra.InterfaceError, match="nivra.is_equal requires two arguments"):
        nivra.is_equal(x)
    with pytest.raises(nivra.InterfaceError, match="nivra.is_equal requires two arguments"):
        nivra.is_equal(x, x, x)
    with pytest.raises(OverflowError):
        nivra.is_equal(x, 10 ** 400)
    assert nivra.getConstraintOperatorsEnabled() is True     # restored after a failure
    nivra._setConstraintOperatorsEnabled(0)
    try:
        assert nivra.getConstraintOperatorsEnabled() is False
        nivra.is_equal(x, x)
        assert nivra.getConstraintOperatorsEnabled() is False  # the previous state comes back
    finally:
        nivra._setConstraintOperatorsEnabled(True)


def test_deep_trees_fail_cleanly():
    x, = new_vars("x")
    a, b = x, x
    for _ in range(200):
        a, b = _nivra._nonlinear_node(PLUS, [x, a]), _nivra._nonlinear_node(PLUS, [x, b])
    assert nivra.is_equal(a, b)
    for _ in range(100000):        # the first variable is found at once: no deep search
        a, b = _nivra._nonlinear_node(PLUS, [x, a]), _nivra._nonlinear_node(PLUS, [x, b])
    with pytest.raises(RecursionError):
        nivra.is_equal(a, b)
    del a, b                      # released without deep C recursion
