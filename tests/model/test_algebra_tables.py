"""The result-kind tables of the operators: every pair of operand kinds for +, -, *, / and **,
checked for the type and printed form of the result (or the hand-over to nonlinear objects)."""

import pytest

import nivra
from helpers.model import assert_nonlinear, new_vars

N = "N"  # the result is no longer quadratic: handed over to the nonlinear objects


@pytest.fixture(scope="module")
def ops():
    x, y, z = new_vars("x", "y", "z")
    return {
        "n": 2.0, "x": x, "L": 3 * y, "Q": 2 * y * z, "E": z + 1, "EQ": x * y + 1,
        "zero": 0, "one": 1, "Ec": nivra.expression() + 2,
    }


def check(result_of, expected):
    if expected == N:
        assert_nonlinear(result_of())
        return
    kind, text = expected
    r = result_of()
    assert type(r).__name__ == kind, (r, expected)
    assert str(r) == text


SUM = {
    ("n", "n"): ("float", "4.0"),
    ("n", "x"): ("expression", "2 + x"),
    ("n", "L"): ("expression", "2 + 3 * y"),
    ("n", "Q"): ("expression", "2 + 2 * y * z"),
    ("n", "E"): ("expression", "3 + z"),
    ("n", "EQ"): ("expression", "3 + x * y"),
    ("x", "n"): ("expression", "2 + x"),
    ("x", "x"): ("linterm", "2 * x"),
    ("x", "L"): ("expression", "x + 3 * y"),
    ("x", "Q"): ("expression", "x + 2 * y * z"),
    ("x", "E"): ("expression", "1 + x + z"),
    ("x", "EQ"): ("expression", "1 + x + x * y"),
    ("L", "n"): ("expression", "2 + 3 * y"),
    ("L", "x"): ("expression", "x + 3 * y"),
    ("L", "L"): ("linterm", "6 * y"),
    ("L", "Q"): ("expression", "3 * y + 2 * y * z"),
    ("L", "E"): ("expression", "1 + 3 * y + z"),
    ("L", "EQ"): ("expression", "1 + 3 * y + x * y"),
    ("Q", "n"): ("expression", "2 + 2 * y * z"),
    ("Q", "x"): ("expression", "x + 2 * y * z"),
    ("Q", "L"): ("expression", "3 * y + 2 * y * z"),
    ("Q", "Q"): ("quadterm", "4 * y * z"),
    ("Q", "E"): ("expression", "1 + z + 2 * y * z"),
    ("Q", "EQ"): ("expression", "1 + x * y + 2 * y * z"),
    ("E", "n"): ("expression", "3 + z"),
    ("E", "x"): ("expression", "1 + x + z"),
    ("E", "L"): ("expression", "1 + 3 * y + z"),
    ("E", "Q"): ("expression", "1 + z + 2 * y * z"),
    ("E", "E"): ("expression", "2 + 2 * z"),
    ("E", "EQ"): ("expression", "2 + z + x * y"),
    ("EQ", "n"): ("expression", "3 + x * y"),
    ("EQ", "x"): ("expression", "1 + x + x * y"),
    ("EQ", "L"): ("expression", "1 + 3 * y + x * y"),
    ("EQ", "Q"): ("expression", "1 + x * y + 2 * y * z"),
    ("EQ", "E"): ("expression", "2 + z + x * y"),
    ("EQ", "EQ"): ("expression", "2 + 2 * x * y"),
    # zero operands
    ("zero", "x"): ("expression", "x"),
    ("zero", "L"): ("linterm", "3 * y"),
    ("zero", "Q"): ("quadterm", "2 * y * z"),
    ("L", "zero"): ("linterm", "3 * y"),
    ("Q", "zero"): ("quadterm", "2 * y * z"),
    ("zero", "E"): ("expression", "1 + z"),
}


@pytest.mark.parametrize("a, b", list(SUM))
def test_sum(ops, a, b):
    check(lambda: ops[a] + ops[b], SUM[(a, b)])


def test_sum_identity_rules(ops):
    x, L, Q = ops["x"], ops["L"], ops["Q"]
    assert x + 0 is x and x - 0 is x and 0 + x is not x
    assert L + 0 is not L and Q - 0 is not Q     # a copy of the term
    assert x - x == 0.0 and type(x - x) is float
    assert L - L == 0.0 and type(L - L) is float
    assert str(Q - Q) == "0 * y * z"             # a quadratic term keeps a zero coefficient


DIFFERENCE = {
    ("n", "x"): ("expression", "2 - x"),
    ("zero", "x"): ("expression", "-x"),
    ("zero", "L"): ("linterm", "-3 * y"),
    ("zero", "Q"): ("quadterm", "-2 * y * z"),
    ("x", "n"): ("expression", "-2 + x"),
    ("x", "L"): ("expression", "x - 3 * y"),
    ("L", "x"): ("expression", "-x + 3 * y"),
    ("L", "n"): ("expression", "-2 + 3 * y"),
    ("Q", "L"): ("expression", "-3 * y + 2 * y * z"),
    ("E", "E"): ("expression", "0"),
    ("E", "EQ"): ("expression", "z - x * y"),
    ("EQ", "x"): ("expression", "1 - x + x * y"),
    ("n", "E"): ("expression", "1 - z"),
    ("x", "E"): ("expression", "-1 + x - z"),
}


@pytest.mark.parametrize("a, b", list(DIFFERENCE))
def test_difference(ops, a, b):
    check(lambda: ops[a] - ops[b], DIFFERENCE[(a, b)])


PRODUCT = {
    ("n", "n"): ("float", "4.0"),
    ("n", "x"): ("linterm", "2 * x"),
    ("n", "L"): ("linterm", "6 * y"),
    ("n", "Q"): ("quadterm", "4 * y * z"),
    ("n", "E"): ("expression", "2 + 2 * z"),
    ("n", "EQ"): ("expression", "2 + 2 * x * y"),
    ("x", "n"): ("linterm", "2 * x"),
    ("x", "x"): ("quadterm", "x ** 2"),
    ("x", "L"): ("quadterm", "3 * x * y"),
    ("x", "Q"): N,
    ("x", "E"): ("expression", "x + x * z"),
    ("x", "EQ"): N,
    ("L", "n"): ("linterm", "6 * y"),
    ("L", "x"): ("quadterm", "3 * x * y"),
    ("L", "L"): ("quadterm", "9 * y ** 2"),
    ("L", "Q"): N,
    ("L", "E"): ("expression", "3 * y + 3 * y * z"),
    ("L", "EQ"): N,
    ("Q", "n"): ("quadterm", "4 * y * z"),
    ("Q", "x"): N,
    ("Q", "L"): N,
    ("Q", "Q"): N,
    ("Q", "E"): N,
    ("Q", "EQ"): N,
    ("E", "n"): ("expression", "2 + 2 * z"),
    ("E", "x"): ("expression", "x + x * z"),
    ("E", "L"): ("expression", "3 * y + 3 * y * z"),
    ("E", "Q"): N,
    ("E", "E"): ("expression", "1 + 2 * z + z ** 2"),
    ("E", "EQ"): N,
    ("EQ", "n"): ("expression", "2 + 2 * x * y"),
    ("EQ", "x"): N,
    ("EQ", "L"): N,
    ("EQ", "Q"): N,
    ("EQ", "E"): N,
    ("EQ", "EQ"): N,
    # zero, one and constant expressions
    ("zero", "x"): ("float", "0.0"),
    ("one", "x"): ("var", "x"),
    ("zero", "L"): ("float", "0.0"),
    ("zero", "Q"): ("quadterm", "0 * y * z"),
    ("zero", "E"): ("expression", "0"),
    ("zero", "EQ"): ("expression", "0"),
    ("Ec", "x"): ("linterm", "2 * x"),
    ("x", "Ec"): ("linterm", "2 * x"),
    ("Ec", "Q"): ("quadterm", "4 * y * z"),
    ("Ec", "E"): ("expression", "2 + 2 * z"),
    ("EQ", "Ec"): ("expression", "2 + 2 * x * y"),
    ("Ec", "Ec"): ("expression", "4"),
}


@pytest.mark.parametrize("a, b", list(PRODUCT))
def test_product(ops, a, b):
    check(lambda: ops[a] * ops[b], PRODUCT[(a, b)])


def test_product_identity_rules(ops):
    x = ops["x"]
    assert 1 * x is x and x * 1 is x


QUOTIENT = {
    ("x", "n"): ("linterm", "0.5 * x"),
    ("x", "x"): ("float", "1.0"),
    ("x", "L"): N,
    ("x", "Q"): N,
    ("x", "E"): N,
    ("x", "Ec"): ("linterm", "0.5 * x"),
    ("L", "n"): ("linterm", "1.5 * y"),
    ("L", "L"): ("float", "1.0"),
    ("L", "x"): N,
    ("L", "Ec"): ("linterm", "1.5 * y"),
    ("Q", "n"): ("quadterm", "y * z"),
    ("Q", "L"): ("linterm", "0.666667 * z"),
    ("Q", "Q"): ("float", "1.0"),
    ("Q", "x"): N,
    ("Q", "E"): N,
    ("E", "n"): ("expression", "0.5 + 0.5 * z"),
    ("E", "Ec"): ("expression", "0.5 + 0.5 * z"),
    ("EQ", "n"): ("expression", "0.5 + 0.5 * x * y"),
    ("E", "x"): N,
    ("E", "E"): N,
    ("n", "x"): N,
    ("n", "E"): N,
    ("x", "one"): ("var", "x"),
}


@pytest.mark.parametrize("a, b", list(QUOTIENT))
def test_quotient(ops, a, b):
    check(lambda: ops[a] / ops[b], QUOTIENT[(a, b)])


@pytest.mark.parametrize("a, message", [
    ("x", "Division of variable by zero"),
    ("L", "Division by zero"),
    ("Q", "Division by zero of a bilinear term"),
    ("E", "Division by zero"),
    ("EQ", "Division by zero"),
])
def test_division_by_zero(ops, a, message):
    for zero in (0, 0.0, nivra.expression()):
        with pytest.raises(nivra.ModelError, match=f"^{message}$"):
            ops[a] / zero


POWER = {
    ("x", 0): ("float", "1.0"),
    ("x", 1): ("var", "x"),
    ("x", 2): ("quadterm", "x ** 2"),
    ("x", 3): N,
    ("x", 0.5): N,
    ("L", 0): ("float", "1.0"),
    ("L", 1): ("linterm", "3 * y"),
    ("L", 2): ("quadterm", "9 * y ** 2"),
    ("L", 3): N,
    ("Q", 0): ("float", "1.0"),
    ("Q", 1): ("quadterm", "2 * y * z"),
    ("Q", 2): N,
    ("E", 0): ("float", "1.0"),
    ("E", 1): ("expression", "1 + z"),
    ("E", 2): ("expression", "1 + 2 * z + z ** 2"),
    ("E", 3): N,
    ("EQ", 2): N,
}


@pytest.mark.parametrize("a, p", list(POWER))
def test_power(ops, a, p):
    check(lambda: ops[a] ** p, POWER[(a, p)])


def test_power_identity_and_model_exponents(ops):
    x, L, Q, E = ops["x"], ops["L"], ops["Q"], ops["E"]
    assert x ** 1 is x and L ** 1 is L
    assert Q ** 1 is not Q and E ** 1 is not E
    for base in (x, L, Q, E):
        assert_nonlinear(base ** x)
    for exponent in (x, L, Q, E):
        assert 1 ** exponent == 1.0
        assert_nonlinear(2 ** exponent)
    with pytest.raises(TypeError):
        pow(x, 2, 3)


def test_negation_absolute_value_and_logic(ops):
    x, L, Q, E = ops["x"], ops["L"], ops["Q"], ops["E"]
    assert (type(-x).__name__, str(-x)) == ("linterm", "-x")
    assert str(-L) == "-3 * y" and str(-Q) == "-2 * y * z" and str(-E) == "-1 - z"
    for a in (x, L, Q, E):
        for build in (lambda: abs(a), lambda: a & x, lambda: x | a):
            assert_nonlinear(build())
    for build in (lambda: +x, lambda: x // 2, lambda: L % 2, lambda: E // E):
        with pytest.raises(TypeError):
            build()
