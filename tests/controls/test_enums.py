"""nivra.enums against the library: every enumerated control and attribute of the library's
registry comes back as a member of the class its registry row names, and the status classes
hold exactly the values (and names) of the library's header."""

import enum
import pathlib
import re

import pytest

import nivra
from nivra import enums

LIBNVRA = pathlib.Path(__file__).resolve().parents[2] / "libnvra"

ROW = re.compile(r"(CTRL_INT|ATTR_INT)\((\d+),\s*\w+,\s*\"(\w+)\",(.*)\)$", re.S)


def registry_enums():
    """(kind, id, name, class, bounds) of every row flagged NVRA_CA_ENUM: the class is the
    first word of the comment above the row (a row right below another shares its comment);
    bounds are (default, lower, upper) for controls."""
    rows, comment, cls, pending = [], [], None, ""
    for line in (LIBNVRA / "src" / "core" / "controls.def").read_text().splitlines():
        if pending or line.startswith(("CTRL_INT(", "ATTR_INT(")):
            pending += line.strip()
            if not pending.endswith(")"):
                continue
            if comment:
                cls = re.match(r"//\s*(\w*)", comment[0]).group(1)
            comment = []
            m = ROW.match(pending)
            pending = ""
            if m and "NVRA_CA_ENUM" in m.group(4):
                fields = [f.strip() for f in m.group(4).split(",")]
                bounds = (tuple(int(f) for f in fields[:3]) if m.group(1) == "CTRL_INT"
                          else None)
                rows.append((m.group(1), int(m.group(2)), m.group(3), cls, bounds))
        elif line.startswith("//") and not line.startswith("// ----"):
            comment.append(line)
        else:
            comment = []
    return rows


def header_enums(prefix):
    """{NAME: value} of the enumerators NVRA_<prefix>_NAME of nvra.h."""
    text = (LIBNVRA / "include" / "nvra.h").read_text()
    pairs = re.findall(r"\b%s_([A-Z_]+)\s*=\s*(-?\d+)" % prefix, text)
    return {name: int(value) for name, value in pairs}


ENUM_ROWS = registry_enums()


def test_registry_parse_found_the_enumerated_entries():
    assert len(ENUM_ROWS) >= 45
    assert ("ATTR_INT", 1010, "lpstatus", "LPStatus", None) in ENUM_ROWS


@pytest.mark.parametrize("kind,ident,name,cls,bounds", ENUM_ROWS,
                         ids=[r[2] for r in ENUM_ROWS])
def test_values_come_back_as_members_of_the_named_class(kind, ident, name, cls, bounds):
    p = nivra.problem()
    klass = getattr(enums, cls)
    assert cls in enums.__all__
    assert issubclass(klass, (enum.IntEnum, enum.IntFlag))
    value = p.getControl(name) if kind == "CTRL_INT" else p.getAttrib(name)
    assert type(value) is klass
    if bounds is None:
        return
    default, lower, upper = bounds
    assert value == default
    # Every named value is one the library accepts, and setting it round-trips.
    for member in klass:
        if issubclass(klass, enum.IntFlag):
            assert 0 <= member <= upper
        else:
            assert lower <= member <= upper
        p.setControl(name, int(member))
        assert p.getControl(name) == member


STATUS_CLASSES = {
    "NVRA_LP": enums.LPStatus, "NVRA_MIP": enums.MIPStatus,
    "NVRA_SOLVESTATUS": enums.SolveStatus, "NVRA_SOLSTATUS": enums.SolStatus,
    "NVRA_STOP": enums.StopStatus, "NVRA_OPTIMIZETYPE": enums.OptimizeType,
}
VALUE_CLASSES = {
    "NVRA_PRESOLVE": enums.Presolve, "NVRA_OUTPUT": enums.OutputDetail,
    "NVRA_ALG": enums.DefaultAlg,
}


def test_status_classes_match_the_header():
    for prefix, klass in STATUS_CLASSES.items():
        assert {m.name: m.value for m in klass} == header_enums(prefix), prefix
    for prefix, klass in VALUE_CLASSES.items():
        assert sorted(m.value for m in klass) == sorted(header_enums(prefix).values()), prefix


def test_members_compare_as_ints():
    assert enums.SolStatus.OPTIMAL == 1 and 1 == enums.SolStatus.OPTIMAL
    assert {enums.LPStatus.INFEAS: "x"}[2] == "x"
    assert enums.HeuristicSearchSelect.RINS | enums.HeuristicSearchSelect.RENS == 3
