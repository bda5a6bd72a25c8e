"""Nivra with Bonmin's nonlinear branch-and-bound for mixed-integer problems with quadratic
parts (control miqcqpalg = 2), for the quadratic solves only; everything else as nivra."""

from ifaces import nivra as _nivra
from ifaces.nivra import fac_opt, miqcqp, miqp, version  # noqa: F401

_nivra.MIQCQP_ALG = 2

BENCHES = {"fac-opt": fac_opt, "miqp": miqp, "miqcqp": miqcqp}
