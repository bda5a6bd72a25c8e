"""problem.objattribs: the attribute views of each solve, their cache, and their lifetime."""

import sys

import pytest

import nivra


def test_no_solves_yet():
    p = nivra.problem()
    oa = p.objattribs
    assert type(oa).__name__ == "objattrib" and p.objattribs is oa
    assert len(oa) == 0 and repr(oa) == "[]" and list(oa) == []
    for bad in (0, -1, 5):
        with pytest.raises(IndexError, match="Invalid objective index"):
            oa[bad]
    with pytest.raises(TypeError):
        oa["0"]
    with pytest.raises(TypeError):
        type(oa)()


def test_views_outliving_their_problem_fail_cleanly():
    p = nivra.problem()
    oa = p.objattribs
    refs = sys.getrefcount(oa)
    del p
    assert sys.getrefcount(oa) == refs - 1
    with pytest.raises(nivra.InterfaceError, match="Object is not initialized"):
        len(oa)
    with pytest.raises(nivra.InterfaceError, match="Object is not initialized"):
        repr(oa)
