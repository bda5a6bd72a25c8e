"""data.py: the seeded input data of the microbenchmarks and library benchmarks.

Every interface builds its operands from these functions, so all of them work on identical
numbers. Building the data is never part of a timed section.
"""

import ctypes
import os

import numpy as np

SEED = 20240601


def rng():
    return np.random.default_rng(SEED)


def coefficients(n):
    """n coefficients in [1, 2), as a list of Python floats."""
    return (1.0 + rng().random(n)).tolist()


def dense(n):
    """A dense n x n float64 matrix with entries in [1, 2)."""
    return 1.0 + rng().random((n, n))


def csr(n, nnz_per_row=10):
    """An n x n SciPy CSR matrix (float64, int32 indices) with nnz_per_row distinct entries
    per row, so n * nnz_per_row non-zeros in all."""
    import scipy.sparse as sp
    g = rng()
    cols = _distinct_per_row(g, n, n, nnz_per_row)
    indptr = np.arange(0, n * nnz_per_row + 1, nnz_per_row, dtype=np.int32)
    vals = 1.0 + g.random(n * nnz_per_row)
    return sp.csr_matrix((vals, cols.ravel(), indptr), shape=(n, n))


def _distinct_per_row(g, nvec, width, k):
    """nvec sorted rows of k distinct indices in 0..width-1: k distinct random offsets shifted
    by a random permutation, so that no row repeats an index and, with nvec == width, every
    index occurs k times."""
    offsets = np.sort(g.choice(width, size=k, replace=False))
    base = g.permutation(width)[:nvec] if nvec <= width else g.integers(0, width, size=nvec)
    out = ((base[:, None] + offsets[None, :]) % width).astype(np.int32)
    out.sort(axis=1)
    return out


def csr_rows(A):
    """(start, end, columns, values) of every row of a CSR matrix, as Python lists."""
    ip, ix, vx = A.indptr.tolist(), A.indices.tolist(), A.data.tolist()
    return [(ix[ip[i]:ip[i + 1]], vx[ip[i]:ip[i + 1]]) for i in range(A.shape[0])]


def sparse_lp(nnz, per_col=10):
    """Column-wise LP arrays with nnz non-zeros: nnz/per_col columns and as many rows,
    per_col distinct rows in every column. Bounds [0, 10], rows sum >= 1, costs in [1, 2)."""
    g = rng()
    ncols = nnz // per_col
    nrows = ncols
    rows = _distinct_per_row(g, ncols, nrows, per_col)
    return {
        "ncols": ncols,
        "nrows": nrows,
        "start": np.arange(0, nnz + 1, per_col, dtype=np.int64),
        "index": rows.ravel().copy(),
        "value": 1.0 + g.random(nnz),
        "cost": 1.0 + g.random(ncols),
        "lb": np.zeros(ncols),
        "ub": np.full(ncols, 10.0),
        "rlb": np.ones(nrows),
        "rub": np.full(nrows, 1e20),
    }


def coefficient_changes(n, dim=1000):
    """n distinct (row, column) positions of a dim x dim matrix and values in [1, 2): the
    coefficients the coefficient-change benchmarks set (NumPy int32, int32, float64)."""
    g = rng()
    flat = g.choice(dim * dim, size=n, replace=False)
    return (flat // dim).astype(np.int32), (flat % dim).astype(np.int32), 1.0 + g.random(n)


def highs_library():
    """ctypes handle on the HiGHS library shipped by highsbox (the one the peers load too)."""
    import highsbox
    path = os.path.join(os.path.dirname(highsbox.__file__), "highs_dist", "lib", "libhighs.so")
    lib = ctypes.CDLL(path)
    for name in ("Highs_getNumCol", "Highs_getNumRow", "Highs_getNumNz"):
        getattr(lib, name).argtypes = [ctypes.c_void_p]
        getattr(lib, name).restype = ctypes.c_int
    return lib


def capsule_pointer(capsule, name):
    get = ctypes.pythonapi.PyCapsule_GetPointer
    get.restype, get.argtypes = ctypes.c_void_p, [ctypes.py_object, ctypes.c_char_p]
    return get(capsule, name)


def highs_counts(ptr):
    """vars/rows/nz of the HiGHS instance at address ptr (HiGHS has no quadratic rows)."""
    lib = highs_library()
    return {"vars": lib.Highs_getNumCol(ptr), "rows": lib.Highs_getNumRow(ptr),
            "nz": lib.Highs_getNumNz(ptr), "qrows": 0, "qnz": 0}


def portfolio(n):
    """A mean-variance portfolio of n assets: covariance S = F F' + D of a three-factor model
    (dense), expected returns mu, a cardinality limit k, a return target for the MIQP and a
    variance limit for the QCQP and MIQCQP. Seeded by n."""
    g = np.random.default_rng(SEED + n)
    F = g.normal(size=(n, 3))
    S = F @ F.T + np.diag(g.uniform(0.1, 0.5, n))
    mu = g.uniform(0.02, 0.15, n)
    return {"S": S, "mu": mu, "k": PORTFOLIO_K, "target": 0.5 * (mu.mean() + mu.max()),
            "risk": 1.5 * float(np.min(np.diag(S)))}


PORTFOLIO_K = 5  # assets held at most in the cardinality-limited portfolios


def least_norm(n):
    """min ||x|| subject to A x = b, with A of n / 4 rows and n columns. Seeded by n."""
    g = np.random.default_rng(SEED + n)
    return g.normal(size=(n // 4, n)), g.normal(size=n // 4)
