"""nivra.sos: the deprecated constructor and its checks, printing, name and index, copies and
the states a problem creates."""

import sys
import warnings

import pytest

import nivra
from helpers.model import DELETED_OWNER, algebra, set_owner



def sos(*args, **kwargs):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nivra.DeprecationWarning)
        return nivra.sos(*args, **kwargs)


def serial(s):
    return int(str(s)[3:])


def test_constructor_warns_and_names_by_serial(xyz):
    x, y, _ = xyz
    with pytest.warns(nivra.DeprecationWarning, match=r"Deprecated in Nivra 9\.5: create a linked "
                                                      r"SOS by calling problem\.addSOS\(\)"):
        s = nivra.sos([x, y], [1, 2])
    t = sos([x], [1], 2, "named")
    assert str(s).startswith("sos") and repr(s) == str(s) == s.name
    assert str(t) == "named" and s.index is None
    assert s.__dict__ == {"name": str(s), "index": None}
    assert serial(sos([x], [1])) == serial(s) + 2


def test_constructor_fails_when_warnings_are_errors(deprecations_as_errors, xyz):
    with pytest.raises(nivra.DeprecationWarning):
        nivra.sos([xyz[0]], [1])


@pytest.mark.parametrize("args, kwargs, message", [
    (([], [1]), dict(type=3), "SOS type must be 1 or 2"),
    (([], [1]), dict(type=0), "SOS type must be 1 or 2"),
    (((1,), [1]), {}, "SOS indices must be passed as a list"),
    (([1], (1,)), {}, "SOS weights must be passed as a list"),
    (((1,), (1,)), {}, "SOS weights must be passed as a list"),     # weights are checked first
])
def test_constructor_checks(args, kwargs, message):
    with pytest.raises(nivra.ModelError, match=message):
        sos(*args, **kwargs)


def test_type_uses_the_lowest_eight_bits_and_failures_use_up_a_serial(xyz):
    x = xyz[0]
    a = sos([x], [1])
    with pytest.raises(nivra.ModelError):
        sos([x], [1], type=5)
    b = sos([x], [1], type=258)                 # 258 & 0xFF == 2
    assert serial(b) == serial(a) + 2
    with pytest.raises(TypeError):
        sos([x], [1], type="1")
    with pytest.raises(nivra.InterfaceError, match="Cannot re-initialize a SOS"):
        a.__init__([x], [1])


def test_lists_are_stored_by_reference_and_copied(xyz):
    x, y, _ = xyz
    indices, weights = [x, y], [1.0, 2.0]
    held = sys.getrefcount(indices), sys.getrefcount(weights), sys.getrefcount(x)
    s = sos(indices, weights, 2)
    assert (sys.getrefcount(indices), sys.getrefcount(weights)) == (held[0] + 1, held[1] + 1)
    c = s.copy()                                   # new lists holding the same variables
    assert sys.getrefcount(x) == held[2] + 1
    assert c.name == f"sos{serial(s)}_copy_{s.name}" and c.index is None
    assert serial(sos([x], [1])) == serial(s) + 2  # the copy took a serial
    assert sos([x], [1], name="n").copy().name.endswith("_copy_n")
    del s, c
    assert (sys.getrefcount(indices), sys.getrefcount(weights), sys.getrefcount(x)) == held


def test_names_and_attribute_rules(xyz):
    s = sos([xyz[0]], [1])
    s.name = "renamed"
    assert str(s) == "renamed"
    with pytest.raises(nivra.ModelError, match="SOS name must be a string"):
        s.name = 3
    with pytest.raises(nivra.InterfaceError, match="SOS index cannot be modified"):
        s.index = 1
    with pytest.raises(nivra.InterfaceError, match="Cannot delete the name attribute"):
        del s.name
    with pytest.raises(AttributeError):
        s.weights                                 # the lists are not attributes


def test_deleted_and_linked_sets(xyz):
    s = sos([xyz[0]], [1])
    set_owner(s, DELETED_OWNER)
    assert str(s) == s.name == "(deleted SOS)" and s.index == -1 and s.__dict__ == {"index": -1}
    with pytest.raises(nivra.ModelError, match="SOS has been deleted from the problem"):
        s.name = "a"
    with pytest.raises(nivra.ModelError, match="SOS cannot be copied because it has been added "
                                               "to a problem"):
        s.copy()
    p = nivra.problem()
    set_owner(s, id(p))                          # set 0 of p, which p lacks
    with pytest.raises(nivra.SolverError):
        str(s)
    set_owner(s, 0)


def test_uninitialised_set():
    s = nivra.sos.__new__(nivra.sos)
    assert str(s) == "sos0" and s.index is None
    with pytest.raises(nivra.ModelError, match="SOS is not initialized"):
        s.copy()


def test_set_lookup_for_the_problem_code(xyz):
    p, q = nivra.problem(), nivra.problem()
    s = sos([xyz[0]], [1])
    with pytest.raises(nivra.ModelError, match="SOS does not belong to this problem"):
        algebra("get_sos_index", p, s)
    with pytest.raises(nivra.ModelError, match="SOS is not initialized"):
        algebra("get_sos_index", p, nivra.sos.__new__(nivra.sos))
    index = serial(s)
    set_owner(s, id(p))                         # linked: the index field is the set's index
    assert algebra("get_sos_index", p, s) == index
    with pytest.raises(nivra.ModelError, match="SOS is from a different problem"):
        algebra("get_sos_index", q, s)
    set_owner(s, DELETED_OWNER)
    with pytest.raises(nivra.ModelError, match="SOS has been deleted from the problem"):
        algebra("get_sos_index", p, s)
    set_owner(s, 0)
