"""Linear and quadratic terms: printed forms, their own arithmetic rules, in-place forms and
extraction."""

import pytest

import nivra
from helpers.model import assert_nonlinear, new_vars


@pytest.fixture
def xy():
    return new_vars("x", "y")


def test_printed_forms(xy):
    x, y = xy
    cases = [(2 * x, "2 * x"), (-x, "-x"), (0.5 * x, "0.5 * x"), (x * 1e-7, "1e-07 * x"),
             (3 * x * y, "3 * x * y"), (x ** 2, "x ** 2"), (-x * x, "-x ** 2"),
             ((2 * x) ** 2, "4 * x ** 2"), (0 * (x * y), "0 * x * y"), (y * x, "x * y"),
             (-(x * y), "-x * y")]
    for term, text in cases:
        assert str(term) == repr(term) == text


def test_terms_cannot_be_created_directly(xy):
    x, y = xy
    for t in (2 * x, x * y):
        with pytest.raises(TypeError):
            type(t)()


def test_factor_order_follows_creation_not_names():
    b, a = new_vars("b", "a")          # b has the smaller identifier
    q = a * b
    assert str(q) == "b * a" and q.extractQuadratic() == ([b], [a], [1.0])
    assert str(a * b + b * a) == "2 * b * a"
    assert type(a * b + b * a).__name__ == "quadterm"


def test_sums_of_terms(xy):
    x, y = xy
    assert 2 * x - 2 * x == 0.0 and type(2 * x - 2 * x) is float
    assert str(2 * x + x) == "3 * x" and str(x + 2 * x) == "3 * x"
    assert str(x - 2 * x) == "-x" and str(2 * x - x) == "x"
    assert type(x - 2 * x).__name__ == "linterm"
    assert x - 1 * x == 0.0
    assert str(2 * x + 3 * y) == "2 * x + 3 * y"
    assert str(x * y - x * y) == "0 * x * y"
    assert str(x * y + 2 * x) == "2 * x + x * y"
    assert str(5 - 2 * x) == "5 - 2 * x"


def test_quotients_of_terms(xy):
    x, y = xy
    assert (3 * x) / x == 3.0
    with pytest.raises(nivra.ModelError, match="^Division by zero$"):
        (3 * x) / (0 * y)
    q = (2 * x * y) / x
    assert (type(q).__name__, str(q)) == ("linterm", "2 * y")
    assert str((2 * x * y) / (4 * y)) == "0.5 * x"
    assert (2 * x * y) / (4 * x * y) == 0.5
    assert str((6 * x * x) / (2 * x)) == "3 * x"
    assert str((49 * x) / 49) == "x"       # division is exact, not a product with 1/49
    with pytest.raises(nivra.ModelError, match="Division by zero of a bilinear term"):
        (x * y) / (0 * (x * y))
    for build in (lambda: (2 * x) / y, lambda: 2 / (3 * x), lambda: (x * y) / (x * x),
                  lambda: (2 * x) / (x * y), lambda: (x * y) / y ** 2):
        assert_nonlinear(build())


def test_in_place_forms_never_change_terms(xy):
    x, y = xy
    L, Q = 2 * x, x * y
    for t in (x, L, Q):
        a = t
        a += 0
        assert a is t
        a -= 0
        assert a is t
        a *= 1
        assert a is t
        a /= 1
        assert a is t
        a **= 1
        assert a is t
        a **= 0
        assert a == 1.0
        a = t
        with pytest.raises(nivra.ModelError, match="^Division by zero$"):
            a /= 0
    a = L
    a += x
    assert str(a) == "3 * x" and str(L) == "2 * x"
    a = Q
    a *= 3
    assert str(a) == "3 * x * y" and str(Q) == "x * y"
    a = x
    a -= y
    assert str(a) == "x - y"
    a = L
    a /= 4
    assert str(a) == "0.5 * x" and str(L) == "2 * x"


def test_extraction(xy):
    x, y = xy
    assert (3 * x).extractLinear() == ([x], [3.0])
    assert (3 * x).extractQuadratic() == ([], [], [])
    assert (3 * y * x).extractLinear() == ([], [])
    assert (3 * y * x).extractQuadratic() == ([x], [y], [3.0])
    assert (x ** 2).extractQuadratic() == ([x], [x], [1.0])
