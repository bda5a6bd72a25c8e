"""Nivra: a Python modelling and programming interface for mathematical optimisation.

Build models from variables with ordinary Python operators and NumPy arrays, solve them with
the Nivra optimizer and read back solutions, duals, statuses and logs::

    import nivra

    p = nivra.problem(name="example")
    x = p.addVariable(name="x", ub=10)
    p.addConstraint(2 * x <= 7)
    p.setObjective(x, sense=nivra.maximize)
    p.optimize()

Controls of every problem created afterwards are set on ``nivra.controls``; named values of
controls and attributes are in ``nivra.enums``.
"""

from . import enums  # noqa: F401
from . import parallel  # noqa: F401 - cheap: Dask is imported only when a map runs
from . import _pickling  # noqa: F401 - registers the pickling of problems and model objects
from ._nivra import *  # noqa: F401,F403
from ._nivra import (  # noqa: F401
    _getcontrols,
    _init,
    _setConstraintOperatorsEnabled,
    BusyError,
    DeprecationWarning,
    InterfaceError,
    ModelError,
    NotSupportedError,
    SolverError,
    SolverFileError,
    SolverIndexError,
    SolverMemoryError,
    SolverValueError,
    getversion,
)

# Constraint types, as the type argument of nivra.constraint and the type attribute of
# constraints.
leq = 1          # body <= rhs
geq = 2          # body >= rhs
eq = 3           # body == rhs
rng = 4          # rhs - rhsrange <= body <= rhs
nonbinding = 5   # free row

controls = _getcontrols()
"""The module-level controls: a value assigned here (``nivra.controls.feastol = 1e-8``) is the
starting value of that control in every problem created afterwards; ``setdefaultcontrol(name)``
and ``setdefaults()`` forget such values."""

__version__ = getversion()
