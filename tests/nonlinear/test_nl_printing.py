"""The printed form of nonlinear trees: operators and functions, parentheses by precedence,
the depth marker and printing failures; and the extraction of linear and quadratic parts."""

import pytest

import nivra
from helpers.nonlinear import DIVIDE, MAX, MINUS, PLUS, POWER, TIMES, USER, node

sin, cos = nivra.sin, nivra.cos


def test_parentheses_follow_precedence(xyz):
    x, y, z = xyz
    cases = [
        ((x + y) * sin(x), "(x + y) * sin(x)"),                 # a sum as a factor
        (sin(x) * (2 * y), "sin(x) * 2 * y"),                  # a term is a product
        (sin(x) - (cos(y) - z), "sin(x) - (cos(y) - z)"),       # a - (b - c)
        ((sin(x) - cos(y)) - z, "sin(x) - cos(y) - z"),
        (sin(x) - (cos(y) + z), "sin(x) - (cos(y) + z)"),
        (sin(x) / (cos(x) * y), "sin(x) / (cos(x) * y)"),
        ((sin(x) * y) / z, "sin(x) * y / z"),
        (sin(x) / (x * y), "sin(x) / (x * y)"),               # a quadratic term
        ((sin(x) + 1) ** 2, "(sin(x) + 1) ** 2"),
        ((2 * x) ** 0.5, "(2 * x) ** 0.5"),
        (x ** 0.5, "x ** 0.5"),
        (sin(x) ** (2 * y), "sin(x) ** (2 * y)"),
        (-(sin(x) + y), "-(sin(x) + y)"),
        (-(sin(x) * y), "-(sin(x) * y)"),
        (-(sin(x) ** 2), "-sin(x) ** 2"),
        (nivra.max(x + 1, 2 * y, x * y), "max(1 + x, 2 * y, x * y)"),
        (sin(x) / (cos(y) / z), "sin(x) / (cos(y) / z)"),
        ((sin(x) / cos(y)) / z, "sin(x) / cos(y) / z"),
        (node(PLUS, [x, node(PLUS, [y, z])]), "x + y + z"),
        (node(TIMES, [x, node(PLUS, [y, z])]), "x * (y + z)"),
        (node(POWER, (x, node(POWER, (y, z)))), "x ** y ** z"),
        (node(POWER, (node(POWER, (x, y)), z)), "(x ** y) ** z"),   # powers group to the right
        (node(MINUS, (x, nivra.expression() + 3 + y)), "x - (3 + y)"),
        (node(MINUS, (x, -y)), "x - -y"),
    ]
    for built, expected in cases:
        assert str(built) == expected
        assert repr(built) == expected


def test_functions_and_empty_nodes(xyz):
    x, y, _ = xyz
    for name in ("exp", "log", "log10", "sin", "cos", "tan", "asin", "acos", "atan", "abs",
                 "sqrt", "sign", "erf", "erfc"):
        assert str(getattr(nivra, name)(x + 1)) == f"{name}(1 + x)"
    assert str(node(MAX, [])) == "max()"
    assert str(node(PLUS, [])) == "0" and str(node(TIMES, [])) == "0"
    assert str(node(USER, (lambda a: a, x, 2.5))) == "user(user, x, 2.5)"
    assert str(nivra.max(1, 2.5, True)) == "max(1, 2.5, True)"     # numbers print as Python does


def tower(depth, x):
    f = x
    for _ in range(depth):
        f = sin(f)
    return f


def test_depth_marker(xyz):
    x = xyz[0]
    assert str(tower(64, x)) == "sin(" * 64 + "x" + ")" * 64
    assert str(tower(65, x)) == "sin(" * 65 + "[MAX RECURS LEV]" + ")" * 65
    assert str(tower(70, x)) == "sin(" * 65 + "[MAX RECURS LEV]" + ")" * 65


def test_printing_failures(xyz):
    x = xyz[0]
    args = [x]
    n = node(MAX, args)              # max keeps the list given
    args.append("bad")
    with pytest.raises(nivra.ModelError, match="Unexpected object in nonlinear expression"):
        str(n)
    with pytest.raises(nivra.ModelError, match="Unknown nonlinear type"):
        str(node(77, [x]))


def test_extraction_of_linear_and_quadratic_parts(xyz):
    x, y, z = xyz
    f = 3 * sin(x) + 2 * x - (y - 4 * z) + x * y
    assert f.extractLinear() == ([x, y, z], [2.0, -1.0, 4.0])
    assert f.extractQuadratic() == ([x], [y], [1.0])
    g = -(x + sin(y)) + node(TIMES, [2, 3 * y, 0.5]) + (z + 1) / 4 + x ** 1
    assert g.extractLinear() == ([y, z], [3.0, 0.25])
    h = node(TIMES, [x, y, 2]) + (x * y) / z + x ** 3 + cos(x) + node(DIVIDE, (x + y, 0.0)) + nivra.max(x, y)
    assert h.extractLinear() == ([], [])
    assert h.extractQuadratic() == ([], [], [])
    deep = tower(70, x) + node(PLUS, [node(PLUS, [y])])
    assert deep.extractLinear() == ([y], [1.0])
    nested = y
    for _ in range(70):
        nested = node(PLUS, [nested])
    assert nested.extractLinear() == ([], [])        # levels below 64 are ignored
