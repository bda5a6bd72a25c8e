#!/usr/bin/env python3
"""bench_convexity.py: which Hock-Schittkowski problems of bench/hs the library proves convex,
and what the interior-point solve (nlp_solver = 2, from the published x0) reports on them.

For each problem the verdict is the solve's own log line ("Convexity: the model is convex ..."
or "... not proven convex (reason) ..."); a proven problem must end with nlp_status 2 (globally
optimal) at f* (within 1e-6 relative to max(1, |f*|)). The table lists the proven ones, then
the counts, and the reasons of the rest grouped by their kind (problems without formulas take
the quadratic or linear route and are counted apart).

    .venv/bin/python bench/bench_convexity.py
"""

import collections
import os
import re
import sys

import nivra

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from hs import PROBLEMS  # noqa: E402
from hs.nivra_model import build, set_start  # noqa: E402


def solve(problem):
    p = nivra.problem()
    p.setOutputEnabled(False)
    log = []
    p.addcbmessage(lambda prob, data, msg, kind: log.append(msg or ""), None, 0)
    x, _, _ = build(problem, p)
    p.controls.nlp_solver = 2
    set_start(p, x, problem.x0)
    p.optimize()
    verdicts = [line for line in log if line.startswith("Convexity:")]
    return (verdicts[0] if verdicts else None), int(p.getAttrib("nlp_status")), p.attributes.objval


def kind(verdict):
    """The reason of a verdict without row numbers: 'row: a '<=' row needs ...'."""
    reason = re.search(r"\((.*)\)", verdict).group(1)
    return re.sub(r"^row \d+", "row", reason)


def main():
    proven, reasons = [], collections.Counter()
    for problem in PROBLEMS.values():
        try:
            verdict, status, value = solve(problem)
        except nivra.SolverError as e:
            reasons[f"solve failed: {e}"] += 1
            continue
        if verdict is None:
            reasons["no formulas: solved by the quadratic or linear route"] += 1
        elif "is convex" in verdict:
            error = abs(value - problem.fstar) / max(1.0, abs(problem.fstar))
            proven.append((problem.name, status, value, problem.fstar, error))
        else:
            reasons[kind(verdict)] += 1
    print("| problem | nlp_status | objective | f* | relative error |")
    print("|---|---|---|---|---|")
    for name, status, value, fstar, error in proven:
        print(f"| {name} | {status} | {value:.9g} | {fstar:.9g} | {error:.1e} |")
    print(f"\n{len(proven)} of {len(PROBLEMS)} proven convex; the others:")
    for reason, count in reasons.most_common():
        print(f"- {count}: {reason}")


if __name__ == "__main__":
    main()
