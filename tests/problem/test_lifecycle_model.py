"""The problem lifecycle with model objects in it: positional elements of the declaration,
copies of linked variables and constraints, and the deleted marker that reset, deletion, cycles
and library stops leave on the objects of a freed problem."""

import gc
import subprocess
import sys
import textwrap

import numpy as np
import pytest

import nivra

# The declarations with unlinked objects that these tests build are deprecated.
pytestmark = pytest.mark.filterwarnings("ignore::nivra.DeprecationWarning")

DELETED_VAR = "Variable has been deleted from the problem"
DELETED_CON = "Constraint has been deleted from the problem"


def quiet(p):
    p.setOutputEnabled(False)
    return p


def model_lists(p):
    """The problem's lists of variables, constraints and sets, as the collector sees them."""
    lists = [o for o in gc.get_referents(p) if type(o) is list]
    assert len(lists) == 3
    return lists


def unlinked_vars(*names, **bounds):
    return [nivra.var(name=n, **bounds) for n in names]


@pytest.fixture
def small():
    """max 3x + 4y s.t. x + 2y <= 14, 3x - y >= 0, x - y <= 2, 0 <= x <= 10, y integer."""
    p = quiet(nivra.problem(name="small"))
    x = p.addVariable(name="x", lb=0, ub=10)
    y = p.addVariable(name="y", vartype=nivra.integer)
    cons = [x + 2 * y <= 14, 3 * x - y >= 0, x - y <= 2]
    p.addConstraint(cons)
    p.setObjective(3 * x + 4 * y, sense=nivra.maximize)
    return p, x, y, cons


def test_positional_name_and_empty_elements():
    assert nivra.problem("pos").name() == "pos"
    assert nivra.problem(b"raw", name="kw").name() == "raw"  # the element wins over the keyword
    assert nivra.problem([], (), {}, iter([]), np.array([]), name="e").name() == "e"
    with pytest.raises(nivra.ModelError,
                       match="More than one string passed in problem declaration"):
        nivra.problem("a", [], "b")
    with pytest.raises(nivra.ModelError, match="Problem name must not contain a zero character"):
        nivra.problem("a\0b")
    with pytest.raises(ValueError):
        nivra.problem(name="a\0b")
    with pytest.raises(UnicodeDecodeError):
        nivra.problem(b"\xff")


def test_elements_of_unlinked_objects_build_the_model():
    x, y = unlinked_vars("x", "y", ub=10)
    cons = [x + y <= 12, x - y <= 4]
    p = quiet(nivra.problem([x, y], (c for c in cons), 2 * x + y, "named", sense=nivra.maximize))
    assert p.name() == "named"
    assert p.attributes.cols == 2 and p.attributes.rows == 2
    p.optimize()
    assert p.attributes.objval == pytest.approx(20.0)  # x = 8, y = 4
    # A variable already in the problem is the objective.
    x, = unlinked_vars("x", ub=3)
    p = quiet(nivra.problem(x, x, sense=nivra.maximize))
    assert p.attributes.cols == 1
    p.optimize()
    assert p.attributes.objval == pytest.approx(3.0)
    # Iterators nested anywhere are read once, while another problem holds a linked variable.
    src = quiet(nivra.problem())
    src.addVariable(ub=1)
    y, z = unlinked_vars("y", "z", ub=5)
    rows = [y + z <= 4, y - z <= 1, z <= 3]
    p = quiet(nivra.problem([y, z], [(c for c in rows[:2]), iter(rows[2:])]))
    assert p.attributes.rows == 3


def test_erroneous_elements():
    for bad in (3, [2.5], None, [None], {"k": object()}):
        with pytest.raises(nivra.ModelError, match="Erroneous problem declaration"):
            nivra.problem(bad)
    p = quiet(nivra.problem())
    x, = unlinked_vars("x")
    s = nivra.sos([x], [1.0])
    with pytest.raises(nivra.ModelError, match="Invalid variable index x"):
        nivra.problem([s])  # its variable is not in the problem
    linked = p.addVariable()
    with pytest.raises(nivra.ModelError):
        nivra.problem([linked])  # a variable of another problem


def test_a_failed_declaration_leaves_the_objects_as_they_were():
    q = quiet(nivra.problem())
    linked = q.addVariable(name="other")
    x, = unlinked_vars("x")
    con = x <= 1
    counts = sys.getrefcount(x), sys.getrefcount(con), sys.getrefcount(linked)
    p = nivra.problem.__new__(nivra.problem)
    for _ in range(3):
        with pytest.raises(nivra.ModelError):
            p.__init__([x], [con], [linked])
    assert (sys.getrefcount(x), sys.getrefcount(con), sys.getrefcount(linked)) == counts
    assert p.controls is None and x.index is None and linked.name == "other"
    with pytest.raises(nivra.ModelError, match="Problem is not initialized"):
        p.name()


def test_copy_of_linked_objects(small):
    p, x, y, cons = small
    q = p.copy()
    qvars, qcons, qsets = model_lists(q)
    assert [v.index for v in qvars] == [0, 1] and qsets == []
    assert all(a is not b for a, b in zip(qvars, [x, y]))
    assert [v.name for v in qvars] == ["x", "y"]
    assert [(v.lb, v.ub, v.vartype) for v in qvars] == [(x.lb, x.ub, x.vartype),
                                                         (y.lb, y.ub, y.vartype)]
    assert [c.index for c in qcons] == [0, 1, 2] and all(c not in cons for c in qcons)
    assert [c.rhs for c in qcons] == [c.rhs for c in cons]
    qvars[0].ub = 1
    assert x.ub == 10  # the source's variables still belong to the source
    p.optimize()
    q.optimize()
    assert p.attributes.objval == pytest.approx(34.0)  # x = 6, y = 4
    assert q.attributes.objval == pytest.approx(15.0)  # x = 1, y = 3
    assert p.getSolution(x) == pytest.approx(6.0)
    with pytest.raises(nivra.ModelError):
        q.getSolution(x)  # a variable of the source problem
    del p
    gc.collect()
    assert qvars[0].ub == 1 and qcons[0].rhs == 14


def test_reset_marks_objects_deleted(small):
    p, x, y, cons = small
    p.reset()
    with pytest.raises(nivra.ModelError, match=DELETED_VAR):
        x.lb
    with pytest.raises(nivra.ModelError, match=DELETED_CON):
        cons[0].rhs
    assert str(x) == "(deleted variable)" and x.index == -1
    assert p.attributes.cols == 0 and p.attributes.rows == 0
    z = p.addVariable(name="z")
    assert z.index == 0 and z.name == "z"


def test_objects_outliving_their_problem():
    p = quiet(nivra.problem())
    x = p.addVariable(name="x")
    cons = [x <= 1, x >= 0]
    p.addConstraint(cons)
    q = p.copy()
    qx = model_lists(q)[0][0]
    del p
    gc.collect()
    with pytest.raises(nivra.ModelError, match=DELETED_VAR):
        x.ub
    with pytest.raises(nivra.ModelError, match=DELETED_CON):
        cons[1].rhs
    with q:
        assert qx.name == "x"
    assert qx.name == "(deleted variable)"
    with pytest.raises(nivra.ModelError, match=DELETED_VAR):
        qx.lb


def test_cycles_through_a_subclass_release_the_objects():
    class Model(nivra.problem):
        pass

    p = quiet(Model())
    x = p.addVariable(name="x")
    c = x <= 3
    p.addConstraint(c)
    p.me = p
    del p
    gc.collect()
    with pytest.raises(nivra.ModelError, match=DELETED_VAR):
        x.lb
    with pytest.raises(nivra.ModelError, match=DELETED_CON):
        c.rhs


def test_library_stop_marks_objects_deleted():
    out = subprocess.run([sys.executable, "-c", textwrap.dedent("""
        import nivra
        p = nivra.problem()
        x = p.addVariable(name="x")
        print(nivra.free())   # the last start: every problem is freed
        try:
            x.lb
        except nivra.ModelError as e:
            print(e)
    """)], capture_output=True, text=True, timeout=120)
    assert out.returncode == 0, out.stderr
    assert out.stdout.splitlines() == ["False", DELETED_VAR]


def test_objective_controls_through_getcontrol_and_setcontrol(small):
    p = small[0]
    assert p.getControl(objidx=0).keys() == {"priority", "weight", "abstol", "reltol", "rhs"}
    p.setControl("WEIGHT", 2.0, objidx=0)
    p.setControl({"priority": 3}, objidx=0)
    assert p.getControl("weight", "priority", objidx=0) == {"weight": 2.0, "priority": 3}
    assert p.getControl("feastol", objidx=None) == pytest.approx(1e-7)
    with pytest.raises(TypeError):
        p.getControl(objidx="0")
    with pytest.raises(nivra.ModelError, match="Invalid objective index"):
        p.setControl("weight", 1.0, objidx=-1)
