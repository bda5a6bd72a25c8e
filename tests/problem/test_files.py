"""Reading and writing problem files: the model objects a read creates, linked and unlinked,
round trips through LP and MPS files, and failures."""

import gc
import pathlib
import sys
import warnings

import pytest

import nivra
from nivra.enums import SolStatus, SolveStatus

from helpers.transfer import ncols, nrows, quiet


def build(p):
    """max x0 + 2 x1 + 3 x2 + b  s.t.  x0 + x1 + x2 <= 7,  x0 - x1 >= -2,  1 <= x1 + x2 <= 4,
    0 <= x <= 5, b binary: optimum 16 at x = (3, 0, 4), b = 1."""
    x = p.addVariables(3, name="x", ub=5)
    b = p.addVariable(name="b", vartype=nivra.binary)
    p.addConstraint(nivra.Sum(x) <= 7, x[0] - x[1] >= -2,
                    nivra.constraint(body=x[1] + x[2], lb=1, ub=4, name="rng"))
    p.setObjective(x[0] + 2 * x[1] + 3 * x[2] + b, sense=nivra.maximize)
    return x, b


@pytest.fixture(params=["lp", "mps"])
def written(request, tmp_path):
    p = quiet()
    build(p)
    path = tmp_path / f"model.{request.param}"
    p.write(str(path))
    return path


def test_a_read_gives_one_object_per_column_and_row_and_solves_the_same(written):
    p = quiet()
    p.read(str(written))
    assert (ncols(p), nrows(p)) == (4, 3)
    assert p.optimize() == (SolveStatus.COMPLETED, SolStatus.OPTIMAL)
    assert p.attributes.objval == pytest.approx(16.0)
    # The objects answer by name and by index, in file order.
    assert p.getSolution() == pytest.approx([3.0, 0.0, 4.0, 1.0])
    assert p.getSolution(2) == pytest.approx(4.0)
    assert p.getSolution("b") == pytest.approx(1.0)
    assert p.getSlacks("rng") == pytest.approx([0.0])


def test_an_unlinked_read_keeps_names_bounds_and_types(written):
    p = quiet()
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        p.read(str(written), unlinked=True)
    assert any("unlinked variables and constraints are deprecated" in str(w.message)
               for w in caught)
    assert p.optimize()[1] == SolStatus.OPTIMAL
    assert p.getSolution() == pytest.approx([3.0, 0.0, 4.0, 1.0])
    assert p.getSolution("x(1)") == pytest.approx(0.0)
    assert p.getSlacks("rng") == pytest.approx([0.0])


def test_a_read_replaces_the_model_and_cuts_off_the_old_objects(written):
    p = quiet()
    x, b = build(p)
    p.addConstraint(x[0] <= 1)
    p.read(str(written))
    assert (ncols(p), nrows(p)) == (4, 3)
    with pytest.raises(nivra.ModelError):
        x[0].lb
    with pytest.raises(nivra.ModelError):
        p.addConstraint(b <= 1)


def test_path_objects_and_the_format_flags(tmp_path):
    p = quiet()
    build(p)
    # The flag chooses the format whatever the extension says.
    path = tmp_path / "model.txt"
    p.write(path, "l")
    assert path.read_text().lstrip().startswith(("\\", "Max", "max"))
    q = quiet()
    q.read(pathlib.Path(path), "l")
    assert (ncols(q), nrows(q)) == (4, 3)
    p.write(tmp_path / "model.fixed", "m")
    assert "ROWS" in (tmp_path / "model.fixed").read_text()


def test_free_rows_of_an_mps_file_become_nonbinding_constraints(tmp_path):
    path = tmp_path / "free.mps"
    path.write_text("""NAME free
ROWS
 N obj
 L lim
 N spare
COLUMNS
    x obj -1 lim 1
    x spare 3
RHS
    rhs lim 2
ENDATA
""")
    for unlinked in (False, True):
        p = quiet()
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            p.read(str(path), unlinked=unlinked)
        p.optimize()
        assert p.attributes.objval == pytest.approx(-2.0)
        assert nrows(p) == p.attributes.originalrows


SETS_MPS = """NAME sets
ROWS
 N obj
 L cap
COLUMNS
    s0 obj -1 cap 1
    s1 obj -2 cap 1
    s2 obj -3 cap 1
    z obj 0.5 cap 1
RHS
    rhs cap 12
BOUNDS
 UP bnd s0 10
 UP bnd s1 10
 UP bnd s2 10
 SC bnd z 8
 LO bnd z 2
SOS
 S1 SOS pick 1
    s0 1
    s1 2
    s2 3
ENDATA
"""


def test_sets_and_semi_continuous_columns_survive_a_read_and_a_write(tmp_path):
    """min -s0 - 2 s1 - 3 s2 + 0.5 z with at most one s non-zero: s2 = 10, z = 0 (its
    semi-continuous domain {0} or [2, 8] lets it stay at zero)."""
    first = tmp_path / "sets.mps"
    first.write_text(SETS_MPS)
    again = tmp_path / "again.mps"
    for path in (first, again):
        for unlinked in (False, True):
            q = quiet()
            with warnings.catch_warnings():
                warnings.simplefilter("ignore")
                q.read(str(path), unlinked=unlinked)
            assert q.attributes.originalsets == 1
            assert [q.getIndex(s) for s in q.getSOS()] == [0]
            q.optimize()
            assert q.attributes.objval == pytest.approx(-30.0)
            assert q.getSolution("s2") == pytest.approx(10.0)
            q.write(str(again))


def test_bad_arguments_and_failed_reads(tmp_path, written):
    p = quiet()
    with pytest.raises(nivra.ModelError, match="The unlinked argument must be a Boolean value"):
        p.read(str(written), unlinked=1)
    with pytest.raises(TypeError):
        p.read(3)
    with pytest.raises(ValueError):
        p.read("model\0.lp")
    # A failed read leaves an empty problem whose lists match the library.
    p.read(str(written))
    with pytest.raises(nivra.SolverError, match="Cannot read file"):
        p.read(str(tmp_path / "missing.mps"))
    assert (ncols(p), nrows(p)) == (0, 0)
    x = p.addVariable(name="again", ub=1)
    p.setObjective(x, sense=nivra.maximize)
    p.optimize()
    assert p.getSolution(x) == pytest.approx(1.0)


def test_a_write_into_a_missing_folder_fails(tmp_path):
    p = quiet()
    x = p.addVariable(name="x")
    p.addConstraint(x <= 1)
    p.write(str(tmp_path / "b.lp"))
    with pytest.raises(nivra.SolverError):
        p.write(str(tmp_path / "no-such-folder" / "a.lp"))
    p.addConstraint(nivra.exp(x) <= 2)  # the nonlinear writer fails the same way
    with pytest.raises(nivra.SolverFileError, match="NSLPwriteprob|Cannot write"):
        p.write(str(tmp_path / "no-such-folder" / "a.lp"))


def test_repeated_reads_leak_nothing(written):
    p = quiet()

    def read_and_solve(times):
        for _ in range(times):
            p.read(str(written))
            p.optimize()

    read_and_solve(50)  # caches and free lists settle first
    gc.collect()
    before = sys.getallocatedblocks()
    read_and_solve(300)
    gc.collect()
    # A leak of even one object per read would show as 300 blocks or more.
    assert sys.getallocatedblocks() - before < 100
