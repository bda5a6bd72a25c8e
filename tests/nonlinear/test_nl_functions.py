"""The module functions that build nonlinear expressions: mathematical functions (folded for
numbers, element-wise on arrays), max and min, and pwl with its breakpoint rules."""

import math

import numpy as np
import pytest

import nivra
from helpers.model import algebra
from helpers.nonlinear import is_node

FOLDS = {
    "exp": math.exp, "log": math.log, "log10": math.log10, "sin": math.sin, "cos": math.cos,
    "tan": math.tan, "asin": math.asin, "acos": math.acos, "atan": math.atan, "abs": abs,
    "sqrt": math.sqrt, "erf": math.erf, "erfc": math.erfc,
    "sign": lambda v: math.copysign(1.0, v) if v else 0.0,
}


@pytest.mark.parametrize("name", sorted(FOLDS))
def test_numbers_are_folded_with_the_c_library(name):
    f = getattr(nivra, name)
    for v in (0.5, 1, np.float32(0.25), np.int16(1), True):
        r = f(v)
        assert type(r) is float and r == pytest.approx(FOLDS[name](float(v)), rel=1e-7)


def test_folding_special_values():
    assert nivra.exp(2) == math.exp(2)
    assert nivra.sign(-3) == -1.0 and nivra.sign(0) == 0.0 and nivra.sign(2.5) == 1.0
    for nan in (nivra.sqrt(-1), nivra.log(-1.0), nivra.asin(2)):
        assert math.isnan(nan)
    assert nivra.log(0) == -math.inf


def test_arrays_apply_element_by_element(xyz):
    x, y, _ = xyz
    r = nivra.log(np.array([1, x], dtype=object))
    assert r.dtype == object and r[0] == 0.0 and type(r[0]) is float and str(r[1]) == "log(x)"
    numeric = nivra.sqrt(np.array([[1, 4], [9, 16]]))
    assert numeric.dtype == np.float64 and numeric.shape == (2, 2)
    assert numeric.tolist() == [[1.0, 2.0], [3.0, 4.0]]
    src = np.array([0.0, 1.0])
    assert nivra.exp(src) is not src and src.tolist() == [0.0, 1.0]
    variables = np.array([x, y], dtype=nivra.npvar)
    s = nivra.sin(variables)
    assert s.dtype == nivra.npexpr and [str(v) for v in s] == ["sin(x)", "sin(y)"]
    e = nivra.cos(np.array([x + 1, 2 * y], dtype=nivra.npexpr))
    assert e.dtype == nivra.npexpr and [str(v) for v in e] == ["cos(1 + x)", "cos(2 * y)"]
    nested = np.empty(2, dtype=object)
    nested[0], nested[1] = np.array([0.0, x], dtype=object), 0.0
    n = nivra.exp(nested)
    assert n[1] == 1.0 and n[0][0] == 1.0 and str(n[0][1]) == "exp(x)"
    assert nivra.abs(np.float64(-2)) == 2.0
    assert nivra.abs(np.array(-3.0)).item() == 3.0
    with pytest.raises(nivra.ModelError, match="Invalid object in unary nonlinear expression"):
        nivra.sin(np.array(["a"], dtype=object))


def test_max_and_min(xyz):
    x, y, z = xyz
    assert nivra.max(x) is x and nivra.max([x]) is x and nivra.min((x,)) is x
    assert nivra.max(5) == 5 and nivra.max(np.array([[x]], dtype=object)) is x
    assert str(nivra.max(x, y)) == "max(x, y)" and str(nivra.min(x, y, 3)) == "min(x, y, 3)"
    assert str(nivra.max([x, y + 1])) == "max(x, 1 + y)"
    assert str(nivra.min(np.array([[x, y], [z, 1]], dtype=object))) == "min(x, y, z, 1)"
    assert str(nivra.max(v for v in (x, z))) == "max(x, z)"
    assert is_node(nivra.max(1, 2))                       # several numbers still give a node
    for bad, message in ((lambda: nivra.max([]), "The function nivra.max must have at least one argument"),
                         (lambda: nivra.max(), "The function nivra.max must have at least one argument"),
                         (lambda: nivra.min(()), "The function nivra.min must have at least one argument"),
                         (lambda: nivra.max(None), "Incorrect argument for nivra.max function"),
                         (lambda: nivra.min(object()), "Incorrect argument for nivra.min function"),
                         (lambda: nivra.max(["a"]), "Invalid object in n-ary nonlinear expression")):
        with pytest.raises(nivra.ModelError, match=message):
            bad()


def breakpoints(f):
    """The breakpoint pairs of a piecewise linear node, and its variable."""
    size, args = algebra("nonlin_args", f)
    assert str(f).startswith("pwl(") and size == len(args)
    return args[0], list(zip(args[1::2], args[2::2]))


def test_pwl_breakpoints(xyz):
    x, y, _ = xyz
    var, points = breakpoints(nivra.pwl({(0, 1): x, (1, 2): 2 * x - 1}))
    assert var is x and points == [(0, 0), (1, 1), (2, 3)]        # the shared point once
    assert breakpoints(nivra.pwl({(0, 1): x, (1, 2): 2}))[1] == [(0, 0), (1, 1), (1, 2), (2, 2)]
    # Given in any order; a gap keeps both ends; a jump smaller than 1e-6 is continuous.
    assert breakpoints(nivra.pwl({(3, 4): 1, (0, 1): x + 0, (1, 2): 1 + 1e-7}))[1] == [
        (0, 0), (1, 1 + 1e-7), (2, 1 + 1e-7), (3, 1), (4, 1)]
    assert breakpoints(nivra.pwl({(-1e20, 0): x}))[1] == [(-0.88, -0.88), (0, 0)]
    assert breakpoints(nivra.pwl({(0, 1): x, (1, 1e20): 3 * x - 2}))[1] == [
        (0, 0), (1, 1), (1.88, pytest.approx(3.64))]
    assert breakpoints(nivra.pwl({(-1e25, 1e25): 2 * x + 1}))[1] == [(0, 1), (0.88, 2.76)]
    steep = breakpoints(nivra.pwl({(0, 1): 1e30 * x}))[1]          # |y(b)| >= 1e20 moves b
    assert steep == [(0, 0), (0.88, pytest.approx(0.88e30))]
    assert breakpoints(nivra.pwl({None: y, (0, 1): 5}))[0] is y
    assert breakpoints(nivra.pwl({None: x, (0, 1): x}))[0] is x
    assert breakpoints(nivra.pwl({(0, 1): x, (1, 2): 3}))[1] == [(0, 0), (1, 1), (1, 3), (2, 3)]


@pytest.mark.parametrize("build, message", [
    (lambda x, y: nivra.pwl([(0, 1), x]), "Function nivra.pwl only accepts a dictionary"),
    (lambda x, y: nivra.pwl({None: 3, (0, 1): x}),
     r"Tuple \(None, Obj\) must have an nivra.var\(\) object as Obj, found <3>"),
    (lambda x, y: nivra.pwl({(0, 1, 2): x}),
     r"All keys in the dictionary argument of nivra.pwl must be two-tuples; <\(0, 1, 2\)> is not"),
    (lambda x, y: nivra.pwl({0: x}), "must be two-tuples; <0> is not"),
    (lambda x, y: nivra.pwl({(2, 1): x}),
     r"two-tuples with two constant numbers: \[a,b\] such that a<b; <\(2, 1\)> is not"),
    (lambda x, y: nivra.pwl({(1, 1): x}), r"such that a<b; <\(1, 1\)> is not"),
    (lambda x, y: nivra.pwl({(0, "a"): x}), r"such that a<b; <\(0, 'a'\)> is not"),
    (lambda x, y: nivra.pwl({(0, 1): x * x}),
     "Expression x \\*\\* 2 not suitable for a piecewise linear function; it must be a constant "
     "or a linear function"),
    (lambda x, y: nivra.pwl({(0, 1): nivra.sin(x)}), "sin\\(x\\) not suitable"),
    (lambda x, y: nivra.pwl({(0, 1): x + y}),
     "Expression x \\+ y not suitable for a piecewise linear function; it must contain one "
     "variable only"),
    (lambda x, y: nivra.pwl({(0, 1): x, (1, 2): y}),
     r"Expression in \[1,2\] interval contains variable y while another variable has been used "
     "in the same function"),
    (lambda x, y: nivra.pwl({None: x, (0, 1.5): y}), r"in \[0,1.5\] interval contains variable y"),
    (lambda x, y: nivra.pwl({(0, 1): 2, (1, 2): 3}),
     r"No variable specified for this piecewise linear function: .*; Are all values constant\? "
     r"If so, add a key-value pair \(None: x\)"),
    (lambda x, y: nivra.pwl({None: x}), "No interval given for this piecewise linear function"),
    (lambda x, y: nivra.pwl({(0, 2): x, (1, 3): 1}),
     r"Interval \[0,2\] overlaps with \[1,3\] in piecewise linear function"),
    (lambda x, y: nivra.pwl({(-1e20, 0): x, (-1e20, 1): 1}), r"Interval \[-1e\+20,0\] overlaps"),
])
def test_pwl_checks(xyz, build, message):
    x, y, _ = xyz
    with pytest.raises(nivra.ModelError, match=message):
        build(x, y)
