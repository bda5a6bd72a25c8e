"""libnvra driven directly through its C interface (ctypes), with no Python modelling layer.

The functions are declared here as nvra.h declares them. A function that the installed library
does not export yet makes the benchmark report "not yet runnable" instead of a time."""

import ctypes
import importlib.util
import os
from ctypes import POINTER, byref, c_char, c_char_p, c_double, c_int, c_int64, c_void_p

from common import SOLVE_THREADS, instance_path
from data import sparse_lp

D, I, I64, S = POINTER(c_double), POINTER(c_int), POINTER(c_int64), POINTER(c_char)

# name -> argument types (every function returns an int status)
SIGNATURES = {
    "NVRAinit": [c_char_p],
    "NVRAfree": [],
    "NVRAcreateprob": [POINTER(c_void_p)],
    "NVRAdestroyprob": [c_void_p],
    "NVRAgetlasterror": [c_void_p, c_char_p, c_int],
    "NVRAgetversion": [c_char_p],
    # prob, name, ncols, nrows, rowtype, rhs, range, obj, start, collen, rowind, rowcoef, lb, ub
    "NVRAloadlp64": [c_void_p, c_char_p, c_int, c_int, S, D, D, D, I64, I, I, D, D, D],
    "NVRAreadprob": [c_void_p, c_char_p, c_char_p],
    "NVRAoptimize": [c_void_p, c_char_p, I, I],
    "NVRAgetintattrib64": [c_void_p, c_int, I64],
    "NVRAgetdblattrib": [c_void_p, c_int, D],
    "NVRAgetcontrolinfo": [c_void_p, c_char_p, I, I],
    "NVRAsetdblcontrol": [c_void_p, c_int, c_double],
    "NVRAsetintcontrol": [c_void_p, c_int, c_int],
}

# Attribute ids (nvra.h): columns, rows, simplex iterations and nodes and objective of the last
# solve.
COLS, ROWS, SIMPLEXITER, NODES, OBJVAL = 1214, 1124, 1505, 1507, 2500


class NotYetRunnable(Exception):
    pass


def library_path():
    spec = importlib.util.find_spec("nivra")
    if spec is None or not spec.submodule_search_locations:
        raise ImportError("the nivra package is not installed")
    return os.path.join(spec.submodule_search_locations[0], "nivralibs", "lib", "libnvra.so")


LIB = ctypes.CDLL(library_path())


def fn(name):
    f = getattr(LIB, name, None)
    if f is None:
        raise NotYetRunnable(f"not yet runnable: libnvra does not export {name}")
    f.argtypes, f.restype = SIGNATURES[name], c_int
    return f


def version():
    buf = ctypes.create_string_buffer(64)
    fn("NVRAgetversion")(buf)
    return buf.value.decode()


class Problem:
    """One library problem; every failing call raises with the library's message."""

    def __init__(self):
        self.call("NVRAinit", None)
        self.prob = c_void_p()
        self.call("NVRAcreateprob", byref(self.prob))

    def call(self, name, *args):
        rc = fn(name)(*args)
        if rc:
            buf = ctypes.create_string_buffer(512)
            if getattr(self, "prob", None):
                fn("NVRAgetlasterror")(self.prob, buf, 512)
            raise RuntimeError(f"{name} failed ({rc}): {buf.value.decode()}")

    def on(self, name, *args):
        self.call(name, self.prob, *args)

    def intattrib(self, ident):
        v = c_int64()
        self.on("NVRAgetintattrib64", ident, byref(v))
        return v.value

    def control_id(self, name):
        ident, kind = c_int(), c_int()
        self.on("NVRAgetcontrolinfo", name.encode(), byref(ident), byref(kind))
        if not ident.value:
            raise NotYetRunnable(f"not yet runnable: libnvra has no control {name!r}")
        return ident.value

    def set_dblcontrol(self, name, value):
        self.on("NVRAsetdblcontrol", self.control_id(name), value)

    def set_intcontrol(self, name, value):
        self.on("NVRAsetintcontrol", self.control_id(name), value)

    def dblattrib(self, ident):
        v = c_double()
        self.on("NVRAgetdblattrib", ident, byref(v))
        return v.value


def ptr(a, ctype):
    return a.ctypes.data_as(POINTER(ctype))


def load(nnz, clock, submit=False):
    """NVRAloadlp64 with the arrays of data.sparse_lp; with submit, also NVRAoptimize with a
    time limit of 0, so that the clock stops when the engine holds the model."""
    import numpy as np
    lp = sparse_lp(nnz)
    p = Problem()
    if submit:
        p.set_dblcontrol("timelimit", 0.0)
        fn("NVRAoptimize")
    rowtype = np.full(lp["nrows"], ord("G"), dtype=np.uint8)
    rng = np.zeros(lp["nrows"])
    args = (p.prob, b"load", lp["ncols"], lp["nrows"], ptr(rowtype, c_char),
            ptr(lp["rlb"], c_double), ptr(rng, c_double), ptr(lp["cost"], c_double),
            ptr(lp["start"], c_int64), None, ptr(lp["index"], c_int),
            ptr(lp["value"], c_double), ptr(lp["lb"], c_double), ptr(lp["ub"], c_double))
    loadlp = fn("NVRAloadlp64")
    clock.start()
    rc = loadlp(*args)
    if submit and rc == 0:
        p.on("NVRAoptimize", b"", None, None)
    clock.stop()
    if rc:
        p.call("NVRAloadlp64", *args)  # raises with the library's message
    return {"elements": nnz, "vars": p.intattrib(COLS), "rows": p.intattrib(ROWS)}


def load_submit(nnz, clock):
    return load(nnz, clock, submit=True)


# NVRA_SOLSTATUS_* -> the status names the solve benchmark compares across interfaces
STATUS = {1: "optimal", 2: "feasible", 3: "infeasible", 4: "unbounded"}


def solve(instance, clock):
    """NVRAreadprob + NVRAoptimize with the settings every solve interface uses."""
    path = instance_path(instance).encode()
    p = Problem()
    for name in ("NVRAreadprob", "NVRAoptimize"):
        fn(name)
    p.set_intcontrol("outputlog", 0)
    p.set_intcontrol("threads", SOLVE_THREADS)
    solvestatus, solstatus = c_int(), c_int()
    clock.start()
    p.on("NVRAreadprob", path, b"")
    p.on("NVRAoptimize", b"", byref(solvestatus), byref(solstatus))
    clock.stop()
    status = STATUS.get(solstatus.value, f"solstatus {solstatus.value}")
    return {"status": status, "objective": p.dblattrib(OBJVAL) if status == "optimal" else None,
            "iterations": p.intattrib(SIMPLEXITER), "nodes": p.intattrib(NODES)}


BENCHES = {"load": load, "load-submit": load_submit, "solve": solve}
