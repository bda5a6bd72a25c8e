"""A model object combined with a NumPy array, in either order, gives arrays of the module's
element types: expressions for arithmetic, constraints for comparisons."""

import operator

import numpy as np
import pytest

import nivra


@pytest.fixture
def model():
    p = nivra.problem()
    x = p.addVariables(3, name="x")
    d = p.addVariable(name="d")
    return p, x, d


ARRAYS = {
    "int": np.array([1, 2, 3]),
    "float": np.array([1.0, 2.0, 3.0]),
    "float32": np.array([1.0, 2.0, 3.0], dtype=np.float32),
}
ARITHMETIC = [operator.add, operator.sub, operator.mul, operator.truediv]


@pytest.mark.parametrize("kind", ARRAYS)
@pytest.mark.parametrize("op", ARITHMETIC, ids=lambda f: f.__name__)
def test_arithmetic_in_both_orders_gives_expression_arrays(model, kind, op):
    _, _, d = model
    a = ARRAYS[kind]
    for scalar in (d, 2 * d + 1):
        for r, pairs in ((op(scalar, a), [(scalar, v) for v in a]),
                         (op(a, scalar), [(v, scalar) for v in a])):
            assert r.dtype == nivra.npexpr and r.shape == a.shape
            for got, (left, right) in zip(r, pairs):
                expected = op(left, right)
                # same value at two points
                for point in (1.5, -2.0):
                    sol = {d: point}
                    assert nivra.evaluate(got, solution=sol) == pytest.approx(
                        nivra.evaluate(expected, solution=sol))


def test_variable_arrays_and_scalar_expressions(model):
    _, x, d = model
    for r in (x + d, d + x, x - d, d - x, x * 2 * d, (d + 1) * x):
        assert r.dtype == nivra.npexpr
    assert [str(e) for e in d + x] == [str(d + v) for v in x]


@pytest.mark.parametrize("kind", ARRAYS)
def test_comparisons_in_both_orders_give_constraint_arrays(model, kind):
    _, x, d = model
    a = ARRAYS[kind]
    for cs in (d <= a, a >= d, 2 * d + 1 == a, a == 2 * d + 1, x == d + x, x + d >= a):
        assert cs.dtype == object and all(type(c) is nivra.constraint for c in cs)


def test_constraints_from_mixed_operands_solve_as_written(model):
    p, x, d = model
    a = np.array([1.0, 2.0, 3.0])
    p.addConstraint(a * d >= a, x <= d + a)   # d >= 1 and x_i <= d + a_i
    p.setObjective(nivra.Sum(x) - 4 * d, sense=nivra.maximize)
    p.controls.outputlog = 0
    p.optimize()
    assert p.getSolution(d) == pytest.approx(1.0)
    assert p.getSolution(list(x)) == pytest.approx([2.0, 3.0, 4.0])
