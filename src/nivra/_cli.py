"""The command line: ``python -m nivra solve|convert|stats``.

Exit codes of ``solve`` tell scripts what the solve found without parsing its output:

==  ==========================================================================
0   an optimal solution
1   an error (unreadable file, bad control, a failed solve)
2   a usage error (from argparse)
3   a feasible solution that is not proven optimal (e.g. a time limit ended the search)
4   the problem is infeasible
5   the problem is unbounded
6   the solve stopped without a solution
==  ==========================================================================
"""

from __future__ import annotations

import argparse
import csv
import math
import sys
from pathlib import Path

import nivra
from nivra.enums import SolStatus

EXIT_OPTIMAL, EXIT_ERROR, EXIT_FEASIBLE, EXIT_INFEASIBLE, EXIT_UNBOUNDED, EXIT_NOSOLUTION = (
    0, 1, 3, 4, 5, 6)

_EXIT_BY_STATUS = {
    SolStatus.OPTIMAL: EXIT_OPTIMAL,
    SolStatus.FEASIBLE: EXIT_FEASIBLE,
    SolStatus.INFEASIBLE: EXIT_INFEASIBLE,
    SolStatus.UNBOUNDED: EXIT_UNBOUNDED,
}

_STATUS_TEXT = {EXIT_OPTIMAL: "optimal", EXIT_FEASIBLE: "feasible, not proven optimal",
                EXIT_INFEASIBLE: "infeasible", EXIT_UNBOUNDED: "unbounded",
                EXIT_NOSOLUTION: "no solution found"}

# The attributes `stats` prints, in this order.
_STATS = ("rows", "cols", "elems", "intcols", "bincols", "mipents", "sets", "setmembers",
          "indicators", "qelems", "qconstraints", "objectives")


def _control_value(text: str) -> int | float | str:
    """A control value from the command line: an integer, else a number, else the text."""
    for kind in (int, float):
        try:
            return kind(text)
        except ValueError:
            pass
    return text


def _controls(pairs: list[str]) -> dict[str, int | float | str]:
    values = {}
    for pair in pairs:
        name, sep, text = pair.partition("=")
        if not sep or not name:
            raise argparse.ArgumentTypeError(f"control {pair!r} is not of the form name=value")
        values[name.strip().lower()] = _control_value(text.strip())
    return values


def _read(path: str) -> nivra.problem:
    p = nivra.problem()
    p.read(path)
    return p


def _finite(value: float) -> float | str:
    return value if math.isfinite(value) else ""


def write_solution_csv(p: nivra.problem, path: str) -> None:
    """One line per column and per row: kind, name, value and its dual information.

    A column's value is its solution value and its dual the reduced cost; a row's value is its
    activity (right-hand side minus slack) and its dual the row's dual value. Dual columns are
    empty when the solve has none (MIP solutions)."""
    columns, rows = p.getVariable(), p.getConstraint()
    x = p.getSolution(columns) if columns else []
    slack = p.getSlacks(rows) if rows else []
    has_duals = p.attributes.mipents == 0 and p.attributes.sets == 0
    rc = p.getRedCosts(columns) if columns and has_duals else [""] * len(columns)
    dual = p.getDuals(rows) if rows and has_duals else [""] * len(rows)
    rhs = [r.rhs for r in rows]
    with open(path, "w", newline="") as f:
        out = csv.writer(f)
        out.writerow(("kind", "name", "value", "dual"))
        out.writerows(("column", v.name, x[j], rc[j]) for j, v in enumerate(columns))
        out.writerows(("row", r.name, _finite(rhs[i] - slack[i]), dual[i])
                      for i, r in enumerate(rows))


def _write_solution(p: nivra.problem, path: str) -> None:
    suffix = Path(path).suffix.lower()
    if suffix == ".csv":
        write_solution_csv(p, path)
    elif suffix == ".slx":
        p.writeslxsol(path)
    else:
        raise ValueError(f"unknown solution format {suffix!r}: use .csv or .slx")


def cmd_solve(args: argparse.Namespace) -> int:
    p = _read(args.file)
    p.setOutputEnabled(not args.quiet)
    controls = _controls(args.control)
    if args.time_limit is not None:
        controls["timelimit"] = args.time_limit
    for name, value in controls.items():
        p.setControl(name, value)
    p.optimize()
    status = SolStatus(p.attributes.solstatus)
    code = _EXIT_BY_STATUS.get(status, EXIT_NOSOLUTION)
    objective = p.attributes.objval if code in (EXIT_OPTIMAL, EXIT_FEASIBLE) else None
    print(f"{args.file}: {_STATUS_TEXT[code]}"
          + (f", objective {objective:.12g}" if objective is not None else ""))
    if args.solution and code in (EXIT_OPTIMAL, EXIT_FEASIBLE):
        _write_solution(p, args.solution)
    return code


def cmd_convert(args: argparse.Namespace) -> int:
    _read(args.source).write(args.target)
    return 0


def cmd_stats(args: argparse.Namespace) -> int:
    p = _read(args.file)
    width = max(map(len, _STATS))
    print(f"{'name':<{width}}  {p.name()}")
    for name in _STATS:
        print(f"{name:<{width}}  {p.getAttrib(name)}")
    return 0


def parser() -> argparse.ArgumentParser:
    top = argparse.ArgumentParser(
        prog="python -m nivra", description="Solve, convert and inspect model files.")
    sub = top.add_subparsers(dest="command", required=True)

    solve = sub.add_parser(
        "solve", help="solve a model file (MPS or LP)",
        description="Solve a model file and print its status and objective.",
        epilog="Exit codes: 0 optimal, 1 error, 2 usage, 3 feasible but not proven optimal, "
               "4 infeasible, 5 unbounded, 6 stopped without a solution.")
    solve.add_argument("file", help="the model file (.mps or .lp)")
    solve.add_argument("-c", "--control", action="append", default=[], metavar="NAME=VALUE",
                       help="set a control before solving (repeatable), e.g. -c miprelstop=1e-6")
    solve.add_argument("-t", "--time-limit", type=float, metavar="SECONDS",
                       help="stop the solve after this many seconds")
    solve.add_argument("-s", "--solution", metavar="FILE",
                       help="write the solution: .csv (kind, name, value, dual) or .slx "
                            "(the library's solution exchange format)")
    solve.add_argument("-q", "--quiet", action="store_true", help="no solver log")
    solve.set_defaults(run=cmd_solve)

    convert = sub.add_parser(
        "convert", help="convert between MPS and LP",
        description="Read a model file and write it in the format its target name asks for.")
    convert.add_argument("source", help="the model file to read")
    convert.add_argument("target", help="the file to write (.mps or .lp)")
    convert.set_defaults(run=cmd_convert)

    stats = sub.add_parser("stats", help="print a model's size",
                           description="Print the size and the entities of a model file.")
    stats.add_argument("file", help="the model file")
    stats.set_defaults(run=cmd_stats)
    return top


def main(argv: list[str] | None = None) -> int:
    args = parser().parse_args(argv)
    try:
        return args.run(args)
    except (nivra.SolverError, nivra.ModelError, nivra.InterfaceError, OSError, ValueError,
            argparse.ArgumentTypeError) as e:
        print(f"python -m nivra {args.command}: {e}", file=sys.stderr)
        return EXIT_ERROR


if __name__ == "__main__":
    sys.exit(main())
