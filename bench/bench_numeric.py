"""Aggregates and NumPy products: Dot of a sparse and of a dense matrix with a vector of
variables, Sum over many terms, element-wise comparisons and arithmetic over large arrays.

Each case is timed for Nivra and, when installed, for pyoptinterface and linopy doing the same
operation in their fastest documented way, in the same run. The table gives the best CPU time
of --repeat runs, the time per non-zero (or per element) and the ratio peer/Nivra (above 1
means Nivra is faster). Usage:
    python bench/bench_numeric.py [--repeat R] [--scale S]
(--scale divides every size, for a quick look.)
"""

import argparse
import gc
import time
import warnings

import numpy as np

import nivra
from nivra import _nivra


def timed(build, repeat):
    """Best CPU time of repeat calls of build(), garbage collection off; the result of each call
    is released before the next (its release is not timed)."""
    best = float("inf")
    for _ in range(repeat):
        gc.collect()
        gc.disable()
        t0 = time.process_time()
        result = build()
        best = min(best, time.process_time() - t0)
        gc.enable()
        del result
    return best


# ---- the cases: name -> (count of non-zeros or elements, {interface: setup() -> build}) ----

def nivra_vars(n):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nivra.DeprecationWarning)
        return np.array([nivra.var() for _ in range(n)], dtype=_nivra.npvar)


def cases(scale):
    n_sparse, n_dense, n_big = 10_000 // scale, 1000 // scale, 1_000_000 // scale
    rng = np.random.default_rng(1)
    import scipy.sparse as sp
    sparse = sp.random_array((n_sparse, n_sparse), density=10 / n_sparse, format="csr", rng=rng)
    dense = rng.random((n_dense, n_dense))
    terms = 2.0 * np.arange(1, n_big + 1)

    def nivra_setup(kind):
        def setup():
            if kind == "sparse":
                x = nivra_vars(n_sparse)
                return lambda: nivra.Dot(sparse, x)
            if kind == "dense":
                x = nivra_vars(n_dense)
                return lambda: nivra.Dot(dense, x)
            x = nivra_vars(n_big)
            if kind == "sum":
                lst = list(x)
                return lambda: nivra.Sum(lst)
            if kind == "sum-terms":
                lst = [c * v for c, v in zip(terms, x)]
                return lambda: nivra.Sum(lst)
            if kind == "geq":
                return lambda: x >= 0
            return lambda: x + 1.0
        return setup

    def poi_setup(kind):
        import pyoptinterface as poi

        def setup():
            if kind in ("sparse", "dense"):
                n = n_sparse if kind == "sparse" else n_dense
                index = np.arange(n, dtype=np.int32)
                if kind == "sparse":
                    p, j, d = sparse.indptr, sparse.indices, sparse.data
                    def rows():
                        return [poi.ScalarAffineFunction.from_numpy(d[p[i]:p[i + 1]],
                                                                    index[j[p[i]:p[i + 1]]])
                                for i in range(n)]
                    return rows
                return lambda: [poi.ScalarAffineFunction.from_numpy(row, index) for row in dense]
            x = [poi.VariableIndex(i) for i in range(n_big)]
            if kind == "sum":
                return lambda: poi.quicksum(x)
            if kind == "sum-terms":
                lst = [c * v for c, v in zip(terms, x)]
                return lambda: poi.quicksum(lst)
            xo = np.empty(n_big, dtype=object)
            xo[:] = x
            if kind == "geq":
                return lambda: xo >= 0
            return lambda: xo + 1.0
        return setup

    def linopy_setup(kind):
        import linopy
        import pandas as pd
        import xarray as xr

        def setup():
            m = linopy.Model()
            if kind == "sparse":
                return None  # linopy multiplies variables by dense arrays only
            if kind == "dense":
                x = m.add_variables(coords=[pd.RangeIndex(n_dense, name="j")], name="x")
                a = xr.DataArray(dense, dims=["i", "j"])
                return lambda: (a * x).sum("j")
            x = m.add_variables(coords=[pd.RangeIndex(n_big, name="k")], name="x")
            if kind == "sum":
                return lambda: x.sum()
            if kind == "sum-terms":
                c = xr.DataArray(terms, dims=["k"])
                return lambda: (c * x).sum()
            if kind == "geq":
                return lambda: x >= 0
            return lambda: x + 1.0
        return setup

    table = [
        ("Dot(A, x), A CSR %dx%d" % (n_sparse, n_sparse), sparse.nnz, "sparse"),
        ("Dot(A, x), A dense %dx%d" % (n_dense, n_dense), n_dense * n_dense, "dense"),
        ("Sum of %d variables" % n_big, n_big, "sum"),
        ("Sum of %d terms c*x" % n_big, n_big, "sum-terms"),
        ("x >= 0, %d elements" % n_big, n_big, "geq"),
        ("x + 1.0, %d elements" % n_big, n_big, "add"),
    ]
    return [(name, count, {"nivra": nivra_setup(k), "pyoptinterface": poi_setup(k),
                           "linopy": linopy_setup(k)}) for name, count, k in table]


def measure(setup, repeat):
    """Seconds, or a short text when the interface cannot run the case."""
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            build = setup()
            if build is None:
                return "n/a"
            return timed(build, repeat)
    except ImportError:
        return "not installed"
    except Exception as e:  # noqa: BLE001 - reported in the table
        return f"failed: {type(e).__name__}: {str(e)[:60]}"


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--scale", type=int, default=1)
    args = parser.parse_args()
    print(f"{'case':<34} {'interface':<15} {'time [ms]':>10} {'ns/elem':>9} {'peer/nivra':>10}")
    for name, count, setups in cases(args.scale):
        results = {iface: measure(setup, args.repeat) for iface, setup in setups.items()}
        base = results["nivra"]
        for iface, t in results.items():
            if isinstance(t, str):
                print(f"{name:<34} {iface:<15} {t}")
                continue
            ratio = f"{t / base:10.2f}" if iface != "nivra" and not isinstance(base, str) else ""
            print(f"{name:<34} {iface:<15} {t * 1e3:10.1f} {t / count * 1e9:9.1f} {ratio}")


if __name__ == "__main__":
    main()
