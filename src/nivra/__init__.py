"""Nivra: a Python modelling and programming interface for mathematical optimisation.

Build models from variables with ordinary Python operators and NumPy arrays, solve them with
the Nivra optimizer and read back solutions, duals, statuses and logs.
"""

from ._nivra import *  # noqa: F401,F403
from ._nivra import (  # noqa: F401
    _init,
    _setConstraintOperatorsEnabled,
    DeprecationWarning,
    InterfaceError,
    ModelError,
    SolverError,
    getversion,
)

__version__ = getversion()
