"""The members of the nonlinear solver: formulas written by every writer and read back by every
reader, their evaluation against nivra.evaluate, the SLP data of columns, rows and tolerance
sets, multistart jobs, and refused calls that leave the model as it was."""

import gc
import sys

import pytest
from helpers.api import quiet, snapshot
from helpers.leaks import assert_no_leak

import nivra
from nivra import _nivra

EOF, CON, COL, IFUN, RB, OP = 0, 1, 10, 12, 22, 31
DIVIDE = 4
OBJ, NOCOL = -1, -1000


def write(p, tree):
    """The tokens of a tree as one formula (types, values), ending with the end token."""
    return _nivra._algebra("formula_write", p, tree, False)


def read(p, types, values):
    return _nivra._algebra("formula_read", p, types, values)


@pytest.fixture
def pxy():
    p = quiet()
    x, y, z = (p.addVariable(name=n, lb=-10) for n in "xyz")
    p.addConstraint(x + y <= 3, x - z >= -1, y + z == 2)
    return p, x, y, z


def trees(x, y, z):
    return [nivra.exp(y), nivra.sin(x) * y + 2, x / (1 + y * y), nivra.log(z * z + 1) - x,
            nivra.max(x, y, z), nivra.pwl({(0, 1): x, (1, 3): 2 * x - 1}), nivra.sqrt(x * x + 1)]


# Each writer puts a formula (types, values) at row 1 (with a coefficient's column where it has
# one); its reader gives the tokens back.
def add_coefs(p, t, v):
    p.addcoefs([1], [NOCOL], None, None, 1, t, v)


def chg_coef(p, t, v):
    p.chgnlcoef(1, NOCOL, None, 1, t, v)


def slp_chg_coef(p, t, v):
    p.slpchgcoef(1, NOCOL, 1.0, True, t, v)


def nlp_chg_formula(p, t, v):
    p.nlpchgformula(1, True, t, v)


def nlp_add_formulas(p, t, v):
    p.nlpAddFormulas([1], [0, len(t)], 1, t, v)


def coef_formula(p):
    factor, t, v = p.getcoefformula(1, NOCOL, 1, 1000)
    assert factor == 1.0
    return t, v


def slp_coef_formula(p):
    t, v = [], []
    assert p.slpgetcoefformula(1, NOCOL, True, t, v) == 1.0
    return t, v


def nlp_formula(p):
    t, v = [], []
    assert p.nlpgetformula(1, True, t, v) == len(t)
    return t, v


@pytest.mark.parametrize("writer, reader", [
    (add_coefs, coef_formula), (chg_coef, coef_formula), (slp_chg_coef, slp_coef_formula),
    (nlp_chg_formula, nlp_formula), (nlp_add_formulas, nlp_formula)], ids=lambda f: f.__name__)
def test_formulas_read_back_equal_what_was_written(pxy, writer, reader):
    p, x, y, z = pxy
    for tree in trees(x, y, z):
        writer(p, *write(p, tree))
        assert nivra.is_equal(read(p, *reader(p)), tree), tree
        p.nlpDelFormulas([1])
        assert p.nlpGetFormulaRows() == []


def test_formulas_as_text_round_trip(pxy):
    p, x, y, z = pxy
    p.chgccoef(0, x, 2.5, "exp(y) * z")
    factor, text = p.getccoef(0, x, 100)
    assert factor == 2.5 and p.slpgetcoefstr(0, x) == (2.5, text)
    assert p.getccoef(0, x, 4) == (2.5, text[:3])  # cut to the bytes given, with the zero
    p.slpchgcoefstr(2, "y", None, text)  # a name is a column too
    assert p.getcoefformula(2, y, 1, 100)[1:] == p.getcoefformula(0, x, 1, 100)[1:]
    p.nlpchgformulastr(OBJ, "x ^ 2 + sin(" + text + ")")
    again = p.nlpgetformulastr(OBJ)
    p.nlpchgformulastr(1, again)
    assert p.nlpgetformulastr(1) == again and p.nlpGetFormulaRows() == [OBJ, 1]
    assert p.getcoefs() == 4
    rows, cols = [], []
    p.getcoefs(rows, cols)
    assert list(zip(rows, cols)) == [(OBJ, NOCOL), (0, 0), (1, NOCOL), (2, 1)]
    p.delcoefs([0, 2], [x, y])
    assert p.getcoefs(rows, cols) == 2 and cols == [NOCOL, NOCOL]
    p.nlpchgformula(1, True, [EOF], [0])  # empty: removed
    assert p.nlpGetFormulaRows() == [OBJ] and p.nlpgetformulastr(1) == ""


def test_evaluation_agrees_with_evaluate(pxy):
    p, x, y, z = pxy
    point = {x: 0.7, y: -1.3, z: 2.1}
    p.nlpsetinitval(list(point), list(point.values()))
    for tree in trees(x, y, z):
        expected = nivra.evaluate(tree, solution=point)
        assert p.evaluateformula(1, *write(p, tree)) == pytest.approx(expected, rel=1e-12)
        t, v = write(p, tree)
        p.addcoefs([0], [z], [3.0], [0, len(t)], 1, t, v)
        assert p.evaluatecoef(0, z) == pytest.approx(3.0 * expected, rel=1e-12)
        p.delcoefs([0], [z])
    # the formula needs no end token of its own
    assert p.evaluateformula(1, [COL, COL, OP], [0, 1, DIVIDE]) == pytest.approx(0.7 / -1.3)


def test_batches_of_formulas_and_the_rows_that_hold_them(pxy):
    p, x, y, z = pxy
    f, g, h = nivra.exp(x), nivra.cos(y) * z, x * y
    (tf, vf), (tg, vg), (th, vh) = (write(p, e) for e in (f, g, h))
    p.nlpAddFormulas([2, OBJ], [0, len(tf), len(tf) + len(tg)], 1, tf + tg, vf + vg)
    assert p.nlpGetFormulaRows() == [OBJ, 2]
    p.nlpAddFormulas([0], None, 1, th, vh)  # without starts: up to the end token
    assert p.nlpGetFormulaRows() == [OBJ, 0, 2]
    t, v = [], []
    p.nlpgetformula(OBJ, True, t, v)
    assert nivra.is_equal(read(p, t, v), g)
    p.nlpDelFormulas([0, 1])  # row 1 has none: skipped
    assert p.nlpGetFormulaRows() == [OBJ, 2]
    p.nlpLoadFormulas([1], None, 1, th, vh)
    assert p.nlpGetFormulaRows() == [1]
    # coefficients: several without starts, each closed by its end token
    p.loadcoefs([0, 2], [x, NOCOL], [2.0, 1.0], None, 1, tf + tg, vf + vg)
    assert p.getcoefs() == 2 and p.nlpGetFormulaRows() == [2]  # row 1's formula went too
    assert nivra.is_equal(read(p, *p.getcoefformula(2, NOCOL, 1, 100)[1:]), g)


def test_slp_data_of_columns_round_trip(pxy):
    p, x, y, z = pxy
    p.addtolsets([1e-3] * 9 + [float(k) for k in range(9)])
    p.addvars([x, y], [2, 4], [0, -1], [1, 2], [2, 0], [0.5, 1.5], [3.0, 1e20])
    assert p.getvar(x) == (0, 3.0, 3.0, 1.0, 1.0, 0.5, 0.5, 2, 0, 0, 2)  # the first step bound too
    assert p.getvar(y) == (-1, 1e20, 1e20, 1.0, 1.0, 1.5, 1.5, 0, 0, 0, 4)
    p.chgvar(x, detrow=2, penalty=7.0, value=0.25, history=3)
    assert p.getvar(x) == (2, 3.0, 3.0, 7.0, 1.0, 0.5, 0.25, 2, 3, 0, 2)
    assert [p.getcolinfo(k, x) for k in (1, 2, 3, 5)] == [2, 2, 2, 3]
    assert p.getcolinfo(100, x) == 0.25 and p.getcolinfo(103, x) == 7.0
    p.slpSetDetRow([x, y], [-1, 0])
    assert (p.getvar(x)[0], p.getvar(y)[0]) == (-1, 0)
    p.chgdeltatype([x], [1], [0.5])
    p.chgcascadenlimit(x, 9)
    assert (p.getcolinfo(8, x), p.getcolinfo(104, x), p.getcolinfo(6, x)) == (1, 0.5, 9)
    p.loadvars([z], None, None, None, None, [4.0], None)  # every other column back to defaults
    assert p.getvar(x) == (-1, 1e20, 1e20, 1.0, 1.0, 0.0, 0.0, 0, 0, 0, 0)
    assert p.getvar(z)[5] == 4.0
    p.delvars([z])
    assert p.getvar(z)[5] == 0.0


def test_tolerance_sets_rows_and_steps_round_trip(pxy):
    p, x, y, z = pxy
    p.addtolsets([0.1 * k for k in range(18)])
    tols = ["old"]
    assert p.gettolset(2, tols) == 0x1FF and tols == pytest.approx([0.1 * k for k in range(9, 18)])
    p.chgtolset(2, 0x5, [1.0] * 9)
    assert p.gettolset(2, tols) == 0x5 and tols == [1.0] * 9
    p.chgtolset(1, None, None)  # nothing given: nothing changes
    p.deltolsets([1])
    assert p.gettolset(1, tols) == 0x5
    p.loadtolsets([])
    with pytest.raises(nivra.SolverError):
        p.gettolset(1)
    p.chgrowstatus(1, 1)
    p.chgrowwt(2, 4.5)
    assert (p.getrowstatus(1), p.getrowwt(2), p.getrowinfo(1, 1), p.getrowinfo(100, 2)) == \
        (1, 4.5, 1, 4.5)
    p.adddfs([x, y], [0, 1], [1e-4, 2e-4])
    assert (p.getdf(x, 0), p.getdf(y, 1)) == (1e-4, 2e-4)
    assert p.chgdf(x, 0, None) == 1e-4  # None reads the step and leaves it
    assert p.chgdf(x, 0, 3e-4) == 3e-4 and p.getdf(x, 0) == 3e-4
    p.loaddfs([z], [2], [5e-5])
    assert (p.getdf(x, 0), p.getdf(z, 2)) == (0.0, 5e-5)


def test_multistart_jobs_and_their_controls(pxy):
    p, x, y, _ = pxy
    job = object()
    refs = sys.getrefcount(job)
    p.msaddjob("a", [x, y], [1.0, 2.0], {"slp_iterlimit": 10, "nlp_feastol": 1e-5}, job)
    p.msaddcustompreset("b", 1, 3, [], [], {"ms_seed": 7}, None)
    p.msaddpreset("c", 2, 4, "data")
    assert sys.getrefcount(job) == refs + 1  # the problem keeps the object of its job
    q = p.copy()
    assert sys.getrefcount(job) == refs + 2  # and so does a copy, which shares the jobs
    del q
    assert sys.getrefcount(job) == refs + 1
    p.msclear()
    for control, message in (({"ipm_linearsolver": "x"}, "Only integer and double controls "
                              r"allowed in msaddcustompreset/msaddjob"),
                             ({"nosuchcontrol": 1}, "Unknown control nosuchcontrol in "
                              "msaddcustompreset/msaddjob"),
                             ({1: 1}, r"Incorrect key in parameter 'control' \(all keys must "
                              r"be strings\) of msaddcustompreset/msaddjob"),
                             ([], "Incorrect argument 'control' in msaddcustompreset/msaddjob: "
                              "must be a dictionary")):
        with pytest.raises(nivra.InterfaceError, match=message):
            p.msaddjob("d", [x], [1.0], control, None)
    with pytest.raises(nivra.InterfaceError, match="Incorrect arguments in msaddjob"):
        p.msaddjob("d", [x], [1.0])
    with pytest.raises(nivra.SolverError, match="unknown multistart preset 9"):
        p.msaddcustompreset("e", 9, 1, [], [], {}, None)


def test_job_objects_go_with_their_problem():
    job = object()
    refs = sys.getrefcount(job)
    p = nivra.problem()
    x = p.addVariable()
    p.msaddjob("a", [x], [1.0], {}, job)
    p.msaddpreset("b", 1, 2, job)
    assert sys.getrefcount(job) == refs + 2
    del p, x
    gc.collect()
    assert sys.getrefcount(job) == refs


def test_member_specific_argument_errors(pxy):
    p, x, _, _ = pxy
    with pytest.raises(nivra.InterfaceError, match="Wrong arguments in chgdf"):
        p.chgdf(x, 0, "0.1")
    with pytest.raises(nivra.InterfaceError, match="Wrong arguments in addvars"):
        p.addvars(colind=[x])
    with pytest.raises(nivra.InterfaceError, match="Wrong arguments in loadvars"):
        p.loadvars()
    with pytest.raises(nivra.InterfaceError, match="Incorrect argument to getcolinfo"):
        p.getcolinfo("1", x)
    with pytest.raises(nivra.InterfaceError, match="Must provide arguments rowindex, colindex, "
                                                   "type, value"):
        p.addcoefs([0], [x], None, None, 1, None, [1.0])
    with pytest.raises(nivra.InterfaceError, match="Argument 'factor' must be a number or None"):
        p.chgnlcoef(0, x, "2", 1, [CON], [1.0])


def refused_calls(x, y, z):
    good = ([RB, COL, IFUN, EOF], [0, 1, 16, 0])
    return [
        (lambda p: p.addcoefs([99], [x], None, None, 1, *good), nivra.SolverError),
        (lambda p: p.addcoefs([0], [x], None, None, 1, [77, EOF], [0, 0]), nivra.SolverError),
        (lambda p: p.addcoefs([0], [x], None, None, 1, [OP], [5]), nivra.SolverError),
        (lambda p: p.addcoefs([0, 1], [x, y], None, [0, 4, 9], 1, *good), nivra.InterfaceError),
        (lambda p: p.addcoefs([0, 1], [x, y], None, [0, 4], 1, *good), nivra.InterfaceError),
        (lambda p: p.addcoefs([0, 1], [x, y], None, None, 1, *good), nivra.SolverError),
        (lambda p: p.addcoefs([0, 1, 2], [x, y, z], None, None, 1, *good), nivra.InterfaceError),
        (lambda p: p.addcoefs([0], [x], None, None, 1, [CON, EOF], [1.0]), nivra.InterfaceError),
        (lambda p: p.chgnlcoef(0, 99, None, 1, *good), nivra.SolverError),
        (lambda p: p.nlpchgformula(1, True, [CON, CON, OP], [1, 0, DIVIDE]), nivra.SolverError),
        (lambda p: p.nlpAddFormulas([1, 2], [0, 4, 99], 1, *good), nivra.SolverError),
        (lambda p: p.nlpAddFormulas([1], [0, 4], 1, good[0], [0.0]), nivra.InterfaceError),
        (lambda p: p.nlpAddFormulas([1, "nosuchrow"], None, 1, *good), nivra.InterfaceError),
        (lambda p: p.addvars([x, 99]), nivra.SolverError),
        (lambda p: p.addtolsets([0.1] * 10), nivra.InterfaceError),
        (lambda p: p.chgtolset(1, None, [0.1] * 3), nivra.InterfaceError),
        (lambda p: p.slpSetDetRow([x], [0, 1]), nivra.InterfaceError),
        (lambda p: p.validatevector([0.0]), nivra.InterfaceError),
    ]


def nonlinear_state(p, x):
    rows, cols = [], []
    p.getcoefs(rows, cols)
    return (snapshot(p), rows, cols, p.nlpGetFormulaRows(), p.getvar(x), p.getdf(x, 0),
            [p.nlpgetformulastr(r) for r in (OBJ, 0, 1, 2)])


def test_refused_calls_leave_the_model_as_it_was(pxy):
    p, x, y, z = pxy
    p.addtolsets([0.1] * 9)
    p.chgccoef(0, x, 2.0, "exp(y)")
    p.nlpchgformulastr(2, "sin(z) * x")
    before = nonlinear_state(p, x)
    for k, (call, error) in enumerate(refused_calls(x, y, z)):
        with pytest.raises(error):
            call(p)
        assert nonlinear_state(p, x) == before, k


def test_returned_objects_hold_exact_references(pxy):
    p, x, _, _ = pxy
    p.chgccoef(0, x, 2.0, "exp(y)")
    p.addvars([x])
    for member, args in (("getcoefformula", (0, x, 1, 100)), ("getvar", (x,)),
                         ("getccoef", (0, x, 50)), ("nlpGetFormulaRows", ())):
        result = getattr(p, member)(*args)
        assert sys.getrefcount(result) == 2, member  # the name's and the call's
    factor, types, values = p.getcoefformula(0, x, 1, 100)
    assert sys.getrefcount(types) == sys.getrefcount(values) == 2

    def round_trip_and_refusals():
        p.chgnlcoef(1, NOCOL, 2.0, 1, types, values)
        p.getcoefformula(1, NOCOL, 1, 100)
        p.nlpgetformulastr(1)
        for call, error in refused_calls(x, x, x):
            with pytest.raises(error):
                call(p)
    assert_no_leak(round_trip_and_refusals)


def test_what_the_build_lacks_is_refused_clearly(pxy, tmp_path):
    p, x, _, _ = pxy
    assert p.savetobuffer()  # nothing nonlinear yet
    p.chgccoef(0, x, 2.0, "exp(y)")  # formulas given through the members are not saved
    for save in (lambda: p.save(str(tmp_path / "p")), p.savetobuffer):
        with pytest.raises(nivra.InterfaceError, match="needs the nonlinear solver"):
            save()
    for member in ("presolve", "scaling", "fixpenalties", "updatelinearization"):
        with pytest.raises(nivra.NotSupportedError, match="run this step only inside a solve"):
            getattr(p, member)()
    p.construct()
    p.unconstruct()
