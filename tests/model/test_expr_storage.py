"""How expressions store their terms: a few terms inline, long in-place sums appended and
merged when read. Whatever the form, an expression reads back, prints, compares, copies and
converts to a row the same, and holds exactly one reference per variable once merged."""

import os
import subprocess
import sys

import pytest

import nivra
from helpers.model import DELETED_OWNER, new_vars, set_owner
from nivra import _nivra

INLINE = 8  # the largest number of terms kept inline


def coefficients(e):
    xs, cs = e.extractLinear()
    return dict(zip(map(id, xs), cs))


def quadratic(e):
    us, vs, cs = e.extractQuadratic()
    return {(id(u), id(v)): c for u, v, c in zip(us, vs, cs)}


def accumulate(steps, e=None, ref=None):
    """e += c * x for every (c, x) of steps (into a new expression unless e is given), and the
    coefficients that adding them one by one into a dictionary gives (zeros dropped as they
    arise)."""
    e = nivra.expression() if e is None else e
    ref = {} if ref is None else ref
    for c, x in steps:
        e += c * x
        ref[id(x)] = ref.get(id(x), 0.0) + c
        if ref[id(x)] == 0.0:
            del ref[id(x)]
    return e, ref


@pytest.fixture
def many():
    return new_vars(*[f"v{i:02d}" for i in range(3 * INLINE)])


def test_growing_past_the_inline_size_and_cancelling_back(many):
    e, ref = accumulate([(i + 1.0, x) for i, x in enumerate(many)])
    assert coefficients(e) == ref and len(ref) == 3 * INLINE
    # cancel all but three, then grow again: the same as a dictionary at every step
    steps = [(-(i + 1.0), x) for i, x in enumerate(many) if i % 8 != 0]
    e, ref = accumulate(steps, e, ref)
    assert coefficients(e) == ref and len(ref) == 3
    assert str(e) == "v00 + 9 * v08 + 17 * v16"
    for x in many[1:INLINE + 2]:
        e += 0.5 * x
    assert len(e.extractLinear()[0]) == INLINE + 3  # v08 was there already
    assert str(e).startswith("v00 + 0.5 * v01 + 0.5 * v02")


def test_lazy_merge_sums_duplicates_in_order_and_drops_cancellations(many):
    x, y, z = many[:3]
    # long form first, then repeated keys that cancel, come back and accumulate
    steps = [(1.0, v) for v in many[3:3 + INLINE + 1]]
    steps += [(1.0, x), (-1.0, x), (2.0, y), (0.1, z), (0.2, z), (0.3, z), (-2.0, y), (5.0, x),
              (1.0, y), (1e16, y), (-1e16, y)]
    e, ref = accumulate(steps)
    got = coefficients(e)
    assert got == ref  # bitwise: the same additions in the same order
    assert got[id(z)] == (0.1 + 0.2) + 0.3 != 0.1 + (0.2 + 0.3) and got[id(x)] == 5.0
    assert id(y) not in got  # (1 + 1e16) - 1e16 is 0, as added in order
    # every entry of one variable cancelled: it is gone, in either form
    for n in (2, INLINE + 5):
        e, ref = accumulate([(1.0, v) for v in many[:n]] + [(-1.0, v) for v in many[:n]])
        assert ref == {} and e.extractLinear() == ([], []) and str(e) == "0"
        assert not nivra.is_equal(e, many[0]) and nivra.is_equal(e, 0)


def test_references_through_append_merge_and_free(many):
    x, y = many[:2]
    others = many[2:2 + INLINE]

    def refs():
        return [sys.getrefcount(v) for v in (x, y)]

    base, others_base = refs(), [sys.getrefcount(v) for v in others]
    e, _ = accumulate((1.0, v) for v in others)
    for _ in range(3):
        e += 2 * x
    assert refs() == [base[0] + 3, base[1]]  # one reference per appended entry
    e -= 6 * x
    e += y
    e += y
    assert coefficients(e)[id(y)] == 2.0 and id(x) not in coefficients(e)
    assert refs() == [base[0], base[1] + 1]  # merged: one per distinct key, none for x
    e += x
    del e  # freed with entries not merged yet
    assert refs() == base
    assert [sys.getrefcount(v) for v in others] == others_base
    s = nivra.Sum(many + many + [-1 * v for v in many])
    assert set(coefficients(s).values()) == {1.0} and refs() == [base[0] + 1, base[1] + 1]
    del s
    assert refs() == base


@pytest.mark.parametrize("n", [3, INLINE, INLINE + 1, 4 * INLINE])
def test_forms_print_compare_copy_and_extract_alike(many, n):
    vs = many[:n]
    a = nivra.expression()
    for i, v in reversed(list(enumerate(vs))):  # appended out of order, with duplicates
        a += (i + 1) * v
        a += v * v
        a -= v
    a += 7
    b = 7 + nivra.Sum([i * v for i, v in enumerate(vs)]) + nivra.Sum([v ** 2 for v in vs])
    assert str(a) == str(b) and nivra.is_equal(a, b)
    assert a.extractLinear() == b.extractLinear() and a.extractQuadratic() == b.extractQuadratic()
    copies = [a + 0, a * 1, -(-a), a / 1, nivra.Sum([a])]
    a += 100 * vs[0]  # the copies do not follow
    for c in copies:
        assert str(c) == str(b) and nivra.is_equal(c, b)
    assert not nivra.is_equal(a, b)


def test_quadratic_terms_added_to_an_appended_expression(many):
    x, y = many[:2]
    e = nivra.Sum(many)
    e += x * y
    e += 2 * x * x
    e -= y * x
    e += 3 * y * x
    e += x * many[-1]
    assert quadratic(e) == {(id(x), id(x)): 2.0, (id(x), id(y)): 3.0, (id(x), id(many[-1])): 1.0}
    for v in many[1:]:  # a long row of x, cancelled back to nothing
        e += 4 * x * v
        e -= 4 * v * x
    e -= x * many[-1]
    assert quadratic(e) == {(id(x), id(x)): 2.0, (id(x), id(y)): 3.0}
    assert str(e).endswith(" + 2 * v00 ** 2 + 3 * v00 * v01")


def test_rows_from_each_form():
    p = nivra.problem()
    xs = [p.addVariable() for _ in range(4 * INLINE)]
    small = 2 * xs[3] + xs[1] - xs[3] + 4
    assert p._convert(small) == (4.0, [1, 3], [1.0, 1.0], [], [], [])
    e = nivra.expression()
    for i in reversed(range(len(xs))):
        e += (i + 1) * xs[i]
    for i in range(0, len(xs), 2):
        e -= (i + 1) * xs[i]
    e += xs[0] * xs[5]
    e += xs[2] * xs[2]
    const, cols, vals, q1, q2, qv = p._convert(e - 1)
    assert const == -1.0 and cols == list(range(1, len(xs), 2))
    assert vals == [float(i + 1) for i in cols]
    assert (q1, q2, qv) == ([0, 2], [5, 2], [0.5, 1.0])
    assert p._convert(e) == p._convert(nivra.Sum([(i + 1) * xs[i] for i in cols]) + xs[0] * xs[5]
                                       + xs[2] ** 2)


def test_cancelled_terms_leave_no_owner_behind():
    p, q = nivra.problem(), nivra.problem()
    xs = [p.addVariable() for _ in range(2 * INLINE)]
    z = q.addVariable()
    for n in (1, 2 * INLINE):
        e = nivra.expression()
        for x in xs[:n]:
            e += x
        for x in xs[:n]:
            e -= x
        e += z  # nothing of p is left, so q's variable may join
        assert p is not q and str(e) == str(1 * z)
        with pytest.raises(nivra.ModelError, match="different problems"):
            e + xs[0]


def test_recycled_terms_and_expressions_start_clean(many):
    """Freed terms and expressions are reused for the next ones: what comes back holds only what
    it is given, and every variable gets its references back."""
    x, y = many[:2]
    refs = [sys.getrefcount(v) for v in many]
    live = _nivra._live_counts()
    for _ in range(3):
        junk = [(i + 2.0) * v for i, v in enumerate(many)] + [v + 3 for v in many]
        long = nivra.Sum(many)
        long += 5 * x  # freed with an entry not merged yet
        del junk, long
        assert (3 * y).extractLinear() == ([y], [3.0])
        e = nivra.expression()
        assert str(e) == "0" and e.extractLinear() == ([], []) and e.extractQuadratic() == ([], [], [])
        e += 4 * y
        assert str(e) == "4 * v01" and str(y - 2) == "-2 + v01"
        del e
    assert [sys.getrefcount(v) for v in many] == refs
    assert _nivra._live_counts() == live


def test_in_place_add_refuses_what_it_refused():
    """e += c * x checks two owners when they agree; every disagreement gets the full check and
    its message, and leaves e as it was."""
    p, q = nivra.problem(), nivra.problem()
    x, w = p.addVariable(), p.addVariable()
    z = q.addVariable()
    (u,) = new_vars("u")
    e = nivra.expression()
    e += 2 * x
    e += w
    for other, msg in ((3 * z, "different problems"), (z, "different problems"),
                       (z * z, "different problems"), (u, "Linked variables and unlinked"),
                       (2 * u, "Linked variables and")):
        with pytest.raises(nivra.ModelError, match=msg):
            e += other
    assert coefficients(e) == {id(x): 2.0, id(w): 1.0}
    square = nivra.expression()
    square += x * x  # no linear representative: the quadratic one stands for it
    square += 2 * x * w
    for other in (2 * z, z * z):
        with pytest.raises(nivra.ModelError, match="different problems"):
            square += other
    assert quadratic(square) == {(id(x), id(x)): 1.0, (id(x), id(w)): 2.0}
    t = 5 * w
    set_owner(w, DELETED_OWNER)
    for other in (t, w):
        with pytest.raises(nivra.ModelError, match="Deleted variable in expression"):
            e += other
    with pytest.raises(nivra.ModelError, match="Deleted variable in expression"):
        2.0 * w
    assert coefficients(e) == {id(x): 2.0, id(w): 1.0}


def test_teardown_with_objects_on_the_free_lists():
    """The module's teardown gives the kept objects back; objects freed after it go straight to
    the allocator. The debug allocator fails the interpreter on a double or foreign free."""
    script = """if True:
        import nivra
        p = nivra.problem()
        xs = p.addVariables(50)
        kept = [2 * x for x in xs] + [x + 1 for x in xs]
        for _ in range(3):
            junk = [3 * x for x in xs] + [x - 1 for x in xs]
            del junk
        """
    env = dict(os.environ, PYTHONMALLOC="debug")
    r = subprocess.run([sys.executable, "-X", "dev", "-c", script], env=env,
                       capture_output=True, text=True, timeout=120)
    assert (r.returncode, r.stderr) == (0, "")


@pytest.mark.parametrize("n", [3, 2 * INLINE + 1])
def test_sums_that_copy_an_expression_into_a_new_one(many, n):
    """a + y, a - y, 5 - a and y - a copy a's entries into the result without lookups; the result
    reads, grows and looks up like one built term by term."""
    vs, y = many[:n], many[-1]
    a, ref = accumulate([(i + 1.0, v) for i, v in reversed(list(enumerate(vs)))])
    for r, sign, cy in ((a + y, 1, 1.0), (a - y, 1, -1.0), (5 - a, -1, 0.0), (y - a, -1, 1.0)):
        expect = {k: sign * c for k, c in ref.items()} | ({id(y): cy} if cy else {})
        assert coefficients(r) == expect
        r += 3 * vs[0]  # an existing key, added after the copy
        r -= sign * n * vs[-1]  # cancelled: gone
        expect[id(vs[0])] += 3
        expect.pop(id(vs[-1]))
        built = nivra.Sum([c * v for v in many for k, c in expect.items() if k == id(v)])
        assert coefficients(r) == expect and r.extractLinear() == built.extractLinear()
