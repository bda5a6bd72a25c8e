"""Acceptance on public test problems: each file of tests/data is read with problem.read, solved,
and must reproduce its published optimal value or status (see tests/data/INSTANCES.md for the
sources and for why some values carry more digits than their first publication)."""

import pathlib

import pytest

import nivra
from nivra.enums import LPStatus, MIPStatus, OptimizeType, SolStatus, SolveStatus

DATA = pathlib.Path(__file__).parent / "data"

# file -> published optimal objective. e226 includes its objective constant (minus the RHS of the
# objective row); scrs8 differs from its 1988 value by a relative 3.4e-6, hence its tolerance.
OPTIMA = {
    "afiro.mps": -4.6475314286e02,
    "adlittle.mps": 2.2549496316e05,
    "e226.mps": -11.6389290663705,
    "etamacro.mps": -7.5571523330e02,
    "israel.mps": -8.9664482186e05,
    "scrs8.mps": 9.0429998619e02,
    "shell.mps": 1.2088253460e09,
    "stair.mps": -2.5126695119e02,
    "standata.mps": 1.2576995000e03,
    "standgub.mps": 1.2576995000e03,
    "standmps.mps": 1.4060175000e03,
    "25fv47.mps": 5.5018458883e03,
    "flugpl.mps": 1201500,
    "egout.mps": 568.1007,
    "bell5.mps": 8966406.49,
    "gt2.mps": 21166,
    "lseu.mps": 1120,
    "rgn.mps": 82.19999,
    "p0548.mps": 8691,
    "dcmulti.mps": 188182,
    "qjh.mps": -5.25,
    "qjh_quadobj.mps": -5.25,
    "qjh_qmatrix.mps": -5.25,
    "qjh.lp": -5.25,
    "qptestnw.lp": -6.45,
    "hs043.mps": -44.0,
    "hs065.mps": 0.9535288567,
    "semi-continuous.mps": 25 / 3 - 0.11,
    "semi-integer.mps": 25 / 3 - 0.2,
}
RELATIVE = {"scrs8.mps": 1e-5}
MIPS = {"flugpl.mps", "egout.mps", "bell5.mps", "gt2.mps", "lseu.mps", "rgn.mps", "p0548.mps",
        "dcmulti.mps", "semi-continuous.mps", "semi-integer.mps"}

INFEASIBLE = ["galenet.mps", "woodinfe.mps", "forest6.mps", "qpinfeasible.lp"]


def solved(name):
    p = nivra.problem()
    p.setOutputEnabled(False)
    p.read(str(DATA / name))
    return p, p.optimize()


def test_every_instance_file_is_covered():
    files = {f.name for f in DATA.iterdir() if f.suffix in (".mps", ".lp")}
    assert files == set(OPTIMA) | set(INFEASIBLE) | {"qpunbounded.lp"}


@pytest.mark.parametrize("name", sorted(OPTIMA))
def test_published_optimum(name):
    p, status = solved(name)
    assert status == (SolveStatus.COMPLETED, SolStatus.OPTIMAL)
    assert isinstance(status[1], SolStatus)
    assert p.attributes.objval == pytest.approx(OPTIMA[name], rel=RELATIVE.get(name, 1e-6))
    # the reported objective is the one of the values delivered
    assert p.calcobjective(p.getSolution()) == pytest.approx(p.attributes.objval, rel=1e-6,
                                                             abs=1e-6)
    if name in MIPS:
        assert p.attributes.mipstatus == MIPStatus.OPTIMAL
        assert p.attributes.optimizetypeused == OptimizeType.MIP
        assert p.attributes.mipobjval == pytest.approx(p.attributes.objval, rel=1e-9)
    else:
        assert p.attributes.lpstatus == LPStatus.OPTIMAL
        assert p.attributes.optimizetypeused == OptimizeType.LP
        assert p.attributes.lpobjval == p.attributes.objval


def test_qp_solution_and_duals():
    p, _ = solved("qptestnw.lp")
    assert p.getSolution() == pytest.approx([1.4, 1.7], abs=1e-6)
    assert p.getDuals()[:2] == pytest.approx([0.8, 0.0], abs=1e-6)
    assert p.getRedCosts() == pytest.approx([0.0, 0.0], abs=1e-6)
    # every way of writing qjh's Hessian (QSECTION, QUADOBJ, QMATRIX, LP) reads as the same one
    for name in ("qjh.mps", "qjh_quadobj.mps", "qjh_qmatrix.mps", "qjh.lp"):
        q, _ = solved(name)
        x = {v.name: v for v in q.getVariable()}
        assert q.getSolution([x["x1"], x["x2"], x["x3"]]) == pytest.approx([0.5, 5.0, 1.5],
                                                                           abs=1e-5), name
    # Rosen-Suzuki's published multipliers are 1, 0, 2 for its rows written as g(x) >= 0; the
    # duals are the objective's change per unit of right-hand side of the '<=' rows.
    r, _ = solved("hs043.mps")
    assert r.getSolution() == pytest.approx([0, 1, 2, -1], abs=1e-6)
    assert r.getDuals() == pytest.approx([-1, 0, -2], abs=1e-6)


@pytest.mark.parametrize("name", INFEASIBLE)
def test_infeasible(name):
    p, status = solved(name)
    assert status == (SolveStatus.COMPLETED, SolStatus.INFEASIBLE)
    assert p.attributes.lpstatus == LPStatus.INFEAS
    assert isinstance(p.attributes.lpstatus, LPStatus)
    with pytest.raises(nivra.ModelError, match="Solution is not available"):
        p.getSolution()


def test_unbounded():
    p, status = solved("qpunbounded.lp")
    assert status == (SolveStatus.COMPLETED, SolStatus.UNBOUNDED)
    assert p.attributes.lpstatus == LPStatus.UNBOUNDED
