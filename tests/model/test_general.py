"""The internal entry points used by aggregates, NumPy loops and the problem code: the
general_* family, copies, the amendment routines and the operand checks."""

import numpy as np
import pytest

import nivra
from helpers.model import algebra, assert_nonlinear, new_vars


@pytest.fixture
def xy():
    return new_vars("x", "y")


def test_none_stands_for_an_empty_accumulator(xy):
    x, y = xy
    for name in ("general_add", "general_iadd", "general_mul", "general_imul", "general_pow",
                 "general_and", "general_iand", "general_or", "general_ior"):
        r = algebra(name, None, x)
        assert type(r) is nivra.expression and str(r) == "x", name
    assert str(algebra("general_sub", None, 2 * x)) == "-2 * x"
    assert algebra("general_add", None, 3) == 3.0 and type(algebra("general_add", None, 3)) is float
    e = x + y
    copy = algebra("general_iadd", None, e)
    copy += 1
    assert str(e) == "x + y" and str(copy) == "1 + x + y"
    a = np.array([1.0, 2.0])
    acc = algebra("general_iadd", None, a)
    acc += 1
    assert acc is not a and list(a) == [1.0, 2.0]
    for name in ("general_add", "general_iadd", "general_sub", "general_mul", "general_imul",
                 "general_div", "general_pow"):
        assert algebra(name, x, None) is x
    with pytest.raises(nivra.ModelError, match="Invalid object in operation: <None>"):
        algebra("general_div", None, x)


def test_operands_keep_their_order(xy):
    x, y = xy
    assert algebra("general_add", 2, 3) == 5 and type(algebra("general_add", 2, 3)) is int
    assert algebra("general_sub", 2, x).extractLinear() == ([x], [-1.0])
    assert str(algebra("general_sub", x, 2)) == "-2 + x"
    assert str(algebra("general_mul", 3, x)) == "3 * x"
    assert str(algebra("general_div", 2 * x, 4)) == "0.5 * x"
    assert str(algebra("general_pow", x, 2)) == "x ** 2"
    assert str(algebra("general_sqr", x + 1)) == "1 + 2 * x + x ** 2"
    assert algebra("general_sqr", 3) == 9
    assert str(algebra("general_neg", x)) == "-x" and algebra("general_neg", 3) == -3
    assert algebra("general_and", True, False) is False
    assert algebra("general_or", 1, 2) == 3
    r = algebra("general_add", np.array([1, 2]), x)
    assert [str(t) for t in r] == ["1 + x", "2 + x"]


def test_in_place_entries(xy):
    x, y = xy
    e = x + 1
    assert algebra("general_iadd", e, y) is e and str(e) == "1 + x + y"
    assert algebra("general_imul", e, 2) is e and str(e) == "2 + 2 * x + 2 * y"
    assert algebra("general_iadd", x, 0) is x
    assert str(algebra("general_iadd", 3, x)) == "3 + x"


def test_general_division_applies_term_rules_to_variables(xy):
    x, y = xy
    assert algebra("general_div", x, 4 * x) == 0.25
    with pytest.raises(nivra.ModelError, match="Division by zero of a variable"):
        algebra("general_div", x, 0 * (x * y))
    with pytest.raises(nivra.ModelError, match="Division by zero of a linear term"):
        algebra("general_div", 2 * x, 0 * (x * y))
    assert str(assert_nonlinear(x / (4 * x))) == "x / (4 * x)"  # the variable's own division
    assert str(assert_nonlinear(algebra("general_div", x, 2 * x * y))) == "0.5 / y"


def test_logical_and_nonlinear_entries_reach_the_hand_over(xy):
    x, y = xy
    for name in ("general_and", "general_iand", "general_or", "general_ior"):
        assert str(assert_nonlinear(algebra(name, x, y))) in ("and(x, y)", "or(x, y)")
        assert_nonlinear(algebra(name, x + 1, True))
    assert str(assert_nonlinear(algebra("general_mul", x * y, x))) == "x * y * x"


@pytest.mark.parametrize("c", [0.0, 1.0, -2.5])
def test_copies(xy, c):
    x, y = xy
    assert algebra("general_copy", 3, c) == 3 * c
    v = algebra("general_copy", x, c)
    assert (v is x) if c == 1.0 else (v == 0.0 if c == 0.0 else str(v) == "-2.5 * x")
    L = algebra("general_copy", 2 * x, c)
    assert L == 0.0 if c == 0.0 else str(L) == f"{2 * c:g} * x"
    Q = algebra("general_copy", x * y, c)
    assert type(Q).__name__ == "quadterm" and Q.extractQuadratic()[2] == [c]
    e = x + 1
    E = algebra("general_copy", e, c)
    assert E is not e and type(E) is nivra.expression
    assert str(E) == {0.0: "0", 1.0: "1 + x", -2.5: "-2.5 - 2.5 * x"}[c]
    assert str(algebra("expression_copy", x * y, c)) == {0.0: "0", 1.0: "x * y",
                                                        -2.5: "-2.5 * x * y"}[c]
    with pytest.raises(nivra.ModelError, match="Invalid object in operation"):
        algebra("general_copy", "x", c)


def test_sums_with_a_sign(xy):
    x, y = xy
    e = x + 1
    r = algebra("expression_alg_sum", e, x * y, -1.0)
    assert r is not e and str(r) == "1 + x - x * y" and str(e) == "1 + x"
    r = algebra("expression_incremental_alg_sum", e, 2 * y, -1.0)
    assert r is e and str(e) == "1 + x - 2 * y"
    assert algebra("expression_incremental_alg_sum", 2, 3, -1.0) == -1.0
    assert str(algebra("expression_incremental_alg_sum", x, e, -1.0)) == "-1 + 2 * y"


def test_amendments(xy):
    x, y = xy
    e = nivra.expression()
    algebra("expression_setLinTerm", e, x, 3.0)
    algebra("expression_addToLinTerm", e, y, 2.0)
    algebra("expression_addToLinTerm", e, y, -2.0)
    assert e.extractLinear() == ([x], [3.0])
    algebra("expression_setLinTerm", e, x, 0.0)
    assert e.extractLinear() == ([], [])
    algebra("expression_addToQuadTerm", e, y, x, 2.0)     # the pair is ordered
    algebra("expression_setQuadTerm", e, y, y, 5.0)
    assert e.extractQuadratic() == ([x, y], [y, y], [2.0, 5.0])
    algebra("expression_addToQuadTerm", e, x, y, -2.0)
    assert e.extractQuadratic() == ([y], [y], [5.0])
    for name, args in [("expression_setLinTerm", (x, x, 1.0)),
                       ("expression_addToLinTerm", (e, 3, 1.0)),
                       ("expression_addToQuadTerm", (e, x, "y", 1.0))]:
        with pytest.raises(nivra.ModelError, match="Invalid operand in expression"):
            algebra(name, *args)


def test_amendments_check_compatibility(xy, owned):
    x, y = xy
    e = x + 1
    owned(y, 0x1000)
    with pytest.raises(nivra.ModelError, match="Linked variables and unlinked variables"):
        algebra("expression_addToLinTerm", e, y, 1.0)
    with pytest.raises(nivra.ModelError, match="Linked variables and unlinked variables"):
        algebra("expression_addToQuadTerm", e, x, y, 1.0)
    algebra("expression_addToLinTerm", e, y, 0.0)        # zero: nothing to check or do


def test_multiply_by_constant(xy):
    x, y = xy
    assert algebra("multiply_by_const_expr", 1.0, x, 1.0) is x
    assert str(algebra("multiply_by_const_expr", 2.0, x, 2.0)) == "2 * x"
    assert str(algebra("multiply_by_const_expr", 2.0, x * y, 2.0)) == "2 * x * y"
    assert str(algebra("multiply_by_const_expr", 2.0, x + 1, 2.0)) == "2 + 2 * x"
    with pytest.raises(nivra.ModelError, match="Error multiplying expressions"):
        algebra("multiply_by_const_expr", 2.0, 3.0, 2.0)


def test_operand_checks(xy, owned):
    x, y = xy
    assert algebra("check_first_var", 3) is None
    assert algebra("check_first_var", nivra.expression()) is None
    assert algebra("check_first_var", 2 * y) is y
    assert algebra("check_first_var", y * x) is x
    assert algebra("check_first_var", x * x + 1) is x
    with pytest.raises(nivra.ModelError, match="Invalid operand in expression"):
        algebra("check_first_var", "x")
    assert algebra("check_expressions_compatible", x, 3) is True
    owned(x, 0x1000)
    owned(y, 0x1000)
    assert algebra("check_expressions_compatible", x, y + 1) is False
    assert algebra("isObjectConst", nivra.expression() + 2) == 2.0
    assert algebra("isObjectConst", np.int32(3)) == 3.0
    e = nivra.expression() + 0
    e += x
    e -= x
    assert algebra("isObjectConst", e) is None     # maps exist though empty
    assert algebra("isObjectConst", np.array([1.0])) is None
