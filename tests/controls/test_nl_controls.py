"""The nonlinear solver's controls and attributes in the module's name tables: every way of
reading and setting them, the module defaults, the objective sense they share with the
optimizer, and the refusals."""

import warnings

import pytest
from helpers.leaks import assert_no_leak
from helpers.transfer import quiet

import nivra


@pytest.fixture(autouse=True)
def clean_defaults():
    nivra.setdefaults()
    yield
    nivra.setdefaults()


def test_read_and_set_through_the_problem():
    p = quiet()
    # both nonlinear lists, by view, by name (either case) and in dictionaries
    p.controls.nlp_feastol = 1e-4
    p.controls.IPM_LINEARSOLVER = "ma27"
    p.setControl("slp_iterlimit", 50)
    p.setControl({"ipm_iterlimit": 7, "nlp_fdstep": 1e-5})
    assert p.getControl("NLP_FEASTOL") == 1e-4 and p.controls.ipm_linearsolver == "ma27"
    assert p.controls.slp_iterlimit == 50 and type(p.controls.slp_iterlimit) is int
    assert p.getControl(["ipm_iterlimit", "nlp_fdstep", "feastol"]) == \
        {"ipm_iterlimit": 7, "nlp_fdstep": 1e-5, "feastol": pytest.approx(1e-7)}
    everything = p.getControl()
    assert everything["nslp_postsolve"] == 1 and everything["ipm_tol"] == 1e-8
    assert everything["slp_iterlimit"] == 50 and "presolve" in everything
    attributes = p.getAttrib()
    assert attributes["nlp_status"] == 0 and "ipm_equalscolumn" in attributes
    assert "nlp_objsense" not in attributes and "nlp_rows" not in everything
    # the nonlinear controls travel with copycontrols
    q = quiet()
    q.copycontrols(p)
    assert (q.controls.nlp_feastol, q.controls.slp_iterlimit) == (1e-4, 50)
    assert q.controls.ipm_linearsolver == "ma27"
    assert_no_leak(lambda: (p.getControl(), p.getAttrib("nlp_rows", "ipm_iterations"),
                            p.setControl("ipm_linearsolver", "mumps")))


def test_module_defaults_reach_new_problems():
    assert nivra.controls.nslp_postsolve == 1  # the module's own default; the library's is 0
    assert quiet().controls.nslp_postsolve == 1
    before = quiet()
    nivra.controls.ipm_iterlimit = 9
    nivra.controls.NLP_OPTTOL = 1e-3
    nivra.controls.ipm_linearsolver = "ma57"
    assert nivra.controls.ipm_iterlimit == 9
    after = quiet()
    assert (after.controls.ipm_iterlimit, after.controls.nlp_opttol) == (9, 1e-3)
    assert after.controls.ipm_linearsolver == "ma57"
    assert (before.controls.ipm_iterlimit, before.controls.ipm_linearsolver) == (3000, "mumps")
    nivra.setdefaultcontrol("ipm_iterlimit")
    assert nivra.controls.ipm_iterlimit == 3000 and quiet().controls.ipm_iterlimit == 3000
    assert quiet().controls.nlp_opttol == 1e-3
    # the module's own default survives forgetting: the object and new problems agree
    nivra.controls.nslp_postsolve = 0
    assert quiet().controls.nslp_postsolve == 0
    nivra.setdefaultcontrol("NSLP_POSTSOLVE")
    assert nivra.controls.nslp_postsolve == quiet().controls.nslp_postsolve == 1
    nivra.controls.nslp_postsolve = 0
    nivra.setdefaults()
    assert nivra.controls.nlp_opttol == 1e-6
    assert nivra.controls.nslp_postsolve == quiet().controls.nslp_postsolve == 1


def test_attributes_of_the_nonlinear_problem(pxy):
    p, x, y = pxy
    p.addConstraint(x + y <= 3)
    p.setObjective(nivra.sin(x) + y, sense=nivra.maximize)
    a = p.attributes
    # the transfer row and column of the nonlinear objective are in both views
    assert (a.nlp_rows, a.nlp_cols) == (a.rows, a.cols) == (2, 3)
    assert p.getAttrib("NLP_FORMULAROWS") >= 1 and p.getAttrib(["nlp_status"]) == {"nlp_status": 0}
    assert p.controls.nlp_objsense == -1.0
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nivra.DeprecationWarning)
        assert (p.getProbStatus(), p.getProbStatusString()) == (0, "nlp_unstarted")
        assert p.getObjVal() == a.nlp_objval == -1e20  # before a solve: 1e20 * sense


def test_chgobjsense_with_nonlinear_content(pxy):
    p, x, y = pxy
    p.setObjective(nivra.exp(x) + y)
    p.chgobjsense(-1)
    assert p.controls.nlp_objsense == -1.0 and p.attributes.objsense == -1.0
    p.controls.nlp_objsense = 1
    assert p.attributes.objsense == 1.0
    with pytest.raises(nivra.SolverError, match="nlp_objsense"):
        p.chgobjsense(5)
    assert p.controls.nlp_objsense == 1.0 and p.attributes.objsense == 1.0
    p.setObjective(x + y)  # linear again: the optimizer's own call
    p.chgobjsense(-1)
    assert p.controls.nlp_objsense == -1.0 and p.attributes.objsense == -1.0


def test_bad_names_and_values_are_refused():
    p = quiet()
    cases = [
        ("slp_iterlimit", 1.5, nivra.ModelError, "non-integer value to an integer control"),
        ("slp_iterlimit", 2**40, nivra.ModelError, "out of range"),
        ("nlp_feastol", "tight", nivra.ModelError, "non-numerical value"),
        ("ipm_linearsolver", 3, nivra.ModelError, "non-string value"),
        ("nlp_msgforward", 5, nivra.SolverError, "out of range"),
        ("nlp_nosuchcontrol", 1, nivra.InterfaceError, "Incorrect control name"),
    ]
    for name, value, exc, message in cases:
        with pytest.raises(exc, match=message):
            p.setControl(name, value)
    # nlp_msgforward: 0 as every problem is created (the module prints the nonlinear log itself).
    assert (p.controls.slp_iterlimit, p.controls.nlp_msgforward) == (1000, 0)
    with pytest.raises(nivra.ModelError, match="non-integer value"):
        nivra.controls.ipm_iterlimit = 2.0
    with pytest.raises(nivra.ModelError, match="A problem's attribute cannot be set"):
        p.attributes.nlp_rows = 3
    with pytest.raises(nivra.InterfaceError, match="Incorrect control name"):
        p.getControl("nlp_rows")
    with pytest.raises(nivra.ModelError, match="neither all-lower nor all-upper"):
        p.controls.Nlp_feastol
