"""Nonlinear nodes: what the operators build, the simplifications of the arithmetic, the
in-place forms, flattening, copies with a factor, the constructors' checks and the argument
accessors."""

import numpy as np
import pytest

import nivra
from helpers.model import DELETED_OWNER, algebra, new_vars
from helpers.nonlinear import MAX, MINUS, PLUS, TIMES, UMINUS, USER, is_node, node


def text(o):
    assert is_node(o), o
    return str(o)


def test_results_that_are_no_longer_quadratic_become_nodes(xyz):
    x, y, z = xyz
    assert text(x * y * z) == "x * y * z"
    assert text(x / y) == "x / y"
    assert text(x ** 3) == "x ** 3"
    assert text(2 ** x) == "2 ** x"
    assert text((x + 1) ** 2.5) == "(1 + x) ** 2.5"
    assert text(abs(x)) == "abs(x)"
    assert text(-nivra.sin(x)) == "-sin(x)"
    assert text(--nivra.sin(x)) == "--sin(x)"          # no folding of double negation
    assert text(x & y & z) == "and(x, y, z)"            # flattened into one node
    assert text(x | (y | z)) == "or(x, y, z)"
    assert text(x + nivra.sin(y)) == "sin(y) + x"        # the nonlinear summand first
    assert text(2 + nivra.sin(y)) == "sin(y) + 2"


@pytest.fixture
def e(xyz):
    return nivra.sin(xyz[0])


def assert_copy(r, e):
    assert is_node(r) and r is not e and str(r) == str(e) and nivra.is_equal(r, e)


def test_products_with_special_numbers(e):
    for r in (e * 0, 0 * e, e * 0.0, e * nivra.expression()):
        assert type(r) is float and r == 0.0
    assert_copy(1 * e, e)
    assert_copy(e * 1.0, e)
    assert text(e * -1) == "-sin(x)" and text(-1 * e) == "-sin(x)"
    assert text(e * 2) == "sin(x) * 2" and text(2 * e) == "sin(x) * 2"   # the number second
    assert text(e * (nivra.expression() + 3)) == "sin(x) * 3"


def test_quotients_and_powers_with_special_numbers(e):
    with pytest.raises(nivra.ModelError, match="^Division by zero$"):
        e / 0
    assert 0 / e == 0.0 and type(0 / e) is float
    assert_copy(e / 1, e)
    assert e ** 0 == 1.0 and type(e ** 0) is float
    assert 1 ** e == 1.0 and type(1 ** e) is float
    assert_copy(e ** 1, e)
    for exponent in ([1, 2], (1,), np.array([1.0, 2.0])):
        with pytest.raises(nivra.ModelError,
                           match="Cannot obtain a power with a vector as an exponent"):
            e ** exponent
    with pytest.raises(TypeError):
        pow(e, 2, 3)


def test_sums_and_differences_with_zero(e):
    assert_copy(e + 0, e)
    assert_copy(0 + e, e)
    assert_copy(e - 0, e)
    assert text(0 - e) == "-sin(x)"
    assert text(e - e) == "sin(x) - sin(x)"            # nonlinear summands do not cancel


def test_plus_nodes_keep_one_linear_item_last(xyz):
    x, y, z = xyz
    assert text(nivra.sin(x) + nivra.cos(y) + 2 * x) == "sin(x) + cos(y) + 2 * x"
    assert text(2 * x + nivra.sin(x) + y + nivra.cos(y) + 1) == "sin(x) + cos(y) + 1 + 2 * x + y"
    joined = (nivra.sin(x) + y) + (nivra.cos(x) + 2)
    assert text(joined) == "sin(x) + cos(x) + 2 + y"
    assert text((nivra.sin(x) + y) - (nivra.cos(x) + y)) == "sin(x) + cos(x) * -1.0"
    assert text(nivra.sin(x) + y - 3 * y + 2 * y) == "sin(x)"   # the cancelled item is dropped
    assert text(nivra.sin(x) + 1 - 1) == "sin(x)"
    f = nivra.sin(x) * y
    assert text(f - z) == "sin(x) * y - z"               # a minus node unless f is a sum


def test_results_never_alias_the_operands(xyz):
    x, y, z = xyz
    f = nivra.sin(x) + nivra.cos(x)
    s = 0
    s += f                         # a copy: later in-place sums leave f alone
    s += y
    assert str(f) == "sin(x) + cos(x)" and str(s) == "sin(x) + cos(x) + y"
    e = x + 1
    g = nivra.sin(x) + e
    g += y
    assert str(e) == "1 + x" and str(g) == "sin(x) + 1 + x + y"
    t = nivra.sin(x) * nivra.cos(x)
    r = (t + y) - y                # one item remains: a copy of it
    assert r is not t and str(r) == str(t)
    r *= 2
    assert str(t) == "sin(x) * cos(x)"


def test_in_place_sums_extend_the_left_node(xyz):
    x, y, z = xyz
    f = nivra.sin(x) + y
    g = f
    g += nivra.cos(x)
    assert g is f and str(f) == "sin(x) + cos(x) + y"
    g += 0
    assert g is f
    g -= nivra.exp(z)
    g += 2 * z
    assert g is f and str(f) == "sin(x) + cos(x) + exp(z) * -1.0 + y + 2 * z"
    h = nivra.sin(z)
    h += x                          # not a plus node: a new node
    assert str(h) == "sin(z) + x"
    acc = nivra.sin(x)
    for v in new_vars(*"abcdef"):
        acc += v
    assert str(acc) == "sin(x) + a + b + c + d + e + f"
    f += f                          # the items of the right operand are read before it grows
    assert str(f).count("sin(x)") == 2


def test_in_place_products_keep_the_numeric_factor_last(xyz):
    x, y, z = xyz
    t = nivra.sin(x) * nivra.cos(x)
    u = t
    u *= 2
    assert u is t and str(t) == "sin(x) * cos(x) * 2"
    u *= y
    assert u is t and str(t) == "sin(x) * cos(x) * y * 2"
    u *= 0.5                       # a factor 1 is dropped
    assert str(t) == "sin(x) * cos(x) * y"
    u *= nivra.exp(z) * 3
    assert str(t) == "sin(x) * cos(x) * y * exp(z) * 3"
    u *= 1
    assert u is t
    u *= 0
    assert u == 0.0 and type(u) is float and str(t) == "sin(x) * cos(x) * y * exp(z) * 3"
    v = nivra.sin(x)
    v *= 3                          # not a times node: a new flat node
    assert str(v) == "sin(x) * 3"
    w = nivra.sin(x)
    w *= -1
    assert str(w) == "-sin(x)"


def test_in_place_quotients_and_powers(xyz):
    x, y, z = xyz
    d = nivra.sin(x) / y
    d /= 4                          # multiplies by 1/4
    assert str(d) == "sin(x) / y * 0.25"
    den = nivra.cos(x) * y
    q = nivra.sin(x) / den
    r = q
    r /= z                          # the denominator is extended, as a new node
    assert r is q and str(q) == "sin(x) / (cos(x) * y * z)" and str(den) == "cos(x) * y"
    q2 = nivra.sin(x) / y
    q2 /= z
    assert str(q2) == "sin(x) / (y * z)"
    with pytest.raises(nivra.ModelError, match="^Division by zero$"):
        q2 /= 0
    p = nivra.sin(x) ** 2
    s = p
    s **= 3
    assert s is p and str(p) == "sin(x) ** 6"
    s **= 1
    assert s is p
    s **= 0
    assert s == 1.0


def test_in_place_logical_operators(xyz):
    x, y, z = xyz
    a = x & y
    b = a
    b &= z
    assert b is a and str(a) == "and(x, y, z)"
    b &= (x & y)
    assert str(a) == "and(x, y, z, x, y)"
    o = x | y
    o |= (z | x)
    assert str(o) == "or(x, y, z, x)"
    assert str(algebra("general_iand", x, y)) == "and(x, y)"


def test_operands_are_checked(xyz, owned):
    x, y, z = xyz
    f = nivra.sin(x)
    with pytest.raises(nivra.ModelError, match="Invalid object in operation: <a>"):
        f + "a"
    owned(z, 0x1000)
    for build in (lambda: f + z, lambda: f * z, lambda: f / z, lambda: f ** z, lambda: f & z,
                  lambda: nivra.max(x, z), lambda: f - z):
        with pytest.raises(nivra.ModelError, match="Linked variables and unlinked variables"):
            build()
    owned(y, DELETED_OWNER)
    with pytest.raises(nivra.ModelError, match="Deleted variable in expression"):
        nivra.sin(y)


def test_constructor_checks(xyz):
    x, y, _ = xyz
    with pytest.raises(nivra.ModelError, match="Could not create a unary nonlinear expression: the "
                                               "argument must be a single expression"):
        nivra.sin([x])
    with pytest.raises(nivra.ModelError, match="Invalid object in unary nonlinear expression"):
        nivra.sin("a")
    with pytest.raises(nivra.ModelError, match="Could not create an n-ary nonlinear expression: "
                                               "the arguments must be in a list or tuple"):
        node(MAX, x)
    with pytest.raises(nivra.ModelError, match="Invalid object in n-ary nonlinear expression"):
        nivra.max(x, [y])
    with pytest.raises(nivra.ModelError, match="Invalid object in n-ary nonlinear expression"):
        node(PLUS, [x, None])
    with pytest.raises(nivra.ModelError, match="First argument in a user function expression "
                                               "must be a function"):
        node(USER, (x, y))
    assert str(node(MAX, [])) == "max()" and str(node(PLUS, [])) == "0"
    args = [x, y]
    n = node(PLUS, args)
    n += nivra.sin(x)
    assert args == [x, y]          # a plus node owns a copy of the list


def test_copies_with_a_factor(xyz):
    x, y, _ = xyz
    f = nivra.sin(2 * x)
    c = algebra("general_copy", f, 1.0)
    assert str(c) == "sin(2 * x)" and c is not f
    arg = algebra("nonlin_args", c)[1][0]
    assert arg is not algebra("nonlin_args", f)[1][0]      # arguments are copied
    assert str(algebra("general_copy", f, -1.0)) == "sin(2 * x) * -1.0"
    assert str(algebra("general_copy", -f, 2.0)) == "sin(2 * x) * -2.0"
    assert str(algebra("general_copy", f * 3, 2.0)) == "sin(2 * x) * 6.0"
    assert algebra("general_copy", f, 0.0) == 0.0
    fn = lambda a: a  # noqa: E731
    u = node(USER, (fn, x))
    assert algebra("nonlin_args", algebra("general_copy", u, 1.0))[1][0] is fn
    with pytest.raises(nivra.ModelError, match="Invalid object being copied from argument "
                                               "list/tuple in a nonlinear expression"):
        algebra("general_copy", node(999, ["bad"]), 1.0)
    with pytest.raises(nivra.ModelError, match="Invalid object being copied from single argument "
                                               "in a nonlinear expression"):
        algebra("general_copy", node(999, "bad"), 1.0)


def test_argument_accessors_and_first_variable(xyz):
    x, y, z = xyz
    assert algebra("nonlin_args", nivra.sin(x)) == (1, [x])
    n = x - nivra.sin(y)
    size, args = algebra("nonlin_args", n)
    assert size == 2 and args[0] is x and str(args[1]) == "sin(y)"
    assert algebra("nonlin_args", node(MAX, [])) == (0, [])
    with pytest.raises(nivra.ModelError, match="Accessing first argument list of an object that "
                                               "is not a nonlinear expression"):
        algebra("nonlin_args", x)
    assert algebra("check_first_var", nivra.max(2, nivra.sin(y), x)) is y
    assert algebra("check_first_var", node(USER, (lambda *a: 0, z, x))) is z   # callable skipped
    assert algebra("check_first_var", nivra.sin(node(MAX, [1, 2]))) is None


def test_unary_minus_and_binary_nodes(xyz):
    x, y, _ = xyz
    n = nivra.sin(x) - nivra.cos(y)
    assert algebra("nonlin_args", n)[0] == 2 and str(n) == "sin(x) - cos(y)"
    m = -(nivra.sin(x) * y)
    assert str(m) == "-(sin(x) * y)" and algebra("nonlin_args", m)[0] == 1
    assert str(node(UMINUS, x)) == "-x"
    assert str(node(MINUS, (1, x))) == "1 - x"
    assert str(node(TIMES, [2, x, 3])) == "2 * x * 3"



def test_arrays_on_the_right_drive_the_operation(xyz):
    x, y, _ = xyz
    f = nivra.sin(x)
    r = f + np.array([1.0, 2.0])
    assert [str(v) for v in r] == ["sin(x) + 1.0", "sin(x) + 2.0"]
    assert [str(v) for v in f - np.array([1.0])] == ["sin(x) + -1.0"]
    assert [str(v) for v in f / np.array([2.0])] == ["sin(x) * 0.5"]
