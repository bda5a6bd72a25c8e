"""Special ordered sets and indicator constraints added from model objects, checked against
the optimum found by enumerating the discrete choices."""

import itertools
import warnings

import numpy as np
import pytest

import nivra

from helpers.transfer import quiet


def test_addsos_links_a_set_and_refuses_bad_arguments():
    p = quiet()
    x = p.addVariables(20, ub=1)
    p.addSOS([x[0], x[1]], [1, 2])
    s = p.addSOS(list(x), list(range(2, 22)), type=2, name="big")
    assert s.index == 1 and s.name == "big" and p.getSOS() == [p.getSOS(0), s]
    for args, kwargs, message in [
        ((list(x[:2]), [1]), {}, "Number of SOS indices and weights do not match"),
        ((x[0], [1]), {}, "SOS indices must be a list of variables"),
        (([x[0]], (1,)), {}, "SOS weights must be a list of numbers"),
        (([x[0]], [1]), {"type": 3}, "SOS type must be 1 or 2"),
        (([x[0]], [1]), {"name": 5}, "SOS name must be a string"),
        ((["a"], [1]), {}, "SOS indices must be variables or integer indices"),
        (([x[0]], ["a"]), {}, "SOS weights must be numbers"),
    ]:
        with pytest.raises(nivra.ModelError, match=message):
            p.addSOS(*args, **kwargs)
    with pytest.raises(nivra.SolverValueError, match="reference value"):
        p.addSOS([x[0], x[1]], [1, 1])  # the library: weights must differ
    assert p.attributes.sets == 2


def test_existing_unlinked_sets_in_the_constructor_and_addsos():
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nivra.DeprecationWarning)
        x, y, z = (nivra.var(ub=1, name=n) for n in "xyz")
        s1 = nivra.sos([x, y, z], [1, 2, 3], type=1)
        p = nivra.problem([x, y, z], s1, x + y + z, sense=nivra.maximize)
        s2 = nivra.sos([x, z], [1, 2])
        s3 = nivra.sos([y], [1])
    p.setOutputEnabled(False)
    assert p.getSOS() == [s1] and p.getIndex(s1) == 0
    p.optimize()
    assert p.attributes.objval == pytest.approx(1.0)
    p.addSOS(s2)
    assert p.attributes.sets == 2
    for args, message in [((s2,), "SOS already added to problem"),
                          ((s3, 3), "Object added is not a SOS")]:  # all or nothing
        with pytest.raises(nivra.ModelError, match=message):
            p.addSOS(*args)
    assert p.attributes.sets == 2
    q = quiet()
    q.addVariable()
    with pytest.raises(nivra.ModelError, match="Cannot use problem.addSOS to add an existing SOS"):
        q.addSOS(s2)


def best_by_enumeration(n, feasible, value):
    best = None
    for point in itertools.product(*(range(n) for _ in range(n))):
        if feasible(point):
            best = value(point) if best is None else max(best, value(point))
    return best


def test_sos2_optimum_matches_enumeration():
    rng = np.random.default_rng(5)
    p = quiet()
    c = rng.integers(1, 9, 4)
    x = p.addVariables(4, ub=2, vartype=nivra.integer)
    p.addSOS(list(x), [4, 3, 2, 1], type=2)  # order by weight: x3, x2, x1, x0
    p.addConstraint(nivra.Sum(x) <= 3)
    p.setObjective(nivra.Dot(c, x), sense=nivra.maximize)
    p.optimize()
    order = [3, 2, 1, 0]

    def sos2(point):
        nz = [k for k, j in enumerate(order) if point[j]]
        return len(nz) <= 2 and (len(nz) < 2 or nz[1] == nz[0] + 1)

    def feasible(point):
        return max(point) <= 2 and sum(point) <= 3 and sos2(point)

    best = max(int(np.dot(c, pt)) for pt in itertools.product(range(3), repeat=4) if feasible(pt))
    assert p.attributes.objval == pytest.approx(best)


def test_indicators_add_rows_and_match_enumeration():
    p = quiet()
    b = p.addVariables(3, vartype=nivra.binary)
    y = p.addVariables(3, ub=10)
    p.addIndicator((b[0], y[0] + y[1] <= 4), (b[1] == 0, y[1] >= 6), [(b[2] == 1, y[2] <= 1)])
    assert p.attributes.rows == 3 and p.attributes.indicators == 3
    ind, comp = [], []
    p.getindicators(ind, comp, 0, 2)
    assert ind == list(b) and comp == [1, -1, 1]
    p.setObjective(nivra.Sum(y) - 2 * b[0] + 3 * b[1] + 4 * b[2], sense=nivra.maximize)
    p.optimize()

    def value(bits):
        ub = [10.0, 10.0, 10.0]
        lo = [0.0, 0.0, 0.0]
        best = -np.inf
        # y0 + y1 <= 4 when b0; y1 >= 6 when not b1; y2 <= 1 when b2
        for y1 in ([6.0, 10.0] if not bits[1] else [0.0, 4.0, 10.0]):
            if bits[0] and y1 > 4:
                continue
            y0 = 4 - y1 if bits[0] else 10.0
            y2 = 1.0 if bits[2] else 10.0
            if y0 < lo[0] or y1 > ub[1]:
                continue
            best = max(best, y0 + y1 + y2 - 2 * bits[0] + 3 * bits[1] + 4 * bits[2])
        return best

    assert p.attributes.objval == pytest.approx(max(value(bits) for bits in
                                                    itertools.product((0, 1), repeat=3)))


def test_failing_indicators_add_nothing():
    p = quiet()
    b = p.addVariable(vartype=nivra.binary)
    x = p.addVariable(ub=5)
    rows = p.attributes.rows
    for bad, message in [
        ([(b, x <= 1), (b, x >= 2), (x >= 1, x <= 3)], "Must be var==0 or var==1"),
        ([(b, x <= 1), (x == 1, x <= 3)], "where var is a binary variable"),  # x not binary
        ([(b, nivra.exp(x) <= 1)], "Nonlinear indicator constraints are not allowed"),
        ([(b, x <= 1), 3], "Invalid indicator constraints"),
    ]:
        with pytest.raises(nivra.ModelError, match=message):
            p.addIndicator(*bad)
        assert p.attributes.rows == rows and p.attributes.indicators == 0
    c = x <= 4
    p.addConstraint(c)
    with pytest.raises(nivra.ModelError, match="already been added as a constraint to the problem"):
        p.addIndicator(c, x >= 1)
    p.addIndicator(b == 0, c)  # a row already: it gets the indicator
    assert p.attributes.indicators == 1 and p.attributes.rows == rows + 1
