"""Problems of the Hock-Schittkowski collection as formulations shared by Nivra and its peer.

`PROBLEMS` maps the problem number to its record (bench/hs/model.py), in number order.
"""

from . import problems_001_040, problems_041_081, problems_083_101  # noqa: F401  (registry)
from .model import PROBLEMS as _REGISTERED
from .model import Problem, Row

PROBLEMS = dict(sorted(_REGISTERED.items()))

__all__ = ["PROBLEMS", "Problem", "Row"]
