"""Read a problem from an MPS file, solve it, and write the problem and its solution.

`problem.read` replaces whatever the problem held by the model in the file; it can then be
solved, extended and written like a model built in Python. The example writes two files into
the output directory (a new temporary directory unless one is given):
  - <name>.lp: the problem as read, in LP format (`problem.write` picks the format from the
    extension; .mps writes MPS);
  - <name>.sol.csv: the solution: a header line, then one line "variable,value" per column,
    in the order in which the file's COLUMNS section introduces them.
By default it reads data/afiro.mps next to this script, a small LP from the Netlib set.

Run:  python examples/mps_file.py [file.mps [output directory]]
"""

import csv
import pathlib
import sys
import tempfile

import nivra

source = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else
                      pathlib.Path(__file__).parent / "data" / "afiro.mps")
outdir = pathlib.Path(sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp(prefix="nivra-"))

p = nivra.problem()
p.setOutputEnabled(False)  # comment this out to see the solver log
p.read(str(source))
print(f"Read {source.name}: {p.attributes.cols} columns, {p.attributes.rows} rows")

solvestatus, solstatus = p.optimize()
print(f"Status: {solstatus.name}")
print(f"Objective: {p.attributes.objval:.10g}")

stem = source.stem
p.write(str(outdir / f"{stem}.lp"))
with open(outdir / f"{stem}.sol.csv", "w", newline="") as f:
    out = csv.writer(f)
    out.writerow(["variable", "value"])
    # The read made one variable per column: getVariable() lists them in column order, and
    # getSolution() without arguments gives their values in the same order.
    for x, value in zip(p.getVariable(), p.getSolution()):
        out.writerow([x.name, repr(value)])
print(f"Wrote {outdir / (stem + '.lp')} and {outdir / (stem + '.sol.csv')}")
