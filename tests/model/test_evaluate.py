"""nivra.evaluate: the value of every kind of model object and of every nonlinear operation,
piecewise linear and logical nodes, the walk over containers and arrays, the sources of
variable values, and the failures."""

import math

import numpy as np
import pytest

import nivra
from helpers.model import algebra, new_vars, set_owner
from nivra import _nivra

(PLUS, MINUS, UMINUS, TIMES, DIVIDE, POWER, EXP, LOG, LOG10, SIN, COS, TAN, ASIN, ACOS, ATAN, MAX,
 MIN, ABS, SIGN, ERF, ERFC, SQRT, PWL, SUM, PROD, AND, OR, USER, USER_DERIV, USER_ONDEMAND) = range(30)


def node(op, args):
    return _nivra._nonlinear_node(op, args)


@pytest.fixture
def vals(xyz):
    x, y, z = xyz
    return xyz, {x: 0.5, y: 2.0, z: -3.0}


def ev(obj, solution):
    return nivra.evaluate(obj, solution=solution)


def test_spec_examples(xyz):
    x, y, _ = xyz
    assert nivra.evaluate(2 * x + 1, solution={x: 3}) == 7.0
    assert nivra.evaluate(x, y, solution={x: 1, y: 2}) == (1.0, 2.0)
    assert nivra.evaluate([x, (y, 2 * y)], solution={x: 1, y: 2}) == [1.0, (2.0, 4.0)]
    with pytest.raises(nivra.ModelError, match="Variable has no value"):
        nivra.evaluate(x, solution={})
    with pytest.raises(ZeroDivisionError, match="Division by zero in evaluation of expression "
                                                "containing fraction"):
        nivra.evaluate(x / (y - 1), solution={x: 1, y: 1})
    assert math.isnan(nivra.evaluate(nivra.sqrt(x), solution={x: -1}))


def test_linear_and_quadratic_objects(vals):
    (x, y, z), s = vals
    cases = [(3, 3.0), (x, 0.5), (-2 * y, -4.0), (x * y, 1.0), (3 * z ** 2, 27.0),
             (1 + x - 2 * y + x * z + y * y, 1 + 0.5 - 4 - 1.5 + 4), (nivra.expression(), 0.0),
             (np.float32(1.5), 1.5), (True, 1.0)]
    for obj, value in cases:
        r = ev(obj, s)
        assert type(r) is float and r == pytest.approx(value), obj


UNARY = {UMINUS: lambda a: -a, EXP: math.exp, LOG: math.log, LOG10: math.log10, SIN: math.sin,
         COS: math.cos, TAN: math.tan, ASIN: math.asin, ACOS: math.acos, ATAN: math.atan,
         ABS: abs, SIGN: lambda a: math.copysign(1.0, a), ERF: math.erf, ERFC: math.erfc,
         SQRT: math.sqrt}


@pytest.mark.parametrize("op", sorted(UNARY))
def test_unary_operations(vals, op):
    (x, _, z), s = vals
    assert ev(node(op, x), s) == pytest.approx(UNARY[op](0.5))
    if op in (SIGN, ABS, UMINUS):
        assert ev(node(op, z), s) == UNARY[op](-3.0)
    assert ev(node(SIGN, 0 * x + 0), s) == 0.0


def test_arithmetic_and_n_ary_operations(vals):
    (x, y, z), s = vals
    cases = [(node(PLUS, [x, y, 2]), 4.5), (node(PLUS, []), 0.0), (node(TIMES, [x, y, z]), -3.0),
             (node(TIMES, []), 1.0), (node(MINUS, (y, z)), 5.0), (node(DIVIDE, (z, y)), -1.5),
             (node(POWER, (y, z)), 0.125), (node(MAX, [x, z, y]), 2.0), (node(MIN, (x, z, y)), -3.0),
             (node(SUM, [x, y]), 2.5), (node(PROD, [y, y, z]), -12.0),
             (nivra.sin(x) * y + z / nivra.exp(x), math.sin(0.5) * 2 - 3 / math.exp(0.5))]
    for obj, value in cases:
        assert ev(obj, s) == pytest.approx(value), str(obj)
    with pytest.raises(ZeroDivisionError):
        ev(node(DIVIDE, (x, 0)), s)


def test_logical_operations_use_the_tolerance(xyz):
    x, y, _ = xyz
    a, o = x & y, x | y
    assert ev(a, {x: 1, y: 1}) == 1.0 and ev(a, {x: 1, y: 0}) == 0.0
    assert ev(a, {x: 1, y: 6e-6}) == 1.0 and ev(a, {x: 1, y: 5e-6}) == 0.0
    assert ev(o, {x: 0, y: 0}) == 0.0 and ev(o, {x: 0, y: 1}) == 1.0
    assert ev(o, {x: 0, y: 1 - 4e-6}) == 1.0 and ev(o, {x: 0, y: 1 - 5e-6}) == 0.0
    assert ev(node(AND, []), {}) == 1.0 and ev(node(OR, []), {}) == 0.0


def test_user_functions(xyz):
    x, y, _ = xyz
    calls = []

    def f(*args):
        calls.append(args)
        return args[0] * 10 + args[1]

    for op in (USER, USER_DERIV, USER_ONDEMAND):
        assert ev(node(op, (f, x, y)), {x: 1, y: 2}) == 12.0
    assert calls == [(1.0, 2.0)] * 3
    assert ev(node(USER, (lambda a: (a + 1, "ignored"), x)), {x: 1}) == 2.0
    assert ev(node(USER, (lambda a: np.float32(2.5), x)), {x: 1}) == 2.5
    with pytest.raises(ValueError, match="boom"):
        ev(node(USER, (lambda a: (_ for _ in ()).throw(ValueError("boom")), x)), {x: 1})
    with pytest.raises(TypeError):
        ev(node(USER, (lambda a: "text", x)), {x: 1})


def test_piecewise_linear(xyz):
    x = xyz[0]
    f = nivra.pwl({(0, 1): x, (1, 2): 2 * x - 1, (2, 3): 5})
    # inside, at breakpoints (the later piece at a jump), left of all and right of all breakpoints
    for at, value in ((0.5, 0.5), (1.5, 2.0), (1, 1.0), (2, 5.0), (2.5, 5.0), (-1, -1.0),
                      (3, 5.0), (4, 5.0)):
        assert ev(f, {x: at}) == pytest.approx(value), at
    g = nivra.pwl({(0, 1): 2 * x, (1, 2): 2 * x})
    assert ev(g, {x: 5}) == 10.0 and ev(g, {x: -1}) == -2.0    # both ends extended
    with pytest.raises(nivra.InterfaceError, match="Not enough points to extrapolate value of "
                                                   "piecewise linear containing fraction for x = -1.0"):
        ev(node(PWL, [x, 0.0, 1.0]), {x: -1})
    assert ev(node(PWL, [x, 0.0, 1.0]), {x: 0}) == 1.0
    with pytest.raises(nivra.InterfaceError, match="discontinuity at first breakpoint x = 0.0 and "
                                                   "can't be evaluated at -1.0"):
        ev(node(PWL, [x, 0.0, 1.0, 0.0, 2.0, 1.0, 3.0]), {x: -1})
    with pytest.raises(nivra.InterfaceError, match="discontinuity at last breakpoint x = 1.0"):
        ev(node(PWL, [x, 0.0, 1.0, 1.0, 2.0, 1.0, 3.0]), {x: 2})
    with pytest.raises(nivra.ModelError, match="Invalid number of arguments"):
        ev(node(PWL, [x, 0.0]), {x: 1})


def test_malformed_nodes(xyz):
    x = xyz[0]
    with pytest.raises(nivra.ModelError, match="Unknown nonlinear type"):
        ev(node(99, [x]), {x: 1})
    with pytest.raises(nivra.ModelError, match="Invalid number of arguments"):
        ev(node(MINUS, (x,)), {x: 1})
    with pytest.raises(nivra.ModelError, match="Invalid number of arguments"):
        ev(node(MAX, []), {x: 1})
    args = [x]
    n = node(MAX, args)
    args.append("bad")
    with pytest.raises(nivra.ModelError, match="Evaluation of object of incorrect type"):
        ev(n, {x: 1})


def test_containers_and_arrays(vals):
    (x, y, z), s = vals
    assert ev({"a": x, 1: [y, {"b": z}]}, s) == {"a": 0.5, 1: [2.0, {"b": -3.0}]}
    assert ev(range(3), s) == [0.0, 1.0, 2.0]
    assert ev(((),), s) == ((),)
    arr = np.array([[x, y], [z, 1]], dtype=object)
    r = ev(arr, s)
    assert r.dtype == np.float64 and r.tolist() == [[0.5, 2.0], [-3.0, 1.0]]
    assert ev(np.array([x, y], dtype=nivra.npvar), s).tolist() == [0.5, 2.0]
    assert ev(np.array([x + 1, 2 * y], dtype=nivra.npexpr), s).tolist() == [1.5, 4.0]
    assert ev(np.array([x, y], dtype=nivra.npvar)[::-1], s).tolist() == [2.0, 0.5]
    with pytest.raises(nivra.InterfaceError, match="nivra.evaluate\\(\\) requires one or more "
                                                   "Python objects;\nNumPy arrays must be of dtype"):
        ev(np.array([1.0, 2.0]), s)
    with pytest.raises(nivra.InterfaceError, match="cannot contain strings as arguments"):
        ev([x, "x"], s)
    with pytest.raises(RuntimeError, match="Cannot evaluate object"):
        ev(object(), s)
    with pytest.raises(RuntimeError, match="Cannot evaluate object"):
        ev(b"x", s)
    assert nivra.evaluate(solution=s) == ()


def test_recursion_depth_limit(xyz):
    x = xyz[0]
    nested = x
    for _ in range(64):
        nested = [nested]
    with pytest.raises(RuntimeError,
                       match="Evaluation of expression exceeded recursion depth limit"):
        ev(nested, {x: 1})
    assert ev(nested[0], {x: 1}) is not None
    deep = x
    for _ in range(70):
        deep = node(PLUS, [x, deep])
    with pytest.raises(RuntimeError, match="exceeded recursion depth limit"):
        ev(deep, {x: 1})
    for _ in range(100000):
        deep = node(PLUS, [x, deep])
    with pytest.raises(RecursionError):
        algebra("general_copy", deep, 2.0)


def test_argument_checks(xyz):
    x = xyz[0]
    with pytest.raises(nivra.InterfaceError, match="nivra.evaluate\\(\\) requires at least one of "
                                                   "the two arguments"):
        nivra.evaluate(x)
    with pytest.raises(nivra.InterfaceError, match='Argument "problem" must be an nivra.problem '
                                                   'object'):
        nivra.evaluate(x, problem=3)
    with pytest.raises(nivra.InterfaceError, match='Argument "problem" is necessary when passing a '
                                                   'list or NumPy array of variable values'):
        nivra.evaluate(x, solution=[1.0])
    with pytest.raises(nivra.InterfaceError, match='Argument "solution" must be a dictionary, a '
                                                   'list, or a one-dimensional NumPy array.'):
        nivra.evaluate(x, solution=(1.0,))
    with pytest.raises(TypeError):
        nivra.evaluate(x, solution={x: 1}, other=1)
    with pytest.raises(TypeError):
        nivra.evaluate(x, solution={x: "a"})


@pytest.fixture
def linked():
    """Two variables that pretend to be columns 0 and 2 of a problem."""
    p = nivra.problem()
    a, b = new_vars("a", "b")
    set_owner(a, id(p), 0)
    set_owner(b, id(p), 2)
    yield p, a, b
    set_owner(a, 0)
    set_owner(b, 0)


def test_values_by_column(linked):
    p, a, b = linked
    assert nivra.evaluate(a, b, 2 * a + b, problem=p, solution=[1, 5, 3]) == (1.0, 3.0, 5.0)
    assert nivra.evaluate(a, b, problem=p, solution=np.array([1.5, 0, 2])) == (1.5, 2.0)
    assert nivra.evaluate(b, problem=p, solution=np.array([0, 1, 7], dtype=np.int8)) == 7.0
    assert nivra.evaluate(b, problem=p, solution=np.array([0, 1, 7.0], dtype=object)) == 7.0
    assert nivra.evaluate(a * b, problem=p, solution={a: 2, b: 3}) == 6.0
    with pytest.raises(nivra.ModelError, match="Variable cannot be identified within expression"):
        nivra.evaluate(b, problem=p, solution=[1.0, 2.0])
    with pytest.raises(nivra.InterfaceError,
                       match="Solution values must be numbers: item 1 is <x>"):
        nivra.evaluate(a, problem=p, solution=[1.0, "x", 2.0])
    with pytest.raises(nivra.InterfaceError, match='must be a dictionary, a list, or a '
                                                   'one-dimensional NumPy array'):
        nivra.evaluate(a, problem=p, solution=np.zeros((3, 1)))
    c, = new_vars("c")
    with pytest.raises(nivra.ModelError, match="Variable does not belong to this problem"):
        nivra.evaluate(c, problem=p, solution=[1.0])


def test_index_mode(linked):
    p, a, b = linked
    values = [1.5, 2.5, 3.5]
    assert algebra("evaluate_indexed", p, values, (0, np.int32(2), [1], a + b)) == (1.5, 3.5, [2.5], 5.0)
    assert algebra("evaluate_indexed", p, values, ({"k": (b,)},)) == {"k": (3.5,)}
    for index in (3, -1, 10 ** 30, "no such column"):
        with pytest.raises(nivra.InterfaceError, match=r"Call to nivra.problem.getSolution\(\) "
                                                       "contains an out-of-range index"):
            algebra("evaluate_indexed", p, values, (index,))


def test_user_node_without_arguments(xyz):
    with pytest.raises(nivra.ModelError, match="Invalid number of arguments"):
        ev(node(USER, ()), {})
