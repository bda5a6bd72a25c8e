"""Library failures as Python exceptions: the class comes from the library's code, the
exception carries the code, and a Python exception raised meanwhile wins."""

import pytest

import nivra
from nivra import _nivra


def _raise_for(code, message, global_env):
    _nivra._algebra("lib_error", code, message, global_env)


@pytest.mark.parametrize(
    "call, cls, builtin, name",
    [
        (lambda p: p.getControl("priority", objidx=7), nivra.SolverIndexError, IndexError,
         "NVRA_RC_RANGE"),
        (lambda p: p.setControl("timelimit", -5.0), nivra.SolverValueError, ValueError,
         "NVRA_RC_INVALID"),
        (lambda p: p.read("/nonexistent/nivra.mps"), nivra.SolverFileError, OSError,
         "NVRA_RC_FILE"),
    ],
)
def test_the_library_code_chooses_the_class(call, cls, builtin, name):
    p = nivra.problem()
    with pytest.raises(cls) as info:
        call(p)
    e = info.value
    assert isinstance(e, nivra.SolverError) and isinstance(e, builtin)
    assert e.errorname == name and isinstance(e.errorcode, int) and e.errorcode > 0
    assert str(e)  # the library's own text
    # The same code raised through the one path gives the same class.
    with pytest.raises(cls):
        _raise_for(e.errorcode, "again", False)


def test_out_of_memory_is_a_memory_error_everywhere():
    for global_env in (False, True):
        with pytest.raises(MemoryError) as info:
            _raise_for(3, "no room", global_env)
        assert isinstance(info.value, nivra.SolverMemoryError)
        assert (info.value.errorcode, info.value.errorname) == (3, "NVRA_RC_NOMEM")


def test_global_environment_failures_are_interface_errors_with_the_code():
    with pytest.raises(nivra.InterfaceError, match="5") as info:
        nivra.setcomputeallowed(5)
    assert not isinstance(info.value, nivra.SolverError)
    assert info.value.errorname == "NVRA_RC_INVALID"
    assert info.value.errorcode == nivra.getlasterror()[0]


def test_unknown_codes_are_plain_solver_errors():
    with pytest.raises(nivra.SolverError) as info:
        _raise_for(77, "strange", False)
    assert type(info.value) is nivra.SolverError
    assert (info.value.errorcode, info.value.errorname) == (77, "NVRA_RC_UNKNOWN")


def test_changing_a_problem_while_it_is_solved_is_a_busy_error():
    p = nivra.problem()
    p.setOutputEnabled(False)
    x = p.addVariable(ub=4)
    p.setObjective(x, sense=nivra.maximize)
    seen = []

    def handler(obj, data, thread, msg, msgtype, number):
        if not seen:
            try:
                p.addVariable()
            except nivra.SolverError as e:
                seen.append(e)

    nivra.addcbmsghandler(handler, None, 0)
    try:
        p.optimize()
    finally:
        nivra.removecbmsghandler(handler, None)
    assert len(seen) == 1 and type(seen[0]) is nivra.BusyError
    assert seen[0].errorname == "NVRA_RC_BUSY"
    assert p.attributes.cols == 1 and p.attributes.objval == 4  # the solve went on unchanged
