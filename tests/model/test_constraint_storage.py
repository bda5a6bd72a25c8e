"""Where a constraint keeps its data: the block of an unlinked constraint is released when the
constraint is linked to its row, and everything is read back from the library from then on;
constraints that cannot be part of a cycle stay out of the collector and are still freed; the
failure paths of addConstraint leave the constraints with their blocks."""

import gc
import sys
import warnings
import weakref

import pytest

import nivra
from nivra import _nivra

from helpers.model import algebra
from helpers.transfer import quiet


def slots(c):
    return algebra("constraint_slots", c)


def live(kind="constraint"):
    gc.collect()
    return _nivra._live_counts()[kind]


@pytest.fixture
def pxy():
    p = quiet()
    return p, p.addVariable(name="x"), p.addVariable(name="y")


def test_a_linked_constraint_reads_body_bounds_and_name_from_its_row(pxy):
    p, x, y = pxy
    body = 3 * x + 2 * y + x * y
    c = nivra.constraint(body=body, lb=-1.5, ub=4.25, name="row")
    r = x - y >= 2
    refs = sys.getrefcount(body)
    p.addConstraint(r, c)
    # The block, and with it the body, went with the link.
    assert sys.getrefcount(body) == refs - 1
    with pytest.raises(nivra.ModelError, match="not available for linked"), \
            pytest.warns(nivra.DeprecationWarning):
        c.body
    assert (c.index, c.lb, c.ub, c.type, c.rhs, c.rhsrange) == (1, -1.5, 4.25, 4, 4.25, 5.75)
    assert str(c) == "row" and c.name == "row"
    assert nivra.is_equal(c.getBody(), body)
    assert c.getBody() is not c.getBody()  # rebuilt on every call
    assert (r.lb, r.ub, r.type, nivra.is_equal(r.getBody(), x - y)) == (2.0, 1e20, 2, True)

    # Edits through the optimizer API are what the constraint then reads.
    p.chgrhs([1], [7.0])
    p.chgrhsrange([1], [2.0])
    p.chgcoef(1, y, 0.0)
    p.chgcoef(1, x, -1.0)
    p.chgqrowcoeff(1, x, x, 5.0)
    p.addnames(1, ["edited"], 1, 1)
    assert (c.lb, c.ub, c.type, str(c)) == (5.0, 7.0, 4, "edited")
    assert nivra.is_equal(c.getBody(), -x + x * y + 5 * x**2)
    p.chgrowtype([0], ["E"])
    assert (r.lb, r.ub, r.type) == (2.0, 2.0, 3)

    # ... and the constraint's own setters write to the row.
    c.rhs = 8
    c.name = "again"
    c.type = nivra.geq
    rhs, types = [], []
    p.getrhs(rhs, 1, 1)
    p.getrowtype(types, 1, 1)
    assert (rhs, types, p.getnamelist(1, 1, 1)) == ([8.0], ["G"], ["again"])
    assert (c.lb, c.ub) == (8.0, 1e20)


def test_a_row_deleted_under_a_linked_constraint(pxy):
    p, x, y = pxy
    a, b, c = x <= 1, y <= 2, x + y <= 3
    p.addConstraint(a, b, c)
    p.delConstraint(b)
    assert (a.index, b.index, c.index) == (0, -1, 1)
    assert str(b) == "(deleted constraint)" and nivra.is_equal(c.getBody(), x + y)
    assert c.ub == 3.0
    with pytest.raises(nivra.ModelError, match="deleted"):
        b.getBody()


def test_untracked_constraints_are_freed_with_exact_counts():
    base = live()
    p = quiet()
    x, y = p.addVariable(), p.addVariable()
    body = x + 2 * y
    refs = [sys.getrefcount(o) for o in (x, y, body)]
    cs = [body <= k for k in range(50)] + [x >= k for k in range(50)]
    assert not any(gc.is_tracked(c) for c in cs)
    assert live() == base + 100
    del cs
    assert live() == base
    assert [sys.getrefcount(o) for o in (x, y, body)] == refs

    # Linked: the body is gone, the constraint lives as long as a reference does.
    cs = [body <= k for k in range(50)]
    p.addConstraint(cs)
    assert not any(gc.is_tracked(c) for c in cs)
    assert [sys.getrefcount(o) for o in (x, y, body)] == refs
    kept = cs[7]
    del cs
    assert live() == base + 50  # the problem's list holds them
    del p
    assert live() == base + 1 and str(kept) == "(deleted constraint)"
    del kept
    assert live() == base


def test_a_problem_in_a_cycle_is_collected_with_its_constraints():
    class Model(nivra.problem):
        pass

    base = live()
    p = Model()
    p.setOutputEnabled(False)
    x = p.addVariables(3, name="")
    cons = [x[0] + x[1] <= 1, nivra.sin(x[2]) >= 0, x[1] >= 0]
    p.addConstraint(cons)
    assert not any(gc.is_tracked(c) for c in cons)  # linked: no block, no references
    p.cycle = [p, cons]  # problem -> dict -> list -> problem, and the constraints in it
    outside = cons[1]
    holder = weakref.ref(p)
    del p, x, cons
    assert _nivra._live_counts()["constraint"] == base + 3  # held by the cycle
    gc.collect()
    assert holder() is None
    assert live() == base + 1 and str(outside) == "(deleted constraint)"
    del outside
    assert live() == base


def test_a_failed_call_leaves_every_block_in_place(pxy):
    p, x, y = pxy
    q = quiet()
    foreign = q.addVariable()
    xs = p.addVariables(4, name="")
    t = 3 * y
    refs_t = sys.getrefcount(t)
    named = nivra.constraint(body=x + 2.5 * y, lb=-3.25, ub=9.5, name="kept")
    plain = [x + y <= k + 0.5 for k in range(3000)]  # more than one batch array's first size
    compact, reference = [t <= 2, *(xs >= 1.5)], [(t + 0) <= 2, *((xs + 0) >= 1.5)]
    bad = foreign >= 1
    for args in ([named, *plain, compact, bad], [plain, compact, named, "no constraint"]):
        refs = sys.getrefcount(named), sys.getrefcount(plain[0])
        try:
            p.addConstraint(args)
        except nivra.ModelError:
            pass
        else:
            pytest.fail("addConstraint accepted a foreign variable or a string")
        assert p.attributes.originalrows == 0 and len(p.getConstraint()) == 0
        assert (sys.getrefcount(named), sys.getrefcount(plain[0])) == refs
        assert sys.getrefcount(t) == refs_t + 1  # the compact body is the term, still held
        assert (named.index, named.lb, named.ub, str(named)) == (None, -3.25, 9.5, "kept")
        assert nivra.is_equal(named.getBody(), x + 2.5 * y)
        assert plain[2999].ub == 2999.5 and nivra.is_equal(plain[5].getBody(), x + y)
        # (getBody, unlike the body attribute, leaves the compact form as it is)
        read = [(c.lb, c.ub, c.type, c.rhs, str(c.getBody())) for c in compact + reference]
        assert read[:5] == read[5:]

    # They are still whole: the same objects join the problem afterwards.
    p.addConstraint(named, plain, compact)
    assert named.index == 0 and plain[-1].index == 3000 and compact[-1].index == 3005
    assert (named.lb, named.ub, str(named), plain[-1].ub) == (-3.25, 9.5, "kept", 2999.5)
    assert nivra.is_equal(plain[-1].getBody(), x + y) and sys.getrefcount(t) == refs_t
    assert (compact[0].ub, str(compact[0].getBody()), compact[4].lb) == (2.0, str(3 * y), 1.5)


def test_a_declaration_adds_a_long_list_of_constraints_in_one_batch():
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nivra.DeprecationWarning)
        x, y = nivra.var(name="x"), nivra.var(name="y")
        cons = [x + k * y <= k for k in range(3000)]
        p = nivra.problem([x, y], cons, "declared")
    p.setOutputEnabled(False)
    rhs = []
    p.getrhs(rhs, 0, 2999)
    assert p.attributes.rows == 3000 and rhs == [float(k) for k in range(3000)]
    assert all(c.index is None for c in cons)  # unlinked objects stay unlinked
    assert p.getIndex(cons[2999]) == 2999


# ---- the block in the record and on the heap --------------------------------------------------

# (constraint of x and y, slots, lb, ub, name or None, body as printed, row type). The record
# holds a block of two slots; larger ones live on the heap. Equal bounds share one slot.
SHAPES = [
    (lambda x, y: x >= 0, 1, 0.0, 1e20, None, "x", "G"),
    (lambda x, y: x + y <= 1, 1, -1e20, 1.0, None, "x + y", "L"),
    (lambda x, y: 2 * x >= 5, 2, 5.0, 1e20, None, "2 * x", "G"),
    (lambda x, y: x + y == 5, 2, 5.0, 5.0, None, "x + y", "E"),
    (lambda x, y: nivra.constraint(body=x - y, lb=1, name="a"), 2, 1.0, 1e20, "a", "x - y", "G"),
    (lambda x, y: nivra.constraint(body=x - y, lb=0.5, name="b"), 3, 0.5, 1e20, "b", "x - y",
     "G"),
    (lambda x, y: nivra.constraint(body=x + y, lb=-2, ub=3), 3, -2.0, 3.0, None, "x + y", "R"),
    (lambda x, y: nivra.constraint(body=x + y, lb=-2, ub=3, name="c"), 4, -2.0, 3.0, "c",
     "x + y", "R"),
]


def test_every_block_shape_reads_back_and_becomes_its_row(pxy):
    p, x, y = pxy
    refs = sys.getrefcount(x), sys.getrefcount(y)
    cases = [(make(x, y), *rest) for make, *rest in SHAPES]
    # Each shape once more, named afterwards: a block that had no name slot grows by one, out
    # of the record when it had two slots.
    for make, n, lb, ub, name, body, t in SHAPES:
        c = make(x, y)
        c.name = f"renamed{len(cases)}"
        cases.append((c, n + (name is None), lb, ub, str(c), body, t))
    for c, n, lb, ub, name, body, _ in cases:
        assert (slots(c), c.lb, c.ub, str(c.getBody())) == (n, lb, ub, body)
        assert str(c) == name if name else str(c).startswith("R")
        k = c.copy()
        assert (k.lb, k.ub, str(k.getBody())) == (lb, ub, body)
        assert k.name == (f"{name}_copy" if name else str(k))
    del k
    cons = [c for c, *_ in cases]
    with pytest.raises(nivra.ModelError):
        p.addConstraint(cons, "no constraint")
    assert p.attributes.originalrows == 0 and {c.index for c in cons} == {None}
    assert all(slots(c) == n for c, n, *_ in cases)
    p.addConstraint(cons)  # unnamed and named rows in turn: each change flushes the batch
    assert (sys.getrefcount(x), sys.getrefcount(y)) == refs  # no block holds a body any more
    rhs, types = [], []
    p.getrhs(rhs, 0, len(cons) - 1)
    p.getrowtype(types, 0, len(cons) - 1)
    for k, (c, _, lb, ub, name, body, t) in enumerate(cases):
        assert (c.index, c.lb, c.ub, str(c.getBody()), types[k]) == (k, lb, ub, body, t)
        assert rhs[k] == (ub if ub < 1e20 else lb) and (str(c) == name if name else True)


# ---- the compact form: a variable or linear term compared with a number ----------------------

def rows_of(p, first, last):
    start, cols, vals, rhs, types = [], [], [], [], []
    p.getrows(start, cols, vals, 100, first, last)
    p.getrhs(rhs, first, last)
    p.getrowtype(types, first, last)
    return start, [c.index if hasattr(c, "index") else c for c in cols], vals, rhs, types


def readings(c):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nivra.DeprecationWarning)
        body = c.body
        d = dict(c.__dict__)
    return (c.lb, c.ub, c.type, c.rhs, c.rhsrange, str(c), c.index, type(body).__name__,
            str(body), str(c.getBody()), sorted(d), c._repr_latex_())


def test_a_compact_constraint_reads_prints_and_converts_as_the_general_form(pxy):
    p, x, y = pxy
    t = 2.5 * x
    refs = sys.getrefcount(t)
    compact = [x >= 3, t <= 1.5, x == 1, -y >= -2, x >= float("inf")]
    general = [(x + 0) >= 3, (t + 0) <= 1.5, (x + 0) == 1, (-y + 0) >= -2, (x + 0) >= float("inf")]
    assert sys.getrefcount(t) == refs + 1  # the term itself is the body, no expression made
    for c, g in zip(compact, general):
        assert readings(c) == readings(g)
        assert nivra.is_equal(c.getBody(), g.getBody()) and c.getBody() is not c.getBody()
        assert p._convert(c.getBody()) == p._convert(g.getBody())

    # Once Python holds the body it is one expression, shared as in the general form.
    c = x >= 4
    with pytest.warns(nivra.DeprecationWarning):
        body = c.body
    with pytest.warns(nivra.DeprecationWarning):
        assert c.body is body and c.copy().body is body
    src = t >= 1
    made = nivra.constraint(constraint=src, name="made")
    with pytest.warns(nivra.DeprecationWarning):
        assert made.body is src.body and type(made.body) is nivra.expression
    c.name = "four"
    assert (str(c), c.copy().name, c.lb) == ("four", "four_copy", 4.0)

    # Setters on the unlinked block; a new body replaces the term.
    c, g = x <= 2, (x + 0) <= 2
    for con in (c, g):
        con.rhs, con.type = 5, nivra.geq
        con.body = y + 1
    assert readings(c) == readings(g)

    # The same rows in the library, and the bodies released with the link.
    n = p.attributes.rows
    p.addConstraint(compact)
    p.addConstraint(general)
    assert sys.getrefcount(t) == refs
    k = len(compact)
    assert rows_of(p, n, n + k - 1)[1:] == rows_of(p, n + k, n + 2 * k - 1)[1:]
    for c, g in zip(compact, general):
        assert (c.lb, c.ub, c.type, str(c.getBody())) == (g.lb, g.ub, g.type, str(g.getBody()))

    # Edits through the optimizer API after linking are what the constraint reads.
    c = compact[1]
    p.chgcoef(c, y, 4.0)
    p.chgrhs([c.index], [6.0])
    assert (c.ub, str(c.getBody())) == (6.0, str(2.5 * x + 4 * y))


def test_comparisons_start_no_collector_pass_and_keep_the_collector_setting(pxy):
    p, x, y = pxy
    xs = p.addVariables(10000, name="")
    starts = []

    def count(phase, info):
        if phase == "start":
            starts.append(info["generation"])

    gc.collect()
    gc.callbacks.append(count)
    try:
        made = xs >= 0  # 14 times the collector's first threshold
    finally:
        gc.callbacks.remove(count)
    # At most the one pass that an allocation after the loop starts, once the count is due.
    assert len(starts) <= 1 and not any(gc.is_tracked(c) for c in made)
    assert gc.is_tracked(nivra.sin(x) >= 0)  # a nonlinear body can be part of a cycle

    gc.disable()
    try:
        x >= 1
        assert not gc.isenabled()
    finally:
        gc.enable()
    x >= 1
    assert gc.isenabled()
