"""Expressions: canonical printing, extraction, in-place forms and their aliasing, the
compatibility check, operands of other types and the delegation to NumPy."""

import numpy as np
import pytest

import nivra
from helpers.model import DELETED_OWNER, assert_nonlinear, new_vars


def test_empty_expression():
    e = nivra.expression()
    assert str(e) == repr(e) == "0"
    assert e.extractLinear() == ([], []) and e.extractQuadratic() == ([], [], [])
    with pytest.raises(TypeError):
        nivra.expression(3)
    with pytest.raises(TypeError):
        nivra.expression(body=3)


def test_canonical_text(xyz):
    x, y, z = xyz
    assert str(5 + x - 2 * y + 3 * x * y + x ** 2) == "5 + x - 2 * y + x ** 2 + 3 * x * y"
    assert str(-x + 4) == "4 - x"
    assert str(-2 * x + 0 * y + nivra.expression()) == "-2 * x"
    assert str((x + 1) * (y - 1)) == "-1 - x + y + x * y"
    assert str((x + y) ** 2) == "x ** 2 + 2 * x * y + y ** 2"
    assert str(z * y + y * x + x * z + 1.5) == "1.5 + x * y + x * z + y * z"
    assert str(nivra.expression() - 3 + 0.25 * z) == "-3 + 0.25 * z"
    assert str(x - x * x - 1e30) == "-1e+30 + x - x ** 2"
    assert str(-(nivra.expression() + x - x)) == "0"


def test_long_names_are_cut_at_character_boundaries():
    long, = new_vars("é" * 700)                 # 1400 bytes of UTF-8
    text = str(2 * long + long * long)
    term, product = text.split(" + ")
    assert term.startswith("2 * é") and len(term.encode()) <= 1023
    assert len(product.encode()) <= 1023 + 3 and set(product[3:]) == {"é"}
    assert len(str(long * long).encode()) <= 511


def test_extraction_is_ordered_by_identifier(xyz):
    x, y, z = xyz
    e = 3 * z + x - y + 2 * z * x + y * y + 7
    assert e.extractLinear() == ([x, y, z], [1.0, -1.0, 3.0])
    assert e.extractQuadratic() == ([x, y], [z, y], [2.0, 1.0])
    assert (x * x + 4).extractLinear() == ([], [])
    e = nivra.expression()
    many = new_vars(*[f"v{i}" for i in range(700)])
    for v in reversed(many):
        e += v
    assert e.extractLinear()[0] == many


def test_quadratic_map_size(xyz):
    u, v, w = xyz
    e = u * u + 2 * u * v + 3 * w * w
    assert len(e.extractQuadratic()[0]) == 3
    e -= 2 * v * u
    assert e.extractQuadratic() == ([u, w], [u, w], [1.0, 3.0])


def test_in_place_addition_changes_every_holder(xyz):
    x, y, _ = xyz
    e = x + 1
    f = e
    f += y
    assert f is e and str(e) == "1 + x + y"
    f -= 2 * x * y
    assert f is e and str(e) == "1 + x + y - 2 * x * y"
    f += nivra.expression() + 4      # a constant expression goes to the constant
    assert str(e) == "5 + x + y - 2 * x * y"
    g = e
    g += e                           # the expression added to itself
    assert g is e and str(e) == "10 + 2 * x + 2 * y - 4 * x * y"
    g -= e
    assert g is e and str(e) == "0"


def test_in_place_products_quotients_and_powers(xyz):
    x, y, _ = xyz
    e = x + 1
    f = e
    f *= 0
    assert f == 0.0 and type(f) is float and str(e) == "1 + x"
    f = e
    f *= 1
    assert f is e
    f *= 2
    assert f is e and str(e) == "2 + 2 * x"
    f /= 4
    assert f is e and str(e) == "0.5 + 0.5 * x"
    with pytest.raises(nivra.ModelError, match="^Division by zero$"):
        f /= 0
    f *= y                           # a non-constant factor gives a new product
    assert f is not e and str(f) == "0.5 * y + 0.5 * x * y" and str(e) == "0.5 + 0.5 * x"
    f = e
    f **= 1
    assert f is e
    f **= 2
    assert f is not e and str(f) == "0.25 + 0.5 * x + 0.25 * x ** 2"
    f = e
    f **= 0
    assert f == 1.0
    f = e
    f /= x
    assert_nonlinear(f)
    f = e
    f **= 3
    assert_nonlinear(f)
    assert str(e) == "0.5 + 0.5 * x"
    c = nivra.expression() + 3
    d = c
    d *= c
    assert d is c and str(c) == "9"


def test_coefficients_that_underflow_are_removed(xyz):
    x, y, _ = xyz
    e = 1e-200 * x + y
    e *= 1e-200
    assert e.extractLinear() == ([y], [1e-200])


def test_compatibility_of_variables(xyz, owned):
    x, y, z = xyz
    owned(x, 0x1000)
    owned(y, 0x2000)
    with pytest.raises(nivra.ModelError, match="Variables from different problems in expression"):
        x + y
    with pytest.raises(nivra.ModelError, match="Variables from different problems in expression"):
        2 * x * y
    with pytest.raises(nivra.ModelError,
                       match="Linked variables and unlinked variables cannot be combined"):
        x * z
    with pytest.raises(nivra.ModelError,
                       match="Linked variables and unlinked variables cannot be combined"):
        (z + 1) * x
    owned(y, 0x1000)
    e = x + y            # same problem: fine (building does not touch the library)
    owned(x, 0)
    owned(y, 0)
    assert e.extractLinear() == ([x, y], [1.0, 1.0])


def test_representative_variable_after_removals():
    # The compatibility check takes one variable of each operand; after the entry of the
    # variable inserted last (or every entry) is removed, the one it takes must still be there.
    p, q = nivra.problem(), nivra.problem()
    x, y = p.addVariable(), p.addVariable()
    z = q.addVariable()
    e = x + y
    e -= y
    with pytest.raises(nivra.ModelError, match="Variables from different problems"):
        e + z
    e -= x
    assert (e + z).extractLinear() == ([z], [1.0])
    f = y * y + x * y    # rows of y, then of x
    f -= x * y
    with pytest.raises(nivra.ModelError, match="Variables from different problems"):
        f + z
    f -= y * y
    assert (f + z).extractLinear() == ([z], [1.0])


def test_deleted_variable_in_expression(xyz, owned):
    x, y, _ = xyz
    e = x + 2 * y
    owned(x, DELETED_OWNER)
    owned(y, DELETED_OWNER)
    with pytest.raises(nivra.ModelError, match="Deleted variable in expression"):
        e + 1
    with pytest.raises(nivra.ModelError, match="Deleted variable in expression"):
        -e


def test_operands_of_other_types(xyz):
    x, _, _ = xyz
    for other in ("abc", None, object(), 1j, np.bool_(True), np.uint8(3), [1], (1, 2)):
        with pytest.raises(nivra.ModelError, match="Invalid object in operation: <"):
            x + other
    with pytest.raises(nivra.ModelError, match=r"Invalid object in operation: <abc>"):
        (x + 1) * "abc"
    with pytest.raises(OverflowError):
        x + 10 ** 400


@pytest.mark.parametrize("number", [2, 2.0, True, np.float16(2), np.float32(2), np.float64(2),
                                    np.int8(2), np.int16(2), np.int32(2), np.int64(2)])
def test_numbers(xyz, number):
    x, _, _ = xyz
    expected = "x" if number is True else "2 * x"
    assert str(x * number) == expected and str(number * x) == expected
    assert str(x + number) == ("1 + x" if number is True else "2 + x")


def test_arrays_and_sequences_make_operations_element_wise(xyz):
    x, y, _ = xyz
    a = np.array([1.0, 2.0])
    assert [str(t) for t in x + a] == ["1 + x", "2 + x"]
    assert [str(t) for t in x - a] == ["-1 + x", "-2 + x"]
    assert [str(t) for t in (x + 1) * a] == ["1 + x", "2 + 2 * x"]
    assert [str(t) for t in x / a] == ["x", "0.5 * x"]
    assert [str(t) for t in (2 * x) * np.array([x, y], dtype=object)] == ["2 * x ** 2", "2 * x * y"]
    with pytest.raises(nivra.ModelError,
                       match="Cannot obtain a power with a vector as an exponent"):
        x ** a
    with pytest.raises(nivra.ModelError,
                       match="Cannot obtain a power with a vector as an exponent"):
        (x + 1) ** [1, 2]
    e = x + 1
    f = e
    f += a                           # an array on the right: a new array, e unchanged
    assert isinstance(f, np.ndarray) and str(e) == "1 + x"


def test_expression_arrays_truth_value(xyz):
    x, _, _ = xyz
    arr = np.array([nivra.expression(), nivra.expression() + 1, x + 0, x - x + nivra.expression()],
                   dtype=nivra.npexpr)
    assert np.count_nonzero(arr) == 2
