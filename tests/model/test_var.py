"""nivra.var: construction, properties of unlinked variables, attribute rules, printing,
hashing, the deleted state and the solution methods."""

import math
import sys
import warnings

import pytest

import nivra
from helpers.model import DELETED_OWNER, algebra, new_vars, set_owner


def test_constructor_warns_and_gives_defaults():
    with pytest.warns(nivra.DeprecationWarning,
                      match=r"Deprecated in Nivra 9\.5: create a linked variable by calling "
                            r"problem\.addVariable\(\)"):
        a = nivra.var()
    b, = new_vars(None)
    assert str(a).startswith("C") and str(b) == f"C{int(str(a)[1:]) + 1}"
    assert repr(a) == str(a) == a.name
    assert (a.lb, a.ub, a.threshold, a.vartype, a.index) == (0.0, 1e20, 1.0, 0, None)
    assert isinstance(a.lb, float) and isinstance(a.vartype, int)


def test_constructor_fails_when_warnings_are_errors(deprecations_as_errors):
    with pytest.raises(nivra.DeprecationWarning):
        nivra.var()


@pytest.mark.parametrize("kwargs, lb, ub", [
    (dict(vartype=nivra.binary), 0.0, 1.0),
    (dict(vartype=nivra.binary, lb=0.5), 1.0, 1.0),
    (dict(vartype=nivra.integer, lb=0.5, ub=3.7), 1.0, 3.0),
    (dict(vartype=nivra.integer, lb=-2.5, ub=-2.7), -2.5, -2.7),   # lb > ub: no rounding
    (dict(lb=-1e25, ub=3e20), -1e20, 1e20),
    (dict(lb=1, ub=0), 1.0, 0.0),
    (dict(lb=-7.25, ub=2.5), -7.25, 2.5),
])
def test_bounds_are_validated_and_rounded(kwargs, lb, ub):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        v = nivra.var(**kwargs)
    assert (v.lb, v.ub) == (lb, ub)


@pytest.mark.parametrize("kwargs, message", [
    (dict(vartype=nivra.binary, lb=2),
     "binary variables must have a lower bound between 0 and 1"),
    (dict(vartype=nivra.binary, ub=2),
     "binary variables must have an upper bound between 0 and 1"),
    (dict(vartype=nivra.semicontinuous, lb=2, threshold=1),
     "Incorrect semi-continuous, semi-integer, or partially integer variable; check that its "
     "threshold is between its lower and upper bounds"),
    (dict(vartype=nivra.semiinteger, ub=0.5, threshold=1),
     "Incorrect semi-continuous"),
    (dict(vartype=7),
     "Invalid variable type 7: expected one of nivra.binary, nivra.continuous, etc."),
    (dict(name=3), "Variable name must be a string"),
])
def test_constructor_errors(kwargs, message):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        with pytest.raises(nivra.ModelError, match=message.replace("(", r"\(").replace(".", r"\.")):
            nivra.var(**kwargs)


def test_unlinked_setters():
    v, = new_vars("v")
    v.vartype = nivra.binary
    assert (v.lb, v.ub, v.vartype) == (0.0, 1.0, nivra.binary)
    v.lb = 3                      # outside [0, 1]: the variable becomes integer
    assert (v.vartype, v.lb) == (nivra.integer, 3.0)
    v.ub = 7.9
    assert v.ub == 7.0
    v.vartype = nivra.continuous
    v.lb, v.ub = -2.5, 0.25
    v.vartype = nivra.integer     # rounds the bounds inwards
    assert (v.lb, v.ub) == (-2.0, 0.0)
    v.vartype = nivra.semicontinuous
    v.threshold = 4.5
    assert v.threshold == 4.5
    v.threshold = -1e20           # removes the stored threshold
    assert v.threshold == -1e20
    v.lb, v.ub = -math.inf, math.inf
    assert (v.lb, v.ub) == (-1e20, 1e20)
    v.name = "renamed"
    assert str(v) == repr(v) == v.name == "renamed"
    v.name = "again"
    assert str(v) == "again"


def test_setter_errors():
    v, = new_vars("v")
    with pytest.raises(nivra.ModelError, match="Invalid variable type: should be one of "
                                               "nivra.binary, nivra.continuous, etc."):
        v.vartype = 6
    with pytest.raises(TypeError):
        v.vartype = "binary"
    with pytest.raises(nivra.ModelError, match="Variable name must be a string"):
        v.name = 5
    with pytest.raises(TypeError):
        v.lb = "low"
    with pytest.raises(nivra.InterfaceError, match="Variable index cannot be modified"):
        v.index = 3
    for attr in ("lb", "name", "nothing"):
        with pytest.raises(nivra.InterfaceError, match=f"Cannot delete the {attr} attribute"):
            delattr(v, attr)
    with pytest.raises(AttributeError):
        v.colour = "red"
    assert (v.lb, v.vartype, str(v)) == (0.0, 0, "v")


def test_reinitialising_keeps_the_serial():
    v, = new_vars(None)
    serial, h = str(v), hash(v)
    with pytest.warns(nivra.DeprecationWarning):
        v.__init__(lb=-1, ub=5, vartype=nivra.integer)
    assert (str(v), hash(v)) == (serial, h)
    assert (v.lb, v.ub, v.vartype) == (-1.0, 5.0, nivra.integer)
    with pytest.warns(nivra.DeprecationWarning):
        v.__init__(name="named")
    assert (str(v), v.lb, v.ub, v.vartype) == ("named", 0.0, 1e20, 0)


def test_dict_hash_and_extraction():
    v, = new_vars("v")
    assert v.__dict__ == {"lb": 0.0, "ub": 1e20, "threshold": 1.0, "vartype": 0,
                          "name": "v", "index": None}
    a, b = new_vars(None, None)
    assert hash(b) == hash(a) + 1 == int(str(b)[1:])
    assert {a: 1, b: 2}[b] == 2
    assert v.extractLinear() == ([v], [1.0])
    assert v.extractQuadratic() == ([], [], [])
    assert not hasattr(v, "__array_interface__") and not hasattr(v, "__array_priority__")
    assert v.__class__ is nivra.var


def test_solution_methods_of_unlinked_variables():
    v, = new_vars("v")
    for method, name in [("getSolution", "getSolution"), ("getRedCost", "getRedCosts"),
                         ("getCallbackSolution", "getCallbackSolution"),
                         ("getCallbackRedCost", "getCallbackRedCosts")]:
        with pytest.raises(nivra.InterfaceError,
                           match=rf"For unlinked variables, call problem\.{name}\(var\)"):
            getattr(v, method)()


def test_deleted_variable(owned):
    v, w = new_vars("v", "w")
    owned(v, DELETED_OWNER)
    assert str(v) == repr(v) == v.name == "(deleted variable)"
    assert v.index == -1 and v.__dict__ == {"index": -1}
    hash(v)
    for attr in ("lb", "ub", "threshold", "vartype"):
        with pytest.raises(nivra.ModelError, match="Variable has been deleted from the problem"):
            getattr(v, attr)
        with pytest.raises(nivra.ModelError, match="Variable has been deleted from the problem"):
            setattr(v, attr, 1)
    with pytest.raises(nivra.ModelError, match="Variable has been deleted from the problem"):
        v.getSolution()
    for build in (lambda: v + 1, lambda: w * v, lambda: -v, lambda: 2 * v, lambda: v.extractLinear()):
        with pytest.raises(nivra.ModelError, match="Deleted variable in expression"):
            build()


def test_reinitialising_a_linked_variable_fails(owned):
    v, = new_vars("v")
    owned(v, 0x1000)
    with pytest.raises(nivra.InterfaceError, match="Cannot re-initialize a variable"):
        v.__init__()


def test_stored_names_are_released():
    name = "".join(["unique", "-name"])
    base = sys.getrefcount(name)
    v, w = new_vars(name, None)
    w.name = name
    assert sys.getrefcount(name) == base + 2
    w.name = "other"                 # replacing releases the previous name
    assert sys.getrefcount(name) == base + 1
    del v
    assert sys.getrefcount(name) == base


def test_linked_accessors_go_through_the_library(owned):
    """A variable claiming column 7 of an empty problem: every property read or written goes
    to the library, whose failure arrives as SolverError."""
    p = nivra.problem()
    v, = new_vars("v")
    owned(v, id(p))
    v_col = v.index
    reads = [lambda: v.lb, lambda: v.ub, lambda: v.vartype, lambda: str(v), lambda: v.name,
             lambda: str(v + 1), lambda: v.getSolution(), lambda: v.getRedCost(),
             lambda: v.getCallbackSolution(), lambda: v.getCallbackRedCost()]
    writes = [("lb", 1.0), ("ub", 2.0), ("threshold", 0.5), ("vartype", nivra.integer),
              ("name", "w")]
    for read in reads:
        with pytest.raises(nivra.SolverError):
            read()
    for attr, value in writes:
        with pytest.raises(nivra.SolverError):
            setattr(v, attr, value)
    with pytest.raises(nivra.InterfaceError, match="Threshold cannot be queried"):
        v.threshold
    with pytest.raises(nivra.InterfaceError, match="Cannot re-initialize a variable"):
        v.__init__()
    assert hash(v) == v_col and v.index == v_col


def test_column_lookup(owned):
    p, q = nivra.problem(), nivra.problem()
    v, w, u = new_vars("v", "w", "u")
    with pytest.raises(nivra.ModelError, match="^Variable does not belong to this problem$"):
        algebra("get_var_col", p, v)
    with pytest.raises(nivra.ModelError,
                       match="^Variable in indicator condition does not belong to this problem$"):
        algebra("get_var_col", p, v, "indicator condition")
    owned(w, id(p))
    assert algebra("get_var_col", p, w) == w.index
    owned(u, id(q))
    with pytest.raises(nivra.ModelError, match="^Variable in branching object is from a "
                                               "different problem$"):
        algebra("get_var_col", p, u, "branching object")
    owned(u, DELETED_OWNER)
    with pytest.raises(nivra.ModelError, match="^Variable has been deleted from the problem$"):
        algebra("get_var_col", p, u)
    blank = nivra.var.__new__(nivra.var)
    with pytest.raises(nivra.ModelError, match="^Variable is not initialized$"):
        algebra("get_var_col", p, blank)
    assert str(blank) == "C0"


def test_renumbered_columns_move_hash_index_and_order(owned):
    p = nivra.problem()
    a, b, c = new_vars("a", "b", "c")
    serials = [hash(a), hash(b), hash(c)]
    try:
        for v, column in ((a, 5), (b, 6), (c, 7)):
            owned(v, id(p), column)
        e = 2 * a + 3 * b + c + 0 * a
        set_owner(a, id(p), 9)       # as if columns before a were deleted and a moved to 9
        set_owner(c, id(p), 1)
        assert (hash(a), a.index, hash(c), c.index) == (9, 9, 1, 1)
        assert e.extractLinear() == ([c, b, a], [1.0, 3.0, 2.0])
    finally:
        for v, serial in zip((a, b, c), serials):
            set_owner(v, 0, serial)
