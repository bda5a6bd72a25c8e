"""Nonlinear models in problem files: formulas of rows and of the objective, a coefficient with
a column, a user function by name, written and read back into a fresh problem that holds the
same model and solves to the same optimum; the writer's choice and malformed files."""

import warnings

import pytest
from helpers.leaks import assert_no_leak
from helpers.transfer import ncols, nrows, quiet

import nivra


def weighted(a, b):
    return 2 * a + b


def objective(x, y, z):
    return (x - 2) ** 2 + nivra.exp(0.1 * z) * (y - 1.5) ** 2 - z


def build(p):
    """min (x-2)^2 + exp(z/10) (y-1.5)^2 - z over three nonlinear rows."""
    x, y, z = (p.addVariable(name=n, lb=0.5, ub=4) for n in "xyz")
    p.addConstraint(nivra.exp(x) + nivra.log(y) + nivra.sqrt(z) <= 12,
                    x * nivra.sin(y) + z >= 1,  # a coefficient of column x
                    nivra.user(weighted, x, y) + z <= 7)
    p.setObjective(objective(x, y, z))
    return x, y, z


def with_weighted(p):
    """A problem that knows the user function (by a row using it, which a read then drops)."""
    a, b = p.addVariable(), p.addVariable()
    p.addConstraint(nivra.user(weighted, a, b) <= 1)
    return p


def bodies(p):
    return [str(c.getBody()) for c in p.getConstraint()]


@pytest.mark.parametrize("name, flags", [("model.lp", None), ("model.mps", None),
                                         ("model.txt", "lg")])
def test_a_nonlinear_model_reads_back_and_solves_the_same(tmp_path, name, flags):
    p = quiet()
    build(p)
    path = tmp_path / name
    p.write(str(path), flags)
    assert ("Nonlinear" if path.suffix != ".mps" else "NONLINEAR") in path.read_text()
    q = with_weighted(quiet())
    q.read(str(path), flags)
    assert (ncols(q), nrows(q)) == (ncols(p), nrows(p)) == (4, 4)
    assert bodies(q) == bodies(p)
    # The objective is nonlinear again, held by its transfer row and column as setObjective
    # leaves it: it reads back as built, and a new objective replaces it.
    assert nivra.is_equal(q.getObjective(), objective(*q.getVariable()[:3]))
    p.optimize()
    q.optimize()
    assert q.attributes.objval == pytest.approx(p.attributes.objval, rel=1e-7)
    assert q.getSolution()[:3] == pytest.approx(p.getSolution()[:3], rel=1e-6, abs=1e-7)
    with warnings.catch_warnings():  # the status of the class the read problem counts itself in
        warnings.simplefilter("ignore", nivra.DeprecationWarning)
        assert q.getProbStatusString() == p.getProbStatusString() == "nlp_solution"
    x = q.getVariable()[0]
    q.setObjective(x)
    assert (ncols(q), nrows(q)) == (3, 3)
    q.optimize()
    assert q.attributes.objval == pytest.approx(0.5)


def test_the_writer_follows_the_model_and_the_g_flag(tmp_path):
    p = quiet()
    x = p.addVariable(name="x", ub=2)
    p.addConstraint(x >= 1)
    p.setObjective(x)
    p.write(str(tmp_path / "linear.lp"), "g")  # the nonlinear writer, with nothing nonlinear
    assert "Nonlinear" not in (tmp_path / "linear.lp").read_text()
    p.setObjective(nivra.exp(x))  # a nonlinear objective alone makes the file nonlinear
    p.write(str(tmp_path / "objective.lp"))
    text = (tmp_path / "objective.lp").read_text()
    assert " row objtransferrow: exp(x)\n" in text
    assert " column objtransfercol: detrow objtransferrow\n" in text
    q = quiet()
    q.read(str(tmp_path / "objective.lp"))
    assert nivra.is_equal(q.getObjective(), nivra.exp(q.getVariable()[0]))
    q.optimize()
    assert q.attributes.objval == pytest.approx(2.718281828459045, rel=1e-7)


LP = """Minimize
 obj: x + y
Subject To
 c0: x + y >= 1
Nonlinear
 row c0: {}
End
"""


@pytest.mark.parametrize("entry, message", [
    ("exp(w)", "at line 6: the formula of row 'c0': .*'w' is not the name of a column"),
    ("weighted(x, y)", "at line 6: .*unknown function 'weighted'"),
    ("2 x * [ exp(y", "at line 6: a formula in \\[ \\] must end the line"),
])
def test_malformed_sections_fail_and_leave_an_empty_problem(tmp_path, entry, message):
    path = tmp_path / "bad.lp"
    path.write_text(LP.format(entry))
    p = quiet()  # a nonlinear model without user functions, which the failed read drops
    x = p.addVariable(name="x")
    p.addConstraint(nivra.sin(x) <= 0.5)
    p.setObjective(nivra.exp(x))
    with pytest.raises(nivra.SolverFileError, match=message):
        p.read(str(path))
    assert (ncols(p), nrows(p)) == (0, 0)
    # a sound file reads into the same problem afterwards
    path.write_text(LP.format("exp(x) - y"))
    p.read(str(path))
    body = p.getConstraint()[0].getBody()
    assert nivra.evaluate(body, solution=[0.5, 2], problem=p) == pytest.approx(0.5 + 1.6487212707)


def test_reading_nonlinear_files_leaks_nothing(tmp_path):
    p = quiet()
    build(p)
    path = tmp_path / "model.lp"
    p.write(str(path))
    q = with_weighted(quiet())

    def read():
        q.read(str(path))
        q.getObjective()

    assert_no_leak(read)
