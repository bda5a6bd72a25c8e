"""nivra.enums as installed (generated from the library's registry): every enumerated control
and attribute comes back as a member of its class, the map from ids to classes covers exactly
those, and every named value of a control is one the library accepts."""

import enum

import pytest

import nivra
from nivra import enums


def enumerated_entries():
    """(name, class, is control) of every control and attribute of a new problem whose value
    comes back as an enumeration member."""
    p = nivra.problem()
    found = []
    for is_control, values in ((True, p.getControl()), (False, p.getAttrib())):
        found += [(name, type(v), is_control) for name, v in values.items()
                  if isinstance(v, enum.Enum)]
    return found


ENTRIES = enumerated_entries()
CONTROLS = [(name, cls) for name, cls, is_control in ENTRIES if is_control]


def test_the_classes_are_exactly_those_the_entries_use():
    assert len(ENTRIES) == len(enums._BY_ID) > 0
    used = {cls for _, cls, _ in ENTRIES}
    assert used == set(enums._BY_ID.values())
    # Every enumeration names the values of some control or attribute, but these two, which
    # callbacks see.
    assert {getattr(enums, name) for name in enums.__all__} - used == {enums.CallbackKind,
                                                                       enums.UserSolStatus}
    for cls in used:
        assert issubclass(cls, (enum.IntEnum, enum.IntFlag)) and len(cls) > 0


@pytest.mark.parametrize("name,cls", CONTROLS, ids=[c[0] for c in CONTROLS])
def test_every_named_value_of_a_control_is_accepted(name, cls):
    p = nivra.problem()
    for member in cls:
        p.setControl(name, int(member))
        value = p.getControl(name)
        assert type(value) is cls and value == member
