"""The optimizer API members of the building and reading tables: the calling convention (problem
check, old keyword names, missing arguments, outputs into lists), edits checked against SciPy,
and calls that must leave the model as it was."""

import sys

import numpy as np
import pytest

import nivra
from nivra import _nivra

from helpers.leaks import assert_no_leak
from helpers.api import dense, out, quiet, scipy_optimum, snapshot

MEMBERS = _nivra._api_members()
PLACEHOLDER = {"O": None, "i": 0, "L": 0, "d": 0.0, "s": "x", "z": None, "C": "x"}


def kwargs_for(fmt, names):
    codes = fmt.replace("|", "")
    return {n: PLACEHOLDER[c] for n, c in zip(names, codes)}


@pytest.mark.parametrize("name", [m[0] for m in MEMBERS])
def test_every_member_checks_the_problem_before_its_arguments(name):
    uninitialised = nivra.problem.__new__(nivra.problem)
    with pytest.raises(nivra.ModelError, match="Problem is not initialized"):
        getattr(uninitialised, name)()


@pytest.mark.parametrize("name, fmt, kw, old",
                         [m for m in MEMBERS if m[3] and m[3] != m[2]], ids=lambda v: str(v))
def test_old_keyword_names_are_accepted_with_a_warning(name, fmt, kw, old, deprecations_as_errors):
    with pytest.raises(nivra.DeprecationWarning, match="Deprecated in Nivra 9.5: function called "
                                                       "with old argument names"):
        getattr(quiet(), name)(**kwargs_for(fmt, old))


def test_old_names_work_and_a_mix_reports_the_new_names():
    p = quiet()
    x = p.addVariable()
    with pytest.warns(nivra.DeprecationWarning):
        p.chgbounds(mindex=[x], qbtype=["U"], bnd=[7.0])
    assert out(p.getub) == [7.0]
    with pytest.raises(TypeError, match="colind"):  # the error of the current names
        p.chgbounds(mindex=[x], bndtype=["U"], bndval=[7.0])


def test_required_arrays_given_as_none_name_all_of_them():
    p = quiet()
    with pytest.raises(nivra.InterfaceError, match="Must provide arguments colind, bndtype, bndval"):
        p.chgbounds([0], None, [1.0])
    with pytest.raises(nivra.InterfaceError,
                       match="Must provide arguments rowtype, rhs, start, colind, rowcoef"):
        p.addrows(["L"], [1.0], None, [], [])


def test_outputs_fill_the_lists_given_and_skip_none():
    p = quiet()
    x = p.addVariables(3)
    p.addConstraint(x[0] + 2 * x[1] <= 4, x[2] >= 1)
    full = list(range(10))
    p.getrhs(full, 0, 1)
    assert full == [4.0, 1.0]
    start, val = [9, 9, 9, 9, 9], []
    p.getrows(start, None, val, 100, 0, 1)  # no column list: still the others
    assert start == [0, 2, 3] and val == [1.0, 2.0, 1.0]
    ind = ["old"]
    p.getindicators(ind, None, 0, 1)
    assert ind == [None, None]  # no indicator: no variable
    with pytest.raises(nivra.ModelError, match="Unexpected argument to conv_arr2obj"):
        p.getrhs((), 0, 1)
    # maxcoefs limits what is delivered; 0 asks for the starts only
    cols, vals = [], []
    p.getrows(start, cols, vals, 0, 0, 1)
    assert start == [0, 2, 3] and cols == [] and vals == []
    with pytest.raises(nivra.SolverIndexError, match="buffers hold 2 coefficients but 3"):
        p.getrows(start, cols, vals, 2, 0, 1)


def test_the_api_and_the_modelling_layer_build_the_same_rows():
    p, q = quiet(), quiet()
    x = p.addVariables(4, lb=-1, ub=5)
    p.addConstraint(2 * x[0] - x[3] <= 4, x[1] + x[2] + x[0] >= -2, x[2] == 3)
    p.setObjective(x[0] + 3 * x[2])
    q.addrows(["L", "G", "E"], [4, -2, 3], [0, 0, 0], [], [])
    q.addcols([1, 0, 3], [0, 2, 3], [0, 1, 1, 1, 2], [2, 1, 1, 1, 1], [-1] * 3, [5] * 3)
    q.addcols([0], [0], [], [], [-1], [5])
    q.chgmcoef([0], [3], [-1])
    a, b = snapshot(p), snapshot(q)
    for key in ("rows", "cols", "lb", "ub", "obj", "rowtype", "rhs"):
        assert a[key] == b[key], key
    assert len(q.getConstraint()) == 3 and len(q.getVariable()) == 4


def random_lp(rng, m=6, n=5):
    p = quiet()
    A = np.round(rng.uniform(-3, 3, (m, n)))
    A[A == 0] = 1
    x = p.addVariables(n, lb=0, ub=10)
    p.addConstraint([nivra.Dot(A[i], x) <= float(rng.integers(5, 20)) for i in range(m)])
    p.setObjective(nivra.Dot(rng.uniform(-2, 2, n), x))
    return p, x


@pytest.mark.parametrize("seed", range(4))
def test_edited_lps_solve_to_scipys_optimum(seed):
    rng = np.random.default_rng(seed)
    p, x = random_lp(rng)
    edits = [
        lambda: p.chgbounds([x[0], 1], ["U", "L"], [3.0, 1.0]),
        lambda: p.chgobj([2, x[3]], [-1.5, 2.0]),
        lambda: p.chgrhs([0, 1], [7.0, 9.0]),
        lambda: p.chgrowtype([2], ["G"]),
        lambda: p.chgrhsrange([3], [4.0]),
        lambda: p.chgcoef(4, x[4], -2.0),
        lambda: p.chgmcoef([5, 5], [0, 1], [1.0, 0.0]),
        lambda: p.addrows(["L"], [6.0], [0], [x[0], x[2]], [1.0, 1.0]),
        lambda: p.addcols([-1.0], [0], [0, 6], [1.0, 1.0], [0.0], [4.0]),
        lambda: p.chgobjsense(-1),
    ]
    for edit in edits:
        edit()
        p.optimize()
        A, lo, up, lb, ub, c = dense(p)
        expected = scipy_optimum(A, lo, up, lb, ub, c, sense=int(p.attributes.objsense))
        if expected is None:
            assert p.attributes.solstatus == nivra.enums.SolStatus.INFEASIBLE
        else:
            assert p.attributes.objval == pytest.approx(expected, abs=1e-7)


def test_integer_edits_solve_to_scipys_optimum():
    rng = np.random.default_rng(7)
    p, x = random_lp(rng, 5, 6)
    p.chgcoltype([0, 1, x[2]], ["I", "B", "I"])
    p.chgobjsense(-1)
    p.optimize()
    A, lo, up, lb, ub, c = dense(p)
    kinds = out(p.getcoltype, 0, 5)
    integral = [1 if k in "IB" else 0 for k in kinds]
    assert out(p.getub)[1] == 1.0  # binary: bounds [0, 1]
    assert p.attributes.objval == pytest.approx(scipy_optimum(A, lo, up, lb, ub, c, integral, -1))


def test_refused_calls_leave_the_model_as_it_was():
    p = quiet()
    x = p.addVariables(3, name="x", ub=4)
    b = p.addVariable(vartype=nivra.binary, name="b")
    p.addConstraint(x[0] + x[1] <= 3, x[2] - x[0] >= -1)
    p.addSOS([x[0], x[1]], [1, 2])
    before = snapshot(p)
    refused = [
        (nivra.SolverIndexError, lambda: p.chgbounds([0, 7], ["U", "U"], [1.0, 2.0])),
        (nivra.SolverValueError, lambda: p.chgbounds([0, 1], ["U", "Q"], [1.0, 2.0])),
        (nivra.InterfaceError, lambda: p.chgmcoef([0, 1], [0, 1], [1.0])),
        (nivra.SolverIndexError, lambda: p.addrows(["L", "G"], [1, 2], [0, 1], [0, 9], [1, 1])),
        (nivra.SolverValueError, lambda: p.addcols([0], [0], [0], [np.nan], [0], [1])),
        # NaN never reaches the model as a bound, a right-hand side, a cost or a coefficient
        (nivra.SolverValueError, lambda: p.chgbounds([0], ["U"], [np.nan])),
        (nivra.SolverValueError, lambda: p.chgrhs([0], [np.nan])),
        (nivra.SolverValueError, lambda: p.chgobj([0], [np.nan])),
        (nivra.SolverValueError, lambda: p.chgmcoef([0], [1], [np.nan])),
        (nivra.SolverValueError, lambda: p.loadproblem("z", ["L"], [np.nan], None, [1], [0, 1],
                                                       None, [0], [1.0], None, None)),
        (nivra.SolverValueError, lambda: p.setindicators([0], [x[0]], [1])),  # not binary
        (nivra.SolverValueError, lambda: p.addgencons([9], [b], [0], [x[0]])),
        (nivra.SolverValueError, lambda: p.addpwlcons([x[0]], [x[1]], [0], [2, 1], [0, 0])),
        (nivra.SolverValueError, lambda: p.delVariable([0, 0])),
        (nivra.ModelError, lambda: p.delConstraint(first=1, last=0)),
        (nivra.SolverValueError, lambda: p.chgobjsense(0)),
        (nivra.InterfaceError, lambda: p.addnames(2, ["a", 3], 0, 1)),
        (nivra.SolverValueError, lambda: p.addnames(2, ["a" * 2000], 0, 0)),
        (nivra.InterfaceError, lambda: p.loadproblem("z", ["L"], [1], None, [1, 2], [0, 1, 2],
                                                     None, [0], [1.0], None, None)),
    ]
    for exc, call in refused:
        with pytest.raises(exc):
            call()
        assert snapshot(p) == before, call


def test_a_deletion_during_a_solve_is_refused():
    p = quiet()
    x = p.addVariables(30, vartype=nivra.integer, ub=9)
    p.addConstraint(nivra.Sum(3 * x[i] + (i % 7) * x[(i + 1) % 30] for i in range(30)) <= 400)
    p.setObjective(nivra.Sum(x), sense=nivra.maximize)
    before, seen = snapshot(p), []

    def handler(obj, data, thread, msg, msgtype, msgcode):
        if not seen:
            try:
                p.delVariable(x[0])
            except nivra.BusyError as e:
                seen.append(e)

    p.setOutputEnabled(True)
    nivra.addcbmsghandler(handler, None, 0)
    try:
        p.optimize()
    finally:
        nivra.removecbmsghandler(handler, None)
    assert seen and snapshot(p) == before


def test_loadproblem_loaders_read_back():
    p = quiet()
    old = p.addVariable()
    # min x0 + x1 + 0.5(x0^2 + x1^2) s.t. x0 + x1 >= 2, integer x1, SOS2 over both
    p.loadproblem("qmip", ["G"], [2], None, [1, 1], [0, 1, 2], None, [0, 0], [1, 1], [0, 0],
                  [5, 5], objqcol1=[0, 1], objqcol2=[0, 1], objqcoef=[1, 1], coltype=["I"],
                  entind=[1], limit=None, settype=["2"], setstart=[0, 2], setind=[0, 1],
                  refval=[1, 2], colnames=["a", "b"], rownames=["r"])
    with pytest.raises(nivra.ModelError, match="deleted"):
        old.lb
    assert p.name() == "qmip" and p.getnamelist(2) == ["a", "b"]
    assert [v.name for v in p.getVariable()] == ["a", "b"] and len(p.getConstraint()) == 1
    start, ind, val = [], [], []
    p.getmqobj(start, ind, val, 10, 0, 1)
    assert (start, [v.index for v in ind], val) == ([0, 1, 2], [0, 1], [1.0, 1.0])
    assert p.getqobj(1, 1) == 1.0 and p.getqobj(0, 1) == 0.0
    ent = [[] for _ in range(7)]
    p.getmipentities(*ent)
    assert ent[0] == ["I"] and ent[1] == [1] and ent[3] == ["2"] and ent[4] == [0, 2]
    # quadratic rows: x0*x1 <= 3 as row 0's quadratic part
    p.loadproblem("qc", ["L"], [3], None, [0, 0], [0, 0, 0], None, [], [], None, None,
                  qrowind=[0], nrowqcoefs=[1], rowqcol1=[0], rowqcol2=[1], rowqcoef=[0.5])
    assert out(p.getqrows) == p.getConstraint()
    c1, c2, v = [], [], []
    p.getqrowqmatrixtriplets(0, c1, c2, v)
    assert ([a.index for a in c1], [a.index for a in c2], v) == ([0], [1], [0.5])


def test_loadproblem_arguments_are_checked_before_the_load():
    p = quiet()
    x = p.addVariable(name="keep")
    before = snapshot(p)
    for kwargs, message in [
        ({"objqcol1": [0]}, "Incomplete list of arguments specified for the quadratic objective"),
        ({"settype": ["1"], "setstart": [0, 1]}, "Incomplete list of arguments specified for the SOS"),
        ({"coltype": ["I"]}, "Incomplete list of arguments specified for the global entities"),
        ({"colnames": ["a", 1]}, "not a string"),
    ]:
        with pytest.raises(nivra.InterfaceError, match=message):
            p.loadproblem("p", ["L"], [1], None, [1, 1], [0, 1, 2], None, [0, 0], [1, 1], None,
                          None, **kwargs)
        assert snapshot(p) == before
    with pytest.raises(nivra.InterfaceError, match="'rowind' has 1 elements, but the starts refer to 2"):
        p.loadproblem("p", ["L"], [1], None, [1, 1], [0, 1, 2], None, [0], [1], None, None)
    assert x.name == "keep"


def test_a_failure_after_the_load_leaves_an_empty_problem():
    p = quiet()
    x = p.addVariable()
    with pytest.raises(nivra.SolverValueError, match="longer than"):
        p.loadproblem("p", ["L"], [1], None, [1], [0, 1], None, [0], [1], None, None,
                      colnames=["n" * 2000])
    assert (p.attributes.cols, p.attributes.rows) == (0, 0) and p.getVariable() == []
    with pytest.raises(nivra.ModelError, match="deleted"):
        x.ub


def test_quadratic_members_change_and_read_the_store():
    p = quiet()
    x = p.addVariables(3)
    p.addConstraint(x[0] + x[1] <= 5)
    c = p.getConstraint(0)
    p.chgqobj(x[0], x[2], 3.0)
    p.chgmqobj([1, 0], [1, 2], [2.0, 4.0])  # replaces (0, 2)
    assert (p.getqobj(2, 0), p.getqobj(1, 1)) == (4.0, 2.0)
    p.addqmatrix(c, [x[0], 1], [1, 0], [0.5, 0.5])  # summed: 1.0 on (0, 1)
    p.chgqrowcoeff(0, 2, 2, 7.0)
    assert p.getqrowcoeff(0, 1, 0) == 1.0 and p.getqrowcoeff(c, x[2], x[2]) == 7.0
    start, ind, val = [], [], []
    p.getqrowqmatrix(c, start, ind, val, 10, 0, 2)
    assert (start, [v.index for v in ind], val) == ([0, 1, 1, 2], [1, 2], [1.0, 7.0])
    p.delqmatrix(c)
    assert out(p.getqrows) == [] and p.getqrowcoeff(0, 0, 1) == 0.0
    # a row made quadratic through the API is solved as such: max x + y, x^2 + y^2 <= 8
    q = quiet()
    q.addcols([1.0, 1.0], [0, 0], [], [], [0.0, 0.0], [10.0, 10.0])
    q.addrows(["L"], [8.0], [0], [], [])
    q.addqmatrix(0, [0, 1], [0, 1], [1.0, 1.0])
    q.chgobjsense(-1)
    q.optimize()
    assert q.attributes.objval == pytest.approx(4.0, abs=1e-5)


def test_names_and_lookups():
    p = quiet()
    p.addVariables(3)
    p.addConstraint(p.getVariable(0) <= 1)
    p.addnames(2, ["a", "b"], 1, 2)
    p.addnames(1, ["r"], 0, 0)
    assert p.getnamelist(2) == ["x(0)", "a", "b"] and p.getnamelist(2, 1, 1) == ["a"]
    assert p.getIndexFromName(2, "b") == 2 and p.getIndexFromName(1, "nope") == -1
    assert p.getattribinfo("rows") == (1001, 1) and p.getcontrolinfo("nope") == (0, 0)
    s = p.addSOS([0, 1], [1, 2], name="s")
    p.addsetnames(["t"])
    assert s.name == "t"
    with pytest.raises(nivra.InterfaceError, match="Invalid name type 4"):
        p.getnamelist(4)


def test_branching_directives_read_back():
    p = quiet()
    x = p.addVariables(4, vartype=nivra.integer, ub=5)
    p.loaddirs([x[3], x[1]], [7, 2], ["D", "U"], [1.5, 0.5], [2.5, 0.25])
    cols, prios, dirs, up, down = [], [], [], [], []
    assert p.getdirs(cols, prios, dirs, up, down) == 2
    # In column order, whatever the order they were loaded in.
    assert cols == [x[1], x[3]] and prios == [2, 7] and dirs == ["U", "D"]
    assert up == [0.5, 1.5] and down == [0.25, 2.5]
    assert p.getdirs(None, None, None, None, None) == 2


def test_chgobjsense_and_objectives():
    p = quiet()
    x = p.addVariable(ub=3)
    p.chgobj([x], [1.0])
    p.chgobjsense(-1)
    p.optimize()
    assert p.attributes.objval == 3.0
    p.addobj([x], [2.0], 1, 1.0)
    p.chgobjn(1, [0], [-1.0])
    lst = []
    p.getobjn(1, lst, 0, 0)
    assert lst == [-1.0]
    p.delobj(1)
    assert p.attributes.objectives == 1


def test_members_neither_leak_nor_keep_references():
    p = quiet()
    x = p.addVariables(50, ub=3)
    p.addConstraint(nivra.Sum(x) <= 10, x[0] - x[1] >= -1)
    refs = [sys.getrefcount(v) for v in x[:3]]

    def scenario():
        p.chgbounds(list(x[:3]), ["U", "L", "B"], [2.0, 0.5, 1.0])
        lists = [[], [], []]
        p.getrows(*lists, 1000, 0, 1)
        p.getcols(lists[0], lists[1], lists[2], 1000, x[0], x[2])
        for bad in (lambda: p.chgobj(list(x[:3]), [1.0, "a", 2.0]),
                    lambda: p.chgmcoef([0, 1], [x[0]], [1.0, 2.0]),
                    lambda: p.setindicators([0], [x[0]], [1])):
            with pytest.raises((nivra.InterfaceError, nivra.SolverError)):
                bad()
        assert p.getnamelist(2, 0, 2) and p.getcoef(0, x[1]) == 1.0

    assert_no_leak(scenario)
    assert [sys.getrefcount(v) for v in x[:3]] == refs
