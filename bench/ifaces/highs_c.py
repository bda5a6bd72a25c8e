"""HiGHS called directly through its C API (highsbox's libhighs.so, ctypes): the floor that
libnvra's own loading is measured against."""

from ctypes import POINTER, c_char_p, c_double, c_int, c_void_p
from importlib.metadata import version as _dist_version

import numpy as np

from data import highs_library, sparse_lp

LIB = highs_library()
LIB.Highs_create.restype = c_void_p
LIB.Highs_setBoolOptionValue.argtypes = [c_void_p, c_char_p, c_int]
LIB.Highs_setDoubleOptionValue.argtypes = [c_void_p, c_char_p, c_double]
LIB.Highs_run.argtypes = [c_void_p]
D, I = POINTER(c_double), POINTER(c_int)
LIB.Highs_passModel.argtypes = [c_void_p, c_int, c_int, c_int, c_int, c_int, c_int, c_int,
                                c_double, D, D, D, D, D, I, I, D, I, I, D, I]
LIB.Highs_passModel.restype = c_int
COLWISE = 1


def version():
    return _dist_version("highsbox")


def ptr(a, ctype):
    return a.ctypes.data_as(POINTER(ctype))


def load(nnz, clock, submit=False):
    """Highs_passModel with the arrays of data.sparse_lp; with submit, also Highs_run with a
    time limit of 0, so that the clock stops when the solver holds the model."""
    lp = sparse_lp(nnz)
    h = c_void_p(LIB.Highs_create())
    LIB.Highs_getSizeofHighsInt.argtypes = [c_void_p]
    assert LIB.Highs_getSizeofHighsInt(h) == 4
    LIB.Highs_setBoolOptionValue(h, b"output_flag", 0)
    LIB.Highs_setDoubleOptionValue(h, b"time_limit", 0.0)
    start = lp["start"][:-1].astype(np.int32)  # HiGHS takes one start per column, 32-bit
    args = (h, lp["ncols"], lp["nrows"], nnz, 0, COLWISE, 0, 1, 0.0,
            ptr(lp["cost"], c_double), ptr(lp["lb"], c_double), ptr(lp["ub"], c_double),
            ptr(lp["rlb"], c_double), ptr(lp["rub"], c_double), ptr(start, c_int),
            ptr(lp["index"], c_int), ptr(lp["value"], c_double), None, None, None, None)
    clock.start()
    rc = LIB.Highs_passModel(*args)
    if submit and rc >= 0:
        rc = LIB.Highs_run(h)
    clock.stop()
    if rc < 0:
        raise RuntimeError(f"HiGHS failed ({rc})")
    return {"elements": nnz, "vars": LIB.Highs_getNumCol(h), "rows": LIB.Highs_getNumRow(h)}


def load_submit(nnz, clock):
    return load(nnz, clock, submit=True)


BENCHES = {"load": load, "load-submit": load_submit}
