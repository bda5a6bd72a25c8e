"""Named values of the optimizer's enumerated controls and attributes.

Integer controls and attributes whose values have names come back from ``getControl``,
``getAttrib``, ``p.controls`` and ``p.attributes`` as members of these classes. The members are
``IntEnum`` (or ``IntFlag`` for bit sets), so they compare equal to plain ints and can be passed
wherever an int is accepted::

    status = p.attributes.solstatus
    if status == nivra.enums.SolStatus.OPTIMAL:
        ...
"""

from enum import IntEnum, IntFlag

__all__ = [
    "LPStatus", "MIPStatus", "SolStatus", "SolveStatus", "StopStatus", "OptimizeType",
    "IISSolStatus", "Presolve", "Pricing", "DefaultAlg", "VariableSelection",
    "NodeSelectionCriteria", "BacktrackAlg", "OutputDetail", "AlwaysNeverAutomatic",
    "CholeskyAlgorithm", "BarOrder", "OnOff", "CutStrategy", "DualGradient", "BranchChoice",
    "DualStrategy", "FeasibilityPump", "PresolveCoefElim", "PresolveDomColumn",
    "HeuristicSearchSelect", "PreProbing", "PrimalUnshift", "RepairIndefiniteQuadratic",
    "PresolveDomRow", "BarPresolveOps", "MipRestart", "TunerMode", "TunerMethod",
    "TunerTarget", "TunerHistory", "LPFlags", "ComputeLog", "MultiObjOps", "IISOps",
    "BARHGOps",
]


# ---- statuses ---------------------------------------------------------------------------------

class LPStatus(IntEnum):
    """Status of the last continuous (LP or QP) solve."""
    UNSTARTED = 0
    OPTIMAL = 1
    INFEAS = 2
    CUTOFF = 3
    UNFINISHED = 4
    UNBOUNDED = 5
    CUTOFF_IN_DUAL = 6
    UNSOLVED = 7
    NONCONVEX = 8


class MIPStatus(IntEnum):
    """Status of the last mixed-integer solve."""
    NOT_LOADED = 0
    LP_NOT_OPTIMAL = 1
    LP_OPTIMAL = 2
    NO_SOL_FOUND = 3
    SOLUTION = 4
    INFEAS = 5
    OPTIMAL = 6
    UNBOUNDED = 7


class SolveStatus(IntEnum):
    """How the last solve ended."""
    UNSTARTED = 0
    STOPPED = 1     # a limit or an interrupt stopped it (see StopStatus)
    FAILED = 2      # an error ended it
    COMPLETED = 3   # it ran to the end: the solution status is final


class SolStatus(IntEnum):
    """What the last solve found."""
    NOTFOUND = 0
    OPTIMAL = 1
    FEASIBLE = 2    # feasible, not proven optimal
    INFEASIBLE = 3
    UNBOUNDED = 4


class StopStatus(IntEnum):
    """Why a stopped solve stopped."""
    NONE = 0
    TIMELIMIT = 1
    ITERLIMIT = 2
    NODELIMIT = 3
    INTERRUPT = 4
    MEMORYLIMIT = 5
    TARGET = 6


class OptimizeType(IntEnum):
    """Problem class of the last solve."""
    NONE = -1
    LP = 0
    MIP = 1


class IISSolStatus(IntEnum):
    """Status of an irreducible-infeasible-subsystem search."""
    UNSTARTED = 0
    FEASIBLE = 1
    COMPLETED = 2
    UNFINISHED = 3


# ---- values of enumerated controls ------------------------------------------------------------

class Presolve(IntEnum):
    OFF = 0
    ON = 1
    FORCED = 2


class Pricing(IntEnum):
    DANTZIG = -1
    AUTOMATIC = 0
    DEVEX = 1
    STEEPEST_EDGE = 2


class DefaultAlg(IntEnum):
    AUTOMATIC = 1
    DUAL = 2
    PRIMAL = 3
    BARRIER = 4
    FIRST_ORDER = 5


class VariableSelection(IntEnum):
    AUTOMATIC = -1
    MIN_UP_DOWN = 1
    SUM_UP_DOWN = 2
    MAX_UP_DOWN = 3
    MOST_FRACTIONAL = 4


class NodeSelectionCriteria(IntEnum):
    LOCAL_FIRST = 1
    BEST_FIRST = 2
    LOCAL_DEPTH_FIRST = 3
    BEST_FIRST_THEN_LOCAL_FIRST = 4
    DEPTH_FIRST = 5


class BacktrackAlg(IntEnum):
    AUTOMATIC = -1
    BEST_ESTIMATE = 1
    BEST_BOUND = 2
    DEEPEST_NODE = 3
    HIGHEST_NODE = 4
    EARLIEST_NODE = 5
    LATEST_NODE = 6
    RANDOM = 7
    MIN_INFEAS = 8


class OutputDetail(IntEnum):
    NO_OUTPUT = 0
    FULL_OUTPUT = 1
    DETAILED_OUTPUT = 2


class AlwaysNeverAutomatic(IntEnum):
    AUTOMATIC = -1
    NEVER = 0
    ALWAYS = 1


class CholeskyAlgorithm(IntEnum):
    AUTOMATIC = -1
    LEFT_LOOKING = 0
    RIGHT_LOOKING = 1


class BarOrder(IntEnum):
    AUTOMATIC = 0
    MIN_DEGREE = 1
    MIN_LOCAL_FILL = 2
    NESTED_DISSECTION = 3


class OnOff(IntEnum):
    OFF = 0
    ON = 1


class CutStrategy(IntEnum):
    AUTOMATIC = -1
    NONE = 0
    CONSERVATIVE = 1
    MODERATE = 2
    AGGRESSIVE = 3


class DualGradient(IntEnum):
    AUTOMATIC = -1
    DEVEX = 0
    STEEPEST_EDGE = 1


class BranchChoice(IntEnum):
    """Which branch of a node the MIP search explores first."""
    DOWN_FIRST = 0
    UP_FIRST = 1
    AUTOMATIC = 2


class DualStrategy(IntEnum):
    AUTOMATIC = 0
    SERIAL = 1
    PARALLEL_SIP = 2
    PARALLEL_PAMI = 3


class FeasibilityPump(IntEnum):
    AUTOMATIC = -1
    OFF = 0
    ON = 1


class PresolveCoefElim(IntEnum):
    DISABLED = 0
    AGGRESSIVE = 1


class PresolveDomColumn(IntEnum):
    AUTOMATIC = -1
    DISABLED = 0
    CAUTIOUS = 1
    AGGRESSIVE = 2


class HeuristicSearchSelect(IntFlag):
    RINS = 1
    RENS = 2
    ZERO_ROUNDING = 4
    SHIFTING = 8
    ROOT_REDUCED_COST = 16


class PreProbing(IntEnum):
    AUTOMATIC = -1
    DISABLED = 0
    LIGHT = 1
    FULL = 2
    FULL_AND_REPEAT = 3


class PrimalUnshift(IntEnum):
    AUTOMATIC = -1
    ALLOW_DUAL_UNSHIFT = 0
    NO_DUAL_UNSHIFT = 1


class RepairIndefiniteQuadratic(IntEnum):
    NO_REPAIR = 0
    REPAIR_IF_POSSIBLE = 1


class PresolveDomRow(IntEnum):
    AUTOMATIC = -1
    DISABLED = 0
    CAUTIOUS = 1
    AGGRESSIVE = 2


class BarPresolveOps(IntFlag):
    NO_DENSE_COLUMNS = 1
    NO_FREE_COLUMN_SPLITTING = 2
    NO_DUALISATION = 4


class MipRestart(IntEnum):
    AUTOMATIC = -1
    OFF = 0
    MODERATE = 1
    AGGRESSIVE = 2


class TunerMode(IntEnum):
    AUTOMATIC = -1
    OFF = 0
    ON = 1


class TunerMethod(IntEnum):
    AUTOMATIC = -1
    LP_QUICK = 0
    MIP_QUICK = 1
    MIP_COMPREHENSIVE = 2


class TunerTarget(IntEnum):
    AUTOMATIC = -1
    TIME = 0
    PRIMAL_GAP = 1
    DUAL_BOUND = 2
    OBJECTIVE = 3


class TunerHistory(IntEnum):
    """Use of the tuner's history of earlier runs."""
    IGNORE = 0      # neither read nor written
    READ = 1
    READ_WRITE = 2


class LPFlags(IntFlag):
    AUTOMATIC = 0
    DUAL = 1
    PRIMAL = 2
    BARRIER = 4
    FIRST_ORDER = 8


class ComputeLog(IntEnum):
    NEVER = 0
    REAL_TIME = 1
    ON_COMPLETION = 2
    ON_DELETE = 3


class MultiObjOps(IntEnum):
    LEXICOGRAPHIC = 0
    BLENDED = 1


class IISOps(IntFlag):
    ALL = 0
    BOUNDS = 1
    ROWS = 2


class BARHGOps(IntFlag):
    NONE = 0
    NO_RESTARTS = 1
    NO_STEP_ADAPTATION = 2
