"""Building one expression of many linear terms by in-place addition.

Reports nanoseconds per term for Nivra and, when installed, for pyoptinterface's expression
builder on the same term stream, measured in the same run. Usage:
    python bench/bench_expr.py [--terms N] [--repeat R]
"""

import argparse
import gc
import time
import warnings

import nivra


def timed(build):
    """CPU time of one build() with garbage collection off (CPU time rather than wall time keeps
    other work on a shared machine out of the figure)."""
    gc.collect()
    gc.disable()
    t0 = time.process_time()
    result = build()
    elapsed = time.process_time() - t0
    gc.enable()
    del result
    return elapsed


def nivra_cases(n):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", nivra.DeprecationWarning)
        x = [nivra.var() for _ in range(n)]
    c = [float(i % 7 + 1) for i in range(n)]

    def plain():
        e = nivra.expression()
        for xi in x:
            e += xi
        return e

    def scaled():
        e = nivra.expression()
        for ci, xi in zip(c, x):
            e += ci * xi
        return e

    return {"e += x[i]": plain, "e += c[i] * x[i]": scaled}, x


def poi_cases(n):
    try:
        import pyoptinterface as poi
    except ImportError:
        return {}, None
    x = [poi.VariableIndex(i) for i in range(n)]
    c = [float(i % 7 + 1) for i in range(n)]

    def plain():
        e = poi.ExprBuilder()
        for xi in x:
            e += xi
        return e

    def scaled():
        e = poi.ExprBuilder()
        for ci, xi in zip(c, x):
            e += ci * xi
        return e

    def add_term():
        e = poi.ExprBuilder()
        for ci, xi in zip(c, x):
            e.add_affine_term(xi, ci)
        return e

    return {"e += x[i]": plain, "e += c[i] * x[i]": scaled, "add_affine_term": add_term}, x


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--terms", type=int, default=1_000_000)
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()
    n = args.terms

    ours, keep_x = nivra_cases(n)
    peer, keep_y = poi_cases(n)
    # Rounds alternate between the libraries so that a busy machine slows both alike; the best
    # round of each case counts.
    cases = [("nivra", name, build) for name, build in ours.items()]
    cases += [("pyoptinterface", name, build) for name, build in peer.items()]
    results = {}
    print(f"{n} terms, best of {args.repeat}")
    for _ in range(args.repeat):
        for who, name, build in cases:
            ns = timed(build) / n * 1e9
            results[(who, name)] = min(results.get((who, name), float("inf")), ns)
    fastest_peer = min((v for (who, _), v in results.items() if who != "nivra"), default=None)
    for (who, name), ns in results.items():
        ratio = f"  ({ns / fastest_peer:.2f} x fastest peer)" if fastest_peer else ""
        print(f"  {who:15s} {name:20s} {ns:7.1f} ns/term{ratio}")
    del keep_x, keep_y


if __name__ == "__main__":
    main()
