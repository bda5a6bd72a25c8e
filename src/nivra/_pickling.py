"""Pickling and deep copies of problems and of the model objects linked to them.

A problem pickles as the bytes of ``problem.savetobuffer()`` (model, names, controls,
objectives and the solution, in the library's own save format) and unpickles into a new problem
through ``restorefrombuffer``. Python callbacks and the output switch are not part of it, as
they are not part of a saved problem.

A variable, constraint or SOS pickles as a reference to its problem: (problem, getter, index).
That is only sound when its problem travels in the same pickle, ahead of it, so that the
pickler's memo turns the reference into the restored problem. Pickling the problem therefore
opens a *session*: a small token goes into the pickle with the problem and lives in the
pickler's memo exactly as long as that pickling does (a deep copy keeps its own token in the
copy's memo). A model object whose problem has no live session is refused. The types are
registered with ``copyreg`` here rather than given ``__reduce__`` methods in C: the reductions
are a few lines of Python over public members, and the session needs weak references.
"""

import copyreg
import weakref

from . import _nivra

# The live sessions' tokens; a token leaves the set when its pickler (or deep copy) lets it go.
_tokens = weakref.WeakSet()


class _Session:
    """The mark of a problem being pickled or deep-copied. Unpickled as an empty token."""

    __slots__ = ("problem", "__weakref__")

    def __reduce__(self):
        return (_Session, ())


def _open_session(problem):
    token = _Session()
    token.problem = problem
    _tokens.add(token)
    return token


def _in_session(problem):
    return any(t.problem is problem for t in list(_tokens))


def _restore_problem(data, _token):
    p = _nivra.problem()
    p.restorefrombuffer(data)
    return p


def _reduce_problem(p):
    return (_restore_problem, (p.savetobuffer(), _open_session(p)))


def deepcopy_problem(p, memo):
    """problem.__deepcopy__: the same as p.copy(); the model objects deep-copied along with it
    become the copy's objects."""
    q = p.copy()
    token = _open_session(p)
    memo[id(token)] = token  # lives as long as the deep copy's memo
    return q


def _restore_object(problem, getter, index):
    return getattr(problem, getter)(index)


_GETTERS = {
    _nivra.var: ("variable", "getVariable"),
    _nivra.constraint: ("constraint", "getConstraint"),
    _nivra.sos: ("SOS", "getSOS"),
}


def _reduce_object(obj):
    kind, getter = _GETTERS[type(obj)]
    problem = _nivra._linkedProblem(obj)
    if problem is None:
        raise TypeError(f"cannot pickle a nivra {kind} that belongs to no problem "
                        f"(unlinked or deleted)")
    if not _in_session(problem):
        raise TypeError(f"cannot pickle a nivra {kind} on its own: pickle the problem that "
                        f"holds it, ahead of the {kind} (as in [problem, {kind}]); the same "
                        f"holds for copy.deepcopy")
    return (_restore_object, (problem, getter, obj.index))


copyreg.pickle(_nivra.problem, _reduce_problem)
for _type in _GETTERS:
    copyreg.pickle(_type, _reduce_object)
