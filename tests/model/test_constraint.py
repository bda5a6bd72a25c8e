"""nivra.constraint: constraints from comparisons, the constructor's checks, attributes and
setters of unlinked constraints, the block of slots, copies, the states a problem creates, and
the truth value."""

import operator
import warnings

import numpy as np
import pytest

import nivra
from helpers.model import DELETED_OWNER, algebra, set_owner

# Reading constraint.body is deprecated; the tests that check the warning catch it themselves.
pytestmark = pytest.mark.filterwarnings("ignore:.*access the constraint body")

LEQ, GEQ, EQ, RNG, NONBINDING = 1, 2, 3, 4, 5
INF = 1e20

def slots(c):
    """The number of slots of the unlinked block."""
    return algebra("constraint_slots", c)


def deleted_constraint():
    c = nivra.constraint.__new__(nivra.constraint)
    set_owner(c, DELETED_OWNER)
    return c


def bounds(c):
    return c.lb, c.ub


def constraint(**kwargs):
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        return nivra.constraint(**kwargs)


# ---- comparisons --------------------------------------------------------------------------------

# (comparison of x, y and f = sin(x); the body as printed; bounds). A body printed "f" must be
# f itself. The constant moves into the bounds; a number on the left (as the NumPy element
# loops build it, op 1 is <=) reverses a minus node.
COMPARISONS = [
    (lambda x, y, f: x + 2 <= 5, "x", (-INF, 3.0)),
    (lambda x, y, f: 5 >= x, "x", (-INF, 5.0)),            # reflected by Python to x <= 5
    (lambda x, y, f: x == y, "x - y", (0.0, 0.0)),
    (lambda x, y, f: 2 * x >= 1, "2 * x", (1.0, INF)),
    (lambda x, y, f: x * y <= 4, "x * y", (-INF, 4.0)),
    (lambda x, y, f: algebra("make_constraint", x, x, 2), "0.0", (0.0, 0.0)),  # a number body
    (lambda x, y, f: f <= 3, "f", (-INF, 3.0)),
    (lambda x, y, f: 3 <= f, "f", (3.0, INF)),
    (lambda x, y, f: f + y <= 5, "sin(x) + y", (-INF, 5.0)),
    (lambda x, y, f: f + y + 2 == 5, "sin(x) + y", (3.0, 3.0)),
    (lambda x, y, f: f + 2 >= 1, "sin(x)", (-1.0, INF)),
    (lambda x, y, f: f <= y, "sin(x) - y", (-INF, 0.0)),
    (lambda x, y, f: nivra.exp(x) * y >= 0, "exp(x) * y", (0.0, INF)),
    (lambda x, y, f: algebra("make_constraint", 2.0, f, 1), "f", (2.0, INF)),
    (lambda x, y, f: algebra("make_constraint", 2.0, x, 1), "-x", (-INF, -2.0)),
]


def test_comparisons_move_the_constant_into_the_bounds(xyz, recwarn):
    x, y, _ = xyz
    f = nivra.sin(x)
    for make, body, expected in COMPARISONS:
        c = make(x, y, f)
        assert type(c) is nivra.constraint and bounds(c) == expected, body
        assert c.body is f if body == "f" else str(c.body) == body
    c = x + 2 <= 5
    assert type(c.body) is nivra.expression and (c.type, c.rhs) == (LEQ, 3.0)
    assert all(issubclass(w.category, nivra.DeprecationWarning) for w in recwarn)


def test_comparisons_that_build_no_constraint(xyz, owned):
    x, y, z = xyz
    for op in (operator.lt, operator.gt, operator.ne):
        with pytest.raises(nivra.ModelError, match=r"Invalid constraint: cannot enforce f\(x\) != 0, "
                                                   r"f\(x\) > 0, or f\(x\) < 0"):
            op(x, 1)
    with pytest.raises(nivra.ModelError, match="unrecognized comparison operator"):
        algebra("make_constraint", x, 1, 9)
    with pytest.raises(nivra.ModelError, match="Invalid operand in expression"):
        x <= "a"
    owned(z, 0x1000)
    with pytest.raises(nivra.ModelError, match="Linked variables and unlinked variables"):
        x <= z


def test_chained_comparison_uses_the_deprecated_truth_value(xyz):
    x = xyz[0]
    with pytest.warns(nivra.DeprecationWarning, match=r"Deprecated in Nivra 9\.6: compare Nivra "
                                                      r"objects with nivra\.is_equal\(\)"):
        c = 1 <= x <= 2
    assert str(c.body) == "x" and bounds(c) == (-INF, 2.0)
    with pytest.warns(nivra.DeprecationWarning):
        assert bool(x == x) is True


def test_truth_value_fails_when_warnings_are_errors(xyz, deprecations_as_errors):
    with pytest.raises(nivra.DeprecationWarning):
        bool(xyz[0] <= 1)


class Spy(np.ndarray):
    """An array that reports the comparison NumPy is asked for."""

    def __ge__(self, other):
        return ("ge", other)

    def __le__(self, other):
        return ("le", other)

    def __gt__(self, other):
        return ("gt", other)

    def __eq__(self, other):
        return ("eq", other)


def test_an_array_on_the_right_gets_the_reflected_comparison(xyz):
    x, y, _ = xyz
    spy = np.zeros(2).view(Spy)
    for op, expected in ((1, "ge"), (5, "le"), (0, "gt"), (2, "eq")):
        name, other = algebra("make_constraint", x, spy, op)
        # the model operand reaches NumPy as a 0-d array of the variable element type
        assert name == expected and other.dtype == nivra.npvar and other[()] is x
    with pytest.raises(nivra.InterfaceError, match="Ill-defined constraint array"):
        algebra("make_constraint", np.array([x]), np.array([y]), 1)


@pytest.mark.parametrize("numbers", [np.array([1, 2]), np.array([1.0, 2.0]), np.array([1, 2], dtype=np.int8)])
def test_a_model_object_against_an_array_of_numbers_gives_constraints(xyz, numbers):
    x, y, _ = xyz

    def holds(c, point):
        value = nivra.evaluate(c.body, solution=point)
        return c.lb - 1e-9 <= value <= c.ub + 1e-9

    for lhs in (x, 2 * x + y):
        for op in ("<=", ">="):
            cs = eval(f"lhs {op} numbers")
            assert cs.dtype == object and len(cs) == 2
            assert all(type(c) is nivra.constraint for c in cs)
            for c, n in zip(cs, numbers):
                for v in (0.0, 1.0, 1.5, 2.0, 3.0):
                    point = {x: v, y: 0.0}
                    expected = eval(f"nivra.evaluate(lhs, solution=point) {op} n")
                    assert holds(c, point) == expected, (str(lhs), op, n, v)


def test_serials_and_printed_forms(xyz, owned):
    x, y, z = xyz
    a, b = x <= 1, y <= 1
    assert str(a).startswith("R") and int(str(b)[1:]) == int(str(a)[1:]) + 1
    assert repr(a) == str(a) == a.name and a.index is None
    assert str(nivra.constraint(body=3, lb=0)) == "R0"     # no variable, no serial
    owned(z, 0x1000)
    assert str(z <= 1) == "R0"                            # linked variables: no serial
    c = constraint(body=x, lb=0, name="cap")
    assert str(c) == "cap"


# ---- constructor --------------------------------------------------------------------------------

@pytest.mark.parametrize("kwargs, message", [
    (dict(constraint=1, lb=2), "When the constraint argument is provided, no other arguments "
                               "except the name may be provided"),
    (dict(lb=1), "Constraint body must be provided"),
    (dict(body=1, rhsrange=2), "When rhsrange argument is provided, rhs argument must also be "
                               "provided"),
    (dict(body=1, rhs=2, ub=3), "Cannot provide both right-hand side and bounds arguments"),
    (dict(body=1), "Constraint right-hand side or bounds must be provided"),
    (dict(body=1, type=LEQ), "Constraint right-hand side or bounds must be provided"),
    (dict(body=1, type=LEQ, lb=2), "Cannot provide both type and bounds arguments"),
    (dict(body=1, rhs=2), "Constraint type must be provided"),
    (dict(body=1, rhs=2, type=RNG), "Range constraints require the rhsrange argument"),
    (dict(body=1, lb="a"), "Invalid lower bound argument: expected a number"),
    (dict(body=1, ub=np.array([1.0])), "Invalid upper bound argument: expected a number"),
    (dict(body=1, rhs=[1], type=LEQ), "Invalid rhs argument: expected a number"),
    (dict(body=1, rhs=1, type=RNG, rhsrange=None), "Range constraints require the rhsrange"),
    (dict(body=1, rhs=1, type=RNG, rhsrange="a"), "Invalid rhsrange argument: expected a number"),
    (dict(body=1, lb=3, ub=2), "Constraint defined infeasible: lower bound > upper bound"),
    (dict(body=1, rhs=1, type=9), "Invalid type 9: expected nivra.leq, nivra.geq, nivra.eq"),
    (dict(body=1, lb=0, name=3), "Constraint name must be a string"),
    (dict(body="x", lb=0), "Invalid expression passed as body of constraint"),
    (dict(body=[1], lb=0), "Invalid expression passed as body of constraint"),
    (dict(constraint=True), r"Attempt to generate an empty constraint failed. Consider using "
                            r"nivra.constraint\(body=..., type=..., rhs=...\) instead"),
    (dict(constraint=3), "Invalid constraint object passed to nivra.constraint"),
])
def test_constructor_checks(kwargs, message):
    with pytest.raises(nivra.ModelError, match=message):
        nivra.constraint(**kwargs)


def test_constructor_check_order():
    # Each case would fail two checks; the earlier one reports.
    with pytest.raises(nivra.ModelError, match="Constraint body must be provided"):
        nivra.constraint(rhsrange=1, name=3)
    with pytest.raises(nivra.ModelError, match="infeasible"):
        nivra.constraint(body="x", lb=3, ub=2, name=3)
    with pytest.raises(nivra.ModelError, match="name must be a string"):
        nivra.constraint(body="x", lb=0, name=3)
    with pytest.raises(TypeError):
        nivra.constraint(body=1, rhs=1, type="leq")


def test_constructor_bounds_and_types(xyz):
    x = xyz[0]
    assert bounds(constraint(body=x, lb=2.0000005, ub=2)) == (2.0000005, 2.0)
    assert bounds(constraint(body=x, type=RNG, rhs=5, rhsrange=-2)) == (3.0, 5.0)
    for t, expected in ((LEQ, (-INF, 4.0)), (GEQ, (4.0, INF)), (EQ, (4.0, 4.0)),
                        (NONBINDING, (-INF, INF))):
        assert bounds(constraint(body=x, type=t, rhs=4)) == expected
    assert bounds(constraint(body=x, lb=-1e30, ub=1e30)) == (-INF, INF)
    assert bounds(constraint(body=x, lb=np.float32(1.5), ub=np.array(2.0))) == (1.5, 2.0)
    assert constraint(body=x, ub=0).lb == -INF
    assert constraint(body=x, lb=0).ub == INF
    body = x + 1
    c = constraint(body=body, lb=0)
    assert c.body is body and str(c.body) == "1 + x"      # the constant stays in the body
    zero_d = np.empty((), dtype=object)
    zero_d[()] = x
    assert constraint(body=zero_d, lb=0).body is x
    with pytest.warns(nivra.DeprecationWarning, match="old argument names"):
        c = nivra.constraint(body=x, sense=GEQ, rhs=1)
    assert bounds(c) == (1.0, INF)


def test_constructor_from_a_constraint(xyz):
    x = xyz[0]
    src = x + 1 <= 4
    c = constraint(constraint=src, name="copy")
    assert c.body is src.body and bounds(c) == (-INF, 3.0) and c.name == "copy"
    with pytest.raises(nivra.ModelError, match="Constraint is not initialized"):
        nivra.constraint(constraint=nivra.constraint.__new__(nivra.constraint))
    with pytest.raises(nivra.ModelError, match="Constraint has been deleted from the problem"):
        nivra.constraint(constraint=deleted_constraint())
    with pytest.raises(nivra.InterfaceError, match="Cannot re-initialize a constraint"):
        src.__init__(body=x, lb=0)
    with pytest.raises(nivra.InterfaceError, match="Cannot re-initialize a constraint"):
        deleted_constraint().__init__(body=x, lb=0)


# ---- attributes and setters ---------------------------------------------------------------------

@pytest.mark.parametrize("lb, ub, type_, rhs, rhsrange", [
    (2, 2, EQ, 2, 0), (-INF, INF, NONBINDING, 0, INF), (1, INF, GEQ, 1, INF),
    (-INF, 1, LEQ, 1, INF), (1, 4, RNG, 4, 3), (-5e19, 6e19, RNG, 6e19, INF),
])
def test_derived_attributes(xyz, lb, ub, type_, rhs, rhsrange):
    c = constraint(body=xyz[0], lb=lb, ub=ub)
    assert (c.type, c.rhs, c.rhsrange) == (type_, rhs, rhsrange)
    assert type(c.type) is int and type(c.rhs) is float


# Each step sets one attribute and reads back (slots of the block, lb, ub). The record holds a
# block of two slots itself; a third moves it to the heap, with the slots it had.
SLOT_STEPS = [
    ("lb", 0, 1, 0.0, INF), ("ub", 1, 1, 0.0, 1.0),       # coded: only the body's slot
    ("name", "n", 2, 0.0, 1.0),
    ("lb", 3.5, 3, 3.5, 1.0),                             # out of the record
    ("lb", 0, 3, 0.0, 1.0), ("ub", 7.25, 3, 0.0, 7.25),   # a freed slot is reused
    ("lb", -2.5, 4, -2.5, 7.25),
    ("name", "m", 4, -2.5, 7.25),                         # the name keeps its slot
    ("lb", -1e25, 4, -INF, 7.25), ("ub", 1e25, 4, -INF, INF), ("ub", 1, 4, -INF, 1.0),
]


def test_bound_setters_and_slot_reuse(xyz):
    c = constraint(body=xyz[0], lb=0)
    for attr, value, n, lb, ub in SLOT_STEPS:
        setattr(c, attr, value)
        assert (slots(c), c.lb, c.ub) == (n, lb, ub), (attr, value)
    assert c.name == "m"
    with pytest.raises(TypeError):
        c.lb = "a"
    # Equal bounds share a slot; setting one of them keeps the other.
    e = constraint(body=xyz[0], lb=2.5, ub=2.5)
    assert (slots(e), e.type) == (2, EQ)
    e.lb = 1.25
    assert (slots(e), bounds(e)) == (3, (1.25, 2.5))
    e = constraint(body=xyz[0], lb=2.5, ub=2.5)
    e.ub = 4
    assert bounds(e) == (2.5, 4.0)


# (attribute, lb, ub, value, bounds after): the right-hand side moves the finite bounds, a range
# keeps the bound it can (the upper for g >= 0), a type keeps the right-hand side.
@pytest.mark.parametrize("attr, lb, ub, value, expected", [
    ("rhs", 2, 2, 5, (5, 5)), ("rhs", 1, INF, 5, (5, INF)), ("rhs", -INF, 1, 5, (-INF, 5)),
    ("rhs", 1, 4, 10, (7, 10)), ("rhs", -INF, INF, 5, (-INF, INF)),
    ("rhsrange", 2, 2, 3, (-1, 2)), ("rhsrange", 2, 2, -3, (2, 5)),
    ("rhsrange", 1, 4, 1, (3, 4)), ("rhsrange", 1, 4, -1, (1, 2)),
    ("rhsrange", -INF, 4, 1, (3, 4)),
    ("rhsrange", -INF, 4, -1, (3, 4)),      # only an upper bound: it stays, width |g|
    ("rhsrange", 1, INF, 2, (1, 3)),
    ("rhsrange", 1, INF, -2, (1, 3)),       # only a lower bound: it stays, width |g|
    ("rhsrange", -INF, INF, 2, (-INF, INF)),
    ("type", 1, 4, LEQ, (-INF, 4)), ("type", 1, 4, RNG, (1, 4)), ("type", 1, 4, GEQ, (4, INF)),
    ("type", 1, 4, EQ, (4, 4)), ("type", 1, 4, NONBINDING, (-INF, INF)),
    ("type", 1, INF, LEQ, (-INF, 1)), ("type", -INF, 3, EQ, (3, 3)),
    ("type", 2, 2, RNG, (-INF, 2)), ("type", -INF, INF, GEQ, (0, INF)),
])
def test_rhs_range_and_type_setters(xyz, attr, lb, ub, value, expected):
    c = constraint(body=xyz[0], lb=lb, ub=ub)
    setattr(c, attr, value)
    assert bounds(c) == expected


def test_setter_errors(xyz):
    x = xyz[0]
    c = constraint(body=x, lb=0)
    with pytest.raises(nivra.ModelError, match="Invalid row type 7: expected one of nivra.leq, "
                                               "nivra.geq, nivra.eq, etc."):
        c.type = 7
    with pytest.raises(nivra.ModelError, match="Constraint name must be a string"):
        c.name = 3
    with pytest.raises(nivra.InterfaceError, match="Constraint index cannot be modified"):
        c.index = 3
    for name in ("lb", "name", "body"):
        with pytest.raises(nivra.InterfaceError, match=f"Cannot delete the {name} attribute"):
            delattr(c, name)
    with pytest.raises(AttributeError):
        c.__dict__ = {}
    with pytest.raises(AttributeError):
        c.unknown_attribute = 1            # other names go to the generic setter


def test_body_name_and_dict(xyz):
    x, y, _ = xyz
    c = constraint(body=x, lb=1, ub=2, name="c1")
    with pytest.warns(nivra.DeprecationWarning, match=r"Deprecated in Nivra 9\.5: access the "
                                                      r"constraint body with constraint\.getBody\(\)"):
        assert c.body is x
    c.name = "c2"
    assert c.name == "c2" and str(c) == "c2"
    assert c.__dict__ == {"lb": 1.0, "ub": 2.0, "type": RNG, "rhs": 2.0, "rhsrange": 1.0,
                          "body": x, "name": "c2", "index": None}
    c.body = None
    assert c.body is None and "body" not in c.__dict__ and c.getBody() is None
    c.body = y + 1
    assert str(c.body) == "1 + y"
    # getBody() is a copy, every time; a nonlinear body too.
    c = x + 2 * y <= 1
    b = c.getBody()
    assert str(b) == "x + 2 * y" and nivra.is_equal(b, c.getBody()) and b is not c.body
    assert str((nivra.sin(x) <= 0).getBody()) == "sin(x)"


def test_uninitialised_and_deleted_constraints():
    u = nivra.constraint.__new__(nivra.constraint)
    for name in ("lb", "ub", "type", "rhs", "rhsrange", "body", "name", "index", "__dict__"):
        with pytest.raises(nivra.ModelError, match="Constraint is not initialized"):
            getattr(u, name)
    with pytest.raises(nivra.ModelError, match="Constraint is not initialized"):
        u.lb = 1
    assert str(u) == "R0"
    d = deleted_constraint()
    for name in ("lb", "ub", "type", "rhs", "rhsrange", "body"):
        with pytest.raises(nivra.ModelError, match="Constraint has been deleted from the problem"):
            getattr(d, name)
    for name, value in (("lb", 1), ("rhs", 1), ("name", "a"), ("type", 1)):
        with pytest.raises(nivra.ModelError, match="Constraint has been deleted from the problem"):
            setattr(d, name, value)
    assert str(d) == d.name == "(deleted constraint)" and d.index == -1
    assert d.__dict__ == {"index": -1}
    with pytest.raises(nivra.ModelError, match="Constraint has been deleted from the problem"):
        d.getBody()


# ---- methods ------------------------------------------------------------------------------------

def test_copy(xyz):
    x = xyz[0]
    c = constraint(body=x + 1, lb=-1, ub=2.5, name="c1")
    k = c.copy()
    assert k.name == "c1_copy" and bounds(k) == (-1.0, 2.5)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        assert k.body is c.body
    u = x <= 1
    v = u.copy()
    assert int(str(v)[1:]) > int(str(u)[1:])                 # a fresh serial, no stored name
    with pytest.raises(nivra.ModelError,
                       match="Constraint cannot be copied because it has no body"):
        nivra.constraint.__new__(nivra.constraint).copy()
    with pytest.raises(nivra.ModelError, match="Constraint cannot be copied because it has been "
                                               "added to a problem"):
        deleted_constraint().copy()


def test_solution_methods_of_unlinked_constraints(xyz):
    c = xyz[0] <= 1
    for method, name in (("getSlack", "getSlacks"), ("getDual", "getDuals"),
                         ("getCallbackSlack", "getCallbackSlacks"),
                         ("getCallbackDual", "getCallbackDuals")):
        with pytest.raises(nivra.InterfaceError,
                           match=rf"For unlinked constraints, call problem\.{name}\(constraint\)"):
            getattr(c, method)()


def test_a_linked_constraint_reads_through_the_library(xyz):
    p = nivra.problem()
    c = nivra.constraint.__new__(nivra.constraint)
    set_owner(c, id(p))                                     # row 0, which p lacks
    assert c.index == 0
    for name in ("lb", "ub", "type", "rhs", "rhsrange", "name"):
        with pytest.raises(nivra.SolverError):
            getattr(c, name)
    for name in ("lb", "ub"):
        with pytest.raises(nivra.ModelError, match="Constraint bounds cannot be modified once it "
                                                   "has been added to a problem"):
            setattr(c, name, 1)
    with pytest.raises(nivra.ModelError, match="Constraint body cannot be modified once it has "
                                               "been added to a problem"):
        c.body = xyz[0]
    with pytest.raises(nivra.ModelError, match="Invalid row type 0"):
        c.type = 0
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        with pytest.raises(nivra.ModelError, match="Constraint body is not available for linked "
                                                   "constraints: use constraint.getBody"):
            c.body
    with pytest.raises(nivra.ModelError, match="Constraint cannot be copied because it has been "
                                               "added to a problem"):
        c.copy()
    with pytest.raises(nivra.SolverError):
        c.getBody()
    set_owner(c, 0)


def test_row_lookup_for_the_problem_code(xyz, owned):
    x, y, _ = xyz
    p, q = nivra.problem(), nivra.problem()
    unlinked = x <= 1                                   # kind 1: looked up by its serial
    with pytest.raises(nivra.ModelError, match="Constraint does not belong to this problem"):
        algebra("get_con_row", p, unlinked)
    owned(y, id(p))
    with pytest.raises(nivra.ModelError, match="Constraint does not belong to any problem"):
        algebra("get_con_row", p, y <= 1)             # a block, but linked variables
    with pytest.raises(nivra.ModelError, match="Constraint does not belong to any problem"):
        algebra("get_con_row", p, nivra.constraint(body=2, lb=0))
    with pytest.raises(nivra.ModelError, match="Constraint is not initialized"):
        algebra("get_con_row", p, nivra.constraint.__new__(nivra.constraint))
    with pytest.raises(nivra.ModelError, match="Constraint has been deleted from the problem"):
        algebra("get_con_row", p, deleted_constraint())
    c = nivra.constraint.__new__(nivra.constraint)
    set_owner(c, id(p), 7)
    assert algebra("get_con_row", p, c) == 7
    with pytest.raises(nivra.ModelError, match="Constraint is from a different problem"):
        algebra("get_con_row", q, c)
    set_owner(c, 0)
