"""common.py: benchmark definitions shared by the driver and every interface.

The model benchmarks are the facility-location (fac) and linear-quadratic control (lqcp) models
of the published benchmark of modelling interfaces, built as its JuMP formulation builds them.
This module holds their data, the counts every interface must reproduce, and the clock that
the interfaces start and stop around the part of a benchmark that is timed.
"""

import math
import os
import re
import subprocess
import sys
import time
from dataclasses import dataclass, field

# Benchmark name -> (kind, default sizes, what one "element" is for the per-element time).
# Sizes in SMALL fit the size-limited gurobipy licence (at most 2000 variables and
# constraints, and at most 200 variables when the model has quadratic parts).
BENCHMARKS = {
    "fac": ("model", (3, 25, 50, 75, 100), "nz"),
    "fac-lin": ("model", (7, 25, 50, 75, 100), "nz"),
    "lqcp": ("model", (12, 500, 1000, 1500, 2000), "nz"),
    "expr": ("micro", (10**6,), "term"),
    "xqx": ("micro", (300,), "term"),
    "dot-csr": ("micro", (10**4,), "nz"),
    "dense-mv": ("micro", (1000,), "term"),
    "sum": ("micro", (10**6,), "term"),
    "compare": ("micro", (10**6,), "element"),
    "addcons": ("micro", (10**5,), "row"),
    "solution": ("micro", (10**6,), "value"),
    "chgmcoef": ("micro", (10**5,), "coef"),
    "chgcoef": ("micro", (10**4,), "coef"),
    "getrows": ("micro", (10**6,), "nz"),
    "load": ("library", (10**6,), "nz"),
    "load-submit": ("library", (10**6,), "nz"),
    "solve": ("library", None, None),  # sizes are the public instance names
    # Analysis after a solve (untimed): an irreducible infeasible subsystem of each infeasible
    # Netlib instance, and the ranging of every cost and row bound of each feasible LP.
    "iis": ("library", ("galenet", "woodinfe", "forest6"), None),
    "ranging": ("library", ("afiro", "adlittle", "e226", "israel", "scrs8", "shell", "stair",
                            "25fv47"), None),
    # Quadratic models built and solved to proven optimality (see QSOLVE_* below and README).
    "fac-opt": ("qsolve", (2, 3, 4, 5, 6), None),
    "miqp": ("qsolve", (20, 30, 40, 50), None),
    "miqcqp": ("qsolve", (20, 30, 40, 50), None),
    "qcqp": ("qsolve", (50, 200, 1000), None),
    "socp": ("qsolve", (100, 500, 2000), None),
}
SMALL = {("fac", 3), ("fac-lin", 7), ("lqcp", 12)}
# Rows and columns of the problem whose coefficients chgmcoef and chgcoef set.
API_DIM = 1000

# The public instances solved by the "solve" benchmark: every file of the instance folder
# (LP, infeasible LP, MIP, QP and semi-continuous), named by file without ".mps".
INSTANCE_DIR = "/work/shared/instances"
INSTANCES = (
    "afiro", "adlittle", "e226", "etamacro", "israel", "scrs8", "shell", "stair", "standata",
    "standgub", "standmps", "25fv47",
    "galenet", "woodinfe", "forest6",
    "flugpl", "egout", "bell5", "gt2", "lseu", "rgn", "p0548", "dcmulti",
    "qjh", "qjh_quadobj", "qjh_qmatrix", "qjh.lp", "qptestnw.lp", "qpinfeasible.lp",
    "qpunbounded.lp", "semi-continuous", "semi-integer",
)
# The settings of the quadratic solves on every side: relative and absolute gaps at which a
# mixed-integer search may stop, feasibility tolerance, engine threads (SOLVE_THREADS). The
# tolerances are tight so that optima agree to 1e-6 relative.
QSOLVE_GAP = 1e-7
QSOLVE_ABSGAP = 1e-9
QSOLVE_FEASTOL = 1e-7
# gurobipy's pip licence admits at most 200 variables in a model with quadratic parts.
GUROBI_QUADRATIC_VARS = 200

# Engine threads of every solve (the same for every interface; 1 keeps the engine's work
# identical and the timings steadier on a shared machine).
SOLVE_THREADS = 1


def instance_path(instance):
    name = instance if instance.endswith((".mps", ".lp")) else instance + ".mps"
    return os.path.join(INSTANCE_DIR, name)


FAC_M = 2 * math.sqrt(2)


def fac_expected(n, quadratic):
    """Counts of fac-n: G = F = n, (n+1)^2 grid points per facility."""
    g = (n + 1) ** 2
    counts = {
        "vars": 1 + 2 * n + 4 * g * n,
        "rows": g + 3 * g * n,       # assignment rows, then 3 linking rows per (i, j, f)
        "nz": g * n + 7 * g * n,     # sum_f z = 1; s - d + M z = M; r + y = i/G (twice)
        "qrows": g * n if quadratic else 0,
        "qnz": 3 * g * n if quadratic else 0,
    }
    return counts


@dataclass(frozen=True)
class Lqcp:
    """Data of lqcp-n: an (n+1) x (n+1) grid, m = n time steps."""
    n: int
    m: int = field(init=False)
    dx: float = field(init=False)
    dt: float = field(init=False)
    h2: float = field(init=False)
    a: float = 0.001
    T: float = 1.58

    def __post_init__(self):
        object.__setattr__(self, "m", self.n)
        object.__setattr__(self, "dx", 1.0 / self.n)
        object.__setattr__(self, "dt", self.T / self.n)
        object.__setattr__(self, "h2", (1.0 / self.n) ** 2)

    @property
    def yt(self):
        return [0.5 * (1 - (j * self.dx) ** 2) for j in range(self.n + 1)]

    def objective_weights(self):
        """Weights of the objective: w_y[j] for (y[m,j] - yt[j])^2 and w_u[i] for u[i]^2."""
        n, m = self.n, self.m
        wy = [0.25 * self.dx * (1 if j in (0, n) else 2) for j in range(n + 1)]
        wu = [0.25 * self.a * self.dt * (1 if i == m else 2) for i in range(1, m + 1)]
        return wy, wu


def lqcp_expected(n):
    m = n
    return {
        "vars": (m + 1) * (n + 1) + m,
        "rows": m * (n - 1) + (n + 1) + 2 * m,
        # PDE rows 6 entries, initial condition 1, the two boundary rows 3 and 4
        "nz": 6 * m * (n - 1) + (n + 1) + 7 * m,
        "qrows": 0,
        "qnz": 0,
    }


def expected_counts(bench, size):
    if bench == "fac":
        return fac_expected(size, True)
    if bench == "fac-lin":
        return fac_expected(size, False)
    if bench == "lqcp":
        return lqcp_expected(size)
    return None


def current_rss_kib():
    """Resident memory of this process now, in KiB."""
    with open("/proc/self/statm") as f:
        pages = int(f.read().split()[1])
    return pages * (_page_size() // 1024)


def _page_size():
    return os.sysconf("SC_PAGE_SIZE")


class Clock:
    """Timed section of one benchmark run; `count` asks the interface to report model counts.
    It takes the wall time and the CPU time of the process (all threads) over the section: on
    a shared machine the CPU time is the steadier measure of single-threaded work."""

    def __init__(self, count):
        self.count = count
        self.t0 = self.t1 = self.c0 = self.c1 = None
        self.rss_base_kib = None

    def start(self):
        self.rss_base_kib = current_rss_kib()
        self.c0 = time.process_time()
        self.t0 = time.perf_counter()

    def stop(self):
        self.t1 = time.perf_counter()
        self.c1 = time.process_time()

    @property
    def seconds(self):
        if self.t0 is None or self.t1 is None:
            raise RuntimeError("benchmark did not start and stop its clock")
        return self.t1 - self.t0

    @property
    def cpu_seconds(self):
        self.seconds  # noqa: B018 (raises when the clock did not run)
        return self.c1 - self.c0


class Unsupported(Exception):
    """The interface does not have the operation a benchmark measures."""


# Deterministic instruction counts: no BLAS threads spinning, one hash seed for every run.
_CALLGRIND_ENV = dict(os.environ, OPENBLAS_NUM_THREADS="1", OMP_NUM_THREADS="1",
                      PYTHONHASHSEED="0")


def callgrind_instructions(args, out_file="/dev/null"):
    """The instructions callgrind counts over `python args...` (its callgrind file written to
    out_file). Counts do not depend on the machine's load, so builds compare on a busy machine."""
    run = subprocess.run(
        ["valgrind", "--tool=callgrind", f"--callgrind-out-file={out_file}", sys.executable,
         *args], capture_output=True, text=True, check=True, env=_CALLGRIND_ENV)
    m = re.search(r"Collected : (\d+)", run.stderr)
    if not m:
        raise RuntimeError("no instruction count in callgrind's output:\n" + run.stderr)
    return int(m.group(1))


def print_instructions_per_unit(script, cases, n, unit):
    """For each case of a counting script (run as `script CASE N REPS`), the instructions of one
    unit: a run of two repetitions less a run of one, over the n units of a repetition."""
    for case in cases:
        counts = [callgrind_instructions([script, case, str(n), str(reps)]) for reps in (2, 1)]
        print(f"{case:10s} {(counts[0] - counts[1]) / n:8.0f} instructions per {unit}", flush=True)
